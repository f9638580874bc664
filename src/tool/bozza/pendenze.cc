// The line's gradients from the tiles' heights along the route. A track is
// far smoother than the ground a tile measures (embankments, cuttings, the
// tile's own noise of metres), so the profile is the taut string through a
// band about the tile's heights: the shortest line that never leaves the
// band, bending only where it must. Across bridges, tunnels and voids the
// band is open and the string runs straight; past the last tile it is held
// flat. Where the string bends a gradient point is written, at a cell
// boundary and in whole per mille, each rounded toward the height its
// stretch must reach from the height the gradients before it reached, so
// roundings never add up.
#include <algorithm>
#include <cmath>
#include <deque>

#include "model/regole.h"
#include "model/formato.h"
#include "model/numeri.h"
#include "tool/bozza/stesura.h"

namespace bozza {

namespace {

constexpr int64_t kPassoQuote = 10;     // metres between heights
constexpr double kFascia = 7.0;         // metres the profile may leave the tile's heights
constexpr double kAperta = 1e9;         // the band where the tile says nothing
constexpr int64_t kTrattoMinimo = 200;  // metres between gradient points at least

// The route's point at `u` metres along its nodes.
coordinate sulla_strada(const mappa_osm& m, const bozza_linea& b, double u, size_t& k) {
  const std::vector<double>& c = b.lungo_nodi;
  while (k + 2 < c.size() && c[k + 1] <= u) ++k;
  const coordinate a = m.nodi[b.strada.nodi[k]].dove(), z = m.nodi[b.strada.nodi[k + 1]].dove();
  const double w = c[k + 1] > c[k] ? std::clamp((u - c[k]) / (c[k + 1] - c[k]), 0.0, 1.0) : 0;
  return {a.lat + w * (z.lat - a.lat), a.lon + w * (z.lon - a.lon)};
}

// Warns once for each run of samples that had no height for the same reason.
void avvisa_mancanti(const std::vector<esito_quota>& e, bozza_linea& b) {
  for (size_t i = 0; i < e.size();) {
    if (e[i] == esito_quota::trovata) {
      ++i;
      continue;
    }
    size_t j = i;
    while (j < e.size() && e[j] == e[i]) ++j;
    const int64_t da = static_cast<int64_t>(i) * kPassoQuote;
    const int64_t a = std::min(b.lunghezza, static_cast<int64_t>(j - 1) * kPassoQuote);
    if (e[i] == esito_quota::vuoto)
      b.avvisi.push_back({"vuoto nella tessera da " + dove(da) + " a " + dove(a) +
                              ": le quote vi sono interpolate",
                          "", da});
    else
      b.avvisi.push_back({"nessuna tessera da " + dove(da) + " a " + dove(a) +
                              (j == e.size() ? ": pendenza piana fino alla fine"
                                             : ": quote interpolate, o piane prima della prima"),
                          "", da});
    i = j;
  }
}

// Heights held flat before the first known one and after the last (the end
// of the tiles); false when none is known.
bool tieni_piatto(std::vector<double>& h) {
  size_t primo = h.size(), ultimo = 0;
  for (size_t i = 0; i < h.size(); ++i)
    if (!std::isnan(h[i])) primo = std::min(primo, i), ultimo = i;
  if (primo == h.size()) return false;
  for (size_t i = 0; i < primo; ++i) h[i] = h[primo];
  for (size_t i = ultimo + 1; i < h.size(); ++i) h[i] = h[ultimo];
  return true;
}

struct vertice {
  double x, y;
};
double pendio(vertice a, vertice b) {
  return (b.y - a.y) / (b.x - a.x);
}

// The shortest path from (x[0], y0) to (x[n-1], yn) between lo and hi at
// each x (the funnel algorithm): its vertices.
std::vector<vertice> corda_tesa(const std::vector<double>& x, const std::vector<double>& lo,
                                const std::vector<double>& hi, double y0, double yn) {
  std::vector<vertice> r = {{x[0], y0}};
  std::deque<vertice> su = {r[0]}, giu = {r[0]};
  // A new point on one side: where it closes the funnel past the other side's
  // first point, that point becomes the apex.
  auto aggiungi = [&](vertice p, std::deque<vertice>& lato, std::deque<vertice>& altro, int segno) {
    while (altro.size() >= 2 && segno * (pendio(altro[0], p) - pendio(altro[0], altro[1])) < 0) {
      altro.pop_front();
      r.push_back(altro[0]);
      lato = {altro[0]};
    }
    while (lato.size() >= 2 && segno * (pendio(lato[lato.size() - 2], p) -
                                        pendio(lato[lato.size() - 2], lato.back())) <=
                                   0)
      lato.pop_back();
    lato.push_back(p);
  };
  for (size_t i = 1; i < x.size(); ++i) {
    const bool ultimo = i + 1 == x.size();
    aggiungi({x[i], ultimo ? yn : hi[i]}, su, giu, 1);
    aggiungi({x[i], ultimo ? yn : lo[i]}, giu, su, -1);
  }
  // The apex, then whichever chain reaches the end (both end there).
  for (size_t k = 1; k < su.size(); ++k) r.push_back(su[k]);
  return r;
}

// The string's height at x.
double altezza(const std::vector<vertice>& c, double x) {
  size_t k = 0;
  while (k + 2 < c.size() && c[k + 1].x < x) ++k;
  if (c.size() < 2 || c[k + 1].x == c[k].x) return c.back().y;
  return c[k].y + (c[k + 1].y - c[k].y) * (x - c[k].x) / (c[k + 1].x - c[k].x);
}

// A gradient point at the cell boundary nearest each bend of the string.
void scrivi_pendenze(const std::vector<vertice>& corda, bozza_linea& b) {
  const int64_t passo = formato::kMetriCella;
  std::vector<int64_t> punti = {0};
  for (const vertice& v : corda) {
    const int64_t p = arrotonda(static_cast<int64_t>(std::nearbyint(v.x)), passo) * passo;
    if (p >= punti.back() + kTrattoMinimo && p < b.lunghezza) punti.push_back(p);
  }
  // The line's end closes the last stretch; one too short to round well joins the one before.
  if (punti.size() > 1 && b.lunghezza - punti.back() < kTrattoMinimo) punti.pop_back();
  if (b.lunghezza > punti.back()) punti.push_back(b.lunghezza);
  int64_t quota_mm = b.quota_iniziale;
  for (size_t t = 0; t + 1 < punti.size(); ++t) {
    const int64_t lungo = punti[t + 1] - punti[t];
    const double h = altezza(corda, static_cast<double>(punti[t + 1]));
    const int64_t meta = static_cast<int64_t>(std::nearbyint(h * 1000));
    int64_t g = (meta - quota_mm) / lungo;
    const int64_t resto = (meta - quota_mm) - g * lungo;
    if (2 * std::llabs(resto) > lungo) g += resto > 0 ? 1 : -1;
    g = std::clamp<int64_t>(g, regole::kPendenzaMinima, regole::kPendenzaMassima);
    quota_mm += g * lungo;
    if (b.pendenze.empty() || b.pendenze.back().valore != g)
      b.pendenze.push_back({punti[t], static_cast<int>(g)});
  }
  if (b.pendenze.empty()) b.pendenze.push_back({0, 0});
}

}  // namespace

void disegna_pendenze(const mappa_osm& m, const std::vector<tessera>& dem, bozza_linea& b) {
  const size_t n = static_cast<size_t>((b.lunghezza + kPassoQuote - 1) / kPassoQuote) + 1;
  b.quote.assign(n, NAN);
  b.sospese.assign(n, false);
  std::vector<esito_quota> e(n, esito_quota::fuori);
  size_t k = 0;
  for (size_t i = 0; i < n; ++i) {
    const int64_t p = std::min(static_cast<int64_t>(i) * kPassoQuote, b.lunghezza);
    const coordinate c = sulla_strada(m, b, b.t.lungo[static_cast<size_t>(p)], k);
    const via_osm& v = m.vie[b.strada.vie[k]];
    b.sospese[i] = v.ponte || v.galleria;
    double q;
    e[i] = quota(dem, c, q);
    if (e[i] == esito_quota::trovata) b.quote[i] = q;
  }
  if (dem.empty())
    b.avvisi.push_back({"nessuna tessera di quote (--dem): la linea è piana", "", 0});
  else
    avvisa_mancanti(e, b);
  std::vector<double> piatte = b.quote;
  if (!tieni_piatto(piatte)) piatte.assign(n, 0.0);
  // The band: about the tile's heights, open over bridges, tunnels and
  // voids, shut on the held heights before and past the tiles.
  std::vector<double> x(n), lo(n), hi(n);
  size_t primo = n, ultimo = 0;
  for (size_t i = 0; i < n; ++i)
    if (!std::isnan(b.quote[i])) primo = std::min(primo, i), ultimo = i;
  for (size_t i = 0; i < n; ++i) {
    x[i] = static_cast<double>(std::min(static_cast<int64_t>(i) * kPassoQuote, b.lunghezza));
    const bool tenuta = primo == n || i < primo || i > ultimo;
    const bool aperta = !tenuta && (b.sospese[i] || std::isnan(b.quote[i]));
    lo[i] = aperta ? -kAperta : piatte[i] - (tenuta ? 0 : kFascia);
    hi[i] = aperta ? kAperta : piatte[i] + (tenuta ? 0 : kFascia);
  }
  b.pendenze.clear();
  b.quota_iniziale = static_cast<int64_t>(std::nearbyint(piatte[0] * 1000));
  if (n < 2 || x[n - 1] <= 0) {
    b.pendenze.push_back({0, 0});
    return;
  }
  scrivi_pendenze(corda_tesa(x, lo, hi, piatte[0], piatte[n - 1]), b);
}

}  // namespace bozza
