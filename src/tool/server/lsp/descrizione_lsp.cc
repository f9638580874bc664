// The hover: what a key or a value means, and what a value compiles to.
#include <cstdint>
#include <cstdlib>

#include "model/formato.h"
#include "model/numeri.h"
#include "platform/testo.h"
#include "tool/server/lsp/json_lsp.h"
#include "tool/server/lsp/risposte_lsp.h"
#include "tool/server/lsp/sorgenti_lsp.h"
#include "tool/server/lsp/testo_lsp.h"

namespace lsp {

namespace {

std::string testo_chiave(const formato::chiave_sorgente& k) {
  std::string m = "**" + std::string(k.chiave) + "**: " + k.significato + "\n\n";
  for (size_t i = 0; i < k.n_valori; ++i)
    m += std::to_string(i + 1) + ". `" + k.valori[i].nome + "`" + unita_di(k.valori[i]) + ": " +
         k.valori[i].significato + "\n";
  return m;
}

// The cell an entry's position falls in, as its reader takes it; a curve's
// is a point of the plan.
std::string cella(std::string_view genere, long long p) {
  if (genere == "curva") return "punto " + std::to_string(p) + " della planimetria";
  return "cella " +
         std::to_string(regole::cella_della_posizione(p, regole::nella_cella_dopo(genere)));
}

std::string orario(long long h, long long m, long long s) {
  const int64_t t = regole::secondi_del_giorno(h, m, s);
  return "orario " + regole::ora_testo(t) + " (" + std::to_string(t) + " s dalla mezzanotte)";
}

// What value i (from 1) of the entry compiles to, where it says more than its number.
std::string compilato(const voce_letta& v, size_t i, const std::vector<regole::tratto_km>& km) {
  const formato::valore_voce& x = v.chiave->valori[i - 1];
  const std::string_view g = v.chiave->genere, nome = x.nome;
  const long long n = numero_di(v, i);
  if (std::string_view(x.unita) == "m" && (nome == "posizione" || nome == "inizio") && !v.testata)
    return cella(g, n) + ", " + regole::testo_km(regole::progressiva(km, n));
  if (g == "velocita" && nome == "velocita")
    return "memorizzata come " + std::to_string(regole::passi_velocita(n)) + " (" +
           std::to_string(regole::velocita_dei_passi(regole::passi_velocita(n))) + " km/h)";
  if ((g == "stazione" || g == "orologio") &&
      (nome == "ore" || nome == "minuti" || nome == "secondi")) {
    const size_t ore = i - (nome == "minuti" ? 1 : nome == "secondi" ? 2 : 0);
    return orario(numero_di(v, ore), numero_di(v, ore + 1), numero_di(v, ore + 2));
  }
  return "";
}

// The field of an entry at (riga, colonna), from 1 and from 0: 0 for the key,
// i for value i; -1 for none.
int campo_a(const voce_letta& v, int64_t riga, int c) {
  auto dentro = [&](const luogo_campo& l) { return l.riga == riga && c >= l.da && c <= l.a; };
  if (dentro(v.luogo_chiave) && v.dove.riga == riga) return 0;
  for (size_t i = 0; i < v.luoghi.size(); ++i)
    if (dentro(v.luoghi[i])) return static_cast<int>(i + 1);
  return -1;
}

}  // namespace

std::string descrizione(const std::vector<voce_letta>& voci, int riga, int colonna,
                        const std::vector<regole::tratto_km>& km) {
  for (const voce_letta& v : voci) {
    // The protocol's lines count from 0; the largest it sends stays past every line.
    const int i = campo_a(v, int64_t{riga} + 1, std::max(colonna, 0));
    if (i < 0) continue;
    if (!v.chiave)
      return "**" + testo::da_1252(v.campi.front()) +
             "**: intestazione di sezione; per la lettura non ha significato, le voci si "
             "riconoscono dalla chiave";
    if (i == 0) return testo_chiave(*v.chiave);
    const formato::valore_voce& x = v.chiave->valori[static_cast<size_t>(i) - 1];
    std::string m = "**" + std::string(x.nome) + "**" + unita_di(x) + ", valore " +
                    std::to_string(i) + " di " + v.chiave->chiave + ": " + x.significato;
    const std::string dopo = compilato(v, static_cast<size_t>(i), km);
    return dopo.empty() ? m : m + "\n\n" + dopo;
  }
  return "";
}

nlohmann::json risposta_descrizione(const documenti& d, const std::string& uri, int64_t riga,
                                    int64_t carattere) {
  const std::optional<documento> doc = d.aperto(uri);
  if (!doc) return nullptr;
  const std::string t = a_1252(doc->testo);
  const auto voci = leggi_voci(t, doc->linea ? formato::sorgente::linea : formato::sorgente::treno);
  // A train's kilometres are its line's: none when the line cannot be read.
  std::vector<regole::tratto_km> km;
  if (doc->linea) {
    km = chilometri(t);
  } else if (!doc->c.uri_linea.empty()) {
    const esito<istantanea> l = d.sorgente(doc->c.uri_linea);
    if (l && l->dato) km = chilometri(l->testo);
  }
  const std::string m = descrizione(voci, static_cast<int>(riga), static_cast<int>(carattere), km);
  if (m.empty()) return nullptr;
  return {{"contents", {{"kind", "markdown"}, {"value", m}}}};
}

}  // namespace lsp
