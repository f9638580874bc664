#include "platform/canale.h"

#include <windows.h>

namespace canale {

// The handles themselves carry bytes as they are; only the C runtime's text
// mode would turn LF into CR LF, and it is not used here.
void prepara() {}

long leggi(char* dove, size_t n) {
  DWORD letti = 0;
  const DWORD chiesti = n > 0x10000 ? 0x10000 : static_cast<DWORD>(n);
  if (ReadFile(GetStdHandle(STD_INPUT_HANDLE), dove, chiesti, &letti, nullptr))
    return static_cast<long>(letti);
  // A pipe whose writer closed is the end of the input.
  return GetLastError() == ERROR_BROKEN_PIPE ? 0 : -1;
}

bool scrivi(std::string_view dati) {
  HANDLE h = GetStdHandle(STD_OUTPUT_HANDLE);
  while (!dati.empty()) {
    DWORD scritti = 0;
    const DWORD n = dati.size() > 0x10000 ? 0x10000 : static_cast<DWORD>(dati.size());
    if (!WriteFile(h, dati.data(), n, &scritti, nullptr) || scritti == 0) return false;
    dati.remove_prefix(scritti);
  }
  return true;
}

}  // namespace canale
