// The editor's text as the compile reads it. The protocol counts a
// position's character in UTF-16 units; every Windows-1252 character is one
// unit, so once the text is in that code page a byte column is a character
// column. A character the code page lacks becomes as many '?' as it takes
// units, which keeps every later column where the editor has it.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace lsp {

// A character of the editor's text that Windows-1252 cannot hold.
struct fuori_pagina {
  int riga = 0;           // from 0
  int colonna = 0;        // UTF-16 units from the start of the line
  int unita = 1;          // its UTF-16 units
  std::string carattere;  // as UTF-8
};

// UTF-8 (valid, as the protocol carries it) to Windows-1252.
std::string a_1252(std::string_view utf8, std::vector<fuori_pagina>* fuori = nullptr);

// The byte offset in UTF-8 text of a protocol position. A line past the last
// is the end of the text; a character past the end of its line is the end
// of the line (before its line break); one inside a character, its start.
size_t offset_di(std::string_view utf8, int64_t riga, int64_t carattere);

// The line ends the protocol knows: LF, CR LF and a lone CR.
// Calls f(inizio, fine) for each line's bytes without its break.
template <class F>
void per_riga(std::string_view t, F f) {
  size_t inizio = 0;
  for (size_t i = 0; i < t.size(); ++i) {
    if (t[i] != '\n' && t[i] != '\r') continue;
    f(inizio, i);
    if (t[i] == '\r' && i + 1 < t.size() && t[i + 1] == '\n') ++i;
    inizio = i + 1;
  }
  f(inizio, t.size());
}

}  // namespace lsp
