// The plan drafted from the track: the line reader traces one point per
// metre, straight or bent by one of the six curve classes, and the draft
// chooses the classes so that this trace stays on the map's track.
#pragma once
#include <cstdint>
#include <vector>

#include "tool/bozza/geodesia.h"

namespace bozza {

// The track to follow, in the plan's plane: a smooth curve through the map's
// nodes (so that nodes far apart do not make corners), one point a metre.
struct bersaglio {
  std::vector<punto> punti;       // punti[j] is j metres along
  std::vector<punto> versi;       // unit direction from punti[j] to punti[j + 1]
  std::vector<double> curvatura;  // radians a metre, positive to the left, smoothed
  std::vector<double> nodi;       // where each node of the track stands, in metres along
};

// From the track's nodes in order (duplicates allowed): a smoothing spline,
// the weight of bending against the distance from the nodes given. With 0 it
// passes through every node: the map's track as the measure of the draft.
bersaglio costruisci_bersaglio(const std::vector<punto>& nodi, double rigidita);
// The weight the plan's guide takes: the spline averages the noise of about
// (rigidita / nodes a metre)^(1/4) metres of nodes, 40 m where they are 50 m
// apart, and keeps a curve of 250 m radius within a few centimetres.
constexpr double kRigiditaGuida = 1e5;
// The unit direction of the track at its start, over its first metres.
punto verso_iniziale(const std::vector<punto>& nodi);

// A curve of the line source: curved steps at plan points inizio + 1 to
// inizio + lunghezza.
struct curva_bozza {
  int64_t inizio = 0, lunghezza = 0;
  int classe = 0;  // 1 to 6
  bool sinistra = false;
};

// A stretch where the track bends more than the sharpest class can.
struct tratto_stretto {
  double da = 0, a = 0;  // metres along the track
  double raggio = 0;     // the tightest radius in it
};

struct tracciato {
  std::vector<curva_bozza> curve;
  std::vector<punto> pianta;  // the plan as the compile traces it, points 0 to fine
  std::vector<double> lungo;  // for each plan point, metres along the track
  std::vector<tratto_stretto> stretti;
  int64_t fine = 0;  // the plan point at the end of the track
  // The first plan point at or past `metri` along the track.
  int64_t punto_a(double metri) const;
};

tracciato traccia(const bersaglio& b);

// The curvature a class bends by, positive to the left, as the reader takes it.
double curvatura_classe(int classe, bool sinistra);

}  // namespace bozza
