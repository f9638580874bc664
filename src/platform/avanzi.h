// What a run killed outright (kill -9, "End task", a power cut) leaves: the
// named temporary files of its replacements. Their names carry the owner's
// process number, so that a later run can tell them from those of a run
// still going, and remove them before it writes.
#pragma once
#include <string>
#include <string_view>

namespace avanzi {

// The start of every temporary name this process gives a replacement of
// `nome`: nome + ".tmp-" + process number + "-"; six letters or digits
// follow it.
std::string prefisso(const std::string& nome);

// The start of the names that may hold, for a moment, a file that is not
// this process's own (a replacement over given bytes moves the target aside
// or exchanges it): nome + ".conservato-" + process number + "-". No run
// removes them: left by a run killed at that moment, they hold what another
// program saved.
std::string prefisso_conservato(const std::string& nome);

// The owner's process number when `voce` (a name in the folder of the file
// `base`) is one of `base`'s temporary names.
bool proprietario(std::string_view voce, std::string_view base, unsigned long& numero);

// Removes, from the folder of `nome`, the temporary files of `nome` whose
// owner no longer runs (never this process's, never those of a live run).
// A file that cannot be removed stays for a later run; nothing fails here.
// The folder is read once per run: returns whether `nome` was in it then.
bool rimuovi_morti(const std::string& nome);

}  // namespace avanzi
