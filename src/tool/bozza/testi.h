// Numbers as the draft writes them, made from integers so that every
// platform writes the same characters.
#pragma once
#include <cmath>
#include <cstdint>
#include <string>

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

}  // namespace bozza
