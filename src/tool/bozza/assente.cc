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
