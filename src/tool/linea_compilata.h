// What the drawings take from a compiled line: its stations, its slowdowns,
// its length and the profiles' values, read once from the records for the
// SVG of `plot` and for the preview page alike.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "model/records.h"

struct stazione_linea {
  int voce;          // its entry in the table
  std::string nome;  // UTF-8
  int32_t posizione, inizio, fine;
  int32_t orario;  // seconds after midnight; 0: none (a junction)
};

struct rallentamento_linea {
  int32_t da, a;  // metres
  int velocita;   // km/h
};

// The stations in table order, up to the first wholly empty entry.
std::vector<stazione_linea> stazioni_linea(const tabella& t);
// The slowdowns as the cells hold them: from each start cell to the next end cell.
std::vector<rallentamento_linea> rallentamenti_linea(const std::vector<cella_percorso>& c);
// The line's length from the table, or the cells' extent when it holds none.
int32_t lunghezza_linea(const tabella& t, const std::vector<cella_percorso>& c);

// A cell's gradient in per mille and its speed limit in km/h (0: no limit).
inline int pendenza_cella(const cella_percorso& c) {
  return c.pendenza - 100;
}
inline int velocita_cella(const cella_percorso& c) {
  return c.velocita_limite * 5;
}
