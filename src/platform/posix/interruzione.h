// What an interruption of the program cleans up: the temporary files alive
// at that moment. The names sit in fixed slots, so the
// signal handler reads them without allocating or locking.
#pragma once
#include <string>

namespace interruzione {

// Takes a slot for the file `nome` and returns its number, -1 when the slots
// are full or the name too long (it is then left behind if the program is
// interrupted, for a later run to remove). `buffer` is the slot's own copy of
// the name, which mkstemp may complete in place.
int registra(const std::string& nome, char*& buffer);
void libera(int posto);
// The handlers of SIGINT, SIGTERM and SIGHUP; SIGXFSZ ignored.
void installa();

}  // namespace interruzione
