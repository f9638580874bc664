// The tile reader over any bytes, through its zip reader when they open as an
// archive: a tile read has its two sizes' heights, a refusal its reason, and
// the heights at a few points of the tile come out without a fault.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "tool/bozza/altimetria.h"

namespace {

void pretendi(bool vero, const char* cosa) {
  if (vero) return;
  std::fprintf(stderr, "\n*** tessera_fuzz: %s\n", cosa);
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* dati, size_t n) {
  const std::string d(reinterpret_cast<const char*>(dati), n);
  bozza::tessera t;
  std::string e;
  if (!bozza::leggi_tessera("N45E010.hgt", d, t, e)) {
    pretendi(!e.empty(), "una tessera rifiutata senza motivo");
    return 0;
  }
  pretendi(t.lato == 1201 || t.lato == 3601, "un lato che nessuna tessera ha");
  pretendi(t.quote.size() == static_cast<size_t>(t.lato) * t.lato,
           "le altezze non fanno il quadrato");
  double h;
  for (double f : {0.0, 0.37, 0.5, 1.0}) bozza::quota({t}, {t.lat0 + f, t.lon0 + 1 - f}, h);
  return 0;
}
