// UTF-8 names and texts to and from the UTF-16 of the wide Win32 calls, and the
// system's reason for a failure.
#pragma once
#include <string>

namespace utf16 {

std::wstring da_utf8(const std::string& s);
std::string a_utf8(const std::wstring& s);
// FormatMessageW of the error code, as UTF-8 without the closing line end.
std::string motivo(unsigned long codice);

}  // namespace utf16
