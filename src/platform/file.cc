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
  std::string temp = nome + ".tmp-XXXXXX";
  int fd = ::mkstemp(temp.data());
  if (fd < 0) fallisci(nome, errno);
  const char* p = dati.data();
  size_t resto = dati.size();
  while (resto > 0) {
    ssize_t n = ::write(fd, p, resto);
    if (n < 0) {
      if (errno == EINTR) continue;
      int err = errno;
      ::close(fd);
      ::unlink(temp.c_str());
      fallisci(nome, err);
    }
    p += n;
    resto -= static_cast<size_t>(n);
  }
  // mkstemp creates the file 0600; give it the usual mode of a new file.
  mode_t maschera = ::umask(0);
  ::umask(maschera);
  ::fchmod(fd, 0666 & ~maschera);
  if (::close(fd) != 0) {
    int err = errno;
    ::unlink(temp.c_str());
    fallisci(nome, err);
  }
  if (::rename(temp.c_str(), nome.c_str()) != 0) {
    int err = errno;
    ::unlink(temp.c_str());
    fallisci(nome, err);
  }
}

void cancella(const std::string& nome) {
  if (::unlink(nome.c_str()) != 0 && errno != ENOENT)
    throw errore_scrittura("impossibile cancellare " + nome + ": " + std::strerror(errno));
}

}  // namespace file
