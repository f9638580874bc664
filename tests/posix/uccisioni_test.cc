// Runs killed outright (SIGKILL: nothing of the program runs any more) at
// random moments: the folder holds nothing that was not there before but
// whole files of the run, on the test folder's file system and on tmpfs. A
// file killed between getting its temporary name and its rename is whole
// under that name, and the next run that gets that far removes it.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/statfs.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <map>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "aiuti.h"
#include "platform/avanzi.h"

namespace fs = std::filesystem;
using std::chrono::microseconds;
using std::chrono::steady_clock;

namespace {

constexpr int kUccisioni = 100;
constexpr unsigned long kExt4 = 0xEF53, kTmpfs = 0x01021994;

unsigned long tipo_fs(const std::string& cartella) {
  struct statfs s {};
  return ::statfs(cartella.c_str(), &s) == 0 ? static_cast<unsigned long>(s.f_type) : 0;
}

pid_t avvia(const std::vector<std::string>& argomenti) {
  std::vector<char*> argv;
  for (const auto& a : argomenti) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  const pid_t pid = ::fork();
  if (pid == 0) {
    const int nulla = ::open("/dev/null", O_WRONLY);
    ::dup2(nulla, 1);
    ::dup2(nulla, 2);
    ::execv(argv[0], argv.data());
    ::_exit(127);
  }
  return pid;
}

int attendi(pid_t pid) {
  int w = 0;
  ::waitpid(pid, &w, 0);
  return WIFEXITED(w) ? WEXITSTATUS(w) : 128 + WTERMSIG(w);
}

std::map<std::string, std::string> contenuto(const std::string& cartella) {
  std::map<std::string, std::string> m;
  for (const auto& n : file::elenco(cartella)) m[n] = leggi_tutto(file::percorso(cartella, n));
  return m;
}

// A program run again and again in one folder, killed each time after a
// random while up to a little more than a whole run takes.
struct bersaglio {
  std::string cartella;
  std::vector<std::string> argomenti;
  std::map<std::string, std::string> prima;  // the folder before each run
  std::map<std::string, std::string> anche;  // whole files a run writes and deletes
  std::map<std::string, std::string> fatti;  // what a whole run leaves

  void uccidi_spesso(std::mt19937& caso) {
    const auto inizio = steady_clock::now();
    ASSERT_EQ(attendi(avvia(argomenti)), 0);
    const auto durata = std::chrono::duration_cast<microseconds>(steady_clock::now() - inizio);
    fatti = contenuto(cartella);
    std::uniform_int_distribution<long> quando(0, durata.count() * 6 / 5);
    // There the files have no name until they are whole.
    const bool senza_nomi = tipo_fs(cartella) == kExt4 || tipo_fs(cartella) == kTmpfs;
    int avanzi_visti = 0;
    for (int k = 0; k < kUccisioni; ++k) {
      SCOPED_TRACE(testing::Message() << "kill " << k);
      rimetti();
      const pid_t pid = avvia(argomenti);
      std::this_thread::sleep_for(microseconds(quando(caso)));
      ::kill(pid, SIGKILL);
      attendi(pid);
      for (const auto& [nome, dati] : contenuto(cartella)) {
        unsigned long proprietario;
        const bool avanzo =
            avanzi::proprietario(nome, nome.substr(0, nome.find(".tmp-")), proprietario);
        const std::string vero = avanzo ? nome.substr(0, nome.find(".tmp-")) : nome;
        const bool com_era = !avanzo && prima.count(nome) && prima.at(nome) == dati;
        const bool intero = (fatti.count(vero) && fatti.at(vero) == dati) ||
                            (anche.count(vero) && anche.at(vero) == dati);
        avanzi_visti += avanzo;
        // A named temporary file of a file system without unnamed ones may
        // be cut short; the next run removes it all the same.
        if (avanzo && !senza_nomi) continue;
        EXPECT_TRUE(com_era || intero) << nome << (avanzo ? " (a temporary file)" : "");
      }
    }
    // A whole run after them all removes what they left.
    ASSERT_EQ(attendi(avvia(argomenti)), 0);
    EXPECT_EQ(contenuto(cartella), fatti);
    testing::Test::RecordProperty("avanzi_visti", avanzi_visti);
  }

  // The folder as it was before the first run, but for the temporary files
  // the runs killed left: the next runs are to remove those.
  void rimetti() {
    for (const auto& n : file::elenco(cartella)) {
      unsigned long p;
      if (!prima.count(n) && !avanzi::proprietario(n, n.substr(0, n.find(".tmp-")), p))
        fs::remove(file::percorso(cartella, n));
    }
    for (const auto& [n, dati] : prima)
      if (leggi_tutto(file::percorso(cartella, n)) != dati)
        scrivi_tutto(file::percorso(cartella, n), dati);
  }
};

void uccidi_entrambi(const std::string& cartella) {
  std::mt19937 caso(20261209);
  {
    SCOPED_TRACE("compattatore");
    const std::string dove = file::percorso(cartella, "corsa");
    fs::create_directory(dove);
    const std::string exe = file::percorso(dove, kCompattatore);
    fs::copy_file(COMPATTATORE_BIN, exe);
    // The run writes its two sources, reads them back and deletes them.
    const std::string sorgenti = file::percorso(cartella, "sorgenti");
    ASSERT_EQ(esegui(std::string(SCENARIO_BIN) + " sources " + sorgenti + " >/dev/null"), 0);
    bersaglio b{dove, {exe}, contenuto(dove), contenuto(sorgenti), {}};
    b.uccidi_spesso(caso);
  }
  {
    SCOPED_TRACE("scenario compile, 1000 km");
    const std::string dove = file::percorso(cartella, "strumento");
    fs::create_directory(dove);
    ASSERT_EQ(
        esegui(std::string(SCENARIO_BIN) + " generate " + dove + " Lunga 7 --km 1000 >/dev/null"),
        0);
    bersaglio b{dove, {SCENARIO_BIN, "compile", dove, "Lunga", "7"}, contenuto(dove), {}, {}};
    b.uccidi_spesso(caso);
  }
}

}  // namespace

TEST(Uccisioni, KilledRunsLeaveOnlyWholeFilesInTheTestFolder) {
  cartella_temporanea t;
  RecordProperty("file_system", tipo_fs(t.percorso) == kExt4 ? "ext4" : "other");
  uccidi_entrambi(t.percorso);
}

TEST(Uccisioni, KilledRunsLeaveOnlyWholeFilesOnTmpfs) {
  cartella_temporanea t;
  const std::string punto = t / "tmpfs";
  fs::create_directory(punto);
  if (::mount("tmpfs", punto.c_str(), "tmpfs", 0, "size=64m") != 0)
    GTEST_SKIP() << "cannot mount a tmpfs here (needs root): " << std::strerror(errno);
  struct smonta {
    std::string p;
    ~smonta() { ::umount(p.c_str()); }
  } s{punto};
  ASSERT_EQ(tipo_fs(punto), kTmpfs);
  uccidi_entrambi(punto);
}
