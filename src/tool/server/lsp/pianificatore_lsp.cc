#include "tool/server/lsp/pianificatore_lsp.h"

#include "tool/server/lsp/diagnosi_lsp.h"

namespace lsp {

using json = nlohmann::json;

void pianificatore::segna(const std::string& uri) {
  coppia c = d_.coppia_di(uri);
  if (c.linea.empty()) {
    // No folder or no name of the scheme: only the characters can be checked.
    c.uri_linea = d_.e_linea(uri) ? uri : "";
    c.uri_treno = c.uri_linea.empty() ? uri : "";
  }
  {
    std::lock_guard<std::mutex> l(mutex_);
    segnate_.insert(c);
  }
  cv_.notify_one();
}

bool pianificatore::compila_prossima() {
  coppia c;
  {
    std::unique_lock<std::mutex> l(mutex_);
    cv_.wait(l, [this] { return chiuso_ || !segnate_.empty(); });
    if (segnate_.empty()) return false;
    c = *segnate_.begin();
    segnate_.erase(segnate_.begin());
  }
  compila(c);
  return true;
}

void pianificatore::compila_segnate() {
  for (;;) {
    {
      std::lock_guard<std::mutex> l(mutex_);
      if (segnate_.empty()) return;
    }
    compila_prossima();
  }
}

void pianificatore::chiudi() {
  {
    std::lock_guard<std::mutex> l(mutex_);
    chiuso_ = true;
  }
  cv_.notify_all();
}

void pianificatore::compila(const coppia& c) {
  const esito<istantanea> l = d_.sorgente(c.uri_linea);
  const esito<istantanea> t = d_.sorgente(c.uri_treno);
  const std::map<std::string, json> d = diagnosi_coppia(c, l, t, d_.disco);
  if (!d_.come_presa(c.uri_linea, l) || !d_.come_presa(c.uri_treno, t)) {
    {
      std::lock_guard<std::mutex> g(mutex_);
      segnate_.insert(c);
    }
    cv_.notify_one();
    return;
  }
  for (const auto& [uri, lista] : d)
    m_.notifica("textDocument/publishDiagnostics", {{"uri", uri}, {"diagnostics", lista}});
}

}  // namespace lsp
