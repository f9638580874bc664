// The line table of a text writer.
#pragma once
#include <cstddef>
#include <string>
#include <vector>

// Closes a line table; never written to a file.
inline constexpr const char* kFineFile = "riferimento fine del file";
inline constexpr size_t kSlotRighe = 1001;

// A table holding the given lines from slot 0 and the end marker after them.
template <size_t N>
std::vector<std::string> tabella_righe(const char* const (&testo)[N]) {
  static_assert(N < kSlotRighe, "a text file holds at most 1000 lines");
  std::vector<std::string> righe(kSlotRighe);
  for (size_t i = 0; i < N; ++i) righe[i] = testo[i];
  righe[N] = kFineFile;
  return righe;
}
