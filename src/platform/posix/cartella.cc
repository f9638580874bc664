#include "platform/cartella.h"

#include <unistd.h>

#include <climits>

std::string cartella_programma() {
  char buf[PATH_MAX];
  ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
  if (n <= 0) return ".";
  std::string percorso(buf, static_cast<size_t>(n));
  auto barra = percorso.rfind('/');
  if (barra == std::string::npos) return ".";
  if (barra == 0) return "/";
  return percorso.substr(0, barra);
}
