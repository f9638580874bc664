// The plan of the line, one point per metre, bent by the curves.
#include <algorithm>
#include <cstdint>

#include "driver/form1.h"

namespace {

// Curvature of each curve class, radians per metre.
constexpr double kCurvatura[] = {0.0, 0.0001, 0.0002, 0.0004, 0.001, 0.002, 0.003};
constexpr int64_t kPuntoMassimo = 1000000;

// The last point a step may set: the final two points of the plan stay empty.
int64_t ultimo_punto(const planimetria_linea& p) {
  return static_cast<int64_t>(p.punti()) - 3;
}

}  // namespace

void Form1::crea_planimetria() {
  if (j != 0) planimetria.crea(static_cast<size_t>(lettura.lunghezza_estesa) + 1);
}

void Form1::inizia_planimetria() {
  lettura.indice_planimetria = 2;
  if (planimetria.punti() < 2) return;
  // From the origin, heading along +y, one metre a step.
  planimetria.x[0] = 0;
  planimetria.y[0] = 0;
  planimetria.x[1] = 0;
  planimetria.y[1] = 1;
  planimetria.genere[0] = genere_punto::intero;
  planimetria.genere[1] = genere_punto::intero;
}

// Steps from point i on while i <= fino (and within the plan), straight or
// turned by k, with the last two points kept at hand. Returns false past the
// 1000000 bound when `limite` is set.
namespace {
bool passi(planimetria_linea& p, int64_t& i, int64_t fino, int64_t ultimo, bool curvo, double k,
           bool limite) {
  if (i > fino || i > ultimo) return true;
  double* x = p.x.data();
  double* y = p.y.data();
  uint8_t* g = p.genere.data();
  double x2 = x[i - 2], y2 = y[i - 2], x1 = x[i - 1], y1 = y[i - 1];
  const int64_t fine = std::min(fino, ultimo);
  while (i <= fine) {
    const double dx = x1 - x2;
    const double dy = y1 - y2;
    double xn, yn;
    if (curvo) {
      xn = x1 + (dx + k * dy);
      yn = y1 + (dy - k * dx);
    } else {
      xn = x1 + dx;
      yn = y1 + dy;
    }
    x[i] = xn;
    y[i] = yn;
    g[i] = genere_punto::doppio;
    x2 = x1, y2 = y1, x1 = xn, y1 = yn;
    if (++i > kPuntoMassimo && limite) return false;
  }
  return true;
}
}  // namespace

bool Form1::curva(int64_t s, int64_t n, int classe, bool sinistra) {
  if (classe < 1 || classe > 6) return false;
  const double k = sinistra ? -kCurvatura[classe] : kCurvatura[classe];
  int64_t& i = lettura.indice_planimetria;
  const int64_t ultimo = ultimo_punto(planimetria);
  if (!passi(planimetria, i, s, ultimo, false, 0.0, true)) return false;
  return passi(planimetria, i, s + n, ultimo, true, k, true);
}

void Form1::fine_planimetria() {
  int64_t& i = lettura.indice_planimetria;
  passi(planimetria, i, ultimo_punto(planimetria), ultimo_punto(planimetria), false, 0.0, false);
}
