// The test hooks of a shipped program: none.
#include "platform/agganci.h"

namespace agganci {

void prima_di_scrivere() {}
bool senza_scambio() {
  return false;
}
long chiusura_scatola_ms() {
  return 0;
}
long attesa_finestra_ms() {
  return 0;
}

}  // namespace agganci
