#include "platform/cartella.h"

#include <windows.h>

#include <vector>

#include "platform/windows/utf16.h"

std::string cartella_programma() {
  std::vector<wchar_t> buf(MAX_PATH);
  for (;;) {
    DWORD n = GetModuleFileNameW(nullptr, buf.data(), static_cast<DWORD>(buf.size()));
    if (n == 0) return ".";
    if (n < buf.size()) {
      std::wstring percorso(buf.data(), n);
      auto barra = percorso.find_last_of(L"\\/");
      if (barra == std::wstring::npos) return ".";
      return utf16::a_utf8(percorso.substr(0, barra));
    }
    buf.resize(buf.size() * 2);  // a long path: ask again with room for it
  }
}
