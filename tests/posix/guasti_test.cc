// Failed and interrupted writes: a run that cannot write a file must end with
// one clear line and a non-zero status, a run that is interrupted ends by its
// signal, and either leaves every file of the run before it whole and nothing
// else.
#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <functional>
#include <map>
#include <vector>

#include "aiuti.h"

namespace fs = std::filesystem;

namespace {

constexpr char kExecFallito[] = "exec fallito\n";

struct limiti {
  rlim_t dimensione_file = RLIM_INFINITY;
  bool da_nessuno = false;  // run as the unprivileged user 65534
  std::string segnale;      // COMPATTATORE_TEST_SEGNALE for the run, "N:S"
  std::vector<std::string> argomenti;
  // Called with the child's pid once it has stopped itself (S = SIGSTOP), then
  // the child goes on.
  std::function<void()> da_fermo;
};

struct esito {
  int stato = -1;
  std::string errore;  // standard error
};

// Runs the program with the given limits; standard output is dropped.
esito lancia(const std::string& exe, const limiti& l) {
  // Everything exec needs is made before fork: the child may only make
  // async-signal-safe calls.
  std::vector<std::string> ambiente;
  for (char** e = environ; *e; ++e)
    if (std::strncmp(*e, "COMPATTATORE_TEST_SEGNALE=", 26) != 0) ambiente.emplace_back(*e);
  if (!l.segnale.empty()) ambiente.push_back("COMPATTATORE_TEST_SEGNALE=" + l.segnale);
  std::vector<char*> envp, argv{const_cast<char*>(exe.c_str())};
  for (auto& a : ambiente) envp.push_back(a.data());
  envp.push_back(nullptr);
  for (auto& a : l.argomenti) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  int tubo[2];
  if (::pipe(tubo) != 0) return {};
  pid_t pid = ::fork();
  if (pid == 0) {
    ::close(tubo[0]);
    int nulla = ::open("/dev/null", O_WRONLY);
    ::dup2(nulla, 1);
    ::dup2(tubo[1], 2);
    // SIGXFSZ stays at its default, as a user has it.
    if (l.dimensione_file != RLIM_INFINITY) {
      rlimit r{l.dimensione_file, l.dimensione_file};
      ::setrlimit(RLIMIT_FSIZE, &r);
    }
    if (l.da_nessuno &&
        (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0))
      ::_exit(126);
    ::execve(exe.c_str(), argv.data(), envp.data());
    ssize_t scritti = ::write(2, kExecFallito, sizeof kExecFallito - 1);
    (void)scritti;
    ::_exit(127);
  }
  ::close(tubo[1]);
  esito e;
  int stato = 0;
  bool raccolto = false;
  if (l.da_fermo && pid > 0 && ::waitpid(pid, &stato, WUNTRACED) == pid) {
    raccolto = !WIFSTOPPED(stato);
    if (!raccolto) {
      l.da_fermo();
      ::kill(pid, SIGCONT);
    }
  }
  char buf[4096];
  ssize_t n;
  while ((n = ::read(tubo[0], buf, sizeof buf)) > 0) e.errore.append(buf, static_cast<size_t>(n));
  ::close(tubo[0]);
  if (pid < 0 || (!raccolto && ::waitpid(pid, &stato, 0) != pid)) return e;
  e.stato = WIFEXITED(stato) ? WEXITSTATUS(stato) : 128 + WTERMSIG(stato);
  return e;
}

using istantanea = std::map<std::string, std::string>;

// Every file of the folder with its bytes.
istantanea fotografa(const std::string& cartella) {
  istantanea s;
  for (const auto& e : fs::directory_iterator(cartella))
    s[e.path().filename().string()] = leggi_tutto(e.path().string());
  return s;
}

void uguali(const istantanea& prima, const istantanea& dopo) {
  std::vector<std::string> nomi_prima, nomi_dopo;
  for (const auto& [n, _] : prima) nomi_prima.push_back(n);
  for (const auto& [n, _] : dopo) nomi_dopo.push_back(n);
  ASSERT_EQ(nomi_dopo, nomi_prima);
  for (const auto& [n, dati] : prima) EXPECT_TRUE(dopo.at(n) == dati) << n << " changed";
}

// A folder with the program and the files of one good run.
struct dopo_una_corsa {
  cartella_temporanea t;
  std::string cartella = t.percorso;
  std::string exe;
  istantanea prima;
  explicit dopo_una_corsa(const std::string& dove = "") {
    if (!dove.empty()) cartella = dove;
    exe = file::percorso(cartella, "compattatore");
    fs::copy_file(COMPATTATORE_PROVA_BIN, exe);
    esito e = lancia(exe, {});
    EXPECT_EQ(e.stato, 0) << e.errore;
    prima = fotografa(cartella);
  }
};

// One line of standard error that names the file.
void un_messaggio(const esito& e, const std::string& file) {
  EXPECT_NE(e.stato, 0);
  EXPECT_EQ(std::count(e.errore.begin(), e.errore.end(), '\n'), 1) << e.errore;
  EXPECT_NE(e.errore.find(file), std::string::npos) << e.errore;
}

}  // namespace

TEST(ScrittureFallite, FileSizeLimitStopsAWriteMidway) {
  // 1000 bytes: the first source file fails; 100000: the texts pass and the
  // plan (880 kB) fails halfway, before the table and the track.
  const std::pair<rlim_t, const char*> casi[] = {{1000, "FerziaPS-Calvorano_linea.txt"},
                                                 {100000, "FerziaPS-Calvorano_linea.dat"},
                                                 {300000, "FerziaPS-Calvorano_linea.dat"}};
  for (const auto& [limite, file] : casi) {
    SCOPED_TRACE(limite);
    dopo_una_corsa c;
    ASSERT_EQ(c.prima.size(), 7u);
    limiti l;
    l.dimensione_file = limite;
    esito e = lancia(c.exe, l);
    un_messaggio(e, file);
    EXPECT_LT(e.stato, 128) << "ended by a signal";
    EXPECT_NE(e.errore.find("File too large"), std::string::npos) << e.errore;
    uguali(c.prima, fotografa(c.t.percorso));
  }
}

TEST(ScrittureFallite, ReadOnlyFolderChangesNothing) {
  dopo_una_corsa c;
  limiti l;
  // Root ignores folder permissions: take away the write bit and, as root,
  // run as the unprivileged user, for whom the folder is read-only.
  fs::permissions(c.t.percorso, fs::perms::owner_read | fs::perms::owner_exec |
                                    fs::perms::group_read | fs::perms::group_exec |
                                    fs::perms::others_read | fs::perms::others_exec);
  l.da_nessuno = ::geteuid() == 0;
  esito e = lancia(c.exe, l);
  if (l.da_nessuno && e.stato == 127 && e.errore == kExecFallito)
    GTEST_SKIP() << "the temporary folder is out of reach of user 65534";
  un_messaggio(e, "FerziaPS-Calvorano_linea.txt");
  uguali(c.prima, fotografa(c.t.percorso));
}

// The eight files a run writes, in order: two sources, three documents, the
// plan, the table and the track.
constexpr int kScritture = 8;

// The folder after a run that stopped at write n: as it was, but for the
// sources written whole before n (read and deleted only from write 6 on).
istantanea attesa(istantanea prima, int n) {
  static const istantanea sorgenti = [] {
    cartella_temporanea t;
    esegui(programma(SCENARIO_BIN) + " sources " + t.percorso + " >/dev/null");
    istantanea s;
    for (const char* f : {"FerziaPS-Calvorano_linea.txt", "FerziaPS-Calvorano_24617-.txt"})
      s[f] = leggi_tutto(t / f);
    return s;
  }();
  if (n <= 5 && n >= 2)
    prima["FerziaPS-Calvorano_linea.txt"] = sorgenti.at("FerziaPS-Calvorano_linea.txt");
  if (n <= 5 && n >= 3)
    prima["FerziaPS-Calvorano_24617-.txt"] = sorgenti.at("FerziaPS-Calvorano_24617-.txt");
  return prima;
}

TEST(Interruzioni, ASignalDuringAWriteLeavesTheFolderAsItWas) {
  for (int segnale : {SIGINT, SIGTERM, SIGHUP}) {
    for (int n = 1; n <= kScritture; ++n) {
      SCOPED_TRACE(testing::Message() << "signal " << segnale << " at write " << n);
      dopo_una_corsa c;
      limiti l;
      l.segnale = std::to_string(n) + ":" + std::to_string(segnale);
      EXPECT_EQ(lancia(c.exe, l).stato, 128 + segnale);
      uguali(attesa(c.prima, n), fotografa(c.cartella));
    }
  }
}

TEST(Interruzioni, TheToolLeavesNoPrivateFolderBehind) {
  cartella_temporanea t;
  ASSERT_EQ(esegui(programma(SCENARIO_BIN) + " sources " + t.percorso + " >/dev/null"), 0);
  ASSERT_EQ(esegui(programma(SCENARIO_BIN) + " compile " + t.percorso +
                   " FerziaPS-Calvorano 24617 >/dev/null"),
            0);
  istantanea prima = fotografa(t.percorso);
  // The sources are read into memory: the three compiled files are its writes.
  for (int n = 1; n <= 3; ++n) {
    SCOPED_TRACE(n);
    limiti l;
    l.segnale = std::to_string(n) + ":" + std::to_string(SIGINT);
    l.argomenti = {"compile", t.percorso, "FerziaPS-Calvorano", "24617"};
    EXPECT_EQ(lancia(SCENARIO_PROVA_BIN, l).stato, 128 + SIGINT);
    uguali(prima, fotografa(t.percorso));
  }
}

// A small file system of its own, filled up just before each write in turn.
TEST(ScrittureFallite, FullDiskAtEachWriteInTurn) {
  cartella_temporanea t;
  const std::string disco = t / "disco";
  fs::create_directory(disco);
  // Room for the program (a sanitizer build is large) and a few runs' files.
  const auto spazio = fs::file_size(COMPATTATORE_BIN) + (8u << 20);
  if (esegui("mount -t tmpfs -o size=" + std::to_string(spazio) + " tmpfs " + disco +
             " >/dev/null 2>&1") != 0)
    GTEST_SKIP() << "mount not allowed here";
  struct smonta {
    std::string d;
    ~smonta() { esegui("umount " + d + " >/dev/null 2>&1"); }
  } s{disco};
  const std::string riempi = file::percorso(disco, "riempimento");
  auto pieno = [&] {
    std::string blocco(1 << 16, 'x');
    int fd = ::open(riempi.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    while (::write(fd, blocco.data(), blocco.size()) > 0) {
    }
    ::close(fd);
  };
  // compattatore: every write; scenario compile: its three.
  const std::string cartella = file::percorso(disco, "prog");
  fs::create_directory(cartella);
  dopo_una_corsa c(cartella);
  for (int n = 1; n <= kScritture; ++n) {
    SCOPED_TRACE(testing::Message() << "compattatore, write " << n);
    limiti l;
    l.segnale = std::to_string(n) + ":" + std::to_string(SIGSTOP);
    l.da_fermo = pieno;
    esito e = lancia(c.exe, l);
    fs::remove(riempi);
    un_messaggio(e, "FerziaPS-Calvorano");
    EXPECT_NE(e.errore.find("disco pieno (No space left on device)"), std::string::npos)
        << e.errore;
    uguali(attesa(c.prima, n), fotografa(cartella));
  }
  const std::string sorgenti = file::percorso(disco, "src");
  ASSERT_EQ(esegui(programma(SCENARIO_BIN) + " sources " + sorgenti + " >/dev/null"), 0);
  ASSERT_EQ(esegui(programma(SCENARIO_BIN) + " compile " + sorgenti +
                   " FerziaPS-Calvorano 24617 >/dev/null"),
            0);
  istantanea prima = fotografa(sorgenti);
  for (int n = 1; n <= 3; ++n) {
    SCOPED_TRACE(testing::Message() << "scenario compile, write " << n);
    limiti l;
    l.segnale = std::to_string(n) + ":" + std::to_string(SIGSTOP);
    l.da_fermo = pieno;
    l.argomenti = {"compile", sorgenti, "FerziaPS-Calvorano", "24617"};
    esito e = lancia(SCENARIO_PROVA_BIN, l);
    fs::remove(riempi);
    EXPECT_EQ(e.stato, 2) << e.errore;
    EXPECT_NE(e.errore.find("disco pieno (No space left on device)"), std::string::npos)
        << e.errore;
    uguali(prima, fotografa(sorgenti));
  }
}
