// The dispatch: each message of the client to its handler, the life cycle,
// and every failure a handler returns turned once into the protocol's error
// (a request's) or shown to the author (a notification's, which has no answer).
#include "tool/server/lsp/server_lsp.h"

#include <map>
#include <new>
#include <nlohmann/json.hpp>

#include "platform/file.h"
#include "tool/server/lsp/json_lsp.h"
#include "tool/server/lsp/richiesta_lsp.h"

namespace lsp {

using json = nlohmann::json;

namespace {

json capacita() {
  return {{"positionEncoding", "utf-16"},
          {"textDocumentSync", {{"openClose", true}, {"change", 2}, {"save", false}}},
          {"hoverProvider", true},
          {"documentSymbolProvider", true},
          {"completionProvider", {{"triggerCharacters", json::array({"["})}}},
          {"documentFormattingProvider", true},
          {"executeCommandProvider", {{"commands", json::array({"scenario.anteprima"})}}}};
}

// The id of a message to answer a refusal with: null when it has none usable.
json id_di(const json& m) {
  if (!m.is_object()) return nullptr;
  const auto i = m.find("id");
  return i != m.end() && (i->is_number_integer() || i->is_string()) ? *i : json(nullptr);
}

guasto irregolare(const std::string& perche) {
  return guasto_di(genere_guasto::irregolare, perche);
}

}  // namespace

server::server(invio manda)
    : posta_(std::move(manda)),
      pianificatore_(documenti_, posta_),
      anteprime_(documenti_, posta_) {}

void server::tratta(std::string_view testo) {
  std::string corpo(testo);
  json m;
  if (const riuscita letto = leggi_json(corpo, m); !letto)
    return posta_.errore(id_di(m), letto.errore());
  // A client's answer to a request of the server's.
  if (m.is_object() && !m.contains("method") && (m.contains("result") || m.contains("error"))) {
    if (m.contains("id")) posta_.risposta(m);
    return;
  }
  richiesta r;
  if (m.is_object() && m.contains("id")) {
    r.id = std::move(m["id"]);
    if (!r.id.is_number_integer() && !r.id.is_string())
      return posta_.errore(nullptr, irregolare("id che non è né un numero intero né un testo"));
    r.ha_id = true;
  }
  if (!m.is_object() || !m.contains("method") || !m["method"].is_string())
    return posta_.errore(r.id, irregolare("richiesta senza metodo"));
  r.metodo = m["method"].get<std::string>();
  if (m.contains("params")) r.parametri = std::move(m["params"]);
  riuscita e = fatto{};
  try {
    e = metodo(r);
  } catch (const file::errore_io& x) {
    e = guasto_di(genere_guasto::io, x.what());
  } catch (const std::bad_alloc&) {
    e = guasto_di(genere_guasto::memoria, "memoria esaurita per " + r.metodo);
  } catch (const std::exception&) {
    // The library's own words name its internals: the method is named instead.
    e = guasto_di(genere_guasto::uso, "parametri non validi per " + r.metodo);
  }
  if (e) return;
  if (r.ha_id) return posta_.errore(r.id, e.errore());
  // A notification has no answer: a change dropped would leave the server's
  // text out of step with the editor's unseen.
  posta_.mostra(gravita_messaggio::errore,
                "Notifica " + r.metodo + " scartata, " + e.errore().messaggio());
}

riuscita server::metodo(const richiesta& r) {
  using gestore = riuscita (server::*)(const richiesta&);
  static const std::map<std::string_view, gestore> kGestori = {
      {"textDocument/didOpen", &server::apri},
      {"textDocument/didChange", &server::cambia},
      {"textDocument/didClose", &server::chiudi_documento},
      {"textDocument/hover", &server::descrivi},
      {"textDocument/documentSymbol", &server::simboli},
      {"textDocument/completion", &server::completa},
      {"textDocument/formatting", &server::formatta},
      {"workspace/executeCommand", &server::esegui_comando},
  };
  const std::string& m = r.metodo;
  if (m == "exit") {
    finito_ = true;
    return fatto{};
  }
  if (!iniziato_ || spento_ || m == "initialize" || m == "shutdown") {
    const riuscita e = inizia(r);
    // Out of its turn a notification is dropped, as the protocol asks.
    return r.ha_id ? e : riuscita(fatto{});
  }
  const auto g = kGestori.find(m);
  if (g != kGestori.end()) return (this->*(g->second))(r);
  // Notifications the server has no use for are dropped, as the protocol asks.
  if (!r.ha_id) return fatto{};
  return guasto_di(genere_guasto::sconosciuto, "metodo sconosciuto: " + m);
}

// The life cycle: initialize first, shutdown then exit.
riuscita server::inizia(const richiesta& r) {
  const std::string& m = r.metodo;
  if (!iniziato_) {
    if (m != "initialize")
      return guasto_di(genere_guasto::non_pronto, "il server non è ancora inizializzato");
    iniziato_ = true;
    return rispondi(r,
                    {{"capabilities", capacita()},
                     {"serverInfo", {{"name", "scenario"}, {"version", COMPATTATORE_VERSIONE}}}});
  }
  if (spento_) return irregolare("il server è già stato spento (shutdown)");
  if (m == "initialize") return irregolare("initialize ripetuto");
  spento_ = true;
  return rispondi(r, nullptr);
}

riuscita server::rispondi(const richiesta& r, const json& risultato) {
  if (r.ha_id) posta_.rispondi(r.id, risultato);
  return fatto{};
}

void server::guasto_cornice(const std::string& perche) {
  posta_.registra(gravita_messaggio::errore, perche);
}

void server::segna(const std::string& uri) {
  pianificatore_.segna(uri);
  anteprime_.sveglia(uri);
  if (sincrono) pianificatore_.compila_segnate();
}

void server::chiudi() {
  anteprime_.ferma_tutte();
  pianificatore_.chiudi();
}

}  // namespace lsp
