// Reading the three compiled files back into the records, for `dump` and
// `plot`. Every decoder checks that the bytes fit the layout exactly and says
// why when they do not; none trusts a length it has not checked.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "model/records.h"

enum class genere_file { nessuno, planimetria, tabella, percorso };

// Kind of compiled file by the end of its name: "_linea.dat" plan, ".sim"
// table, any other ".dat" track.
genere_file riconosci_file(const std::string& nome);

// Each returns false and sets `motivo` (Italian, for the author) when the bytes
// do not fit the layout.
bool decodifica_tabella(const std::string& b, tabella& t, std::string& motivo);
bool decodifica_percorso(const std::string& b, std::vector<cella_percorso>& celle,
                         std::string& motivo);
bool decodifica_planimetria(const std::string& b, planimetria_linea& p, std::string& motivo);

// A plan coordinate in its shortest text that reads back to the same double.
std::string numero_esatto(double v);

// The fields of a table entry and of a track cell, named, in file order.
struct campo_valore {
  const char* nome;
  int64_t valore;
};
std::vector<campo_valore> campi_voce(const voce_linea& v);
std::vector<campo_valore> campi_cella(const cella_percorso& c);

// The line drawn as one self-contained SVG document: the plan from above with
// stations, signals and boards, and the gradient and speed-limit profiles.
std::string disegna_linea(const tabella& t, const std::vector<cella_percorso>& celle,
                          const planimetria_linea& p);
