// `scenario studio`: the author's workbench in the browser, on 127.0.0.1:
// the scenarios of a folder with their check's verdict, and the
// subcommands' actions run on them from the page.
#pragma once
#include <cstdint>
#include <string>

#include "tool/comune/argomenti.h"

int comando_studio(const argomenti& a);

// Serves the studio of `cartella` until interrupted; `indirizzo` is called
// once with the page's address, as soon as it is served.
int esegui_studio(const std::string& cartella, uint16_t porta,
                  void (*indirizzo)(const std::string&));

// The program started from the desktop with nothing to do: the studio of
// its own folder, opened in the default browser.
int studio_dal_desktop();
