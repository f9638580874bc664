#include "platform/canale.h"

#include <unistd.h>

#include <cerrno>
#include <csignal>

namespace canale {

void prepara() {
  std::signal(SIGPIPE, SIG_IGN);
}

long leggi(char* dove, size_t n) {
  for (;;) {
    const ssize_t r = ::read(0, dove, n);
    if (r >= 0) return static_cast<long>(r);
    if (errno != EINTR) return -1;
  }
}

bool scrivi(std::string_view dati) {
  while (!dati.empty()) {
    const ssize_t w = ::write(1, dati.data(), dati.size());
    if (w < 0 && errno == EINTR) continue;
    if (w <= 0) return false;
    dati.remove_prefix(static_cast<size_t>(w));
  }
  return true;
}

}  // namespace canale
