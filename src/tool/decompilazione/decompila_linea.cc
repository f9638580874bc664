// The line description back from the compiled records: how far its read got,
// the header, the curves from the plan, the gradients, the speed boards and
// the named signs (the spans have a file of their own).
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "model/formato.h"
#include "model/numeri.h"
#include "model/regole.h"
#include "tool/decompilazione/decompila_interno.h"

namespace {

using formato::kPuntoMassimo;

// The highest position the reader accepts for an entry: (p + 100) / 50 may
// not exceed the last cell.
int64_t posizione_massima(const analisi& a) {
  return formato::kMetriCella * int64_t{a.ultima} - 100;
}

// --- reference points ---

struct punto_km {
  int64_t posizione = 0, progressiva = 0, correzione = 0;
};

punto_km da_voce(const voce_linea& v) {
  return {v.inizio, v.fine, v.posizione};
}

// The three points as the header must give them ("tre", "due", "uno", for
// entries 81, 82, 83 before the sort) so that the sort and the correction of
// 100 m leave entries 81 to 83 as compiled. False when no order of reading
// gives them.
bool progressive_lette(const tabella& t, punto_km lette[3]) {
  punto_km r[3];
  bool zero = true;
  for (int i = 0; i < 3; ++i) {
    r[i] = da_voce(t[static_cast<size_t>(formato::kVoceProgressivaTre + i)]);
    zero = zero && r[i].posizione == 0 && r[i].progressiva == 0 && r[i].correzione == 0;
    if (r[i].correzione == 1) r[i].progressiva -= 100;
    if (r[i].progressiva < INT32_MIN) return false;  // read as 32 bits before the correction
  }
  if (zero) {
    for (int i = 0; i < 3; ++i) lette[i] = punto_km{};
    return true;
  }
  const int64_t somma = r[0].posizione + r[1].posizione + r[2].posizione;
  if (somma != 0) {
    // Largest position strictly first; of the other two the larger second,
    // a tie between them putting the one read as "uno" in entry 82.
    if (r[0].posizione <= r[1].posizione || r[1].posizione < r[2].posizione) return false;
    lette[0] = r[0];
    if (r[1].posizione == r[2].posizione) {
      lette[1] = r[2], lette[2] = r[1];
    } else {
      lette[1] = r[1], lette[2] = r[2];
    }
    return true;
  }
  // No positions: the last chainage above 0 of the tests "tre", "due", "uno"
  // decides; a point read as "uno" with a chainage above 0 always leads.
  if (r[0].progressiva <= 0) return false;
  lette[0] = r[2], lette[1] = r[1], lette[2] = r[0];
  return true;
}

// Consistent repetition zone of a header that was read to its end.
bool ripetizione_valida(const voce_linea& r) {
  if (r.inizio % formato::kMetriCella != 0 || r.fine % formato::kMetriCella != 0) return false;
  if (r.fine == 0) return r.posizione == 0;
  return r.posizione == 4 || r.posizione == 9;
}

// --- the plan ---

bool uguale(double a, double b) {
  return std::memcmp(&a, &b, sizeof a) == 0;
}

// Which step gave point (xi, yi) after (x2, y2) and (x1, y1): 0 straight, c a
// right curve of class c, -c a left one; 99 when none does. The step of the
// point before is tried first.
int passo(double x2, double y2, double x1, double y1, double xi, double yi, int prima) {
  auto prova = [&](int codice) {
    const double k = formato::curvatura(static_cast<size_t>(std::abs(codice)), codice < 0);
    const auto [xn, yn] = formato::passo_piano(x2, y2, x1, y1, codice != 0, k);
    return uguale(xn, xi) && uguale(yn, yi);
  };
  if (prova(prima)) return prima;
  if (prima != 0 && prova(0)) return 0;
  for (int c = 1; c <= 6; ++c) {
    if (c != prima && prova(c)) return c;
    if (-c != prima && prova(-c)) return -c;
  }
  return 99;
}

bool inizio_piano(const vista_planimetria& p) {
  return p.genere(0) == genere_punto::intero && p.genere(1) == genere_punto::intero &&
         p.x(0) == 0 && p.y(0) == 0 && p.x(1) == 0 && p.y(1) == 1;
}

// The first point of [da, a) that is empty, or `a`.
size_t primo_vuoto(const vista_planimetria& p, size_t da, size_t a) {
  for (size_t i = da; i < a; ++i)
    if (p.genere(i) == genere_punto::vuoto) return i;
  return a;
}

}  // namespace

analisi::analisi(const scenario_compilato& c, decompilazione& d)
    : s(c),
      celle(c.celle),
      ultima(static_cast<int>(c.celle.size()) - 1),
      note(d.inesprimibili),
      non_ricostruite(d.non_ricostruite),
      tracce(d.tracce) {
  // The stamps of cell 1 went over values that had to be 0.
  if (celle.size() > 1) celle[1].valore_1 = celle[1].valore_2 = 0;
  spiegata.assign(celle.size(), 0);
  sotto.assign(celle.size(), sotto_fermata::niente);
  fermata.assign(celle.size(), 0);
  fermata_prima.assign(celle.size(), 0);
  cella_cartello.assign(formato::kPrimoCartello + 1, -1);
}

void analizza_lettura_linea(analisi& a) {
  const tabella& t = a.s.tabella_linea;
  punto_km lette[3];
  const bool testata =
      progressive_lette(t, lette) && ripetizione_valida(t[formato::kVoceRipetizione]);
  if (!a.s.con_planimetria) {
    // Without a plan only the header can tell a stop: a body that stopped
    // writes nothing a complete read could not.
    if (!testata) a.linea = lettura_linea::ferma_testata;
  } else {
    const vista_planimetria& p = a.s.pianta;
    const size_t punti = p.punti();
    if (punti >= 2 && p.genere(0) == genere_punto::vuoto && p.genere(1) == genere_punto::vuoto) {
      a.linea = lettura_linea::ferma_testata;
    } else if (punti >= 5 && p.genere(punti - 3) == genere_punto::vuoto) {
      a.linea = lettura_linea::ferma_corpo;
      a.punto_fermo = static_cast<int64_t>(primo_vuoto(p, 2, punti));
    }
  }
  if (a.linea == lettura_linea::ferma_testata)
    a.tracce.push_back(
        "la lettura della linea si è fermata nell'intestazione (codice 3, 4, 5 o 25): punti di "
        "riferimento non ordinati, nessuna voce del corpo, nessuna planimetria, nessun treno; il "
        "sorgente scritto si ferma allo stesso punto");
  if (a.linea == lettura_linea::ferma_corpo)
    a.tracce.push_back(
        "la lettura della linea si è fermata nel corpo (codice 6, 21, 25 o 103) "
        "con la planimetria tracciata fino al punto " +
        n(a.punto_fermo - 1) +
        ": nessun riempimento finale, nessun treno; il sorgente scritto si ferma "
        "allo stesso punto");
}

namespace {

// --- header ---

void progressive(const analisi& a, sezione_sorgente& s) {
  const tabella& t = a.s.tabella_linea;
  punto_km p[3];  // as read: "tre", "due", "uno"
  if (a.linea == lettura_linea::ferma_testata) {
    for (int i = 0; i < 3; ++i)
      p[i] = da_voce(t[static_cast<size_t>(formato::kVoceProgressivaTre + i)]);
  } else if (!progressive_lette(t, p)) {
    const_cast<analisi&>(a).nota(
        "voci 81-83: punti di riferimento che l'ordinamento per posizione non dà");
    for (int i = 0; i < 3; ++i)
      p[i] = da_voce(t[static_cast<size_t>(formato::kVoceProgressivaTre + i)]);
  }
  const char* nomi[] = {"tre", "due", "uno"};
  for (int i = 2; i >= 0; --i)
    s.righe.push_back(voce(std::string("progressiva chilometrica ") + nomi[i],
                           {n(p[i].posizione), n(p[i].progressiva), n(p[i].correzione)}));
}

// The repetition zone; in a header that stopped there, the entry that stopped it.
bool ripetizione(analisi& a, sezione_sorgente& s) {
  const voce_linea& r = a.s.tabella_linea[formato::kVoceRipetizione];
  auto riga = [&](const std::string& codici, int64_t inizio, int64_t fine) {
    s.righe.push_back(voce("ripetizione segnali " + codici + "codici", {n(inizio), n(fine)},
                           kSenzaPosizione, "ripetizione segnali"));
  };
  if (ripetizione_valida(r)) {
    if (r.inizio != 0 || r.fine != 0) riga(r.posizione == 9 ? "9 " : "4 ", r.inizio, r.fine);
    return false;
  }
  if (a.linea != lettura_linea::ferma_testata ||
      (r.posizione != 0 && r.posizione != 4 && r.posizione != 9)) {
    a.nota("voce 86: zona di ripetizione " + n(r.inizio) + "-" + n(r.fine) + " con codici " +
           n(r.posizione) + ", che la lettura non dà");
    return false;
  }
  // The codes of an earlier entry, then the one whose check stopped the read.
  if (r.posizione != 0) riga(r.posizione == 9 ? "9 " : "4 ", 0, 50);
  const bool multipli = r.inizio % formato::kMetriCella == 0 && r.fine % formato::kMetriCella == 0;
  riga(multipli ? "" : "4 ", r.inizio, r.fine);
  return true;
}

void testata(analisi& a, sezione_sorgente& s) {
  const tabella& t = a.s.tabella_linea;
  s.righe.push_back(voce("lunghezza percorso", {n(t[formato::kVoceTreno].fine)}));
  progressive(a, s);
  const voce_linea& sfondi = t[formato::kVoceLinea];
  s.righe.push_back(voce("sfondo uno", {n(sfondi.inizio)}));
  s.righe.push_back(voce("sfondo due", {n(sfondi.posizione)}));
  s.righe.push_back(voce("sfondo tre", {n(sfondi.fine)}));
  const bool fermata = ripetizione(a, s);
  // A header that stopped on a value that cannot be read.
  if (a.linea == lettura_linea::ferma_testata && !fermata)
    s.righe.push_back(voce("sfondo uno", {"X"}, kSenzaPosizione, "fine della lettura"));
}

// --- curves ---

// The plan's shape outside the traced points: what every trace starts with
// and what it leaves empty.
bool forma_planimetria(analisi& a, const vista_planimetria& p, int64_t punti, int64_t fine) {
  if (punti < 5 || !inizio_piano(p)) {
    a.nota(
        "planimetria: i primi due punti non sono gli interi (0, 0) e (0, 1) da cui parte ogni "
        "tracciato");
    return false;
  }
  if (static_cast<int64_t>(primo_vuoto(p, 2, static_cast<size_t>(fine))) != fine ||
      primo_vuoto(p, static_cast<size_t>(fine), static_cast<size_t>(punti)) !=
          static_cast<size_t>(fine))
    a.nota("planimetria: punti vuoti in mezzo a quelli tracciati");
  for (int64_t i = fine; i < punti; ++i)
    if (p.genere(static_cast<size_t>(i)) != genere_punto::vuoto) {
      a.nota("planimetria: punti oltre la fine del tracciato");
      break;
    }
  return true;
}

// The curve entries from the runs of steps of one curvature: each run is one
// curve, its straight run-in the reader's while the point reached is not past
// its start.
struct corse_curve {
  analisi& a;
  sezione_sorgente& s;
  bool fermo;          // the read stopped in the body
  int64_t fine;        // points [2, fine) are traced
  int64_t massima;     // the last position a curve can have
  int64_t indice = 2;  // the next point the reader computes

  void rettilineo_oltre(int64_t metro) {
    a.nota("planimetria: un rettilineo arriva al metro " + n(metro) +
           ", oltre l'ultima posizione che una curva può avere");
  }

  void metti(riga_sorgente r, bool arresto) {
    // The entry that stopped the read (code 103) comes after every other one.
    if (arresto)
      a.arresto_linea.push_back(std::move(r));
    else
      s.righe.push_back(std::move(r));
  }

  // The run of curvature k from point i to point b.
  void chiudi(int k, int64_t i, int64_t b) {
    int64_t inizio = i - 1;
    if (inizio > massima) {
      if (i == indice)
        inizio = massima;  // nothing to run in: any start behind the point reached
      else
        rettilineo_oltre(i - 1);
    }
    // Only the read's last curve may carry the plan to point 1000000 (code 103).
    if (b >= kPuntoMassimo && !(fermo && b == fine - 1))
      a.nota("planimetria: una curva arriva oltre il punto 999999");
    const int classe = k < 0 ? -k : k;
    metti(voce(std::string("curva") + (k < 0 ? "s" : "d") + n(classe), {n(inizio), n(b - inizio)},
               inizio, "curva"),
          fermo && b == kPuntoMassimo && b == fine - 1);
    indice = b + 1;
  }

  // Straight on to where the read stopped: a curve of no length runs in.
  void fino_all_arresto() {
    if (!fermo || indice >= fine) return;
    if (fine - 1 > massima) rettilineo_oltre(fine - 1);
    metti(voce("curvad1", {n(fine - 1), "0"}, fine - 1, "curva"), fine - 1 == kPuntoMassimo);
  }
};

void curve(analisi& a, sezione_sorgente& s) {
  if (!a.s.con_planimetria || a.linea == lettura_linea::ferma_testata) return;
  const vista_planimetria& p = a.s.pianta;
  const int64_t punti = static_cast<int64_t>(p.punti());
  const bool fermo = a.linea == lettura_linea::ferma_corpo;
  const int64_t fine = fermo ? a.punto_fermo : punti - 2;
  if (!forma_planimetria(a, p, punti, fine)) return;
  corse_curve c{a, s, fermo, fine, posizione_massima(a)};
  bool segnalato = false;
  double x2 = p.x(0), y2 = p.y(0), x1 = p.x(1), y1 = p.y(1);
  int prima = 0;
  int64_t inizio_corsa = -1;
  // Straight from the bytes where they are all doubles (a plan of 1000 km
  // has a million points).
  const char *px = nullptr, *py = nullptr;
  const bool diretti = p.doppi_in_byte(2, static_cast<size_t>(fine), px, py);
  for (int64_t i = 2; i < fine; ++i) {
    const auto m = static_cast<size_t>(i);
    double xi, yi;
    bool doppio = true;
    if (diretti) {
      std::memcpy(&xi, px, sizeof xi);
      std::memcpy(&yi, py, sizeof yi);
      px += 10;
      py += 10;
    } else {
      xi = p.x(m), yi = p.y(m);
      doppio = p.genere(m) == genere_punto::doppio;
    }
    int k = doppio ? passo(x2, y2, x1, y1, xi, yi, prima) : 99;
    if (k == 99) {
      if (!segnalato)
        a.nota("planimetria: il punto " + n(i) + " non segue né un rettilineo né una curva");
      segnalato = true;
      k = 0;
    }
    if (k != prima && inizio_corsa >= 0) {
      c.chiudi(prima, inizio_corsa, i - 1);
      inizio_corsa = -1;
    }
    if (k != 0 && inizio_corsa < 0) inizio_corsa = i;
    prima = k;
    x2 = x1, y2 = y1, x1 = xi, y1 = yi;
  }
  if (inizio_corsa >= 0) c.chiudi(prima, inizio_corsa, fine - 1);
  c.fino_all_arresto();
}

// --- gradients ---

void pendenze(analisi& a, sezione_sorgente& s) {
  if (a.linea == lettura_linea::ferma_testata) return;
  std::vector<int> v(a.celle.size());
  for (size_t i = 0; i < v.size(); ++i) v[i] = a.celle[i].pendenza;
  for (const punto_profilo& q : punti_profilo(v, a.ultima, a.linea == lettura_linea::intera))
    s.righe.push_back(
        voce("pendenza", {n(q.posizione), n(regole::pendenza_del_campo(q.valore))}, q.posizione));
}

// --- boards ---

// Two speeds packed as s * 20 + d / 5: both multiples of 5, the first one
// taking the hundreds.
std::pair<int64_t, int64_t> velocita_coppia(int64_t v) {
  auto [q, r] = cifre(v, 100);
  return {5 * q, 5 * r};
}

riga_sorgente indicatore(analisi& a, size_t i) {
  const cella_percorso& x = a.cella(static_cast<int64_t>(i));
  const bool nascosto = x.tipo == tipo_cella::fermata;  // its first speeds went
  const int64_t p = (static_cast<int64_t>(i) - 1) * formato::kMetriCella;
  if (p > posizione_massima(a))
    a.nota("cella " + n(static_cast<int64_t>(i)) +
           ": cartello "
           "di velocità nell'ultima cella, dove nessuna voce arriva");
  if (!nascosto && x.tempo != 0)
    a.nota("cella " + n(static_cast<int64_t>(i)) + ": cartello di velocità con un tempo");
  auto [vas, vad] = velocita_coppia(nascosto ? 0 : x.valore_1);
  auto [vbs, vbd] = velocita_coppia(x.valore_2);
  auto [vcs, vcd] = velocita_coppia(x.valore_3);
  auto [ss, sd] = cifre(x.valore_4, 10);
  std::vector<std::string> v = {n(p), n(vas), n(vbs), n(vcs), n(ss)};
  // An empty second side, as the built-in boards have it.
  const bool vuoto = vad == 0 && vbd == 0 && vcd == 0;
  for (int64_t d : {vad, vbd, vcd}) v.push_back(vuoto ? "" : n(d));
  v.push_back(n(sd));
  return voce("indicatori_vmax", v, p);
}

void indicatori(analisi& a, sezione_sorgente& s) {
  std::vector<size_t> celle = a.indicatori_nascosti;
  for (size_t i = 0; i < a.celle.size(); ++i)
    if (a.celle[i].tipo == tipo_cella::indicatori_v_max) celle.push_back(i);
  std::sort(celle.begin(), celle.end());
  for (size_t i : celle) {
    a.spiegata[i] = 1;
    s.righe.push_back(indicatore(a, i));
  }
}

// --- named signs ---

void cartelli(analisi& a, sezione_sorgente& s) {
  const tabella& t = a.s.tabella_linea;
  size_t nascosto = 0;
  for (int e = 80; e > 80 - a.cartelli; --e) {
    int64_t c = a.cella_cartello[static_cast<size_t>(e)];
    if (c >= 0) {
      a.spiegata[static_cast<size_t>(c)] = 1;
    } else if (nascosto < a.cartelli_nascosti.size()) {
      c = static_cast<int64_t>(a.cartelli_nascosti[nascosto++]);
    } else {
      a.nota("voce " + n(e) + ": testo di cartello senza una cella che possa averlo avuto");
      c = 2;
    }
    std::string testo;
    if (!testo_campo(t[static_cast<size_t>(e)].nome, testo))
      a.nota("voce " + n(e) + ": testo di cartello che nessun campo può dare");
    const int64_t p = (c - 1) * formato::kMetriCella;
    s.righe.push_back(voce("cartello_indicatore", {n(p), testo}, p));
  }
}

}  // namespace

void scrivi_linea(analisi& a, std::vector<sezione_sorgente>& sezioni) {
  sezioni.push_back({"[generale]", {}});
  testata(a, sezioni.back());
  sezioni.push_back({"[curve]", {}});
  curve(a, sezioni.back());
  sezioni.push_back({"[pendenze]", {}});
  pendenze(a, sezioni.back());
  sezioni.push_back({"[montagne]", {}});
  if (a.linea != lettura_linea::ferma_testata) montagne(a, sezioni.back());
  sezioni.push_back({"[cartelli]", {}});
  indicatori(a, sezioni.back());
  sezioni.push_back({"[indicazioni]", {}});
  cartelli(a, sezioni.back());
  if (a.linea == lettura_linea::ferma_corpo && a.arresto_linea.empty())
    a.arresto_linea.push_back(voce("pendenza", {"X", "0"}, kSenzaPosizione, "fine della lettura"));
  for (const riga_sorgente& r : a.arresto_linea) sezioni.back().righe.push_back(r);
  sezioni.push_back({"[fine]", {}});
}

// --- shared helpers ---

riga_sorgente voce(std::string chiave, std::vector<std::string> valori, int64_t posizione,
                   std::string genere) {
  riga_sorgente r;
  if (genere.empty()) genere = chiave;
  r.chiave = std::move(chiave);
  r.valori = std::move(valori);
  r.genere = std::move(genere);
  r.posizione = posizione;
  return r;
}

std::string n(int64_t v) {
  return std::to_string(v);
}

std::pair<int64_t, int64_t> cifre(int64_t v, int64_t base) {
  int64_t q = v / base, r = v % base;
  if (r < 0) --q, r += base;
  return {q, r};
}

std::vector<punto_profilo> punti_profilo(const std::vector<int>& v, int ultima, bool con_coda) {
  std::vector<punto_profilo> r;
  const int64_t t = int64_t{ultima} - 2;  // the run-out fills at least up to t - 1
  int64_t k = 0;                          // cells 0 to k - 1 are stored
  for (int64_t i = static_cast<int64_t>(v.size()) - 1; i >= 0; --i)
    if (v[static_cast<size_t>(i)] != 0) {
      k = i + 1;
      break;
    }
  if (con_coda) k = std::max(k, t);
  auto valore = [&](int64_t c) { return v[static_cast<size_t>(c)]; };
  if (k == 0) {
    if (con_coda) r.push_back({0, 0});
    return r;
  }
  // A point at 0 only sets the value that fills from cell 0; each point after
  // fills the cells up to the one before its own.
  r.push_back({0, valore(0)});
  const int64_t normali = std::min(k, t);
  for (int64_t c = 1; c < normali; ++c)
    if (valore(c) != valore(c - 1)) r.push_back({c * formato::kMetriCella, valore(c)});
  if (k > t) {
    // Beyond the last cell a position may name, points behind the index fill
    // one cell each; the run-out (or one more point) fills the last.
    r.push_back({t * formato::kMetriCella, valore(t)});
    for (int64_t c = t + 1; c < k; ++c) r.push_back({formato::kMetriCella, valore(c)});
    if (!con_coda) r.push_back({formato::kMetriCella, 0});
  } else if (!con_coda) {
    r.push_back({k * formato::kMetriCella, valore(k - 1)});
  }
  return r;
}

bool numeri_zero(const voce_linea& v) {
  return v.tipo == 0 && v.inizio == 0 && v.fine == 0 && v.posizione == 0 && v.opzione_1 == 0 &&
         v.parametro_1 == 0 && v.parametro_2 == 0 && v.parametro_3 == 0 && v.parametro_4 == 0 &&
         v.parametro_5 == 0 && v.parametro_6 == 0 && v.parametro_7 == 0 && v.prolunga_fine == 0 &&
         v.opzione_2 == 0 && v.orario == 0;
}

bool voce_libera(const voce_linea& v) {
  return v.nome.empty() && numeri_zero(v);
}
