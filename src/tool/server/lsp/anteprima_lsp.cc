#include "tool/server/lsp/anteprima_lsp.h"

#include <nlohmann/json.hpp>

#include "platform/file.h"
#include "platform/testo.h"
#include "tool/compilazione/compila.h"
#include "tool/server/lsp/json_lsp.h"
#include "tool/server/lsp/testo_lsp.h"
#include "tool/server/lsp/uri_lsp.h"

namespace lsp {

using json = nlohmann::json;

namespace {

// The page's answer for an edit made.
constexpr int kFatta = 200;

guasto superato(const std::string& perche) {
  return guasto_di(genere_guasto::superato, perche);
}

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

// A line the edit rewrites must be, in the editor, the line the compile
// read: a character Windows-1252 lacks would be lost.
riuscita righe_intatte(const std::string& utf8, const std::string& cp1252,
                       const std::vector<righe_nuove>& righe) {
  auto perso = [](size_t riga) {
    return superato("la riga " + std::to_string(riga + 1) +
                    " ha un carattere che Windows-1252 non ha: va cambiata nell'editor");
  };
  const std::vector<riga_testo> a = righe_di(utf8), b = righe_di(cp1252);
  if (a.size() != b.size()) return perso(0);
  for (const righe_nuove& m : righe)
    for (size_t k = m.da; k < m.a && k < a.size(); ++k)
      if (utf8.compare(a[k].inizio, a[k].fine - a[k].inizio,
                       testo::da_1252(
                           std::string_view(cp1252).substr(b[k].inizio, b[k].fine - b[k].inizio))))
        return perso(k);
  return fatto{};
}

// Whatever the editor answers but "applied": true is an edit not made; the
// page reads the sources again, as for one on a version gone by.
riuscita applicata(const json& r) {
  const json* x = r.contains("result") && r["result"].is_object() ? &r["result"] : nullptr;
  auto membro = [x](const char* nome) -> const json* {
    if (!x) return nullptr;
    const auto i = x->find(nome);
    return i == x->end() ? nullptr : &*i;
  };
  const json* si = membro("applied");
  if (si && si->is_boolean() && si->get<bool>()) return fatto{};
  std::string perche = "l'editor non ha applicato la modifica";
  const json* motivo = membro("failureReason");
  if (motivo && motivo->is_string()) perche += ": " + motivo->get<std::string>();
  return superato(perche);
}

}  // namespace

riuscita anteprima::avvia() {
  impostazioni_anteprima imp;
  imp.cartella = c_.cartella;
  imp.linea = c_.linea;
  imp.treno = c_.treno;
  imp.porta = porta_;
  // The buffers the editor holds, as the diagnostics compile them.
  imp.aperta = [this](int k, sorgente_aperta& a) {
    const std::optional<documento> doc = uri(k).empty() ? std::nullopt : d_.aperto(uri(k));
    if (!doc) return false;
    a.testo = a_1252(doc->testo);
    a.versione = doc->versione;
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
  std::string motivo;
  if (!servizio_->apri(motivo))
    return guasto_di(genere_guasto::uso, "anteprima non avviata: " + motivo);
  t_ = std::thread([this] { lasciata_ = !servizio_->esegui(); });
  return fatto{};
}

esito<json> anteprima::modifica_editor(const modifica& m, const stato_mostrato& x) const {
  const auto k = static_cast<size_t>(m.file);
  const std::string& u = uri(m.file);
  std::string testo;
  json versione = nullptr;
  if (const std::optional<documento> doc = d_.aperto(u)) {
    if (doc->versione != x.versione_editor[k])
      return superato("il documento è cambiato nell'editor dopo la versione che la pagina mostra");
    testo = doc->testo;
    versione = doc->versione;
  } else {
    // Not open: the editor opens the file, which must still be what was shown.
    std::string p, ora;
    if (x.versione_editor[k] >= 0 || !percorso_di(u, p) ||
        file::leggi_al_piu(p, kSorgenteMassimo, ora).esito != file::esito_lettura::letto ||
        ora != x.byte[k])
      return superato(x.s.file[k] + " è cambiato dopo la versione che la pagina mostra");
    testo = testo::da_1252(ora);
  }
  if (const riuscita r = righe_intatte(testo, x.s.testo[k], m.righe); !r) return r.errore();
  return json{
      {"label", m.descrizione},
      {"edit",
       {{"documentChanges", json::array({{{"textDocument", {{"uri", u}, {"version", versione}}},
                                          {"edits", modifiche_testo(testo, m.righe)}}})}}}};
}

void anteprima::applica(const modifica& m, const stato_mostrato& x, esito_modifica risposta) {
  // The page's answer, once: what failed turned into its status here.
  auto rifiuta = [risposta](const guasto& g) { risposta(stato_http(g), g.messaggio()); };
  const esito<json> edit = modifica_editor(m, x);
  if (!edit) return rifiuta(edit.errore());
  m_.richiedi(
      "workspace/applyEdit", *edit,
      [risposta, rifiuta, d = m.descrizione](const json& r) {
        const riuscita e = applicata(r);
        if (!e) return rifiuta(e.errore());
        risposta(kFatta, d);
      },
      this);
}

}  // namespace lsp
