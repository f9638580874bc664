// The train description reader: train values, speed-limit and adhesion
// profiles, signals, slowdowns, speed-reduction points and stations.
#include <limits>

#include "compiler/campi.h"
#include "driver/codici.h"
#include "driver/form1.h"
#include "model/numeri.h"
#include "platform/file.h"
#include "platform/testo.h"

namespace {

// What the read does after an entry.
enum class esito {
  avanti,        // next token
  fine_ciclo,    // leave the loop, the end-of-read steps follow (code 15)
  fine_lettura,  // the read is over: drop the file, nothing more
};

constexpr int64_t kMinimo16 = std::numeric_limits<int16_t>::min();
constexpr int64_t kMassimo16 = std::numeric_limits<int16_t>::max();
// A token with a dash is passed over, but never more than this many in a row.
constexpr int kTrattiniSaltati = 2;

int16_t leggi16(lettore_campi& f) {
  return static_cast<int16_t>(f.numero(kMinimo16, kMassimo16));
}

int32_t ultima_cella(const Form1& t) {
  if (t.lettura.ultima_cella < 0) throw errore_lettura{"nessuna cella"};
  return t.lettura.ultima_cella;
}

// True when an entry at p (with the room it needs after it) lies beyond the
// cells; the quotient (p + margine) / 50 is compared exactly.
bool oltre_le_celle(Form1& t, const lettore_campi& f, int64_t p, int64_t margine) {
  if (p + margine <= int64_t{ultima_cella(t)} * 50) return false;
  t.codice_errore = codice::oltre_le_celle;
  t.posizione_errore = static_cast<int32_t>(p);
  t.origine = {t.codice_errore, t.posizione_errore, posizione_campo(f, t.file_treno())};
  return true;
}

// Whether a token names an entry (the tests of the read loop).
bool chiave_treno(std::string_view t) {
  using testo::contiene_nc;
  for (const char* parola : {"vetture", "velocit", "aderenza", "orologio", "sabbia", "segnale",
                             "rallentamento", "abbattimento", "stazione"})
    if (contiene_nc(t, parola)) return true;
  return contiene_nc(t, "massa") && contiene_nc(t, "frenata");
}

// Check mode: a profile point behind the one before it.
void controlla_ordine(Form1& t, int64_t& ultima, int64_t p, const char* profilo) {
  if (p < ultima)
    t.avvisi->push_back({t.lettura.voce, std::string("punto di ") + profilo + " a " +
                                             std::to_string(p) + " m dopo uno a " +
                                             std::to_string(ultima) +
                                             " m: i punti vanno in ordine di posizione"});
  ultima = p;
}

// Profile stores past the last cell are dropped.
void scrivi_velocita(Form1& t, int32_t i) {
  if (i > ultima_cella(t)) return;
  const int64_t quinti = arrotonda(t.lettura.velocita_precedente, 5);
  if (quinti < 0 || quinti > 255) throw errore_lettura{"velocita fuori dal campo"};
  t.celle_percorso[static_cast<size_t>(i)].velocita_limite = static_cast<uint8_t>(quinti);
}

void scrivi_aderenza(Form1& t, int32_t i) {
  if (i > ultima_cella(t)) return;
  t.celle_percorso[static_cast<size_t>(i)].aderenza = basso8(t.lettura.aderenza_precedente);
}

// The previous point's value holds from its own cell up to the cell before
// this point's; a point at or behind the filled cells still fills one.
esito punto_velocita(Form1& t, lettore_campi& f) {
  const int32_t p = f.numero();
  const int32_t v = f.numero();
  if (oltre_le_celle(t, f, p, 100)) return esito::fine_ciclo;
  stato_lettura& s = t.lettura;
  if (t.avvisi) {
    controlla_ordine(t, s.ultima_velocita, p, "velocità");
    if (v % 5 != 0)
      t.avvisi->push_back({posizione_campo(f, t.file_treno()),
                           "velocità " + std::to_string(v) + " km/h non multipla di 5: diventa " +
                               std::to_string(arrotonda(v, 5) * 5) + " km/h"});
  }
  const int64_t w = arrotonda(p, 50);
  if (w > 0) {
    do {
      if (s.indice_velocita >= ultima_cella(t)) break;
      scrivi_velocita(t, s.indice_velocita);
      ++s.indice_velocita;
    } while (s.indice_velocita < w);
  }
  s.velocita_precedente = v;
  return esito::avanti;
}

esito punto_aderenza(Form1& t, lettore_campi& f) {
  const int32_t p = f.numero();
  const int32_t a = f.numero();
  if (oltre_le_celle(t, f, p, 100)) return esito::fine_ciclo;
  stato_lettura& s = t.lettura;
  if (t.avvisi) {
    controlla_ordine(t, s.ultima_aderenza, p, "aderenza");
    controlla_8(*t.avvisi, posizione_campo(f, t.file_treno()), "aderenza", a);
  }
  const int64_t w = arrotonda(p, 50);
  if (w > 0) {
    do {
      scrivi_aderenza(t, s.indice_aderenza);
      ++s.indice_aderenza;
    } while (s.indice_aderenza < w);
  }
  s.aderenza_precedente = a;
  return esito::avanti;
}

esito segnale(Form1& t, lettore_campi& f) {
  int32_t v[11];
  for (int32_t& x : v) x = f.numero();
  const int32_t posizione = v[0];
  if (oltre_le_celle(t, f, posizione, 100)) return esito::fine_ciclo;
  t.memo_segnale(posizione, v[1], v[2], v[3], v[4], v[5], v[6], v[7], v[8], v[9], v[10]);
  // A code still pending from the line read ends the read here too.
  if (t.codice_errore > 0) {
    t.posizione_errore = posizione;
    return esito::fine_lettura;
  }
  return esito::avanti;
}

esito rallentamento(Form1& t, lettore_campi& f) {
  int32_t v[6];
  for (int32_t& x : v) x = f.numero();
  const int32_t posizione = v[0];
  if (oltre_le_celle(t, f, posizione, 100)) return esito::fine_ciclo;
  t.memo_rallentamento(posizione, v[1], v[2], v[3], v[4], v[5]);
  if (t.codice_errore > 0) {
    t.posizione_errore = posizione;
    return esito::fine_lettura;
  }
  return esito::avanti;
}

// A speed-reduction point takes the cell its position falls in, one before
// the cell a signal at the same position takes.
esito abbattimento(Form1& t, lettore_campi& f) {
  const int32_t p = f.numero();
  const int32_t r = f.numero();
  if (oltre_le_celle(t, f, p, 100)) return esito::fine_ciclo;
  const int64_t c = arrotonda(p, 50);
  if (c < 0 || c > ultima_cella(t)) throw errore_lettura{"abbattimento fuori dalle celle"};
  cella_percorso& x = t.celle_percorso[static_cast<size_t>(c)];
  if (!cella_libera(x)) {
    t.codice_errore = codice::abbattimento_occupato;
    t.posizione_errore = p;
    return esito::fine_lettura;
  }
  if (r <= 0) {
    x.tipo = tipo_cella::abbattimento_senza_velocita;
  } else {
    if (t.avvisi) controlla_16(*t.avvisi, posizione_campo(f, t.file_treno()), "abbattimento", r);
    x.tipo = tipo_cella::abbattimento;
    x.valore_1 = basso16(r);
  }
  return esito::avanti;
}

void fine_profili(Form1& t) {
  stato_lettura& s = t.lettura;
  const int32_t ultima = ultima_cella(t);
  do {
    scrivi_velocita(t, s.indice_velocita);
    ++s.indice_velocita;
  } while (s.indice_velocita < ultima - 2);
  do {
    scrivi_aderenza(t, s.indice_aderenza);
    ++s.indice_aderenza;
  } while (s.indice_aderenza < ultima - 2);
}

// The kilometric reference points must lie on cell boundaries.
void controlla_progressive(Form1& t) {
  for (int e = 81; e <= 83; ++e) {
    const voce_linea& v = t.tabella_linea[static_cast<size_t>(e)];
    if (v.inizio % 50 != 0 || v.fine % 50 != 0) t.codice_errore = codice::progressive_non_multiple;
  }
  if (t.codice_errore != codice::progressive_non_multiple) return;
  // The cause stands in the line description.
  for (const posizione_sorgente& p : t.lettura.progressive_errate) {
    if (p.riga == 0) continue;
    t.origine = {t.codice_errore, t.posizione_errore, p};
    break;
  }
}

}  // namespace

void Form1::leggi_treno(lettore_campi& f) {
  lettura.limite_stazioni = lettura.prossimo_cartello;
  lettura.riga_ignorata = 0;

  bool generale = false;
  while (!f.fine()) {
    riga = f.testo();
    generale = testo::contiene_nc(riga, "[generale]");
    if (generale) break;
  }
  if (avvisi && !generale)
    avvisi->push_back({posizione_campo(f, file_treno()),
                       "il file non ha la sezione [generale]: nessuna voce viene letta"});
  lettura.indice_velocita = 0;
  lettura.indice_aderenza = 0;
  lettura.indice_stazione = 1;

  voce_linea& treno = tabella_linea[84];
  voce_linea& orologio = tabella_linea[86];
  esito e = esito::avanti;
  // The read that reaches the end of the file leaves its field unhandled.
  auto alla_fine = [&]() {
    if (!f.fine()) return false;
    if (avvisi) ultimo_campo(*avvisi, posizione_campo(f, file_treno()), riga);
    return true;
  };
  while (e == esito::avanti && !f.fine()) {
    riga = f.testo();
    if (alla_fine()) break;  // the last field of the file is never handled
    bool finito = false;
    for (int i = 0; i < kTrattiniSaltati && testo::contiene(riga, "-"); ++i) {
      riga = f.testo();
      if (alla_fine()) {
        finito = true;
        break;
      }
    }
    if (finito) break;
    if (avvisi) {
      lettura.voce = posizione_campo(f, file_treno());
      if (!testo::contiene(riga, "-") && !chiave_treno(riga))
        campo_ignorato(*avvisi, lettura.riga_ignorata, lettura.voce, riga);
    }

    auto chiave = [this](const char* parola) { return testo::contiene_nc(riga, parola); };
    if (chiave("massa") && chiave("frenata")) treno.inizio = f.numero();
    if (chiave("vetture")) treno.posizione = f.numero();
    if (chiave("velocit")) e = punto_velocita(*this, f);
    if (e == esito::avanti && chiave("aderenza")) e = punto_aderenza(*this, f);
    if (e != esito::avanti) break;
    if (chiave("orologio")) {
      orologio.parametro_4 = leggi16(f);
      orologio.parametro_5 = leggi16(f);
      orologio.parametro_6 = leggi16(f);
    }
    if (chiave("sabbia")) orologio.parametro_1 = leggi16(f);
    if (chiave("segnale")) e = segnale(*this, f);
    if (e == esito::avanti && chiave("rallentamento")) e = rallentamento(*this, f);
    if (e == esito::avanti && chiave("abbattimento")) e = abbattimento(*this, f);
    if (e == esito::avanti && chiave("stazione")) {
      bool esci = false;
      stazione(f, esci);
      if (esci)
        e = codice_errore == codice::oltre_le_celle ? esito::fine_ciclo : esito::fine_lettura;
    }
  }

  disco->cancella(file_treno());
  if (e == esito::fine_lettura) return;
  fine_profili(*this);
  controlla_progressive(*this);
}
