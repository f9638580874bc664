// A long plan file failing partway: a file-size limit in a child process.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/file.h"
#include "scenario_minimo.h"
#include "tool/genera.h"

TEST(FileCompilati, LongPlanFailingMidwayKeepsTheOldFile) {
  scenario_minimo s;
  pianta_lunga(s.f.planimetria);
  scrivi_tutto(s.piano(), "vecchio");
  // In a child, with writes past 4 MB refused: the second column fails.
  pid_t pid = ::fork();
  if (pid == 0) {
    ::signal(SIGXFSZ, SIG_IGN);
    rlimit r{4 << 20, 4 << 20};
    ::setrlimit(RLIMIT_FSIZE, &r);
    try {
      s.f.scrivi_file_compilati();
    } catch (const file::errore_scrittura& e) {
      ::_exit(std::string(e.what()).find("Linea_linea.dat") != std::string::npos ? 3 : 4);
    }
    ::_exit(5);
  }
  ASSERT_GT(pid, 0);
  int stato = 0;
  ASSERT_EQ(::waitpid(pid, &stato, 0), pid);
  ASSERT_TRUE(WIFEXITED(stato));
  EXPECT_EQ(WEXITSTATUS(stato), 3);
  EXPECT_EQ(leggi_tutto(s.piano()), "vecchio");
  EXPECT_EQ(file::elenco(s.dir.percorso), std::vector<std::string>{"Linea_linea.dat"});
}

// The same with the plan written while a long line is read: the write fails
// on the writer's thread and is reported where the files are written.
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
  pid_t pid = ::fork();
  if (pid == 0) {
    ::signal(SIGXFSZ, SIG_IGN);
    rlimit r{1 << 20, 1 << 20};  // of a plan file of 2.8 MB
    ::setrlimit(RLIMIT_FSIZE, &r);
    try {
      int32_t j = 1;
      f.memorizza_percorso(j);
    } catch (const file::errore_scrittura& e) {
      ::_exit(std::string(e.what()).find("L_linea.dat") != std::string::npos ? 3 : 4);
    }
    ::_exit(5);
  }
  ASSERT_GT(pid, 0);
  int stato = 0;
  ASSERT_EQ(::waitpid(pid, &stato, 0), pid);
  ASSERT_TRUE(WIFEXITED(stato));
  EXPECT_EQ(WEXITSTATUS(stato), 3);
  EXPECT_TRUE(leggi_tutto(t / "L_linea.dat") == "vecchio");
  for (const std::string& nome : file::elenco(t.percorso))
    EXPECT_TRUE(nome == "L_linea.dat" || nome == "L_3-.txt") << nome;
}
