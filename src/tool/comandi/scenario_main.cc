// scenario: the authors' tool around the compiler.
#include "platform/processo.h"
#include "tool/comandi/comandi.h"

int main(int argc, char** argv) {
  processo::prepara();
  return esegui_scenario(processo::argomenti(argc, argv));
}
