// The plan of the line, one point per metre, bent by the curves.
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

// Sets point i from the two before it: straight on, or turned by k.
void passo(planimetria_linea& p, int64_t n, bool curvo, double k) {
  const size_t i = static_cast<size_t>(n);
  const double dx = p.x[i - 1] - p.x[i - 2];
  const double dy = p.y[i - 1] - p.y[i - 2];
  if (curvo) {
    p.x[i] = p.x[i - 1] + (dx + k * dy);
    p.y[i] = p.y[i - 1] + (dy - k * dx);
  } else {
    p.x[i] = p.x[i - 1] + dx;
    p.y[i] = p.y[i - 1] + dy;
  }
  p.genere[i] = genere_punto::doppio;
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

bool Form1::curva(int64_t s, int64_t n, int classe, bool sinistra) {
  if (classe < 1 || classe > 6) return false;
  const double k = sinistra ? -kCurvatura[classe] : kCurvatura[classe];
  int64_t& i = lettura.indice_planimetria;
  const int64_t ultimo = ultimo_punto(planimetria);
  // Straight up to the start, then bent for n steps; a curve running past the
  // plan's end stops there.
  while (i <= s) {
    if (i > ultimo) return true;
    passo(planimetria, i, false, 0.0);
    if (++i > kPuntoMassimo) return false;
  }
  while (i <= s + n) {
    if (i > ultimo) return true;
    passo(planimetria, i, true, k);
    if (++i > kPuntoMassimo) return false;
  }
  return true;
}

void Form1::fine_planimetria() {
  int64_t& i = lettura.indice_planimetria;
  const int64_t ultimo = ultimo_punto(planimetria);
  for (; i <= ultimo; ++i) passo(planimetria, i, false, 0.0);
}
