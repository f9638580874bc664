#include "platform/finestra.h"

#include <cstdio>

// Console stand-in: the label goes to standard output, the message box to
// standard error.
void finestra::mostra(const std::string& etichetta) {
  std::fputs(etichetta.c_str(), stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

void finestra::messaggio(const std::string& testo) {
  std::fputs(testo.c_str(), stderr);
  std::fputc('\n', stderr);
  std::fflush(stderr);
}

void finestra::chiudi() {}
