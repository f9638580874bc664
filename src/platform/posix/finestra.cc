#include "platform/finestra.h"

#include <cstdio>
#include <utility>

#include "platform/posix/finestra_x11.h"

namespace {
constexpr char titolo[] = "Form1";
}

// The console copy comes first, so the text is out even if the display is slow.
void finestra::mostra(const std::string& etichetta) {
  std::fputs(etichetta.c_str(), stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
  finestra_x11::mostra(n, titolo, etichetta);
}

void finestra::messaggio(const std::string& testo) {
  std::fputs(testo.c_str(), stderr);
  std::fputc('\n', stderr);
  std::fflush(stderr);
  finestra_x11::messaggio(n, testo);
}

void finestra::guasto(const std::string& testo) {
  std::fputs(testo.c_str(), stderr);
  std::fputc('\n', stderr);
  std::fflush(stderr);
}

void finestra::chiudi() {
  finestra_x11::chiudi(n);
}
