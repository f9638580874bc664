// Failed writes: a run that cannot write a file must end with one clear line
// and a non-zero status, and leave every file of the run before it whole.
#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <map>

#include "aiuti.h"

namespace fs = std::filesystem;

namespace {

constexpr char kExecFallito[] = "exec fallito\n";

struct limiti {
  rlim_t dimensione_file = RLIM_INFINITY;
  bool da_nessuno = false;  // run as the unprivileged user 65534
};

struct esito {
  int stato = -1;
  std::string errore;  // standard error
};

// Runs the program with the given limits; standard output is dropped.
esito lancia(const std::string& exe, const limiti& l) {
  int tubo[2];
  if (::pipe(tubo) != 0) return {};
  pid_t pid = ::fork();
  if (pid == 0) {
    // Only async-signal-safe calls from here to exec.
    ::close(tubo[0]);
    int nulla = ::open("/dev/null", O_WRONLY);
    ::dup2(nulla, 1);
    ::dup2(tubo[1], 2);
    if (l.dimensione_file != RLIM_INFINITY) {
      // A write past the limit then fails with EFBIG instead of killing the run.
      ::signal(SIGXFSZ, SIG_IGN);
      rlimit r{l.dimensione_file, l.dimensione_file};
      ::setrlimit(RLIMIT_FSIZE, &r);
    }
    if (l.da_nessuno &&
        (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0))
      ::_exit(126);
    ::execl(exe.c_str(), exe.c_str(), static_cast<char*>(nullptr));
    ssize_t scritti = ::write(2, kExecFallito, sizeof kExecFallito - 1);
    (void)scritti;
    ::_exit(127);
  }
  ::close(tubo[1]);
  esito e;
  char buf[4096];
  ssize_t n;
  while ((n = ::read(tubo[0], buf, sizeof buf)) > 0) e.errore.append(buf, static_cast<size_t>(n));
  ::close(tubo[0]);
  int stato = 0;
  if (pid < 0 || ::waitpid(pid, &stato, 0) != pid) return e;
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
  std::string exe = t / "compattatore";
  istantanea prima;
  dopo_una_corsa() {
    fs::copy_file(COMPATTATORE_BIN, exe);
    esito e = lancia(exe, {});
    EXPECT_EQ(e.stato, 0) << e.errore;
    prima = fotografa(t.percorso);
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
                                                 {100000, "FerziaPS-Calvorano_linea.dat"}};
  for (const auto& [limite, file] : casi) {
    SCOPED_TRACE(limite);
    dopo_una_corsa c;
    ASSERT_EQ(c.prima.size(), 7u);
    limiti l;
    l.dimensione_file = limite;
    esito e = lancia(c.exe, l);
    un_messaggio(e, file);
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
