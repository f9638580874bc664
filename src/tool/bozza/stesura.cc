#include "tool/bozza/stesura.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <optional>
#include <set>

#include "model/formato.h"
#include "model/numeri.h"
#include "model/regole.h"
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

namespace {

// The cells that hold a marker already: the stations' and the signals'.
std::set<int64_t> marcatori_stazioni(const bozza_linea& b) {
  std::set<int64_t> r;
  for (const stazione_bozza& x : b.stazioni)
    for (int64_t c : regole::celle_marcatori_stazione(
             regole::zona_della_stazione(x.tipo, x.posizione, x.lunghezza, false).fine))
      if (c >= 0) r.insert(c);
  return r;
}

// A signal at a free cell whose markers fall on no other marker: its own
// cell, else up to two cells on, then back, with a warning that names why;
// dropped with one where there is none.
bool posa_segnale(bozza_linea& b, std::set<int64_t>& marcatori, int64_t& p, const std::string& chi,
                  const std::string& oggetto) {
  const int64_t passo = formato::kMetriCella;
  std::string perche;
  for (int64_t d : {0, 1, 2, -1, -2}) {
    const int64_t q = p + d * passo, c = arrotonda(q + passo, passo);
    if (q < 0) continue;
    std::string no;
    if (b.celle.count(c)) no = "la sua cella ha già " + b.celle[c];
    const std::array<int64_t, 4> suoi = regole::celle_marcatori_segnale(c);
    for (int64_t x : suoi)
      if (no.empty() && x >= 0 && marcatori.count(x))
        no = "i suoi marcatori cadrebbero su quelli di un altro segnale o di una stazione (cella " +
             std::to_string(x) + ")";
    if (!no.empty()) {
      if (perche.empty()) perche = no;
      continue;
    }
    if (d != 0)
      b.avvisi.push_back(
          {chi + " spostato di " + std::to_string(d * passo) + " m: " + perche, oggetto, p});
    p = q;
    b.celle[c] = chi;
    for (int64_t x : suoi)
      if (x >= 0) marcatori.insert(x);
    return true;
  }
  b.avvisi.push_back({chi + " tolto: nessuna cella vicina va (" + perche + ")", oggetto, p});
  return false;
}

}  // namespace

void disegna_segnali(const mappa_osm& m, bozza_linea& b) {
  std::set<int64_t> marcatori = marcatori_stazioni(b);
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
      if (posa_segnale(b, marcatori, p, chi, nodo_testo(m, s->nodo)))
        b.segnali.push_back({p, s->principale, s->nodo});
    }
  }
}

namespace {

// Stops nearer the route than this (the other tracks of its station) count
// as on it; a station's or a halt's node of a name with no stop on it, this near.
constexpr double kDistanzaFermata = 30;
constexpr double kDistanzaStazione = 150;
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
  // How the stop stands: on the route's own track, on another of its
  // station's, only a station's node beside the route.
  int rango = 0;
};

// The route's length along the track nearest a map node, and how far from it.
std::pair<double, double> sul_percorso(const std::vector<punto>& nodi, const bozza_linea& b,
                                       punto q) {
  double minimo = HUGE_VAL, lungo = -1;
  for (size_t k = 0; k + 1 < nodi.size(); ++k) {
    const punto a = nodi[k], v = {nodi[k + 1].x - a.x, nodi[k + 1].y - a.y};
    const double l2 = v.x * v.x + v.y * v.y;
    if (l2 == 0) continue;
    const double t = std::clamp(((q.x - a.x) * v.x + (q.y - a.y) * v.y) / l2, 0.0, 1.0);
    const double d = std::hypot(q.x - a.x - t * v.x, q.y - a.y - t * v.y);
    if (d < minimo)
      minimo = d, lungo = b.lungo_nodi[k] + t * (b.lungo_nodi[k + 1] - b.lungo_nodi[k]);
  }
  return {lungo, minimo};
}

// Every stop name on the route, at its first stop along it: a stop on the
// track (or on the station's other tracks) before a station's node beside.
std::vector<candidata> candidate(const mappa_osm& m, const bozza_linea& b) {
  std::map<uint32_t, size_t> sulla_strada;
  for (size_t k = b.strada.nodi.size(); k-- > 0;) sulla_strada[b.strada.nodi[k]] = k;
  std::vector<punto> nodi;
  for (uint32_t n : b.strada.nodi) nodi.push_back(b.pn.proietta(m.nodi[n].dove()));
  std::map<std::string, candidata> per_nome;
  for (const fermata_osm* f : fermate_ferroviarie(m)) {
    double lungo = -1;
    int rango = 0;
    if (auto i = sulla_strada.find(f->nodo); i != sulla_strada.end()) {
      lungo = b.lungo_nodi[i->second];
    } else {
      const auto [l, d] = sul_percorso(nodi, b, b.pn.proietta(m.nodi[f->nodo].dove()));
      rango = d <= kDistanzaFermata ? 1 : 2;
      const bool stazione =
          f->genere == genere_fermata::stazione || f->genere == genere_fermata::fermata;
      if (rango == 1 || (stazione && d <= kDistanzaStazione)) lungo = l;
    }
    if (lungo < 0) continue;
    candidata& c = per_nome[nome_confrontabile(f->nome)];
    const bool prima = c.nome.empty();
    c.fermate += rango < 2;
    if (prima || rango < c.rango || (rango == c.rango && lungo < c.lungo))
      c.nome = f->nome, c.lungo = lungo, c.nodo = f->nodo, c.rango = rango;
  }
  // A place the route was asked through stands where the route met it.
  for (size_t k = 1; k + 1 < b.tappe.size(); ++k) {
    candidata& c = per_nome[nome_confrontabile(b.tappe[k].nome)];
    c.nome = b.tappe[k].nome, c.nodo = b.tappe[k].nodo;
    c.lungo = b.lungo_nodi[b.strada.tappe[k]];
    c.fermate = std::max(c.fermate, b.tappe[k].nodi.size() - b.tappe[k].accanto.size());
  }
  std::vector<candidata> r;
  for (auto& [k, c] : per_nome) r.push_back(c);
  std::stable_sort(r.begin(), r.end(),
                   [](const candidata& a, const candidata& c) { return a.lungo < c.lungo; });
  return r;
}

regole::zona_stazione zona_di(const stazione_bozza& s, int64_t lunghezza) {
  return regole::zona_della_stazione(s.tipo, s.posizione, lunghezza, false);
}

int64_t fine_zona(const stazione_bozza& s) {
  return zona_di(s, s.lunghezza).fine;
}

// The longest zone that keeps 350 m from the station before and ends on the
// line; false for none.
bool zona(const stazione_bozza& prima, stazione_bozza& s, int64_t massima, int64_t fine_linea) {
  for (int64_t l : kLunghezzeZona) {
    if (l > massima) continue;
    const regole::zona_stazione z = zona_di(s, l);
    if (z.inizio - formato::kDistanzaZone >= fine_zona(prima) && z.fine <= fine_linea) {
      s.lunghezza = l;
      return true;
    }
  }
  return false;
}

int64_t multiplo_di_cella(double p) {
  return arrotonda(static_cast<int64_t>(std::llround(p)), formato::kMetriCella) *
         formato::kMetriCella;
}

// The terminus at its stop; where the rails end too soon after it for even
// the shortest zone, as far back as that zone needs.
stazione_bozza arrivo(const bozza_linea& b) {
  stazione_bozza u;
  u.nome = b.tappe.back().nome, u.tipo = kTipoStazione;
  u.nodo = b.tappe.back().nodo, u.principale = true;
  u.posizione = multiplo_di_cella(static_cast<double>(posizione_nodo(b, b.strada.tappe.back())));
  while (u.posizione > 0 && zona_di(u, kLunghezzeZona.back()).fine > b.lunghezza)
    u.posizione -= formato::kMetriCella;
  return u;
}

}  // namespace

double oltre_arrivo() {
  stazione_bozza u;
  u.tipo = kTipoStazione;
  return static_cast<double>(zona_di(u, kLunghezzeZona.front()).fine + formato::kMetriCella);
}

void disegna_stazioni(const mappa_osm& m, bozza_linea& b) {
  const std::string prima = nome_confrontabile(b.tappe.front().nome);
  const std::string ultima = nome_confrontabile(b.tappe.back().nome);
  stazione_bozza p;
  p.nome = b.tappe.front().nome, p.tipo = kTipoPrima, p.lunghezza = kZonaPrima;
  p.nodo = b.tappe.front().nodo;
  b.stazioni.push_back(p);
  stazione_bozza u = arrivo(b);
  for (const candidata& c : candidate(m, b)) {
    const std::string n = nome_confrontabile(c.nome);
    if (n == prima || n == ultima) continue;
    stazione_bozza x;
    x.nome = c.nome, x.nodo = c.nodo, x.principale = c.fermate >= kBinariStazione;
    x.tipo = x.principale ? kTipoStazione : kTipoFermata;
    x.posizione = multiplo_di_cella(std::min(b.t.punto_a(c.lungo), b.lunghezza));
    if (x.posizione >= u.posizione) continue;  // on the run past the terminus
    if (!zona(b.stazioni.back(), x, x.principale ? 400 : 300, b.lunghezza)) {
      b.avvisi.push_back({"fermata «" + c.nome + "» tolta: troppo vicina a «" +
                              b.stazioni.back().nome + "» (le zone vogliono 350 m fra loro)",
                          "nodo " + std::to_string(m.nodi[c.nodo].id), x.posizione});
      continue;
    }
    b.stazioni.push_back(x);
  }
  while (!zona(b.stazioni.back(), u, 400, b.lunghezza) && b.stazioni.size() > 1) {
    b.avvisi.push_back({"fermata «" + b.stazioni.back().nome + "» tolta: troppo vicina all'arrivo",
                        "nodo " + std::to_string(m.nodi[b.stazioni.back().nodo].id),
                        b.stazioni.back().posizione});
    b.stazioni.pop_back();
  }
  if (u.lunghezza == 0) u.lunghezza = kLunghezzeZona.back();
  b.stazioni.push_back(u);
  // The table holds 78 stations and named signs together.
  while (b.stazioni.size() > static_cast<size_t>(formato::kStazioniPiuCartelli)) {
    const stazione_bozza& x = b.stazioni[b.stazioni.size() - 2];
    b.avvisi.push_back({"fermata «" + x.nome + "» tolta: la tabella tiene 78 stazioni",
                        "nodo " + std::to_string(m.nodi[x.nodo].id), x.posizione});
    b.stazioni.erase(b.stazioni.end() - 2);
  }
  for (const stazione_bozza& x : b.stazioni) {
    if (const std::optional<int64_t> c = regole::cella_fermata(fine_zona(x)))
      b.celle[*c] = "la stazione «" + x.nome + "»";
  }
}

namespace {

// A route longer than this many times the straight lines between its places
// is a detour.
constexpr double kDeviazione = 1.5;

}  // namespace

void avvisa_deviazione(const mappa_osm& m, bozza_linea& b) {
  deviazione_percorso& d = b.deviazione;
  d.lunghezza = lunghezza_percorso(m, b.strada);
  d.diretta = distanza_diretta(m, b.strada);
  d.presente = d.diretta > 0 && d.lunghezza > kDeviazione * d.diretta;
  if (!d.presente) return;
  std::string nomi;
  for (size_t k = 0; k < b.tappe.size(); ++k)
    nomi += std::string(k == 0                    ? "da «"
                        : k + 1 == b.tappe.size() ? " a «"
                                                  : " per «") +
            b.tappe[k].nome + "»";
  b.avvisi.insert(
      b.avvisi.begin(),
      {"deviazione: il percorso " + nomi + " è lungo " + dove(std::llround(d.lunghezza)) + ", " +
           testo_reale(d.lunghezza / d.diretta, 1) +
           " volte la distanza in linea d'aria fra le fermate in fila (" +
           dove(std::llround(d.diretta)) + "): le --via sono forse fuori ordine",
       "", -1});
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
