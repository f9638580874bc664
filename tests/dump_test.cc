// scenario dump: decoding the compiled files and refusing ones that do not fit.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

#include "aiuti.h"
#include "model/records.h"
#include "output/immagini.h"
#include "tool/compilati/compilati.h"

namespace fs = std::filesystem;

namespace {

// Runs the tool with its standard output into a file.
int scenario_in(const std::string& args, const std::string& file) {
  return esegui(programma(SCENARIO_BIN) + " " + args + " >" + file + " 2>/dev/null");
}

bool contiene(const std::string& testo, const std::string& parte) {
  return testo.find(parte) != std::string::npos;
}

// The built-in scenario's compiled files, made once by the program itself.
class DumpIncorporato : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir = std::make_unique<cartella_temporanea>();
    fs::copy_file(programma(COMPATTATORE_BIN), *dir / kCompattatore);
    ASSERT_EQ(esegui(*dir / kCompattatore + " >/dev/null 2>&1"), 0);
  }
  static void TearDownTestSuite() { dir.reset(); }
  static std::string f(const std::string& coda) { return *dir / ("FerziaPS-Calvorano" + coda); }
  static std::unique_ptr<cartella_temporanea> dir;
};
std::unique_ptr<cartella_temporanea> DumpIncorporato::dir;

// JSON well-formedness by a real parser where the machine has one.
bool json_valido(const std::string& file_json) {
  if (esegui("command -v python3 >/dev/null 2>&1") != 0) return true;
  return esegui("python3 -c 'import json,sys; json.load(open(sys.argv[1]))' " + file_json +
                " >/dev/null 2>&1") == 0;
}

}  // namespace

TEST_F(DumpIncorporato, TrackShowsSignalStampsAndProfile) {
  std::string u;
  ASSERT_EQ(esegui_scenario("dump " + f("_24617.dat"), &u), 0) << u;
  EXPECT_TRUE(contiene(u, "881 celle")) << u.substr(0, 200);
  EXPECT_TRUE(contiene(
      u,
      "cella 18 (900 m) segnale (voce a 825-875 m): tipo=1 valore_1=50 valore_2=60 valore_3=10 "
      "valore_4=6 tempo=0"));
  // The first station's zone ends at 500 m; a board at 900 m.
  EXPECT_TRUE(contiene(u, "cella 9 (450 m) fermata (fine della zona della stazione a 476-524 m):"));
  EXPECT_TRUE(contiene(u, "cella 19 (950 m) indicatori_v_max (voce a 876-924 m):"));
  EXPECT_TRUE(contiene(u, "cella 1 (50 m) libera: tipo=0 valore_1=5121 "));
  EXPECT_TRUE(contiene(u,
                       "celle 18-27 (900-1400 m): velocita_limite=21 (105 km/h) pendenza=104 "
                       "(+4 per mille)"));
  // Plain cells are left out unless asked for.
  EXPECT_FALSE(contiene(u, "cella 11 (550 m)"));
  ASSERT_EQ(esegui_scenario("dump --all " + f("_24617.dat"), &u), 0);
  EXPECT_TRUE(contiene(u, "cella 11 (550 m)"));
  EXPECT_TRUE(contiene(u, "cella 880 (44000 m)"));

  ASSERT_EQ(scenario_in("dump --json " + f("_24617.dat"), *dir / "p.json"), 0);
  std::string j = leggi_tutto(*dir / "p.json");
  EXPECT_TRUE(contiene(j,
                       "{\"cella\":18,\"metri\":900,\"tipo\":1,\"valore_1\":50,\"valore_2\":60,"
                       "\"valore_3\":10,\"valore_4\":6,"));
  EXPECT_TRUE(json_valido(*dir / "p.json"));
}

TEST_F(DumpIncorporato, TableShowsStationsStampsAndFoldsEmptyEntries) {
  std::string u;
  ASSERT_EQ(esegui_scenario("dump " + f("_24617.sim"), &u), 0) << u;
  EXPECT_TRUE(contiene(u,
                       "voce 1:\n  nome=\"FERZIA PORTA SOLVENTRA\"\n  tipo=8 inizio=-500 fine=500 "
                       "posizione=0"));
  EXPECT_TRUE(contiene(u, "orario=51900 (14:25:00, km 6+050)"));
  EXPECT_TRUE(contiene(u, "nome=\"PELSANO D'OSTA\""));
  EXPECT_TRUE(contiene(u, "voci 12-72: vuote\n"));
  EXPECT_TRUE(contiene(u,
                       "nome=\"FerziaPS-Calvorano\"\n  tipo=0 inizio=1 fine=0 posizione=0 "
                       "opzione_1=0 parametro_1=610 "));
  ASSERT_EQ(esegui_scenario("dump --all " + f("_24617.sim"), &u), 0);
  EXPECT_FALSE(contiene(u, "vuot"));
  EXPECT_TRUE(contiene(u, "voce 40:"));

  ASSERT_EQ(scenario_in("dump --json " + f("_24617.sim"), *dir / "t.json"), 0);
  std::string j = leggi_tutto(*dir / "t.json");
  EXPECT_TRUE(contiene(j, "{\"voce\":1,\"nome\":\"FERZIA PORTA SOLVENTRA\",\"tipo\":8,"));
  EXPECT_TRUE(contiene(j, "\"orario\":51900}"));
  EXPECT_TRUE(contiene(j,
                       "\"voce\":85,\"nome\":\"FerziaPS-Calvorano\",\"tipo\":0,\"inizio\":1,"
                       "\"fine\":0,\"posizione\":0,\"opzione_1\":0,\"parametro_1\":610,"));
  EXPECT_FALSE(contiene(j, "\"voce\":40,"));
  EXPECT_TRUE(json_valido(*dir / "t.json"));
}

TEST_F(DumpIncorporato, PlanShowsCountsBoxAndPoints) {
  std::string u;
  ASSERT_EQ(esegui_scenario("dump " + f("_linea.dat"), &u), 0) << u;
  EXPECT_TRUE(contiene(u, "44001 punti (metri 0-44000), 879964 byte"));
  EXPECT_TRUE(contiene(u, "vuoto (0) 2, intero (2) 2, doppio (5) 43997"));
  EXPECT_TRUE(contiene(u, "riquadro: x da -2440.2783746162504 a "));
  EXPECT_TRUE(contiene(u, "punto 0: intero x=0 y=0\n"));
  EXPECT_TRUE(contiene(u, "punto 44000: vuoto\n"));
  EXPECT_FALSE(contiene(u, "punto 551:"));
  ASSERT_EQ(esegui_scenario("dump --all " + f("_linea.dat"), &u), 0);
  EXPECT_TRUE(contiene(u, "punto 551: doppio x=-0.003 y=551\n"));

  ASSERT_EQ(scenario_in("dump --all --json " + f("_linea.dat"), *dir / "l.json"), 0);
  std::string j = leggi_tutto(*dir / "l.json");
  EXPECT_TRUE(contiene(j, "{\"punto\":551,\"genere\":5,\"x\":-0.003,\"y\":551}"));
  EXPECT_TRUE(contiene(j, "{\"punto\":44000,\"genere\":0,\"x\":null,\"y\":null}"));
  EXPECT_TRUE(json_valido(*dir / "l.json"));
}

TEST_F(DumpIncorporato, SizesThatDoNotFitTheLayoutGiveStatus2) {
  const std::string traccia = leggi_tutto(f("_24617.dat"));
  const std::string tab = leggi_tutto(f("_24617.sim"));
  const std::string pianta = leggi_tutto(f("_linea.dat"));
  struct caso {
    std::string nome, dati, parola;
  };
  const caso casi[] = {
      {"a.dat", traccia.substr(0, traccia.size() - 1), "multiplo di 15"},
      {"b.sim", tab.substr(0, tab.size() - 1), "voce 86"},
      {"c.sim", tab.substr(0, 78), "nome della voce 1"},  // cut inside a name
      {"d.sim", tab + "x", "restano 1 byte"},
      {"e.sim", "", "voce 0"},
      {"f_linea.dat", pianta.substr(0, pianta.size() - 1), "finisce"},
      {"g_linea.dat", pianta.substr(0, pianta.size() - 2), "dispari"},
      {"h_linea.dat", std::string("\x07\x00", 2), "etichetta 7"},
      {"i_linea.dat", std::string("\x02\x00\x01\x00\x00\x00", 6), "non corrispondono"},
      {"j.sim", std::string(14, '\0') + "\xff\xff" + std::string(18, '\0'), "dichiara 65535 byte"},
  };
  for (const auto& c : casi) {
    scrivi_tutto(*dir / c.nome, c.dati);
    std::string u;
    EXPECT_EQ(esegui_scenario("dump " + (*dir / c.nome), &u), 2) << c.nome << "\n" << u;
    EXPECT_TRUE(contiene(u, c.parola)) << c.nome << "\n" << u;
    EXPECT_EQ(esegui_scenario("dump --json " + (*dir / c.nome), &u), 2) << c.nome;
  }
}

TEST(Dump, BadArgumentsAndUnreadableFiles) {
  cartella_temporanea t;
  std::string u;
  EXPECT_EQ(esegui_scenario("dump", &u), 64);
  EXPECT_TRUE(contiene(u, "uso: scenario dump FILE")) << u;
  EXPECT_EQ(esegui_scenario("dump a.dat b.dat", &u), 64);
  EXPECT_EQ(esegui_scenario("dump a.dat --wat", &u), 64);
  EXPECT_EQ(esegui_scenario("dump " + (t / "note.txt"), &u), 64);
  EXPECT_EQ(esegui_scenario("dump " + (t / "manca.dat"), &u), 2);
  EXPECT_TRUE(contiene(u, "manca.dat")) << u;
  fs::create_directory(t / "cartella.sim");
  EXPECT_EQ(esegui_scenario("dump " + (t / "cartella.sim"), &u), 2);
}

// The decoders read back exactly what the writers wrote, signs, 1252 text
// and every kind of plan element included.
TEST(Dump, DecodersRoundTripTheWriters) {
  tabella t;
  t[3].nome = "Citt\xe0 & \"C\"";
  t[3].inizio = -123456789;
  t[3].parametro_6 = -2;
  t[3].parametro_7 = 255;
  t[3].orario = -1;
  t[86].nome = std::string(300, 'x');
  tabella letta;
  ASSERT_NO_THROW(decodifica_tabella(immagine_tabella(t), letta, ""));
  for (int e = 0; e < kVociTabella; ++e) {
    const auto &a = t[static_cast<size_t>(e)], &b = letta[static_cast<size_t>(e)];
    EXPECT_EQ(a.nome, b.nome) << e;
    EXPECT_EQ(a.inizio, b.inizio) << e;
    EXPECT_EQ(a.parametro_6, b.parametro_6) << e;
    EXPECT_EQ(a.parametro_7, b.parametro_7) << e;
    EXPECT_EQ(a.orario, b.orario) << e;
  }
  EXPECT_EQ(immagine_tabella(letta), immagine_tabella(t));

  std::vector<cella_percorso> c(3);
  c[2] = {255, -32768, 32767, -1, 1, 200, 84, 2, 28, 0, 255};
  std::vector<cella_percorso> cl;
  ASSERT_NO_THROW(decodifica_percorso(immagine_percorso(c), cl, ""));
  EXPECT_EQ(immagine_percorso(cl), immagine_percorso(c));
  EXPECT_EQ(cl[2].valore_1, -32768);

  planimetria_linea p;
  p.crea(4);
  p.genere = {genere_punto::intero, genere_punto::doppio, genere_punto::doppio,
              genere_punto::vuoto};
  p.x = {-7, -0.003, 1e300, 0};
  p.y = {32767, 551, -2.5, 0};
  planimetria_linea pl;
  ASSERT_NO_THROW(decodifica_planimetria(immagine_planimetria(p), pl, ""));
  EXPECT_EQ(immagine_planimetria(pl), immagine_planimetria(p));
  EXPECT_EQ(pl.x[0], -7);
  EXPECT_EQ(pl.y[1], 551);

  // The 1252 text reaches JSON as UTF-8, escaped.
  cartella_temporanea d;
  scrivi_tutto(d / "r_1.sim", immagine_tabella(t));
  std::string u;
  ASSERT_EQ(esegui_scenario("dump --json " + (d / "r_1.sim"), &u), 0);
  EXPECT_TRUE(contiene(u, "\"nome\":\"Citt\xc3\xa0 & \\\"C\\\"\"")) << u.substr(0, 300);
}
