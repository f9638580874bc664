// Dispatch of the authors' tool: subcommand table, help and usage errors.
#include <cstdio>
#include <cstring>

#include "tool/comandi.h"

namespace {

const sottocomando kComandi[] = {
    {"sources", "sources DIR",
     "writes the five text files of the built-in scenario into DIR (created if missing);\n"
     "      compiles nothing. Start a scenario of your own from them.",
     comando_sources},
    {"compile", "compile SRCDIR ROUTE TRAIN [--out DIR] [--no-plan] [--json]",
     "compiles SRCDIR/ROUTE_linea.txt and SRCDIR/ROUTE_TRAIN-.txt. The sources are copied to a\n"
     "      private temporary folder first, so they are never changed or deleted. The compiled\n"
     "      files ROUTE_linea.dat (not with --no-plan), ROUTE_TRAIN.sim and ROUTE_TRAIN.dat go\n"
     "      to DIR (default SRCDIR). --json prints one line:\n"
     "      {\"codice_errore\":N,\"posizione_errore\":M,\"files\":[...]}.",
     comando_compile},
};

void aiuto(FILE* out) {
  std::fprintf(out, "usage: scenario SUBCOMMAND ARGS...\n\nSubcommands:\n");
  for (const auto& c : kComandi) std::fprintf(out, "  scenario %s\n      %s\n", c.sintassi, c.descrizione);
  std::fprintf(out,
               "\nExit status: 0 success; 1 the compile left an error code; 2 \" Errore n. 1250\"\n"
               "or \" Errore n. 1251\" (nothing written), an unreadable file or an I/O failure;\n"
               "64 a usage error.\n");
}

}  // namespace

int errore_uso(const char* nome, const std::string& motivo) {
  std::fprintf(stderr, "scenario: %s\n", motivo.c_str());
  for (const auto& c : kComandi)
    if (std::strcmp(c.nome, nome) == 0) std::fprintf(stderr, "usage: scenario %s\n", c.sintassi);
  std::fprintf(stderr, "Try 'scenario --help'.\n");
  return kUscitaUso;
}

int esegui_scenario(const argomenti& args) {
  if (args.empty()) {
    aiuto(stderr);
    return kUscitaUso;
  }
  const std::string& primo = args[0];
  if (primo == "--help" || primo == "-h" || primo == "help") {
    aiuto(stdout);
    return kUscitaOk;
  }
  for (const auto& c : kComandi) {
    if (primo == c.nome) return c.esegui(argomenti(args.begin() + 1, args.end()));
  }
  std::fprintf(stderr, "scenario: unknown subcommand '%s'\n\n", primo.c_str());
  aiuto(stderr);
  return kUscitaUso;
}
