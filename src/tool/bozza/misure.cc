// The report's figures, measured on the compiled files: how far the plan the
// compile traced lies from the map's track (the curve through the map's
// nodes), from the nodes themselves and from the ways' chords; the kilometre
// the compiled line shows at each post; the heights its gradients give.
#include <algorithm>
#include <cmath>

#include "model/formato.h"
#include "model/regole.h"
#include "tool/bozza/stesura.h"
#include "tool/compilati/compilati.h"

namespace bozza {

namespace {

// A named stretch runs on until the plan has kept within this of the track
// for these many metres.
constexpr double kRientro = 1.0;
constexpr int64_t kQuiete = 100;
constexpr int64_t kOltre = 100;    // plan metres past the end that the last nodes may take
constexpr int64_t kQuoteOgni = 5;  // heights kept every 10 m: one a cell boundary in five

double distanza_segmento(punto q, punto a, punto b) {
  const double vx = b.x - a.x, vy = b.y - a.y, l2 = vx * vx + vy * vy;
  const double t = l2 > 0 ? std::clamp(((q.x - a.x) * vx + (q.y - a.y) * vy) / l2, 0.0, 1.0) : 0;
  const double ex = q.x - a.x - t * vx, ey = q.y - a.y - t * vy;
  return std::sqrt(ex * ex + ey * ey);
}

// The distance of each plan point from the map's track near it.
std::vector<double> scarti(const std::vector<punto>& pianta, const bozza_linea& b,
                           const bersaglio& mappa) {
  std::vector<double> d(pianta.size());
  const int64_t n = static_cast<int64_t>(mappa.punti.size());
  for (size_t i = 0; i < pianta.size(); ++i) {
    const int64_t u = static_cast<int64_t>(b.t.lungo[i]);
    double m = HUGE_VAL;
    for (int64_t j = std::max<int64_t>(0, u - 40); j + 1 < n && j < u + 40; ++j)
      m = std::min(m, distanza_segmento(pianta[i], mappa.punti[static_cast<size_t>(j)],
                                        mappa.punti[static_cast<size_t>(j + 1)]));
    d[i] = n > 1 ? m : 0;
  }
  return d;
}

void nomina_stretti(const mappa_osm& m, const bozza_linea& b, const std::vector<double>& d,
                    misure& f) {
  const int64_t ultimo = static_cast<int64_t>(d.size()) - 1;
  for (const tratto_stretto& s : b.t.stretti) {
    int64_t da = std::min(b.t.punto_a(s.da), ultimo), a = std::min(b.t.punto_a(s.a), ultimo);
    while (da > 0 && d[static_cast<size_t>(da - 1)] > kRientro) --da;
    // On until the plan has stayed near the track for a while (it may swing past it).
    int64_t quieto = 0, z = a;
    while (z < ultimo && quieto < kQuiete) {
      ++z;
      quieto = d[static_cast<size_t>(z)] > kRientro ? 0 : quieto + 1;
    }
    a = quieto >= kQuiete ? z - kQuiete : z;
    if (!f.stretti.empty() && da <= f.stretti.back().a) {
      f.stretti.back().a = std::max(f.stretti.back().a, a);
      f.stretti.back().raggio = std::min(f.stretti.back().raggio, s.raggio);
    } else {
      f.stretti.push_back({da, a, s.raggio, {}});
    }
    for (size_t k = 0; k + 1 < b.lungo_nodi.size(); ++k) {
      if (b.lungo_nodi[k + 1] < s.da || b.lungo_nodi[k] > s.a) continue;
      const int64_t id = m.vie[b.strada.vie[k]].id;
      std::vector<int64_t>& v = f.stretti.back().vie;
      if (std::find(v.begin(), v.end(), id) == v.end()) v.push_back(id);
    }
  }
}

bool nominato(const misure& f, int64_t i) {
  for (const tratto_nominato& s : f.stretti)
    if (i >= s.da && i <= s.a) return true;
  return false;
}

void scarti_mappa(const mappa_osm& m, const bozza_linea& b, const std::vector<punto>& pianta,
                  misure& f) {
  std::vector<punto> nodi;
  for (uint32_t n : b.strada.nodi) nodi.push_back(b.pn.proietta(m.nodi[n].dove()));
  const std::vector<punto> linea(
      pianta.begin(),
      pianta.begin() + std::min<int64_t>(b.lunghezza + 1, static_cast<int64_t>(pianta.size())));
  const std::vector<double> d = scarti(linea, b, costruisci_bersaglio(nodi, 0));
  nomina_stretti(m, b, d, f);
  double somma = 0;
  size_t quanti = 0;
  for (size_t i = 0; i < d.size(); ++i) {
    if (nominato(f, static_cast<int64_t>(i))) continue;
    somma += d[i], ++quanti;
    if (d[i] > f.scarto_massimo) f.scarto_massimo = d[i], f.dove_massimo = static_cast<int64_t>(i);
  }
  f.scarto_medio = quanti ? somma / static_cast<double>(quanti) : 0;
  const int64_t n = static_cast<int64_t>(pianta.size());
  for (size_t k = 0; k < nodi.size(); ++k) {
    const int64_t i = posizione_nodo(b, k);
    if (nominato(f, i)) continue;
    double x = HUGE_VAL;
    for (int64_t j = std::max<int64_t>(0, i - 60); j + 1 < n && j < i + 60; ++j)
      x = std::min(x, distanza_segmento(nodi[k], pianta[static_cast<size_t>(j)],
                                        pianta[static_cast<size_t>(j + 1)]));
    if (n > 1 && x > f.scarto_nodi) f.scarto_nodi = x, f.nodo_lontano = m.nodi[b.strada.nodi[k]].id;
  }
  size_t k = 0;
  for (size_t i = 0; i < linea.size(); ++i) {
    if (nominato(f, static_cast<int64_t>(i))) continue;
    const double u = b.t.lungo[i];
    while (k + 2 < nodi.size() && b.lungo_nodi[k + 1] < u - 50) ++k;
    double x = HUGE_VAL;
    for (size_t j = k; j + 1 < nodi.size() && b.lungo_nodi[j] <= u + 50; ++j)
      x = std::min(x, distanza_segmento(linea[i], nodi[j], nodi[j + 1]));
    if (x < HUGE_VAL) f.scarto_corde = std::max(f.scarto_corde, x);
  }
}

void quote(const bozza_linea& b, const std::vector<cella_percorso>& celle, misure& f) {
  double h = static_cast<double>(b.quota_iniziale) / 1000;
  const int64_t celle_linea = b.lunghezza / formato::kMetriCella;
  for (int64_t c = 0; c <= celle_linea && c < static_cast<int64_t>(celle.size()); ++c) {
    const size_t q = static_cast<size_t>(c * kQuoteOgni);
    if (q < b.quote.size() && !std::isnan(b.quote[q]) && !b.sospese[q] &&
        std::fabs(h - b.quote[q]) > f.scarto_quote)
      f.scarto_quote = std::fabs(h - b.quote[q]), f.dove_quote = c * formato::kMetriCella;
    const int g = regole::pendenza_cella(celle[static_cast<size_t>(c)]);
    f.pendenza_massima = std::max(f.pendenza_massima, std::abs(g));
    h += g * static_cast<double>(formato::kMetriCella) / 1000;
  }
}

}  // namespace

void misura(const mappa_osm& m, const bozza_linea& b, const scenario_compilato& s, misure& f) {
  // The plan to the line's end, and a little past it for the last nodes.
  std::vector<punto> pianta;
  for (size_t i = 0; i <= static_cast<size_t>(b.lunghezza + kOltre) && i < s.pianta.punti() &&
                     s.pianta.genere(i) != genere_punto::vuoto;
       ++i)
    pianta.push_back({s.pianta.x(i), s.pianta.y(i)});
  scarti_mappa(m, b, pianta, f);
  const std::vector<regole::tratto_km> tratti = regole::tratti_km(s.tabella_linea);
  int64_t peggio = -1;
  for (size_t j = 0; j < b.cippi.size(); ++j) {
    const int64_t km = regole::progressiva(tratti, b.cippi[j].posizione);
    f.km_cippi.push_back(km);
    const int64_t d = std::llabs((b.km_all_indietro ? -km : km) - b.cippi[j].metri);
    if (!b.cippi[j].fuori_posto && d > peggio)
      peggio = d, f.cippo_peggiore = static_cast<int64_t>(j);
  }
  quote(b, s.celle, f);
}

}  // namespace bozza
