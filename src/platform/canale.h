// The standard input and output as a byte channel, for a server that speaks
// to its client through them: no text translation, partial reads returned as
// they come (a framed message may arrive in pieces and must not wait for more).
#pragma once
#include <cstddef>
#include <string_view>

namespace canale {

// Binary standard input and output; a client that goes away makes writes
// fail instead of ending the process.
void prepara();
// Up to n bytes from standard input, as soon as some are there: their number,
// 0 at the end of the input, -1 on an error.
long leggi(char* dove, size_t n);
// All of the bytes to standard output; false when the output is gone.
bool scrivi(std::string_view dati);

}  // namespace canale
