// The preview inside the language server: the command that opens it, the
// buffers it compiles, and the page's edits sent to the editor.
#include <algorithm>
#include <iterator>
#include <nlohmann/json.hpp>
#include <thread>

#include "platform/file.h"
#include "platform/testo.h"
#include "tool/compilazione/compila.h"
#include "tool/server/anteprima/servizio.h"
#include "tool/server/lsp/json_lsp.h"
#include "tool/server/lsp/richiesta_lsp.h"
#include "tool/server/lsp/server_lsp.h"
#include "tool/server/lsp/testo_lsp.h"
#include "tool/server/lsp/uri_lsp.h"

namespace lsp {

using json = nlohmann::json;

namespace {

constexpr const char* kComando = "scenario.anteprima";

// The ranges and texts of an edit of lines over the editor's text (UTF-8,
// the same lines as the compile's Windows-1252 text).
json modifiche_testo(const std::string& utf8, const std::vector<righe_nuove>& righe) {
  const std::vector<riga_testo> r = righe_di(utf8);
  const riga_testo& ultima = r.back();
  // The end of the last line, in the protocol's UTF-16 units.
  const auto fine = static_cast<int64_t>(a_1252(utf8.substr(ultima.inizio)).size());
  auto dove = [&](size_t riga) {
    return riga < r.size() ? posizione_json(static_cast<int64_t>(riga), 0)
                           : posizione_json(static_cast<int64_t>(r.size() - 1), fine);
  };
  json edits = json::array();
  for (const righe_nuove& m : righe)
    edits.push_back({{"range", {{"start", dove(m.da)}, {"end", dove(m.a)}}},
                     {"newText", testo_sostituito(utf8, r, m, [](std::string_view t) {
                        return testo::da_1252(t);
                      })}});
  return edits;
}

// False when a line the edit rewrites is not, in the editor, the line the
// compile read: a character Windows-1252 lacks would be lost.
bool righe_intatte(const std::string& utf8, const std::string& cp1252,
                   const std::vector<righe_nuove>& righe, size_t& quale) {
  const std::vector<riga_testo> a = righe_di(utf8), b = righe_di(cp1252);
  if (a.size() != b.size()) return quale = 0, false;
  for (const righe_nuove& m : righe)
    for (size_t k = m.da; k < m.a && k < a.size(); ++k)
      if (utf8.compare(a[k].inizio, a[k].fine - a[k].inizio,
                       testo::da_1252(
                           std::string_view(cp1252).substr(b[k].inizio, b[k].fine - b[k].inizio))))
        return quale = k, false;
  return true;
}

}  // namespace

// One preview of a pair, served on a thread of its own.
class anteprima {
 public:
  anteprima(server& s, coppia c) : s_(s), c_(std::move(c)) {}
  ~anteprima() {
    chiedi_fine();
    aspetta();
  }

  bool avvia(std::string& motivo);
  // Apart, so that many previews are asked to end at once and then waited
  // for, rather than each waited for in turn.
  void chiedi_fine() {
    if (servizio_) servizio_->ferma();
  }
  void aspetta() {
    if (t_.joinable()) t_.join();
  }
  void sveglia() { servizio_->sveglia(); }
  std::string indirizzo() const { return servizio_->indirizzo(); }
  // The page's edit, sent to the editor; answered when the editor answers.
  void applica(const modifica& m, const stato_mostrato& x, esito_modifica fatto);

  long long chiesta = 0;  // the server's count of commands when it was last asked for

 private:
  const std::string& uri(int k) const { return k == 0 ? c_.uri_linea : c_.uri_treno; }

  server& s_;
  coppia c_;
  std::unique_ptr<servizio_anteprima> servizio_;
  std::thread t_;
};

bool anteprima::avvia(std::string& motivo) {
  impostazioni_anteprima imp;
  imp.cartella = c_.cartella;
  imp.linea = c_.linea;
  imp.treno = c_.treno;
  imp.porta = s_.porta_anteprime;
  // The buffers the editor holds, as the diagnostics compile them.
  imp.aperta = [this](int k, sorgente_aperta& a) {
    std::lock_guard<std::mutex> l(s_.mutex_);
    auto i = s_.documenti_.find(uri(k));
    if (uri(k).empty() || i == s_.documenti_.end()) return false;
    a.testo = a_1252(i->second.testo);
    a.versione = i->second.versione;
    return true;
  };
  // The service owns its writer; this preview outlives the service.
  struct delega : scrittore_sorgenti {
    anteprima& a;
    explicit delega(anteprima& x) : a(x) {}
    const char* modo() const override { return "editor"; }
    void applica(const modifica& m, const stato_mostrato& x, esito_modifica f) override {
      a.applica(m, x, std::move(f));
    }
  };
  imp.scrittore = std::make_unique<delega>(*this);
  servizio_ = std::make_unique<servizio_anteprima>(std::move(imp));
  if (!servizio_->apri(motivo)) return false;
  t_ = std::thread([this] { servizio_->esegui(); });
  return true;
}

void anteprima::applica(const modifica& m, const stato_mostrato& x, esito_modifica fatto) {
  const auto k = static_cast<size_t>(m.file);
  const std::string& u = uri(m.file);
  std::string testo;
  json versione = nullptr;
  {
    std::lock_guard<std::mutex> l(s_.mutex_);
    auto i = s_.documenti_.find(u);
    if (i != s_.documenti_.end()) {
      if (i->second.versione != x.versione_editor[k])
        return fatto(409,
                     "il documento è cambiato nell'editor dopo la versione che la pagina "
                     "mostra");
      testo = i->second.testo;
      versione = i->second.versione;
    }
  }
  if (versione.is_null()) {
    // Not open: the editor opens the file, which must still be what was shown.
    std::string p, ora;
    if (x.versione_editor[k] >= 0 || !percorso_di(u, p) ||
        file::leggi_al_piu(p, kSorgenteMassimo, ora).esito != file::esito_lettura::letto ||
        ora != x.byte[k])
      return fatto(409, x.s.file[k] + " è cambiato dopo la versione che la pagina mostra");
    testo = testo::da_1252(ora);
  }
  size_t riga = 0;
  if (!righe_intatte(testo, x.s.testo[k], m.righe, riga))
    return fatto(409, "la riga " + std::to_string(riga + 1) +
                          " ha un carattere che Windows-1252 non ha: va cambiata nell'editor");
  const json edit = {
      {"label", m.descrizione},
      {"edit",
       {{"documentChanges", json::array({{{"textDocument", {{"uri", u}, {"version", versione}}},
                                          {"edits", modifiche_testo(testo, m.righe)}}})}}}};
  s_.richiedi(
      "workspace/applyEdit", scrivi_json(edit),
      [fatto, d = m.descrizione](const json& r) {
        // Whatever the editor answers but "applied": true is an edit not made.
        const json* x = r.contains("result") && r["result"].is_object() ? &r["result"] : nullptr;
        auto membro = [x](const char* nome) -> const json* {
          if (!x) return nullptr;
          const auto i = x->find(nome);
          return i == x->end() ? nullptr : &*i;
        };
        const json* applicata = membro("applied");
        if (applicata && applicata->is_boolean() && applicata->get<bool>()) return fatto(200, d);
        std::string perche = "l'editor non ha applicato la modifica";
        const json* motivo = membro("failureReason");
        if (motivo && motivo->is_string()) perche += ": " + motivo->get<std::string>();
        fatto(409, perche);
      },
      this);
}

server::server(invio manda) : manda_(std::move(manda)) {}

server::~server() {
  ferma_anteprime();
}

// A pair with neither source open nor on the disk gets no preview: it would
// only show that nothing is there, and hold a port for it.
bool server::ha_sorgenti(const coppia& c) {
  for (const std::string* u : {&c.uri_linea, &c.uri_treno}) {
    if (u->empty()) continue;
    {
      std::lock_guard<std::mutex> l(mutex_);
      if (documenti_.count(*u)) return true;
    }
    std::string p;
    if (disco && percorso_di(*u, p) && file::esiste(p)) return true;
  }
  return false;
}

void server::esegui_comando(const richiesta& r) {
  if (testo_campo(r.parametri, "command") != kComando)
    throw parametri_errati("comando sconosciuto: solo " + std::string(kComando));
  const json& argomenti = campo(r.parametri, "arguments");
  if (!argomenti.is_array() || argomenti.empty() || !argomenti[0].is_string())
    throw parametri_errati("«arguments» vuole l'URI di un sorgente");
  const coppia c = coppia_aperta(argomenti[0].get<std::string>());
  if (c.linea.empty() || c.treno.empty())
    return errore(scrivi_json(r.id), kInvalidParams,
                  "nessuna coppia di sorgenti: il file non è ROUTE_linea.txt con un treno "
                  "ROUTE_TRENO-.txt accanto, né ROUTE_TRENO-.txt");
  if (!ha_sorgenti(c))
    return errore(scrivi_json(r.id), kInvalidParams,
                  "nessun sorgente di " + c.linea + ", treno " + c.treno +
                      ": né aperto nell'editor né sul disco");
  auto i = anteprime_.find(c);
  if (i == anteprime_.end()) {
    // Put in the table only once it runs: a failed one leaves nothing behind.
    auto nuova = std::make_unique<anteprima>(*this, c);
    std::string motivo;
    if (!nuova->avvia(motivo))
      return errore(scrivi_json(r.id), kInvalidParams, "anteprima non avviata: " + motivo);
    i = anteprime_.emplace(c, std::move(nuova)).first;
  }
  i->second->chiesta = ++comandi_;
  const std::string url = i->second->indirizzo();
  if (anteprime_.size() > kAnteprimeMassime)
    ferma_anteprima(std::min_element(anteprime_.begin(), anteprime_.end(),
                                     [](const auto& a, const auto& b) {
                                       return a.second->chiesta < b.second->chiesta;
                                     }),
                    "al più " + std::to_string(kAnteprimeMassime) +
                        " anteprime alla volta, e questa è quella chiesta da più tempo");
  rispondi(r, scrivi_json(json{{"indirizzo", url}}));
  notifica("window/logMessage",
           scrivi_json(
               json{{"type", 3},
                    {"message", "Anteprima di " + c.linea + ", treno " + c.treno + ": " + url}}));
  richiedi("window/showDocument", scrivi_json(json{{"uri", url}, {"external", true}}),
           [](const json&) {});
}

void server::richiedi(const std::string& metodo, const std::string& parametri, al_ritorno f,
                      const anteprima* di) {
  std::string id;
  {
    std::lock_guard<std::mutex> l(mutex_attese_);
    id = "scenario/" + std::to_string(++richieste_);
    attese_[id] = {di, std::move(f)};
  }
  manda_("{\"jsonrpc\":\"2.0\",\"id\":" + scrivi_json(id) + ",\"method\":" + scrivi_json(metodo) +
         ",\"params\":" + parametri + "}");
}

void server::risposta(const json& m) {
  if (!m["id"].is_string()) return;
  const std::string id = m["id"].get<std::string>();
  al_ritorno f;
  {
    std::lock_guard<std::mutex> l(mutex_attese_);
    auto i = attese_.find(id);
    if (i == attese_.end()) return;
    f = std::move(i->second.f);
    attese_.erase(i);
  }
  // An answer is the client's bytes like any request: one that cannot be
  // read ends that exchange, not the server.
  try {
    f(m);
  } catch (const std::exception&) {
    guasto("risposta del client a " + id + " non compresa: scartata");
  }
}

void server::sveglia_anteprime(const std::string& uri) {
  for (auto& [c, a] : anteprime_)
    if (c.uri_linea == uri || c.uri_treno == uri) a->sveglia();
}

void server::ferma_anteprima(anteprime::iterator i, const std::string& perche) {
  i->second->chiedi_fine();
  i->second->aspetta();
  // Its page's answers still awaited hold its connections: gone before the
  // server that owns them.
  {
    std::lock_guard<std::mutex> l(mutex_attese_);
    std::erase_if(attese_, [p = i->second.get()](const auto& x) { return x.second.di == p; });
  }
  notifica("window/logMessage",
           scrivi_json(json{{"type", 3},
                            {"message", "Anteprima di " + i->first.linea + ", treno " +
                                            i->first.treno + " fermata: " + perche}}));
  anteprime_.erase(i);
}

void server::ferma_anteprime_chiuse(const std::string& uri) {
  for (auto i = anteprime_.begin(); i != anteprime_.end();) {
    const coppia& c = (i++)->first;
    if (c.uri_linea != uri && c.uri_treno != uri) continue;
    bool aperta = false;
    {
      std::lock_guard<std::mutex> l(mutex_);
      aperta = documenti_.count(c.uri_linea) || documenti_.count(c.uri_treno);
    }
    if (!aperta) ferma_anteprima(std::prev(i), "i suoi sorgenti sono stati chiusi nell'editor");
  }
}

void server::ferma_anteprime() {
  for (auto& [c, a] : anteprime_) a->chiedi_fine();
  for (auto& [c, a] : anteprime_) a->aspetta();
  // The answers still awaited hold the pages' connections: gone before
  // the servers that own them.
  {
    std::lock_guard<std::mutex> l(mutex_attese_);
    attese_.clear();
  }
  anteprime_.clear();
}

}  // namespace lsp
