// The draft between the map and the sources: the route placed on the plan,
// and every entry the two sources will hold, with the warnings met on the way.
// Positions are metres of the plan (the compile's points), which run a little
// shorter than the track: a curved step is a little longer than a metre.
#pragma once
#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "tool/bozza/altimetria.h"
#include "tool/bozza/mappa.h"
#include "tool/bozza/percorso.h"
#include "tool/bozza/tracciato.h"

struct scenario_compilato;

namespace bozza {

struct avviso_bozza {
  std::string testo;    // UTF-8
  std::string oggetto;  // "via 123", "nodo 456", or ""
  int64_t posizione = -1;
};

struct stazione_bozza {
  std::string nome;  // UTF-8, as the map has it
  int64_t posizione = 0, lunghezza = 0;
  int tipo = 0;
  int64_t orario = 0;  // seconds after midnight; 0 where the train does not stop
  uint32_t nodo = 0;
  bool principale = false;  // a station of several stops
  int sosta = -1;           // seconds; -1: the draft's --dwell
};

// A stop of the timetable's trip where the route meets it: the feed's call
// and the station of the draft it became (-1 while none).
struct fermata_orario {
  std::string nome;                    // the feed's
  int64_t arrivo = -1, partenza = -1;  // as passaggio_feed
  int64_t stazione = -1;               // index in bozza_linea::stazioni
};

// A leg of the trip: scheduled from departure to arrival against the run
// the rulebook gives on the drafted line.
struct tratta_orario {
  size_t da = 0, a = 0;  // indices in bozza_linea::stazioni
  int64_t prevista = 0;
  double marcia = 0;
  std::string lento;  // where it is slower than the timetable: the stretch; "" when kept
};
struct segnale_bozza {
  int64_t posizione = 0;
  bool principale = true;
  uint32_t nodo = 0;
};
struct cartello_bozza {
  int64_t posizione = 0;
  std::string testo;
  uint32_t nodo = 0;
};
struct punto_profilo {
  int64_t posizione = 0;
  int valore = 0;  // per mille, or km/h
};
struct riferimento_km {
  int64_t posizione = 0, progressiva = 0;
};
struct cippo_bozza {
  int64_t id = 0;         // the node's
  int64_t posizione = 0;  // on the plan
  int64_t metri = 0;      // its own kilometre, in metres
  std::string testo;
  bool fuori_posto = false;  // its value does not follow its neighbours'
};

// What the draft was asked for, beyond the map and the names.
struct scelte_bozza {
  int velocita_predefinita = 100;  // km/h, for ways without maxspeed
  int sosta = 30;                  // seconds at every station between the ends
  int margine = 10;                // per cent on the train's run
  int64_t partenza = 8 * 3600;     // seconds after midnight
};

// The route against the straight lines between its places.
struct deviazione_percorso {
  double lunghezza = 0, diretta = 0;  // metres, up to the last place
  bool presente = false;              // longer than the draft takes for a route
};

struct bozza_linea {
  // The route on the map.
  percorso strada;
  std::vector<luogo> tappe;
  std::vector<double> lungo_nodi;     // each route node's length along the track
  std::vector<coordinate> dove_nodi;  // and where it is on the map
  // The plan.
  piano pn;
  tracciato t;
  bersaglio guida;
  int64_t lunghezza = 0;
  // The entries.
  std::vector<punto_profilo> pendenze, velocita, cartelli_velocita;
  std::vector<stazione_bozza> stazioni;
  std::vector<segnale_bozza> segnali;
  std::vector<cartello_bozza> cartelli;
  std::array<riferimento_km, 3> km{};
  std::vector<cippo_bozza> cippi;
  bool km_all_indietro = false;
  std::vector<avviso_bozza> avvisi;
  deviazione_percorso deviazione;
  // A draft from a timetable: the trip's stops, one per place, its legs,
  // and the feed's credit.
  std::vector<fermata_orario> orario;
  std::vector<tratta_orario> tratte;
  std::string credito_orario;
  // The track cells that hold an object already, and what.
  std::map<int64_t, std::string> celle;
  // What the gradients were drawn from: the tile's height every 10 m of the
  // plan (NaN where none) and whether that metre is on a bridge or in a tunnel.
  std::vector<double> quote;
  std::vector<bool> sospese;
  int64_t quota_iniziale = 0;  // millimetres, where the gradients start from
};

// A stretch the plan cannot follow: the track bends tighter than the
// sharpest class, and the plan rejoins it some metres on.
struct tratto_nominato {
  int64_t da = 0, a = 0;     // plan positions
  double raggio = 0;         // the track's tightest radius there
  std::vector<int64_t> vie;  // the ways it lies on (ids)
};

// How the compiled draft meets the map, measured on the compiled files.
struct misure {
  double scarto_massimo = 0, scarto_medio = 0;  // from the map's track, outside the stretches
  int64_t dove_massimo = 0;
  double scarto_nodi = 0;  // the farthest map node from the plan
  int64_t nodo_lontano = 0;
  double scarto_corde = 0;  // from the ways' straight chords
  std::vector<tratto_nominato> stretti;
  // Each post: the kilometre the compiled line shows at it.
  std::vector<int64_t> km_cippi;
  int64_t cippo_peggiore = -1;  // its index, -1 for none
  int pendenza_massima = 0;
  double scarto_quote = 0;  // heights the gradients give against the tile's
  int64_t dove_quote = 0;
  size_t avvisi_check = 0;               // what `check` would still say
  std::vector<std::string> testi_check;  // its words, each
  size_t avvisi_marcatori = 0;           // of which markers overwritten (signals close together)
};

// The route's nodes on the plan, the plan fitted to them.
void disegna_pianta(const mappa_osm& m, bozza_linea& b);
// Where a route node stands on the plan.
int64_t posizione_nodo(const bozza_linea& b, size_t k);
// The km text of a warning at a plan position ("12350 m").
std::string dove(int64_t posizione);

void disegna_pendenze(const mappa_osm& m, const std::vector<tessera>& dem, bozza_linea& b);
void disegna_velocita(const mappa_osm& m, const scelte_bozza& s, bozza_linea& b);
// Stations at their stops on the route, every zone and stop cell on the
// line: the terminus at its stop with the zone the rails past it leave room for.
void disegna_stazioni(const mappa_osm& m, bozza_linea& b);
// How far past the terminus' stop the route runs on for its longest zone.
double oltre_arrivo();
// A route much longer than the straight lines between its places (--via out
// of order?): the warning, first of all, or nothing.
void avvisa_deviazione(const mappa_osm& m, bozza_linea& b);
void disegna_segnali(const mappa_osm& m, bozza_linea& b);
void disegna_chilometri(const mappa_osm& m, bozza_linea& b);
// Level crossings as named signs, as many as the table has room for.
void disegna_passaggi(const mappa_osm& m, bozza_linea& b);

// Puts an object at a free cell: its own (the cell of position p), or one
// up to two cells on, then back, with a warning; false (and a warning) when
// none is free. `cosa` names it in the warnings.
bool posa(bozza_linea& b, int64_t& p, const std::string& cosa, const std::string& oggetto);

// The chainage the compiled reference points give at a position.
int64_t progressiva_bozza(const bozza_linea& b, int64_t posizione);

}  // namespace bozza

namespace bozza {

struct opzioni_bozza {
  std::string mappa;
  std::vector<std::string> dem;
  std::string da, a;
  std::vector<std::string> via;
  std::string gtfs, corsa;             // a feed and its trip, in place of the route's places
  std::string cartella, linea, treno;  // where the sources go, and their names
  scelte_bozza scelte;
};

struct esito_bozza {
  std::string errore;        // Italian; not empty: nothing to write
  std::string linea, treno;  // the two sources, Windows-1252
  bozza_linea b;
  misure f;
};

// The whole draft, in memory: nothing is written.
esito_bozza disegna_bozza(const opzioni_bozza& o);

// The figures of the compiled draft, read back once by the caller.
void misura(const mappa_osm& m, const bozza_linea& b, const scenario_compilato& s, misure& f);

}  // namespace bozza
