#include "tool/server/lsp/coppia_lsp.h"

#include <algorithm>
#include <optional>

#include "model/formato.h"
#include "model/regole.h"
#include "platform/file.h"
#include "tool/server/lsp/uri_lsp.h"

namespace lsp {

coppia coppia_del_nome(const std::string& uri, std::vector<std::string> aperti, bool disco) {
  coppia c;
  std::string cartella_uri, nome;
  if (!divide(uri, cartella_uri, nome) || !percorso_di(cartella_uri + "/", c.cartella)) return c;
  while (c.cartella.size() > 1 && c.cartella.back() == file::separatore[0]) c.cartella.pop_back();
  const std::optional<regole::nomi_scenario> n = regole::nomi_da_file(nome);
  if (!n) return c;
  c.linea = n->linea;
  if (!n->sorgente_linea) {
    c.treno = n->treno;
    c.uri_treno = uri;
    c.uri_linea = unisci(cartella_uri, formato::nome_sorgente_linea(c.linea));
    return c;
  }
  c.uri_linea = uri;
  // An open train before one on the disk; the first by name among either.
  std::sort(aperti.begin(), aperti.end());
  std::vector<std::string> su_disco = disco ? file::elenco(c.cartella) : std::vector<std::string>{};
  std::sort(su_disco.begin(), su_disco.end());
  aperti.insert(aperti.end(), su_disco.begin(), su_disco.end());
  for (const std::string& a : aperti) {
    const std::optional<regole::nomi_scenario> t = regole::nomi_da_file(a);
    if (t && !t->sorgente_linea && t->linea == c.linea) {
      c.treno = t->treno;
      c.uri_treno = unisci(cartella_uri, a);
      break;
    }
  }
  return c;
}

esito<istantanea> dal_disco(const std::string& uri, bool disco) {
  istantanea x;
  std::string p;
  if (!disco || uri.empty() || !percorso_di(uri, p)) return x;
  const file::lettura l = file::leggi_al_piu(p, kSorgenteMassimo, x.testo);
  x.dato = l.esito == file::esito_lettura::letto;
  if (!x.dato && l.esito != file::esito_lettura::mancante) {
    luogo_guasto dove;
    dove.file = p;
    return guasto_di(genere_guasto::io, l.motivo, dove);
  }
  return x;
}

esito_compilazione compila_coppia(const coppia& c, const istantanea& l, const istantanea& t,
                                  bool disco, uscita_compilati u) {
  static const std::string kNiente;
  opzioni_compilazione o;
  o.cartella_sorgenti = c.cartella;
  o.linea = c.linea;
  o.treno = c.treno;
  o.uscita = u;
  o.avvisi = u == uscita_compilati::nessuna;
  o.testo_linea = l.dato ? &l.testo : disco ? nullptr : &kNiente;
  o.testo_treno = t.dato ? &t.testo : disco ? nullptr : &kNiente;
  return compila_scenario(o);
}

}  // namespace lsp
