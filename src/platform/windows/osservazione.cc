#include "platform/osservazione.h"

#include <windows.h>

#include <vector>

#include "platform/windows/utf16.h"

namespace file {

impronta impronta_di(const std::string& nome) {
  WIN32_FILE_ATTRIBUTE_DATA a;
  if (!GetFileAttributesExW(utf16::da_utf8(nome).c_str(), GetFileExInfoStandard, &a)) return {};
  impronta i;
  i.c_e = true;
  i.dimensione = (static_cast<uint64_t>(a.nFileSizeHigh) << 32) | a.nFileSizeLow;
  i.scritto = static_cast<int64_t>((static_cast<uint64_t>(a.ftLastWriteTime.dwHighDateTime) << 32) |
                                   a.ftLastWriteTime.dwLowDateTime);
  return i;
}

std::string assoluto(const std::string& nome) {
  const std::wstring w = utf16::da_utf8(nome.empty() ? "." : nome);
  DWORD n = GetFullPathNameW(w.c_str(), 0, nullptr, nullptr);
  if (n == 0) return nome;
  std::vector<wchar_t> buf(n + 1);
  n = GetFullPathNameW(w.c_str(), static_cast<DWORD>(buf.size()), buf.data(), nullptr);
  if (n == 0 || n >= buf.size()) return nome;
  std::wstring r(buf.data(), n);
  while (r.size() > 3 && (r.back() == L'\\' || r.back() == L'/')) r.pop_back();
  return utf16::a_utf8(r);
}

}  // namespace file
