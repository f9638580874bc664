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
     80, 50, 17.5, 26.8, 3200, 250, 140, 14, 0.1, 0.45, 0.09, 1.08, "R"},
    {"intercity",
     "treno a lunga percorrenza di vetture trainate da una locomotiva (48 t l'una), 200 km/h",
     87, 48, 19.6, 26.4, 5600, 300, 200, 12, 0.1, 0.45, 0.08, 1.07, "IC"},
    {"alta_velocita",
     "elettrotreno ad alta velocità: due motrici (160 t insieme) e le rimorchiate (55 t l'una), "
     "280 km/h",
     160, 55, 41, 26.4, 9600, 400, 280, 10, 0.08, 0.9, 0.06, 1.06, "AV"},
    {"merci",
     "treno merci trainato da una locomotiva (carri di 60 t l'uno), 100 km/h",
     87, 60, 19.6, 15, 5600, 300, 100, 20, 0.15, 0.45, 0.14, 1.05, "M"},
}};
// clang-format on

const tipo_treno* tipo_treno_di(std::string_view nome) {
  for (const tipo_treno& t : kTipiTreno)
    if (nome == t.nome) return &t;
  return nullptr;
}

tipo_scritto tipo_da_sorgente(std::string_view s) {
  const std::string_view chiave = kChiaveTipoTreno;
  int riga_letta = 0;
  for (size_t i = 0; i < s.size();) {
    ++riga_letta;
    const size_t fine = std::min(s.find('\n', i), s.size());
    std::string_view scritta = s.substr(i, fine - i);
    i = fine + 1;
    if (!scritta.empty() && scritta.back() == '\r') scritta.remove_suffix(1);
    const std::string riga = testo::minuscolo(scritta);
    const size_t inizio = std::min(riga.find_first_not_of(" \t"), riga.size());
    if (riga.compare(inizio, 1, "[") == 0) break;  // the sections begin: the compile reads on
    if (riga.compare(inizio, chiave.size(), chiave) != 0) continue;
    const size_t da = std::min(riga.find_first_not_of(" \t,", inizio + chiave.size()), riga.size());
    const size_t a = riga.find_last_not_of(" \t");
    return {riga.substr(da, a == std::string::npos || a < da ? 0 : a + 1 - da), riga_letta,
            std::string(scritta)};
  }
  return {};
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
// it covers and its mean gradient, from tables of the cells a run from `da`
// to `a` can cover (a run is a few of a long line's thousands of cells).
struct linea_sotto {
  int64_t primo;               // the first cell in the tables
  std::vector<double> limite;  // m/s per cell, the train's own where none
  std::vector<double> quota;   // metres at each cell's start, from the first's
  std::vector<double> pendenza;
  double massima;  // the train's own limit, m/s
  double lunghezza;

  linea_sotto(const std::vector<cella_percorso>& celle, const treno_marcia& t, int64_t da,
              int64_t a)
      : massima(t.tipo->velocita_massima / 3.6), lunghezza(t.lunghezza()) {
    const int64_t n = static_cast<int64_t>(celle.size());
    primo = std::clamp<int64_t>(cella(static_cast<double>(da) - lunghezza), 0, n);
    const int64_t ultimo = std::clamp<int64_t>(cella(static_cast<double>(a)) + 1, primo, n);
    double h = 0;
    for (int64_t i = primo; i < ultimo; ++i) {
      const cella_percorso& c = celle[static_cast<size_t>(i)];
      const int v = velocita_cella(c);
      limite.push_back(v > 0 ? std::min(v / 3.6, massima) : massima);
      pendenza.push_back(pendenza_cella(c) / 1000.0);
      quota.push_back(h);
      h += pendenza.back() * formato::kMetriCella;
    }
    quota.push_back(h);
  }
  // The cell of a metre, x / 50 rounded down: asked several times a step, so
  // without std::floor, a library call where the target's baseline has no
  // rounding instruction.
  static int64_t cella(double x) {
    const double q = x * (1.0 / formato::kMetriCella);
    const auto t = static_cast<int64_t>(q);
    return q < static_cast<double>(t) ? t - 1 : t;
  }
  double altezza(double x) const {
    const int64_t i = cella(x) - primo;
    if (i < 0) return 0;
    if (i >= static_cast<int64_t>(pendenza.size())) return quota.back();
    return quota[static_cast<size_t>(i)] +
           pendenza[static_cast<size_t>(i)] *
               (x - static_cast<double>(i + primo) * formato::kMetriCella);
  }
  // The head moves on a metre at a time: the cells under the train change
  // only every few steps, and the lowest of them is kept until they do.
  mutable int64_t coda_vista = -1, testa_vista = -1;
  mutable double tetto_visto = 0;
  double tetto(double x) const {
    const int64_t coda = std::max<int64_t>(cella(x - lunghezza) - primo, 0),
                  testa = cella(x) - primo;
    if (coda == coda_vista && testa == testa_vista) return tetto_visto;
    double v = massima;
    const int64_t n = static_cast<int64_t>(limite.size());
    for (int64_t i = coda; i <= testa && i < n; ++i)
      v = std::min(v, limite[static_cast<size_t>(i)]);
    coda_vista = coda, testa_vista = testa, tetto_visto = v;
    return v;
  }
  double salita(double x) const { return (altezza(x) - altezza(x - lunghezza)) / lunghezza; }
};

// The acceleration the locomotive gives at speed v (m/s) on a gradient, with
// the train's figures worked out once: a run asks it twice a step.
struct trazione {
  double avviamento, potenza;    // N, W
  double a, b, c;                // the resistance in N at v in km/h: a + b·v + c·v²
  double peso, inversa_inerzia;  // m·g in N; 1 / (m · rotating masses) in 1/kg
  explicit trazione(const treno_marcia& t) {
    const tipo_treno& k = *t.tipo;
    const double massa = t.massa();
    avviamento = k.sforzo_avviamento * 1000;
    potenza = k.potenza * 1000;
    a = k.davis_a * massa;
    b = k.davis_b * massa;
    c = k.davis_c_motrice + t.vetture * k.davis_c_vettura;
    peso = massa * 1000 * kGravita;
    inversa_inerzia = 1 / (massa * 1000 * k.masse_rotanti);
  }
  double accelerazione(double v, double salita) const {
    const double sforzo = std::min(avviamento, potenza / std::max(v, kVelocitaMinima));
    const double kmh = v * 3.6;
    return (sforzo - (a + (b + c * kmh) * kmh) - peso * salita) * inversa_inerzia;
  }
};

}  // namespace

corsa corsa_treno(const std::vector<cella_percorso>& celle, int64_t da, int64_t a,
                  const treno_marcia& treno, double passo) {
  corsa r;
  r.posizioni.push_back(da);
  r.tempi.push_back(0);
  r.velocita.push_back(0);
  if (a <= da) return r;
  const linea_sotto l(celle, treno, da, a);
  const trazione f(treno);
  const size_t n = static_cast<size_t>(std::ceil(static_cast<double>(a - da) / passo));
  const double h = static_cast<double>(a - da) / static_cast<double>(n);
  auto x = [&](size_t i) { return static_cast<double>(da) + h * static_cast<double>(i); };
  // Squares of speeds: forward from the stand, backward from the stop.
  std::vector<double> e(n + 1);
  for (size_t i = 0; i < n; ++i) {
    const double v0 = std::sqrt(e[i]), a0 = f.accelerazione(v0, l.salita(x(i)));
    const double v1 = std::sqrt(std::max(e[i] + 2 * a0 * h, 0.0));
    const double a1 = f.accelerazione(v1, l.salita(x(i + 1)));
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
