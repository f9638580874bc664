#include "platform/processo.h"

#include <signal.h>
#include <unistd.h>

#include <cerrno>

#include "platform/posix/interruzione.h"

namespace processo {

std::vector<std::string> argomenti(int argc, char** argv) {
  return std::vector<std::string>(argv + 1, argv + argc);
}

void prepara() {
  interruzione::installa();
}

unsigned long numero() {
  static const auto n = static_cast<unsigned long>(::getpid());
  return n;
}

bool in_vita(unsigned long n) {
  const auto pid = static_cast<pid_t>(n);
  if (pid <= 0 || static_cast<unsigned long>(pid) != n) return false;
  // Another user's process is there too, though no signal may reach it.
  return ::kill(pid, 0) == 0 || errno == EPERM;
}

bool errore_a_terminale() {
  return ::isatty(STDERR_FILENO) == 1;
}

bool console_propria() {
  return false;
}

bool apri_nel_browser(const std::string&) {
  return false;
}

}  // namespace processo
