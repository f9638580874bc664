#include "platform/casuale.h"

#include <unistd.h>

bool byte_casuali(unsigned char* b, size_t n) {
  // getentropy gives at most 256 bytes a call.
  for (size_t fatto = 0; fatto < n;) {
    const size_t parte = n - fatto < 256 ? n - fatto : 256;
    if (::getentropy(b + fatto, parte) != 0) return false;
    fatto += parte;
  }
  return true;
}
