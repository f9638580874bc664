// The line description back from the compiled records: header, curves from
// the plan, gradients, mountain spans, speed boards and named signs.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "model/numeri.h"
#include "tool/decompila.h"

namespace {

using std::to_string;

constexpr int64_t kDistanzaGap = 150;  // spans closer than this get kind 3
constexpr int kMontagneMassime = 80;
constexpr int64_t kPuntoMassimo = 1000000;

riga_sorgente voce(std::string chiave, std::vector<std::string> valori,
                   int64_t posizione = kSenzaPosizione, std::string genere = "") {
  riga_sorgente r;
  if (genere.empty()) genere = chiave;
  r.chiave = std::move(chiave);
  r.valori = std::move(valori);
  r.genere = std::move(genere);
  r.posizione = posizione;
  return r;
}

std::string n(int64_t v) {
  return to_string(v);
}

struct punto_km {
  int64_t posizione = 0, progressiva = 0, correzione = 0;
};

// The three reference points as read: the sort and the correction of 100 m
// must give back entries 81, 82 and 83 (largest position first).
void progressive(const tabella& t, sezione_sorgente& s, std::vector<std::string>& note) {
  punto_km e[3];
  bool tutti_zero = true;
  for (int i = 0; i < 3; ++i) {
    const voce_linea& v = t[static_cast<size_t>(81 + i)];
    e[i] = {v.inizio, int64_t{v.fine} - (v.posizione == 1 ? 100 : 0), v.posizione};
    tutti_zero = tutti_zero && v.inizio == 0 && v.fine == 0 && v.posizione == 0;
    if (e[i].progressiva < INT32_MIN)
      note.push_back("voce " + n(81 + i) + ": progressiva senza la correzione fuori dai 32 bit");
  }
  punto_km tre = e[0], due = e[1], uno = e[2];
  const int64_t somma = e[0].posizione + e[1].posizione + e[2].posizione;
  if (tutti_zero) {
    tre = due = uno = punto_km{};
  } else if (somma != 0) {
    const bool prima = e[0].posizione > e[1].posizione && e[0].posizione > e[2].posizione;
    if (!prima || e[1].posizione < e[2].posizione)
      note.push_back(
          "voci 81-83: i punti di riferimento non sono in ordine di posizione decrescente");
    // A tie between the two smaller points puts the one read as "due" last.
    if (e[1].posizione == e[2].posizione) std::swap(due, uno);
  } else {
    // No positions: the chainage of the point read as "uno" decides, so it
    // carries the point of entry 81.
    if (e[0].progressiva <= 0)
      note.push_back("voci 81-83: posizioni a somma zero e progressiva della voce 81 non positiva");
    tre = e[2], due = e[1], uno = e[0];
  }
  for (const auto& [nome, p] :
       {std::pair<const char*, punto_km>{"uno", uno}, {"due", due}, {"tre", tre}}) {
    s.righe.push_back(voce(std::string("progressiva chilometrica ") + nome,
                           {n(p.posizione), n(p.progressiva), n(p.correzione)}));
  }
}

void intestazione(const scenario_compilato& c, sezione_sorgente& s,
                  std::vector<std::string>& note) {
  const tabella& t = c.tabella_linea;
  s.righe.push_back(voce("lunghezza percorso", {n(t[84].fine)}));
  progressive(t, s, note);
  s.righe.push_back(voce("sfondo uno", {n(t[85].inizio)}));
  s.righe.push_back(voce("sfondo due", {n(t[85].posizione)}));
  s.righe.push_back(voce("sfondo tre", {n(t[85].fine)}));

  const voce_linea& r = t[86];
  int codici = r.posizione;
  if (r.inizio % 50 != 0 || r.fine % 50 != 0)
    note.push_back("voce 86: zona di ripetizione non su multipli di 50 m");
  if (codici == 0) {
    if (r.fine != 0) note.push_back("voce 86: zona di ripetizione senza codici ma con una fine");
    codici = 4;  // an end of 0 clears it
  } else if (r.fine == 0 || (codici != 4 && codici != 9)) {
    note.push_back("voce 86: codici di ripetizione " + n(r.posizione) + " con fine " + n(r.fine) +
                   " non ottenibili");
    if (codici != 9) codici = 4;
  }
  s.righe.push_back(voce("ripetizione segnali " + n(codici) + " codici", {n(r.inizio), n(r.fine)},
                         kSenzaPosizione, "ripetizione segnali"));
}

// --- curves ---

constexpr double kCurvatura[] = {0.0, 0.0001, 0.0002, 0.0004, 0.001, 0.002, 0.003};

bool uguale(double a, double b) {
  return std::memcmp(&a, &b, sizeof a) == 0;
}

// Which step gave point i: 0 straight, c a right curve of class c, -c a left one.
// Tries `prima` first, the step of the point before; 99 when none fits.
int passo(const planimetria_linea& p, size_t i, int prima) {
  const double x2 = p.x[i - 2], y2 = p.y[i - 2], x1 = p.x[i - 1], y1 = p.y[i - 1];
  const double dx = x1 - x2, dy = y1 - y2;
  auto prova = [&](int codice) {
    double xn, yn;
    if (codice == 0) {
      xn = x1 + dx;
      yn = y1 + dy;
    } else {
      const double k = codice < 0 ? -kCurvatura[-codice] : kCurvatura[codice];
      xn = x1 + (dx + k * dy);
      yn = y1 + (dy - k * dx);
    }
    return uguale(xn, p.x[i]) && uguale(yn, p.y[i]);
  };
  if (prova(prima)) return prima;
  if (prima != 0 && prova(0)) return 0;
  for (int c = 1; c <= 6; ++c) {
    if (c != prima && prova(c)) return c;
    if (-c != prima && prova(-c)) return -c;
  }
  return 99;
}

void curve(const scenario_compilato& c, int ultima, sezione_sorgente& s,
           std::vector<std::string>& note) {
  if (!c.con_planimetria) return;
  const planimetria_linea& p = c.planimetria;
  const size_t punti = p.punti();
  if (punti < 5) {
    note.push_back("planimetria di " + n(static_cast<int64_t>(punti)) + " punti: troppo corta");
    return;
  }
  const size_t ultimo = punti - 3;  // the last point a step sets
  bool forma = p.genere[0] == genere_punto::intero && p.genere[1] == genere_punto::intero &&
               p.x[0] == 0 && p.y[0] == 0 && p.x[1] == 0 && p.y[1] == 1 &&
               p.genere[punti - 2] == genere_punto::vuoto &&
               p.genere[punti - 1] == genere_punto::vuoto;
  for (size_t i = 2; forma && i <= ultimo; ++i) forma = p.genere[i] == genere_punto::doppio;
  if (!forma) {
    note.push_back(
        "planimetria: i generi dei punti non sono quelli di un tracciato (interi 0 e 1, doppi, "
        "due vuoti in fondo)");
    if (p.genere[0] == genere_punto::vuoto || p.genere[1] == genere_punto::vuoto) return;
  }
  int64_t indice = 2;  // next point the reader computes
  int prima = 0;
  size_t i = 2;
  bool segnalato = false;
  while (i <= ultimo) {
    int k = p.genere[i] == genere_punto::doppio ? passo(p, i, prima) : 99;
    if (k == 99) {
      if (!segnalato)
        note.push_back("planimetria: il punto " + n(static_cast<int64_t>(i)) +
                       " non segue né un rettilineo né una curva");
      segnalato = true;
      k = 0;
    }
    prima = k;
    if (k == 0) {
      ++i;
      continue;
    }
    // A run of steps of one curvature is one curve.
    const size_t a = i;
    size_t b = i;
    while (b + 1 <= ultimo && p.genere[b + 1] == genere_punto::doppio && passo(p, b + 1, k) == k)
      ++b;
    int64_t inizio = static_cast<int64_t>(a) - 1;
    // The curve start must pass the reader's test against the cells; a curve
    // right after another may start behind the point reached.
    const int64_t massimo = 50 * int64_t{ultima} - 100;
    if (inizio > massimo) {
      if (static_cast<int64_t>(a) == indice)
        inizio = massimo;
      else
        note.push_back("planimetria: una curva inizia al metro " + n(inizio) +
                       ", oltre l'ultima cella");
    }
    if (static_cast<int64_t>(b) >= kPuntoMassimo)
      note.push_back("planimetria: una curva arriva oltre il punto 1000000");
    const int classe = k < 0 ? -k : k;
    s.righe.push_back(voce(std::string("curva") + (k < 0 ? "s" : "d") + n(classe),
                           {n(inizio), n(static_cast<int64_t>(b) - inizio)}, inizio, "curva"));
    indice = static_cast<int64_t>(b) + 1;
    i = b + 1;
  }
}

// --- gradients ---

void pendenze(const std::vector<cella_percorso>& celle, int ultima, sezione_sorgente& s) {
  std::vector<int> v(celle.size());
  for (size_t i = 0; i < v.size(); ++i) v[i] = celle[i].pendenza;
  for (const punto_profilo& q : punti_profilo(v, ultima))
    s.righe.push_back(voce("pendenza", {n(q.posizione), n(q.valore - 100)}, q.posizione));
}

// --- spans ---

void montagne(const std::vector<cella_percorso>& celle, int ultima, sezione_sorgente& s,
              std::vector<std::string>& note) {
  const int64_t u = ultima;
  auto tipo = [&](int64_t x) { return celle[static_cast<size_t>(x)].tipo; };
  auto segno = [&](int64_t x) { return tipo(x) == tipo_cella::segno_montagna; };
  // Whether a cell of the step from s before `prima` was left free.
  auto passo_libero = [&](int64_t s, int64_t prima) {
    for (int64_t x = s + 3; x < prima; x += 4)
      if (x >= 0 && tipo(x) == tipo_cella::libera) return true;
    return false;
  };
  struct tratto {
    int64_t a, b;
    bool segni;
    int m;
  };
  // In the order they are read: a later span overwrites an earlier one's kind.
  std::vector<tratto> tratti;
  bool segni_fuori = false;
  for (int64_t i = 0; i <= u;) {
    const int m = celle[static_cast<size_t>(i)].montagna;
    if (m == 0) {
      if (segno(i)) segni_fuori = true;
      ++i;
      continue;
    }
    const int64_t a = i;
    int64_t b = i;
    while (b + 1 <= u && celle[static_cast<size_t>(b + 1)].montagna == m) ++b;
    i = b + 1;
    // Markers stand every fourth cell from a span's first one, where the cell
    // was free: a run whose markers stop, or change step, is several spans.
    for (int64_t cur = a; cur <= b;) {
      int64_t x = cur;
      while (x <= b && !segno(x)) ++x;
      if (x > b) {
        tratti.push_back({cur, b, false, m});
        break;
      }
      int64_t inizio = cur;
      bool prima = false;  // it starts under the spans before it
      if ((x - inizio + 1) % 4 != 0 || passo_libero(inizio, x)) {
        if (cur == 0) {
          // A span that starts before the line: its cells count from there.
          const int64_t r = (x + 1) % 4;
          inizio = r == 0 ? 0 : r - 4;
        } else {
          inizio = x - 3;
          prima = inizio < cur;
          for (int64_t y = std::max<int64_t>(inizio, 0); prima && y < cur; ++y)
            if (celle[static_cast<size_t>(y)].montagna == 0) prima = false;
          if (inizio < 0 || (inizio < cur && !prima)) inizio = cur;
        }
        if (passo_libero(inizio, x) || (x - inizio + 1) % 4 != 0)
          note.push_back("cella " + n(x) + ": segno di montagna fuori dal passo della montagna");
      }
      if (inizio > cur) tratti.push_back({cur, inizio - 1, false, m});
      int64_t fine = b;
      for (int64_t y = x + 1; y <= b; ++y) {
        const bool al_passo = (y - inizio + 1) % 4 == 0;
        if ((al_passo && tipo(y) == tipo_cella::libera) || (!al_passo && segno(y))) {
          fine = y - 1;
          break;
        }
      }
      if (prima) {
        // Read before the spans it reaches under, which then take their cells back.
        size_t k = tratti.size();
        while (k > 0 && tratti[k - 1].b >= inizio) --k;
        tratti.insert(tratti.begin() + static_cast<std::ptrdiff_t>(k), {inizio, fine, true, m});
      } else {
        tratti.push_back({inizio, fine, true, m});
      }
      cur = fine + 1;
    }
  }
  int64_t fine_prima = 0;
  int scritte = 0;
  for (const tratto& t : tratti) {
    const int64_t inizio = t.a * 50, fine = (t.b + 1) * 50;
    if (inizio + 100 > 50 * u)
      note.push_back("cella " + n(t.a) + ": montagna oltre l'ultima cella");
    int genere = t.m;
    if (t.segni)
      genere = t.m + 10;
    else if (t.m > 10)
      genere = t.m - 256;  // kept to 8 bits, and no markers
    // A span closer than 150 m to the one read before it becomes kind 3: an
    // empty span far behind stands in between.
    if (scritte > 0 && inizio - fine_prima <= kDistanzaGap && t.m != 3) {
      const int64_t vuota = inizio > kDistanzaGap ? 0 : inizio - 200;
      s.righe.push_back(voce("montagna", {n(vuota), n(vuota), "0"}, vuota));
      ++scritte;
    }
    s.righe.push_back(voce("montagna", {n(inizio), n(fine), n(genere)}, inizio));
    ++scritte;
    fine_prima = fine;
  }
  if (segni_fuori) note.push_back("segni di montagna fuori da ogni montagna");
  if (scritte > kMontagneMassime)
    note.push_back(n(scritte) + " montagne: il lettore ne tiene " + n(kMontagneMassime));
}

// --- boards ---

// Two speeds packed as s * 20 + d / 5: both multiples of 5, the first one
// taking the hundreds.
std::pair<int64_t, int64_t> velocita_coppia(int v) {
  auto [q, r] = cifre(v, 100);
  return {5 * q, 5 * r};
}

void indicatori(const std::vector<cella_percorso>& celle, sezione_sorgente& s) {
  for (size_t i = 0; i < celle.size(); ++i) {
    const cella_percorso& x = celle[i];
    // A board that a station's stop cell replaced keeps all but its first speeds.
    const bool sotto = resti_sotto_fermata(x) && !segnale_sotto_fermata(celle, i);
    if (x.tipo != tipo_cella::indicatori_v_max && !sotto) continue;
    const int64_t p = (static_cast<int64_t>(i) - 1) * 50;
    auto [vas, vad] = velocita_coppia(sotto ? 0 : x.valore_1);
    auto [vbs, vbd] = velocita_coppia(x.valore_2);
    auto [vcs, vcd] = velocita_coppia(x.valore_3);
    auto [ss, sd] = cifre(x.valore_4, 10);
    std::vector<std::string> v = {n(p), n(vas), n(vbs), n(vcs), n(ss)};
    // An empty second side, as the built-in boards have it.
    const bool vuoto = vad == 0 && vbd == 0 && vcd == 0;
    for (int64_t d : {vad, vbd, vcd}) v.push_back(vuoto ? "" : n(d));
    v.push_back(n(sd));
    s.righe.push_back(voce("indicatori_vmax", v, p));
  }
}

// --- named signs ---

void cartelli(const tabella& t, const std::vector<cella_percorso>& celle, sezione_sorgente& s,
              std::vector<std::string>& note) {
  const int stazioni = numero_stazioni(t);
  std::vector<std::vector<size_t>> voci_celle(81);
  std::vector<size_t> fermate;
  for (size_t i = 0; i < celle.size(); ++i) {
    const cella_percorso& x = celle[i];
    if (x.tipo == tipo_cella::fermata && !resti_sotto_fermata(x)) fermate.push_back(i);
    if (x.tipo != tipo_cella::cartello) continue;
    if (x.valore_1 > stazioni + 1 && x.valore_1 <= 80)
      voci_celle[static_cast<size_t>(x.valore_1)].push_back(i);
    else
      note.push_back("cella " + n(static_cast<int64_t>(i)) + ": cartello della voce " +
                     n(x.valore_1) + ", che non può contenerne");
  }
  int ultima_voce = 81;  // the lowest sign entry
  for (int e = stazioni + 2; e <= 80; ++e)
    if (!voci_celle[static_cast<size_t>(e)].empty() || !voce_libera(t[static_cast<size_t>(e)])) {
      ultima_voce = e;
      break;
    }
  size_t fermata = 0;
  for (int e = 80; e >= ultima_voce; --e) {
    const voce_linea& v = t[static_cast<size_t>(e)];
    const auto& dove = voci_celle[static_cast<size_t>(e)];
    int64_t cella;
    if (!dove.empty()) {
      cella = static_cast<int64_t>(dove[0]);
      if (dove.size() > 1)
        note.push_back("voce " + n(e) + ": il testo del cartello sta in più celle");
    } else if (fermata < fermate.size()) {
      // Its cell became a station's stop cell, which keeps nothing of it.
      cella = static_cast<int64_t>(fermate[fermata++]);
    } else {
      note.push_back("voce " + n(e) + ": testo di cartello senza cella");
      cella = 2;
    }
    voce_linea resto = v;
    resto.nome.clear();
    if (!voce_libera(resto))
      note.push_back("voce " + n(e) + ": valori oltre il testo del cartello");
    std::string testo;
    if (!testo_campo(v.nome, testo))
      note.push_back("voce " + n(e) + ": il testo del cartello non si può scrivere in un campo");
    const int64_t p = (cella - 1) * 50;
    s.righe.push_back(voce("cartello_indicatore", {n(p), testo}, p));
  }
}

}  // namespace

void decompila_linea(const scenario_compilato& c, const std::vector<cella_percorso>& celle,
                     std::vector<sezione_sorgente>& sezioni, std::vector<std::string>& note) {
  const int ultima = static_cast<int>(celle.size()) - 1;
  sezioni.push_back({"[generale]", {}});
  intestazione(c, sezioni.back(), note);
  sezioni.push_back({"[curve]", {}});
  curve(c, ultima, sezioni.back(), note);
  sezioni.push_back({"[pendenze]", {}});
  pendenze(celle, ultima, sezioni.back());
  sezioni.push_back({"[montagne]", {}});
  montagne(celle, ultima, sezioni.back(), note);
  sezioni.push_back({"[cartelli]", {}});
  indicatori(celle, sezioni.back());
  sezioni.push_back({"[indicazioni]", {}});
  cartelli(c.tabella_linea, celle, sezioni.back(), note);
  sezioni.push_back({"[fine]", {}});
}
