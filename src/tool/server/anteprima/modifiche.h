// The page's edits of the sources: an intent the page sends (move an entry,
// set a station's time, delete an entry, add a board or a sign) turned into
// the lines of one source it replaces. The page names an entry by its file,
// its line and that line's text, on the version of the document it shows:
// an intent on anything else changes nothing. Each touched line keeps its
// layout (a number written in place keeps its right edge); a new line is
// aligned with its section as the formatter aligns it; entries the readers
// want in order of position stay in order. Plain functions, for the servers
// and for their tests.
#pragma once
#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "compiler/stato_lettura.h"
#include "model/regole.h"
#include "tool/compilazione/compila.h"

// The sources as the page was shown them: the document's version, each
// source's name as the document gives it, its text as the compile read it
// (Windows-1252; unread: not given) and the entries read.
struct sorgenti_mostrate {
  int64_t versione = 0;
  std::array<std::string, 2> file;  // line, train
  std::array<std::string, 2> testo;
  std::array<bool, 2> letto{};
  std::vector<voce_letta> voci;
};

// pacchetto: the scenario's six files for the simulator (scenario pack), no edit.
enum class genere_intento { sposta, orario, elimina, aggiungi, annulla, pacchetto };

struct intento {
  genere_intento genere = genere_intento::sposta;
  int64_t versione = 0;
  // The entry: its source, its line (from 1) and that line's text (UTF-8).
  std::string file;
  int64_t riga = 0;
  std::string testo;
  int64_t posizione = 0;  // sposta, aggiungi
  int64_t ora = 0;        // orario: seconds after midnight
  // aggiungi: "indicatore" with its three speeds, or "cartello" with its text.
  std::string oggetto;
  std::array<int64_t, 3> velocita{};
  std::string scritta;
};

// A refusal: the HTTP status and why, in Italian.
struct rifiuto {
  int stato = 400;
  std::string perche;
};

// The intent in a JSON body; false with the reason for anything else.
bool leggi_intento(std::string_view corpo, intento& i, rifiuto& r);

// Lines [da, a) of a text (from 0, as the protocol counts them: LF, CR LF and
// a lone CR end a line) replaced by `righe`.
struct righe_nuove {
  size_t da = 0, a = 0;
  std::vector<std::string> righe;  // Windows-1252, without line breaks
};

struct modifica {
  int file = 0;                    // 0 the line source, 1 the train's
  std::vector<righe_nuove> righe;  // in order, apart from each other
  std::string descrizione;         // for the page (UTF-8)
};

// The edit an intent makes of the sources shown; false with the refusal.
bool prepara_modifica(const intento& i, const sorgenti_mostrate& s, modifica& m, rifiuto& r);

// The edit judged by a compile, in memory, of the sources it leaves (`o` as
// the preview compiles them): refused, naming what holds the cell and where,
// when that compile ends with a code the shown sources' (`codice`) did not.
// Nothing is written either way.
bool compila_modifica(const modifica& m, const sorgenti_mostrate& s, int32_t codice,
                      opzioni_compilazione o, rifiuto& r);

// The lines of a text with their breaks: [inizio, fine) of each line's
// bytes and where its break ends.
struct riga_testo {
  size_t inizio = 0, fine = 0, dopo = 0;
};
std::vector<riga_testo> righe_di(std::string_view testo);

// The text with the lines replaced, each new line converted by `converti`
// (identity when empty) and ended as the text ends its lines (CR LF when it
// has none). For Windows-1252 text and for UTF-8 of the same lines alike.
using conversione = std::function<std::string(std::string_view)>;
std::string applica_righe(std::string_view testo, const std::vector<righe_nuove>& righe,
                          const conversione& converti = {});

// What one replacement writes in place of the bytes of its lines, as
// applica_righe writes it (the protocol's edits take it as they are).
std::string testo_sostituito(std::string_view testo, const std::vector<riga_testo>& righe,
                             const righe_nuove& m, const conversione& converti);

// The answer to the page's question while it drags an entry of kind `genere`
// (as the page names it) to metre `posizione`: the position it would be
// written at, the cell it lands in, the positions that land there too and
// the kilometre by the line's reference points, as JSON; false for a kind
// the page does not mark.
bool posto_json(std::string_view genere, int64_t posizione,
                const std::vector<regole::tratto_km>& tratti, std::string& json);
