#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <stdexcept>

#include "aiuti.h"

cartella_temporanea::cartella_temporanea() {
  std::string modello = (std::filesystem::temp_directory_path() / "compattatore-XXXXXX").string();
  if (!mkdtemp(modello.data())) throw std::runtime_error("mkdtemp");
  percorso = modello;
}

cartella_temporanea::~cartella_temporanea() {
  std::error_code ec;
  std::filesystem::permissions(percorso, std::filesystem::perms::owner_all,
                               std::filesystem::perm_options::add, ec);
  std::filesystem::remove_all(percorso, ec);
}

bool esiste_file(const std::string& nome) {
  struct stat st;
  return ::stat(nome.c_str(), &st) == 0;
}

const std::string kCompattatore = "compattatore";

std::string programma(const char* bin) {
  return bin;
}

int esegui(const std::string& comando, std::string* uscita) {
  FILE* p = popen(comando.c_str(), "r");
  if (!p) return -1;
  std::string testo;
  char buf[4096];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, p)) > 0) testo.append(buf, n);
  int stato = pclose(p);
  if (uscita) *uscita = testo;
  return WIFEXITED(stato) ? WEXITSTATUS(stato) : 128 + WTERMSIG(stato);
}

namespace {
// The tests never show a real window: a message box would wait for its OK.
// The window tests start their own X server and hand its DISPLAY to the
// programs they run.
const bool kSenzaSchermo = (unsetenv("DISPLAY"), true);
}  // namespace

unsigned long numero_finito() {
  const pid_t pid = ::fork();
  if (pid == 0) ::_exit(0);
  if (pid < 0) return 0;
  ::waitpid(pid, nullptr, 0);
  return static_cast<unsigned long>(pid);
}
