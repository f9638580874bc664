// The work of one decompile, shared by its steps: what the compiled cells and
// table say, what explains each cell, and the source entries found so far.
//
// Every compiled file that some source gives has a source that gives it; the
// steps look for one. What they cannot explain is noted as inexpressible only
// where no reader can store it; a read that stopped early is not a fault of
// the files but a trace, written back as a source that stops at the same place.
#pragma once
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "model/impaginazione.h"
#include "tool/decompilazione/decompila.h"

riga_sorgente voce(std::string chiave, std::vector<std::string> valori,
                   int64_t posizione = kSenzaPosizione, std::string genere = "");
std::string n(int64_t v);

// How far the line read got.
enum class lettura_linea : uint8_t {
  intera,         // to the end of the file (or a code 15), then the train
  ferma_testata,  // stopped in the header: nothing sorted, no plan, no train
  ferma_corpo,    // stopped in the body: no run-outs, no train
};

// What a station's stop cell replaced, as far as the cell's leftover values
// (all but the first) tell.
enum class sotto_fermata : uint8_t {
  niente,
  cartello,       // a named sign: nothing of it is left
  indicatori,     // a speed board: its second to fourth values
  segnale,        // a signal: its values but the first, and its time
  rallentamento,  // one cell of a slowdown
};

// A speed-reduction point, a slowdown, a signal or a station: an entry of the
// train description that takes cells and may have to be read before another.
struct oggetto_treno {
  riga_sorgente riga;
  int stazione = 0;  // its table entry, for a station
  int prima_di = 0;  // a station whose stop cell replaces one of its cells
  // Approach markers it writes: cell, and for a signal the step k (its value
  // is decided by the order); for a station the value itself.
  std::vector<std::pair<size_t, uint8_t>> marcatori;
  int64_t cella = -1;  // a signal's own cell
  int classe = 0;      // a signal: 0 or 2, the base of its markers mod 4
  int base = -1;       // a signal: the base chosen for its markers (B + k)
};

struct analisi {
  analisi(const scenario_compilato& c, decompilazione& d);

  const scenario_compilato& s;
  std::vector<cella_percorso> celle;          // cell 1 without its stamps
  int ultima;                                 // last cell
  std::vector<std::string>& note;             // inexpressible
  std::vector<std::string>& non_ricostruite;  // what a source might give, not found
  std::vector<std::string>& tracce;           // where a read stopped

  lettura_linea linea = lettura_linea::intera;
  int64_t punto_fermo = 0;  // body stop with a plan: the first point never traced
  // The entry that ends a line read that stopped in its body: a curve that
  // carries the plan to point 1000000, or a value that cannot be read.
  std::vector<riga_sorgente> arresto_linea;

  // The table.
  int stazioni = 0;           // station records in entries 1 to `stazioni`
  int cartelli = 0;           // named signs, entries 80 downward
  int stazione_finale = 0;    // a station that ended the train read (its entry), 0 if none
  int32_t codice_finale = 0;  // the code it ended with

  // The cells.
  std::vector<uint8_t> spiegata;  // the cell's object comes from an entry
  std::vector<sotto_fermata> sotto;
  // Stop cells: the last station that wrote the cell, and the first (which
  // replaced what stood there), 0 for none.
  std::vector<int> fermata, fermata_prima;
  std::vector<int64_t> cella_cartello;  // entry 0 to 80: the cell of its sign, -1 for none
  // Line objects that a stop cell replaced: their cells.
  std::vector<size_t> indicatori_nascosti, cartelli_nascosti;

  // The stations (entry e at e - 1), then the train's objects in the order
  // they must be read, stations among them.
  std::vector<oggetto_treno> stazioni_trovate;
  std::vector<oggetto_treno> oggetti;
  std::vector<oggetto_treno> rallentamenti, abbattimenti;

  // The train read ended at a station without its run-outs.
  bool treno_senza_coda() const { return stazione_finale != 0 && codice_finale != 15; }
  void nota(std::string x) { note.push_back(std::move(x)); }
  void limite(std::string x) { non_ricostruite.push_back(std::move(x)); }
  bool dentro(int64_t c) const { return c >= 0 && c <= ultima; }
  const cella_percorso& cella(int64_t c) const { return celle[static_cast<size_t>(c)]; }
};

// The steps, in the order decompila() runs them.
void analizza_lettura_linea(analisi& a);
void analizza_stazioni(analisi& a);
void analizza_cartelli(analisi& a);
void analizza_oggetti_treno(analisi& a);
void scrivi_linea(analisi& a, std::vector<sezione_sorgente>& sezioni);
void scrivi_treno(analisi& a, std::vector<sezione_sorgente>& sezioni);

// The spans of the line: entries whose kinds and markers give the cells'.
void montagne(analisi& a, sezione_sorgente& s);
// Which points of 180 km/h the finishing walk put where, so that the source
// keeps only its own; true for each cell that is the walk's.
std::vector<bool> punti_del_cammino(analisi& a);

// A profile of one stored value per cell as points of a source: `valore` is
// the stored cell value, the caller turns it into the source's. With
// `con_coda` the read's run-out follows the last point; without, the points
// themselves leave the index where the stored cells end.
struct punto_profilo {
  int64_t posizione;
  int valore;
};
std::vector<punto_profilo> punti_profilo(const std::vector<int>& celle, int ultima, bool con_coda);

// v = q * base + r with r from 0 to base - 1: a packed pair of digits.
std::pair<int64_t, int64_t> cifre(int64_t v, int64_t base);
// Whether an entry of the table holds nothing at all.
bool voce_libera(const voce_linea& v);
bool numeri_zero(const voce_linea& v);
