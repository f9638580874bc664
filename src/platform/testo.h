// Text in the system's single-byte code page (Windows-1252).
#pragma once
#include <string>
#include <string_view>

namespace testo {

// UTF-8 to Windows-1252. A character the code page lacks becomes '?'.
std::string a_1252(std::string_view utf8);
// Windows-1252 to UTF-8, for messages shown to a person.
std::string da_1252(std::string_view cp1252);
// UTF-8 to Windows-1252 with every character kept. Returns std::string::npos
// with the whole text in `out`, or the byte offset of the first byte that
// starts no well-formed sequence or of the first character the code page
// lacks, with what came before it in `out`.
size_t a_1252_esatto(std::string_view utf8, std::string& out);
// Windows-1252 to UTF-8 that a_1252_esatto turns back into the same bytes: the
// five bytes the code page leaves unassigned become the C1 controls of the
// same value, as Windows itself converts them.
std::string da_1252_esatto(std::string_view cp1252);
// The Windows-1252 byte of a code point; false when the code page lacks it.
bool byte_1252(char32_t c, char& b);
// The well-formed UTF-8 sequence at byte i: its length and code point, or 0
// when the bytes there are not one (a stray or overlong byte, a surrogate).
size_t sequenza_utf8(std::string_view s, size_t i, char32_t& c);
// Text made valid UTF-8: well-formed sequences kept, every other byte read
// as Windows-1252 (names on a disk are bytes, and a name in the code page
// the simulator uses is the likeliest).
std::string utf8_valido(std::string_view s);
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
