// Angles and distances on the WGS84 ellipsoid, and the plane of a drafted
// plan. Every function here uses only + - * / and the square root, which
// both platforms round the same way: the system library's sines and arc
// tangents may differ in the last bit between Linux and Windows, and one bit
// can move a curve by a metre and change the sources written.
#pragma once
#include <cstdint>

namespace bozza {

constexpr double kPi = 3.14159265358979323846;

double seno(double x);
double coseno(double x);
void seno_coseno(double x, double& s, double& c);
double arcotangente(double x);
double arcotangente2(double y, double x);
inline double gradi(double radianti) {
  return radianti * (180.0 / kPi);
}
inline double radianti(double gradi) {
  return gradi * (kPi / 180.0);
}

struct punto {
  double x = 0, y = 0;
};
struct coordinate {
  double lat = 0, lon = 0;  // degrees
};
// Latitude from -90 to 90, longitude from -180 to 180: anything else is no
// place, and would make a plan's origin that nothing can draw.
inline bool sulla_terra(coordinate c) {
  return c.lat >= -90 && c.lat <= 90 && c.lon >= -180 && c.lon <= 180;
}

// Distance in metres and the direction at `a` toward `b` (as a unit vector:
// east, north) along the geodesic of the ellipsoid. False where the
// iteration does not settle (nearly antipodal points).
bool geodetica(coordinate a, coordinate b, double& distanza, double& est, double& nord);

// Metres east and north from `a` to `b` for points a few kilometres apart at
// most, from the radii of curvature at their mean latitude: the length of a
// rail segment for the route search.
punto scarto_locale(coordinate a, coordinate b);

// The plane of a plan: azimuthal equidistant about `origine` (every point at
// its true distance and direction from it), turned so that +y points along
// `rotta` (degrees clockwise from north) and +x to its right.
struct piano {
  coordinate origine;
  double rotta = 0;
  double seno_rotta = 0, coseno_rotta = 1;

  piano() = default;
  piano(coordinate o, double rotta_gradi);
  punto proietta(coordinate c) const;
};

}  // namespace bozza
