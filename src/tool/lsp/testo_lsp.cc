#include "tool/lsp/testo_lsp.h"

#include "platform/testo.h"

namespace lsp {

namespace {

// The bytes of the UTF-8 character starting with b.
size_t lunghezza_utf8(unsigned char b) {
  return b < 0x80 ? 1 : b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : b >= 0xC0 ? 2 : 1;
}

}  // namespace

std::string a_1252(std::string_view t, std::vector<fuori_pagina>* fuori) {
  std::string out;
  out.reserve(t.size());
  int riga = 0, colonna = 0;
  for (size_t i = 0; i < t.size();) {
    const auto b = static_cast<unsigned char>(t[i]);
    const size_t n = std::min(lunghezza_utf8(b), t.size() - i);
    const std::string_view c = t.substr(i, n);
    i += n;
    if (b == '\n' || (b == '\r' && (i >= t.size() || t[i] != '\n'))) {
      out += static_cast<char>(b);
      ++riga, colonna = 0;
      continue;
    }
    if (b < 0x80) {
      out += static_cast<char>(b);
      if (b != '\r') ++colonna;
      continue;
    }
    const int unita = n == 4 ? 2 : 1;
    const std::string x = testo::a_1252(c);
    if (x.size() == 1 && x[0] != '?') {
      out += x;
    } else {
      out.append(static_cast<size_t>(unita), '?');
      if (fuori) fuori->push_back({riga, colonna, unita, std::string(c)});
    }
    colonna += unita;
  }
  return out;
}

size_t offset_di(std::string_view t, long riga, long carattere) {
  size_t i = 0;
  for (long r = 0; r < riga; ++r) {
    while (i < t.size() && t[i] != '\n' && t[i] != '\r') ++i;
    if (i >= t.size()) return t.size();
    if (t[i] == '\r' && i + 1 < t.size() && t[i + 1] == '\n') ++i;
    ++i;
  }
  for (long u = 0; u < carattere && i < t.size() && t[i] != '\n' && t[i] != '\r';) {
    const size_t n = std::min(lunghezza_utf8(static_cast<unsigned char>(t[i])), t.size() - i);
    u += n == 4 ? 2 : 1;
    if (u > carattere) break;  // inside a surrogate pair: its start
    i += n;
  }
  return i;
}

}  // namespace lsp
