// Formatting: the text laid out as the built-in sources are, given to the
// editor only when the pair compiles to the same bytes after it.
#include "model/impaginazione.h"
#include "platform/testo.h"
#include "tool/compilazione/righe.h"
#include "tool/server/lsp/json_lsp.h"
#include "tool/server/lsp/risposte_lsp.h"
#include "tool/server/lsp/sorgenti_lsp.h"
#include "tool/server/lsp/testo_lsp.h"

namespace lsp {

std::string impagina(std::string_view t, formato::sorgente s, std::string_view a_capo) {
  std::vector<std::string> righe;
  per_riga(t, [&](size_t a, size_t b) { righe.emplace_back(t.substr(a, b - a)); });
  std::vector<int> voci_per_riga(righe.size() + 1, 0);
  const std::vector<voce_letta> voci = leggi_voci(t, s);
  for (const voce_letta& v : voci)
    if (v.dove.riga >= 1 && static_cast<size_t>(v.dove.riga) <= righe.size())
      ++voci_per_riga[static_cast<size_t>(v.dove.riga)];
  // Each section's entries are aligned together, as the built-in files are.
  std::vector<size_t> quali;
  std::vector<riga_sorgente> sezione;
  auto chiudi = [&] {
    const std::vector<std::string> allineate = allinea(sezione);
    for (size_t k = 0; k < quali.size(); ++k) righe[quali[k]] = allineate[k];
    quali.clear();
    sezione.clear();
  };
  for (const voce_letta& v : voci) {
    if (!v.chiave) chiudi();
    const auto n = static_cast<size_t>(v.dove.riga);
    if (!v.chiave || n < 1 || n > righe.size() || voci_per_riga[n] != 1) continue;
    riga_sorgente r;
    if (!riga_della_voce(v, righe[n - 1], r)) continue;
    quali.push_back(n - 1);
    sezione.push_back(std::move(r));
  }
  chiudi();
  std::string out;
  for (size_t i = 0; i < righe.size(); ++i) out += (i ? std::string(a_capo) : "") + righe[i];
  return out;
}

namespace {

using json = nlohmann::json;

guasto rifiuto(const std::string& perche) {
  return guasto_di(genere_guasto::ingresso, perche);
}

// The one edit that replaces the whole text.
json sostituzione(const std::string& vecchio, const std::string& nuovo) {
  int righe = 0;
  size_t ultima = 0;
  per_riga(vecchio, [&](size_t da, size_t fino) {
    ++righe;
    ultima = fino - da;
  });
  return json::array({{{"range",
                        {{"start", posizione_json(0, 0)},
                         {"end", posizione_json(righe - 1, static_cast<int64_t>(ultima))}}},
                       {"newText", testo::da_1252(nuovo)}}});
}

// Whether the pair compiles to the same bytes, and code, with either text.
riuscita stessi_byte(const documenti& d, const coppia& c, bool linea, const istantanea& prima,
                     const istantanea& dopo) {
  const esito<istantanea> altro = d.sorgente(linea ? c.uri_treno : c.uri_linea);
  if (!altro) return altro.errore();
  auto compila = [&](const istantanea& questo) {
    return linea ? compila_coppia(c, questo, *altro, d.disco, uscita_compilati::memoria)
                 : compila_coppia(c, *altro, questo, d.disco, uscita_compilati::memoria);
  };
  const esito_compilazione a = compila(prima), b = compila(dopo);
  if (a.codice_errore != b.codice_errore || a.codice_fatale != b.codice_fatale ||
      a.posizione_errore != b.posizione_errore || a.compilati != b.compilati)
    return rifiuto("il file impaginato non compila agli stessi byte (codice " +
                   std::to_string(a.codice_errore) + " prima, " + std::to_string(b.codice_errore) +
                   " dopo); il file resta com'è");
  return fatto{};
}

}  // namespace

esito<json> risposta_formattazione(const documenti& d, const std::string& uri) {
  const std::optional<documento> doc = d.aperto(uri);
  if (!doc) return json(nullptr);
  istantanea prima;
  prima.aperto = prima.dato = true;
  prima.testo = a_1252(doc->testo, &prima.fuori);
  if (!prima.fuori.empty())
    return rifiuto("la riga " + std::to_string(prima.fuori.front().riga + 1) +
                   " ha un carattere che Windows-1252 non ha");
  const std::string a_capo =
      prima.testo.find('\n') == std::string::npos || prima.testo.find("\r\n") != std::string::npos
          ? "\r\n"
          : "\n";
  istantanea dopo = prima;
  dopo.testo = impagina(prima.testo,
                        doc->linea ? formato::sorgente::linea : formato::sorgente::treno, a_capo);
  if (dopo.testo == prima.testo) return json::array();
  if (doc->c.linea.empty())
    return guasto_di(genere_guasto::uso,
                     "il nome del file non è ROUTE_linea.txt né ROUTE_TRENO-.txt, e senza la sua "
                     "coppia non si può controllare che compili allo stesso modo");
  if (const riuscita r = stessi_byte(d, doc->c, doc->linea, prima, dopo); !r) return r.errore();
  return sostituzione(prima.testo, dopo.testo);
}

}  // namespace lsp
