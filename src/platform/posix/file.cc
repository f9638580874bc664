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

void sostituisci(const std::string& nome, std::string_view dati) {
  sostituzione f(nome);
  f.scrivi(dati);
  f.chiudi();
}

namespace {

// The folder a replacement of `nome` is written in.
std::string cartella_di(const std::string& nome) {
  const size_t i = nome.rfind('/');
  return i == std::string::npos ? "." : i == 0 ? "/" : nome.substr(0, i);
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

sostituzione::sostituzione(const std::string& nome) : nome_(nome) {
  c_era_ = avanzi::rimuovi_morti(nome);
  // A file with no name until it is whole: a run killed outright leaves
  // nothing. Where the file system cannot make one (or /proc, through which
  // it gets its name, is missing), a named file, removed by a later run if
  // this one is killed.
  int fd = ::open(cartella_di(nome).c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
  static const bool con_proc = ::access("/proc/self/fd", F_OK) == 0;
  if (fd >= 0) {
    if (con_proc) {
      h_ = h_di(fd);
      agganci::prima_di_scrivere();
      return;
    }
    ::close(fd);
  }
  temp_ = avanzi::prefisso(nome) + "XXXXXX";
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
// The unnamed file, whole, gets its name: the target's own when there is no
// target yet (then nothing is left behind at any moment), else a free name of
// the temporary kind beside it, renamed over it next; only between those two
// steps can a killed run leave a file, which a later run removes.
bool sostituzione::nomina() {
  const std::string da = "/proc/self/fd/" + std::to_string(fd_di(h_));
  // A target there when the run began is not tried: the link would fail.
  if (!c_era_) {
    if (::linkat(AT_FDCWD, da.c_str(), AT_FDCWD, nome_.c_str(), AT_SYMLINK_FOLLOW) == 0)
      return true;
    if (errno != EEXIST) fallisci(nome_, errno);
  }
  const std::string prefisso = avanzi::prefisso(nome_);
  for (int prova = 0; prova < 100; ++prova) {
    std::string nome = nome_libero(prefisso);
    char* posto = nullptr;
    posto_ = interruzione::registra(nome, posto);
    if (::linkat(AT_FDCWD, da.c_str(), AT_FDCWD, nome.c_str(), AT_SYMLINK_FOLLOW) == 0) {
      temp_ = nome;
      return false;
    }
    const int err = errno;
    interruzione::libera(posto_);
    posto_ = -1;
    if (err != EEXIST) fallisci(nome_, err);
  }
  fallisci(nome_, EEXIST);
}
void sostituzione::chiudi() {
  // The mask is read once: it can only be read by setting it, and a program
  // that writes eight files need not set it sixteen times.
  static const mode_t maschera = [] {
    mode_t m = ::umask(0);
    ::umask(m);
    return m;
  }();
  int fd = fd_di(h_);
  ::fchmod(fd, 0666 & ~maschera);
  if (temp_.empty() && nomina()) {
    h_ = nullptr;
    if (::close(fd) != 0) {
      // There was no file before: none is left.
      int err = errno;
      ::unlink(nome_.c_str());
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
  if (::rename(temp_.c_str(), nome_.c_str()) != 0) {
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
