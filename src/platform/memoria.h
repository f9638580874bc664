// Allocator for the plan's large arrays.
#pragma once
#include <sys/mman.h>

#include <cstddef>
#include <cstdlib>
#include <memory>
#include <new>

// Arrays of 2 MB or more are aligned to 2 MB and offered to the system as huge
// pages: a 1000 km plan then costs a few dozen page faults instead of
// thousands.
template <typename T>
struct alloca_grande {
  using value_type = T;
  static constexpr size_t kPagina = size_t{2} << 20;

  alloca_grande() = default;
  template <typename U>
  alloca_grande(const alloca_grande<U>&) {}

  T* allocate(size_t n) {
    const size_t byte = n * sizeof(T);
    if (byte < kPagina) return std::allocator<T>{}.allocate(n);
    const size_t arrotondati = (byte + kPagina - 1) / kPagina * kPagina;
    void* p = std::aligned_alloc(kPagina, arrotondati);
    if (!p) throw std::bad_alloc();
    ::madvise(p, arrotondati, MADV_HUGEPAGE);
    return static_cast<T*>(p);
  }
  void deallocate(T* p, size_t n) {
    if (n * sizeof(T) < kPagina) return std::allocator<T>{}.deallocate(p, n);
    std::free(p);
  }
  template <typename U>
  bool operator==(const alloca_grande<U>&) const {
    return true;
  }
};
