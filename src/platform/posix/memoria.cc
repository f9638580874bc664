#include "platform/memoria.h"

#include <sys/mman.h>

#include <cstdlib>

namespace memoria {

void* alloca_pagine(size_t byte) {
  constexpr size_t pagina = size_t{2} << 20;
  const size_t arrotondati = (byte + pagina - 1) / pagina * pagina;
  void* p = std::aligned_alloc(pagina, arrotondati);
  if (p) ::madvise(p, arrotondati, MADV_HUGEPAGE);
  return p;
}

void libera_pagine(void* p, size_t) {
  std::free(p);
}

}  // namespace memoria
