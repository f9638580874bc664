#include "tool/bozza/zip.h"

#include <zlib.h>

#include <cstdint>

#include "platform/testo.h"

namespace bozza {

namespace {

uint32_t le(std::string_view b, uint64_t i, int byte) {
  uint32_t v = 0;
  for (int k = byte - 1; k >= 0; --k)
    v = (v << 8) | static_cast<unsigned char>(b[i + static_cast<size_t>(k)]);
  return v;
}

bool fine_con(std::string_view s, std::string_view coda) {
  if (s.size() < coda.size()) return false;
  return testo::minuscolo(s.substr(s.size() - coda.size())) == testo::minuscolo(coda);
}

bool gonfia(std::string_view compressi, size_t attesi, std::string& dati) {
  dati.assign(attesi, '\0');
  z_stream z{};
  if (inflateInit2(&z, -MAX_WBITS) != Z_OK) return false;
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(compressi.data()));
  z.avail_in = static_cast<uInt>(compressi.size());
  z.next_out = reinterpret_cast<Bytef*>(dati.data());
  z.avail_out = static_cast<uInt>(dati.size());
  const int r = inflate(&z, Z_FINISH);
  const bool ok = r == Z_STREAM_END && z.total_out == attesi;
  inflateEnd(&z);
  return ok;
}

}  // namespace

namespace {

// The end record, in the last 64 kB (its comment may be that long).
uint64_t fine_zip(std::string_view b) {
  if (b.size() < 22) return std::string_view::npos;
  const uint64_t ultimo = b.size() - 22;
  const uint64_t primo = ultimo > 0xFFFF ? ultimo - 0xFFFF : 0;
  for (uint64_t i = ultimo + 1; i-- > primo;)
    if (le(b, i, 4) == 0x06054b50) return i;
  return std::string_view::npos;
}

}  // namespace

// Offsets are 64-bit: an archive's 32-bit fields near their limit must not
// wrap past the checks.
bool estrai_da_zip(std::string_view b, std::string_view coda, perche_no misura, std::string& nome,
                   std::string& dati, std::string& errore) {
  const uint64_t fine = fine_zip(b);
  if (fine == std::string_view::npos) {
    errore = "non è un archivio zip leggibile";
    return false;
  }
  const uint64_t voci = le(b, fine + 10, 2);
  uint64_t p = le(b, fine + 16, 4);
  for (uint64_t v = 0; v < voci; ++v) {
    if (p + 46 > b.size() || le(b, p, 4) != 0x02014b50) break;
    const uint64_t metodo = le(b, p + 10, 2), compressa = le(b, p + 20, 4),
                   piena = le(b, p + 24, 4), locale = le(b, p + 42, 4);
    const uint64_t n = le(b, p + 28, 2), extra = le(b, p + 30, 2), commento = le(b, p + 32, 2);
    if (p + 46 + n > b.size()) break;
    const std::string_view questo = b.substr(p + 46, n);
    p += 46 + n + extra + commento;
    if (!fine_con(questo, coda)) continue;
    if (locale + 30 > b.size() || le(b, locale, 4) != 0x04034b50) break;
    const uint64_t inizio = locale + 30 + le(b, locale + 26, 2) + le(b, locale + 28, 2);
    if (inizio + compressa > b.size()) break;
    nome = std::string(questo);
    if (const std::string no = misura(piena); !no.empty()) {
      errore = nome + " nell'archivio: " + no;
      return false;
    }
    const std::string_view c = b.substr(inizio, compressa);
    if (metodo == 0 && compressa == piena) {
      dati = std::string(c);
      return true;
    }
    if (metodo == 8 && gonfia(c, piena, dati)) return true;
    errore = "l'archivio zip è rovinato o usa una compressione che non si legge (" + nome + ")";
    return false;
  }
  errore = "l'archivio zip non contiene un file " + std::string(coda) + " leggibile";
  return false;
}

}  // namespace bozza
