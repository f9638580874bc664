// The run a driver can keep: the train over the compiled line from a stand
// at one station to a stop at another, accelerating with the effort its
// locomotive has (adhesion at low speed, power above) against the running
// resistance and the gradients, braking for every lower limit ahead and for
// the stop, never above a limit while any part of the train is within it.
// The timetable's verdict, the page's run of the train and the draft's
// times all come from here.
#pragma once
#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "model/records.h"

namespace regole {

// What the sources do not say of a train: its traction and its resistance.
// The braked-mass percentage and the number of coaches come from the train
// source (entry 84); the rest from one of these named types.
struct tipo_treno {
  const char* nome;                             // as written after "tipo treno,"
  const char* descrizione;                      // Italian, for the reference and the report
  double massa_motrice;                         // t: the locomotive (or the power car)
  double massa_vettura;                         // t: each coach, loaded
  double lunghezza_motrice, lunghezza_vettura;  // m
  double potenza;                               // kW at the rim
  double sforzo_avviamento;                     // kN: what the adhesion allows from a stand
  double velocita_massima;                      // km/h: the train's own limit
  // Running resistance R = A·m + B·m·v + C·v² in newtons (m in tonnes, v in
  // km/h); C is the motrice's plus each coach's.
  double davis_a, davis_b, davis_c_motrice, davis_c_vettura;
  double masse_rotanti;  // the rotating masses' factor on the whole mass
  // Its class as the timetable sheet heads it ("R" regional).
  const char* classificazione;
};

// The types, the default first (the built-in train: a loco-hauled regional
// train of six double-deck coaches, 300 t without the locomotive, 140 km/h).
extern const std::array<tipo_treno, 4> kTipiTreno;
// The type of that name, or nullptr.
const tipo_treno* tipo_treno_di(std::string_view nome);

// A train source may name its type on a line before "[generale]", which the
// compile passes over: "tipo treno, intercity". The key, and what a source
// says: the type's name ("" when it names none) and its line (from 1).
constexpr const char* kChiaveTipoTreno = "tipo treno";
struct tipo_scritto {
  std::string nome;
  int riga = 0;
  std::string testo;  // the line as written
};
tipo_scritto tipo_da_sorgente(std::string_view treno);

// The train as the run needs it.
struct treno_marcia {
  const tipo_treno* tipo = &kTipiTreno[0];
  int vetture = 6;
  int percentuale_frenata = 110;  // braked mass, per cent
  double massa() const;           // t
  double lunghezza() const;       // m
};
// The train of a compiled table (entry 84) of the given type.
treno_marcia treno_della_tabella(const tabella& t, const tipo_treno& tipo);

// Service braking: the deceleration a driver brakes at, from the braked-mass
// percentage (m/s²): 0.5 m/s² per 100 per cent, from 0.2 to 0.8.
double decelerazione(int percentuale_frenata);

// The run from a stand at metre `da` to a stop at metre `a` (head of the
// train), integrated every `passo` metres.
struct corsa {
  double tempo = 0;  // seconds
  // One point per cell boundary between da and a (da and a included):
  // position, seconds since the start, speed in km/h.
  std::vector<int64_t> posizioni;
  std::vector<double> tempi, velocita;
};
// 5 m: the figure moves by a tenth of a second from 5 m to 25 cm, and a
// 1000 km line is run in a few milliseconds.
constexpr double kPassoCorsa = 5.0;
corsa corsa_treno(const std::vector<cella_percorso>& celle, int64_t da, int64_t a,
                  const treno_marcia& treno, double passo = kPassoCorsa);

}  // namespace regole
