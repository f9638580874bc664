// The classes chosen metre by metre so that the trace stays in a tube about
// the track: each class is held until, were the trace to turn back now with
// the class on the other side of the track's curvature, it would still come
// to rest inside the tube (a bang-bang rule, the fewest changes for the
// width). Where a class matches the track's curvature the trace rides it and
// corrects only on nearing the tube's edge. Every error is made good at once,
// so nothing drifts however long the line; far off (past a bend tighter than
// any class) the trace is brought back first, turning hard one way then the
// other.
#include "tool/bozza/tracciato.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "model/formato.h"

namespace bozza {

namespace {

// The thirteen curvatures, from the sharpest right curve on, counted the
// mathematical way (left positive): the plan's sign turned.
constexpr int kLivelli = 13;
constexpr int kDiritto = 6;
double livello(int q) {
  const int c = q - kDiritto;
  if (c == 0) return 0.0;
  return -formato::curvatura(static_cast<size_t>(std::abs(c)), c > 0);
}

constexpr double kTubo = 0.4;             // metres each side of the track
constexpr double kCosta = 5e-5;           // a class this near the track's curvature is ridden
constexpr int kTenutaMinima = 10;         // metres a class is held at least
constexpr double kAnticipoCurvatura = 4;  // metres ahead that the track's curvature is taken
constexpr double kRitorno = 2e-3;         // the curvature a far trace comes back by
constexpr double kLontano = 2.0;          // metres off that make a trace far

struct stato {
  double x2 = 0, y2 = 0, x1 = 0, y1 = 1;  // the last two plan points
  size_t j = 0;                           // the track metre the trace is near
  int q = kDiritto;                       // the class in use
  int tenuta = 0;                         // metres it has been held
  bool ritorno = false;                   // coming back from far off
};

// Where the point (x, y) projects on the track near metre `j`: metres along,
// signed distance (left positive), the track's direction there.
double proietta(const bersaglio& b, size_t& j, double x, double y, double& scarto) {
  const size_t n = b.punti.size();
  size_t da = j > 3 ? j - 3 : 0, meglio = j;
  double minimo = HUGE_VAL, t_meglio = 0;
  for (size_t k = da; k + 1 < n && k < j + 16; ++k) {
    const punto v = b.versi[k];
    const double px = x - b.punti[k].x, py = y - b.punti[k].y;
    const double t = std::clamp(px * v.x + py * v.y, 0.0, 1.0);
    const double ex = px - t * v.x, ey = py - t * v.y;
    const double d = ex * ex + ey * ey;
    if (d < minimo) minimo = d, meglio = k, t_meglio = t;
  }
  j = meglio;
  const punto v = b.versi[j];
  scarto = v.x * (y - b.punti[j].y) - v.y * (x - b.punti[j].x);
  return static_cast<double>(j) + t_meglio;
}

int livello_vicino(double u) {
  int q = 0;
  for (int k = 1; k < kLivelli; ++k)
    if (std::fabs(livello(k) - u) < std::fabs(livello(q) - u)) q = k;
  return q;
}

// The classes about the track's curvature k: one to ride (or -1) and the
// nearest ones below and above it.
void intorno(double k, int& costa, int& giu, int& su) {
  const int n = livello_vicino(k);
  costa = std::fabs(livello(n) - k) <= kCosta ? n : -1;
  if (costa >= 0) {
    giu = std::max(n - 1, 0), su = std::min(n + 1, kLivelli - 1);
    return;
  }
  giu = 0;
  while (giu + 1 < kLivelli && livello(giu + 1) < k) ++giu;
  su = std::min(giu + 1, kLivelli - 1);
}

// The class for the next metre: k the track's curvature, d the sine of the
// heading error and e the distance off (both left positive).
int scegli(stato& s, double k, double d, double e) {
  int costa, giu, su;
  intorno(k, costa, giu, su);
  const double alfa = std::max(1e-7, k - livello(giu)), beta = std::max(1e-7, livello(su) - k);
  const double dp = std::max(d, 0.0), dn = std::min(d, 0.0);
  // Where the trace comes to rest, turning back now with the class below or above.
  const double fermo_giu = e + dp * dp / (2 * alfa), fermo_su = e - dn * dn / (2 * beta);
  // Far off until back in the tube, turned to rest there.
  if (std::fabs(e) > kLontano ||
      (std::fabs(fermo_giu) > 3 * kTubo && std::fabs(fermo_su) > 3 * kTubo &&
       (fermo_giu > 0) == (fermo_su > 0)))
    s.ritorno = true;
  else if (std::fabs(e) < kTubo && std::min(std::fabs(fermo_giu), std::fabs(fermo_su)) < kTubo)
    s.ritorno = false;
  const bool lontano = s.ritorno;
  if (s.tenuta < kTenutaMinima && (lontano || std::fabs(e) < 2 * kTubo)) return s.q;
  if (lontano) {
    // Back at the full rate each way, turning at the curve that comes to rest on the track.
    const int g2 = livello_vicino(k - kRitorno), s2 = livello_vicino(k + kRitorno);
    const double a2 = std::max(1e-7, k - livello(g2)), b2 = std::max(1e-7, livello(s2) - k);
    return (d > 0 ? e + d * d / (2 * a2) : e - d * d / (2 * b2)) > 0 ? g2 : s2;
  }
  const double c = livello(s.q);
  const double bordo = costa >= 0 ? 0.0 : kTubo;  // riding: corrections aim at the middle
  if (s.q == su || (c > k && s.q != costa)) {
    if (costa >= 0 && d >= 0) return costa;
    return fermo_giu >= bordo ? giu : su;
  }
  if (s.q == giu || (c < k && s.q != costa)) {
    if (costa >= 0 && d <= 0) return costa;
    return fermo_su <= -bordo ? su : giu;
  }
  if (fermo_giu >= kTubo) return giu;
  if (fermo_su <= -kTubo) return su;
  return s.q;
}

void curve_da_livelli(const std::vector<int>& livelli, tracciato& t) {
  for (size_t i = 2; i < livelli.size();) {
    size_t k = i;
    while (k < livelli.size() && livelli[k] == livelli[i]) ++k;
    if (livelli[i] != kDiritto) {
      const int c = livelli[i] - kDiritto;
      t.curve.push_back(
          {static_cast<int64_t>(i) - 1, static_cast<int64_t>(k - i), std::abs(c), c > 0});
    }
    i = k;
  }
}

}  // namespace

double curvatura_classe(int classe, bool sinistra) {
  return -formato::curvatura(static_cast<size_t>(classe), sinistra);
}

int64_t tracciato::punto_a(double metri) const {
  auto i = std::lower_bound(lungo.begin(), lungo.end(), metri);
  return i - lungo.begin();
}

tracciato traccia(const bersaglio& b) {
  tracciato t;
  if (b.punti.size() < 2) return t;
  const double fine = static_cast<double>(b.punti.size() - 1);
  stato s;
  t.pianta = {{0, 0}, {0, 1}};
  t.lungo = {0, 1};
  std::vector<int> livelli = {kDiritto, kDiritto};
  for (;;) {
    double scarto;
    const double lungo = proietta(b, s.j, s.x1, s.y1, scarto);
    t.lungo.back() = lungo;
    if (lungo >= fine || t.pianta.size() > static_cast<size_t>(formato::kPuntoMassimo)) break;
    const double dx = s.x1 - s.x2, dy = s.y1 - s.y2;
    const punto v = b.versi[s.j];
    const double passo = std::sqrt(dx * dx + dy * dy);
    const double deriva = (v.x * dy - v.y * dx) / passo;  // sine of the heading error
    const size_t avanti =
        std::min(b.curvatura.size() - 1, s.j + static_cast<size_t>(kAnticipoCurvatura));
    const int q = scegli(s, b.curvatura[avanti], deriva, scarto);
    s.tenuta = q == s.q ? s.tenuta + 1 : 1;
    s.q = q;
    // The plan's own step, with the reader's sign: positive to the right.
    const auto [xn, yn] = formato::passo_piano(s.x2, s.y2, s.x1, s.y1, true, -livello(q));
    s.x2 = s.x1, s.y2 = s.y1, s.x1 = xn, s.y1 = yn;
    t.pianta.push_back({xn, yn});
    t.lungo.push_back(lungo);
    livelli.push_back(q);
  }
  t.fine = static_cast<int64_t>(t.pianta.size()) - 1;
  curve_da_livelli(livelli, t);
  // Stretches tighter than the sharpest class.
  const double massima = formato::kCurvatura[6];
  for (size_t j = 0; j < b.curvatura.size(); ++j) {
    if (std::fabs(b.curvatura[j]) <= massima) continue;
    size_t k = j;
    double picco = 0;
    while (k < b.curvatura.size() && std::fabs(b.curvatura[k]) > massima)
      picco = std::max(picco, std::fabs(b.curvatura[k++]));
    t.stretti.push_back({static_cast<double>(j), static_cast<double>(k), 1 / picco});
    j = k;
  }
  return t;
}

}  // namespace bozza
