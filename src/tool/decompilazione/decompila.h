// Sources back from the compiled files: the line and train descriptions that
// compile to the very same bytes, and the comparison of two compiled scenarios.
#pragma once
#include <cstdint>
#include <limits>
#include <string>
#include <utility>
#include <vector>

#include "model/impaginazione.h"
#include "model/records.h"
#include "platform/file.h"
#include "tool/compilati/compilati.h"
#include "tool/comune/argomenti.h"
#include "tool/decompilazione/confronto.h"

// One entry of a decompiled source, for `diff`.
struct voce_sorgente {
  std::string genere;  // what it is: "segnale", "stazione", "velocita", "lunghezza percorso"...
  int64_t posizione = kSenzaPosizione;  // metres along the line, where it has one
  std::string testo;                    // the line as written (single-byte)
  std::string campi;                    // key and values without the alignment
  int riga = 0;                         // its line in the file, from 1
};

struct sorgente_decompilata {
  std::string dati;  // CR LF lines, single-byte text
  std::vector<voce_sorgente> voci;
};

struct decompilazione {
  sorgente_decompilata linea, treno;
  // What the compiled files hold that no source line gives (Italian, UTF-8).
  std::vector<std::string> inesprimibili;
  // What a source might give but the decompile did not find one for.
  std::vector<std::string> non_ricostruite;
  // Where a read stopped before the end of its file, as the bytes show it.
  std::vector<std::string> tracce;
};

decompilazione decompila(const scenario_compilato& s);

struct opzioni_decompilazione {
  std::string cartella;  // DIR, where the compiled files are
  std::string linea, treno;
  std::string uscita;  // SRCDIR; empty: DIR
  bool forza = false;  // replace sources that exist
  bool utf8 = false;   // write the sources as UTF-8
};

struct esito_decompilazione {
  std::vector<std::string> files;  // the sources written
  bool identico = false;           // the check compile gave the same bytes
  std::vector<differenza> differenze;
  std::vector<std::string> inesprimibili;
  std::vector<std::string> non_ricostruite;
  std::vector<std::string> tracce;
  // The code the check compile left (fatal: it wrote nothing), 0 for none.
  int32_t codice_controllo = 0;
  int32_t posizione_controllo = 0;
  bool controllo_fatale = false;
};

// Reads, decompiles, writes the two sources through the disk given and
// compiles them again in memory to compare the bytes. Prints nothing; an
// unreadable or inconsistent input, a source in the way or a failed write
// throws file::errore_io.
esito_decompilazione decompila_cartella(const opzioni_decompilazione& o,
                                        file::disco& disco = file::disco_reale());

// `scenario decompile` and `scenario diff`.
int comando_decompile(const argomenti& a);
int comando_diff(const argomenti& a);
