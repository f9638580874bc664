// One "stazione" entry of the train description: its table record, its zone,
// its stop cell and approach markers.
#include <limits>

#include "compiler/campi.h"
#include "driver/codici.h"
#include "driver/form1.h"
#include "model/numeri.h"
#include "platform/testo.h"

namespace {

constexpr int64_t kMinimo16 = std::numeric_limits<int16_t>::min();
constexpr int64_t kMassimo16 = std::numeric_limits<int16_t>::max();
// The table file stores a name's length in 16 bits.
constexpr size_t kNomeMassimo = 65535;
// Zones must lie at least this far apart.
constexpr int64_t kDistanzaZone = 350;
// Kinds from here on are junctions and halts: no stop cell, no markers.
constexpr int kSenzaFermata = 25;

uint8_t leggi8(lettore_campi& f) {
  return static_cast<uint8_t>(f.numero(0, 255));
}
int16_t leggi16(lettore_campi& f) {
  return static_cast<int16_t>(f.numero(kMinimo16, kMassimo16));
}

int32_t in32(int64_t v) {
  if (v < std::numeric_limits<int32_t>::min() || v > std::numeric_limits<int32_t>::max())
    throw errore_lettura{"valore fuori dai 32 bit"};
  return static_cast<int32_t>(v);
}

// What a cell's kind holds, for a person.
std::string oggetto(uint8_t tipo) {
  switch (tipo) {
    case tipo_cella::segnale:
      return "un segnale";
    case tipo_cella::fine_rallentamento:
      return "la fine di un rallentamento";
    case tipo_cella::inizio_rallentamento:
      return "l'inizio di un rallentamento";
    case tipo_cella::avviso_rallentamento:
      return "l'avviso di un rallentamento";
    case tipo_cella::avvicinamento_avviso:
      return "un punto prima dell'avviso di un rallentamento";
    case tipo_cella::indicatori_v_max:
      return "un indicatore di velocità massima";
    case tipo_cella::fermata:
      return "la fermata di un'altra stazione";
    case tipo_cella::abbattimento:
    case tipo_cella::abbattimento_senza_velocita:
      return "un punto di abbattimento";
    case tipo_cella::cartello:
      return "un cartello indicatore";
    default:
      return "un oggetto di tipo " + std::to_string(tipo);
  }
}

}  // namespace

// Reads the entry after its key into the next station record. `esci` tells the
// reader to leave its loop: with code 15 the end-of-read steps follow, with any
// other code the read is over.
void Form1::stazione(lettore_campi& f, bool& esci) {
  esci = false;
  const int32_t n = lettura.indice_stazione;
  // Entries above the limit hold the named signs' texts.
  if (n > lettura.limite_stazioni) {
    codice_errore = codice::troppe_stazioni;
    esci = true;
    return;
  }
  const int32_t ultima = lettura.ultima_cella;
  if (ultima < 0) throw errore_lettura{"nessuna cella"};
  voce_linea& r = tabella_linea[static_cast<size_t>(n)];

  r.posizione = f.numero();
  const int64_t p = r.posizione;
  if (p + 800 > int64_t{ultima} * 50) {
    codice_errore = codice::oltre_le_celle;
    posizione_errore = r.posizione;
    origine = {codice_errore, posizione_errore, posizione_campo(f, file_treno())};
    esci = true;
    return;
  }
  if (p % 50 != 0) {
    codice_errore = codice::stazione_posizione;
    posizione_errore = r.posizione;
    esci = true;
    return;
  }
  r.tipo = leggi8(f);
  const int64_t l = f.numero();
  if (l % 100 != 0) {
    codice_errore = codice::stazione_lunghezza;
    posizione_errore = r.posizione;
    esci = true;
    return;
  }
  r.opzione_1 = leggi8(f);
  r.opzione_2 = leggi8(f);
  r.prolunga_fine = leggi8(f);
  r.parametro_1 = leggi16(f);
  r.parametro_2 = leggi16(f);
  r.parametro_3 = leggi8(f);
  r.parametro_4 = leggi16(f);
  r.parametro_5 = leggi16(f);
  r.parametro_6 = leggi16(f);
  r.parametro_7 = leggi8(f);
  const int64_t ore = f.numero();
  const int64_t minuti = f.numero();
  const int64_t secondi = f.numero();
  std::string nome = f.testo();
  if (nome.size() > kNomeMassimo) throw errore_lettura{"nome di stazione troppo lungo"};
  r.nome = std::move(nome);
  r.orario = in32((ore * 60 + minuti) * 60 + secondi);

  const int tipo = r.tipo;
  if (tipo == 5 || tipo == 6) {
    r.inizio = in32(p - l);
    r.fine = in32(p + 150);
    r.prolunga_fine = 0;
  } else if (tipo == 7 || tipo == 8) {
    r.inizio = in32(p - l);
    r.fine = in32(p + l);
    r.prolunga_fine = 0;
  } else {
    r.inizio = in32(arrotonda(2 * p - l, 2));
    r.fine = in32(arrotonda(2 * p + l + (r.prolunga_fine != 0 ? 100 : 0), 2));
  }
  if (l < 600) r.opzione_2 = 0;
  if (n == 1) {  // after the zone: the first station's extension still counts
    r.prolunga_fine = 0;
    r.opzione_2 = 0;
  }

  const int64_t fine = r.fine;
  const std::string chi = avvisi ? "la stazione " + testo::da_1252(r.nome) : std::string();
  if (tipo < kSenzaFermata && tipo != 5 && tipo != 6) {
    for (int k = 1; k <= 4; ++k) {
      // fine / 50 - k - 1 > 1, on the exact quotient
      if (fine <= 50 * (int64_t{k} + 2)) continue;
      const int64_t c = arrotonda(fine - 50 * (k + 1), 50);
      if (c > ultima) continue;  // markers past the track are dropped
      uint8_t& marcatore = celle_percorso[static_cast<size_t>(c)].marcatore;
      const auto nuovo = static_cast<uint8_t>(80 + k);
      if (avvisi) marcatore_sostituito(*avvisi, lettura.voce, chi, c, marcatore, nuovo);
      marcatore = nuovo;
    }
  }
  if (tipo < kSenzaFermata) {
    if (fine <= 100) {
      codice_errore = codice::fermata_iniziale;
      esci = true;
      return;
    }
    const int64_t c = arrotonda(fine - 50, 50);
    if (c > ultima) throw errore_lettura{"fermata fuori dalle celle"};
    cella_percorso& s = celle_percorso[static_cast<size_t>(c)];
    if (avvisi && !cella_libera(s))
      avvisi->push_back({lettura.voce, chi + ": la fermata sostituisce " + oggetto(s.tipo) +
                                           " nella cella " + std::to_string(c)});
    s.tipo = tipo_cella::fermata;
    s.valore_1 = static_cast<int16_t>(n);
  }

  if (n > 1 && int64_t{r.inizio} - kDistanzaZone < tabella_linea[static_cast<size_t>(n - 1)].fine) {
    codice_errore = codice::stazioni_vicine;
    posizione_errore = r.posizione;
    esci = true;
    return;
  }
  lettura.indice_stazione = n + 1;
  if (lettura.indice_stazione >= lettura.limite_stazioni) {
    codice_errore = codice::troppe_stazioni;
    esci = true;
  }
}
