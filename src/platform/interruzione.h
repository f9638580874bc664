// An interruption (Ctrl-C, kill, a closed terminal) asked of a program that
// ends by itself, such as a server, so that it ends cleanly.
#pragma once

namespace interruzione {

// From now on the first interruption is only noted, for chiesta() to see; a
// second one ends the program as an interruption always does.
void trattieni();
// Whether an interruption has been noted since trattieni().
bool chiesta();

}  // namespace interruzione
