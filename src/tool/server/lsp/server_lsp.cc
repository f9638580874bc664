// The server's dispatch: the life cycle, the documents and the requests that
// answer from a document's text.
#include "tool/server/lsp/server_lsp.h"

#include <nlohmann/json.hpp>

#include "tool/server/lsp/richiesta_lsp.h"
#include "tool/server/lsp/sorgenti_lsp.h"
#include "tool/server/lsp/testo_lsp.h"
#include "tool/server/lsp/uri_lsp.h"

namespace lsp {

using json = nlohmann::json;

namespace {

constexpr int kParseError = -32700;
constexpr int kInvalidRequest = -32600;
constexpr int kMethodNotFound = -32601;
constexpr int kInvalidParams = -32602;
constexpr int kServerNotInitialized = -32002;

json capacita() {
  return {{"positionEncoding", "utf-16"},
          {"textDocumentSync", {{"openClose", true}, {"change", 2}, {"save", false}}},
          {"hoverProvider", true},
          {"documentSymbolProvider", true},
          {"completionProvider", {{"triggerCharacters", json::array({"["})}}},
          {"documentFormattingProvider", true}};
}

json posizione(int riga, size_t colonna) {
  return {{"line", riga}, {"character", colonna}};
}

json intervallo(int riga, size_t da, int riga_fine, size_t a) {
  return {{"start", posizione(riga, da)}, {"end", posizione(riga_fine, a)}};
}

json simbolo_json(const simbolo& s) {
  json j = {{"name", s.nome.empty() ? "?" : s.nome},
            {"detail", s.dettaglio},
            {"kind", s.genere},
            {"range", intervallo(s.riga, 0, s.fine, s.lunghezza)},
            {"selectionRange", intervallo(s.riga, 0, s.riga, s.lunghezza)}};
  if (!s.figli.empty()) {
    j["children"] = json::array();
    for (const simbolo& f : s.figli) j["children"].push_back(simbolo_json(f));
  }
  return j;
}

}  // namespace

void server::tratta(std::string_view corpo) {
  json m = json::parse(corpo, nullptr, false);
  if (m.is_discarded()) return errore("null", kParseError, "messaggio che non è JSON valido");
  // A client's answer to a request of the server's: none is ever sent.
  if (m.is_object() && !m.contains("method") && (m.contains("result") || m.contains("error")))
    return;
  richiesta r;
  if (m.is_object() && m.contains("id")) {
    r.id = m["id"];
    if (!r.id.is_number_integer() && !r.id.is_string())
      return errore("null", kInvalidRequest, "id che non è né un numero intero né un testo");
    r.ha_id = true;
  }
  if (!m.is_object() || !m.contains("method") || !m["method"].is_string())
    return errore(r.ha_id ? r.id.dump() : "null", kInvalidRequest, "richiesta senza metodo");
  r.metodo = m["method"].get<std::string>();
  if (m.contains("params")) r.parametri = m["params"];
  try {
    metodo(r);
  } catch (const std::exception& e) {
    if (r.ha_id)
      errore(r.id.dump(), kInvalidParams, std::string("parametri non validi: ") + e.what());
  }
}

void server::metodo(const richiesta& r) {
  const std::string& m = r.metodo;
  if (m == "exit") {
    finito_ = true;
    return;
  }
  if (!iniziato_) {
    if (m == "initialize") {
      iniziato_ = true;
      return rispondi(
          r, json{{"capabilities", capacita()},
                  {"serverInfo", {{"name", "scenario"}, {"version", COMPATTATORE_VERSIONE}}}}
                 .dump());
    }
    if (r.ha_id) errore(r.id.dump(), kServerNotInitialized, "il server non è ancora inizializzato");
    return;
  }
  if (spento_) {
    if (r.ha_id) errore(r.id.dump(), kInvalidRequest, "il server è già stato spento (shutdown)");
    return;
  }
  if (m == "initialize") return errore(r.id.dump(), kInvalidRequest, "initialize ripetuto");
  if (m == "shutdown") {
    spento_ = true;
    return rispondi(r, "null");
  }
  if (m == "textDocument/didOpen") return apri(r);
  if (m == "textDocument/didChange") return cambia(r);
  if (m == "textDocument/didClose") return chiudi_documento(r);
  if (m == "textDocument/hover") return descrivi(r);
  if (m == "textDocument/documentSymbol") return simboli(r);
  if (m == "textDocument/completion") return completa(r);
  if (m == "textDocument/formatting") return formatta(r);
  // Notifications the server has no use for are dropped, as the protocol asks.
  if (r.ha_id) errore(r.id.dump(), kMethodNotFound, "metodo sconosciuto: " + m);
}

void server::rispondi(const richiesta& r, const std::string& risultato) {
  if (r.ha_id)
    manda_("{\"jsonrpc\":\"2.0\",\"id\":" + r.id.dump() + ",\"result\":" + risultato + "}");
}

void server::errore(const std::string& id, int codice, const std::string& messaggio) {
  manda_("{\"jsonrpc\":\"2.0\",\"id\":" + id +
         ",\"error\":" + json{{"code", codice}, {"message", messaggio}}.dump() + "}");
}

void server::notifica(const std::string& metodo, const std::string& parametri) {
  manda_("{\"jsonrpc\":\"2.0\",\"method\":" + json(metodo).dump() + ",\"params\":" + parametri +
         "}");
}

void server::guasto(const std::string& perche) {
  notifica("window/logMessage", json{{"type", 1}, {"message", perche}}.dump());
}

void server::apri(const richiesta& r) {
  const json& d = r.parametri.at("textDocument");
  documento doc;
  doc.uri = d.at("uri").get<std::string>();
  doc.testo = d.at("text").get<std::string>();
  doc.versione = d.value("version", 0LL);
  doc.linea = e_linea(doc.uri, d.value("languageId", std::string()));
  {
    std::lock_guard<std::mutex> l(mutex_);
    documenti_[doc.uri] = std::move(doc);
  }
  ricalcola_coppie();  // a new partner for the others in its folder, maybe
  segna(d.at("uri").get<std::string>());
}

void server::cambia(const richiesta& r) {
  const json& d = r.parametri.at("textDocument");
  const std::string uri = d.at("uri").get<std::string>();
  {
    std::lock_guard<std::mutex> l(mutex_);
    auto i = documenti_.find(uri);
    if (i == documenti_.end()) return;  // never opened: nothing to change
    std::string testo = i->second.testo;
    for (const json& c : r.parametri.at("contentChanges")) {
      const std::string nuovo = c.at("text").get<std::string>();
      if (!c.contains("range")) {
        testo = nuovo;
        continue;
      }
      const json& a = c.at("range").at("start");
      const json& b = c.at("range").at("end");
      size_t da = offset_di(testo, a.at("line").get<long>(), a.at("character").get<long>());
      size_t fino = offset_di(testo, b.at("line").get<long>(), b.at("character").get<long>());
      if (fino < da) std::swap(da, fino);
      testo.replace(da, fino - da, nuovo);
    }
    // Applied whole or not at all: a bad change in the list keeps the text.
    i->second.testo = std::move(testo);
    i->second.versione = d.value("version", i->second.versione + 1);
  }
  segna(uri);
}

void server::chiudi_documento(const richiesta& r) {
  const std::string uri = r.parametri.at("textDocument").at("uri").get<std::string>();
  {
    std::lock_guard<std::mutex> l(mutex_);
    if (!documenti_.erase(uri)) return;
  }
  ricalcola_coppie();
  notifica("textDocument/publishDiagnostics",
           json{{"uri", uri}, {"diagnostics", json::array()}}.dump());
  segna(uri);  // its partner, if open, now reads it from the disk
}

void server::descrivi(const richiesta& r) {
  const std::string uri = r.parametri.at("textDocument").at("uri").get<std::string>();
  const json& p = r.parametri.at("position");
  bool aperto = false;
  const std::string t = a_1252(testo_di(uri, aperto));
  if (!aperto) return rispondi(r, "null");
  const bool linea = e_linea_aperta(uri);
  const auto voci = leggi_voci(t, linea ? formato::sorgente::linea : formato::sorgente::treno);
  std::string l = t;
  if (!linea) {
    const coppia c = coppia_aperta(uri);
    bool a2 = false;
    l = c.uri_linea.empty() ? "" : a_1252(testo_di(c.uri_linea, a2));
  }
  const std::vector<regole::tratto_km> km = chilometri(l);
  const std::string m =
      descrizione(voci, p.at("line").get<int>(), p.at("character").get<int>(), km);
  if (m.empty()) return rispondi(r, "null");
  rispondi(r, json{{"contents", {{"kind", "markdown"}, {"value", m}}}}.dump());
}

void server::simboli(const richiesta& r) {
  const std::string uri = r.parametri.at("textDocument").at("uri").get<std::string>();
  bool aperto = false;
  const std::string t = a_1252(testo_di(uri, aperto));
  if (!aperto) return rispondi(r, "null");
  json out = json::array();
  const auto s = e_linea_aperta(uri) ? formato::sorgente::linea : formato::sorgente::treno;
  for (const simbolo& x : struttura(leggi_voci(t, s), t)) out.push_back(simbolo_json(x));
  rispondi(r, out.dump());
}

void server::completa(const richiesta& r) {
  const std::string uri = r.parametri.at("textDocument").at("uri").get<std::string>();
  json out = json::array();
  const auto s = e_linea_aperta(uri) ? formato::sorgente::linea : formato::sorgente::treno;
  for (const proposta& p : proposte(s))
    out.push_back({{"label", p.etichetta},
                   {"kind", p.genere},
                   {"detail", p.dettaglio},
                   {"documentation", {{"kind", "markdown"}, {"value", p.documentazione}}},
                   {"insertText", p.inserto},
                   {"insertTextFormat", 2}});
  rispondi(r, out.dump());
}

}  // namespace lsp
