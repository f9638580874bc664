// A long plan file failing partway: a file-size limit in a child process.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/file.h"
#include "scenario_minimo.h"
#include "tool/generatori/genera.h"

namespace {

// Runs `scrivi` in a child whose writes past `limite` bytes are refused.
// The child's status: 3 when a write failed naming `nome`, 4 when it named
// another file, 5 when nothing failed.
template <typename F>
int stato_con_limite(rlim_t limite, const std::string& nome, F scrivi) {
  pid_t pid = ::fork();
  if (pid == 0) {
    ::signal(SIGXFSZ, SIG_IGN);
    rlimit r{limite, limite};
    ::setrlimit(RLIMIT_FSIZE, &r);
    try {
      scrivi();
    } catch (const file::errore_io& e) {
      ::_exit(std::string(e.what()).find(nome) != std::string::npos ? 3 : 4);
    }
    ::_exit(5);
  }
  if (pid < 0) return -1;
  int stato = 0;
  if (::waitpid(pid, &stato, 0) != pid || !WIFEXITED(stato)) return -1;
  return WEXITSTATUS(stato);
}

}  // namespace

TEST(FileCompilati, LongPlanFailingMidwayKeepsTheOldFile) {
  scenario_minimo s;
  pianta_lunga(s.f.planimetria);
  scrivi_tutto(s.piano(), "vecchio");
  // Writes past 4 MB refused: the second column fails.
  EXPECT_EQ(stato_con_limite(4 << 20, "Linea_linea.dat", [&] { s.f.scrivi_file_compilati(); }), 3);
  EXPECT_EQ(leggi_tutto(s.piano()), "vecchio");
  EXPECT_EQ(file::elenco(s.dir.percorso), std::vector<std::string>{"Linea_linea.dat"});
}

// The same with the plan written while a long line is read: the write fails
// during the read and is reported where the files are written.
TEST(FileCompilati, StreamedPlanFailingMidwayKeepsTheOldFile) {
  cartella_temporanea t;
  Form1 f;
  f.cartella = t.percorso;
  f.nome_linea = "L";
  f.numero_treno = "3";
  const scenario_generato g = genera_scenario({140, 5, 4});
  scrivi_tutto(f.file_linea(), g.linea);
  scrivi_tutto(f.file_treno(), g.treno);
  scrivi_tutto(t / "L_linea.dat", "vecchio");
  // Writes past 1 MB refused, of a plan file of 2.8 MB.
  EXPECT_EQ(stato_con_limite(1 << 20, "L_linea.dat",
                             [&] {
                               int32_t j = 1;
                               f.memorizza_percorso(j);
                             }),
            3);
  EXPECT_TRUE(leggi_tutto(t / "L_linea.dat") == "vecchio");
  for (const std::string& nome : file::elenco(t.percorso))
    EXPECT_TRUE(nome == "L_linea.dat" || nome == "L_3-.txt") << nome;
}
