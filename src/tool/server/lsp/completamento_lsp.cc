// Completion: each section head and key, with a snippet of its values.
#include "tool/server/lsp/risposte_lsp.h"
#include "tool/server/lsp/sorgenti_lsp.h"

namespace lsp {

std::vector<proposta> proposte(formato::sorgente s) {
  static const char* const kTesteLinea[] = {
      "[generale]", "[curve]", "[pendenze]", "[montagne]", "[cartelli]", "[indicazioni]", "[fine]"};
  static const char* const kTesteTreno[] = {"[generale]", "[aderenze]",      "[vel_limite]",
                                            "[stazioni]", "[rallentamenti]", "[segnali]",
                                            "[codici]",   "[fine]"};
  std::vector<proposta> out;
  if (s == formato::sorgente::linea)
    for (const char* t : kTesteLinea) out.push_back({t, "sezione", "", t, 9});
  else
    for (const char* t : kTesteTreno) out.push_back({t, "sezione", "", t, 9});
  for (const formato::chiave_sorgente& k : formato::chiavi(s)) {
    std::string inserto = std::string(k.chiave) + ",";
    std::string doc = std::string(k.significato) + "\n\n";
    for (size_t i = 0; i < k.n_valori; ++i) {
      inserto +=
          std::string(i ? ", " : " ") + "${" + std::to_string(i + 1) + ":" + k.valori[i].nome + "}";
      doc += std::string("- ") + k.valori[i].nome + unita_di(k.valori[i]) + ": " +
             k.valori[i].significato + "\n";
    }
    out.push_back({k.chiave, k.genere, doc, inserto, 15});
  }
  return out;
}

nlohmann::json risposta_completamento(const documenti& d, const std::string& uri) {
  nlohmann::json out = nlohmann::json::array();
  const auto s = d.e_linea(uri) ? formato::sorgente::linea : formato::sorgente::treno;
  for (const proposta& p : proposte(s))
    out.push_back({{"label", p.etichetta},
                   {"kind", p.genere},
                   {"detail", p.dettaglio},
                   {"documentation", {{"kind", "markdown"}, {"value", p.documentazione}}},
                   {"insertText", p.inserto},
                   {"insertTextFormat", 2}});
  return out;
}

}  // namespace lsp
