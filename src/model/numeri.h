// Integer helpers shared by the readers and the finishing walk.
#pragma once
#include <cstdint>

// a / b rounded to the nearest integer, halves to the even neighbour (b > 0).
constexpr int64_t arrotonda(int64_t a, int64_t b) {
  int64_t q = a / b;
  int64_t r = a % b;
  if (r < 0) {  // floor division
    q -= 1;
    r += b;
  }
  if (2 * r > b || (2 * r == b && (q & 1) != 0)) ++q;
  return q;
}

// Low 16 and low 8 bits, as a store into a narrow field keeps them.
constexpr int16_t basso16(int64_t v) {
  return static_cast<int16_t>(static_cast<uint16_t>(v & 0xFFFF));
}
constexpr uint8_t basso8(int64_t v) {
  return static_cast<uint8_t>(v & 0xFF);
}
