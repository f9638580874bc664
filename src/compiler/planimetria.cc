// The plan of the line, one point per metre, bent by the curves.
#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <new>

#include "driver/form1.h"
#include "model/formato.h"

namespace {

using formato::kPuntoMassimo;

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
  // The layout the stream reckons with needs the two first and two last points.
  if (!scrive_in_lettura || planimetria.punti() < std::max<size_t>(punti_in_flusso, 4)) return;
  try {
    flusso = std::make_unique<flusso_planimetria>(
        *disco, nel_programma(formato::nome_planimetria(nome_linea)), planimetria);
  } catch (const file::errore_io&) {
    // No file to write into yet: the plan is written whole at the end, where
    // the same fault is met and reported.
  } catch (const std::bad_alloc&) {
    // No memory for the pieces: the same.
  }
}

// Steps from point i on while i <= fino (and within the plan), straight or
// turned by k, with the last two points kept at hand. Returns false past the
// 1000000 bound when `limite` is set. Without a flusso every point goes into
// the arrays; with one, its bytes go into the plan file's pieces instead: the
// steps wait on one another, so those stores cost next to nothing.
namespace {
template <bool kFlusso>
bool passi(planimetria_linea& p, int64_t& i, int64_t fino, int64_t ultimo, bool curvo, double k,
           bool limite, flusso_planimetria* flusso) {
  if (i > fino || i > ultimo) return true;
  double* x = p.x.data();
  double* y = p.y.data();
  uint8_t* g = p.genere.data();
  double x2, y2, x1, y1;
  if constexpr (kFlusso) {
    x2 = flusso->ultimi[0], y2 = flusso->ultimi[1], x1 = flusso->ultimi[2], y1 = flusso->ultimi[3];
  } else {
    x2 = x[i - 2], y2 = y[i - 2], x1 = x[i - 1], y1 = y[i - 1];
  }
  const int64_t fine = std::min(fino, ultimo);
  constexpr uint16_t kEtichetta = genere_punto::doppio;
  static_assert(std::endian::native == std::endian::little, "the pieces take native bytes");
  bool oltre = false;
  while (i <= fine && !oltre) {
    int64_t fine_blocco = fine;
    char* qx = nullptr;
    char* qy = nullptr;
    if constexpr (kFlusso) {
      if (flusso->spazio == 0) flusso->consegna();
      fine_blocco = std::min(fine, i + static_cast<int64_t>(flusso->spazio) - 1);
      qx = flusso->qx;
      qy = flusso->qy;
    }
    const int64_t inizio_blocco = i;
    while (i <= fine_blocco) {
      const auto [xn, yn] = formato::passo_piano(x2, y2, x1, y1, curvo, k);
      if constexpr (kFlusso) {
        std::memcpy(qx, &kEtichetta, 2);
        std::memcpy(qx + 2, &xn, 8);
        std::memcpy(qy, &kEtichetta, 2);
        std::memcpy(qy + 2, &yn, 8);
        qx += 10;
        qy += 10;
      } else {
        x[i] = xn;
        y[i] = yn;
        g[i] = genere_punto::doppio;
      }
      x2 = x1, y2 = y1, x1 = xn, y1 = yn;
      if (++i > kPuntoMassimo && limite) {
        oltre = true;
        break;
      }
    }
    if constexpr (kFlusso) {
      const auto n = static_cast<size_t>(i - inizio_blocco);
      flusso->qx = qx;
      flusso->qy = qy;
      flusso->spazio -= n;
      flusso->punti += n;
    }
  }
  if constexpr (kFlusso) {
    flusso->ultimi[0] = x2, flusso->ultimi[1] = y2, flusso->ultimi[2] = x1, flusso->ultimi[3] = y1;
  }
  return !oltre;
}
}  // namespace

bool Form1::passi_planimetria(int64_t fino, bool curvo, double k, bool limite) {
  int64_t& i = lettura.indice_planimetria;
  const int64_t ultimo = ultimo_punto(planimetria);
  if (!flusso) return passi<false>(planimetria, i, fino, ultimo, curvo, k, limite, nullptr);
  flusso->tratti.push_back({fino, curvo, k, limite});
  return passi<true>(planimetria, i, fino, ultimo, curvo, k, limite, flusso.get());
}

void Form1::planimetria_dal_flusso() {
  if (!flusso) return;
  // The same steps in the same order give the same points, bit for bit.
  int64_t i = 2;
  const int64_t ultimo = ultimo_punto(planimetria);
  for (const flusso_planimetria::tratto& t : flusso->tratti)
    passi<false>(planimetria, i, t.fino, ultimo, t.curvo, t.k, t.limite, nullptr);
  flusso.reset();
}

bool Form1::curva(int64_t s, int64_t n, int classe, bool sinistra) {
  if (classe < 1 || classe > 6) return false;
  const double k = formato::curvatura(static_cast<size_t>(classe), sinistra);
  if (!passi_planimetria(s, false, 0.0, true)) return false;
  return passi_planimetria(s + n, true, k, true);
}

void Form1::fine_planimetria() {
  passi_planimetria(ultimo_punto(planimetria), false, 0.0, false);
}
