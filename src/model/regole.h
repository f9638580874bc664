// The rules about a scenario that the tools above the compiler ask: the
// kilometre at a position, the stations and slowdowns of a compiled line,
// the run a train can keep and the timetable's verdict, times written as an author
// reads them, the names of files and cells. Each is written here once: the
// hover, the page, the SVG, dump, diff and check all call it, so they cannot
// disagree.
#pragma once
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "model/formato.h"
#include "model/marcia.h"
#include "model/numeri.h"
#include "model/records.h"

namespace regole {

// --- Names ---

// A route or train name must be a plain file-name part.
bool nome_valido(std::string_view nome);

// What a source's file name says of its scenario: ROUTE from ROUTE_linea.txt,
// ROUTE and TRAIN from ROUTE_TRAIN-.txt (ROUTE may hold "_": the last one
// parts them). Nothing for another name.
struct nomi_scenario {
  std::string linea, treno;  // treno empty for a line source
  bool sorgente_linea = false;
};
std::optional<nomi_scenario> nomi_da_file(std::string_view nome_file);

// Whether a file `trovato` beside a missing source `atteso` may be that
// source misspelt: the same name in other letter case, without or with a
// "-", "_" or blank, or with other extensions (not a compiled file's .dat or
// .sim).
bool nome_vicino(std::string_view atteso, std::string_view trovato);

// A character a text value of a source can carry (a station's name, a sign's
// text): any but a control. CR and LF end the entry, a tab at an end is
// dropped by the reader, and the other C0 controls, DEL and the C1 ones
// (where Windows-1252's five unassigned bytes are read) are nothing the
// simulator shows, and would reach a terminal as they are.
bool carattere_da_sorgente(char32_t c);

// --- Codes ---

// The code a compile leaves: the fatal one when it is set (nothing was
// written), else the pending one.
constexpr int32_t codice_rimasto(int32_t fatale, int32_t pendente) {
  return fatale != 0 ? fatale : pendente;
}

// --- Times ---

constexpr int64_t kGiorno = 86400;
constexpr int64_t secondi_del_giorno(int64_t ore, int64_t minuti, int64_t secondi) {
  return ore * 3600 + minuti * 60 + secondi;
}
// "14:05:09" for seconds after midnight (any day).
std::string ora_testo(int64_t secondi);
// "8 min 4 s", "45 s" for a length of time.
std::string durata_testo(int64_t secondi);
// A time as the driver's timetable sheet writes it: "14.44", with "+" for
// half a minute or more past it ("14.44+").
std::string ora_scheda(int64_t secondi);

// --- Kilometres ---

// The line's chainage, as the driver reads it off the posts, from the three
// reference points of the compiled table (entries 81 to 83). The simulator
// knows only those records, already sorted and corrected by the compile: each
// is a point like the others whatever its correction flag, and a point the
// compile zeroed reads as chainage 0 at metre 0. So the chainage at a position
// counts on from the last point at or before it; before the first point it
// counts back from that one.
struct tratto_km {
  int64_t da = 0;           // from this position on, up to the next stretch
  int64_t progressiva = 0;  // the chainage at `da`
};
std::vector<tratto_km> tratti_km(const tabella& t);
int64_t progressiva(const std::vector<tratto_km>& tratti, int64_t posizione);
// "km 14+000", "km -1+850"; without "km " for a sign's text.
std::string testo_km(int64_t progressiva);
std::string testo_progressiva(int64_t progressiva);
// The same as the timetable sheet's column writes it: "14.000", "-1.850".
std::string km_scheda(int64_t progressiva);

// --- The compiled line ---

// Stations: kinds from 25 on are junctions and halts, with no stop cell;
// kinds 5 and 6 have one but no approach markers.
bool con_fermata(int32_t tipo);
bool con_marcatori(int32_t tipo);
// Kinds 5 to 8 have a zone of their own shape and no extension at its end.
bool zona_propria(int32_t tipo);

// A station's zone, from its position and length, as the compile makes it:
// kinds 5 and 6 from the length before the position to 150 m past it, kinds
// 7 and 8 the length on either side, the rest half the length on either
// side (halves to the even metre), 100 m longer at the end with the extension.
struct zona_stazione {
  int64_t inizio = 0, fine = 0;
};
zona_stazione zona_della_stazione(int32_t tipo, int64_t posizione, int64_t lunghezza,
                                  bool prolunga_fine);
// Whether a zone starting at `inizio` keeps its distance from the one before
// ending at `fine_prima` (code 22 otherwise).
bool zone_distanti(int64_t fine_prima, int64_t inizio);
// The stop cell of a zone ending at `fine`: the cell before the end. Nothing
// when the zone ends within the first two cells (code 16).
std::optional<int64_t> cella_fermata(int64_t fine);
// The cell of approach marker k (1 to formato::kMarcatori, 1 nearest the
// stop); nothing when it would fall on the first two cells.
std::optional<int64_t> cella_marcatore(int64_t fine, int k);
struct stazione_linea {
  int voce;          // its entry in the table
  std::string nome;  // UTF-8
  int32_t tipo, posizione, inizio, fine;
  int32_t orario;  // seconds after midnight; 0: none (a junction)
};
// The stations in table order, up to the first wholly empty entry.
std::vector<stazione_linea> stazioni_linea(const tabella& t);

struct rallentamento_linea {
  int32_t da, a;  // metres
  int velocita;   // km/h
};
// The slowdowns as the cells hold them: from each start cell to the next end cell.
std::vector<rallentamento_linea> rallentamenti_linea(const std::vector<cella_percorso>& c);
// The line's length from the table, or the cells' extent when it holds none.
int32_t lunghezza_linea(const tabella& t, const std::vector<cella_percorso>& c);

// --- Speeds and gradients as the cells keep them ---

// A cell keeps its limit in steps of 5 km/h, in 8 bits; a speed board packs
// its two speeds as s * 20 + d / 5 in 16 bits.
constexpr int64_t kPassoVelocita = 5;
constexpr int64_t kVelocitaLimiteMassima = 255 * kPassoVelocita;                            // 1275
constexpr int64_t kVelocitaCartelloMassima = 32767 / 20 / kPassoVelocita * kPassoVelocita;  // 1635
// The steps a limit written in km/h is kept as: rounded to the nearest,
// halves to the even neighbour.
int64_t passi_velocita(int64_t kmh);
// The km/h a number of steps means.
constexpr int64_t velocita_dei_passi(int64_t passi) {
  return passi * kPassoVelocita;
}
// A limit a map gives, as a draft writes it: the step at or below it (never
// faster than the map says), at least one step.
int64_t velocita_per_difetto(int64_t kmh);

// A cell keeps gradient + 100 in 8 bits: -100 to 155 per mille kept as written.
constexpr int64_t kPendenzaMinima = -100, kPendenzaMassima = 155;
constexpr int64_t pendenza_del_campo(int64_t campo) {
  return campo + kPendenzaMinima;
}
// The gradient a written one becomes in the cell (wrapped in 8 bits).
int64_t pendenza_memorizzata(int64_t per_mille);

// A cell's gradient in per mille and its speed limit in km/h (0: no limit).
inline int pendenza_cella(const cella_percorso& c) {
  return static_cast<int>(pendenza_del_campo(c.pendenza));
}
inline int velocita_cella(const cella_percorso& c) {
  return static_cast<int>(velocita_dei_passi(c.velocita_limite));
}
// The name of a cell's object kind ("segnale", "fermata"...).
const char* nome_tipo_cella(uint8_t tipo);
// What a cell's kind holds, for a person ("un segnale", "la fermata di una stazione").
std::string oggetto_cella(uint8_t tipo);

// --- Cells of the entries ---

// The cell an entry's position lands in, as its reader takes it: objects that
// stand on a track cell (a signal, a slowdown's start, end and warning point,
// a speed board, a named sign) take the cell after the one of their position;
// the rest (profile points, spans, speed-reduction points, stations' positions)
// the cell of the position itself. Both are the position over 50 rounded to
// the nearest, halves to the even neighbour. `genere` is the key's kind
// (formato::chiave_sorgente::genere).
bool nella_cella_dopo(std::string_view genere);
constexpr int64_t cella_della_posizione(int64_t posizione, bool cella_dopo) {
  return arrotonda(posizione + (cella_dopo ? formato::kMetriCella : 0), formato::kMetriCella);
}
// The cells a stretch from `inizio` to `fine` covers (a mountain span): from
// its start's cell to the cell before its end's; none when da > a.
struct celle_tratto {
  int64_t da = 0, a = 0;
};
constexpr celle_tratto celle_del_tratto(int64_t inizio, int64_t fine) {
  return {cella_della_posizione(inizio, false),
          cella_della_posizione(fine - formato::kMetriCella, false)};
}
// The positions an entry may be written at to land in cell c, both included.
struct posizioni_cella {
  int64_t da = 0, a = 0;
};
posizioni_cella posizioni_della_cella(int64_t cella, bool cella_dopo);
// The position nearest p an entry of this kind may be written at: a station's
// is a multiple of 50 (code 8 otherwise), the one of its cell; any other
// entry's is p itself.
int64_t posizione_ammessa(std::string_view genere, int64_t p);

// Whether a speed board's speed on its first side (the second's empty) is
// one the compile packs and means: a multiple of 5 whose s * 20 + d / 5
// fits 16 bits, so 0 to 1635 km/h.
bool velocita_cartello_esatta(int64_t v);

// --- Stations' zones and markers ---

// The cells of a station's markers 81 to 84 (k = 1 to 4, before its stop
// cell), cella_marcatore's for each; -1 where the marker is not written.
std::array<int64_t, 4> celle_marcatori_stazione(int64_t fine);
// The cells of a signal's four markers (k = 1 to 4, every second cell back
// from its own), -1 where the marker falls before cell 0.
std::array<int64_t, 4> celle_marcatori_segnale(int64_t cella);
// Whether a station keeps its opzione_2: a zone of 600 m or more, and not the first station.
bool opzione_2_tenuta(int64_t lunghezza, bool prima);

// --- Order of the entries ---

// Whether the readers want the entries of this kind in order of position:
// the profiles' points and the curves (check warns of one behind the one
// before it) and the stations (a zone behind the one before it is code 22).
bool in_ordine_di_posizione(std::string_view genere);

// --- The timetable ---

// The limits' bound: seconds from metre `da` to metre `a` at every cell's
// limit, as if the train were at it from the start (marcia.h has the run a
// driver can keep). Over every cell,
// its length between them over its limit. A cell without a limit adds
// nothing, so the run is a lower bound.
double corsa_minima(const std::vector<cella_percorso>& celle, int64_t da, int64_t a);

enum class giudizio : uint8_t { in_orario, troppo_stretto, all_indietro };

// The stations with a time in order of position, and their times counting on
// past midnight: a time more than half a day before the one before it is
// taken for the next day.
struct fermata {
  size_t stazione = 0;  // index in stazioni_linea
  int64_t ora = 0;
};
std::vector<fermata> fermate(const std::vector<stazione_linea>& stazioni);

// The run between two stations with a time that follow each other in order
// of position, and the timetable's verdict on it: a time shorter than the
// run the train can keep (marcia.h) is too tight.
struct marcia {
  size_t da = 0, a = 0;           // indices in stazioni_linea
  int64_t ora_da = 0, ora_a = 0;  // as fermate() counts them
  double minima = 0;              // seconds of the limits' bound (corsa_minima)
  double tempo = 0;               // seconds of the run the train can keep
  // The run, one point per cell boundary: position, time since `ora_da`,
  // speed in km/h.
  std::vector<int64_t> posizioni;
  std::vector<double> tempi, velocita;
  giudizio esito = giudizio::in_orario;
};
std::vector<marcia> marce(const std::vector<stazione_linea>& stazioni,
                          const std::vector<cella_percorso>& celle, const treno_marcia& treno);
// The verdict in words, for the later station ("" when in time).
std::string testo_giudizio(const marcia& m, const std::vector<stazione_linea>& stazioni);

// --- Pseudo-random numbers ---

// splitmix64: the same sequence on every platform and library, so one seed
// gives the same scenario everywhere.
struct caso {
  uint64_t s;
  uint64_t prossimo() {
    uint64_t z = (s += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  // An integer from a to b, both included (a when b is below it).
  int64_t tra(int64_t a, int64_t b) {
    if (b <= a) return a;
    return a + static_cast<int64_t>(prossimo() % static_cast<uint64_t>(b - a + 1));
  }
  bool su(int percento) { return tra(0, 99) < percento; }
};

}  // namespace regole
