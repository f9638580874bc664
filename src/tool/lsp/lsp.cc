#include "tool/comandi.h"

int comando_lsp(const argomenti&) {
  return kUscitaFallita;
}
