// The smooth track the plan follows. Map nodes carry the noise of whoever
// drew them (a metre is common), and a curve through them all would bend
// back and forth between them, while nodes far apart are joined by chords
// that cut inside the curve. So the track is a smoothing spline of the nodes
// (each coordinate against the length along them): the cubic that least
// squares and bending weigh against each other. Noise averages out where
// nodes are many, a few nodes on a curve still give its radius, and a
// circle's arc costs no bending penalty to keep.
#include <algorithm>
#include <cmath>

#include "tool/bozza/tracciato.h"

namespace bozza {

namespace {

constexpr double kNodiUguali = 1.0;  // metres: nodes closer than this count as one

double lunghezza(punto a) {
  return std::sqrt(a.x * a.x + a.y * a.y);
}
punto meno(punto a, punto b) {
  return {a.x - b.x, a.y - b.y};
}

// Reinsch's smoothing spline of y at knots t with weights w: the values g at
// the knots and the second derivatives s there (0 at both ends).
void spline_lisciante(const std::vector<double>& t, const std::vector<double>& y,
                      const std::vector<double>& w, double rigidita, std::vector<double>& g,
                      std::vector<double>& s) {
  const size_t n = t.size();
  g = y;
  s.assign(n, 0);
  if (n < 3) return;
  std::vector<double> h(n - 1);
  for (size_t i = 0; i + 1 < n; ++i) h[i] = t[i + 1] - t[i];
  // Q's column j (knots j-1, j, j+1), for j = 1 .. n-2.
  auto q = [&](size_t j, int k) {  // k: -1, 0, 1
    if (k < 0) return 1 / h[j - 1];
    if (k > 0) return 1 / h[j];
    return -1 / h[j - 1] - 1 / h[j];
  };
  const size_t m = n - 2;
  // The pentadiagonal R + l Q^T W^-1 Q in three diagonals, and Q^T y.
  std::vector<double> d0(m), d1(m, 0), d2(m, 0), b(m);
  for (size_t r = 0; r < m; ++r) {
    const size_t j = r + 1;
    d0[r] = (h[j - 1] + h[j]) / 3 +
            rigidita * (q(j, -1) * q(j, -1) / w[j - 1] + q(j, 0) * q(j, 0) / w[j] +
                        q(j, 1) * q(j, 1) / w[j + 1]);
    if (r + 1 < m)
      d1[r] =
          h[j] / 6 + rigidita * (q(j, 0) * q(j + 1, -1) / w[j] + q(j, 1) * q(j + 1, 0) / w[j + 1]);
    if (r + 2 < m) d2[r] = rigidita * q(j, 1) * q(j + 2, -1) / w[j + 1];
    b[r] = q(j, -1) * y[j - 1] + q(j, 0) * y[j] + q(j, 1) * y[j + 1];
  }
  // LDL^T of the band, then the two substitutions.
  std::vector<double> dd(m), l1(m, 0), l2(m, 0);
  for (size_t r = 0; r < m; ++r) {
    double v = d0[r];
    if (r >= 1) v -= l1[r - 1] * l1[r - 1] * dd[r - 1];
    if (r >= 2) v -= l2[r - 2] * l2[r - 2] * dd[r - 2];
    dd[r] = v;
    if (r + 1 < m) {
      double u = d1[r];
      if (r >= 1) u -= l1[r - 1] * l2[r - 1] * dd[r - 1];
      l1[r] = u / v;
    }
    if (r + 2 < m) l2[r] = d2[r] / v;
  }
  std::vector<double> z(m);
  for (size_t r = 0; r < m; ++r) {
    z[r] = b[r] - (r >= 1 ? l1[r - 1] * z[r - 1] : 0) - (r >= 2 ? l2[r - 2] * z[r - 2] : 0);
  }
  for (size_t r = 0; r < m; ++r) z[r] /= dd[r];
  for (size_t r = m; r-- > 0;)
    z[r] -= (r + 1 < m ? l1[r] * z[r + 1] : 0) + (r + 2 < m ? l2[r] * z[r + 2] : 0);
  for (size_t r = 0; r < m; ++r) s[r + 1] = z[r];
  for (size_t i = 0; i < n; ++i) {
    double qg = 0;
    if (i >= 2) qg += q(i - 1, 1) * s[i - 1];
    if (i >= 1 && i + 1 < n) qg += q(i, 0) * s[i];
    if (i + 2 < n) qg += q(i + 1, -1) * s[i + 1];
    g[i] = y[i] - rigidita * qg / w[i];
  }
}

// Value, first and second derivative of the spline at u in knot interval i.
void valuta(const std::vector<double>& t, const std::vector<double>& g,
            const std::vector<double>& s, size_t i, double u, double& f, double& f1, double& f2) {
  const double h = t[i + 1] - t[i], x = u - t[i];
  const double d = (g[i + 1] - g[i]) / h - h / 6 * (2 * s[i] + s[i + 1]);
  const double c3 = (s[i + 1] - s[i]) / (6 * h);
  f = g[i] + x * (d + x * (s[i] / 2 + x * c3));
  f1 = d + x * (s[i] + 3 * c3 * x);
  f2 = s[i] + 6 * c3 * x;
}

}  // namespace

bersaglio costruisci_bersaglio(const std::vector<punto>& nodi, double rigidita) {
  bersaglio b;
  // Knots: the distinct nodes (a cluster becomes its mean, weighed by its
  // size) at their length along the chords.
  std::vector<double> t, x, y, w;
  std::vector<size_t> di(nodi.size());
  double lungo = 0;
  for (size_t i = 0; i < nodi.size(); ++i) {
    if (i > 0) lungo += lunghezza(meno(nodi[i], nodi[i - 1]));
    if (t.empty() || lungo - t.back() > kNodiUguali) {
      t.push_back(lungo), x.push_back(nodi[i].x), y.push_back(nodi[i].y), w.push_back(1);
    } else if (i > 0) {
      const double k = w.back();
      x.back() = (x.back() * k + nodi[i].x) / (k + 1);
      y.back() = (y.back() * k + nodi[i].y) / (k + 1);
      w.back() = k + 1;
    }
    di[i] = t.size() - 1;
  }
  if (t.size() < 2) return b;
  std::vector<double> gx, sx, gy, sy;
  spline_lisciante(t, x, w, rigidita, gx, sx);
  spline_lisciante(t, y, w, rigidita, gy, sy);
  size_t i = 0;
  for (double u = 0; u <= t.back(); u += 1) {
    while (i + 2 < t.size() && t[i + 1] <= u) ++i;
    double px, x1, x2, py, y1, y2;
    valuta(t, gx, sx, i, u, px, x1, x2);
    valuta(t, gy, sy, i, u, py, y1, y2);
    const double v = std::sqrt(x1 * x1 + y1 * y1);
    b.punti.push_back({px, py});
    b.versi.push_back({x1 / v, y1 / v});
    b.curvatura.push_back((x1 * y2 - y1 * x2) / (v * v * v));
  }
  for (size_t k = 0; k < nodi.size(); ++k) b.nodi.push_back(t[di[k]]);
  return b;
}

punto verso_iniziale(const std::vector<punto>& nodi) {
  const bersaglio b = costruisci_bersaglio(nodi, kRigiditaGuida);
  if (b.versi.empty()) return {0, 1};
  return b.versi[0];
}

}  // namespace bozza
