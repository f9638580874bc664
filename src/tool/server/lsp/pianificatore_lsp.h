// When a pair is compiled again. Every change marks its pair; the compile
// thread takes the newest texts of a marked pair, and changes that come
// while it compiles gather on the one mark, so a burst of typing is one
// compile more, not one a keystroke. The diagnostics of both files are
// published only when no text changed during the compile: one that did
// marks the pair again, so the latest change wins.
#pragma once
#include <condition_variable>
#include <mutex>
#include <set>
#include <string>

#include "tool/server/lsp/coppia_lsp.h"
#include "tool/server/lsp/documenti_lsp.h"
#include "tool/server/lsp/mittente_lsp.h"

namespace lsp {

class pianificatore {
 public:
  pianificatore(const documenti& d, mittente& m) : d_(d), m_(m) {}

  void segna(const std::string& uri);
  // For the compile thread: waits for a marked pair (false once `chiudi`),
  // compiles it and publishes; returns after one pair.
  bool compila_prossima();
  // Compiles every marked pair now, on this thread (tests, the fuzzer).
  void compila_segnate();
  void chiudi();

 private:
  void compila(const coppia& c);

  const documenti& d_;
  mittente& m_;
  std::mutex mutex_;
  std::condition_variable cv_;
  std::set<coppia> segnate_;
  bool chiuso_ = false;
};

}  // namespace lsp
