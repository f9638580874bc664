// The run a driver can keep: cases with a closed form, the physics' signs,
// the limits braked for ahead and held by the tail, and the built-in leg.
#include "model/marcia.h"

#include <gtest/gtest.h>

#include <cmath>

#include "model/formato.h"
#include "model/regole.h"

namespace {

std::vector<cella_percorso> celle(size_t n, int kmh, int permille = 0) {
  cella_percorso c;
  c.velocita_limite = static_cast<uint8_t>(kmh / 5);
  c.pendenza = static_cast<uint8_t>(permille + 100);
  return std::vector<cella_percorso>(n, c);
}

// A train of constant acceleration: no resistance, power beyond need.
regole::tipo_treno costante(double accelerazione) {
  regole::tipo_treno t = regole::kTipiTreno[0];
  t.potenza = 1e9;
  t.davis_a = t.davis_b = t.davis_c_motrice = t.davis_c_vettura = 0;
  t.masse_rotanti = 1;
  t.massa_vettura = 0;
  t.lunghezza_vettura = 0;
  t.sforzo_avviamento = accelerazione * t.massa_motrice;  // kN over t: m/s²
  t.velocita_massima = 400;
  return t;
}

TEST(Corsa, ConstantAccelerationAndBrakingHaveTheirClosedForm) {
  const regole::tipo_treno k = costante(0.5);
  regole::treno_marcia t{&k, 0, 100};  // braking 0.5 m/s²
  const double b = regole::decelerazione(100);
  ASSERT_DOUBLE_EQ(b, 0.5);
  // Cruise at 90 km/h (25 m/s) over 10 km: 50 s to reach it over 625 m,
  // the same to stop.
  const auto lunga = regole::corsa_treno(celle(400, 90), 0, 10000, t);
  const double v = 25, attesa = (10000 - v * v / (2 * 0.5) - v * v / (2 * b)) / v + v / 0.5 + v / b;
  EXPECT_NEAR(lunga.tempo, attesa, 0.5);
  // A hop too short to reach the limit: up to the peak and down at once.
  const auto breve = regole::corsa_treno(celle(400, 90), 0, 400, t);
  const double picco = std::sqrt(2 * 400 * 0.5 * b / (0.5 + b));
  EXPECT_NEAR(breve.tempo, picco / 0.5 + picco / b, 0.5);
  double massima = 0;
  for (double x : breve.velocita) massima = std::max(massima, x);
  EXPECT_LT(massima, 90);
}

TEST(Corsa, UphillIsSlowerAndTheFigureDoesNotDependOnTheStep) {
  const regole::treno_marcia t;
  const double salita = regole::corsa_treno(celle(200, 140, 12), 0, 9000, t).tempo;
  const double discesa = regole::corsa_treno(celle(200, 140, -12), 0, 9000, t).tempo;
  const double piano = regole::corsa_treno(celle(200, 140, 0), 0, 9000, t).tempo;
  EXPECT_GT(salita, piano + 5);
  EXPECT_LT(discesa, piano);
  const auto c = celle(200, 140, 8);
  EXPECT_NEAR(regole::corsa_treno(c, 0, 9000, t).tempo,
              regole::corsa_treno(c, 0, 9000, t, regole::kPassoCorsa / 2).tempo, 0.5);
}

TEST(Corsa, ALowerLimitIsBrakedForBeforeItsBoardAndHeldByTheTail) {
  // 140 km/h, then 60 from 5000 m to 6000 m, then 140 again.
  std::vector<cella_percorso> c = celle(300, 140);
  for (size_t i = 100; i < 120; ++i) c[i].velocita_limite = 60 / 5;
  const regole::treno_marcia t;
  const auto r = regole::corsa_treno(c, 0, 14000, t);
  const double coda = t.lunghezza();
  for (size_t i = 0; i < r.posizioni.size(); ++i) {
    const int64_t p = r.posizioni[i];
    if (p >= 5000 && p <= 6000 + coda) {
      EXPECT_LE(r.velocita[i], 60 + 1e-6) << p;
    }
  }
  // It did brake: well above 60 some way before the board.
  double prima = 0;
  for (size_t i = 0; i < r.posizioni.size(); ++i)
    if (r.posizioni[i] == 4000) prima = r.velocita[i];
  EXPECT_GT(prima, 100);
}

}  // namespace
