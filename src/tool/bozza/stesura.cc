#include "tool/bozza/stesura.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "model/regole.h"
#include "model/formato.h"
#include "model/numeri.h"
#include "tool/bozza/testi.h"

namespace bozza {

namespace {

// The bearing of the plan's +y axis is written with this many decimals, and
// the plan is drawn with the value written.
constexpr int kCifreRotta = 7;

}  // namespace

std::string dove(int64_t posizione) {
  return std::to_string(posizione) + " m";
}

void disegna_pianta(const mappa_osm& m, bozza_linea& b) {
  const coordinate origine = m.nodi[b.strada.nodi[0]].dove();
  std::vector<punto> nodi;
  const piano nord(origine, 0);
  for (uint32_t n : b.strada.nodi) {
    b.dove_nodi.push_back(m.nodi[n].dove());
    nodi.push_back(nord.proietta(b.dove_nodi.back()));
  }
  const punto v = verso_iniziale(nodi);
  double rotta = gradi(arcotangente2(v.x, v.y));
  if (rotta < 0) rotta += 360;
  double scala = 1;
  for (int i = 0; i < kCifreRotta; ++i) scala *= 10;
  rotta = std::nearbyint(rotta * scala) / scala;
  b.pn = piano(origine, rotta);
  for (size_t k = 0; k < nodi.size(); ++k) nodi[k] = b.pn.proietta(m.nodi[b.strada.nodi[k]].dove());
  b.guida = costruisci_bersaglio(nodi, kRigiditaGuida);
  b.t = traccia(b.guida);
  b.lungo_nodi = b.guida.nodi;
  b.lunghezza = b.t.fine;
}

int64_t posizione_nodo(const bozza_linea& b, size_t k) {
  return std::min(b.t.punto_a(b.lungo_nodi[k]), b.lunghezza);
}

bool posa(bozza_linea& b, int64_t& p, const std::string& cosa, const std::string& oggetto) {
  const int64_t passo = formato::kMetriCella;
  const std::string occupante = b.celle.count(arrotonda(p + passo, passo))
                                    ? b.celle[arrotonda(p + passo, passo)]
                                    : std::string();
  for (int64_t d : {0, 1, 2, -1, -2}) {
    const int64_t q = p + d * passo, c = arrotonda(q + passo, passo);
    if (q < 0 || b.celle.count(c)) continue;
    if (d != 0)
      b.avvisi.push_back({cosa + " spostato di " + std::to_string(d * passo) +
                              " m: la sua cella ha già " + occupante,
                          oggetto, p});
    p = q;
    b.celle[c] = cosa;
    return true;
  }
  b.avvisi.push_back(
      {cosa + " tolto: nessuna cella libera vicino (la sua ha già " + occupante + ")", oggetto, p});
  return false;
}

namespace {

std::string via_testo(const mappa_osm& m, uint32_t w) {
  return "via " + std::to_string(m.vie[w].id);
}
std::string nodo_testo(const mappa_osm& m, uint32_t n) {
  return "nodo " + std::to_string(m.nodi[n].id);
}

// The limit on route step k in the direction of travel, in km/h, as the
// cells can keep it; 0 when the way has none.
int limite(const mappa_osm& m, const bozza_linea& b, size_t k) {
  const via_osm& v = m.vie[b.strada.vie[k]];
  int x = b.strada.avanti[k] ? v.velocita_avanti : v.velocita_indietro;
  if (x == 0) x = v.velocita;
  if (x == 0) return 0;
  return static_cast<int>(regole::velocita_per_difetto(x));
}

}  // namespace

void disegna_velocita(const mappa_osm& m, const scelte_bozza& s, bozza_linea& b) {
  std::vector<uint32_t> senza;  // ways without a limit, warned once
  for (size_t k = 0; k < b.strada.vie.size(); ++k) {
    int v = limite(m, b, k);
    const uint32_t w = b.strada.vie[k];
    const int64_t p = posizione_nodo(b, k);
    if (v == 0) {
      v = s.velocita_predefinita;
      if (std::find(senza.begin(), senza.end(), w) == senza.end()) {
        senza.push_back(w);
        b.avvisi.push_back({"la via non dice la velocità massima: " + std::to_string(v) + " km/h",
                            via_testo(m, w), p});
      }
    }
    if (b.velocita.empty()) {
      b.velocita.push_back({0, v});
      continue;
    }
    if (p >= b.lunghezza) break;
    // A limit that holds for no metre gives way to the next one.
    if (b.velocita.back().posizione == p) b.velocita.back().valore = v;
    const size_t n = b.velocita.size();
    if (n > 1 && b.velocita[n - 1].valore == b.velocita[n - 2].valore) b.velocita.pop_back();
    if (b.velocita.back().valore != v) b.velocita.push_back({p, v});
  }
  for (size_t i = 1; i < b.velocita.size(); ++i) {
    int64_t p = b.velocita[i].posizione;
    const std::string cosa = "il cartello di " + std::to_string(b.velocita[i].valore) + " km/h";
    if (posa(b, p, cosa, "")) b.cartelli_velocita.push_back({p, b.velocita[i].valore});
  }
}

void disegna_segnali(const mappa_osm& m, bozza_linea& b) {
  std::map<uint32_t, std::vector<const segnale_osm*>> per_nodo;
  for (const segnale_osm& s : m.segnali) per_nodo[s.nodo].push_back(&s);
  for (size_t k = 0; k < b.strada.nodi.size(); ++k) {
    auto i = per_nodo.find(b.strada.nodi[k]);
    if (i == per_nodo.end()) continue;
    // The direction of the way the train arrives on (at the start, leaves on).
    const size_t passo = k > 0 ? k - 1 : 0;
    const int8_t senso = b.strada.avanti[passo] ? 1 : -1;
    for (const segnale_osm* s : i->second) {
      if (s->senso != 2 && s->senso != senso) continue;
      int64_t p = posizione_nodo(b, k);
      if (p >= b.lunghezza) continue;
      const std::string chi = s->principale ? "il segnale" : "il segnale di avviso";
      if (posa(b, p, chi, nodo_testo(m, s->nodo))) b.segnali.push_back({p, s->principale, s->nodo});
    }
  }
}

namespace {

// Stops nearer the route than this (the other tracks of its station) count
// as on it.
constexpr double kDistanzaFermata = 30;
// Zone lengths by kind, and the shorter ones tried where stations are close.
constexpr int kTipoPrima = 8, kTipoStazione = 4, kTipoFermata = 12;
constexpr std::array<int64_t, 4> kLunghezzeZona = {400, 300, 200, 100};
constexpr int64_t kZonaPrima = 500;
// A place with at least this many stop positions is a station, not a halt.
constexpr size_t kBinariStazione = 3;

struct candidata {
  std::string nome;
  double lungo;  // metres along the track
  uint32_t nodo;
  size_t fermate = 0;
};

// Every stop name on the route, at its first stop along it.
std::vector<candidata> candidate(const mappa_osm& m, const bozza_linea& b) {
  std::map<uint32_t, size_t> sulla_strada;
  for (size_t k = b.strada.nodi.size(); k-- > 0;) sulla_strada[b.strada.nodi[k]] = k;
  std::vector<punto> nodi;
  for (uint32_t n : b.strada.nodi) nodi.push_back(b.pn.proietta(m.nodi[n].dove()));
  std::map<std::string, candidata> per_nome;
  for (const fermata_osm& f : m.fermate) {
    if (!di_treni(f)) continue;
    double lungo = -1;
    if (auto i = sulla_strada.find(f.nodo); i != sulla_strada.end()) {
      lungo = b.lungo_nodi[i->second];
    } else {
      const punto q = b.pn.proietta(m.nodi[f.nodo].dove());
      double minimo = kDistanzaFermata;
      for (size_t k = 0; k + 1 < nodi.size(); ++k) {
        const punto a = nodi[k], v = {nodi[k + 1].x - a.x, nodi[k + 1].y - a.y};
        const double l2 = v.x * v.x + v.y * v.y;
        if (l2 == 0) continue;
        const double t = std::clamp(((q.x - a.x) * v.x + (q.y - a.y) * v.y) / l2, 0.0, 1.0);
        const double d = std::sqrt((q.x - a.x - t * v.x) * (q.x - a.x - t * v.x) +
                                   (q.y - a.y - t * v.y) * (q.y - a.y - t * v.y));
        if (d < minimo)
          minimo = d, lungo = b.lungo_nodi[k] + t * (b.lungo_nodi[k + 1] - b.lungo_nodi[k]);
      }
    }
    if (lungo < 0) continue;
    candidata& c = per_nome[nome_confrontabile(f.nome)];
    if (c.fermate++ == 0 || lungo < c.lungo) c.nome = f.nome, c.lungo = lungo, c.nodo = f.nodo;
  }
  std::vector<candidata> r;
  for (auto& [k, c] : per_nome) r.push_back(c);
  std::stable_sort(r.begin(), r.end(),
                   [](const candidata& a, const candidata& c) { return a.lungo < c.lungo; });
  return r;
}

int64_t fine_zona(const stazione_bozza& s) {
  return s.tipo == kTipoPrima ? s.posizione + s.lunghezza : s.posizione + s.lunghezza / 2;
}

// The longest zone that keeps 350 m from the station before; false for none.
bool zona(const stazione_bozza& prima, stazione_bozza& s, int64_t massima) {
  for (int64_t l : kLunghezzeZona) {
    if (l > massima) continue;
    if (s.posizione - l / 2 - formato::kDistanzaZone >= fine_zona(prima)) {
      s.lunghezza = l;
      return true;
    }
  }
  return false;
}

}  // namespace

void disegna_stazioni(const mappa_osm& m, bozza_linea& b) {
  const std::string prima = nome_confrontabile(b.tappe.front().nome);
  const std::string ultima = nome_confrontabile(b.tappe.back().nome);
  stazione_bozza p;
  p.nome = b.tappe.front().nome, p.tipo = kTipoPrima, p.lunghezza = kZonaPrima;
  p.nodo = b.strada.nodi.front();
  b.stazioni.push_back(p);
  const int64_t fine = arrotonda(b.lunghezza, formato::kMetriCella) * formato::kMetriCella;
  for (const candidata& c : candidate(m, b)) {
    const std::string n = nome_confrontabile(c.nome);
    if (n == prima || n == ultima) continue;
    stazione_bozza x;
    x.nome = c.nome, x.nodo = c.nodo, x.principale = c.fermate >= kBinariStazione;
    x.tipo = x.principale ? kTipoStazione : kTipoFermata;
    x.posizione = arrotonda(std::min(b.t.punto_a(c.lungo), b.lunghezza), formato::kMetriCella) *
                  formato::kMetriCella;
    if (!zona(b.stazioni.back(), x, x.principale ? 400 : 300)) {
      b.avvisi.push_back({"fermata «" + c.nome + "» tolta: troppo vicina a «" +
                              b.stazioni.back().nome + "» (le zone vogliono 350 m fra loro)",
                          "nodo " + std::to_string(m.nodi[c.nodo].id), x.posizione});
      continue;
    }
    b.stazioni.push_back(x);
  }
  stazione_bozza u;
  u.nome = b.tappe.back().nome, u.tipo = kTipoStazione, u.posizione = fine;
  u.nodo = b.strada.nodi.back(), u.principale = true;
  while (!zona(b.stazioni.back(), u, 400) && b.stazioni.size() > 1) {
    b.avvisi.push_back({"fermata «" + b.stazioni.back().nome + "» tolta: troppo vicina all'arrivo",
                        "nodo " + std::to_string(m.nodi[b.stazioni.back().nodo].id),
                        b.stazioni.back().posizione});
    b.stazioni.pop_back();
  }
  if (u.lunghezza == 0) u.lunghezza = 100;
  b.stazioni.push_back(u);
  // The table holds 78 stations and named signs together.
  while (b.stazioni.size() > static_cast<size_t>(formato::kStazioniPiuCartelli)) {
    const stazione_bozza& x = b.stazioni[b.stazioni.size() - 2];
    b.avvisi.push_back({"fermata «" + x.nome + "» tolta: la tabella tiene 78 stazioni",
                        "nodo " + std::to_string(m.nodi[x.nodo].id), x.posizione});
    b.stazioni.erase(b.stazioni.end() - 2);
  }
  for (const stazione_bozza& x : b.stazioni) {
    b.celle[arrotonda(fine_zona(x), formato::kMetriCella) - 1] = "la stazione «" + x.nome + "»";
  }
}

void disegna_passaggi(const mappa_osm& m, bozza_linea& b) {
  std::map<uint32_t, size_t> sulla_strada;
  for (size_t k = b.strada.nodi.size(); k-- > 0;) sulla_strada[b.strada.nodi[k]] = k;
  std::vector<std::pair<int64_t, uint32_t>> pl;
  for (uint32_t n : m.passaggi_a_livello)
    if (auto i = sulla_strada.find(n); i != sulla_strada.end())
      pl.push_back({posizione_nodo(b, i->second), n});
  std::stable_sort(pl.begin(), pl.end());
  const size_t posti = static_cast<size_t>(formato::kStazioniPiuCartelli) - b.stazioni.size();
  for (auto [p, n] : pl) {
    if (p >= b.lunghezza) continue;
    if (b.cartelli.size() == posti) {
      b.avvisi.push_back(
          {"passaggio a livello senza cartello: la tabella tiene 78 stazioni e "
           "cartelli indicatori",
           nodo_testo(m, n), p});
      continue;
    }
    const std::string t = regole::testo_progressiva(std::llabs(progressiva_bozza(b, p)));
    if (posa(b, p, "il cartello del passaggio a livello", nodo_testo(m, n)))
      b.cartelli.push_back({p, std::string("(P.L.Km)(") + t + ")", n});
  }
}

}  // namespace bozza
