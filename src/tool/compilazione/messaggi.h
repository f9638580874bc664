// A compile's pending code and warnings as an author reads them: where in the
// sources, and what it means.
#pragma once
#include <string>
#include <vector>

#include "tool/compilazione/compila.h"

// One message tied to a place in the sources.
struct diagnosi {
  posizione_sorgente dove;  // no file: none; line 0: the file as a whole
  std::string messaggio;    // UTF-8, without the place
};

// "FILE:LINE: errore N: meaning (posizione P m)", the source line and a caret
// under the field; "" when no code is pending. A source --utf8 could not
// convert gives "FILE:LINE: errore: ..." instead. Ends with a newline.
std::string testo_errore(const esito_compilazione& e);
// The pending code as places: its own, with its meaning and explanation,
// then the place of a note that explains it; empty when no code is pending.
std::vector<diagnosi> diagnosi_errore(const esito_compilazione& e);
// The keys "file", "riga", "colonna" and "messaggio" of the pending code where
// they are known, each after a comma; "" when no code is pending. A source
// --utf8 could not convert adds "errore", as a failure without a code does.
std::string json_errore(const esito_compilazione& e);

// The pending code at its one place: the file and line ("" and 0 when it has
// none), the message with what explains it, the line's text as UTF-8 and the
// caret under the field.
struct errore_in_riga {
  int32_t codice = 0;
  std::string file;
  int riga = 0, colonna = 0;
  std::string messaggio, testo, caret;
};
errore_in_riga errore_principale(const esito_compilazione& e);

// "FILE:LINE: avviso: ...", the source line and a caret. Ends with a newline.
std::string testo_avviso(const avviso& a);
// What `scenario check` prints: the warnings, the pending code, and the count
// with the verdict (the unreadable file's reason apart).
std::string rapporto_check(const esito_compilazione& e);
// What `scenario compile` prints of the files written in `cartella`; a pending
// code says first that they hold only what was read before it.
std::string rapporto_compile(const esito_compilazione& e, const std::string& cartella);
// {"file":...,"riga":...,"colonna":...,"messaggio":...}
std::string json_avviso(const avviso& a);
