// The run a driver can keep, integrated along the line: a pass forward that
// accelerates under the limits, a pass backward that brakes for them and for
// the stop, and at every metre the lower of the two.
#include <algorithm>
#include <cmath>

#include "model/formato.h"
#include "model/marcia.h"
#include "model/regole.h"
#include "platform/testo.h"

namespace regole {

// clang-format off
const std::array<tipo_treno, 4> kTipiTreno = {{
    {"regionale",
     "treno regionale di vetture trainate da una locomotiva (a due piani, 50 t l'una), 140 km/h",
     80, 50, 17.5, 26.8, 3200, 250, 140, 14, 0.1, 0.45, 0.09, 1.08},
    {"intercity",
     "treno a lunga percorrenza di vetture trainate da una locomotiva (48 t l'una), 200 km/h",
     87, 48, 19.6, 26.4, 5600, 300, 200, 12, 0.1, 0.45, 0.08, 1.07},
    {"alta_velocita",
     "elettrotreno ad alta velocità: due motrici (160 t insieme) e le rimorchiate (55 t l'una), "
     "280 km/h",
     160, 55, 41, 26.4, 9600, 400, 280, 10, 0.08, 0.9, 0.06, 1.06},
    {"merci",
     "treno merci trainato da una locomotiva (carri di 60 t l'uno), 100 km/h",
     87, 60, 19.6, 15, 5600, 300, 100, 20, 0.15, 0.45, 0.14, 1.05},
}};
// clang-format on

const tipo_treno* tipo_treno_di(std::string_view nome) {
  for (const tipo_treno& t : kTipiTreno)
    if (nome == t.nome) return &t;
  return nullptr;
}

std::string tipo_da_sorgente(std::string_view s) {
  const std::string_view chiave = kChiaveTipoTreno;
  size_t i = 0;
  while (i < s.size()) {
    size_t fine = s.find('\n', i);
    if (fine == std::string_view::npos) fine = s.size();
    std::string_view riga = s.substr(i, fine - i);
    i = fine + 1;
    while (!riga.empty() && (riga.front() == ' ' || riga.front() == '\t')) riga.remove_prefix(1);
    if (riga.substr(0, 1) == "[") break;  // the sections begin: the compile reads on
    if (riga.substr(0, chiave.size()) != chiave) continue;
    riga.remove_prefix(chiave.size());
    while (!riga.empty() && (riga.front() == ' ' || riga.front() == ',')) riga.remove_prefix(1);
    while (!riga.empty() && (riga.back() == ' ' || riga.back() == '\r' || riga.back() == '\t'))
      riga.remove_suffix(1);
    std::string r;
    for (char c : riga) r += testo::minuscola(c);
    return r;
  }
  return "";
}

double treno_marcia::massa() const {
  return tipo->massa_motrice + vetture * tipo->massa_vettura;
}
double treno_marcia::lunghezza() const {
  return tipo->lunghezza_motrice + vetture * tipo->lunghezza_vettura;
}

namespace {

// What the table may hold for a train that no real one has: a source's value
// is stored as written.
constexpr int kVettureMassime = 60;

}  // namespace

treno_marcia treno_della_tabella(const tabella& t, const tipo_treno& tipo) {
  treno_marcia r;
  r.tipo = &tipo;
  r.vetture = std::clamp<int32_t>(t[formato::kVoceTreno].posizione, 0, kVettureMassime);
  r.percentuale_frenata = t[formato::kVoceTreno].inizio;
  return r;
}

double decelerazione(int percentuale_frenata) {
  return std::clamp(0.005 * percentuale_frenata, 0.2, 0.8);
}

namespace {

constexpr double kGravita = 9.81;
// A train that cannot climb still creeps on, at this speed (m/s), so that a
// run always ends.
constexpr double kVelocitaMinima = 0.5;

// The line under a train whose head is at x: the lowest limit of the cells
// it covers and its mean gradient, from per-cell tables.
struct linea_sotto {
  std::vector<double> limite;  // m/s per cell, the train's own where none
  std::vector<double> quota;   // metres at each cell's start
  std::vector<double> pendenza;
  double massima;  // the train's own limit, m/s
  double lunghezza;

  linea_sotto(const std::vector<cella_percorso>& celle, const treno_marcia& t)
      : massima(t.tipo->velocita_massima / 3.6), lunghezza(t.lunghezza()) {
    double h = 0;
    for (const cella_percorso& c : celle) {
      const int v = velocita_cella(c);
      limite.push_back(v > 0 ? std::min(v / 3.6, massima) : massima);
      pendenza.push_back(pendenza_cella(c) / 1000.0);
      quota.push_back(h);
      h += pendenza.back() * formato::kMetriCella;
    }
    quota.push_back(h);
  }
  int64_t cella(double x) const {
    return static_cast<int64_t>(std::floor(x / formato::kMetriCella));
  }
  double altezza(double x) const {
    if (x <= 0) return 0;
    const int64_t i = cella(x);
    if (i >= static_cast<int64_t>(pendenza.size())) return quota.back();
    return quota[static_cast<size_t>(i)] +
           pendenza[static_cast<size_t>(i)] * (x - static_cast<double>(i) * formato::kMetriCella);
  }
  double tetto(double x) const {
    double v = massima;
    const int64_t n = static_cast<int64_t>(limite.size());
    for (int64_t i = std::max<int64_t>(cella(x - lunghezza), 0); i <= cella(x) && i < n; ++i)
      v = std::min(v, limite[static_cast<size_t>(i)]);
    return v;
  }
  double salita(double x) const { return (altezza(x) - altezza(x - lunghezza)) / lunghezza; }
};

// The acceleration the locomotive gives at speed v (m/s) on a gradient.
double accelerazione(const treno_marcia& t, double v, double salita) {
  const tipo_treno& k = *t.tipo;
  const double massa = t.massa();
  const double sforzo =
      std::min(k.sforzo_avviamento * 1000, k.potenza * 1000 / std::max(v, kVelocitaMinima));
  const double kmh = v * 3.6;
  const double resistenza = k.davis_a * massa + k.davis_b * massa * kmh +
                            (k.davis_c_motrice + t.vetture * k.davis_c_vettura) * kmh * kmh;
  return (sforzo - resistenza - massa * 1000 * kGravita * salita) /
         (massa * 1000 * k.masse_rotanti);
}

}  // namespace

corsa corsa_treno(const std::vector<cella_percorso>& celle, int64_t da, int64_t a,
                  const treno_marcia& treno, double passo) {
  corsa r;
  r.posizioni.push_back(da);
  r.tempi.push_back(0);
  r.velocita.push_back(0);
  if (a <= da) return r;
  const linea_sotto l(celle, treno);
  const size_t n = static_cast<size_t>(std::ceil(static_cast<double>(a - da) / passo));
  const double h = static_cast<double>(a - da) / static_cast<double>(n);
  auto x = [&](size_t i) { return static_cast<double>(da) + h * static_cast<double>(i); };
  // Squares of speeds: forward from the stand, backward from the stop.
  std::vector<double> e(n + 1);
  for (size_t i = 0; i < n; ++i) {
    const double v0 = std::sqrt(e[i]), a0 = accelerazione(treno, v0, l.salita(x(i)));
    const double v1 = std::sqrt(std::max(e[i] + 2 * a0 * h, 0.0));
    const double a1 = accelerazione(treno, v1, l.salita(x(i + 1)));
    const double tetto = l.tetto(x(i + 1));
    e[i + 1] = std::clamp(e[i] + (a0 + a1) * h, kVelocitaMinima * kVelocitaMinima, tetto * tetto);
  }
  const double b = decelerazione(treno.percentuale_frenata);
  double dietro = 0;
  e[n] = 0;
  for (size_t i = n; i-- > 0;) {
    dietro += 2 * b * h;
    dietro = std::min(dietro, e[i]);
    e[i] = dietro;
  }
  // Time over each step at its mean speed; a point at every cell boundary.
  double t = 0;
  int64_t confine = (da / formato::kMetriCella + 1) * formato::kMetriCella;
  for (size_t i = 0; i < n; ++i) {
    const double v0 = std::sqrt(e[i]), v1 = std::sqrt(e[i + 1]);
    t += 2 * h / (v0 + v1);
    while (confine < a && static_cast<double>(confine) <= x(i + 1)) {
      r.posizioni.push_back(confine);
      r.tempi.push_back(t);
      r.velocita.push_back(v1 * 3.6);
      confine += formato::kMetriCella;
    }
  }
  r.posizioni.push_back(a);
  r.tempi.push_back(t);
  r.velocita.push_back(0);
  r.tempo = t;
  return r;
}

}  // namespace regole
