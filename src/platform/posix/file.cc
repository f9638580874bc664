#include "platform/file.h"

#include <dirent.h>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <system_error>

#include "platform/agganci.h"
#include "platform/avanzi.h"
#include "platform/posix/interruzione.h"

namespace file {
namespace {

// The common reasons in the author's words, then the system's own text.
std::string motivo(int err) {
  const char* parole = nullptr;
  switch (err) {
    case EACCES:
    case EPERM:
      parole = "permesso negato";
      break;
    case EROFS:
      parole = "file system in sola lettura";
      break;
    case ENOSPC:
      parole = "disco pieno";
      break;
    case EDQUOT:
      parole = "quota del disco esaurita";
      break;
    case ENOENT:
      parole = "la cartella non esiste";
      break;
    case ENOTDIR:
      parole = "una parte del percorso non è una cartella";
      break;
    case EISDIR:
      parole = "al suo posto c'è una cartella";
      break;
    case EFBIG:
      parole = "file troppo grande";
      break;
    case ENAMETOOLONG:
      parole = "nome troppo lungo";
      break;
    case EMFILE:
    case ENFILE:
      parole = "troppi file aperti";
      break;
    case EIO:
      parole = "errore del disco";
      break;
    case EBUSY:
    case ETXTBSY:
      parole = "file in uso";
      break;
    default:
      break;
  }
  return parole ? std::string(parole) + " (" + std::strerror(err) + ")" : std::strerror(err);
}

[[noreturn]] void fallisci(const std::string& nome, int err) {
  throw errore_io("impossibile scrivere " + nome + ": " + motivo(err));
}

int fd_di(void* h) {
  return static_cast<int>(reinterpret_cast<intptr_t>(h)) - 1;
}
void* h_di(int fd) {
  return reinterpret_cast<void*>(static_cast<intptr_t>(fd) + 1);
}

}  // namespace

const char separatore[] = "/";

std::string percorso(const std::string& cartella, const std::string& nome) {
  return cartella + separatore + nome;
}

bool esiste(const std::string& nome) {
  struct stat st;
  return ::stat(nome.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

genere_voce che_cosa(const std::string& nome) {
  struct stat st;
  if (::stat(nome.c_str(), &st) != 0) {
    // A link to nothing is there, but is no file.
    return ::lstat(nome.c_str(), &st) == 0 ? genere_voce::altro : genere_voce::nessuna;
  }
  if (S_ISREG(st.st_mode)) return genere_voce::file;
  if (S_ISDIR(st.st_mode)) return genere_voce::cartella;
  return genere_voce::altro;
}

bool stessa_voce(const std::string& a, const std::string& b) {
  struct stat sa, sb;
  return ::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
         sa.st_ino == sb.st_ino;
}

namespace {

std::string non_file(mode_t modo) {
  if (S_ISDIR(modo)) return "è una cartella, non un file";
  if (S_ISFIFO(modo)) return "è una FIFO, non un file";
  if (S_ISCHR(modo) || S_ISBLK(modo)) return "è un dispositivo, non un file";
  if (S_ISSOCK(modo)) return "è un socket, non un file";
  return "non è un file";
}

lettura troppo_grande(uint64_t dimensione, uint64_t massimo) {
  return {esito_lettura::troppo_grande, dimensione,
          "è di " + std::to_string(dimensione) + " byte, più dei " + std::to_string(massimo) +
              " accettati"};
}

// Opens a name for reading without waiting on it: a FIFO with no writer
// would hold an ordinary open for good.
int apri_file(const std::string& nome) {
  return ::open(nome.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
}

// Up to `massimo` bytes of the file; false on a read error (errno).
bool leggi_fd(int fd, uint64_t massimo, std::string& dati) {
  char buf[1 << 16];
  while (dati.size() < massimo) {
    const size_t chiesti =
        static_cast<size_t>(std::min<uint64_t>(sizeof buf, massimo - dati.size()));
    const ssize_t n = ::read(fd, buf, chiesti);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    if (n == 0) break;
    dati.append(buf, static_cast<size_t>(n));
  }
  return true;
}

// An open file looked at again (what is there now may not be what was
// looked at before) and read.
lettura leggi_aperto(int fd, uint64_t massimo, std::string& dati) {
  struct stat st;
  if (::fstat(fd, &st) != 0) return {esito_lettura::illeggibile, 0, motivo(errno)};
  if (!S_ISREG(st.st_mode)) return {esito_lettura::non_file, 0, non_file(st.st_mode)};
  if (static_cast<uint64_t>(st.st_size) > massimo)
    return troppo_grande(static_cast<uint64_t>(st.st_size), massimo);
  dati.reserve(static_cast<size_t>(st.st_size));
  if (!leggi_fd(fd, massimo + 1, dati)) return {esito_lettura::illeggibile, 0, motivo(errno)};
  if (dati.size() <= massimo) return {esito_lettura::letto, dati.size(), ""};
  // Grown past the bound while it was read: its size now.
  if (::fstat(fd, &st) == 0 && static_cast<uint64_t>(st.st_size) > massimo)
    return troppo_grande(static_cast<uint64_t>(st.st_size), massimo);
  return troppo_grande(dati.size(), massimo);
}

}  // namespace

bool leggi(const std::string& nome, std::string& dati) {
  const int fd = apri_file(nome);
  if (fd < 0) return false;
  dati.clear();
  const bool ok = leggi_aperto(fd, UINT64_MAX - 1, dati).esito == esito_lettura::letto;
  ::close(fd);
  return ok;
}

lettura leggi_al_piu(const std::string& nome, uint64_t massimo, std::string& dati) {
  dati.clear();
  lettura r;
  struct stat st;
  // Looked at before it is opened: opening some devices does something.
  if (::stat(nome.c_str(), &st) != 0) {
    if (errno == ENOENT || errno == ENOTDIR) return r;
    return {esito_lettura::illeggibile, 0, motivo(errno)};
  }
  if (!S_ISREG(st.st_mode)) return {esito_lettura::non_file, 0, non_file(st.st_mode)};
  if (static_cast<uint64_t>(st.st_size) > massimo)
    return troppo_grande(static_cast<uint64_t>(st.st_size), massimo);
  const int fd = apri_file(nome);
  if (fd < 0) {
    if (errno == ENOENT || errno == ENOTDIR) return r;
    return {esito_lettura::illeggibile, 0, motivo(errno)};
  }
  const lettura l = leggi_aperto(fd, massimo, dati);
  ::close(fd);
  if (l.esito != esito_lettura::letto) dati.clear();
  return l;
}

lettura lettore::apri(const std::string& nome) {
  struct stat st;
  auto perche = [&](int err) {
    return err == ENOENT || err == ENOTDIR ? lettura{}
                                           : lettura{esito_lettura::illeggibile, 0, motivo(err)};
  };
  if (::stat(nome.c_str(), &st) != 0) return perche(errno);
  if (!S_ISREG(st.st_mode)) return {esito_lettura::non_file, 0, non_file(st.st_mode)};
  const int fd = apri_file(nome);
  if (fd < 0) return perche(errno);
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    const lettura r = S_ISREG(st.st_mode)
                          ? perche(errno)
                          : lettura{esito_lettura::non_file, 0, non_file(st.st_mode)};
    ::close(fd);
    return r;
  }
  // Read from start to end, once or twice: the system may read ahead.
  ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
  if (h_) ::close(fd_di(h_));
  h_ = h_di(fd), n_ = static_cast<uint64_t>(st.st_size), nome_ = nome;
  return {esito_lettura::letto, n_, ""};
}

lettore::~lettore() {
  if (h_) ::close(fd_di(h_));
}

size_t lettore::leggi(uint64_t da, char* dove, size_t n) {
  size_t fatti = 0;
  while (fatti < n) {
    const ssize_t r = ::pread(fd_di(h_), dove + fatti, n - fatti, static_cast<off_t>(da + fatti));
    if (r < 0 && errno == EINTR) continue;
    if (r < 0) throw errore_io("impossibile leggere " + nome_ + ": " + motivo(errno));
    if (r == 0) break;
    fatti += static_cast<size_t>(r);
  }
  return fatti;
}

mappatura::mappatura(const std::string& nome) {
  auto manca = [&](const std::string& perche) {
    throw errore_io("impossibile leggere " + nome + ": " + perche);
  };
  int fd = ::open(nome.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) manca(motivo(errno));
  struct stat st;
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    const int err = errno;
    ::close(fd);
    manca(S_ISREG(st.st_mode) ? motivo(err) : "non è un file");
  }
  n_ = static_cast<size_t>(st.st_size);
  if (n_ > 0) {
    // All pages at once: the readers go through the whole file anyway.
    void* p = ::mmap(nullptr, n_, PROT_READ, MAP_PRIVATE | MAP_POPULATE, fd, 0);
    if (p == MAP_FAILED) {
      const int err = errno;
      ::close(fd);
      n_ = 0;
      manca(motivo(err));
    }
    p_ = p;
  }
  ::close(fd);
}

mappatura::~mappatura() {
  if (p_) ::munmap(const_cast<void*>(p_), n_);
}

namespace {

// The folder a replacement of `nome` is written in.
std::string cartella_di(const std::string& nome) {
  const size_t i = nome.rfind('/');
  return i == std::string::npos ? "." : i == 0 ? "/" : nome.substr(0, i);
}

// The file a name leads to through its symbolic links, each read from the
// folder of the link that holds it: what a replacement writes, so that the
// links stay links. A link that leads nowhere gives the name it leads to.
std::string bersaglio(const std::string& nome) {
  std::string p = nome;
  // The system's own bound on a chain of links; past it, the name itself.
  for (int salti = 0; salti < 40; ++salti) {
    struct stat st;
    if (::lstat(p.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return p;
    std::string a(static_cast<size_t>(st.st_size > 0 ? st.st_size : 255) + 1, '\0');
    const ssize_t n = ::readlink(p.c_str(), a.data(), a.size());
    if (n <= 0 || static_cast<size_t>(n) >= a.size()) return p;
    a.resize(static_cast<size_t>(n));
    p = a[0] == '/' ? a : cartella_di(p) + "/" + a;
  }
  return nome;
}

// A name for the finished file, free at the moment: the prefix and six
// letters drawn from the time and a counter.
std::string nome_libero(const std::string& prefisso) {
  static std::atomic<uint64_t> contatore{0};
  timespec ora{};
  ::clock_gettime(CLOCK_REALTIME, &ora);
  uint64_t v = static_cast<uint64_t>(ora.tv_nsec) ^ (static_cast<uint64_t>(ora.tv_sec) << 30) ^
               (contatore.fetch_add(1) * 0x9E3779B97F4A7C15ull);
  v ^= v >> 29;
  v *= 0xBF58476D1CE4E5B9ull;
  v ^= v >> 32;
  static const char lettere[] = "abcdefghijklmnopqrstuvwxyz0123456789";
  std::string s = prefisso;
  for (int i = 0; i < 6; ++i, v /= 36) s += lettere[v % 36];
  return s;
}

}  // namespace

sostituzione::sostituzione(const std::string& nome) : nome_(nome), vero_(bersaglio(nome)) {
  c_era_ = avanzi::rimuovi_morti(vero_);
  // A file with no name until it is whole: a run killed outright leaves
  // nothing. Where the file system cannot make one (or /proc, through which
  // it gets its name, is missing), a named file, removed by a later run if
  // this one is killed.
  int fd = ::open(cartella_di(vero_).c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
  static const bool con_proc = ::access("/proc/self/fd", F_OK) == 0;
  if (fd >= 0) {
    if (con_proc) {
      h_ = h_di(fd);
      agganci::prima_di_scrivere();
      return;
    }
    ::close(fd);
  }
  temp_ = avanzi::prefisso(vero_) + "XXXXXX";
  // The name is made in the slot an interruption reads, so the file is never
  // there without the handler knowing it.
  char* posto = nullptr;
  posto_ = interruzione::registra(temp_, posto);
  fd = ::mkstemp(posto ? posto : temp_.data());
  if (fd < 0) {
    int err = errno;
    interruzione::libera(posto_);
    fallisci(nome, err);
  }
  if (posto) temp_ = posto;
  h_ = h_di(fd);
  agganci::prima_di_scrivere();
}
sostituzione::~sostituzione() {
  if (h_) {
    ::close(fd_di(h_));
    if (!temp_.empty()) ::unlink(temp_.c_str());
  }
  interruzione::libera(posto_);
}
void sostituzione::scrivi(std::string_view dati) {
  const char* p = dati.data();
  size_t resto = dati.size();
  while (resto > 0) {
    ssize_t n = ::write(fd_di(h_), p, resto);
    if (n < 0) {
      if (errno == EINTR) continue;
      fallisci(nome_, errno);
    }
    p += n;
    resto -= static_cast<size_t>(n);
  }
}
void sostituzione::scrivi_a(uint64_t offset, std::string_view dati) {
  const char* p = dati.data();
  size_t resto = dati.size();
  while (resto > 0) {
    ssize_t n = ::pwrite(fd_di(h_), p, resto, static_cast<off_t>(offset));
    if (n < 0) {
      if (errno == EINTR) continue;
      fallisci(nome_, errno);
    }
    p += n;
    offset += static_cast<uint64_t>(n);
    resto -= static_cast<size_t>(n);
  }
}
void sostituzione::riserva(uint64_t byte) {
  ::fallocate(fd_di(h_), FALLOC_FL_KEEP_SIZE, 0, static_cast<off_t>(byte));
}
// The unnamed file, whole, gets a free name with the prefix beside the
// target, to be renamed over it next; only between those two steps can a
// killed run leave a file, which a later run removes (those of the temporary
// kind).
void sostituzione::nomina_accanto(const std::string& prefisso, bool registrato) {
  const std::string da = "/proc/self/fd/" + std::to_string(fd_di(h_));
  for (int prova = 0; prova < 100; ++prova) {
    std::string nome = nome_libero(prefisso);
    char* posto = nullptr;
    if (registrato) posto_ = interruzione::registra(nome, posto);
    if (::linkat(AT_FDCWD, da.c_str(), AT_FDCWD, nome.c_str(), AT_SYMLINK_FOLLOW) == 0) {
      temp_ = nome;
      return;
    }
    const int err = errno;
    interruzione::libera(posto_);
    posto_ = -1;
    if (err != EEXIST) fallisci(nome_, err);
  }
  fallisci(nome_, EEXIST);
}
// The unnamed file takes the target's own name when there is no target yet
// (then nothing is left behind at any moment), else a name beside it.
bool sostituzione::nomina() {
  // A target there when the run began is not tried: the link would fail.
  if (!c_era_) {
    const std::string da = "/proc/self/fd/" + std::to_string(fd_di(h_));
    if (::linkat(AT_FDCWD, da.c_str(), AT_FDCWD, vero_.c_str(), AT_SYMLINK_FOLLOW) == 0)
      return true;
    if (errno != EEXIST) fallisci(nome_, errno);
  }
  nomina_accanto(avanzi::prefisso(vero_), true);
  return false;
}
// The new file takes the old one's permissions and owner (a new file those
// of the mask); one with other hard links is not replaced.
void sostituzione::come_il_vecchio() {
  // The mask is read once: it can only be read by setting it, and a program
  // that writes eight files need not set it sixteen times.
  static const mode_t maschera = [] {
    mode_t m = ::umask(0);
    ::umask(m);
    return m;
  }();
  const int fd = fd_di(h_);
  struct stat st;
  if (::stat(vero_.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
    ::fchmod(fd, 0666 & ~maschera);
    return;
  }
  if (st.st_nlink > 1)
    throw errore_io("impossibile scrivere " + nome_ + ": ha " + std::to_string(st.st_nlink) +
                    " collegamenti fisici, che sostituirlo separerebbe");
  struct stat mio;
  // Only root may give a file away: elsewhere the new file stays the writer's.
  if (::fstat(fd, &mio) == 0 && (mio.st_uid != st.st_uid || mio.st_gid != st.st_gid))
    (void)!::fchown(fd, st.st_uid, st.st_gid);
  ::fchmod(fd, st.st_mode & 07777);
}
void sostituzione::chiudi() {
  come_il_vecchio();
  int fd = fd_di(h_);
  if (temp_.empty() && nomina()) {
    h_ = nullptr;
    if (::close(fd) != 0) {
      // There was no file before: none is left.
      int err = errno;
      ::unlink(vero_.c_str());
      fallisci(nome_, err);
    }
    return;
  }
  h_ = nullptr;
  if (::close(fd) != 0) {
    int err = errno;
    ::unlink(temp_.c_str());
    fallisci(nome_, err);
  }
  if (::rename(temp_.c_str(), vero_.c_str()) != 0) {
    int err = errno;
    ::unlink(temp_.c_str());
    interruzione::libera(posto_);
    posto_ = -1;
    fallisci(nome_, err);
  }
  // From here the name is the target's: an interruption must leave it.
  interruzione::libera(posto_);
  posto_ = -1;
}

namespace {

// A file as the system knows it, whatever name it has now.
struct identita {
  dev_t dev = 0;
  ino_t ino = 0;
  bool operator==(const identita& o) const { return dev == o.dev && ino == o.ino; }
};
identita identita_di(const std::string& nome) {
  struct stat st;
  return ::lstat(nome.c_str(), &st) == 0 ? identita{st.st_dev, st.st_ino} : identita{};
}

// The two names exchanged in one step; false (errno) when they cannot be.
bool scambia(const std::string& a, const std::string& b) {
  return ::renameat2(AT_FDCWD, a.c_str(), AT_FDCWD, b.c_str(), RENAME_EXCHANGE) == 0;
}
bool senza_scambio(int err) {
  return err == EINVAL || err == ENOSYS || err == ENOTSUP;
}

// Whether the file at `nome` holds exactly `atteso`, read bounded and
// without waiting, whatever stands there.
bool contiene(const std::string& nome, std::string_view atteso) {
  std::string dati;
  return leggi_al_piu(nome, atteso.size(), dati).esito == esito_lettura::letto && dati == atteso;
}

// A failure that leaves what stood at the target under another name.
[[noreturn]] void fallisci_altrove(const std::string& nome, int err, const std::string& dove) {
  throw errore_io("impossibile scrivere " + nome + ": " + motivo(err) +
                  "; il file che c'era è ora " + dove);
}

// `temp` holds what an exchange took out of `vero`, which was not the
// version expected, and `vero` the file `fuori`: they go back. What comes out
// then must be that file; anything else is a save that landed in between,
// newer than what went in, and goes in in its turn.
void rimetti(const std::string& vero, const std::string& temp, identita fuori,
             const std::string& nome) {
  // Saves landing between two exchanges every time, a hundred times over:
  // their program saves without pause, and the older one is kept aside.
  for (int prova = 0; prova < 100; ++prova) {
    const identita dentro = identita_di(temp);
    if (!scambia(temp, vero)) {
      // The target removed meanwhile: its removal stands.
      if (errno == ENOENT) return (void)::unlink(temp.c_str());
      fallisci_altrove(nome, errno, temp);
    }
    if (identita_di(temp) == fuori) return (void)::unlink(temp.c_str());
    fuori = dentro;
  }
  fallisci_altrove(nome, EBUSY, temp);
}

// Moves `da` to `a` unless something stands at `a` (false, errno EEXIST).
bool metti_senza_sostituire(const std::string& da, const std::string& a) {
  if (::renameat2(AT_FDCWD, da.c_str(), AT_FDCWD, a.c_str(), RENAME_NOREPLACE) == 0) return true;
  if (!senza_scambio(errno)) return false;
  // A file system without it: a second name, then the first one dropped.
  if (::link(da.c_str(), a.c_str()) != 0) return false;
  ::unlink(da.c_str());
  return true;
}

// Without an exchange: the target is moved aside (its name stays free a
// moment) and looked at there; the new file, or the target itself when it is
// not the version expected, goes back to the name only if no other save has
// taken it meanwhile.
bool sostituisci_scostando(const std::string& vero, const std::string& temp,
                           std::string_view atteso, const std::string& nome) {
  const std::string parte = nome_libero(avanzi::prefisso_conservato(vero));
  if (::rename(vero.c_str(), parte.c_str()) != 0) {
    const int err = errno;
    ::unlink(temp.c_str());
    if (err == ENOENT) return false;
    fallisci(nome, err);
  }
  const bool uguale = contiene(parte, atteso);
  const std::string& torna = uguale ? temp : parte;
  bool messo = metti_senza_sostituire(torna, vero);
  // Neither way to move without replacing: the plain rename is all there is.
  if (!messo && errno != EEXIST) {
    if (::rename(torna.c_str(), vero.c_str()) != 0) fallisci_altrove(nome, errno, parte);
    messo = true;
  }
  ::unlink(temp.c_str());
  ::unlink(parte.c_str());
  return uguale && messo;
}

}  // namespace

bool sostituzione::chiudi_se(std::string_view atteso) {
  struct stat st;
  if (::stat(vero_.c_str(), &st) != 0) {
    if (errno == ENOENT) return false;
    fallisci(nome_, errno);
  }
  if ((st.st_mode & 0222) == 0 || ::access(vero_.c_str(), W_OK) != 0)
    throw errore_io("impossibile scrivere " + nome_ + ": è in sola lettura");
  come_il_vecchio();
  const int fd = fd_di(h_);
  // Its name may soon hold another program's save: one that no run removes,
  // and that an interruption leaves.
  const std::string prefisso = avanzi::prefisso_conservato(vero_);
  if (temp_.empty()) {
    nomina_accanto(prefisso, false);
  } else {
    const std::string conservato = nome_libero(prefisso);
    if (::rename(temp_.c_str(), conservato.c_str()) != 0) fallisci(nome_, errno);
    temp_ = conservato;
    interruzione::libera(posto_);
    posto_ = -1;
  }
  struct stat mio {};
  ::fstat(fd, &mio);
  h_ = nullptr;
  if (::close(fd) != 0) {
    const int err = errno;
    ::unlink(temp_.c_str());
    fallisci(nome_, err);
  }
  if (agganci::senza_scambio()) return sostituisci_scostando(vero_, temp_, atteso, nome_);
  if (!scambia(temp_, vero_)) {
    const int err = errno;
    if (senza_scambio(err)) return sostituisci_scostando(vero_, temp_, atteso, nome_);
    ::unlink(temp_.c_str());
    if (err == ENOENT) return false;
    fallisci(nome_, err);
  }
  if (contiene(temp_, atteso)) return ::unlink(temp_.c_str()), true;
  rimetti(vero_, temp_, {mio.st_dev, mio.st_ino}, nome_);
  return false;
}

void cancella(const std::string& nome) {
  if (::unlink(nome.c_str()) != 0 && errno != ENOENT)
    throw errore_io("impossibile cancellare " + nome + ": " + motivo(errno));
}

void rinomina(const std::string& da, const std::string& a) {
  if (::rename(da.c_str(), a.c_str()) != 0) fallisci(a, errno);
}

bool crea_cartelle(const std::string& cartella) {
  std::error_code ec;
  std::filesystem::create_directories(cartella, ec);
  struct stat st;
  return ::stat(cartella.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::vector<std::string> elenco(const std::string& cartella) {
  std::vector<std::string> nomi;
  DIR* d = ::opendir(cartella.c_str());
  if (!d) return nomi;
  while (const dirent* e = ::readdir(d)) {
    if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0)
      nomi.emplace_back(e->d_name);
  }
  ::closedir(d);
  return nomi;
}

std::string cartella_temporanea_sistema() {
  const char* t = std::getenv("TMPDIR");
  return t && *t ? std::string(t) : std::string("/tmp");
}

}  // namespace file
