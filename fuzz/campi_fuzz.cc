// The field reader alone: a sequence of text and number reads over any bytes.
//
// Input: one byte k, then k % 64 bytes naming the reads (low two bits: 0 text,
// 1 number, 2 number in the 16-bit range, 3 end-of-file test), then the text.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "compiler/campi.h"

namespace {

void pretendi(bool vero, const char* cosa) {
  if (vero) return;
  std::fprintf(stderr, "\n*** campi_fuzz: %s\n", cosa);
  std::abort();
}

bool fine_riga(char c) {
  return c == '\r' || c == '\n';
}

size_t righe_massime(const std::string& t) {
  size_t n = 1;
  for (char c : t) n += fine_riga(c) ? 1 : 0;
  return n;
}

// After a read that succeeded: where the field starts lies inside the text.
void controlla_posizione(const lettore_campi& f, size_t righe) {
  pretendi(f.riga() >= 1 && static_cast<size_t>(f.riga()) <= righe, "riga fuori dal testo");
  pretendi(f.colonna() >= 1, "colonna prima dell'inizio della riga");
  for (char c : f.testo_riga()) pretendi(!fine_riga(c), "la riga mostrata contiene un a capo");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* dati, size_t n) {
  if (n == 0) return 0;
  const size_t k = std::min<size_t>(dati[0] % 64, n - 1);
  const std::string ordini(reinterpret_cast<const char*>(dati) + 1, k);
  const std::string testo(reinterpret_cast<const char*>(dati) + 1 + k, n - 1 - k);
  const size_t righe = righe_massime(testo);

  lettore_campi f(testo);
  for (char o : ordini) {
    const bool finito = f.fine();
    bool letto = true;
    try {
      switch (o & 3) {
        case 0: {
          std::string t = f.testo();
          for (char c : t) pretendi(!fine_riga(c), "un campo di testo contiene un a capo");
          break;
        }
        case 1:
          f.numero();
          break;
        case 2: {
          int32_t v = f.numero(-32768, 32767);
          pretendi(v >= -32768 && v <= 32767, "numero fuori dal campo chiesto");
          break;
        }
        default:
          letto = false;
          break;
      }
    } catch (const errore_lettura& e) {
      pretendi(e.motivo != nullptr, "errore di lettura senza motivo");
      letto = false;
    }
    if (letto) {
      pretendi(!finito, "letto un campo oltre la fine del file");
      controlla_posizione(f, righe);
    }
  }

  // Every read takes at least one byte, so the rest is used up in at most
  // that many reads.
  size_t letture = 0;
  while (!f.fine()) {
    pretendi(++letture <= testo.size(), "lettura che non avanza");
    try {
      f.testo();
    } catch (const errore_lettura&) {
      pretendi(false, "un campo di testo non si puo leggere");
    }
  }
  bool eccezione = false;
  try {
    f.testo();
  } catch (const errore_lettura&) {
    eccezione = true;
  }
  pretendi(eccezione, "lettura oltre la fine senza errore");
  return 0;
}
