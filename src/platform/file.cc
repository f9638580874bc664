#include "platform/file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace file {
namespace {

[[noreturn]] void fallisci(const std::string& nome, int err) {
  throw errore_scrittura("impossibile scrivere " + nome + ": " + std::strerror(err));
}

}  // namespace

bool esiste(const std::string& nome) {
  struct stat st;
  return ::stat(nome.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool leggi(const std::string& nome, std::string& dati) {
  int fd = ::open(nome.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  dati.clear();
  struct stat st;
  if (::fstat(fd, &st) == 0 && st.st_size > 0) dati.reserve(static_cast<size_t>(st.st_size));
  char buf[1 << 16];
  for (;;) {
    ssize_t n = ::read(fd, buf, sizeof buf);
    if (n < 0) {
      if (errno == EINTR) continue;
      ::close(fd);
      return false;
    }
    if (n == 0) break;
    dati.append(buf, static_cast<size_t>(n));
  }
  ::close(fd);
  return true;
}

void sostituisci(const std::string& nome, std::string_view dati) {
  sostituzione f(nome);
  f.scrivi(dati);
  f.chiudi();
}

sostituzione::sostituzione(const std::string& nome) : nome_(nome), temp_(nome + ".tmp-XXXXXX") {
  fd_ = ::mkstemp(temp_.data());
  if (fd_ < 0) fallisci(nome, errno);
}
sostituzione::~sostituzione() {
  if (fd_ >= 0) {
    ::close(fd_);
    ::unlink(temp_.c_str());
  }
}
void sostituzione::scrivi(std::string_view dati) {
  const char* p = dati.data();
  size_t resto = dati.size();
  while (resto > 0) {
    ssize_t n = ::write(fd_, p, resto);
    if (n < 0) {
      if (errno == EINTR) continue;
      fallisci(nome_, errno);
    }
    p += n;
    resto -= static_cast<size_t>(n);
  }
}
void sostituzione::chiudi() {
  mode_t maschera = ::umask(0);
  ::umask(maschera);
  ::fchmod(fd_, 0666 & ~maschera);
  int fd = fd_;
  fd_ = -1;
  if (::close(fd) != 0) {
    int err = errno;
    ::unlink(temp_.c_str());
    fallisci(nome_, err);
  }
  if (::rename(temp_.c_str(), nome_.c_str()) != 0) {
    int err = errno;
    ::unlink(temp_.c_str());
    fallisci(nome_, err);
  }
}

void cancella(const std::string& nome) {
  if (::unlink(nome.c_str()) != 0 && errno != ENOENT)
    throw errore_scrittura("impossibile cancellare " + nome + ": " + std::strerror(errno));
}

}  // namespace file
