// The handlers of the methods: each reads its parameters and hands them to
// the store, the scheduler, the answers about a document or the previews; a
// parameter that is not there is the request's failure.
#include <nlohmann/json.hpp>
#include <optional>
#include <vector>

#include "tool/server/lsp/json_lsp.h"
#include "tool/server/lsp/richiesta_lsp.h"
#include "tool/server/lsp/risposte_lsp.h"
#include "tool/server/lsp/server_lsp.h"
#include "tool/server/lsp/uri_lsp.h"

namespace lsp {

using json = nlohmann::json;

namespace {

// {"line":..., "character":...} of a range's end `estremo`.
riuscita punto(const json& intervallo, const char* estremo, int64_t& riga, int64_t& carattere) {
  const esito<const json*> p = campo(intervallo, estremo);
  if (!p) return p.errore();
  const esito<int64_t> r = posizione_campo(**p, "line");
  if (!r) return r.errore();
  const esito<int64_t> c = posizione_campo(**p, "character");
  if (!c) return c.errore();
  riga = *r;
  carattere = *c;
  return fatto{};
}

esito<cambio> cambio_di(const json& c) {
  cambio x;
  const esito<std::string> testo = testo_campo(c, "text");
  if (!testo) return testo.errore();
  x.testo = *testo;
  x.intero = !ha_campo(c, "range");
  if (x.intero) return x;
  const json& r = c["range"];
  if (const riuscita a = punto(r, "start", x.riga_da, x.carattere_da); !a) return a.errore();
  if (const riuscita b = punto(r, "end", x.riga_a, x.carattere_a); !b) return b.errore();
  return x;
}

// Every change of the list, or the first that cannot be read: the text is
// changed whole or not at all.
esito<std::vector<cambio>> cambi_di(const json& parametri) {
  const esito<const json*> lista = campo(parametri, "contentChanges");
  if (!lista) return lista.errore();
  if (!(*lista)->is_array()) return parametro_errato("«contentChanges» deve essere una lista");
  std::vector<cambio> out;
  for (const json& c : **lista) {
    esito<cambio> x = cambio_di(c);
    if (!x) return x.errore();
    out.push_back(std::move(*x));
  }
  return out;
}

// The document's version, when it gives one.
esito<std::optional<long long>> versione_di(const json& d) {
  if (!ha_campo(d, "version")) return std::optional<long long>();
  const esito<long long> v = intero_campo(d, "version");
  if (!v) return v.errore();
  return std::optional<long long>(*v);
}

}  // namespace

riuscita server::apri(const richiesta& r) {
  const esito<const json*> d = campo(r.parametri, "textDocument");
  if (!d) return d.errore();
  documento doc;
  const esito<std::string> uri = testo_campo(**d, "uri"), testo = testo_campo(**d, "text");
  if (!uri) return uri.errore();
  if (!testo) return testo.errore();
  const esito<std::optional<long long>> versione = versione_di(**d);
  if (!versione) return versione.errore();
  std::string lingua;
  if (ha_campo(**d, "languageId")) {
    const esito<std::string> l = testo_campo(**d, "languageId");
    if (!l) return l.errore();
    lingua = *l;
  }
  doc.uri = *uri;
  doc.testo = *testo;
  doc.versione = versione->value_or(0);
  doc.linea = e_linea(doc.uri, lingua);
  documenti_.apri(std::move(doc));
  segna(*uri);
  return fatto{};
}

riuscita server::cambia(const richiesta& r) {
  const esito<const json*> d = campo(r.parametri, "textDocument");
  if (!d) return d.errore();
  const esito<std::string> uri = testo_campo(**d, "uri");
  if (!uri) return uri.errore();
  if (!documenti_.e_aperto(*uri)) return fatto{};  // never opened: nothing to change
  const esito<std::vector<cambio>> cambi = cambi_di(r.parametri);
  if (!cambi) return cambi.errore();
  const esito<std::optional<long long>> versione = versione_di(**d);
  if (!versione) return versione.errore();
  if (documenti_.cambia(*uri, *cambi, *versione)) segna(*uri);
  return fatto{};
}

riuscita server::chiudi_documento(const richiesta& r) {
  const esito<std::string> uri = uri_documento(r.parametri);
  if (!uri) return uri.errore();
  if (!documenti_.chiudi(*uri)) return fatto{};
  anteprime_.chiuso(*uri);
  posta_.notifica("textDocument/publishDiagnostics",
                  {{"uri", *uri}, {"diagnostics", json::array()}});
  segna(*uri);  // its partner, if open, now reads it from the disk
  return fatto{};
}

riuscita server::descrivi(const richiesta& r) {
  const esito<std::string> uri = uri_documento(r.parametri);
  if (!uri) return uri.errore();
  const esito<const json*> p = campo(r.parametri, "position");
  if (!p) return p.errore();
  const esito<int64_t> riga = posizione_campo(**p, "line");
  if (!riga) return riga.errore();
  const esito<int64_t> carattere = posizione_campo(**p, "character");
  if (!carattere) return carattere.errore();
  return rispondi(r, risposta_descrizione(documenti_, *uri, *riga, *carattere));
}

riuscita server::simboli(const richiesta& r) {
  const esito<std::string> uri = uri_documento(r.parametri);
  if (!uri) return uri.errore();
  return rispondi(r, risposta_struttura(documenti_, *uri));
}

riuscita server::completa(const richiesta& r) {
  const esito<std::string> uri = uri_documento(r.parametri);
  if (!uri) return uri.errore();
  return rispondi(r, risposta_completamento(documenti_, *uri));
}

riuscita server::formatta(const richiesta& r) {
  const esito<std::string> uri = uri_documento(r.parametri);
  if (!uri) return uri.errore();
  const esito<json> e = risposta_formattazione(documenti_, *uri);
  if (e) return rispondi(r, *e);
  // Not made: the editor is told why, and the answer is no edit.
  posta_.mostra(gravita_messaggio::avviso, "Formattazione non fatta: " + e.errore().messaggio());
  return rispondi(r, json::array());
}

riuscita server::esegui_comando(const richiesta& r) {
  return anteprime_.comando(r.parametri, [&](const json& x) { rispondi(r, x); });
}

}  // namespace lsp
