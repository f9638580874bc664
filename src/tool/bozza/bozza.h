// `scenario draft`: a line and a train drafted from an OpenStreetMap file
// and SRTM tiles, with a report of how far the compiled plan lies from the
// map's track. Built only where libosmium is; elsewhere the subcommand says
// why it is missing.
#pragma once
#include <string>
#include <string_view>
#include <vector>

#include "tool/bozza/geodesia.h"
#include "tool/comune/argomenti.h"

int comando_draft(const argomenti& a);

namespace bozza {

// The line source of a draft names, before "[generale]" (which the reader
// passes over), where its plan lies on the map: the latitude and longitude
// of plan point 0 and the bearing of the plan's +y axis, degrees clockwise
// from north (+x to its right).
constexpr const char* kChiaveOrigine = "origine mappa";
constexpr const char* kChiaveRotta = "rotta mappa";

struct posto_mappa {
  double lat = 0, lon = 0, rotta = 0;
};
// Reads those two lines from a line source; false when it has not both.
bool posto_da_sorgente(std::string_view linea, posto_mappa& p);

// The rail ways of a map, to be drawn under a plan (`preview --map`).
struct binari_mappa {
  std::vector<std::vector<coordinate>> vie;
};
// False with the reason in Italian (also where this build has no libosmium).
bool leggi_binari(const std::string& file, binari_mappa& b, std::string& errore);
// The ways on the plane of a plan placed at p: x, y pairs in metres.
std::vector<std::vector<double>> binari_nel_piano(const binari_mappa& b, const posto_mappa& p);

}  // namespace bozza
