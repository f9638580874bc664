// Numbers as the draft writes them, made from integers so that every
// platform writes the same characters.
#pragma once
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <string_view>

#include "model/regole.h"
#include "platform/testo.h"

namespace bozza {

// v / 10^cifre with that many decimals: testo_decimale(509720556, 7) is
// "50.9720556".
inline std::string testo_decimale(int64_t v, int cifre) {
  std::string s = std::to_string(v < 0 ? -v : v);
  if (cifre > 0) {
    if (s.size() <= static_cast<size_t>(cifre))
      s.insert(0, static_cast<size_t>(cifre) + 1 - s.size(), '0');
    s.insert(s.size() - static_cast<size_t>(cifre), ".");
  }
  return (v < 0 ? "-" : "") + s;
}

// A real number rounded to `cifre` decimals.
inline std::string testo_reale(double x, int cifre) {
  double scala = 1;
  for (int i = 0; i < cifre; ++i) scala *= 10;
  return testo_decimale(static_cast<int64_t>(std::nearbyint(x * scala)), cifre);
}

// A name from a map or a feed as the whole draft carries it, so that the
// source, the report and --json show one text: valid UTF-8 (a stray byte read
// as Windows-1252, as --json reads it), each run of characters a source
// cannot carry one blank, none at the ends; with `spazi`, blanks count among
// those (a feed's padded fields).
inline std::string nome_sicuro(std::string_view grezzo, bool spazi = false) {
  const std::string s = testo::utf8_valido(grezzo);
  std::string r;
  bool vuoto = false;
  for (size_t i = 0; i < s.size();) {
    char32_t c = 0;
    const size_t n = std::max<size_t>(testo::sequenza_utf8(s, i, c), 1);
    if (regole::carattere_da_sorgente(c) && !(spazi && c == ' ')) {
      if (vuoto) r += ' ';
      r.append(s, i, n);
      vuoto = false;
    } else {
      vuoto = !r.empty();
    }
    i += n;
  }
  return r;
}

}  // namespace bozza
