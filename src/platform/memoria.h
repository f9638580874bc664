// Allocator for the plan's large arrays.
#pragma once
#include <cstddef>
#include <memory>
#include <new>
#include <utility>

namespace memoria {
// Blocks rounded up to a multiple of 2 MB, aligned to 2 MB and offered to the system as huge
// pages where it has them. Null when the memory is not there.
void* alloca_pagine(size_t byte);
void libera_pagine(void* p, size_t byte);
}  // namespace memoria

// A 1000 km plan then costs a few dozen page faults instead of thousands.
// Elements made without a value are left uninitialised: the plan sets every
// value it keeps, and a zero fill first would cost a pass over 16 MB.
template <typename T>
struct alloca_grande {
  using value_type = T;
  static constexpr size_t kPagina = size_t{2} << 20;
  // From a quarter of a page on, one huge page costs less than the small
  // pages' faults: the kinds of a 1000 km plan (1 MB) take one.
  static constexpr size_t kDaPagine = kPagina / 4;

  alloca_grande() = default;
  template <typename U>
  alloca_grande(const alloca_grande<U>&) {}

  T* allocate(size_t n) {
    const size_t byte = n * sizeof(T);
    if (byte < kDaPagine) return std::allocator<T>{}.allocate(n);
    void* p = memoria::alloca_pagine(byte);
    if (!p) throw std::bad_alloc();
    return static_cast<T*>(p);
  }
  void deallocate(T* p, size_t n) {
    if (n * sizeof(T) < kDaPagine) return std::allocator<T>{}.deallocate(p, n);
    memoria::libera_pagine(p, n * sizeof(T));
  }
  template <typename U>
  void construct(U* p) noexcept(noexcept(::new (static_cast<void*>(p)) U)) {
    ::new (static_cast<void*>(p)) U;
  }
  template <typename U, typename... A>
  void construct(U* p, A&&... a) {
    ::new (static_cast<void*>(p)) U(std::forward<A>(a)...);
  }
  template <typename U>
  bool operator==(const alloca_grande<U>&) const {
    return true;
  }
};
