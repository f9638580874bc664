#include "tool/server/lsp/sorgenti_lsp.h"

#include <algorithm>
#include <cstdio>

#include "model/impaginazione.h"
#include "model/numeri.h"
#include "platform/testo.h"
#include "tool/server/lsp/testo_lsp.h"

namespace lsp {

namespace {

bool vuoto(char c) {
  return c == ' ' || c == '\t';
}

// The fields of one line as the readers cut them: at commas (a text in
// double quotes may hold some), blanks before a field skipped, and after a
// key whose values are numbers, each comma field cut again at blanks.
std::vector<campo_riga> taglia(std::string_view r) {
  std::vector<campo_riga> campi;
  size_t i = 0;
  while (i <= r.size()) {
    while (i < r.size() && vuoto(r[i])) ++i;
    size_t j = i;
    bool virgolette = false;
    while (j < r.size() && (virgolette || r[j] != ',')) {
      if (r[j] == '"') virgolette = !virgolette;
      ++j;
    }
    size_t fine = j;
    while (fine > i && vuoto(r[fine - 1])) --fine;
    if (i < r.size() || !campi.empty())
      campi.push_back({i, fine, std::string(r.substr(i, fine - i))});
    if (j >= r.size()) break;
    i = j + 1;
  }
  return campi;
}

// `testo`: the index of the field that holds a text value, 0 for none.
std::vector<campo_riga> numeri_separati(const std::vector<campo_riga>& campi, size_t testo) {
  std::vector<campo_riga> out{campi.front()};
  for (size_t k = 1; k < campi.size(); ++k) {
    const campo_riga& c = campi[k];
    if (k == testo) {
      out.push_back(c);
      continue;
    }
    size_t i = 0;
    bool messo = false;
    while (i < c.testo.size()) {
      size_t j = i;
      while (j < c.testo.size() && !vuoto(c.testo[j])) ++j;
      out.push_back({c.inizio + i, c.inizio + j, c.testo.substr(i, j - i)});
      messo = true;
      i = j;
      while (i < c.testo.size() && vuoto(c.testo[i])) ++i;
    }
    if (!messo) out.push_back(c);
  }
  return out;
}

std::string due_spazi(const std::string& t) {
  std::string out;
  for (size_t i = 0; i < t.size(); ++i) {
    if (!vuoto(t[i])) {
      out += t[i];
    } else if (!vuoto(t[i - 1])) {
      out += "  ";
    }
  }
  return out;
}

bool e_testa(std::string_view campo) {
  return campo.find('[') != std::string_view::npos && campo.find(']') != std::string_view::npos &&
         (campo.empty() || campo.front() != '-');
}

const formato::chiave_sorgente* chiave_di(const std::vector<formato::chiave_sorgente>& tabella,
                                          std::string_view token) {
  if (token.find('-') != std::string_view::npos) return nullptr;  // the readers skip it
  for (const formato::chiave_sorgente& k : tabella)
    if (formato::riconosce(k, token)) return &k;
  return nullptr;
}

size_t campo_testo(const formato::chiave_sorgente* k) {
  const std::string_view g = k->genere;
  return g == "stazione" || g == "cartello_indicatore" ? k->n_valori : 0;
}

}  // namespace

std::vector<voce_riga> analizza(std::string_view t, formato::sorgente s) {
  std::vector<voce_riga> voci;
  enum { prima, testata, corpo } parte = prima;
  int riga = 0;
  per_riga(t, [&](size_t a, size_t b) {
    voce_riga v;
    v.riga = riga++;
    v.lunghezza = b - a;
    v.campi = taglia(t.substr(a, b - a));
    const std::string primo = v.campi.empty() ? "" : v.campi.front().testo;
    if (e_testa(primo)) {
      v.testa = true;
      const bool generale = testo::contiene_nc(primo, "[generale]");
      if (parte == prima && generale)
        parte = testata;
      else if (parte == testata)
        parte = corpo;
    } else if (parte != prima && !primo.empty()) {
      const bool linea = s == formato::sorgente::linea;
      v.testata = linea && parte == testata;
      v.chiave = chiave_di(!linea             ? formato::chiavi(s)
                           : parte == testata ? formato::chiavi_testata()
                                              : formato::chiavi_corpo(),
                           primo);
      if (v.chiave) v.campi = numeri_separati(v.campi, campo_testo(v.chiave));
    }
    voci.push_back(std::move(v));
  });
  return voci;
}

std::vector<riferimento> riferimenti(const std::vector<voce_riga>& linea) {
  std::vector<riferimento> r;
  for (const voce_riga& v : linea) {
    if (!v.chiave || std::string_view(v.chiave->genere) != "progressiva chilometrica") continue;
    if (v.campi.size() < 4) continue;
    const long long p = std::atoll(v.campi[1].testo.c_str());
    const long long k = std::atoll(v.campi[2].testo.c_str());
    r.push_back({p, k + (std::atoll(v.campi[3].testo.c_str()) == 1 ? 100 : 0)});
  }
  std::sort(r.begin(), r.end(),
            [](const riferimento& a, const riferimento& b) { return a.posizione < b.posizione; });
  return r;
}

}  // namespace lsp

namespace lsp {

std::string impagina(std::string_view t, formato::sorgente s, std::string_view a_capo) {
  const std::vector<voce_riga> voci = analizza(t, s);
  std::vector<std::string> righe;
  per_riga(t, [&](size_t a, size_t b) { righe.emplace_back(t.substr(a, b - a)); });
  // Each section's entries are aligned together, as the built-in files are.
  std::vector<size_t> quali;
  std::vector<riga_sorgente> sezione;
  auto chiudi = [&] {
    const std::vector<std::string> allineate = allinea(sezione);
    for (size_t k = 0; k < quali.size(); ++k) righe[quali[k]] = allineate[k];
    quali.clear();
    sezione.clear();
  };
  for (const voce_riga& v : voci) {
    if (v.testa) chiudi();
    if (!v.chiave) continue;
    riga_sorgente r;
    r.chiave = v.campi.front().testo;
    r.genere = v.chiave->genere;
    // By commas, as decompile writes them: numbers a field holds apart by
    // blanks (the clock's three) stay in it, two blanks between each.
    const std::vector<campo_riga> campi = taglia(righe[static_cast<size_t>(v.riga)]);
    const size_t testo = campo_testo(v.chiave);
    for (size_t i = 1; i < campi.size(); ++i)
      r.valori.push_back(i == testo ? campi[i].testo : due_spazi(campi[i].testo));
    quali.push_back(static_cast<size_t>(v.riga));
    sezione.push_back(std::move(r));
  }
  chiudi();
  std::string out;
  for (size_t i = 0; i < righe.size(); ++i) out += (i ? std::string(a_capo) : "") + righe[i];
  return out;
}

}  // namespace lsp
