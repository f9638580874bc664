#include "platform/memoria.h"

#include <windows.h>

namespace memoria {

// Committed pages come zeroed and 64 KB aligned; large pages need a privilege
// that ordinary users lack, so none are asked for.
void* alloca_pagine(size_t byte) {
  return VirtualAlloc(nullptr, byte, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
}

void libera_pagine(void* p, size_t) {
  VirtualFree(p, 0, MEM_RELEASE);
}

}  // namespace memoria
