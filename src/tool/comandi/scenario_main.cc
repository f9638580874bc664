// scenario: the authors' tool around the compiler.
#include <cstdio>
#include <new>

#include "platform/processo.h"
#include "tool/comandi/comandi.h"

int main(int argc, char** argv) {
  processo::prepara();
  // Running out of memory ends the run as a failure said in words, the
  // temporary files gone with the unwinding, not as an abort.
  try {
    return esegui_scenario(processo::argomenti(argc, argv));
  } catch (const std::bad_alloc&) {
    std::fputs("scenario: la memoria non basta per questo lavoro\n", stderr);
    return kUscitaFallita;
  }
}
