// Dispatch of the authors' tool: each subcommand's name to the room that runs it.
#include <cstdio>

#include "platform/processo.h"
#include "tool/bozza/bozza.h"
#include "tool/comandi/comandi.h"
#include "tool/decompilazione/decompila.h"
#include "tool/disegno/plot.h"
#include "tool/generatori/genera.h"
#include "tool/pacchetto/pacchetto.h"
#include "tool/server/anteprima/anteprima.h"
#include "tool/server/lsp/lsp.h"
#include "tool/server/studio/studio.h"

namespace {

struct comando {
  const char* nome;
  int (*esegui)(const argomenti&);
};

const comando kComandi[] = {
    {"sources", comando_sources},     {"compile", comando_compile}, {"check", comando_check},
    {"dump", comando_dump},           {"plot", comando_plot},       {"generate", comando_generate},
    {"decompile", comando_decompile}, {"diff", comando_diff},       {"lsp", comando_lsp},
    {"preview", comando_preview},     {"voci", comando_voci},       {"draft", comando_draft},
    {"pack", comando_pack},           {"studio", comando_studio},
};

}  // namespace

int esegui_scenario(const argomenti& args) {
  if (args.empty()) {
    // Double-clicked, the program has no prompt to print its usage to.
    if (processo::console_propria()) return studio_dal_desktop();
    aiuto(stderr);
    return kUscitaUso;
  }
  const std::string& primo = args[0];
  if (primo == "--version" || primo == "-V") {
    std::printf("scenario %s\n", COMPATTATORE_VERSIONE);
    return kUscitaOk;
  }
  if (primo == "--help" || primo == "-h" || primo == "help") {
    aiuto(stdout);
    return kUscitaOk;
  }
  for (const auto& c : kComandi) {
    if (primo == c.nome) return c.esegui(argomenti(args.begin() + 1, args.end()));
  }
  std::fprintf(stderr, "scenario: sottocomando sconosciuto '%s'\n\n", primo.c_str());
  aiuto(stderr);
  return kUscitaUso;
}
