// The tool built without its servers' libraries: the subcommands exist and
// say why they cannot run.
#include <cstdio>

#include "tool/comune/argomenti.h"
#include "tool/server/anteprima/anteprima.h"
#include "tool/server/lsp/lsp.h"
#include "tool/server/studio/studio.h"

namespace {

int assente(const char* nome) {
  std::fprintf(stderr,
               "scenario %s: non disponibile in questa build (mancavano nlohmann/json e "
               "Boost.Beast quando è stata compilata)\n",
               nome);
  return kUscitaFallita;
}

}  // namespace

int comando_lsp(const argomenti&) {
  return assente("lsp");
}
int comando_preview(const argomenti&) {
  return assente("preview");
}
int comando_studio(const argomenti&) {
  return assente("studio");
}
int studio_dal_desktop() {
  return assente("studio");
}
