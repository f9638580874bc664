// What a draft takes from an OpenStreetMap file: the rail ways with what
// their tags say of speed, use, bridges and tunnels, and the nodes that
// matter on them (stops, signals, kilometre posts, level crossings). Read
// with libosmium; nothing of it shows outside this room.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "tool/bozza/geodesia.h"
#include "tool/comune/guasto.h"

namespace bozza {

struct nodo_osm {
  int64_t id = 0;
  int32_t lat7 = 0, lon7 = 0;  // 1e-7 degrees, as the file holds them
  coordinate dove() const { return {lat7 / 1e7, lon7 / 1e7}; }
};

enum class uso_via : uint8_t { principale, secondaria, altro, servizio, scambio };

struct via_osm {
  int64_t id = 0;
  std::vector<uint32_t> nodi;  // indices in mappa_osm::nodi
  uso_via uso = uso_via::altro;
  // km/h; 0 where the tag is missing or says no number.
  int velocita = 0, velocita_avanti = 0, velocita_indietro = 0;
  bool ponte = false, galleria = false;
  // railway:preferred_direction: 1 along the way, -1 against it, 0 none or both.
  int8_t senso_preferito = 0;
};

// What a stop node is: where a train stops on its track, a station's or a
// halt's node (on the track or beside it), or a platform.
enum class genere_fermata : uint8_t { posizione, stazione, fermata, banchina };

struct fermata_osm {
  uint32_t nodo = 0;
  std::string nome;       // UTF-8
  bool stazione = false;  // railway=station or halt: a place, maybe off the track
  genere_fermata genere = genere_fermata::posizione;
  // Said to be of buses, not trains (a bus stop or station, bus=yes without
  // train=yes or a railway tag): never a railway stop, whatever its name.
  bool stradale = false;
};

// A stop where trains stop: neither of buses nor a platform (which stands
// for the track beside it).
inline bool di_treni(const fermata_osm& f) {
  return !f.stradale && f.genere != genere_fermata::banchina;
}

// A platform drawn as a way: its nodes, to find the track beside it.
struct banchina_osm {
  int64_t id = 0;
  std::string nome;            // name, else ref; UTF-8
  std::vector<uint32_t> nodi;  // indices in mappa_osm::nodi (those the file has)
};

// A route relation of trains (route=train, railway or light_rail): its ref
// and name and the rail ways and stop nodes it lists.
struct linea_osm {
  int64_t id = 0;
  std::string ref, nome;          // UTF-8
  std::vector<uint32_t> vie;      // indices in mappa_osm::vie
  std::vector<uint32_t> fermate;  // indices in mappa_osm::nodi
};

struct segnale_osm {
  uint32_t nodo = 0;
  // railway:signal:direction: 1 for trains along the way, -1 against it, 2 both.
  int8_t senso = 0;
  bool principale = false;  // main or combined
  bool avviso = false;      // distant (only)
};

struct cippo_osm {
  uint32_t nodo = 0;
  int64_t metri = 0;  // railway:position (or :exact) in metres
  std::string testo;  // as tagged
};

struct mappa_osm {
  // Sorted by id: the nodes of the rail ways and the platforms, the routes'
  // node members and the stops; no other node of the file.
  std::vector<nodo_osm> nodi;
  std::vector<via_osm> vie;
  std::vector<fermata_osm> fermate;
  std::vector<segnale_osm> segnali;
  std::vector<cippo_osm> cippi;
  std::vector<uint32_t> passaggi_a_livello;
  std::vector<banchina_osm> banchine;
  std::vector<linea_osm> linee;
  // Index of a node id in `nodi`, or -1.
  int64_t indice(int64_t id) const;
};

// Reads a map from its bytes: PBF, or XML (plain, .gz or .bz2) where this
// build can. False with the reason in Italian otherwise.
bool leggi_mappa(std::string_view dati, mappa_osm& m, std::string& errore);

// Reads the map in a file of any size, in two passes (the ways and
// relations, then the nodes), keeping only what the draft uses: memory grows
// with the rail data, not with the file. Where standard error is a terminal
// it shows how far the read has gone. The reason in Italian, the file named.
esito<mappa_osm> mappa_da_file(const std::string& nome);
bool leggi_file_mappa(const std::string& nome, mappa_osm& m, std::string& errore);

// Whether this build reads XML maps.
bool mappa_xml_disponibile();

}  // namespace bozza
