// The plan file written on two threads, failing partway: a file-size limit in
// a child process.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/file.h"
#include "scenario_minimo.h"

TEST(FileCompilati, LongPlanFailingMidwayKeepsTheOldFile) {
  scenario_minimo s;
  pianta_lunga(s.f.planimetria);
  scrivi_tutto(s.piano(), "vecchio");
  // In a child, with writes past 4 MB refused: the second column fails
  // while the first is written.
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
