// The compile of an author's scenario in a private temporary folder.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "compiler/stato_lettura.h"

struct opzioni_compilazione {
  std::string cartella_sorgenti;
  std::string linea;            // route name
  std::string treno;            // train number
  std::string cartella_uscita;  // empty: SRCDIR
  bool planimetria = true;
  bool conserva = true;  // false: compile in a private temporary folder and keep nothing
  bool avvisi = false;   // look for what the compile accepts silently (scenario check)
};

struct esito_compilazione {
  int32_t codice_errore = 0;
  int32_t posizione_errore = 0;
  int32_t codice_fatale = 0;       // 1250 or 1251: nothing written
  std::string errore_io;           // a file that could not be read or written
  std::vector<std::string> files;  // compiled files kept, by name
  // Files below are named as in SRCDIR.
  posizione_sorgente sorgente;  // where the reader stopped
  origine_codice origine;       // where a code the read went on past was stored
  std::string motivo;           // why the read failed (code 25)
  std::string file_linea;       // the line description
  std::vector<avviso> avvisi;   // with opzioni_compilazione::avvisi
  int stato() const;            // exit status
};

// Copies the two sources into a temporary folder, compiles them there and
// moves the compiled files into the output folder. The author's files are
// never changed.
esito_compilazione compila_scenario(const opzioni_compilazione& o);
