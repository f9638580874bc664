// The tool built without libosmium: the subcommand exists and says why it
// cannot run.
#include <cstdio>

#include "tool/bozza/bozza.h"

int comando_draft(const argomenti&) {
  std::fprintf(stderr,
               "scenario draft: non disponibile in questa build (mancavano libosmium, protozero "
               "o zlib quando è stata compilata)\n");
  return kUscitaFallita;
}

namespace bozza {

bool leggi_binari(const std::string&, binari_mappa&, std::string& errore) {
  errore = "--map non disponibile in questa build (mancavano libosmium, protozero o zlib)";
  return false;
}

std::vector<std::vector<double>> binari_nel_piano(const binari_mappa&, const posto_mappa&) {
  return {};
}

bool posto_da_sorgente(std::string_view, posto_mappa&) {
  return false;
}

}  // namespace bozza
