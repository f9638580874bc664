// One preview of a pair inside the language server: its page reads the
// editor's buffers, and the edits it asks for go back to the editor as
// workspace/applyEdit, so that they are the editor's own (its undo, its
// save). Each holds a port, two threads and a compile of its own.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <thread>

#include "tool/comune/guasto.h"
#include "tool/server/anteprima/servizio.h"
#include "tool/server/lsp/coppia_lsp.h"
#include "tool/server/lsp/documenti_lsp.h"
#include "tool/server/lsp/mittente_lsp.h"

namespace lsp {

class anteprima {
 public:
  anteprima(const documenti& d, mittente& m, coppia c, uint16_t porta)
      : d_(d), m_(m), c_(std::move(c)), porta_(porta) {}
  ~anteprima() {
    chiedi_fine();
    aspetta();
  }
  anteprima(const anteprima&) = delete;
  anteprima& operator=(const anteprima&) = delete;

  // Listens, compiles once and serves on a thread of its own.
  riuscita avvia();
  // Apart, so that many previews are asked to end at once and then waited
  // for, rather than each waited for in turn.
  void chiedi_fine() {
    if (servizio_) servizio_->ferma();
  }
  void aspetta() {
    if (t_.joinable()) t_.join();
  }
  // Once waited for: whether it left a compile under way, which the program
  // must then end without waiting for.
  bool lasciata() const { return lasciata_; }
  void sveglia() { servizio_->sveglia(); }
  std::string indirizzo() const { return servizio_->indirizzo(); }
  const coppia& di() const { return c_; }

  long long chiesta = 0;  // the count of commands when it was last asked for

 private:
  const std::string& uri(int k) const { return k == 0 ? c_.uri_linea : c_.uri_treno; }
  // The page's edit, sent to the editor; answered when the editor answers.
  void applica(const modifica& m, const stato_mostrato& x, esito_modifica risposta);
  // The editor's edit of what the page was shown, or why there is none.
  esito<nlohmann::json> modifica_editor(const modifica& m, const stato_mostrato& x) const;

  const documenti& d_;
  mittente& m_;
  coppia c_;
  uint16_t porta_;
  std::unique_ptr<servizio_anteprima> servizio_;
  std::thread t_;
  bool lasciata_ = false;  // written by t_, read once it is joined
};

}  // namespace lsp
