// The fastest run the speed limits allow and the timetable's verdict on it.
#include <algorithm>
#include <cmath>

#include "model/formato.h"
#include "model/regole.h"

namespace regole {

namespace {

// The run from `da` to `a`, one point per cell boundary, and its length.
double traccia(marcia& m, const std::vector<cella_percorso>& celle, int64_t da, int64_t a) {
  const int64_t passo = formato::kMetriCella;
  double t = 0;
  m.posizioni.push_back(da);
  m.tempi.push_back(0);
  for (int64_t i = std::max<int64_t>(da, 0) / passo; i * passo < a; ++i) {
    const int v =
        i < static_cast<int64_t>(celle.size()) ? velocita_cella(celle[static_cast<size_t>(i)]) : 0;
    const int64_t fine = std::min(a, (i + 1) * passo);
    // A cell without a limit adds nothing: the run stays a lower bound.
    if (v > 0) t += static_cast<double>(fine - std::max(da, i * passo)) * 3.6 / v;
    m.posizioni.push_back(fine);
    m.tempi.push_back(t);
  }
  return t;
}

}  // namespace

double corsa_minima(const std::vector<cella_percorso>& celle, int64_t da, int64_t a) {
  marcia m;
  return traccia(m, celle, da, a);
}

std::vector<marcia> marce(const std::vector<stazione_linea>& st,
                          const std::vector<cella_percorso>& celle) {
  std::vector<size_t> f;  // the stations with a time, in order of position
  for (size_t k = 0; k < st.size(); ++k)
    if (st[k].orario > 0) f.push_back(k);
  std::stable_sort(f.begin(), f.end(),
                   [&](size_t a, size_t b) { return st[a].posizione < st[b].posizione; });
  std::vector<marcia> r;
  int64_t prima = 0;
  for (size_t k = 0; k < f.size(); ++k) {
    int64_t ora = st[f[k]].orario;
    // A timetable that runs past midnight keeps counting.
    if (k > 0)
      while (ora < prima - kGiorno / 2) ora += kGiorno;
    if (k > 0 && st[f[k]].posizione > st[f[k - 1]].posizione) {
      marcia m;
      m.da = f[k - 1];
      m.a = f[k];
      m.ora_da = prima;
      m.ora_a = ora;
      m.minima = traccia(m, celle, st[m.da].posizione, st[m.a].posizione);
      if (ora < prima)
        m.esito = giudizio::all_indietro;
      else if (static_cast<double>(ora - prima) < m.minima)
        m.esito = giudizio::troppo_stretto;
      r.push_back(std::move(m));
    }
    prima = ora;
  }
  return r;
}

std::string testo_giudizio(const marcia& m, const std::vector<stazione_linea>& st) {
  const stazione_linea &a = st[m.da], &b = st[m.a];
  const std::string tratta =
      a.nome + " (" + ora_testo(m.ora_da) + ") a " + b.nome + " (" + ora_testo(m.ora_a) + ")";
  switch (m.esito) {
    case giudizio::in_orario:
      return "";
    case giudizio::all_indietro:
      return "orario all'indietro da " + tratta + ": " + durata_testo(m.ora_da - m.ora_a) +
             " prima della stazione precedente";
    case giudizio::troppo_stretto:
      break;
  }
  return "orario troppo stretto da " + tratta + ": " + durata_testo(m.ora_a - m.ora_da) +
         " in orario, ma la corsa più veloce che i limiti di velocità consentono ne vuole " +
         durata_testo(static_cast<int64_t>(std::ceil(m.minima)));
}

}  // namespace regole
