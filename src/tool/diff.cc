// scenario diff: what changed between two compiled versions of a scenario.
#include "tool/comandi.h"
int comando_diff(const argomenti&) {
  return 0;
}
