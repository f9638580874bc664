// The three kilometric reference points from the map's posts. The chainage
// a compiled line shows counts on from the last reference point at or before
// a position, a metre a metre; each point's position and chainage are
// multiples of 50. So the posts are cut into at most three runs, each read
// with one offset (a multiple of 50) that keeps its posts nearest, the cuts
// chosen for the smallest worst error. Posts that count down along the line
// are read as negative chainages, whose value is the posts'. A post whose
// value does not follow its neighbours' (a slip of whoever tagged it) is
// named and left out of the choice.
#include <algorithm>
#include <climits>
#include <cmath>
#include <map>

#include "model/formato.h"
#include "model/numeri.h"
#include "model/regole.h"
#include "tool/bozza/stesura.h"

namespace bozza {

namespace {

constexpr int64_t kPassoKm = formato::kMetriCella;
// A post further than this from the median of the five around it is out of place.
constexpr int64_t kFuoriPosto = 75;
constexpr size_t kCippiVicini = 2;  // posts each side of that median

struct run {
  size_t da = 0, a = 0;  // posts [da, a)
  int64_t scarto = 0;    // their chainage minus their position, a multiple of 50
  int64_t errore = 0;    // the worst post's distance from its kilometre
};

// The offset for posts whose chainage minus position runs from lo to hi.
run migliore(size_t da, size_t a, int64_t lo, int64_t hi) {
  const int64_t centro = arrotonda(lo + hi, 2 * kPassoKm) * kPassoKm;
  return {da, a, centro, std::max(hi - centro, centro - lo)};
}

// At most three runs with the smallest worst error (ties: fewer runs); d
// holds each post's chainage minus its position.
std::vector<run> dividi(const std::vector<int64_t>& d) {
  const size_t n = d.size();
  std::vector<int64_t> pmin(n + 1), pmax(n + 1), smin(n + 1), smax(n + 1);
  pmin[0] = smin[n] = INT64_MAX, pmax[0] = smax[n] = INT64_MIN;
  for (size_t i = 0; i < n; ++i)
    pmin[i + 1] = std::min(pmin[i], d[i]), pmax[i + 1] = std::max(pmax[i], d[i]);
  for (size_t i = n; i-- > 0;)
    smin[i] = std::min(smin[i + 1], d[i]), smax[i] = std::max(smax[i + 1], d[i]);
  std::vector<run> meglio = {migliore(0, n, pmin[n], pmax[n])};
  int64_t peggio = meglio[0].errore;
  for (size_t i = 1; i < n; ++i) {
    const run a = migliore(0, i, pmin[i], pmax[i]), b = migliore(i, n, smin[i], smax[i]);
    if (std::max(a.errore, b.errore) < peggio)
      peggio = std::max(a.errore, b.errore), meglio = {a, b};
  }
  for (size_t i = 1; i + 1 < n; ++i) {
    const run a = migliore(0, i, pmin[i], pmax[i]);
    if (a.errore >= peggio) continue;
    int64_t lo = d[i], hi = d[i];
    for (size_t j = i + 1; j < n; lo = std::min(lo, d[j]), hi = std::max(hi, d[j]), ++j) {
      const run b = migliore(i, j, lo, hi), c = migliore(j, n, smin[j], smax[j]);
      const int64_t e = std::max({a.errore, b.errore, c.errore});
      if (e < peggio) peggio = e, meglio = {a, b, c};
    }
  }
  return meglio;
}

}  // namespace

void disegna_chilometri(const mappa_osm& m, bozza_linea& b) {
  std::map<uint32_t, size_t> sulla_strada;
  for (size_t k = b.strada.nodi.size(); k-- > 0;) sulla_strada[b.strada.nodi[k]] = k;
  for (const cippo_osm& c : m.cippi) {
    auto i = sulla_strada.find(c.nodo);
    if (i == sulla_strada.end()) continue;
    const int64_t p = posizione_nodo(b, i->second);
    if (p > b.lunghezza) continue;
    b.cippi.push_back({m.nodi[c.nodo].id, p, c.metri, c.testo});
  }
  std::stable_sort(b.cippi.begin(), b.cippi.end(), [](const cippo_bozza& x, const cippo_bozza& y) {
    return x.posizione < y.posizione;
  });
  b.km = {};
  if (b.cippi.empty()) return;
  // Counting down: most steps from one post to the next go down.
  int giu = 0;
  for (size_t i = 1; i < b.cippi.size(); ++i)
    giu += b.cippi[i].metri < b.cippi[i - 1].metri   ? 1
           : b.cippi[i].metri > b.cippi[i - 1].metri ? -1
                                                     : 0;
  b.km_all_indietro = giu > 0;
  std::vector<int64_t> tutti, d;
  std::vector<size_t> buoni;  // the posts in place, by index in b.cippi
  for (const cippo_bozza& c : b.cippi)
    tutti.push_back((b.km_all_indietro ? -c.metri : c.metri) - c.posizione);
  for (size_t i = 0; i < tutti.size(); ++i) {
    std::vector<int64_t> v(
        tutti.begin() + static_cast<int64_t>(i >= kCippiVicini ? i - kCippiVicini : 0),
        tutti.begin() + static_cast<int64_t>(std::min(tutti.size(), i + kCippiVicini + 1)));
    std::nth_element(v.begin(), v.begin() + static_cast<int64_t>(v.size() / 2), v.end());
    b.cippi[i].fuori_posto = v.size() >= 3 && std::llabs(tutti[i] - v[v.size() / 2]) > kFuoriPosto;
    if (!b.cippi[i].fuori_posto) d.push_back(tutti[i]), buoni.push_back(i);
  }
  if (d.empty()) return;
  std::vector<run> r = dividi(d);
  for (run& x : r) x.da = buoni[x.da];  // back to indices in b.cippi
  // Each run's point stands before its first post: the first at 0, the
  // others at the multiple of 50 halfway from the post before.
  for (size_t k = 0; k < 3; ++k) {
    const run& x = r[std::min(k, r.size() - 1)];
    int64_t p = 0;
    if (k > 0 && k < r.size()) {
      const int64_t a = b.cippi[x.da - 1].posizione, c = b.cippi[x.da].posizione;
      p = std::clamp(arrotonda(a + c, 2 * kPassoKm) * kPassoKm, a + 1, c);
      p = (p + kPassoKm - 1) / kPassoKm * kPassoKm;
    } else if (k > 0) {
      p = b.km[k - 1].posizione;  // unused: the same point again
    }
    b.km[k] = {p, p + x.scarto};
  }
  // The largest position must be one point's alone, or the compile drops all three.
  if (b.km[2].posizione == b.km[1].posizione) {
    const int64_t p = b.km[2].posizione + kPassoKm;
    b.km[2] = {p, b.km[2].progressiva + kPassoKm};
  }
}

int64_t progressiva_bozza(const bozza_linea& b, int64_t posizione) {
  std::vector<regole::tratto_km> t;
  for (const riferimento_km& r : b.km) t.push_back({r.posizione, r.progressiva});
  std::stable_sort(t.begin(), t.end(), [](const regole::tratto_km& x, const regole::tratto_km& y) {
    return x.da < y.da;
  });
  return regole::progressiva(t, posizione);
}

}  // namespace bozza
