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

std::string motivo(unsigned long codice) {
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

}  // namespace utf16
