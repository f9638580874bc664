// Byte images of the three compiled files: little-endian, fields packed with
// no gaps, no header. Each image is built in one buffer sized up front.
#pragma once
#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "model/formato.h"
#include "model/numeri.h"
#include "model/records.h"

namespace immagini {

// Little-endian writer over a buffer already sized for everything it gets.
struct scrittore {
  char* p;

  void u8(uint8_t v) { *p++ = static_cast<char>(v); }
  void u16(uint16_t v) {
    u8(static_cast<uint8_t>(v));
    u8(static_cast<uint8_t>(v >> 8));
  }
  void i16(int16_t v) { u16(static_cast<uint16_t>(v)); }
  void u32(uint32_t v) {
    u16(static_cast<uint16_t>(v));
    u16(static_cast<uint16_t>(v >> 16));
  }
  void i32(int32_t v) { u32(static_cast<uint32_t>(v)); }
  void doppio(double v) {
    if constexpr (std::endian::native == std::endian::little) {
      std::memcpy(p, &v, sizeof v);
      p += sizeof v;
    } else {
      auto b = std::bit_cast<uint64_t>(v);
      u32(static_cast<uint32_t>(b));
      u32(static_cast<uint32_t>(b >> 32));
    }
  }
  void byte(const char* s, size_t n) {
    std::memcpy(p, s, n);
    p += n;
  }
};

inline void scrivi_punto(scrittore& s, uint8_t genere, double valore) {
  switch (genere) {
    case genere_punto::intero:
      s.u16(genere_punto::intero);
      s.i16(basso16(std::isfinite(valore) ? std::llround(valore) : 0));
      break;
    case genere_punto::doppio:
      s.u16(genere_punto::doppio);
      s.doppio(valore);
      break;
    default:
      s.u16(genere_punto::vuoto);
      break;
  }
}

}  // namespace immagini

// Line table file: the 87 records, entry 0 first, 34 + name length bytes each.
inline std::string immagine_tabella(const tabella& t) {
  size_t totale = 0;
  for (const auto& v : t) totale += formato::byte_record(formato::kCampiVoce, v);
  std::string b(totale, '\0');
  char* p = b.data();
  for (const auto& v : t) p = formato::codifica_record(formato::kCampiVoce, v, p);
  return b;
}

// Track file: one 15-byte record per cell, cell 0 first. Written by hand, not
// through the field table: a compile writes twenty thousand cells (a test
// checks that both ways give the same bytes).
inline std::string immagine_percorso(const std::vector<cella_percorso>& celle) {
  std::string b(celle.size() * formato::kCella, '\0');
  immagini::scrittore s{b.data()};
  for (const auto& c : celle) {
    s.u8(c.tipo);
    s.i16(c.valore_1);
    s.i16(c.valore_2);
    s.i16(c.valore_3);
    s.i16(c.valore_4);
    s.u8(c.tempo);
    s.u8(c.marcatore);
    s.u8(c.montagna);
    s.u8(c.velocita_limite);
    s.u8(c.pendenza);
    s.u8(c.aderenza);
  }
  return b;
}

namespace immagini {

// Points written: a plan whose arrays disagree in length gives the shortest.
inline size_t punti_scritti(const planimetria_linea& p) {
  return std::min({p.punti(), p.x.size(), p.y.size()});
}
// Bytes of one column of the plan file; both columns share the kinds, so the
// second column starts right after this many bytes.
inline uint64_t byte_colonna(const planimetria_linea& p) {
  uint64_t b = 0;
  const size_t n = punti_scritti(p);
  for (size_t m = 0; m < n; ++m) b += formato::dimensione_punto(p.genere[m]);
  return b;
}

// Elements m to fine - 1 of one column, encoded at q; returns the end.
inline char* codifica_colonna(const uint8_t* g, const double* v, size_t m, size_t fine, char* q) {
  static_assert(std::endian::native == std::endian::little, "the short way copies native bytes");
  constexpr uint16_t kEtichettaDoppio = genere_punto::doppio;
  for (; m < fine; ++m) {
    if (g[m] == genere_punto::doppio) {  // nearly every point: the short way
      std::memcpy(q, &kEtichettaDoppio, 2);
      std::memcpy(q + 2, v + m, 8);
      q += 10;
    } else {
      scrittore s{q};
      scrivi_punto(s, g[m],
                   g[m] == genere_punto::vuoto ? 0.0 : v[m]);  // an empty point has no value
      q = s.p;
    }
  }
  return q;
}

}  // namespace immagini

// The line plan file: the first coordinate of every point, then the second,
// each element a 2-byte kind tag (0 empty, 2 16-bit integer, 5 double) and
// its value. Handed to `consegna(offset, bytes)` in pieces of about `pezzo`
// bytes with their place in the file, so the 20 MB of a 1000 km line never
// stand in memory at once; one buffer, no larger than a column, serves both.
template <typename F>
void planimetria_a_pezzi(const planimetria_linea& p, size_t pezzo, F&& consegna) {
  const size_t n = immagini::punti_scritti(p);
  const uint64_t byte = immagini::byte_colonna(p);
  constexpr size_t kBlocco = 4096;  // elements between two checks of the buffer
  const size_t misura = static_cast<size_t>(std::min<uint64_t>(pezzo, byte)) + kBlocco * 10;
  std::unique_ptr<char[]> b(new char[misura]);
  for (int colonna = 0; colonna < 2; ++colonna) {
    uint64_t offset = colonna == 0 ? 0 : byte;
    const double* v = colonna == 0 ? p.x.data() : p.y.data();
    char* q = b.get();
    for (size_t m = 0; m < n;) {
      const size_t fino = std::min(n, m + kBlocco);
      q = immagini::codifica_colonna(p.genere.data(), v, m, fino, q);
      m = fino;
      const size_t pieni = static_cast<size_t>(q - b.get());
      if (pieni >= pezzo || m == n) {
        consegna(offset, std::string_view(b.get(), pieni));
        offset += pieni;
        q = b.get();
      }
    }
  }
}
