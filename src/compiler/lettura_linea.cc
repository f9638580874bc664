// The line description reader: header values, track cells, gradients, spans,
// speed boards, named signs and the curves of the plan. One function per
// entry kind; each says how the read goes on (esito_voce).
#include <cstdint>
#include <string_view>

#include "compiler/campi.h"
#include "driver/codici.h"
#include "driver/form1.h"
#include "model/formato.h"
#include "model/numeri.h"
#include "model/regole.h"
#include "platform/testo.h"

namespace {

using formato::chiavi_corpo;
using formato::chiavi_testata;
using formato::riconosce;
using testo::contiene;

// Keys of the two loops, in the order the reader tries them on one token.
enum chiave_testata : size_t {
  k_lunghezza,
  k_tre,
  k_due,
  k_uno,
  k_sfondo_uno,
  k_sfondo_due,
  k_sfondo_tre,
  k_ripetizione
};
enum chiave_corpo : size_t { k_pendenza, k_curva, k_montagna, k_indicatori, k_cartello };

bool e_chiave(std::string_view t, size_t k, bool corpo) {
  return riconosce((corpo ? chiavi_corpo() : chiavi_testata())[k], t);
}

// A read that ends here with a code: the source goes, the train is not read.
esito_voce ferma(Form1& t, int32_t codice) {
  t.codice_errore = codice;
  return esito_voce::fine_lettura;
}

// Whether position p lies beyond the cells: (p + 100) / 50 above the last cell.
bool oltre_le_celle(const Form1& f, int64_t p) {
  if (f.celle_percorso.empty()) throw errore_lettura{"nessuna cella: manca la lunghezza"};
  return p > formato::posizione_massima(f.lettura.ultima_cella);
}

// Code 15: the body ends, the end-of-file steps still run and the train is
// read; where it came from (the position's field `s`) is kept.
esito_voce fuori(Form1& t, const lettore_campi& f, int64_t p, const segno_campo& s) {
  t.codice_errore = codice::oltre_le_celle;
  t.posizione_errore = static_cast<int32_t>(p);
  t.origine_al_campo(f, s, t.file_linea());
  t.origine.lunghezza = t.lettura.lunghezza_percorso;
  t.origine.ultima = formato::posizione_massima(t.lettura.ultima_cella);
  return esito_voce::fine_ciclo;
}

// Check mode: a position (or an end) that the cells take past the line's end.
void oltre_la_fine(Form1& t, const lettore_campi& f, const segno_campo& s, int64_t p,
                   const char* cosa = "posizione") {
  if (t.avvisi)
    oltre_la_linea(*t.avvisi, posizione_campo(f, t.file_linea(), s), cosa, p,
                   t.lettura.lunghezza_percorso,
                   formato::posizione_massima(t.lettura.ultima_cella));
}

// Check mode: a value the compile keeps otherwise than written, at its field.
void avvisa(Form1& t, const lettore_campi& f, const segno_campo& s, const std::string& m) {
  if (t.avvisi) t.avvisi->push_back({posizione_campo(f, t.file_linea(), s), m});
}

// One gradient store into the next cell. A store past the last cell is dropped;
// the index then stops one past it, which every later test treats alike.
void memo_pendenza(Form1& f) {
  stato_lettura& l = f.lettura;
  if (f.celle_percorso.empty()) throw errore_lettura{"nessuna cella: manca la lunghezza"};
  if (l.indice_pendenza > l.ultima_cella) return;
  f.celle_percorso[static_cast<size_t>(l.indice_pendenza)].pendenza =
      basso8(int64_t{l.pendenza_precedente} + 100);
  ++l.indice_pendenza;
}

// Cell of an object at position p: the cell after the cell of p. Outside the
// cells it cannot be stored at all.
size_t cella_oggetto(const Form1& f, int64_t p) {
  int64_t c = arrotonda(p + formato::kMetriCella, formato::kMetriCella);
  if (c < 0 || c > f.lettura.ultima_cella) throw errore_lettura{"oggetto fuori dalle celle"};
  return static_cast<size_t>(c);
}

// Class of a curve token: the first of the digits 1 to 6 it holds, 0 for none.
int classe_curva(std::string_view t) {
  for (char c = '1'; c <= '6'; ++c)
    if (t.find(c) != std::string_view::npos) return c - '0';
  return 0;
}

// A bracketed token that does not start with a dash closes the header.
bool chiude_intestazione(std::string_view t) {
  if (!contiene(t, "[") || !contiene(t, "]")) return false;
  size_t i = t.find_first_not_of(" \t");
  return i == std::string_view::npos || t[i] != '-';
}

bool una_chiave(std::string_view t, bool corpo, bool curve) {
  const auto& v = corpo ? chiavi_corpo() : chiavi_testata();
  for (size_t k = 0; k < v.size(); ++k)
    if ((curve || !corpo || k != k_curva) && riconosce(v[k], t)) return true;
  return false;
}

// Where a reference point's value stands when it is not a multiple of 50.
void segna_progressiva(Form1& t, const lettore_campi& f, size_t voce, int32_t valore) {
  posizione_sorgente& p = t.lettura.progressive_errate[voce - formato::kVoceProgressivaTre];
  if (valore % formato::kMetriCella != 0 && p.riga == 0) p = posizione_campo(f, t.file_linea());
}

// --- header entries ---

esito_voce lunghezza(Form1& t, lettore_campi& f) {
  stato_lettura& l = t.lettura;
  int32_t lunghezza = f.numero();
  if (lunghezza < 0) throw errore_lettura{"lunghezza negativa"};
  l.lunghezza_percorso = lunghezza;
  t.tabella_linea[formato::kVoceTreno].fine = lunghezza;
  if (lunghezza > formato::kLunghezzaMassima) {
    // Cells of an earlier length line would no longer match the length
    // stored in the table: no compiled file may come from them.
    t.celle_percorso.clear();
    t.planimetria.libera();
    l.ultima_cella = -1;
    return ferma(t, codice::lunghezza_eccessiva);
  }
  if (t.avvisi && !t.celle_percorso.empty())
    t.avvisi->push_back({posizione_campo(f, t.file_linea()),
                         "una seconda lunghezza della linea: le celle della prima si scartano"});
  l.lunghezza_estesa = lunghezza + formato::kOltreLaFine;
  l.ultima_cella = static_cast<int32_t>(formato::ultima_cella(lunghezza));
  t.celle_percorso.assign(static_cast<size_t>(l.ultima_cella) + 1, cella_percorso{});
  t.crea_planimetria();
  return esito_voce::avanti;
}

void progressiva(Form1& t, lettore_campi& f, size_t voce) {
  voce_linea& v = t.tabella_linea[voce];
  const size_t i = voce - formato::kVoceProgressivaTre;
  t.lettura.progressive_errate[i] = posizione_sorgente{};
  if (t.avvisi)
    t.lettura.progressive_dove[i] = posizione_campo(f, t.file_linea(), t.lettura.chiave);
  v.inizio = f.numero();
  segna_progressiva(t, f, voce, v.inizio);
  v.fine = f.numero();
  segna_progressiva(t, f, voce, v.fine);
  v.posizione = f.numero();
  if (v.posizione != 0 && v.posizione != 1)
    avvisa(t, f, f.segno(),
           "correzione " + std::to_string(v.posizione) +
               ": solo 1 aggiunge 100 m alla progressiva, questa resta com'è nella tabella");
}

// A code of the header at the field it is about.
esito_voce ferma_al_campo(Form1& t, const lettore_campi& f, const segno_campo& s, int32_t codice) {
  t.codice_errore = codice;
  t.origine_al_campo(f, s, t.file_linea());
  return esito_voce::fine_lettura;
}

esito_voce ripetizione(Form1& t, lettore_campi& f) {
  voce_linea& r = t.tabella_linea[formato::kVoceRipetizione];
  r.inizio = f.numero();
  const segno_campo inizio = f.segno();
  r.fine = f.numero();
  if (r.inizio % formato::kMetriCella != 0)
    return ferma_al_campo(t, f, inizio, codice::ripetizione_inizio);
  if (r.fine % formato::kMetriCella != 0)
    return ferma_al_campo(t, f, f.segno(), codice::ripetizione_fine);
  if (r.fine != 0 && r.fine < r.inizio)
    avvisa(t, f, f.segno(),
           "la zona di ripetizione finisce a " + std::to_string(r.fine) +
               " m, prima del suo inizio (" + std::to_string(r.inizio) + " m)");
  // The digit may stand anywhere in the token.
  if (contiene(t.riga, "4"))
    r.posizione = 4;
  else if (contiene(t.riga, "9"))
    r.posizione = 9;
  else
    return ferma_al_campo(t, f, t.lettura.chiave, codice::ripetizione_codici);
  if (r.fine == 0) r.posizione = 0;
  return esito_voce::avanti;
}

// Every header key the token holds, in the table's order.
esito_voce voce_testata(Form1& t, lettore_campi& f) {
  const std::string& r = t.riga;
  voce_linea& sfondi = t.tabella_linea[formato::kVoceLinea];
  const posizione_sorgente dove =
      t.voci_lette ? posizione_campo(f, t.file_linea()) : posizione_sorgente{};
  // Noted while its values are read, when entries are noted.
  auto nota = [&](size_t k) { return nota_voce(t.voci_lette, f, chiavi_testata()[k], dove, true); };
  if (e_chiave(r, k_lunghezza, false)) {
    nota_voce n = nota(k_lunghezza);
    if (lunghezza(t, f) == esito_voce::fine_lettura) return esito_voce::fine_lettura;
  }
  if (e_chiave(r, k_tre, false)) nota(k_tre), progressiva(t, f, formato::kVoceProgressivaTre);
  if (e_chiave(r, k_due, false)) nota(k_due), progressiva(t, f, formato::kVoceProgressivaDue);
  if (e_chiave(r, k_uno, false)) nota(k_uno), progressiva(t, f, formato::kVoceProgressivaUno);
  if (e_chiave(r, k_sfondo_uno, false)) nota(k_sfondo_uno), sfondi.inizio = f.numero();
  if (e_chiave(r, k_sfondo_due, false)) nota(k_sfondo_due), sfondi.posizione = f.numero();
  if (e_chiave(r, k_sfondo_tre, false)) nota(k_sfondo_tre), sfondi.fine = f.numero();
  if (e_chiave(r, k_ripetizione, false)) {
    nota_voce n = nota(k_ripetizione);
    return ripetizione(t, f);
  }
  return esito_voce::avanti;
}

// Everything up to the first "[generale]" is passed over; a file that ends
// first gives code 102.
esito_voce fino_a_generale(Form1& t, lettore_campi& f) {
  for (;;) {
    if (f.fine()) return ferma(t, codice::generale_mancante);
    t.riga = f.testo();
    if (f.fine()) return ferma(t, codice::generale_mancante);
    if (testo::contiene_nc(t.riga, "[generale]")) {
      nota_testa(t.voci_lette, f, t.riga, t.file_linea());
      return esito_voce::avanti;
    }
  }
}

esito_voce testata(Form1& t, lettore_campi& f) {
  for (;;) {
    if (f.fine()) return esito_voce::avanti;
    t.riga = f.testo();
    if (f.fine()) {
      if (t.avvisi) ultimo_campo(*t.avvisi, posizione_campo(f, t.file_linea()), t.riga);
      return esito_voce::avanti;
    }
    // Up to ten dashed tokens in a row are passed over, with no test of the
    // end of the file between them.
    for (int k = 0; k < 10; ++k)
      if (contiene(t.riga, "-")) t.riga = f.testo();
    nota_testa(t.voci_lette, f, t.riga, t.file_linea());
    t.lettura.chiave = f.segno();
    if (t.avvisi && !contiene(t.riga, "-") && !una_chiave(t.riga, false, false) &&
        !chiude_intestazione(t.riga))
      campo_ignorato(*t.avvisi, t.lettura.riga_ignorata, posizione_campo(f, t.file_linea()),
                     t.riga);
    if (voce_testata(t, f) == esito_voce::fine_lettura) return esito_voce::fine_lettura;
    if (t.avvisi)
      voce_su_piu_righe(*t.avvisi, posizione_campo(f, t.file_linea(), t.lettura.chiave), f.riga());
    if (chiude_intestazione(t.riga)) return esito_voce::avanti;
  }
}

// --- body entries ---

// Check mode: a gradient point behind the one before it, or a gradient that
// wraps in its 8-bit field (stored as gradient + 100).
void controlla_pendenza(Form1& t, const lettore_campi& f, int64_t p, int64_t g) {
  stato_lettura& l = t.lettura;
  if (p < l.ultima_pendenza)
    t.avvisi->push_back({l.voce, "punto di pendenza a " + std::to_string(p) + " m dopo uno a " +
                                     std::to_string(l.ultima_pendenza) +
                                     " m: i punti vanno in ordine di posizione"});
  l.ultima_pendenza = p;
  if (g < regole::kPendenzaMinima || g > regole::kPendenzaMassima)
    t.avvisi->push_back({posizione_campo(f, t.file_linea()),
                         "pendenza " + std::to_string(g) + " per mille fuori da " +
                             std::to_string(regole::kPendenzaMinima) + ".." +
                             std::to_string(regole::kPendenzaMassima) + ": diventa " +
                             std::to_string(regole::pendenza_memorizzata(g))});
}

// Each gradient holds from the cell of its position up to the cell before
// the next point's; a point at or behind the filled cells still fills one.
esito_voce pendenza(Form1& t, lettore_campi& f) {
  stato_lettura& l = t.lettura;
  const int32_t p = f.numero();
  const segno_campo dove = f.segno();
  const int32_t g = f.numero();
  if (oltre_le_celle(t, p)) return fuori(t, f, p, dove);
  oltre_la_fine(t, f, dove, p);
  if (t.avvisi) controlla_pendenza(t, f, p, g);
  const int64_t n = arrotonda(p, formato::kMetriCella);
  if (n > 0) {
    do memo_pendenza(t);
    while (l.indice_pendenza < n);
  }
  l.pendenza_precedente = g;
  return esito_voce::avanti;
}

esito_voce curva(Form1& t, lettore_campi& f) {
  stato_lettura& l = t.lettura;
  const int32_t s = f.numero();
  const segno_campo dove = f.segno();
  const int32_t n = f.numero();
  if (oltre_le_celle(t, s)) return fuori(t, f, s, dove);
  oltre_la_fine(t, f, dove, s);
  if (s <= l.lunghezza_percorso) oltre_la_fine(t, f, f.segno(), int64_t{s} + n, "fine della curva");
  const int classe = classe_curva(t.riga);
  if (t.avvisi && s + 1 < l.indice_planimetria)
    t.avvisi->push_back(
        {l.voce, "la curva inizia a " + std::to_string(s) + " m, prima del punto già tracciato (" +
                     std::to_string(l.indice_planimetria - 1) + " m): piega solo da lì"});
  // The class is in the key; the plan's bound is reached by the length.
  if (classe == 0) return ferma_al_campo(t, f, l.chiave, codice::curva_errata);
  if (!t.curva(s, n, classe, testo::contiene_nc(t.riga, "s")))
    return ferma_al_campo(t, f, f.segno(), codice::curva_errata);
  return esito_voce::avanti;
}

// Check mode: a span that marks no cell, or whose kind the gap rule replaced.
void controlla_montagna(Form1& t, const lettore_campi& f, const segno_campo (&dove)[2],
                        int32_t inizio, int32_t fine, int32_t scritto, int32_t tipo) {
  const stato_lettura& l = t.lettura;
  if (inizio <= l.lunghezza_percorso) oltre_la_fine(t, f, dove[1], fine, "fine del tratto");
  if (arrotonda(inizio, formato::kMetriCella) > arrotonda(int64_t{fine} - 50, formato::kMetriCella))
    avvisa(t, f, dove[1],
           std::string(fine < inizio ? "il tratto finisce prima di cominciare" : "il tratto") +
               " (da " + std::to_string(inizio) + " a " + std::to_string(fine) +
               " m): non segna nessuna cella, ma conta per la regola dei 150 m");
  const int32_t voluto =
      scritto > formato::kTipoConSegni ? scritto - formato::kTipoConSegni : scritto;
  if (tipo != voluto)
    avvisa(t, f, dove[0],
           "il tratto inizia a " + std::to_string(inizio) +
               " m, 150 m o meno dopo la fine del "
               "precedente (" +
               std::to_string(l.montagne_fine[static_cast<size_t>(l.numero_montagne) - 1]) +
               " m): prende il tipo " + std::to_string(tipo) + " invece di " +
               std::to_string(voluto));
}

esito_voce montagna(Form1& t, lettore_campi& f) {
  int32_t inizio = f.numero();
  segno_campo dove[2] = {f.segno(), {}};
  int32_t fine = f.numero();
  dove[1] = f.segno();
  int32_t tipo = f.numero();
  if (oltre_le_celle(t, inizio)) return fuori(t, f, inizio, dove[0]);
  oltre_la_fine(t, f, dove[0], inizio);
  const int32_t scritto = tipo;
  t.memo_montagna(inizio, fine, tipo);
  if (t.avvisi) controlla_montagna(t, f, dove, inizio, fine, scritto, tipo);
  return esito_voce::avanti;
}

esito_voce indicatori(Form1& t, lettore_campi& f) {
  const int32_t posizione = f.numero();
  const segno_campo dove = f.segno();
  int32_t v[8];
  for (int32_t& x : v) x = f.numero();
  if (oltre_le_celle(t, posizione)) return fuori(t, f, posizione, dove);
  oltre_la_fine(t, f, dove, posizione);
  t.memo_indicatori_v_max(posizione, v[0], v[1], v[2], v[3], v[4], v[5], v[6], v[7]);
  if (t.codice_errore <= 0) return esito_voce::avanti;
  t.posizione_errore = posizione;
  t.origine_al_campo(f, dove, t.file_linea());
  return ferma(t, t.codice_errore);
}

// The sign takes the next text entry down from 80 and the cell after the
// cell of its position; the token becomes the sign's text.
esito_voce cartello(Form1& t, lettore_campi& f) {
  stato_lettura& l = t.lettura;
  const int32_t p = f.numero();
  const segno_campo dove = f.segno();
  t.riga = f.testo();
  if (t.riga.size() > formato::kTestoMassimo)
    throw errore_lettura{"testo del cartello troppo lungo"};
  if (oltre_le_celle(t, p)) return fuori(t, f, p, dove);
  oltre_la_fine(t, f, dove, p);
  const size_t n = cella_oggetto(t, p);
  cella_percorso& c = t.celle_percorso[n];
  if (!cella_libera(c)) {
    t.posizione_errore = p;
    t.codice_errore = codice::cartello_occupato;
    t.origine_al_campo(f, dove, t.file_linea());
    t.occupata(static_cast<int64_t>(n));
    return esito_voce::fine_lettura;
  }
  t.occupa(static_cast<int64_t>(n));
  if (l.prossimo_cartello < 0) throw errore_lettura{"troppi cartelli"};
  c.tipo = tipo_cella::cartello;
  c.valore_1 = static_cast<int16_t>(l.prossimo_cartello);
  t.tabella_linea[static_cast<size_t>(l.prossimo_cartello)].nome = t.riga;
  --l.prossimo_cartello;
  return esito_voce::avanti;
}

// Every body key the token holds, in the table's order.
esito_voce voce_corpo(Form1& t, lettore_campi& f) {
  using gestore = esito_voce (*)(Form1&, lettore_campi&);
  static constexpr gestore kGestori[] = {pendenza, curva, montagna, indicatori, cartello};
  const posizione_sorgente dove =
      t.voci_lette ? posizione_campo(f, t.file_linea()) : posizione_sorgente{};
  for (size_t k = 0; k < std::size(kGestori); ++k) {
    if (k == k_curva && t.j == 0) continue;  // without a plan curves are not keys
    if (!e_chiave(t.riga, k, true)) continue;
    nota_voce nota(t.voci_lette, f, chiavi_corpo()[k], dove);
    const esito_voce e = kGestori[k](t, f);
    if (e != esito_voce::avanti) return e;
  }
  return esito_voce::avanti;
}

// The read that reaches the end of the file leaves its field unhandled.
bool alla_fine(Form1& t, const lettore_campi& f) {
  if (!f.fine()) return false;
  if (t.avvisi) ultimo_campo(*t.avvisi, posizione_campo(f, t.file_linea()), t.riga);
  return true;
}

esito_voce corpo(Form1& t, lettore_campi& f) {
  for (;;) {
    if (f.fine()) return esito_voce::avanti;
    t.riga = f.testo();
    nota_testa(t.voci_lette, f, t.riga, t.file_linea());
    if (alla_fine(t, f)) return esito_voce::avanti;
    // At most two dashed tokens in a row are passed over.
    for (int k = 0; k < 2 && contiene(t.riga, "-"); ++k) {
      t.riga = f.testo();
      if (alla_fine(t, f)) return esito_voce::avanti;
    }
    t.lettura.chiave = f.segno();
    if (t.avvisi) t.lettura.voce = posizione_campo(f, t.file_linea());
    if (t.avvisi && !contiene(t.riga, "-") && !una_chiave(t.riga, true, t.j != 0))
      campo_ignorato(*t.avvisi, t.lettura.riga_ignorata, t.lettura.voce, t.riga);
    const esito_voce e = voce_corpo(t, f);
    if (e != esito_voce::avanti) return e;
    if (t.avvisi) voce_su_piu_righe(*t.avvisi, t.lettura.voce, f.riga());
  }
}

}  // namespace

esito_voce Form1::leggi_linea(lettore_campi& f) {
  stato_lettura& l = lettura;
  // Cells and plan belong to this read alone.
  celle_percorso.clear();
  planimetria.libera();
  l.ultima_cella = -1;

  esito_voce e = fino_a_generale(*this, f);
  if (e == esito_voce::avanti) e = testata(*this, f);
  if (e == esito_voce::fine_lettura) {
    disco->cancella(file_linea());
    return e;
  }
  progressive_ordina();
  l.numero_montagne = 0;
  l.prossimo_cartello = formato::kPrimoCartello;
  l.indice_pendenza = 0;
  l.pendenza_precedente = 0;
  inizia_planimetria();
  if (corpo(*this, f) == esito_voce::fine_lettura) {
    disco->cancella(file_linea());
    return esito_voce::fine_lettura;
  }

  // End of the file, or a position beyond the cells.
  disco->cancella(file_linea());
  do memo_pendenza(*this);
  while (l.indice_pendenza < int64_t{l.ultima_cella} - 2);
  fine_planimetria();
  l.limite_stazioni = l.prossimo_cartello;
  return esito_voce::avanti;
}
