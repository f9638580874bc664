// The preview server's reading of a request, from the fuzzer's bytes: the
// same parser and bounds as a connection, then the checks of Host, key,
// method and route. What must hold: nothing ends the reading, every answer
// is one the server gives, and only a request with the key and this
// server's Host is ever served.
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "tool/server/anteprima/richiesta_http.h"
#include "tool/server/anteprima/server_http.h"

namespace {

[[noreturn]] void guasto(const char* perche, std::string_view byte) {
  std::fprintf(stderr, "\n*** http_fuzz: %s: %.200s\n", perche, std::string(byte).c_str());
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* dati, size_t n) {
  static const regole_http kRegole{"00ff17", "127.0.0.1:8080", "localhost:8080"};
  const std::string_view byte(reinterpret_cast<const char*>(dati), n);
  const esame_http e = esamina_byte(byte, kRegole);
  switch (e.stato) {
    case 0:
    case 400:
    case 403:
    case 413:
    case 431:
      break;
    case 200:
    case 404:
    case 405:
      if (!e.chiave) guasto("servita senza la chiave", byte);
      if (byte.find("00ff17") == std::string_view::npos) guasto("chiave mai scritta", byte);
      break;
    default:
      guasto("risposta che il server non dà", byte);
  }
  if (e.stato == 200) {
    std::string minuscolo(byte);
    for (char& c : minuscolo) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (minuscolo.find("127.0.0.1:8080") == std::string::npos &&
        minuscolo.find("localhost:8080") == std::string::npos)
      guasto("servita a un altro host", byte);
  }
  return 0;
}
