// `scenario pack`: what the simulator reads for one scenario, the three
// compiled files and the driver's three documents, named as the compactor
// names them, into a folder (all six or none) or one .zip written whole.
#pragma once
#include <string>
#include <vector>

#include "model/marcia.h"
#include "model/records.h"
#include "tool/compilazione/compila.h"
#include "tool/comune/argomenti.h"
#include "tool/comune/guasto.h"

int comando_pack(const argomenti& a);

namespace pacchetto {

struct file_pacchetto {
  std::string nome;  // ROUTE_linea.dat ... ROUTE_TRAIN_scheda_treno.txt
  std::string dati;
  bool dai_sorgenti = false;  // a document SRCDIR holds, taken as it is
};

struct richiesta {
  std::string cartella_sorgenti, linea, treno;
  bool utf8 = false;  // the sources are UTF-8 (their heads' credits too)
};

// The six files in the compactor's order: plan, table, track, notes,
// slowdowns, sheet. A compile that leaves a code, or cannot read, gives a
// failure (genere_guasto::codice with the code, io...) and `e` says where.
esito<std::vector<file_pacchetto>> componi(const richiesta& r, esito_compilazione& e);

// What the documents a scenario lacks are made of: its compiled records and
// the credits its sources carry.
struct scenario {
  std::string linea, treno;
  tabella t{};
  std::vector<cella_percorso> celle;
  regole::treno_marcia marcia;
  std::vector<std::string> crediti;  // UTF-8, one line each
};
// The lines of each document (UTF-8), as a writer's table holds them.
std::vector<std::string> righe_note(const scenario& s);
std::vector<std::string> righe_rallentamenti(const scenario& s);
std::vector<std::string> righe_scheda(const scenario& s);
// The lines before "[generale]" of a source (Windows-1252 or UTF-8) that
// are no entry the tool reads there: the credits an author or the draft
// put there, as UTF-8.
std::vector<std::string> crediti_sorgente(const std::string& testo, bool utf8);

// A .zip of the files, stored whole (no compression), every date the same.
std::string zip(const std::vector<file_pacchetto>& files);

// Written through the disk's replacements: into `cartella` (created when
// missing) all six or none; or the .zip at `nome`, whole.
riuscita scrivi_cartella(const std::string& cartella, const std::vector<file_pacchetto>& files);
riuscita scrivi_zip(const std::string& nome, const std::vector<file_pacchetto>& files);

}  // namespace pacchetto
