#include "tool/server/lsp/sorgenti_lsp.h"

#include <algorithm>

#include "model/impaginazione.h"
#include "platform/file.h"
#include "tool/compilazione/compila.h"
#include "tool/compilazione/righe.h"
#include "tool/server/lsp/testo_lsp.h"

namespace lsp {

namespace {

// What a train is read against when its entries are wanted: the longest line,
// so that no position of the train stops the read for lack of cells.
constexpr std::string_view kLineaSostituta =
    "[generale]\r\nlunghezza percorso,  1000000\r\n[curve]\r\n[fine]\r\n";
const char* const kCartella = "lsp";
const char* const kLinea = "L";
const char* const kTreno = "T";

esito_compilazione compila_in_memoria(const std::string& linea, const std::string* treno,
                                      bool planimetria) {
  opzioni_compilazione o;
  o.cartella_sorgenti = kCartella;
  o.linea = kLinea;
  o.treno = kTreno;
  o.uscita = uscita_compilati::nessuna;
  o.voci = true;
  o.planimetria = planimetria;
  o.testo_linea = &linea;
  o.testo_treno = treno;
  return compila_scenario(o);
}

}  // namespace

std::vector<voce_letta> leggi_voci(std::string_view testo, formato::sorgente s) {
  const bool linea = s == formato::sorgente::linea;
  const std::string t(testo), sostituta(kLineaSostituta);
  // Curves are keys only where the plan is traced; a train needs no plan.
  esito_compilazione e =
      linea ? compila_in_memoria(t, nullptr, true) : compila_in_memoria(sostituta, &t, false);
  const std::string file =
      file::percorso(kCartella, linea ? formato::nome_sorgente_linea(kLinea)
                                      : formato::nome_sorgente_treno(kLinea, kTreno));
  std::erase_if(e.voci, [&](const voce_letta& v) { return v.dove.file != file; });
  return std::move(e.voci);
}

std::vector<regole::tratto_km> chilometri(std::string_view linea) {
  // The reference points are final once the header is read: no plan needed.
  return regole::tratti_km(compila_in_memoria(std::string(linea), nullptr, false).tabella_linea);
}

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

}  // namespace lsp
