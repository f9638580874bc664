#include "platform/testo.h"

#include <array>
#include <cstdint>

namespace testo {
namespace {

// Code points of bytes 0x80..0x9F in Windows-1252; 0 where the byte is unassigned.
constexpr std::array<char32_t, 32> kAlti = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

// The lenient conversion: C1 controls have no place either.
char da_codice(char32_t c) {
  char b = '?';
  return byte_1252(c, b) && (c < 0x80 || c > 0x9F) ? b : '?';
}

void aggiungi_utf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

// Windows-1252 to UTF-8; `esatto` keeps the unassigned bytes as C1 controls.
std::string da_1252_con(std::string_view s, bool esatto) {
  std::string out;
  out.reserve(s.size());
  for (char ch : s) {
    auto b = static_cast<unsigned char>(ch);
    char32_t c = b;
    if (b >= 0x80 && b < 0xA0 && kAlti[b - 0x80])
      c = kAlti[b - 0x80];
    else if (b >= 0x80 && b < 0xA0 && !esatto)
      c = U'?';
    aggiungi_utf8(out, c);
  }
  return out;
}

}  // namespace

bool byte_1252(char32_t c, char& b) {
  if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) {
    b = static_cast<char>(c);
    return true;
  }
  for (size_t i = 0; i < kAlti.size(); ++i)
    if (kAlti[i] == c || (kAlti[i] == 0 && c == 0x80 + i)) {
      b = static_cast<char>(0x80 + i);
      return true;
    }
  return false;
}

size_t sequenza_utf8(std::string_view s, size_t i, char32_t& c) {
  if (i >= s.size()) return 0;
  const auto b = static_cast<unsigned char>(s[i]);
  size_t n;
  char32_t minimo;
  if (b < 0x80) {
    c = b;
    return 1;
  } else if (b >= 0xC2 && b <= 0xDF) {
    n = 2, c = b & 0x1F, minimo = 0x80;
  } else if (b >= 0xE0 && b <= 0xEF) {
    n = 3, c = b & 0x0F, minimo = 0x800;
  } else if (b >= 0xF0 && b <= 0xF4) {
    n = 4, c = b & 0x07, minimo = 0x10000;
  } else {
    return 0;
  }
  if (i + n > s.size()) return 0;
  for (size_t k = 1; k < n; ++k) {
    const auto x = static_cast<unsigned char>(s[i + k]);
    if ((x & 0xC0) != 0x80) return 0;
    c = (c << 6) | (x & 0x3F);
  }
  // Overlong forms, surrogates and code points past Unicode are not UTF-8.
  if (c < minimo || (c >= 0xD800 && c <= 0xDFFF) || c > 0x10FFFF) return 0;
  return n;
}

std::string utf8_valido(std::string_view s) {
  std::string out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size();) {
    char32_t c;
    const size_t n = sequenza_utf8(s, i, c);
    if (n > 0) {
      out.append(s.substr(i, n));
      i += n;
    } else {
      out += da_1252(s.substr(i, 1));
      ++i;
    }
  }
  return out;
}

std::string a_1252(std::string_view s) {
  std::string out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size();) {
    auto b = static_cast<unsigned char>(s[i]);
    char32_t c = b;
    size_t n = 1;
    if (b >= 0xF0) {
      n = 4;
      c = b & 0x07;
    } else if (b >= 0xE0) {
      n = 3;
      c = b & 0x0F;
    } else if (b >= 0xC0) {
      n = 2;
      c = b & 0x1F;
    } else if (b >= 0x80) {
      out += '?';  // stray continuation byte
      ++i;
      continue;
    }
    if (i + n > s.size()) {
      out += '?';
      break;
    }
    for (size_t k = 1; k < n; ++k) c = (c << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3F);
    out += da_codice(c);
    i += n;
  }
  return out;
}

std::string da_1252(std::string_view s) {
  return da_1252_con(s, false);
}

std::string da_1252_esatto(std::string_view s) {
  return da_1252_con(s, true);
}

size_t a_1252_esatto(std::string_view s, std::string& out) {
  out.clear();
  out.reserve(s.size());
  for (size_t i = 0; i < s.size();) {
    char32_t c = 0;
    char b = 0;
    const size_t n = sequenza_utf8(s, i, c);
    if (n == 0 || !byte_1252(c, b)) return i;
    out += b;
    i += n;
  }
  return std::string::npos;
}

char minuscola(char ch) {
  auto b = static_cast<unsigned char>(ch);
  if (b >= 'A' && b <= 'Z') return static_cast<char>(b + 32);
  if (b >= 0xC0 && b <= 0xDE && b != 0xD7) return static_cast<char>(b + 32);
  switch (b) {
    case 0x8A:
      return static_cast<char>(0x9A);  // Š
    case 0x8C:
      return static_cast<char>(0x9C);  // Œ
    case 0x8E:
      return static_cast<char>(0x9E);  // Ž
    case 0x9F:
      return static_cast<char>(0xFF);  // Ÿ
    default:
      return ch;
  }
}

std::string minuscolo(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = minuscola(c);
  return out;
}

bool contiene_nc(std::string_view testo, std::string_view parola) {
  if (parola.empty()) return true;
  if (parola.size() > testo.size()) return false;
  for (size_t i = 0; i + parola.size() <= testo.size(); ++i) {
    size_t k = 0;
    while (k < parola.size() && minuscola(testo[i + k]) == minuscola(parola[k])) ++k;
    if (k == parola.size()) return true;
  }
  return false;
}

}  // namespace testo
