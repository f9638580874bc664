// A synthetic scenario of any line length, for load tests and benchmarks.
#pragma once
#include <cstdint>
#include <string>

#include "model/formato.h"
#include "tool/comune/argomenti.h"

struct opzioni_generazione {
  int km = 100;       // line length in km, 1 to 1000
  uint64_t seme = 1;  // same seed, same files
  // Named signs wanted. Signs and stations share table entries 1 to 80, and
  // the station count stops two short of the limit, so the stations get at
  // most 78 minus the signs.
  int cartelli = 4;
};

struct scenario_generato {
  std::string linea;  // line description, CR LF lines
  std::string treno;  // train description, CR LF lines
  // What went in, for the summary and the tests.
  int curve = 0;
  int pendenze = 0;
  int montagne = 0;
  int indicatori = 0;
  int cartelli = 0;
  int segnali = 0;
  int stazioni = 0;
  int rallentamenti = 0;
  int abbattimenti = 0;
  int velocita = 0;
  int aderenze = 0;
};

constexpr int kKmMassimi = 1000;
using formato::kStazioniPiuCartelli;

// Builds a line and a train description that compile without any error code.
scenario_generato genera_scenario(const opzioni_generazione& o);
// Sources drawn from the whole range the readers accept, of any length the
// seed picks: most compile with code 0, some end with a late code or a read
// that stops.
scenario_generato genera_selvaggio(uint64_t seme);

// `scenario generate`.
int comando_generate(const argomenti& a);
