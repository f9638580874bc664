// The built-in side documents' lines: what the writers write, and the layout
// the authors' tool fills for a scenario of its own.
#pragma once
#include <cstddef>
#include <span>

namespace documenti {

std::span<const char* const> note();
std::span<const char* const> rallentamenti();
std::span<const char* const> scheda();

// The sheet by line (from 0): the head box with the train, the route and the
// train's figures; the timetable's header down to its rule; its rows; the
// closing rule and an empty line.
constexpr size_t kRigaTreno = 4;   // train number, origin, top speed
constexpr size_t kRigaArrivo = 5;  // destination, braked mass
constexpr size_t kRigaClasse = 9;  // class and mass
constexpr size_t kPrimaRigaOrario = 16;
constexpr size_t kRigheOrario = 18;

}  // namespace documenti
