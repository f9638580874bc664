#include "platform/posix/interruzione.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "platform/interruzione.h"

namespace interruzione {
namespace {

enum : int { libero = 0, occupato = 1, file_temp = 2 };

struct posto {
  std::atomic<int> stato{libero};
  char nome[4096];
};
posto posti[16];

std::atomic<bool> trattenuta{false};
std::atomic<bool> notata{false};

extern "C" void all_interruzione(int segnale) {
  const int err = errno;
  if (trattenuta.load(std::memory_order_acquire) && !notata.exchange(true)) {
    errno = err;
    return;
  }
  for (auto& p : posti)
    if (p.stato.load(std::memory_order_acquire) == file_temp) ::unlink(p.nome);
  // The signal is blocked while its handler runs: with the default action
  // back, it ends the program as soon as the handler returns.
  ::signal(segnale, SIG_DFL);
  ::raise(segnale);
  errno = err;
}

}  // namespace

int registra(const std::string& nome, char*& buffer) {
  buffer = nullptr;
  if (nome.size() >= sizeof posti[0].nome) return -1;
  for (int i = 0; i < static_cast<int>(std::size(posti)); ++i) {
    int atteso = libero;
    if (!posti[i].stato.compare_exchange_strong(atteso, occupato)) continue;
    std::memcpy(posti[i].nome, nome.c_str(), nome.size() + 1);
    posti[i].stato.store(file_temp, std::memory_order_release);
    buffer = posti[i].nome;
    return i;
  }
  return -1;
}

void libera(int posto) {
  if (posto >= 0) posti[posto].stato.store(libero, std::memory_order_release);
}

void trattieni() {
  trattenuta.store(true, std::memory_order_release);
}

bool chiesta() {
  return notata.load(std::memory_order_acquire);
}

void installa() {
  ::signal(SIGXFSZ, SIG_IGN);
  for (int s : {SIGINT, SIGTERM, SIGHUP}) {
    struct sigaction prima {};
    ::sigaction(s, nullptr, &prima);
    if (prima.sa_handler == SIG_IGN) continue;  // started to ignore it (nohup): keep ignoring
    struct sigaction a {};
    a.sa_handler = all_interruzione;
    sigemptyset(&a.sa_mask);
    for (int altro : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&a.sa_mask, altro);
    ::sigaction(s, &a, nullptr);
  }
}

}  // namespace interruzione
