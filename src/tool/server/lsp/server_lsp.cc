// The server's dispatch: the life cycle, the documents and the requests that
// answer from a document's text.
#include "tool/server/lsp/server_lsp.h"

#include <nlohmann/json.hpp>

#include "tool/server/lsp/json_lsp.h"
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
constexpr int kServerNotInitialized = -32002;

json capacita() {
  return {{"positionEncoding", "utf-16"},
          {"textDocumentSync", {{"openClose", true}, {"change", 2}, {"save", false}}},
          {"hoverProvider", true},
          {"documentSymbolProvider", true},
          {"completionProvider", {{"triggerCharacters", json::array({"["})}}},
          {"documentFormattingProvider", true},
          {"executeCommandProvider", {{"commands", json::array({"scenario.anteprima"})}}}};
}

json intervallo(int riga, size_t da, int riga_fine, size_t a) {
  return {{"start", posizione_json(riga, static_cast<int64_t>(da))},
          {"end", posizione_json(riga_fine, static_cast<int64_t>(a))}};
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

void server::tratta(std::string_view testo) {
  std::string corpo(testo);
  json m;
  const esito_json e = leggi_json(corpo, m);
  if (e == esito_json::non_json)
    return errore("null", kParseError, "messaggio che non è JSON valido");
  if (e == esito_json::troppo_annidato) {
    const json* id = m.is_object() && m.contains("id") ? &m["id"] : nullptr;
    return errore(
        id && (id->is_number_integer() || id->is_string()) ? scrivi_json(*id) : "null",
        kInvalidRequest,
        "messaggio annidato oltre " + std::to_string(kProfonditaMassima) + " livelli: scartato");
  }
  // A client's answer to a request of the server's.
  if (m.is_object() && !m.contains("method") && (m.contains("result") || m.contains("error"))) {
    if (m.contains("id")) risposta(m);
    return;
  }
  richiesta r;
  if (m.is_object() && m.contains("id")) {
    r.id = std::move(m["id"]);
    if (!r.id.is_number_integer() && !r.id.is_string())
      return errore("null", kInvalidRequest, "id che non è né un numero intero né un testo");
    r.ha_id = true;
  }
  if (!m.is_object() || !m.contains("method") || !m["method"].is_string())
    return errore(r.ha_id ? scrivi_json(r.id) : "null", kInvalidRequest, "richiesta senza metodo");
  r.metodo = m["method"].get<std::string>();
  if (m.contains("params")) r.parametri = std::move(m["params"]);
  std::string perche;
  try {
    metodo(r);
  } catch (const parametri_errati& e) {
    perche = std::string("parametri non validi: ") + e.what();
  } catch (const std::exception&) {
    // The library's own words name its internals: the method is named instead.
    perche = "parametri non validi per " + r.metodo;
  }
  if (perche.empty()) return;
  if (r.ha_id) return errore(scrivi_json(r.id), kInvalidParams, perche);
  // A notification has no answer: a change dropped would leave the server's
  // text out of step with the editor's unseen.
  notifica(
      "window/showMessage",
      scrivi_json(json{{"type", 1}, {"message", "Notifica " + r.metodo + " scartata, " + perche}}));
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
          r, scrivi_json(
                 json{{"capabilities", capacita()},
                      {"serverInfo", {{"name", "scenario"}, {"version", COMPATTATORE_VERSIONE}}}}));
    }
    if (r.ha_id)
      errore(scrivi_json(r.id), kServerNotInitialized, "il server non è ancora inizializzato");
    return;
  }
  if (spento_) {
    if (r.ha_id)
      errore(scrivi_json(r.id), kInvalidRequest, "il server è già stato spento (shutdown)");
    return;
  }
  if (m == "initialize") return errore(scrivi_json(r.id), kInvalidRequest, "initialize ripetuto");
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
  if (m == "workspace/executeCommand") return esegui_comando(r);
  // Notifications the server has no use for are dropped, as the protocol asks.
  if (r.ha_id) errore(scrivi_json(r.id), kMethodNotFound, "metodo sconosciuto: " + m);
}

void server::rispondi(const richiesta& r, const std::string& risultato) {
  if (r.ha_id)
    manda_("{\"jsonrpc\":\"2.0\",\"id\":" + scrivi_json(r.id) + ",\"result\":" + risultato + "}");
}

void server::errore(const std::string& id, int codice, const std::string& messaggio) {
  manda_("{\"jsonrpc\":\"2.0\",\"id\":" + id +
         ",\"error\":" + scrivi_json(json{{"code", codice}, {"message", messaggio}}) + "}");
}

void server::notifica(const std::string& metodo, const std::string& parametri) {
  manda_("{\"jsonrpc\":\"2.0\",\"method\":" + scrivi_json(metodo) + ",\"params\":" + parametri +
         "}");
}

void server::guasto(const std::string& perche) {
  notifica("window/logMessage", scrivi_json(json{{"type", 1}, {"message", perche}}));
}

void server::apri(const richiesta& r) {
  const json& d = campo(r.parametri, "textDocument");
  documento doc;
  doc.uri = testo_campo(d, "uri");
  doc.testo = testo_campo(d, "text");
  doc.versione = d.value("version", 0LL);
  doc.linea = e_linea(doc.uri, d.value("languageId", std::string()));
  {
    std::lock_guard<std::mutex> l(mutex_);
    documenti_[doc.uri] = std::move(doc);
  }
  ricalcola_coppie();  // a new partner for the others in its folder, maybe
  segna(testo_campo(d, "uri"));
}

void server::cambia(const richiesta& r) {
  const json& d = campo(r.parametri, "textDocument");
  const std::string uri = testo_campo(d, "uri");
  {
    std::lock_guard<std::mutex> l(mutex_);
    auto i = documenti_.find(uri);
    if (i == documenti_.end()) return;  // never opened: nothing to change
    std::string testo = i->second.testo;
    const json& cambi = campo(r.parametri, "contentChanges");
    if (!cambi.is_array()) throw parametri_errati("«contentChanges» deve essere una lista");
    for (const json& c : cambi) {
      const std::string nuovo = testo_campo(c, "text");
      if (!c.contains("range")) {
        testo = nuovo;
        continue;
      }
      const json& a = campo(campo(c, "range"), "start");
      const json& b = campo(campo(c, "range"), "end");
      size_t da = offset_di(testo, posizione_campo(a, "line"), posizione_campo(a, "character"));
      size_t fino = offset_di(testo, posizione_campo(b, "line"), posizione_campo(b, "character"));
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
  const std::string uri = uri_documento(r.parametri);
  {
    std::lock_guard<std::mutex> l(mutex_);
    if (!documenti_.erase(uri)) return;
  }
  ricalcola_coppie();
  ferma_anteprime_chiuse(uri);
  notifica("textDocument/publishDiagnostics",
           scrivi_json(json{{"uri", uri}, {"diagnostics", json::array()}}));
  segna(uri);  // its partner, if open, now reads it from the disk
}

void server::descrivi(const richiesta& r) {
  const std::string uri = uri_documento(r.parametri);
  const json& p = campo(r.parametri, "position");
  const int64_t riga = posizione_campo(p, "line"), colonna = posizione_campo(p, "character");
  bool aperto = false;
  const std::string t = a_1252(testo_aperto(uri, aperto));
  if (!aperto) return rispondi(r, "null");
  const bool linea = e_linea_aperta(uri);
  const auto voci = leggi_voci(t, linea ? formato::sorgente::linea : formato::sorgente::treno);
  std::string l = t;
  if (!linea) {
    const coppia c = coppia_aperta(uri);
    l = c.uri_linea.empty() ? "" : testo_compagno(c.uri_linea);
  }
  const std::vector<regole::tratto_km> km = chilometri(l);
  const std::string m = descrizione(voci, static_cast<int>(riga), static_cast<int>(colonna), km);
  if (m.empty()) return rispondi(r, "null");
  rispondi(r, scrivi_json(json{{"contents", {{"kind", "markdown"}, {"value", m}}}}));
}

void server::simboli(const richiesta& r) {
  const std::string uri = uri_documento(r.parametri);
  bool aperto = false;
  const std::string t = a_1252(testo_aperto(uri, aperto));
  if (!aperto) return rispondi(r, "null");
  json out = json::array();
  const auto s = e_linea_aperta(uri) ? formato::sorgente::linea : formato::sorgente::treno;
  for (const simbolo& x : struttura(leggi_voci(t, s), t)) out.push_back(simbolo_json(x));
  rispondi(r, scrivi_json(out));
}

void server::completa(const richiesta& r) {
  const std::string uri = uri_documento(r.parametri);
  json out = json::array();
  const auto s = e_linea_aperta(uri) ? formato::sorgente::linea : formato::sorgente::treno;
  for (const proposta& p : proposte(s))
    out.push_back({{"label", p.etichetta},
                   {"kind", p.genere},
                   {"detail", p.dettaglio},
                   {"documentation", {{"kind", "markdown"}, {"value", p.documentazione}}},
                   {"insertText", p.inserto},
                   {"insertTextFormat", 2}});
  rispondi(r, scrivi_json(out));
}

}  // namespace lsp
