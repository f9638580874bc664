// The records where two compiled scenarios differ, decoded as `dump` decodes
// them: what the decompile's check compile and `diff` report when bytes differ.
#pragma once
#include <cstddef>
#include <string>
#include <vector>

#include "tool/compilati/compilati.h"

struct differenza {
  std::string file;      // which compiled file
  std::string dove;      // "voce 12 campo orario", "cella 230 campo tipo", "punto 551 x"
  std::string atteso;    // in the first scenario
  std::string ottenuto;  // in the second
};

// The first `massimo` differences between two scenarios, in file order.
std::vector<differenza> confronta_compilati(const scenario_compilato& a,
                                            const scenario_compilato& b, size_t massimo);
