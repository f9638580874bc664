// The compiles of the server: a document's pair, the diagnostics of both of
// its files, and the formatting that must leave the compiled bytes alone.
#include <nlohmann/json.hpp>

#include "platform/file.h"
#include "platform/testo.h"
#include "tool/compilazione/compila.h"
#include "tool/compilazione/messaggi.h"
#include "tool/server/lsp/cornice.h"
#include "tool/server/lsp/json_lsp.h"
#include "tool/server/lsp/richiesta_lsp.h"
#include "tool/server/lsp/server_lsp.h"
#include "tool/server/lsp/sorgenti_lsp.h"
#include "tool/server/lsp/testo_lsp.h"
#include "tool/server/lsp/uri_lsp.h"

namespace lsp {

using json = nlohmann::json;

namespace {

// The train of a route's name, from ROUTE_TRAIN-.txt; false for another name.
bool treno_di(const std::string& nome, const std::string& linea, std::string& treno) {
  const std::string inizio = linea + "_";
  if (nome.size() <= inizio.size() + 5 || nome.compare(0, inizio.size(), inizio) != 0 ||
      !nome.ends_with("-.txt"))
    return false;
  treno = nome.substr(inizio.size(), nome.size() - inizio.size() - 5);
  return treno.find('_') == std::string::npos;
}

// The end of the field that starts at byte `da` of a line: the next comma or
// the end of the line, without the blanks before it.
size_t fine_campo(std::string_view riga, size_t da) {
  size_t fine = std::min(riga.find(',', da), riga.size());
  while (fine > da && (riga[fine - 1] == ' ' || riga[fine - 1] == '\t' || riga[fine - 1] == '\r'))
    --fine;
  return std::max(fine, da + 1);
}

json diagnostica(int riga, size_t da, size_t a, int gravita, const std::string& messaggio,
                 const json& codice) {
  json d = {{"range",
             {{"start", posizione_json(riga, static_cast<int64_t>(da))},
              {"end", posizione_json(riga, static_cast<int64_t>(a))}}},
            {"severity", gravita},
            {"source", "scenario"},
            {"message", messaggio}};
  if (!codice.is_null()) d["code"] = codice;
  return d;
}

json da_posizione(const posizione_sorgente& p, int gravita, const std::string& m, const json& c) {
  if (p.riga <= 0) return diagnostica(0, 0, 0, gravita, m, c);
  const size_t da = static_cast<size_t>(std::max(p.colonna, 1) - 1);
  return diagnostica(p.riga - 1, da, fine_campo(p.testo, da), gravita, m, c);
}

// A source as the compile takes it, at one moment.
struct istantanea {
  bool aperto = false;  // open in the editor
  bool dato = false;    // its text is given to the compile: open, or read here from the disk
  long long versione = 0;
  std::string testo;  // Windows-1252
  std::vector<fuori_pagina> fuori;
  std::string rifiuto;  // why the file on the disk is not read ("" when it was, or is missing)
};

// A source that is not open, from the disk: read here, bounded and without
// waiting on what stands at its name, so that the compile never reads it
// itself (a missing one is left to the compile, which says so).
istantanea dal_disco(const std::string& uri, bool disco) {
  istantanea x;
  std::string p;
  if (!disco || uri.empty() || !percorso_di(uri, p)) return x;
  const file::lettura l = file::leggi_al_piu(p, kSorgenteMassimo, x.testo);
  x.dato = l.esito == file::esito_lettura::letto;
  if (!x.dato && l.esito != file::esito_lettura::mancante) x.rifiuto = p + ": " + l.motivo;
  return x;
}

// The characters of a source the code page lacks, as errors.
void fuori_pagina_json(const std::vector<fuori_pagina>& fuori, json& d) {
  for (const fuori_pagina& f : fuori)
    d.push_back(diagnostica(f.riga, static_cast<size_t>(f.colonna),
                            static_cast<size_t>(f.colonna + f.unita), 1,
                            "carattere \"" + f.carattere +
                                "\" che Windows-1252 non ha: il file non si può salvare né "
                                "compilare così",
                            "1252"));
}

// A source of a pair: its editor's text, else its file.
istantanea prendi(std::mutex& m, const std::map<std::string, documento>& documenti,
                  const std::string& uri, bool disco) {
  {
    std::lock_guard<std::mutex> l(m);
    auto i = documenti.find(uri);
    if (i != documenti.end()) {
      istantanea x;
      x.aperto = x.dato = true;
      x.versione = i->second.versione;
      x.testo = a_1252(i->second.testo, &x.fuori);
      return x;
    }
  }
  return dal_disco(uri, disco);
}

}  // namespace

std::string server::testo_aperto(const std::string& uri, bool& aperto) {
  std::lock_guard<std::mutex> l(mutex_);
  auto i = documenti_.find(uri);
  aperto = i != documenti_.end();
  return aperto ? i->second.testo : "";
}

std::string server::testo_compagno(const std::string& uri) {
  const istantanea x = prendi(mutex_, documenti_, uri, disco);
  return x.dato ? x.testo : "";
}

bool server::e_linea_aperta(const std::string& uri) {
  std::lock_guard<std::mutex> l(mutex_);
  auto i = documenti_.find(uri);
  return i != documenti_.end() ? i->second.linea : e_linea(uri, "");
}

coppia server::coppia_di(const std::string& uri) {
  coppia c;
  std::string cartella_uri, nome;
  if (!divide(uri, cartella_uri, nome) || !percorso_di(cartella_uri + "/", c.cartella)) return c;
  while (c.cartella.size() > 1 && c.cartella.back() == file::separatore[0]) c.cartella.pop_back();
  std::vector<std::string> nomi;
  if (nome.ends_with("_linea.txt")) {
    c.linea = nome.substr(0, nome.size() - 10);
    c.uri_linea = uri;
    {
      std::lock_guard<std::mutex> l(mutex_);
      for (const auto& [u, d] : documenti_) {
        std::string cu, n;
        if (divide(u, cu, n) && cu == cartella_uri) nomi.push_back(n);
      }
    }
    // An open train before one on the disk; the first by name among either.
    std::sort(nomi.begin(), nomi.end());
    std::vector<std::string> su_disco =
        disco ? file::elenco(c.cartella) : std::vector<std::string>{};
    std::sort(su_disco.begin(), su_disco.end());
    nomi.insert(nomi.end(), su_disco.begin(), su_disco.end());
    for (const std::string& n : nomi)
      if (treno_di(n, c.linea, c.treno)) {
        c.uri_treno = unisci(cartella_uri, n);
        break;
      }
  } else if (nome.ends_with("-.txt") && nome.rfind('_') != std::string::npos) {
    const size_t s = nome.rfind('_');
    c.linea = nome.substr(0, s);
    c.treno = nome.substr(s + 1, nome.size() - s - 6);
    c.uri_treno = uri;
    c.uri_linea = unisci(cartella_uri, c.linea + "_linea.txt");
  }
  return c;
}

void server::ricalcola_coppie() {
  std::vector<std::string> uri;
  {
    std::lock_guard<std::mutex> l(mutex_);
    for (const auto& [u, d] : documenti_) uri.push_back(u);
  }
  for (const std::string& u : uri) {
    coppia c = coppia_di(u);  // reads the folder: once per open or close, not per change
    std::lock_guard<std::mutex> l(mutex_);
    auto i = documenti_.find(u);
    if (i != documenti_.end()) i->second.c = std::move(c);
  }
}

coppia server::coppia_aperta(const std::string& uri) {
  {
    std::lock_guard<std::mutex> l(mutex_);
    auto i = documenti_.find(uri);
    if (i != documenti_.end()) return i->second.c;
  }
  return coppia_di(uri);
}

void server::segna(const std::string& uri) {
  coppia c = coppia_aperta(uri);
  if (c.linea.empty()) {
    // No folder or no name of the scheme: only the characters can be checked.
    c.uri_linea = e_linea_aperta(uri) ? uri : "";
    c.uri_treno = c.uri_linea.empty() ? uri : "";
  }
  {
    std::lock_guard<std::mutex> l(mutex_);
    segnate_.insert(c);
  }
  cv_.notify_one();
  sveglia_anteprime(uri);
  if (sincrono)
    while (!segnate_.empty()) compila_prossima();
}

bool server::compila_prossima() {
  coppia c;
  {
    std::unique_lock<std::mutex> l(mutex_);
    cv_.wait(l, [this] { return chiuso_ || !segnate_.empty(); });
    if (segnate_.empty()) return false;
    c = *segnate_.begin();
    segnate_.erase(segnate_.begin());
  }
  compila(c);
  return true;
}

void server::chiudi() {
  ferma_anteprime();
  {
    std::lock_guard<std::mutex> l(mutex_);
    chiuso_ = true;
  }
  cv_.notify_all();
}

namespace {

esito_compilazione compila_testi(const coppia& c, const istantanea& l, const istantanea& t,
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

}  // namespace

void server::compila(const coppia& c) {
  const istantanea l = prendi(mutex_, documenti_, c.uri_linea, disco);
  const istantanea t = prendi(mutex_, documenti_, c.uri_treno, disco);
  std::map<std::string, json> d;
  if (!c.uri_linea.empty()) fuori_pagina_json(l.fuori, d[c.uri_linea] = json::array());
  if (!c.uri_treno.empty()) fuori_pagina_json(t.fuori, d[c.uri_treno] = json::array());
  const std::string proprio = l.aperto ? c.uri_linea : c.uri_treno;
  // A partner that is no file or too large: said on the open one, nothing compiled.
  for (const istantanea* x : {&l, &t})
    if (!x->rifiuto.empty() && (l.aperto || t.aperto))
      d[proprio].push_back(diagnostica(0, 0, 0, 1, x->rifiuto + ": non si compila", json()));
  if (!c.linea.empty() && (l.aperto || t.aperto) && l.rifiuto.empty() && t.rifiuto.empty()) {
    const esito_compilazione e = compila_testi(c, l, t, disco, uscita_compilati::nessuna);
    const std::string pl = file::percorso(c.cartella, formato::nome_sorgente_linea(c.linea));
    const std::string pt =
        file::percorso(c.cartella, formato::nome_sorgente_treno(c.linea, c.treno));
    auto dove = [&](const posizione_sorgente& p) -> json& {
      if (p.file == pl && !c.uri_linea.empty()) return d[c.uri_linea];
      if (p.file == pt && !c.uri_treno.empty()) return d[c.uri_treno];
      return d[proprio];
    };
    const int32_t codice = e.codice_fatale ? e.codice_fatale : e.codice_errore;
    const std::vector<diagnosi> errori = diagnosi_errore(e);
    for (size_t i = 0; i < errori.size(); ++i) {
      posizione_sorgente p = errori[i].dove;
      if (p.file != pl && p.file != pt) p.riga = 0;  // the file as a whole
      dove(errori[i].dove)
          .push_back(
              da_posizione(p, i == 0 ? 1 : 3, errori[i].messaggio, i == 0 ? json(codice) : json()));
    }
    if (!e.errore_io.empty()) d[proprio].push_back(diagnostica(0, 0, 0, 1, e.errore_io, json()));
    for (const avviso& a : e.avvisi)
      dove(a.dove).push_back(da_posizione(a.dove, 2, a.messaggio, json()));
  }
  {
    // The latest change wins: a text changed during the compile is compiled again.
    std::lock_guard<std::mutex> g(mutex_);
    for (const auto& [uri, x] : {std::pair{c.uri_linea, &l}, std::pair{c.uri_treno, &t}}) {
      auto i = documenti_.find(uri);
      if ((i != documenti_.end()) != x->aperto ||
          (x->aperto && i->second.versione != x->versione)) {
        segnate_.insert(c);
        cv_.notify_one();
        return;
      }
    }
  }
  for (auto& [uri, lista] : d)
    notifica("textDocument/publishDiagnostics",
             scrivi_json(json{{"uri", uri}, {"diagnostics", lista}}));
}

void server::formatta(const richiesta& r) {
  const std::string uri = uri_documento(r.parametri);
  auto rifiuta = [&](const std::string& perche) {
    notifica("window/showMessage",
             scrivi_json(json{{"type", 2}, {"message", "Formattazione non fatta: " + perche}}));
    rispondi(r, "[]");
  };
  bool aperto = false;
  const std::string utf8 = testo_aperto(uri, aperto);
  if (!aperto) return rispondi(r, "null");
  istantanea proprio;
  proprio.aperto = proprio.dato = true;
  proprio.testo = a_1252(utf8, &proprio.fuori);
  if (!proprio.fuori.empty())
    return rifiuta("la riga " + std::to_string(proprio.fuori.front().riga + 1) +
                   " ha un carattere che Windows-1252 non ha");
  const bool linea = e_linea_aperta(uri);
  const std::string a_capo = proprio.testo.find('\n') == std::string::npos ||
                                     proprio.testo.find("\r\n") != std::string::npos
                                 ? "\r\n"
                                 : "\n";
  istantanea nuovo = proprio;
  nuovo.testo =
      impagina(proprio.testo, linea ? formato::sorgente::linea : formato::sorgente::treno, a_capo);
  if (nuovo.testo == proprio.testo) return rispondi(r, "[]");
  const coppia c = coppia_aperta(uri);
  if (c.linea.empty())
    return rifiuta(
        "il nome del file non è ROUTE_linea.txt né ROUTE_TRENO-.txt, e senza la sua "
        "coppia non si può controllare che compili allo stesso modo");
  const istantanea altro = prendi(mutex_, documenti_, linea ? c.uri_treno : c.uri_linea, disco);
  if (!altro.rifiuto.empty()) return rifiuta(altro.rifiuto);
  auto esito = [&](const istantanea& questo) {
    return linea ? compila_testi(c, questo, altro, disco, uscita_compilati::memoria)
                 : compila_testi(c, altro, questo, disco, uscita_compilati::memoria);
  };
  const esito_compilazione prima = esito(proprio), dopo = esito(nuovo);
  if (prima.codice_errore != dopo.codice_errore || prima.codice_fatale != dopo.codice_fatale ||
      prima.posizione_errore != dopo.posizione_errore || prima.compilati != dopo.compilati)
    return rifiuta("il file impaginato non compila agli stessi byte (codice " +
                   std::to_string(prima.codice_errore) + " prima, " +
                   std::to_string(dopo.codice_errore) + " dopo); il file resta com'è");
  int righe = 0;
  size_t ultima = 0;
  per_riga(proprio.testo, [&](size_t da, size_t fino) {
    ++righe;
    ultima = fino - da;
  });
  json modifica = {{"range",
                    {{"start", posizione_json(0, 0)},
                     {"end", posizione_json(righe - 1, static_cast<int64_t>(ultima))}}},
                   {"newText", testo::da_1252(nuovo.testo)}};
  rispondi(r, scrivi_json(json::array({modifica})));
}

}  // namespace lsp
