#include "platform/processo.h"

#include "platform/posix/interruzione.h"

namespace processo {

std::vector<std::string> argomenti(int argc, char** argv) {
  return std::vector<std::string>(argv + 1, argv + argc);
}

void prepara() {
  interruzione::installa();
}

}  // namespace processo
