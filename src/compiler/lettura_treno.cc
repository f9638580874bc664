// The train description reader: train values, speed-limit and adhesion
// profiles, signals, slowdowns, speed-reduction points and stations.
#include <limits>

#include "compiler/campi.h"
#include "driver/codici.h"
#include "driver/form1.h"
#include "model/formato.h"
#include "model/numeri.h"
#include "model/regole.h"
#include "platform/file.h"
#include "platform/testo.h"

namespace {

// A token with a dash is passed over, but never more than this many in a row.
constexpr int kTrattiniSaltati = 2;

int32_t ultima_cella(const Form1& t) {
  if (t.lettura.ultima_cella < 0) throw errore_lettura{"nessuna cella"};
  return t.lettura.ultima_cella;
}

// True when an entry at p (with the room it needs after it) lies beyond the
// cells; the quotient (p + margine) / 50 is compared exactly. The code stands
// at the position's field `s`. Check mode: a position the cells take past the
// line's end.
bool oltre_le_celle(Form1& t, const lettore_campi& f, int64_t p, int64_t margine,
                    const segno_campo& s) {
  const int64_t ultima = formato::posizione_massima(ultima_cella(t), margine);
  if (p > ultima) {
    t.codice_errore = codice::oltre_le_celle;
    t.posizione_errore = static_cast<int32_t>(p);
    t.origine_al_campo(f, s, t.file_treno());
    t.origine.lunghezza = t.lettura.lunghezza_percorso;
    t.origine.ultima = ultima;
    return true;
  }
  if (t.avvisi)
    oltre_la_linea(*t.avvisi, posizione_campo(f, t.file_treno(), s), "posizione", p,
                   t.lettura.lunghezza_percorso, ultima);
  return false;
}

// Check mode: a value the compile keeps otherwise than written, at its field.
void avvisa(Form1& t, const lettore_campi& f, const segno_campo& s, const std::string& m) {
  if (t.avvisi) t.avvisi->push_back({posizione_campo(f, t.file_treno(), s), m});
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
  const int64_t quinti = regole::passi_velocita(t.lettura.velocita_precedente);
  if (quinti < 0 || quinti > 255) throw errore_lettura{"velocita fuori dal campo"};
  t.celle_percorso[static_cast<size_t>(i)].velocita_limite = static_cast<uint8_t>(quinti);
}

void scrivi_aderenza(Form1& t, int32_t i) {
  if (i > ultima_cella(t)) return;
  t.celle_percorso[static_cast<size_t>(i)].aderenza = basso8(t.lettura.aderenza_precedente);
}

// The previous point's value holds from its own cell up to the cell before
// this point's; a point at or behind the filled cells still fills one.
esito_voce punto_velocita(Form1& t, lettore_campi& f) {
  const int32_t p = f.numero();
  const segno_campo dove = f.segno();
  const int32_t v = f.numero();
  if (oltre_le_celle(t, f, p, formato::kMargineOggetto, dove)) return esito_voce::fine_ciclo;
  stato_lettura& s = t.lettura;
  if (t.avvisi) {
    controlla_ordine(t, s.ultima_velocita, p, "velocità");
    if (v % regole::kPassoVelocita != 0)
      t.avvisi->push_back(
          {posizione_campo(f, t.file_treno()),
           "velocità " + std::to_string(v) + " km/h non multipla di 5: diventa " +
               std::to_string(regole::velocita_dei_passi(regole::passi_velocita(v))) + " km/h"});
  }
  const int64_t w = regole::cella_della_posizione(p, false);
  if (w > 0) {
    do {
      if (s.indice_velocita >= ultima_cella(t)) break;
      scrivi_velocita(t, s.indice_velocita);
      ++s.indice_velocita;
    } while (s.indice_velocita < w);
  }
  s.velocita_precedente = v;
  return esito_voce::avanti;
}

esito_voce punto_aderenza(Form1& t, lettore_campi& f) {
  const int32_t p = f.numero();
  const segno_campo dove = f.segno();
  const int32_t a = f.numero();
  if (oltre_le_celle(t, f, p, formato::kMargineOggetto, dove)) return esito_voce::fine_ciclo;
  stato_lettura& s = t.lettura;
  if (t.avvisi) {
    controlla_ordine(t, s.ultima_aderenza, p, "aderenza");
    controlla_8(*t.avvisi, posizione_campo(f, t.file_treno()), "aderenza", a);
  }
  const int64_t w = regole::cella_della_posizione(p, false);
  if (w > 0) {
    do {
      scrivi_aderenza(t, s.indice_aderenza);
      ++s.indice_aderenza;
    } while (s.indice_aderenza < w);
  }
  s.aderenza_precedente = a;
  return esito_voce::avanti;
}

// Check mode: a time the signal does not keep as written (the last field).
void controlla_tempo(Form1& t, const lettore_campi& f, int32_t sx, int32_t tempo) {
  if (sx != 2 && tempo != 0)
    avvisa(t, f, f.segno(),
           "tempo " + std::to_string(tempo) + " ignorato: il segnale tiene il tempo solo con sx 2");
  else if (sx == 2 && tempo >= 1 && tempo <= 100)
    avvisa(t, f, f.segno(),
           "tempo " + std::to_string(tempo) + " del segnale: da 1 a 100 diventa 101");
}

// After a recorder: a code it set stands at the entry's position; a code
// still pending from the line read ends the read here too, where it was.
esito_voce dopo_il_recorder(Form1& t, const lettore_campi& f, const segno_campo& dove,
                            int32_t posizione, int32_t prima) {
  if (t.codice_errore <= 0) return esito_voce::avanti;
  t.posizione_errore = posizione;
  if (t.codice_errore != prima) t.origine_al_campo(f, dove, t.file_treno());
  return esito_voce::fine_lettura;
}

esito_voce segnale(Form1& t, lettore_campi& f) {
  int32_t v[11];
  v[0] = f.numero();
  const segno_campo dove = f.segno();
  for (size_t i = 1; i < std::size(v); ++i) v[i] = f.numero();
  const int32_t posizione = v[0];
  if (oltre_le_celle(t, f, posizione, formato::kMargineOggetto, dove))
    return esito_voce::fine_ciclo;
  if (t.avvisi) controlla_tempo(t, f, v[1], v[10]);
  const int32_t prima = t.codice_errore;
  t.memo_segnale(posizione, v[1], v[2], v[3], v[4], v[5], v[6], v[7], v[8], v[9], v[10]);
  return dopo_il_recorder(t, f, dove, posizione, prima);
}

// Check mode: an end before the start or on its cell, a warning switch
// with no warning point, an end past the line's.
void controlla_rallentamento(Form1& t, const lettore_campi& f, const segno_campo (&dove)[6],
                             const int32_t (&v)[6]) {
  const int64_t p = v[0], fine = p + v[2];
  if (v[2] < 0)
    avvisa(t, f, dove[2],
           "lunghezza " + std::to_string(v[2]) + " m: il rallentamento finisce (" +
               std::to_string(fine) + " m) prima di cominciare");
  else if (regole::cella_della_posizione(fine, true) == regole::cella_della_posizione(p, true))
    avvisa(t, f, dove[2],
           "lunghezza " + std::to_string(v[2]) +
               " m: inizio e fine cadono nella stessa cella, che resta solo un inizio");
  if (p <= formato::kSenzaAvviso && v[4] != 0)
    avvisa(t, f, dove[4],
           "f_ta ignorato: un rallentamento fino a 1500 m non ha avviso né celle prima di esso");
  if (p <= t.lettura.lunghezza_percorso)
    oltre_la_linea(*t.avvisi, posizione_campo(f, t.file_treno(), dove[2]), "fine del rallentamento",
                   fine, t.lettura.lunghezza_percorso,
                   formato::posizione_massima(t.lettura.ultima_cella));
}

esito_voce rallentamento(Form1& t, lettore_campi& f) {
  int32_t v[6];
  segno_campo dove[6];
  for (size_t i = 0; i < std::size(v); ++i) {
    v[i] = f.numero();
    dove[i] = f.segno();
  }
  const int32_t posizione = v[0];
  if (oltre_le_celle(t, f, posizione, formato::kMargineOggetto, dove[0]))
    return esito_voce::fine_ciclo;
  if (t.avvisi) controlla_rallentamento(t, f, dove, v);
  const int32_t prima = t.codice_errore;
  t.memo_rallentamento(posizione, v[1], v[2], v[3], v[4], v[5]);
  return dopo_il_recorder(t, f, dove[0], posizione, prima);
}

// A speed-reduction point takes the cell its position falls in, one before
// the cell a signal at the same position takes.
esito_voce abbattimento(Form1& t, lettore_campi& f) {
  const int32_t p = f.numero();
  const segno_campo dove = f.segno();
  const int32_t r = f.numero();
  if (oltre_le_celle(t, f, p, formato::kMargineOggetto, dove)) return esito_voce::fine_ciclo;
  const int64_t c = regole::cella_della_posizione(p, false);
  if (c < 0 || c > ultima_cella(t)) throw errore_lettura{"abbattimento fuori dalle celle"};
  cella_percorso& x = t.celle_percorso[static_cast<size_t>(c)];
  if (!cella_libera(x)) {
    t.codice_errore = codice::abbattimento_occupato;
    t.posizione_errore = p;
    t.origine_al_campo(f, dove, t.file_treno());
    t.occupata(c);
    return esito_voce::fine_lettura;
  }
  t.occupa(c);
  if (r <= 0) {
    x.tipo = tipo_cella::abbattimento_senza_velocita;
  } else {
    if (t.avvisi) controlla_16(*t.avvisi, posizione_campo(f, t.file_treno()), "abbattimento", r);
    x.tipo = tipo_cella::abbattimento;
    x.valore_1 = basso16(r);
  }
  return esito_voce::avanti;
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
    if (v.inizio % formato::kMetriCella != 0 || v.fine % formato::kMetriCella != 0)
      t.codice_errore = codice::progressive_non_multiple;
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

namespace {

esito_voce massa(Form1& t, lettore_campi& f) {
  t.tabella_linea[formato::kVoceTreno].inizio = f.numero();
  return esito_voce::avanti;
}
esito_voce vetture(Form1& t, lettore_campi& f) {
  t.tabella_linea[formato::kVoceTreno].posizione = f.numero();
  return esito_voce::avanti;
}
esito_voce orologio(Form1& t, lettore_campi& f) {
  voce_linea& o = t.tabella_linea[formato::kVoceRipetizione];
  o.parametro_4 = f.numero16();
  o.parametro_5 = f.numero16();
  o.parametro_6 = f.numero16();
  return esito_voce::avanti;
}
esito_voce sabbia(Form1& t, lettore_campi& f) {
  t.tabella_linea[formato::kVoceRipetizione].parametro_1 = f.numero16();
  return esito_voce::avanti;
}
esito_voce stazione(Form1& t, lettore_campi& f) {
  return t.stazione(f);
}

// Every key the token holds, in the table's order; the first entry that
// ends the loop or the read ends the token too.
esito_voce voce_treno(Form1& t, lettore_campi& f) {
  using gestore = esito_voce (*)(Form1&, lettore_campi&);
  static constexpr gestore kGestori[] = {massa,  vetture, punto_velocita, punto_aderenza, orologio,
                                         sabbia, segnale, rallentamento,  abbattimento,   stazione};
  const auto& chiavi = formato::chiavi(formato::sorgente::treno);
  static_assert(std::size(kGestori) == 10, "one handler for each key of the train");
  const posizione_sorgente dove =
      t.voci_lette ? posizione_campo(f, t.file_treno()) : posizione_sorgente{};
  for (size_t k = 0; k < std::size(kGestori); ++k) {
    if (!formato::riconosce(chiavi[k], t.riga)) continue;
    nota_voce nota(t.voci_lette, f, chiavi[k], dove);
    const esito_voce e = kGestori[k](t, f);
    if (e != esito_voce::avanti) return e;
  }
  return esito_voce::avanti;
}

bool chiave_treno(std::string_view t) {
  for (const auto& k : formato::chiavi(formato::sorgente::treno))
    if (formato::riconosce(k, t)) return true;
  return false;
}

// The read that reaches the end of the file leaves its field unhandled.
bool alla_fine(Form1& t, const lettore_campi& f) {
  if (!f.fine()) return false;
  if (t.avvisi) ultimo_campo(*t.avvisi, posizione_campo(f, t.file_treno()), t.riga);
  return true;
}

esito_voce voci(Form1& t, lettore_campi& f) {
  while (!f.fine()) {
    t.riga = f.testo();
    nota_testa(t.voci_lette, f, t.riga, t.file_treno());
    if (alla_fine(t, f)) return esito_voce::avanti;  // the last field is never handled
    for (int i = 0; i < kTrattiniSaltati && testo::contiene(t.riga, "-"); ++i) {
      t.riga = f.testo();
      if (alla_fine(t, f)) return esito_voce::avanti;
    }
    t.lettura.chiave = f.segno();
    if (t.avvisi) t.lettura.voce = posizione_campo(f, t.file_treno());
    if (t.avvisi && !testo::contiene(t.riga, "-") && !chiave_treno(t.riga))
      campo_ignorato(*t.avvisi, t.lettura.riga_ignorata, t.lettura.voce, t.riga);
    const esito_voce e = voce_treno(t, f);
    if (e != esito_voce::avanti) return e;
    if (t.avvisi) voce_su_piu_righe(*t.avvisi, t.lettura.voce, f.riga());
  }
  return esito_voce::avanti;
}

}  // namespace

void Form1::leggi_treno(lettore_campi& f) {
  lettura.limite_stazioni = lettura.prossimo_cartello;
  lettura.riga_ignorata = 0;
  lettura.treno = true;

  bool generale = false;
  while (!f.fine()) {
    riga = f.testo();
    generale = testo::contiene_nc(riga, "[generale]");
    if (generale) {
      nota_testa(voci_lette, f, riga, file_treno());
      break;
    }
  }
  if (avvisi && !generale)
    avvisi->push_back({posizione_campo(f, file_treno()),
                       "il file non ha la sezione [generale]: nessuna voce viene letta"});
  lettura.indice_velocita = 0;
  lettura.indice_aderenza = 0;
  lettura.indice_stazione = formato::kPrimaStazione;

  const esito_voce e = voci(*this, f);
  disco->cancella(file_treno());
  if (e == esito_voce::fine_lettura) return;
  fine_profili(*this);
  controlla_progressive(*this);
}
