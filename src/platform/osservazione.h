// What a program that follows files as they change asks of the system.
#pragma once
#include <cstdint>
#include <string>

namespace file {

// What tells that a file has changed without reading it: its size and the
// time of its last write. A missing file has c_e false and zeros.
struct impronta {
  bool c_e = false;
  uint64_t dimensione = 0;
  int64_t scritto = 0;  // in the system's own units
  bool operator==(const impronta&) const = default;
};
impronta impronta_di(const std::string& nome);

// The name as an absolute path (from the current folder when it is relative);
// the name itself when the system cannot say.
std::string assoluto(const std::string& nome);

}  // namespace file
