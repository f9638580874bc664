// The stops an author names and the way between them on the rail graph.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "tool/bozza/mappa.h"

namespace bozza {

// A name as names are compared: lower case, without accents, blanks made one.
std::string nome_confrontabile(const std::string& utf8);

// The stops of one name at one place: their nodes on the rails.
struct luogo {
  std::string nome;            // as the map writes it
  std::vector<uint32_t> nodi;  // sorted
};

// The place a name means. False with the reason in Italian: no stop of that
// name (the nearest names listed), several names or several places.
bool trova_luogo(const mappa_osm& m, const std::string& nome, luogo& l, std::string& errore);

// The route: its nodes in order and, for each step from one node to the
// next, the way it runs on and whether along the way's own direction.
struct percorso {
  std::vector<uint32_t> nodi;
  std::vector<uint32_t> vie;  // one fewer than the nodes
  std::vector<bool> avanti;
};

// The cheapest path from a stop of the first place through a stop of each
// place in turn to a stop of the last, never turning back at a switch: main
// and branch lines before others, service tracks and crossovers only where
// there is no other way, the preferred track of a double line before the other.
bool cerca_percorso(const mappa_osm& m, const std::vector<luogo>& tappe, percorso& p,
                    std::string& errore);

}  // namespace bozza
