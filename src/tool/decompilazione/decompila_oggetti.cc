// The train's objects back from the cells: slowdowns, what the stations' stop
// cells replaced, signals with the order their approach markers need, and the
// speed-reduction points the source gave (not those of the finishing walk).
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "model/formato.h"
#include "model/numeri.h"
#include "tool/decompilazione/decompila_interno.h"

namespace {

using formato::kSenzaAvviso;
// A start in this cell may have a warning point or not (positions 1475 to
// 1524 m); from the next on it always has one.
constexpr int64_t kCellaAvvisoIncerto = kSenzaAvviso / formato::kMetriCella + 1;
constexpr int64_t kAnticipo = formato::kCelleAnticipoAvviso;

// The cells the objects found so far take, and where the slowdowns' ends
// and the stop cells stand by their values (a search for each slowdown
// through all the cells would take the square of the cells).
struct uso {
  analisi& a;
  std::vector<uint8_t> presa;
  using chiave = std::tuple<int, int, int>;
  std::map<chiave, std::set<int64_t>> fini;                // ends by (valore_1, 2, 3)
  std::map<std::pair<int, int>, std::set<int64_t>> resti;  // stop cells by leftovers 2, 3

  explicit uso(analisi& x) : a(x), presa(x.celle.size(), 0) {
    for (int64_t c = 0; c <= a.ultima; ++c) {
      const cella_percorso& y = a.cella(c);
      if (y.valore_4 != 0 || y.tempo != 0) continue;
      if (y.tipo == tipo_cella::fine_rallentamento)
        fini[{y.valore_1, y.valore_2, y.valore_3}].insert(c);
      if (y.tipo == tipo_cella::fermata && a.fermata[static_cast<size_t>(c)] != 0)
        resti[{y.valore_2, y.valore_3}].insert(c);
    }
  }
  bool libera(int64_t c) const { return a.dentro(c) && !presa[static_cast<size_t>(c)]; }
  bool visibile(int64_t c, uint8_t tipo) const { return libera(c) && a.cella(c).tipo == tipo; }
  // A stop cell whose leftover values are still free to explain.
  bool nascosta(int64_t c) const {
    return libera(c) && a.fermata[static_cast<size_t>(c)] != 0 &&
           a.sotto[static_cast<size_t>(c)] == sotto_fermata::niente;
  }
  void prendi(int64_t c) {
    presa[static_cast<size_t>(c)] = 1;
    const cella_percorso& y = a.cella(c);
    if (y.tipo == tipo_cella::fine_rallentamento) {
      auto i = fini.find({y.valore_1, y.valore_2, y.valore_3});
      if (i != fini.end()) i->second.erase(c);
    }
  }
};

// The cells of a set by their distance from c, nearest first, at most `quanti`.
std::vector<int64_t> vicine(const std::set<int64_t>& s, int64_t c, size_t quanti) {
  std::vector<int64_t> v;
  auto dopo = s.lower_bound(c);
  auto prima = dopo;
  while (v.size() < quanti && (dopo != s.end() || prima != s.begin())) {
    const bool da_dopo =
        prima == s.begin() || (dopo != s.end() && *dopo - c <= c - *std::prev(prima));
    if (da_dopo)
      v.push_back(*dopo++);
    else
      v.push_back(*--prima);
  }
  return v;
}

// --- slowdowns ---

// One slowdown as it is being put together from its cells.
struct rallentamento {
  int64_t b = 0, a = -1, e = -1;
  int offset = 0;  // approach cells from a - offset down, 0 for none
  std::optional<int16_t> v;
  int16_t d_v = 0, f_tt = 0;
  int64_t d_v_letto = 0;  // as read: low 16 bits 0 but not 0 marks the approach cells too
  std::vector<int64_t> nascoste;
};

bool valori(const cella_percorso& x, int16_t v2, int16_t v3) {
  return x.valore_2 == v2 && x.valore_3 == v3 && x.valore_4 == 0 && x.tempo == 0;
}

// The warning point, 24 cells before the start: seen, or under a stop cell.
// Its third value is 0 unless the slowdown ends on it.
bool trova_avviso(const uso& u, rallentamento& r) {
  const int64_t a = r.b - kAnticipo;
  if (r.b < kCellaAvvisoIncerto || !u.libera(a)) return false;
  const cella_percorso& x = u.a.cella(a);
  const bool visto = x.tipo == tipo_cella::avviso_rallentamento && (!r.v || x.valore_1 == *r.v) &&
                     x.valore_4 == 0 && x.tempo == 0;
  if (!visto && !u.nascosta(a)) return false;
  if (x.valore_2 != r.d_v || (x.valore_3 != 0 && x.valore_3 != r.f_tt)) return false;
  if (!visto && (x.valore_4 != 0 || x.tempo != 0)) return false;
  r.a = a;
  if (visto) r.v = x.valore_1;
  if (!visto) r.nascoste.push_back(a);
  if (x.valore_3 != 0) r.e = a;  // it ends where it is announced
  return true;
}

// The four cells before the warning point, from a - 1 (or a - 2 for a
// position 25 m past a multiple of 100, whose halves round the other way).
void trova_avvicinamento(const uso& u, rallentamento& r) {
  r.d_v_letto = r.d_v;
  if (r.a < 0) return;
  for (int prova = 0; prova < 4; ++prova) {
    const int o = 1 + prova % 2;
    // A d_v of 65536 is stored as 0 but still numbers the approach cells.
    const bool numerate = r.d_v != 0 || prova >= 2;
    if (o == 2 && r.b % 2 != 0) continue;
    bool tutte = true, una_vista = false;
    std::vector<int64_t> sotto;
    for (int i = 0; i < 4 && tutte; ++i) {
      const int64_t c = r.a - o - i;
      const int16_t v2 = numerate ? static_cast<int16_t>(i + 1) : 0;
      if (!u.libera(c)) {
        tutte = false;
        break;
      }
      const cella_percorso& x = u.a.cella(c);
      if (x.tipo == tipo_cella::avvicinamento_avviso && x.valore_1 == i + 1 && valori(x, v2, 0)) {
        una_vista = true;
      } else if (u.nascosta(c) && valori(x, v2, 0)) {
        sotto.push_back(c);
      } else {
        tutte = false;
      }
    }
    if (tutte && una_vista) {
      r.offset = o;
      if (numerate && r.d_v == 0) r.d_v_letto = 65536;
      r.nascoste.insert(r.nascoste.end(), sotto.begin(), sotto.end());
      return;
    }
  }
}

// The end: a cell of kind 2 with the same values, nearest first; or none, the
// slowdown ending in its own start cell.
void trova_fine(const uso& u, rallentamento& r) {
  if (r.e >= 0) return;
  std::vector<int64_t> c;
  if (r.v) {
    auto i = u.fini.find({*r.v, r.d_v, r.f_tt});
    if (i != u.fini.end()) c = vicine(i->second, r.b, 1);
  } else {
    // No value seen: any end with its other two values.
    for (const auto& [k, celle] : u.fini)
      if (std::get<1>(k) == r.d_v && std::get<2>(k) == r.f_tt && !celle.empty()) {
        c = vicine(celle, r.b, 1);
        break;
      }
  }
  if (c.empty()) {
    r.e = r.b;
    return;
  }
  r.e = c[0];
  r.v = u.a.cella(r.e).valore_1;
}

void registra(analisi& a, uso& u, rallentamento& r) {
  const int64_t b = r.b;
  int64_t p = r.offset == 2 ? formato::kMetriCella * b - 75 : formato::kMetriCella * (b - 1);
  if (b == kCellaAvvisoIncerto && r.a >= 0) p = kSenzaAvviso + 10;  // above 1500, same cell
  const int64_t l = formato::kMetriCella * r.e - formato::kMetriCella - p;
  std::vector<int64_t> celle = {b, r.e};
  if (r.a >= 0) celle.push_back(r.a);
  for (int i = 0; r.offset != 0 && i < 4; ++i) celle.push_back(r.a - r.offset - i);
  oggetto_treno x;
  for (int64_t c : celle) {
    u.prendi(c);
    a.spiegata[static_cast<size_t>(c)] = 1;
  }
  for (int64_t c : r.nascoste) {
    a.sotto[static_cast<size_t>(c)] = sotto_fermata::rallentamento;
    const int s = a.fermata_prima[static_cast<size_t>(c)];
    x.prima_di = x.prima_di == 0 ? s : std::min(x.prima_di, s);
  }
  if (p + 100 > formato::kMetriCella * int64_t{a.ultima})
    a.nota("cella " + n(b) +
           ": inizio di rallentamento nell'ultima cella, dove nessuna voce "
           "arriva");
  x.riga =
      voce("rallentamento",
           {n(p), n(r.v.value_or(0)), n(l), n(r.f_tt), r.offset ? "1" : "0", n(r.d_v_letto)}, p);
  a.rallentamenti.push_back(std::move(x));
}

// A slowdown whose start is `b`, seen or under a stop cell; false (and
// nothing taken) when its other cells do not fit.
bool prova_rallentamento(analisi& a, uso& u, rallentamento r) {
  const bool avviso = trova_avviso(u, r);
  if (r.b > kCellaAvvisoIncerto && !avviso) return false;
  trova_avvicinamento(u, r);
  trova_fine(u, r);
  registra(a, u, r);
  return true;
}

void rallentamenti(analisi& a, uso& u) {
  // Starts in plain sight.
  for (int64_t b = 0; b <= a.ultima; ++b) {
    if (!u.visibile(b, tipo_cella::inizio_rallentamento)) continue;
    const cella_percorso& x = a.cella(b);
    rallentamento r;
    r.b = b;
    r.v = x.valore_1;
    r.d_v = x.valore_2;
    r.f_tt = x.valore_3;
    if (x.valore_4 != 0 || x.tempo != 0)
      a.nota("cella " + n(b) + ": inizio di rallentamento con valori che non ha");
    if (!prova_rallentamento(a, u, r)) {
      a.nota("cella " + n(b) + ": rallentamento senza il suo avviso 24 celle prima");
      u.prendi(b);
      a.spiegata[static_cast<size_t>(b)] = 1;
    }
  }
  // Warning points and ends whose start a station's stop cell replaced.
  for (int64_t c = 0; c <= a.ultima; ++c) {
    const bool avviso = u.visibile(c, tipo_cella::avviso_rallentamento);
    const bool fine = u.visibile(c, tipo_cella::fine_rallentamento);
    if (!avviso && !fine) continue;
    const cella_percorso& x = a.cella(c);
    std::vector<int64_t> inizi;
    if (avviso) {
      inizi.push_back(c + kAnticipo);
    } else if (auto i = u.resti.find({x.valore_2, x.valore_3}); i != u.resti.end()) {
      inizi = vicine(i->second, c, 64);
    }
    bool fatto = false;
    for (int64_t b : inizi) {
      if (fatto || !u.nascosta(b)) continue;
      const cella_percorso& y = a.cella(b);
      if (y.valore_4 != 0 || y.tempo != 0 || y.valore_2 != x.valore_2) continue;
      rallentamento r;
      r.b = b;
      r.v = x.valore_1;
      r.d_v = y.valore_2;
      r.f_tt = y.valore_3;
      r.nascoste.push_back(b);
      if (fine) r.e = c;
      fatto = prova_rallentamento(a, u, r);
    }
    if (!fatto) {
      a.nota("cella " + n(c) + ": " + (avviso ? "avviso" : "fine") +
             " di rallentamento senza un inizio che lo dia");
      u.prendi(c);
      a.spiegata[static_cast<size_t>(c)] = 1;
    }
  }
}

// --- what the stop cells replaced ---

bool resti_zero(const cella_percorso& x) {
  return x.valore_2 == 0 && x.valore_3 == 0 && x.valore_4 == 0 && x.tempo == 0;
}

// Named signs without a cell of their own: a stop cell with nothing left.
void cartelli_nascosti(analisi& a, uso& u) {
  int mancano = 0;
  for (int e = formato::kPrimoCartello; e > formato::kPrimoCartello - a.cartelli; --e)
    if (a.cella_cartello[static_cast<size_t>(e)] < 0) ++mancano;
  for (int64_t c = 2; c < a.ultima && mancano > 0; ++c) {
    if (!u.nascosta(c) || !resti_zero(a.cella(c))) continue;
    a.sotto[static_cast<size_t>(c)] = sotto_fermata::cartello;
    a.cartelli_nascosti.push_back(static_cast<size_t>(c));
    --mancano;
  }
}

// --- signals ---

// A signal's values and the base of its approach markers: the markers are
// low8(30 sx + 10 dx + k) = low8(10 r + k) with r = 3 sx + dx, and valore_4 is
// low16(10 rapp + r), so r has the parity of valore_4 and the base 10 r mod
// 256 is any multiple of 4 for an even valore_4, any 2 mod 4 for an odd one.
int classe_base(int16_t v4) {
  return (v4 & 1) != 0 ? 2 : 0;
}
int base_naturale(int16_t v4) {
  return static_cast<int>((10 * cifre(v4, 10).second) & 0xFF);
}

riga_sorgente riga_segnale(int64_t cella, const cella_percorso& x, bool nascosto, int base) {
  const int64_t p = (cella - 1) * formato::kMetriCella;
  int64_t rapp, r;
  if (base == base_naturale(x.valore_4)) {
    std::tie(rapp, r) = cifre(x.valore_4, 10);
  } else {
    // 10 r = base (mod 256) and 10 rapp + r = valore_4 (mod 65536), with 5
    // inverted mod 128 (77) and mod 32768 (19661).
    r = (base / 2 * 77) % 128;
    const int64_t d = (int64_t{x.valore_4} - r) / 2;
    rapp = (((d % 32768) + 32768) % 32768 * 19661) % 32768;
    if (rapp >= 16384) rapp -= 32768;
  }
  int64_t sx = r / 3, dx = r % 3;
  // Only a left-hand kind 2 keeps its time; times 1 to 100 are all read as 101.
  if (x.tempo != 0) sx = 2, dx = r - 6;
  const int64_t tempo = x.tempo >= 1 && x.tempo <= 100 ? x.tempo + 256 : x.tempo;
  auto [s1, d1] = cifre(nascosto ? 0 : x.valore_1, 10);
  auto [s2, d2] = cifre(x.valore_2, 10);
  auto [s3, d3] = cifre(x.valore_3, 10);
  return voce("segnale",
              {n(p), n(sx), n(s1), n(s2), n(s3), n(rapp), n(dx), n(d1), n(d2), n(d3), n(tempo)}, p);
}

oggetto_treno segnale(const analisi& a, int64_t c) {
  oggetto_treno x;
  x.cella = c;
  x.classe = classe_base(a.cella(c).valore_4);
  for (int k = 1; k <= 4; ++k)
    if (c - 2 * k >= 0) x.marcatori.push_back({static_cast<size_t>(c - 2 * k), k});
  if (a.cella(c).tipo == tipo_cella::fermata) x.prima_di = a.fermata_prima[static_cast<size_t>(c)];
  return x;
}

// The order of the writers of markers, found from the last one back: a
// writer may come last of those left when every cell it writes that no later
// writer took holds its value. Taking one never stops another, so the first
// that may is always right. Stations keep their own order; a signal under a
// stop cell comes before that station; the station that ended the read, last.
struct ordine_marcatori {
  std::vector<size_t> ordine;    // writers, first read first
  std::vector<size_t> scoperte;  // cells with a marker no writer gives
  std::vector<size_t> contese;   // cells of the writers left when no order went on
  size_t difetti() const { return scoperte.size() + contese.size(); }
};

bool puo_finire(const analisi& a, const oggetto_treno& w, const std::vector<uint8_t>& presa,
                int& base) {
  int trovata = -1;
  for (auto [c, k] : w.marcatori) {
    if (presa[c]) continue;
    const int m = a.celle[c].marcatore;
    if (w.stazione != 0) {
      if (m != k) return false;
      continue;
    }
    const int b = (m - k + 256) % 256;
    if (trovata >= 0 && b != trovata) return false;
    trovata = b;
  }
  if (w.stazione != 0) return true;
  if (trovata < 0) trovata = base_naturale(a.cella(w.cella).valore_4);
  if (trovata % 4 != w.classe) return false;
  base = trovata;
  return true;
}

// The cells with a marker that the writers still left would all need.
void contese(const analisi& a, const std::vector<oggetto_treno>& w,
             const std::vector<uint8_t>& fatto, const std::vector<uint8_t>& presa,
             std::vector<size_t>& out) {
  for (size_t j = 0; j < w.size(); ++j)
    if (!fatto[j])
      for (auto [c, k] : w[j].marcatori)
        if (!presa[c] && a.celle[c].marcatore != 0) out.push_back(c);
}

ordine_marcatori ordina(analisi& a, std::vector<oggetto_treno>& w) {
  ordine_marcatori o;
  const size_t nc = a.celle.size();
  std::vector<uint8_t> presa(nc, 0), fatto(w.size(), 0);
  // Who writes each cell, and the signals each station must come after.
  std::vector<std::vector<size_t>> scrive(nc);
  std::vector<std::vector<size_t>> sotto_stazione(formato::kPrimoCartello + 1);
  int stazione_alta = 0;
  for (size_t j = 0; j < w.size(); ++j) {
    for (auto [c, k] : w[j].marcatori) scrive[c].push_back(j);
    stazione_alta = std::max(stazione_alta, w[j].stazione);
    if (w[j].stazione == 0 && w[j].prima_di > 0 && w[j].prima_di <= formato::kPrimoCartello)
      sotto_stazione[static_cast<size_t>(w[j].prima_di)].push_back(j);
  }
  auto ammesso = [&](size_t j, bool primo) {
    const oggetto_treno& x = w[j];
    if (fatto[j]) return false;
    if (x.stazione != 0 && x.stazione != stazione_alta) return false;
    if (x.stazione == 0 && x.prima_di != 0 && x.prima_di <= stazione_alta) return false;
    if (a.stazione_finale != 0 && primo && x.stazione != a.stazione_finale) return false;
    return true;
  };
  // Signals that may come last, the farthest along first: they then stand
  // after the stations, in order of position, as in the built-in file.
  std::set<std::pair<int64_t, size_t>> pronti;
  int base = 0;
  auto guarda = [&](size_t j) {
    if (w[j].stazione == 0 && ammesso(j, false) && puo_finire(a, w[j], presa, base))
      pronti.insert({w[j].cella, j});
  };
  for (size_t j = 0; j < w.size(); ++j) guarda(j);
  std::vector<size_t> inverso;
  bool bloccato = false;
  for (size_t giro = 0; giro < w.size(); ++giro) {
    size_t scelto = w.size();
    if (giro > 0 || a.stazione_finale == 0) {
      while (!pronti.empty() && scelto == w.size()) {
        const size_t j = std::prev(pronti.end())->second;
        pronti.erase(std::prev(pronti.end()));
        if (ammesso(j, false) && puo_finire(a, w[j], presa, base)) scelto = j;
      }
    }
    if (scelto == w.size())
      for (size_t j = 0; j < w.size() && scelto == w.size(); ++j)
        if (w[j].stazione == stazione_alta && w[j].stazione != 0 && ammesso(j, giro == 0) &&
            puo_finire(a, w[j], presa, base))
          scelto = j;
    if (scelto == w.size()) {
      if (!bloccato) contese(a, w, fatto, presa, o.contese);
      bloccato = true;
      for (size_t j = 0; j < w.size() && scelto == w.size(); ++j)
        if (ammesso(j, giro == 0) || (!fatto[j] && w[j].stazione == stazione_alta)) scelto = j;
      for (size_t j = 0; j < w.size() && scelto == w.size(); ++j)
        if (!fatto[j]) scelto = j;
      if (w[scelto].stazione == 0) base = base_naturale(a.cella(w[scelto].cella).valore_4);
    }
    fatto[scelto] = 1;
    if (w[scelto].stazione == 0) w[scelto].base = base;
    inverso.push_back(scelto);
    // What may now come last: the writers of the cells just taken, and the
    // signals that had to wait for this station.
    for (auto [c, k] : w[scelto].marcatori) {
      if (presa[c]) continue;
      presa[c] = 1;
      for (size_t j : scrive[c]) guarda(j);
    }
    if (w[scelto].stazione != 0) {
      stazione_alta = w[scelto].stazione - 1;
      for (size_t j : sotto_stazione[static_cast<size_t>(w[scelto].stazione)]) guarda(j);
    }
  }
  o.ordine.assign(inverso.rbegin(), inverso.rend());
  for (size_t c = 0; c < nc; ++c)
    if (!presa[c] && a.celle[c].marcatore != 0) o.scoperte.push_back(c);
  if (bloccato && o.contese.empty()) o.contese.push_back(0);
  return o;
}

// Signals, the hidden ones under stop cells included, in an order that gives
// every marker; a stop cell becomes a hidden signal where that explains a
// marker no writer gives.
void segnali(analisi& a, uso& u) {
  std::vector<oggetto_treno> w = a.stazioni_trovate;
  for (int64_t c = 0; c <= a.ultima; ++c) {
    if (u.visibile(c, tipo_cella::segnale)) {
      w.push_back(segnale(a, c));
    } else if (u.nascosta(c) && a.cella(c).tempo != 0) {
      a.sotto[static_cast<size_t>(c)] = sotto_fermata::segnale;
      w.push_back(segnale(a, c));
    }
  }
  // A stop cell may hide a signal whose markers some cell needs: tried one at
  // a time, kept where it leaves fewer markers unexplained.
  ordine_marcatori o = ordina(a, w);
  int prove = 0;
  for (int giro = 0; giro < 16 && o.difetti() > 0 && prove < 128; ++giro) {
    std::vector<int64_t> candidate;
    std::set<int64_t> viste;
    for (const auto* v : {&o.scoperte, &o.contese})
      for (size_t c : *v)
        for (int k = 1; k <= 4 && candidate.size() < 128; ++k) {
          const int64_t s = static_cast<int64_t>(c) + 2 * k;
          if (u.nascosta(s) && viste.insert(s).second) candidate.push_back(s);
        }
    bool meglio = false;
    for (size_t i = 0; i < candidate.size() && prove < 128 && o.difetti() > 0; ++i, ++prove) {
      w.push_back(segnale(a, candidate[i]));
      ordine_marcatori prova = ordina(a, w);
      if (prova.difetti() < o.difetti()) {
        a.sotto[static_cast<size_t>(candidate[i])] = sotto_fermata::segnale;
        o = std::move(prova);
        meglio = true;
      } else {
        w.pop_back();
      }
    }
    if (!meglio) break;
  }
  o = ordina(a, w);  // the bases of the writers kept (a rejected try wrote others)
  if (!o.contese.empty()) {
    a.limite("marcatori per cui il decompilatore non trova un ordine di stazioni e segnali");
  } else if (!o.scoperte.empty()) {
    const size_t c = o.scoperte[0];
    const std::string x =
        "cella " + n(static_cast<int64_t>(c)) + ": marcatore " + n(a.celle[c].marcatore);
    // Only a signal 2 to 8 cells after (or one a stop cell replaced) and the
    // stations write markers.
    bool qualcuno = false;
    for (int k = 1; k <= 4; ++k) {
      const int64_t s = static_cast<int64_t>(c) + 2 * k;
      qualcuno = qualcuno || (a.dentro(s) && (a.cella(s).tipo == tipo_cella::segnale ||
                                              a.cella(s).tipo == tipo_cella::fermata));
    }
    for (const oggetto_treno& st : a.stazioni_trovate)
      for (auto [m, v] : st.marcatori) qualcuno = qualcuno || m == c;
    if (qualcuno)
      a.limite(x + " per cui il decompilatore non trova chi lo scrive");
    else
      a.nota(x + " che nessun segnale o stazione scrive");
  }
  for (size_t j : o.ordine) {
    oggetto_treno x = w[j];
    if (x.stazione == 0) {
      const bool nascosto = a.cella(x.cella).tipo == tipo_cella::fermata;
      x.riga = riga_segnale(x.cella, a.cella(x.cella), nascosto, x.base);
      u.presa[static_cast<size_t>(x.cella)] = 1;
      a.spiegata[static_cast<size_t>(x.cella)] = 1;
      if (x.cella - 1 > a.ultima - 2)
        a.nota("cella " + n(x.cella) + ": segnale nell'ultima cella, dove nessuna voce arriva");
    }
    a.oggetti.push_back(std::move(x));
  }
}

// Leftovers a stop cell keeps of a speed board, placed by the line.
void indicatori_nascosti(analisi& a, uso& u) {
  for (int64_t c = 0; c <= a.ultima; ++c) {
    if (!u.nascosta(c) || resti_zero(a.cella(c))) continue;
    a.sotto[static_cast<size_t>(c)] = sotto_fermata::indicatori;
    a.indicatori_nascosti.push_back(static_cast<size_t>(c));
  }
}

// --- speed-reduction points ---

void abbattimenti(analisi& a) {
  const std::vector<bool> del_cammino = punti_del_cammino(a);
  for (size_t i = 0; i < a.celle.size(); ++i) {
    const cella_percorso& x = a.celle[i];
    if (x.tipo != tipo_cella::abbattimento && x.tipo != tipo_cella::abbattimento_senza_velocita)
      continue;
    a.spiegata[i] = 1;
    if (del_cammino[i]) continue;
    const int64_t p = static_cast<int64_t>(i) * formato::kMetriCella;
    int64_t valore = 0;
    if (x.tipo == tipo_cella::abbattimento)
      valore = x.valore_1 > 0 ? x.valore_1 : x.valore_1 + 65536;
    if (x.valore_2 || x.valore_3 || x.valore_4 || x.tempo ||
        (x.tipo == tipo_cella::abbattimento_senza_velocita && x.valore_1 != 0))
      a.nota("cella " + n(static_cast<int64_t>(i)) +
             ": punto di abbattimento con valori che "
             "non ha");
    if (p + 100 > formato::kMetriCella * int64_t{a.ultima})
      a.nota("cella " + n(static_cast<int64_t>(i)) +
             ": punto di abbattimento nelle ultime due "
             "celle, dove nessuna voce arriva");
    oggetto_treno o;
    o.riga = voce("abbattimento", {n(p), n(valore)}, p);
    a.abbattimenti.push_back(std::move(o));
  }
}

}  // namespace

void analizza_oggetti_treno(analisi& a) {
  uso u(a);
  rallentamenti(a, u);
  cartelli_nascosti(a, u);
  segnali(a, u);
  indicatori_nascosti(a, u);
  abbattimenti(a);
}
