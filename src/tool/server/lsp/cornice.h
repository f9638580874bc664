// The protocol's framing: a header block ("Content-Length: N", CR LF, maybe
// other fields, an empty line) and N bytes of JSON. The bytes come in pieces
// and from anyone: a header without a usable length, or with one past the
// limit, is reported and skipped, and reading goes on at the next header
// found, so no mistake of the client ends the server.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "tool/compilazione/compila.h"

namespace lsp {

// A message holds one source at most, and a little more.
constexpr size_t kMessaggioMassimo = kSorgenteMassimo;
constexpr size_t kTestataMassima = 8192;

class cornice {
 public:
  void aggiungi(std::string_view byte);
  // The next whole message body, or the next framing fault (Italian text in
  // `guasto`, `corpo` empty); false when more bytes are needed.
  bool prossimo(std::string& corpo, std::string& guasto);

 private:
  std::string buf_;
  size_t pos_ = 0;
  size_t atteso_ = 0;  // the body's length once its header is read
  bool in_corpo_ = false;
};

// A body with its header.
std::string incornicia(std::string_view corpo);

}  // namespace lsp
