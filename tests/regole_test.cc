// The rules every view asks: each is checked here once, against the values
// an author reads off the built-in scenario.
#include "model/regole.h"

#include <gtest/gtest.h>

#include "model/formato.h"

namespace {

cella_percorso limite(int kmh) {
  cella_percorso c;
  c.velocita_limite = static_cast<uint8_t>(kmh / 5);
  return c;
}

TEST(Orario, FastestRunIsLengthOverLimitCellByCell) {
  // 30 km/h: 6 s a cell; 60: 3 s; none; 15: 12 s.
  const std::vector<cella_percorso> celle = {limite(30), limite(60), limite(0), limite(15)};
  const struct {
    int64_t da, a;
    double secondi;
  } casi[] = {
      {0, 200, 21}, {25, 75, 4.5}, {100, 150, 0}, {0, 0, 0}, {150, 400, 12}, {-50, 50, 6},
  };
  for (const auto& c : casi)
    EXPECT_DOUBLE_EQ(regole::corsa_minima(celle, c.da, c.a), c.secondi) << c.da << ".." << c.a;
}

TEST(Orario, TimesAsRead) {
  EXPECT_EQ(regole::ora_testo(51900), "14:25:00");
  EXPECT_EQ(regole::ora_testo(86400 + 61), "00:01:01");
  EXPECT_EQ(regole::durata_testo(59), "59 s");
  EXPECT_EQ(regole::durata_testo(60), "1 min");
  EXPECT_EQ(regole::durata_testo(96), "1 min 36 s");
}

tabella con_punti(std::initializer_list<std::pair<int32_t, int32_t>> punti) {
  tabella t{};
  int e = formato::kVoceProgressivaTre;
  for (auto [p, k] : punti) {
    t[static_cast<size_t>(e)].inizio = p;
    t[static_cast<size_t>(e)].fine = k;
    ++e;
  }
  return t;
}

TEST(Chilometri, FromTheLastPointAtOrBeforeAndBackFromTheFirst) {
  // The built-in points as compiled: largest position first.
  const auto km = regole::tratti_km(con_punti({{35400, 100250}, {5700, -1900}, {3500, 9550}}));
  const struct {
    int64_t p;
    const char* km;
  } casi[] = {{0, "km 6+050"},       {3500, "km 9+550"},   {5699, "km 11+749"},
              {5750, "km -1+850"},   {21600, "km 14+000"}, {35399, "km 27+799"},
              {35400, "km 100+250"}, {-7000, "km -0+950"}, {40000, "km 104+850"}};
  for (const auto& c : casi) EXPECT_EQ(regole::testo_km(regole::progressiva(km, c.p)), c.km) << c.p;
  // Points the compile zeroed read as chainage 0 at metre 0.
  const auto zero = regole::tratti_km(tabella{});
  EXPECT_EQ(regole::progressiva(zero, 12345), 12345);
}

TEST(Nomi, WhatASourceNameSays) {
  const auto l = regole::nomi_da_file("Ferzia_PS_linea.txt");
  ASSERT_TRUE(l);
  EXPECT_TRUE(l->sorgente_linea);
  EXPECT_EQ(l->linea, "Ferzia_PS");
  const auto t = regole::nomi_da_file("Ferzia_PS_24617-.txt");
  ASSERT_TRUE(t);
  EXPECT_EQ(t->linea, "Ferzia_PS");
  EXPECT_EQ(t->treno, "24617");
  for (const char* no : {"_linea.txt", "linea.txt", "_24617-.txt", "Ferzia_-.txt", "Ferzia-.txt",
                         "Ferzia_24617.txt", "a\\b_linea.txt"})
    EXPECT_FALSE(regole::nomi_da_file(no)) << no;
  for (const char* no : {"", ".", "..", "a/b", "a\\b"}) EXPECT_FALSE(regole::nome_valido(no)) << no;
}

TEST(Orario, StationsByPositionCountingOnPastMidnight) {
  const std::vector<cella_percorso> celle(100, limite(90));  // 2 s a cell
  const auto st = [](std::initializer_list<std::pair<int32_t, int32_t>> v) {
    std::vector<regole::stazione_linea> r;
    for (auto [p, ora] : v) r.push_back({0, "S" + std::to_string(p), 4, p, p, p, ora});
    return r;
  };
  // Out of order in the table; 23:59:00 then 00:01:00 the next day.
  const auto a = st({{1000, 60}, {0, 86340}, {500, 0}});
  const auto m = regole::marce(a, celle, {});
  ASSERT_EQ(m.size(), 1u);
  EXPECT_EQ(m[0].da, 1u);
  EXPECT_EQ(m[0].a, 0u);
  EXPECT_EQ(m[0].ora_a, 86400 + 60);
  EXPECT_DOUBLE_EQ(m[0].minima, 40);
  EXPECT_EQ(m[0].esito, regole::giudizio::in_orario);
  EXPECT_EQ(m[0].posizioni.size(), 21u);
  EXPECT_EQ(regole::marce(st({{0, 3600}, {1000, 3630}}), celle, {})[0].esito,
            regole::giudizio::troppo_stretto);
  EXPECT_EQ(regole::marce(st({{0, 3600}, {1000, 3000}}), celle, {})[0].esito,
            regole::giudizio::all_indietro);
  // Two stations at one place give no run.
  EXPECT_TRUE(regole::marce(st({{0, 3600}, {0, 3000}}), celle, {}).empty());
}

}  // namespace

// The cell an entry's position lands in, and back: every position of a cell's
// span lands in it, and the positions just outside land in its neighbours.
TEST(RegoleCelle, ThePositionsOfACellAreThoseThatLandInIt) {
  for (bool dopo : {false, true}) {
    for (int64_t p = -300; p <= 3000; ++p) {
      const int64_t c = regole::cella_della_posizione(p, dopo);
      const regole::posizioni_cella r = regole::posizioni_della_cella(c, dopo);
      ASSERT_TRUE(r.da <= p && p <= r.a) << p << (dopo ? " dopo" : "");
      EXPECT_EQ(regole::cella_della_posizione(r.da - 1, dopo), c - 1);
      EXPECT_EQ(regole::cella_della_posizione(r.a + 1, dopo), c + 1);
    }
  }
  // A signal at 850 m stands in cell 18, whose start is 900 m.
  EXPECT_EQ(regole::cella_della_posizione(850, regole::nella_cella_dopo("segnale")), 18);
  EXPECT_EQ(regole::posizioni_della_cella(18, true).da, 825);
  EXPECT_EQ(regole::posizioni_della_cella(17, true).a, 824);
  for (const char* g : {"pendenza", "montagna", "velocita", "aderenza", "abbattimento", "stazione"})
    EXPECT_FALSE(regole::nella_cella_dopo(g)) << g;
  for (const char* g : {"segnale", "rallentamento", "indicatori_vmax", "cartello_indicatore"})
    EXPECT_TRUE(regole::nella_cella_dopo(g)) << g;
}
