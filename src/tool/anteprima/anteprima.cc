#include "tool/comandi.h"

int comando_preview(const argomenti&) {
  return kUscitaFallita;
}
