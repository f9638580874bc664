#include "tool/server/lsp/sorgenti_lsp.h"

#include <algorithm>
#include <cstdlib>

#include "model/formato.h"
#include "platform/file.h"
#include "tool/compilazione/compila.h"
#include "tool/server/lsp/testo_lsp.h"

namespace lsp {

namespace {

// What a train is read against when its entries are wanted: the longest line,
// so that no position of the train stops the read for lack of cells.
const std::string kLineaSostituta = "[generale]\r\nlunghezza percorso,  " +
                                    std::to_string(formato::kLunghezzaMassima) +
                                    "\r\n[curve]\r\n[fine]\r\n";
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
  const std::string t(testo);
  // Curves are keys only where the plan is traced; a train needs no plan.
  esito_compilazione e =
      linea ? compila_in_memoria(t, nullptr, true) : compila_in_memoria(kLineaSostituta, &t, false);
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

std::string unita_di(const formato::valore_voce& v) {
  return *v.unita ? std::string(" (") + v.unita + ")" : "";
}

long long numero_di(const voce_letta& v, size_t i) {
  return i >= 1 && i <= v.campi.size() ? std::atoll(v.campi[i - 1].c_str()) : 0;
}

}  // namespace lsp
