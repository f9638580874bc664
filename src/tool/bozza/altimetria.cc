#include "tool/bozza/altimetria.h"

#include <cmath>

#include "platform/file.h"
#include "platform/testo.h"
#include "tool/bozza/zip.h"

namespace bozza {

namespace {

constexpr int16_t kVuoto = -32768;

// The corner a tile's name gives: N50E011, s12w077 (anywhere in the name).
bool angolo(const std::string& nome, int& lat, int& lon) {
  const std::string n = testo::minuscolo(nome);
  for (size_t i = 0; i + 7 <= n.size(); ++i) {
    const char a = n[i], b = n[i + 3];
    if ((a != 'n' && a != 's') || (b != 'e' && b != 'w')) continue;
    bool cifre = true;
    for (size_t k : {1, 2, 4, 5, 6}) cifre = cifre && n[i + k] >= '0' && n[i + k] <= '9';
    if (!cifre) continue;
    lat = (n[i + 1] - '0') * 10 + (n[i + 2] - '0');
    lon = (n[i + 4] - '0') * 100 + (n[i + 5] - '0') * 10 + (n[i + 6] - '0');
    if (a == 's') lat = -lat;
    if (b == 'w') lon = -lon;
    return lat >= -90 && lat < 90 && lon >= -180 && lon < 180;
  }
  return false;
}

constexpr int kLati[] = {1201, 3601};

uint64_t byte_di(int lato) {
  return static_cast<uint64_t>(lato) * static_cast<uint64_t>(lato) * 2;
}

// The side of a tile of this many bytes, or 0.
int lato_di(uint64_t byte) {
  for (int lato : kLati)
    if (byte == byte_di(lato)) return lato;
  return 0;
}

std::string misura_tessera(uint64_t byte) {
  if (lato_di(byte) != 0) return "";
  return std::to_string(byte) +
         " byte non sono una tessera SRTM (1201×1201 o 3601×3601 altezze di 2 byte)";
}

}  // namespace

bool leggi_tessera(const std::string& nome, const std::string& dati, tessera& t,
                   std::string& errore) {
  std::string interno = nome, quote;
  const std::string* h = &dati;
  if (dati.size() >= 4 && dati.compare(0, 4, "PK\x03\x04") == 0) {
    std::string motivo;
    if (!estrai_da_zip(dati, ".hgt", misura_tessera, interno, quote, motivo)) {
      errore = nome + ": " + motivo;
      return false;
    }
    h = &quote;
  }
  t.nome = nome;
  if (!angolo(interno, t.lat0, t.lon0) && !angolo(nome, t.lat0, t.lon0)) {
    errore = nome + ": il nome non dice l'angolo della tessera (come N50E011.hgt)";
    return false;
  }
  t.lato = lato_di(h->size());
  if (t.lato == 0) {
    errore = nome + ": " + misura_tessera(h->size());
    return false;
  }
  t.quote.resize(static_cast<size_t>(t.lato) * t.lato);
  for (size_t i = 0; i < t.quote.size(); ++i)
    t.quote[i] =
        static_cast<int16_t>(static_cast<uint16_t>((static_cast<unsigned char>((*h)[2 * i]) << 8) |
                                                   static_cast<unsigned char>((*h)[2 * i + 1])));
  return true;
}

bool leggi_file_tessera(const std::string& nome, tessera& t, std::string& errore) {
  // An archive holds little more than its tile.
  const uint64_t massimo = 2 * byte_di(kLati[1]);
  std::string dati;
  const file::lettura l = file::leggi_al_piu(nome, massimo, dati);
  if (l.esito == file::esito_lettura::troppo_grande) {
    errore = nome + ": " + misura_tessera(l.dimensione);
    return false;
  }
  if (l.esito != file::esito_lettura::letto) {
    errore = "impossibile leggere la tessera " + nome + (l.motivo.empty() ? "" : ": " + l.motivo);
    return false;
  }
  return leggi_tessera(nome, dati, t, errore);
}

esito_quota quota(const std::vector<tessera>& tessere, coordinate c, double& metri) {
  for (const tessera& t : tessere) {
    const double y = (t.lat0 + 1 - c.lat) * (t.lato - 1), x = (c.lon - t.lon0) * (t.lato - 1);
    if (y < 0 || x < 0 || y > t.lato - 1 || x > t.lato - 1) continue;
    const int r = std::min(static_cast<int>(y), t.lato - 2),
              k = std::min(static_cast<int>(x), t.lato - 2);
    const double fy = y - r, fx = x - k;
    auto q = [&](int a, int b) { return t.quote[static_cast<size_t>(a) * t.lato + b]; };
    const int16_t v[4] = {q(r, k), q(r, k + 1), q(r + 1, k), q(r + 1, k + 1)};
    for (int16_t z : v)
      if (z == kVuoto) return esito_quota::vuoto;
    metri = (v[0] * (1 - fx) + v[1] * fx) * (1 - fy) + (v[2] * (1 - fx) + v[3] * fx) * fy;
    return esito_quota::trovata;
  }
  return esito_quota::fuori;
}

}  // namespace bozza
