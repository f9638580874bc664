#include "tool/bozza/geodesia.h"

#include <cmath>
#include <initializer_list>

namespace bozza {

namespace {

// pi/2 in two parts: the first has 33 significant bits, so its product with
// a quadrant count below 2^20 is exact.
constexpr double kMezzoPi1 = 1.57079632673412561417e+00;
constexpr double kMezzoPi1Coda = 6.07710050650619224932e-11;

// Taylor series on [-pi/4, pi/4], Horner's order; the first term left out is
// below 1e-19.
double seno_ridotto(double r) {
  const double q = r * r;
  double p = 1.0 / 355687428096000.0;
  for (double c : {-1.0 / 1307674368000.0, 1.0 / 6227020800.0, -1.0 / 39916800.0, 1.0 / 362880.0,
                   -1.0 / 5040.0, 1.0 / 120.0, -1.0 / 6.0})
    p = c + q * p;
  return r + r * q * p;
}

double coseno_ridotto(double r) {
  const double q = r * r;
  double p = 1.0 / 20922789888000.0;
  for (double c : {-1.0 / 87178291200.0, 1.0 / 479001600.0, -1.0 / 3628800.0, 1.0 / 40320.0,
                   -1.0 / 720.0, 1.0 / 24.0, -0.5})
    p = c + q * p;
  return 1.0 + q * p;
}

// Arc tangent for |x| <= 1: the argument halved twice (tan(a/2) = x / (1 +
// sqrt(1 + x^2))) to |x| <= tan(pi/16), then the series to x^25.
double arcotangente_ridotta(double x) {
  for (int i = 0; i < 2; ++i) x = x / (1.0 + std::sqrt(1.0 + x * x));
  const double q = x * x;
  double p = 0;
  for (int k = 12; k >= 0; --k) p = (k % 2 ? -1.0 : 1.0) / (2 * k + 1) + q * p;
  return 4.0 * x * p;
}

}  // namespace

void seno_coseno(double x, double& s, double& c) {
  const double n = std::nearbyint(x * (2.0 / kPi));
  const double r = (x - n * kMezzoPi1) - n * kMezzoPi1Coda;
  const double sr = seno_ridotto(r), cr = coseno_ridotto(r);
  switch (static_cast<int64_t>(n) & 3) {
    case 0:
      s = sr, c = cr;
      break;
    case 1:
      s = cr, c = -sr;
      break;
    case 2:
      s = -sr, c = -cr;
      break;
    default:
      s = -cr, c = sr;
      break;
  }
}

double seno(double x) {
  double s, c;
  seno_coseno(x, s, c);
  return s;
}

double coseno(double x) {
  double s, c;
  seno_coseno(x, s, c);
  return c;
}

double arcotangente(double x) {
  if (x > 1) return kPi / 2 - arcotangente_ridotta(1.0 / x);
  if (x < -1) return -kPi / 2 - arcotangente_ridotta(1.0 / x);
  return arcotangente_ridotta(x);
}

double arcotangente2(double y, double x) {
  if (x == 0 && y == 0) return 0;
  if (std::fabs(y) > std::fabs(x)) {
    const double a = kPi / 2 - arcotangente_ridotta(x / y);
    return y > 0 ? a : a - kPi;
  }
  const double a = arcotangente_ridotta(y / x);
  if (x > 0) return a;
  return y >= 0 ? a + kPi : a - kPi;
}

namespace {

constexpr double kSemiasse = 6378137.0;
constexpr double kSchiacciamento = 1.0 / 298.257223563;
constexpr double kSemiasseMinore = kSemiasse * (1 - kSchiacciamento);

// The reduced latitude's sine and cosine.
void ridotta(double lat, double& s, double& c) {
  double sl, cl;
  seno_coseno(radianti(lat), sl, cl);
  const double t = (1 - kSchiacciamento) * sl;
  const double n = std::sqrt(t * t + cl * cl);
  s = t / n;
  c = cl / n;
}

}  // namespace

// Vincenty's inverse method.
bool geodetica(coordinate a, coordinate b, double& distanza, double& est, double& nord) {
  double s1, c1, s2, c2;
  ridotta(a.lat, s1, c1);
  ridotta(b.lat, s2, c2);
  const double l = radianti(b.lon - a.lon);
  const double f = kSchiacciamento;
  double lambda = l, sl = 0, cl = 1, ss = 0, cs = 1, sigma = 0, c2a = 1, c2m = 0;
  for (int i = 0;; ++i) {
    if (i == 200) return false;
    seno_coseno(lambda, sl, cl);
    const double u = c2 * sl, v = c1 * s2 - s1 * c2 * cl;
    ss = std::sqrt(u * u + v * v);
    if (ss == 0) {
      distanza = 0, est = 0, nord = 1;
      return true;
    }
    cs = s1 * s2 + c1 * c2 * cl;
    sigma = arcotangente2(ss, cs);
    const double sa = c1 * c2 * sl / ss;
    c2a = 1 - sa * sa;
    c2m = c2a != 0 ? cs - 2 * s1 * s2 / c2a : 0;
    const double c = f / 16 * c2a * (4 + f * (4 - 3 * c2a));
    const double prima = lambda;
    lambda = l + (1 - c) * f * sa * (sigma + c * ss * (c2m + c * cs * (-1 + 2 * c2m * c2m)));
    if (std::fabs(lambda - prima) < 1e-13) break;
  }
  const double e2 = (kSemiasse * kSemiasse - kSemiasseMinore * kSemiasseMinore) /
                    (kSemiasseMinore * kSemiasseMinore);
  const double u2 = c2a * e2;
  const double ca = 1 + u2 / 16384 * (4096 + u2 * (-768 + u2 * (320 - 175 * u2)));
  const double cb = u2 / 1024 * (256 + u2 * (-128 + u2 * (74 - 47 * u2)));
  const double ds = cb * ss *
                    (c2m + cb / 4 *
                               (cs * (-1 + 2 * c2m * c2m) -
                                cb / 6 * c2m * (-3 + 4 * ss * ss) * (-3 + 4 * c2m * c2m)));
  distanza = kSemiasseMinore * ca * (sigma - ds);
  const double u = c2 * sl, v = c1 * s2 - s1 * c2 * cl;
  const double n = std::sqrt(u * u + v * v);
  est = u / n;
  nord = v / n;
  return true;
}

punto scarto_locale(coordinate a, coordinate b) {
  double s, c;
  seno_coseno(radianti((a.lat + b.lat) / 2), s, c);
  const double e2 = kSchiacciamento * (2 - kSchiacciamento);
  const double w = std::sqrt(1 - e2 * s * s);
  const double primo_verticale = kSemiasse / w;
  const double meridiano = kSemiasse * (1 - e2) / (w * w * w);
  return {radianti(b.lon - a.lon) * primo_verticale * c, radianti(b.lat - a.lat) * meridiano};
}

piano::piano(coordinate o, double rotta_gradi) : origine(o), rotta(rotta_gradi) {
  seno_coseno(radianti(rotta_gradi), seno_rotta, coseno_rotta);
}

punto piano::proietta(coordinate c) const {
  double d, e, n;
  if (!geodetica(origine, c, d, e, n)) return {};
  e *= d;
  n *= d;
  return {e * coseno_rotta - n * seno_rotta, e * seno_rotta + n * coseno_rotta};
}

}  // namespace bozza
