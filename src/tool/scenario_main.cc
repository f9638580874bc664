// scenario: the authors' tool around the compiler.
#include "tool/comandi.h"

int main(int argc, char** argv) { return esegui_scenario(argomenti(argv + 1, argv + argc)); }
