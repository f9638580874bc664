#include "tool/server/lsp/diagnosi_lsp.h"

#include "model/formato.h"
#include "model/regole.h"
#include "platform/file.h"
#include "tool/compilazione/messaggi.h"
#include "tool/server/lsp/json_lsp.h"

namespace lsp {

using json = nlohmann::json;

namespace {

// The end of the field that starts at byte `da` of a line: the next comma or
// the end of the line, without the blanks before it.
size_t fine_campo(std::string_view riga, size_t da) {
  size_t fine = std::min(riga.find(',', da), riga.size());
  while (fine > da && (riga[fine - 1] == ' ' || riga[fine - 1] == '\t' || riga[fine - 1] == '\r'))
    --fine;
  return std::max(fine, da + 1);
}

enum gravita { kErrore = 1, kAvviso = 2, kNota = 3 };

json diagnostica(int riga, size_t da, size_t a, int gravita, const std::string& messaggio,
                 const json& codice = json()) {
  json d = {{"range",
             {{"start", posizione_json(riga, static_cast<int64_t>(da))},
              {"end", posizione_json(riga, static_cast<int64_t>(a))}}},
            {"severity", gravita},
            {"source", "scenario"},
            {"message", messaggio}};
  if (!codice.is_null()) d["code"] = codice;
  return d;
}

json da_posizione(const posizione_sorgente& p, int gravita, const std::string& m,
                  const json& c = json()) {
  if (p.riga <= 0) return diagnostica(0, 0, 0, gravita, m, c);
  const size_t da = static_cast<size_t>(std::max(p.colonna, 1) - 1);
  return diagnostica(p.riga - 1, da, fine_campo(p.testo, da), gravita, m, c);
}

// The characters of a source the code page lacks, as errors.
void fuori_pagina_json(const esito<istantanea>& x, json& d) {
  if (!x) return;
  for (const fuori_pagina& f : x->fuori)
    d.push_back(diagnostica(f.riga, static_cast<size_t>(f.colonna),
                            static_cast<size_t>(f.colonna + f.unita), kErrore,
                            "carattere \"" + f.carattere +
                                "\" che Windows-1252 non ha: il file non si può salvare né "
                                "compilare così",
                            "1252"));
}

// The compile's code, its notes and warnings, each on the document of its
// file (the open one, `proprio`, for the rest).
void diagnosi_compilazione(const coppia& c, const istantanea& l, const istantanea& t, bool disco,
                           const std::string& proprio, std::map<std::string, json>& d) {
  const esito_compilazione e = compila_coppia(c, l, t, disco, uscita_compilati::nessuna);
  const std::string pl = file::percorso(c.cartella, formato::nome_sorgente_linea(c.linea));
  const std::string pt = file::percorso(c.cartella, formato::nome_sorgente_treno(c.linea, c.treno));
  auto dove = [&](const posizione_sorgente& p) -> json& {
    if (p.file == pl && !c.uri_linea.empty()) return d[c.uri_linea];
    if (p.file == pt && !c.uri_treno.empty()) return d[c.uri_treno];
    return d[proprio];
  };
  const int32_t codice = regole::codice_rimasto(e.codice_fatale, e.codice_errore);
  const std::vector<diagnosi> errori = diagnosi_errore(e);
  for (size_t i = 0; i < errori.size(); ++i) {
    posizione_sorgente p = errori[i].dove;
    if (p.file != pl && p.file != pt) p.riga = 0;  // the file as a whole
    dove(errori[i].dove)
        .push_back(da_posizione(p, i == 0 ? kErrore : kNota, errori[i].messaggio,
                                i == 0 ? json(codice) : json()));
  }
  if (!e.errore_io.empty()) d[proprio].push_back(diagnostica(0, 0, 0, kErrore, e.errore_io));
  for (const avviso& a : e.avvisi)
    dove(a.dove).push_back(da_posizione(a.dove, kAvviso, a.messaggio));
}

}  // namespace

std::map<std::string, json> diagnosi_coppia(const coppia& c, const esito<istantanea>& l,
                                            const esito<istantanea>& t, bool disco) {
  std::map<std::string, json> d;
  if (!c.uri_linea.empty()) fuori_pagina_json(l, d[c.uri_linea] = json::array());
  if (!c.uri_treno.empty()) fuori_pagina_json(t, d[c.uri_treno] = json::array());
  const bool aperta = (l && l->aperto) || (t && t->aperto);
  if (!aperta) return d;
  const std::string proprio = l && l->aperto ? c.uri_linea : c.uri_treno;
  // A partner that is no file or too large: said on the open one, nothing compiled.
  for (const esito<istantanea>* x : {&l, &t})
    if (!*x)
      d[proprio].push_back(
          diagnostica(0, 0, 0, kErrore, x->errore().messaggio() + ": non si compila"));
  if (!c.linea.empty() && l && t) diagnosi_compilazione(c, *l, *t, disco, proprio, d);
  return d;
}

}  // namespace lsp
