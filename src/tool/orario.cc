#include "tool/orario.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string_view>

#include "model/formato.h"
#include "tool/linea_compilata.h"

namespace {

constexpr int64_t kGiorno = 86400;

struct fermata {
  stazione_linea s;
  const posizione_sorgente* dove;
  int64_t t;  // seconds, growing past midnight
};

// The stations with a time in order of position, each with its entry's
// place; a timetable that runs past midnight keeps counting.
std::vector<fermata> fermate(const tabella& t, const std::vector<voce_letta>& voci) {
  std::vector<const posizione_sorgente*> righe;
  for (const voce_letta& v : voci)
    if (v.chiave && std::string_view(v.chiave->genere) == "stazione") righe.push_back(&v.dove);
  std::vector<fermata> r;
  const std::vector<stazione_linea> st = stazioni_linea(t);
  for (size_t k = 0; k < st.size(); ++k)
    if (st[k].orario > 0) r.push_back({st[k], k < righe.size() ? righe[k] : nullptr, st[k].orario});
  std::stable_sort(r.begin(), r.end(), [](const fermata& a, const fermata& b) {
    return a.s.posizione < b.s.posizione;
  });
  for (size_t k = 1; k < r.size(); ++k)
    while (r[k].t < r[k - 1].t - kGiorno / 2) r[k].t += kGiorno;
  return r;
}

}  // namespace

double corsa_minima(const std::vector<cella_percorso>& celle, int64_t da, int64_t a) {
  const int64_t passo = formato::kMetriCella;
  double t = 0;
  for (int64_t i = std::max<int64_t>(da, 0) / passo; i * passo < a; ++i) {
    if (i >= static_cast<int64_t>(celle.size())) break;
    const int v = velocita_cella(celle[static_cast<size_t>(i)]);
    if (v <= 0) continue;
    const int64_t dentro = std::min(a, (i + 1) * passo) - std::max(da, i * passo);
    t += static_cast<double>(dentro) * 3.6 / v;
  }
  return t;
}

std::string ora_testo(int64_t s) {
  s = ((s % kGiorno) + kGiorno) % kGiorno;
  char buf[16];
  std::snprintf(buf, sizeof buf, "%02d:%02d:%02d", static_cast<int>(s / 3600),
                static_cast<int>(s / 60 % 60), static_cast<int>(s % 60));
  return buf;
}

std::string durata_testo(int64_t s) {
  if (s < 60) return std::to_string(s) + " s";
  std::string r = std::to_string(s / 60) + " min";
  if (s % 60) r += " " + std::to_string(s % 60) + " s";
  return r;
}

void avvisi_orario(const tabella& t, const std::vector<cella_percorso>& celle,
                   const std::vector<voce_letta>& voci, std::vector<avviso>& avvisi) {
  const std::vector<fermata> f = fermate(t, voci);
  for (size_t k = 1; k < f.size(); ++k) {
    const fermata &a = f[k - 1], &b = f[k];
    if (b.s.posizione <= a.s.posizione) continue;
    const double minima = corsa_minima(celle, a.s.posizione, b.s.posizione);
    const int64_t orario = b.t - a.t;
    if (static_cast<double>(orario) >= minima) continue;
    const auto secondi = static_cast<int64_t>(std::ceil(minima));
    avvisi.push_back(
        {b.dove ? *b.dove : posizione_sorgente{},
         "orario troppo stretto da " + a.s.nome + " (" + ora_testo(a.t) + ") a " + b.s.nome + " (" +
             ora_testo(b.t) + "): " + durata_testo(orario) +
             " in orario, ma la corsa più veloce che i limiti di velocità consentono ne vuole " +
             durata_testo(secondi)});
  }
}
