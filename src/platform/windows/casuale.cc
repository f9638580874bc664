// rand_s draws from the system's cryptographic source (RtlGenRandom).
#define _CRT_RAND_S
#include "platform/casuale.h"

#include <stdlib.h>

bool byte_casuali(unsigned char* b, size_t n) {
  for (size_t i = 0; i < n;) {
    unsigned int v;
    if (rand_s(&v) != 0) return false;
    for (int k = 0; k < 4 && i < n; ++k, ++i) b[i] = static_cast<unsigned char>(v >> (8 * k));
  }
  return true;
}
