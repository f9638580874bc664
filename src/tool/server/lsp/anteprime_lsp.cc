#include "tool/server/lsp/anteprime_lsp.h"

#include <algorithm>
#include <iterator>

#include "tool/server/lsp/json_lsp.h"

namespace lsp {

using json = nlohmann::json;

namespace {

constexpr const char* kComando = "scenario.anteprima";

// The URI the command is given.
esito<std::string> uri_del_comando(const json& parametri) {
  const esito<std::string> comando = testo_campo(parametri, "command");
  if (!comando) return comando.errore();
  if (*comando != kComando)
    return parametro_errato("comando sconosciuto: solo " + std::string(kComando));
  const esito<const json*> argomenti = campo(parametri, "arguments");
  if (!argomenti) return argomenti.errore();
  const json& a = **argomenti;
  if (!a.is_array() || a.empty() || !a[0].is_string())
    return parametro_errato("«arguments» vuole l'URI di un sorgente");
  return a[0].get<std::string>();
}

std::string nome(const coppia& c) {
  return "Anteprima di " + c.linea + ", treno " + c.treno;
}

}  // namespace

// A pair with neither source open nor on the disk gets no preview: it would
// only show that nothing is there, and hold a port for it.
esito<anteprime::tabella::iterator> anteprime::avviata(const coppia& c) {
  if (c.linea.empty() || c.treno.empty())
    return guasto_di(genere_guasto::uso,
                     "nessuna coppia di sorgenti: il file non è ROUTE_linea.txt con un treno "
                     "ROUTE_TRENO-.txt accanto, né ROUTE_TRENO-.txt");
  if (!d_.ha_sorgenti(c))
    return guasto_di(genere_guasto::uso, "nessun sorgente di " + c.linea + ", treno " + c.treno +
                                             ": né aperto nell'editor né sul disco");
  auto i = t_.find(c);
  if (i != t_.end()) return i;
  // Put in the table only once it runs: a failed one leaves nothing behind.
  auto nuova = std::make_unique<anteprima>(d_, m_, c, porta);
  if (const riuscita r = nuova->avvia(); !r) return r.errore();
  return t_.emplace(c, std::move(nuova)).first;
}

riuscita anteprime::comando(const json& parametri,
                            const std::function<void(const json&)>& rispondi) {
  const esito<std::string> uri = uri_del_comando(parametri);
  if (!uri) return uri.errore();
  const esito<tabella::iterator> i = avviata(d_.coppia_di(*uri));
  if (!i) return i.errore();
  const coppia c = (*i)->first;
  (*i)->second->chiesta = ++comandi_;
  const std::string url = (*i)->second->indirizzo();
  if (t_.size() > kAnteprimeMassime)
    ferma(std::min_element(
              t_.begin(), t_.end(),
              [](const auto& a, const auto& b) { return a.second->chiesta < b.second->chiesta; }),
          "al più " + std::to_string(kAnteprimeMassime) +
              " anteprime alla volta, e questa è quella chiesta da più tempo");
  rispondi({{"indirizzo", url}});
  m_.registra(gravita_messaggio::informazione, nome(c) + ": " + url);
  m_.richiedi("window/showDocument", {{"uri", url}, {"external", true}}, [](const json&) {});
  return fatto{};
}

void anteprime::sveglia(const std::string& uri) {
  for (auto& [c, a] : t_)
    if (c.uri_linea == uri || c.uri_treno == uri) a->sveglia();
}

void anteprime::ferma(tabella::iterator i, const std::string& perche) {
  i->second->chiedi_fine();
  i->second->aspetta();
  lasciate_ |= i->second->lasciata();
  // Its page's answers still awaited hold its connections: gone before the
  // server that owns them.
  m_.scarta(i->second.get());
  m_.registra(gravita_messaggio::informazione, nome(i->first) + " fermata: " + perche);
  t_.erase(i);
}

void anteprime::chiuso(const std::string& uri) {
  for (auto i = t_.begin(); i != t_.end();) {
    const coppia& c = (i++)->first;
    if (c.uri_linea != uri && c.uri_treno != uri) continue;
    if (!d_.aperta(c)) ferma(std::prev(i), "i suoi sorgenti sono stati chiusi nell'editor");
  }
}

void anteprime::ferma_tutte() {
  for (auto& [c, a] : t_) a->chiedi_fine();
  for (auto& [c, a] : t_) {
    a->aspetta();
    lasciate_ |= a->lasciata();
  }
  // The answers still awaited hold the pages' connections: gone before
  // the servers that own them.
  m_.scarta_tutte();
  t_.clear();
}

}  // namespace lsp
