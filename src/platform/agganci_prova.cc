// The test hooks of the test builds, set by environment variables:
//   COMPATTATORE_TEST_SEGNALE=N:S  raise signal S once the Nth temporary file exists
//   COMPATTATORE_TEST_FERMA=N      stop a minute once the Nth temporary file
//                                  exists, for a test to kill the run there
//   COMPATTATORE_TEST_SENZA_SCAMBIO=1  replacements over expected bytes do
//                                  without the exchange of two names
//   COMPATTATORE_TEST_CHIUDI_MS=T  a message box presses its own OK after T ms
//   COMPATTATORE_TEST_ATTESA_MS=T  the run's window stays up T ms once drawn
#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <thread>

#include "platform/agganci.h"

namespace {

// A hook never holds a run up for longer than this.
constexpr long kAttesaMassimaMs = 60000;

// Milliseconds from a variable; 0 when unset or not a positive number.
long millisecondi(const char* nome) {
  const char* v = std::getenv(nome);
  if (!v || !*v) return 0;
  char* fine = nullptr;
  errno = 0;
  long ms = std::strtol(v, &fine, 10);
  if (errno != 0 || *fine != '\0' || ms <= 0) return 0;
  return ms < kAttesaMassimaMs ? ms : kAttesaMassimaMs;
}

// Where a test kills a run on purpose (Windows has no signal to raise).
void ferma() {
  static const char* prova = std::getenv("COMPATTATORE_TEST_FERMA");
  static std::atomic<int> contati{0};
  if (!prova || !*prova) return;
  if (contati.fetch_add(1) + 1 == std::atol(prova))
    std::this_thread::sleep_for(std::chrono::milliseconds(kAttesaMassimaMs));
}

}  // namespace

namespace agganci {

void prima_di_scrivere() {
  ferma();
  static const char* prova = std::getenv("COMPATTATORE_TEST_SEGNALE");
  static std::atomic<int> contati{0};
  if (!prova || !*prova) return;
  char* fine = nullptr;
  long n = std::strtol(prova, &fine, 10);
  if (*fine != ':') return;
  long segnale = std::strtol(fine + 1, nullptr, 10);
  if (contati.fetch_add(1) + 1 == n) std::raise(static_cast<int>(segnale));
}

// Read at each call: a test sets it for some replacements only.
bool senza_scambio() {
  const char* v = std::getenv("COMPATTATORE_TEST_SENZA_SCAMBIO");
  return v && *v == '1';
}

long chiusura_scatola_ms() {
  return millisecondi("COMPATTATORE_TEST_CHIUDI_MS");
}

long attesa_finestra_ms() {
  return millisecondi("COMPATTATORE_TEST_ATTESA_MS");
}

}  // namespace agganci
