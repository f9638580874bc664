#include "tool/server/lsp/testo_lsp.h"

#include "platform/testo.h"

namespace lsp {

namespace {

// The character at byte i and its length; a byte that starts no UTF-8
// character (the protocol's text has none) counts alone.
size_t carattere(std::string_view t, size_t i, char32_t& c) {
  const size_t n = testo::sequenza_utf8(t, i, c);
  if (n > 0) return n;
  c = 0xFFFD;
  return 1;
}

}  // namespace

std::string a_1252(std::string_view t, std::vector<fuori_pagina>* fuori) {
  std::string out;
  out.reserve(t.size());
  int riga = 0, colonna = 0;
  for (size_t i = 0; i < t.size();) {
    char32_t c;
    const size_t n = carattere(t, i, c);
    const std::string_view scritto = t.substr(i, n);
    i += n;
    if (c == '\n' || (c == '\r' && (i >= t.size() || t[i] != '\n'))) {
      out += static_cast<char>(c);
      ++riga, colonna = 0;
      continue;
    }
    const int unita = c >= 0x10000 ? 2 : 1;
    char b;
    if (testo::byte_1252(c, b)) {
      out += b;
    } else {
      out.append(static_cast<size_t>(unita), '?');
      if (fuori) fuori->push_back({riga, colonna, unita, std::string(scritto)});
    }
    if (c != '\r') colonna += unita;
  }
  return out;
}

size_t offset_di(std::string_view t, int64_t riga, int64_t carattere_utf16) {
  size_t i = 0;
  for (int64_t r = 0; r < riga; ++r) {
    while (i < t.size() && t[i] != '\n' && t[i] != '\r') ++i;
    if (i >= t.size()) return t.size();
    if (t[i] == '\r' && i + 1 < t.size() && t[i + 1] == '\n') ++i;
    ++i;
  }
  for (int64_t u = 0; u < carattere_utf16 && i < t.size() && t[i] != '\n' && t[i] != '\r';) {
    char32_t c;
    const size_t n = carattere(t, i, c);
    u += c >= 0x10000 ? 2 : 1;
    if (u > carattere_utf16) break;  // inside a surrogate pair: its start
    i += n;
  }
  return i;
}

}  // namespace lsp
