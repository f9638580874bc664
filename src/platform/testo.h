// Text in the system's single-byte code page (Windows-1252).
#pragma once
#include <string>
#include <string_view>

namespace testo {

// UTF-8 to Windows-1252. A character the code page lacks becomes '?'.
std::string a_1252(std::string_view utf8);
// Windows-1252 to UTF-8, for messages shown to a person.
std::string da_1252(std::string_view cp1252);
// Lower-casing of single-byte text (ASCII letters and the 1252 accented capitals).
char minuscola(char c);
std::string minuscolo(std::string_view s);
// Case-insensitive substring search on single-byte text.
bool contiene_nc(std::string_view testo, std::string_view parola);
// Exact-case substring search.
inline bool contiene(std::string_view testo, std::string_view parola) {
  return testo.find(parola) != std::string_view::npos;
}

}  // namespace testo
