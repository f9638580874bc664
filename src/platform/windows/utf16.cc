#include "platform/windows/utf16.h"

#include <windows.h>

namespace utf16 {

std::wstring da_utf8(const std::string& s) {
  if (s.empty()) return {};
  int n = MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), nullptr, 0);
  std::wstring w(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), w.data(), n);
  return w;
}

std::string a_utf8(const std::wstring& w) {
  if (w.empty()) return {};
  int n = WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), nullptr, 0, nullptr,
                              nullptr);
  std::string s(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), s.data(), n, nullptr,
                      nullptr);
  return s;
}

namespace {

// The common reasons in the author's words, before the system's own text.
const char* parole(unsigned long codice) {
  switch (codice) {
    case ERROR_ACCESS_DENIED:
      return "permesso negato";
    case ERROR_WRITE_PROTECT:
      return "supporto protetto dalla scrittura";
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
      return "disco pieno";
    case ERROR_PATH_NOT_FOUND:
      return "la cartella non esiste";
    case ERROR_FILE_NOT_FOUND:
      return "il file non esiste";
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
      return "file in uso da un altro programma";
    case ERROR_FILENAME_EXCED_RANGE:
      return "nome troppo lungo";
    case ERROR_INVALID_NAME:
      return "nome non valido";
    case ERROR_TOO_MANY_OPEN_FILES:
      return "troppi file aperti";
    default:
      return nullptr;
  }
}

std::string testo_di_sistema(unsigned long codice) {
  wchar_t* buf = nullptr;
  DWORD n = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, codice, 0, reinterpret_cast<wchar_t*>(&buf), 0, nullptr);
  std::wstring w = n && buf ? std::wstring(buf, n) : std::wstring();
  if (buf) LocalFree(buf);
  while (!w.empty() &&
         (w.back() == L'\n' || w.back() == L'\r' || w.back() == L' ' || w.back() == L'.'))
    w.pop_back();
  if (w.empty()) return "errore " + std::to_string(codice);
  return a_utf8(w);
}

}  // namespace

std::string motivo(unsigned long codice) {
  const char* p = parole(codice);
  return p ? std::string(p) + " (" + testo_di_sistema(codice) + ")" : testo_di_sistema(codice);
}

}  // namespace utf16
