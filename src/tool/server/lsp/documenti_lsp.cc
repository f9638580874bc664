#include "tool/server/lsp/documenti_lsp.h"

#include "platform/file.h"
#include "tool/server/lsp/uri_lsp.h"

namespace lsp {

void documenti::apri(documento d) {
  {
    std::lock_guard<std::mutex> l(m_);
    const std::string uri = d.uri;
    d_[uri] = std::move(d);
  }
  ricalcola_coppie();
}

bool documenti::cambia(const std::string& uri, const std::vector<cambio>& cambi,
                       std::optional<long long> versione) {
  std::lock_guard<std::mutex> l(m_);
  auto i = d_.find(uri);
  if (i == d_.end()) return false;
  std::string& testo = i->second.testo;
  for (const cambio& c : cambi) {
    if (c.intero) {
      testo = c.testo;
      continue;
    }
    size_t da = offset_di(testo, c.riga_da, c.carattere_da);
    size_t fino = offset_di(testo, c.riga_a, c.carattere_a);
    if (fino < da) std::swap(da, fino);
    testo.replace(da, fino - da, c.testo);
  }
  i->second.versione = versione.value_or(i->second.versione + 1);
  return true;
}

bool documenti::chiudi(const std::string& uri) {
  {
    std::lock_guard<std::mutex> l(m_);
    if (!d_.erase(uri)) return false;
  }
  ricalcola_coppie();
  return true;
}

bool documenti::e_aperto(const std::string& uri) const {
  std::lock_guard<std::mutex> l(m_);
  return d_.count(uri) != 0;
}

std::optional<documento> documenti::aperto(const std::string& uri) const {
  std::lock_guard<std::mutex> l(m_);
  auto i = d_.find(uri);
  if (i == d_.end()) return std::nullopt;
  return i->second;
}

bool documenti::aperta(const coppia& c) const {
  std::lock_guard<std::mutex> l(m_);
  return d_.count(c.uri_linea) || d_.count(c.uri_treno);
}

bool documenti::e_linea(const std::string& uri) const {
  std::lock_guard<std::mutex> l(m_);
  auto i = d_.find(uri);
  return i != d_.end() ? i->second.linea : lsp::e_linea(uri, "");
}

coppia documenti::trova_coppia(const std::string& uri) const {
  std::vector<std::string> aperti;
  std::string cartella_uri, nome;
  if (divide(uri, cartella_uri, nome)) {
    std::lock_guard<std::mutex> l(m_);
    for (const auto& [u, d] : d_) {
      std::string cu, n;
      if (divide(u, cu, n) && cu == cartella_uri) aperti.push_back(n);
    }
  }
  return coppia_del_nome(uri, std::move(aperti), disco);
}

void documenti::ricalcola_coppie() {
  std::vector<std::string> uri;
  {
    std::lock_guard<std::mutex> l(m_);
    for (const auto& [u, d] : d_) uri.push_back(u);
  }
  for (const std::string& u : uri) {
    coppia c = trova_coppia(u);  // reads the folder: once per open or close, not per change
    std::lock_guard<std::mutex> l(m_);
    auto i = d_.find(u);
    if (i != d_.end()) i->second.c = std::move(c);
  }
}

coppia documenti::coppia_di(const std::string& uri) const {
  {
    std::lock_guard<std::mutex> l(m_);
    auto i = d_.find(uri);
    if (i != d_.end()) return i->second.c;
  }
  return trova_coppia(uri);
}

esito<istantanea> documenti::sorgente(const std::string& uri) const {
  {
    std::lock_guard<std::mutex> l(m_);
    auto i = d_.find(uri);
    if (i != d_.end()) {
      istantanea x;
      x.aperto = x.dato = true;
      x.versione = i->second.versione;
      x.testo = a_1252(i->second.testo, &x.fuori);
      return x;
    }
  }
  return dal_disco(uri, disco);
}

bool documenti::come_presa(const std::string& uri, const esito<istantanea>& x) const {
  const bool era_aperta = x && x->aperto;
  std::lock_guard<std::mutex> l(m_);
  auto i = d_.find(uri);
  if ((i != d_.end()) != era_aperta) return false;
  return !era_aperta || i->second.versione == x->versione;
}

bool documenti::ha_sorgenti(const coppia& c) const {
  for (const std::string* u : {&c.uri_linea, &c.uri_treno}) {
    if (u->empty()) continue;
    if (e_aperto(*u)) return true;
    std::string p;
    if (disco && percorso_di(*u, p) && file::esiste(p)) return true;
  }
  return false;
}

}  // namespace lsp
