// The previews of the server, by pair, and the command that opens one
// (scenario.anteprima, with a document's URI). Only pairs with a source
// (open or on the disk) get one, a few at a time (the one asked for longest
// ago is stopped for a new one), and a pair's preview stops when the last
// of its documents closes. Used only by the thread that reads the client.
#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>

#include "tool/comune/guasto.h"
#include "tool/server/lsp/anteprima_lsp.h"
#include "tool/server/lsp/documenti_lsp.h"
#include "tool/server/lsp/mittente_lsp.h"

namespace lsp {

// Each preview holds a port, two threads and a compile of its own: an author
// compares a few scenarios at most.
constexpr size_t kAnteprimeMassime = 4;

class anteprime {
 public:
  anteprime(const documenti& d, mittente& m) : d_(d), m_(m) {}
  ~anteprime() { ferma_tutte(); }
  anteprime(const anteprime&) = delete;
  anteprime& operator=(const anteprime&) = delete;

  // The port they listen on: 0, one the system gives.
  uint16_t porta = 0;

  // The command: the preview of the document's pair, started unless it
  // runs; its address answered, then logged and shown by the editor.
  riuscita comando(const nlohmann::json& parametri,
                   const std::function<void(const nlohmann::json&)>& rispondi);
  void sveglia(const std::string& uri);
  // A document closed: the previews of its pairs that no open document holds stop.
  void chiuso(const std::string& uri);
  void ferma_tutte();
  // Whether a preview stopped so far left a compile under way.
  bool lasciate() const { return lasciate_; }

 private:
  using tabella = std::map<coppia, std::unique_ptr<anteprima>>;
  esito<tabella::iterator> avviata(const coppia& c);
  // Stops one, saying why in the client's log.
  void ferma(tabella::iterator i, const std::string& perche);

  const documenti& d_;
  mittente& m_;
  tabella t_;
  long long comandi_ = 0;  // counts the commands, to find the oldest
  bool lasciate_ = false;
};

}  // namespace lsp
