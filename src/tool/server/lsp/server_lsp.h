// The language server apart from the channel and the threads that run it (so
// that tests and the fuzzer drive it directly): the dispatch of the
// protocol's methods to their handlers, over the documents' store, the
// scheduler of the compiles, the answers about a document and the previews.
#pragma once
#include <cstdint>
#include <nlohmann/json_fwd.hpp>
#include <string>
#include <string_view>

#include "tool/comune/guasto.h"
#include "tool/server/lsp/anteprime_lsp.h"
#include "tool/server/lsp/documenti_lsp.h"
#include "tool/server/lsp/mittente_lsp.h"
#include "tool/server/lsp/pianificatore_lsp.h"

namespace lsp {

class server {
 public:
  using invio = mittente::invio;
  explicit server(invio manda);

 private:
  // Declared first: built before what sends, stores and starts, gone after.
  mittente posta_;
  documenti documenti_;
  pianificatore pianificatore_;
  anteprime anteprime_;

 public:
  // false: partners are looked for among open documents only (the fuzzer).
  bool& disco = documenti_.disco;
  // true: a change compiles its pair before tratta() returns (tests, fuzzer).
  bool sincrono = false;
  // The port the previews listen on: 0, one the system gives (a test names
  // a taken one to see a preview fail to start).
  uint16_t& porta_anteprime = anteprime_.porta;

  // Handles one message body.
  void tratta(std::string_view corpo);
  // A framing fault of the channel, to report to the client's log.
  void guasto_cornice(const std::string& perche);
  // Whether `exit` came, and the status it asks for.
  bool finito() const { return finito_; }
  int stato() const { return spento_ ? 0 : 1; }

  // For the compile thread: waits for a marked pair (false once `chiudi`),
  // compiles it and publishes; returns after one pair.
  bool compila_prossima() { return pianificatore_.compila_prossima(); }
  // Stops the previews, then the compile thread's waiting.
  void chiudi();
  // Once closed: whether a preview left a compile under way.
  bool compilazioni_lasciate() const { return anteprime_.lasciate(); }

 private:
  struct richiesta;
  riuscita metodo(const richiesta& r);
  riuscita inizia(const richiesta& r);
  riuscita apri(const richiesta& r);
  riuscita cambia(const richiesta& r);
  riuscita chiudi_documento(const richiesta& r);
  riuscita descrivi(const richiesta& r);
  riuscita simboli(const richiesta& r);
  riuscita completa(const richiesta& r);
  riuscita formatta(const richiesta& r);
  riuscita esegui_comando(const richiesta& r);
  // The answer to a request (none to a notification).
  riuscita rispondi(const richiesta& r, const nlohmann::json& risultato);
  // A document changed, opened or closed: its pair compiled again, its previews told.
  void segna(const std::string& uri);

  bool iniziato_ = false, spento_ = false, finito_ = false;
};

}  // namespace lsp
