// The stops an author names and the way between them on the rail graph.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "tool/bozza/mappa.h"

namespace bozza {

// A name as names are compared: lower case, without accents, blanks made one.
std::string nome_confrontabile(const std::string& utf8);

// The map's railway stops (neither of buses nor platforms), in the map's
// order: what `draft --stops` lists and the names a name is matched against.
std::vector<const fermata_osm*> fermate_ferroviarie(const mappa_osm& m);

// A node of the draft's own at c, past every id of the file (so the nodes
// stay sorted by id); UINT32_MAX where none can be made.
uint32_t nodo_aggiunto(mappa_osm& m, coordinate c);

// A railway stop as `draft --stops` lists it: the lines of trains through it
// (their ref, else their name) and, near a place, how far from it.
struct fermata_elencata {
  const fermata_osm* f = nullptr;
  std::vector<std::string> linee;
  double distanza = -1;  // metres; -1 without a place
};
// The stops listed near a place, the nearest first.
constexpr size_t kFermateVicine = 10;
// Every railway stop by name; with `vicino_a` a name of one, the ones
// nearest its place. False with the reason in Italian where that name means no place.
bool elenca_fermate(mappa_osm& m, const std::string& vicino_a, std::vector<fermata_elencata>& r,
                    std::string& errore);

// The stops of one name at one place: where on the rails a train may stop
// there. A stop on the rails stands for itself; a station or a halt beside
// them (or its platform) for the nearest point of each track beside it,
// made a node of its way, a little dearer for the route to start or end at.
struct luogo {
  std::string nome;               // as the map writes it
  std::vector<uint32_t> nodi;     // sorted
  std::vector<uint32_t> accanto;  // those of nodi that are points beside a station; sorted
  uint32_t nodo = 0;              // the map's node that names it
};

// The place a name means. False with the reason in Italian: no stop of that
// name (the nearest names listed), several names or several places. The
// points beside a station are added to the map's nodes and ways.
bool trova_luogo(mappa_osm& m, const std::string& nome, luogo& l, std::string& errore);

// The route: its nodes in order and, for each step from one node to the
// next, the way it runs on and whether along the way's own direction.
struct percorso {
  std::vector<uint32_t> nodi;
  std::vector<uint32_t> vie;  // one fewer than the nodes
  std::vector<bool> avanti;
  std::vector<size_t> tappe;  // the index in nodi where each place is met
};

// The cheapest path from a stop of the first place through a stop of each
// place in turn to a stop of the last, never turning back at a switch: main
// and branch lines before others, service tracks and crossovers only where
// there is no other way, the preferred track of a double line before the other.
// Past the last place the route runs on along the rails for `oltre` metres,
// or to their end (a node made where it stops within a step).
bool cerca_percorso(mappa_osm& m, const std::vector<luogo>& tappe, double oltre, percorso& p,
                    std::string& errore);

// The length of the route along the map's track up to its last place, and
// that of the straight lines between its consecutive places.
double lunghezza_percorso(const mappa_osm& m, const percorso& p);
double distanza_diretta(const mappa_osm& m, const percorso& p);

}  // namespace bozza
