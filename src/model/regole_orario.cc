// The limits' bound, the runs between timed stations and the timetable's
// verdict on them.
#include <algorithm>
#include <cmath>

#include "model/formato.h"
#include "model/regole.h"

namespace regole {

double corsa_minima(const std::vector<cella_percorso>& celle, int64_t da, int64_t a) {
  const int64_t passo = formato::kMetriCella;
  double t = 0;
  for (int64_t i = std::max<int64_t>(da, 0) / passo; i * passo < a; ++i) {
    const int v =
        i < static_cast<int64_t>(celle.size()) ? velocita_cella(celle[static_cast<size_t>(i)]) : 0;
    // A cell without a limit adds nothing: the run stays a lower bound.
    if (v > 0)
      t += static_cast<double>(std::min(a, (i + 1) * passo) - std::max(da, i * passo)) * 3.6 / v;
  }
  return t;
}

std::vector<fermata> fermate(const std::vector<stazione_linea>& st) {
  std::vector<fermata> r;
  for (size_t k = 0; k < st.size(); ++k)
    if (st[k].orario > 0) r.push_back({k, st[k].orario});
  std::stable_sort(r.begin(), r.end(), [&](const fermata& a, const fermata& b) {
    return st[a.stazione].posizione < st[b.stazione].posizione;
  });
  for (size_t k = 1; k < r.size(); ++k)
    while (r[k].ora < r[k - 1].ora - kGiorno / 2) r[k].ora += kGiorno;
  return r;
}

std::vector<marcia> marce(const std::vector<stazione_linea>& st,
                          const std::vector<cella_percorso>& celle, const treno_marcia& treno) {
  const std::vector<fermata> f = fermate(st);
  std::vector<marcia> r;
  for (size_t k = 1; k < f.size(); ++k) {
    const fermata &da = f[k - 1], &a = f[k];
    if (st[a.stazione].posizione <= st[da.stazione].posizione) continue;
    marcia m;
    m.da = da.stazione;
    m.a = a.stazione;
    m.ora_da = da.ora;
    m.ora_a = a.ora;
    m.minima = corsa_minima(celle, st[m.da].posizione, st[m.a].posizione);
    corsa c = corsa_treno(celle, st[m.da].posizione, st[m.a].posizione, treno);
    m.tempo = c.tempo;
    m.posizioni = std::move(c.posizioni);
    m.tempi = std::move(c.tempi);
    m.velocita = std::move(c.velocita);
    if (a.ora < da.ora)
      m.esito = giudizio::all_indietro;
    else if (static_cast<double>(a.ora - da.ora) < m.tempo)
      m.esito = giudizio::troppo_stretto;
    r.push_back(std::move(m));
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
         " in orario, ma il treno, accelerando e frenando, ne vuole " +
         durata_testo(static_cast<int64_t>(std::ceil(m.tempo))) + " (ai soli limiti di velocità " +
         durata_testo(static_cast<int64_t>(std::ceil(m.minima))) + ")";
}

}  // namespace regole
