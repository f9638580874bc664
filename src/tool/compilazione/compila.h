// The compile of an author's scenario: the two sources read once into memory
// and compiled there, so nothing is written beside them; the compiled files
// go to a folder, stay in memory, or are compared with bytes given.
#pragma once
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "compiler/stato_lettura.h"
#include "model/marcia.h"
#include "model/records.h"
#include "tool/compilazione/codifica.h"

// The largest source the tool reads, from the disk or from an editor: a
// 1000 km line is some 2 MB, and nothing past this is read at all.
constexpr uint64_t kSorgenteMassimo = uint64_t{64} << 20;

// Where the compiled files go.
enum class uscita_compilati {
  cartella,  // to the output folder (scenario compile)
  memoria,   // kept in esito_compilazione::compilati (plot)
  nessuna,   // nowhere (check)
  confronto  // compared with opzioni_compilazione::attesi (the decompile's check)
};

struct opzioni_compilazione {
  std::string cartella_sorgenti;
  std::string linea;            // route name
  std::string treno;            // train number
  std::string cartella_uscita;  // empty: SRCDIR
  bool planimetria = true;
  uscita_compilati uscita = uscita_compilati::cartella;
  bool avvisi = false;  // look for what the compile accepts silently (scenario check)
  bool utf8 = false;    // the sources are UTF-8, made Windows-1252 before the compile
  bool voci = false;    // keep the entries read (esito_compilazione::voci)
  // The sources' texts when they are in memory already; otherwise they are
  // read from SRCDIR (a missing one stays missing).
  const std::string* testo_linea = nullptr;
  const std::string* testo_treno = nullptr;
  // For uscita_compilati::confronto: the bytes each compiled file must have,
  // by its name (ROUTE_linea.dat...).
  std::map<std::string, std::string_view> attesi;
};

// How a compiled file compared with the bytes it had to have.
struct confronto_compilato {
  bool scritto = false;  // the compile wrote it
  bool uguale = false;
  uint64_t primo_diverso = 0;
};

struct esito_compilazione {
  int32_t codice_errore = 0;
  int32_t posizione_errore = 0;
  int32_t codice_fatale = 0;                             // 1250 or 1251: nothing written
  std::string errore_io;                                 // a file that could not be read or written
  std::vector<std::string> files;                        // compiled files written, by name
  std::map<std::string, std::string> compilati;          // uscita_compilati::memoria
  std::map<std::string, confronto_compilato> confronti;  // uscita_compilati::confronto
  // Files below are named as in SRCDIR.
  posizione_sorgente sorgente;  // where the reader stopped
  origine_codice origine;       // where a code the read went on past was stored
  std::string motivo;           // why the read failed (code 25)
  posizione_sorgente voce;      // the key of the entry the read stopped in
  // A code for a taken cell: what holds it and where its entry stands (no
  // file: an object no entry placed).
  uint8_t tipo_occupante = 0;
  posizione_sorgente occupante;
  // A source that is missing: the files beside it that may be it misspelt.
  std::map<std::string, std::vector<std::string>> nomi_vicini;
  std::string file_linea;        // the line description
  std::vector<avviso> avvisi;    // with opzioni_compilazione::avvisi
  std::vector<voce_letta> voci;  // with opzioni_compilazione::voci
  tabella tabella_linea{};       // with opzioni_compilazione::voci: the table as the read left it
  regole::treno_marcia treno;    // the train the timetable is judged for
  // With opzioni_compilazione::utf8, a source that is not UTF-8 or holds a
  // character Windows-1252 lacks: nothing compiled, nothing written.
  std::optional<errore_codifica> codifica;
  int stato() const;  // exit status
};

esito_compilazione compila_scenario(const opzioni_compilazione& o);
