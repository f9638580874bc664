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
     "      {\"codice_errore\":N,\"posizione_errore\":M,\"files\":[...]}, with \"file\",\n"
     "      \"riga\", \"colonna\" and \"messaggio\" where a code is pending.",
     comando_compile},
    {"check", "check SRCDIR ROUTE TRAIN [--json]",
     "compiles as compile does, keeping nothing, and reports the pending code and warnings\n"
     "      (FILE:LINE: avviso: ...) for what the compile accepts silently: fields that are no\n"
     "      key, values that wrap or are rounded, entries out of position order, markers\n"
     "      overwritten.\n"
     "      Exit status 0 with warnings only. --json prints one line with \"avvisi\":[...].",
     comando_check},
    {"dump", "dump FILE [--all] [--json]",
     "prints a compiled file readably: ROUTE_TRAIN.sim (line table by entry, empty entries\n"
     "      folded), ROUTE_TRAIN.dat (track cells with an object, a marker or a span, and a\n"
     "      profile summary) or ROUTE_linea.dat (plan: counts, bounding box, every 500th point).\n"
     "      --all lists every entry, cell or point; --json prints the same as JSON.",
     comando_dump},
    {"plot", "plot (SRCDIR | --from-compiled DIR) ROUTE TRAIN -o FILE.svg",
     "draws the line as one self-contained SVG: the plan from above with stations, signals\n"
     "      and boards, and under it the gradient and speed-limit profiles against distance.\n"
     "      Compiles SRCDIR in a private temporary folder (nothing is written beside the\n"
     "      sources), or reads the three compiled files in DIR with --from-compiled.",
     comando_plot},
    {"generate", "generate DIR ROUTE TRAIN --km N [--seed S]",
     "writes DIR/ROUTE_linea.txt and DIR/ROUTE_TRAIN-.txt: a synthetic line of N km (1 to 1000)\n"
     "      with curves, gradients, spans, boards, named signs, signals, slowdowns, stations,\n"
     "      speed and adhesion points, that compiles without an error code. The same seed\n"
     "      (default 1) gives the same files.",
     comando_generate},
    {"decompile", "decompile DIR ROUTE TRAIN [--out SRCDIR] [--force] [--json]", "decompile",
     comando_decompile},
    {"diff", "diff DIR_A DIR_B ROUTE TRAIN [--json]", "diff", comando_diff},
};

void aiuto(FILE* out) {
  std::fprintf(out, "usage: scenario SUBCOMMAND ARGS...\n\nSubcommands:\n");
  for (const auto& c : kComandi)
    std::fprintf(out, "  scenario %s\n      %s\n", c.sintassi, c.descrizione);
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
