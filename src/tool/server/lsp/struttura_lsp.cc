// The outline: sections with their entries, stations with their times.
#include "platform/testo.h"
#include "tool/server/lsp/json_lsp.h"
#include "tool/server/lsp/risposte_lsp.h"
#include "tool/server/lsp/sorgenti_lsp.h"
#include "tool/server/lsp/testo_lsp.h"

namespace lsp {

namespace {

int genere_simbolo(std::string_view g) {
  if (g == "stazione") return 24;                                       // Event
  if (g == "segnale") return 14;                                        // Constant
  if (g == "curva") return 12;                                          // Function
  if (g == "cartello_indicatore" || g == "indicatori_vmax") return 15;  // String
  if (g == "rallentamento" || g == "abbattimento") return 25;           // Operator
  return 8;                                                             // Field
}

std::string nome_simbolo(const voce_letta& v) {
  const std::string_view g = v.chiave->genere;
  auto campo = [&](size_t i) {
    return i >= 1 && i <= v.campi.size() ? testo::da_1252(v.campi[i - 1]) : "";
  };
  if (g == "stazione") {
    std::string n = campo(17).empty() ? "stazione " + campo(1) + " m" : campo(17);
    const long long h = numero_di(v, 14), m = numero_di(v, 15), s = numero_di(v, 16);
    if (h || m || s) n += " " + regole::ora_testo(regole::secondi_del_giorno(h, m, s));
    return n;
  }
  const luogo_campo& k = v.luogo_chiave;
  std::string n = testo::da_1252(
      std::string_view(v.dove.testo)
          .substr(static_cast<size_t>(std::min<int>(k.da, static_cast<int>(v.dove.testo.size()))),
                  static_cast<size_t>(k.a - k.da)));
  if (v.chiave->n_valori == 0 || v.campi.empty()) return n;
  n += " " + campo(1);
  if (*v.chiave->valori[0].unita) n += std::string(" ") + v.chiave->valori[0].unita;
  if (g == "curva" || g == "montagna") n += ", " + campo(2) + " m";
  if (g == "cartello_indicatore") n += ": " + campo(2);
  return n;
}

}  // namespace

std::vector<simbolo> struttura(const std::vector<voce_letta>& voci, std::string_view testo) {
  std::vector<size_t> lunghezze;
  per_riga(testo, [&](size_t a, size_t b) { lunghezze.push_back(b - a); });
  auto lunga = [&](int riga) {
    return riga >= 1 && static_cast<size_t>(riga) <= lunghezze.size()
               ? lunghezze[static_cast<size_t>(riga) - 1]
               : 0;
  };
  std::vector<simbolo> out;
  simbolo* sezione = nullptr;
  for (const voce_letta& v : voci) {
    const int riga = v.dove.riga;
    if (!v.chiave) {
      out.push_back(
          {testo::da_1252(v.campi.front()), "sezione", 3, riga - 1, riga - 1, lunga(riga), {}});
      sezione = &out.back();
      continue;
    }
    const int ultima = v.luoghi.empty() ? riga : std::max(riga, v.luoghi.back().riga);
    simbolo x{nome_simbolo(v),
              v.chiave->significato,
              genere_simbolo(v.chiave->genere),
              riga - 1,
              ultima - 1,
              lunga(ultima),
              {}};
    if (sezione) {
      sezione->fine = x.fine;
      sezione->lunghezza = x.lunghezza;
      sezione->figli.push_back(std::move(x));
    } else {
      out.push_back(std::move(x));
    }
  }
  return out;
}

namespace {

nlohmann::json intervallo(int riga, size_t da, int riga_fine, size_t a) {
  return {{"start", posizione_json(riga, static_cast<int64_t>(da))},
          {"end", posizione_json(riga_fine, static_cast<int64_t>(a))}};
}

nlohmann::json simbolo_json(const simbolo& s) {
  nlohmann::json j = {{"name", s.nome.empty() ? "?" : s.nome},
                      {"detail", s.dettaglio},
                      {"kind", s.genere},
                      {"range", intervallo(s.riga, 0, s.fine, s.lunghezza)},
                      {"selectionRange", intervallo(s.riga, 0, s.riga, s.lunghezza)}};
  if (!s.figli.empty()) {
    j["children"] = nlohmann::json::array();
    for (const simbolo& f : s.figli) j["children"].push_back(simbolo_json(f));
  }
  return j;
}

}  // namespace

nlohmann::json risposta_struttura(const documenti& d, const std::string& uri) {
  const std::optional<documento> doc = d.aperto(uri);
  if (!doc) return nullptr;
  const std::string t = a_1252(doc->testo);
  const auto s = doc->linea ? formato::sorgente::linea : formato::sorgente::treno;
  nlohmann::json out = nlohmann::json::array();
  for (const simbolo& x : struttura(leggi_voci(t, s), t)) out.push_back(simbolo_json(x));
  return out;
}

}  // namespace lsp
