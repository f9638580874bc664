// The preview page's document: one compile of a scenario as the JSON the page
// draws (the profiles per cell, the plan, the entries with their source
// lines, the warnings), or the pending code with its line when the compile
// left one.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "tool/compilazione/compila.h"

// The kind the page calls an entry of this key's kind ("indicatore" for
// "indicatori_vmax"); nullptr for the kinds it does not mark.
const char* genere_pagina(std::string_view genere_voce);

// The options of the compile the document needs: in memory, with the plan,
// the warnings and the entries read.
opzioni_compilazione compilazione_anteprima(const std::string& cartella, const std::string& linea,
                                            const std::string& treno);
// Lines drawn under the plan, in its frame: the rails of the map a line was
// drafted from, each a run of x, y pairs in metres.
using linee_sotto = std::vector<std::vector<double>>;

// The document of compile `e` (its compiled files are moved out of it), with
// the lines given that come near the plan.
std::string documento_anteprima(esito_compilazione& e, const std::string& linea,
                                const std::string& treno, int64_t versione,
                                const linee_sotto* sotto = nullptr);
// The page with a document built in, for a browser without a server.
std::string pagina_con_dati(const std::string& documento);
