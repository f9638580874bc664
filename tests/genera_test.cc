// The synthetic scenario generator: every length compiles clean, with every
// object it announces in its own cell.
#include "tool/generatori/genera.h"

#include <gtest/gtest.h>

#include <map>
#include <sstream>

#include "aiuti.h"
#include "driver/form1.h"
#include "model/formato.h"
#include "platform/file.h"

namespace {

struct compilato {
  int32_t codice = -1;
  std::map<int, int> tipi;  // cells by kind
  int marche = 0;           // check points placed by the finishing walk
  int stazioni = 0;         // named station records
  bool sorgenti_rimaste = true;
  size_t byte_percorso = 0;
};

compilato compila(const scenario_generato& g) {
  cartella_temporanea t;
  Form1 f;
  f.cartella = t.percorso;
  f.nome_linea = "gen";
  f.numero_treno = "9";
  file::sostituisci(f.file_linea(), g.linea);
  file::sostituisci(f.file_treno(), g.treno);
  int32_t j = 1;
  f.memorizza_percorso(j);
  compilato c;
  c.codice = f.codice_errore;
  for (const cella_percorso& x : f.celle_percorso) {
    ++c.tipi[x.tipo];
    if (x.tipo == tipo_cella::abbattimento && x.valore_1 == 180) ++c.marche;
  }
  for (int e = 1; e <= 80; ++e)
    if (f.tabella_linea[e].tipo != 0) ++c.stazioni;
  c.sorgenti_rimaste = esiste_file(f.file_linea()) || esiste_file(f.file_treno());
  c.byte_percorso = leggi_tutto(f.nel_programma(formato::nome_percorso(f.nome_linea, "9"))).size();
  return c;
}

// Start and length of every curve line, in file order.
std::vector<std::pair<int, int>> curve(const std::string& linea) {
  std::vector<std::pair<int, int>> r;
  std::istringstream in(linea);
  std::string s;
  while (std::getline(in, s)) {
    if (s.rfind("curva", 0) != 0) continue;
    int p = 0, n = 0;
    EXPECT_EQ(std::sscanf(s.c_str() + s.find(',') + 1, "%d , %d", &p, &n), 2) << s;
    r.emplace_back(p, n);
  }
  return r;
}

// Compiles a generated scenario and checks that nothing was refused or
// overwritten: each object kept its own cell.
void controlla(int km, uint64_t seme) {
  SCOPED_TRACE("km " + std::to_string(km) + " seed " + std::to_string(seme));
  scenario_generato g = genera_scenario({km, seme, 4});
  compilato c = compila(g);
  ASSERT_EQ(c.codice, 0);
  EXPECT_FALSE(c.sorgenti_rimaste);
  EXPECT_EQ(c.byte_percorso, 15u * ((km * 1000 + 7000) / 50 + 1));
  EXPECT_EQ(c.tipi[tipo_cella::segnale], g.segnali);
  EXPECT_EQ(c.tipi[tipo_cella::inizio_rallentamento], g.rallentamenti);
  EXPECT_EQ(c.tipi[tipo_cella::fine_rallentamento], g.rallentamenti);
  EXPECT_EQ(c.tipi[tipo_cella::indicatori_v_max], g.indicatori);
  EXPECT_EQ(c.tipi[tipo_cella::cartello], g.cartelli);
  EXPECT_EQ(c.stazioni, g.stazioni);
  EXPECT_EQ(c.tipi[tipo_cella::abbattimento] + c.tipi[tipo_cella::abbattimento_senza_velocita],
            c.marche + g.abbattimenti);
  // Rules 2 to 4 mark three cells before every slowdown.
  EXPECT_GE(c.marche, 3 * g.rallentamenti);
  EXPECT_LE(g.stazioni + g.cartelli, kStazioniPiuCartelli);
  EXPECT_EQ(g.pendenze, km * 2 + 1);
  EXPECT_EQ(g.segnali, km * 1000 / 1350);
}

}  // namespace

TEST(Genera, EveryLengthCompilesWithEveryObjectInPlace) {
  for (int km : {1, 5, 37, 100})
    for (uint64_t seme : {1u, 2u, 77u}) controlla(km, seme);
}

// The longest line: no curve may carry the plan to metre 1000000.
TEST(Genera, LongestLineCompiles) {
  controlla(kKmMassimi, 1);
}

TEST(Genera, LongLinesCarryTheFullSet) {
  scenario_generato g = genera_scenario({100, 5, 4});
  EXPECT_EQ(g.stazioni, 74);
  EXPECT_EQ(g.cartelli, 4);
  EXPECT_GE(g.rallentamenti, 3);
  EXPECT_GT(g.montagne, 0);
  EXPECT_GT(g.abbattimenti, 0);
  EXPECT_GT(g.aderenze, 1);
  EXPECT_GT(g.indicatori, 3);

  // Curves rise, never overlap, keep their arc inside the line and cover
  // most of it.
  auto c = curve(g.linea);
  ASSERT_EQ(static_cast<int>(c.size()), g.curve);
  int coperti = 0;
  for (size_t i = 0; i < c.size(); ++i) {
    coperti += c[i].second;
    EXPECT_LE(c[i].first + c[i].second, 100000);
    if (i > 0) {
      EXPECT_LT(c[i - 1].first + c[i - 1].second, c[i].first);
    }
  }
  EXPECT_GT(coperti, 50000);
}

TEST(Genera, StationsAndSignsShareTheTable) {
  // 78 stations need every entry: no sign at all. One station more is refused
  // by the reader, so the generator never writes it.
  scenario_generato g = genera_scenario({100, 3, 0});
  EXPECT_EQ(g.stazioni, 78);
  EXPECT_EQ(g.cartelli, 0);
  compilato c = compila(g);
  EXPECT_EQ(c.codice, 0);
  EXPECT_EQ(c.stazioni, 78);

  g = genera_scenario({100, 3, 10});
  EXPECT_EQ(g.stazioni, 68);
  EXPECT_EQ(g.cartelli, 10);
  EXPECT_EQ(compila(g).codice, 0);
}

TEST(Genera, SameSeedSameFiles) {
  scenario_generato a = genera_scenario({37, 9, 4});
  scenario_generato b = genera_scenario({37, 9, 4});
  scenario_generato c = genera_scenario({37, 10, 4});
  EXPECT_EQ(a.linea, b.linea);
  EXPECT_EQ(a.treno, b.treno);
  EXPECT_NE(a.linea, c.linea);
  EXPECT_NE(a.treno, c.treno);
}

TEST(Genera, CommandWritesTheSourcesAndChecksItsArguments) {
  cartella_temporanea t;
  std::string uscita;
  ASSERT_EQ(esegui_scenario("generate " + (t / "nuova") + " g 9 --km 5 --seed 12", &uscita), 0)
      << uscita;
  scenario_generato g = genera_scenario({5, 12, 4});
  EXPECT_EQ(leggi_tutto(t / "nuova/g_linea.txt"), g.linea);
  EXPECT_EQ(leggi_tutto(t / "nuova/g_9-.txt"), g.treno);
  EXPECT_NE(uscita.find("linea di 5 km"), std::string::npos) << uscita;
  // The default seed is 1.
  ASSERT_EQ(esegui_scenario("generate " + t.percorso + " g 9 --km 5"), 0);
  EXPECT_EQ(leggi_tutto(t / "g_linea.txt"), genera_scenario({5, 1, 4}).linea);
  ASSERT_EQ(esegui_scenario("compile " + t.percorso + " g 9 --json", &uscita), 0);
  EXPECT_EQ(uscita.rfind("{\"codice_errore\":0,", 0), 0u) << uscita;

  for (const char* sbagliato :
       {"generate d g 9", "generate d g 9 --km 0", "generate d g 9 --km 1001",
        "generate d g 9 --km 5x", "generate d g 9 --km", "generate d g 9 --km 5 --seed -1",
        "generate d g/x 9 --km 5", "generate d g --km 5", "generate d g 9 --km 5 --fast"}) {
    EXPECT_EQ(esegui_scenario(std::string(sbagliato), &uscita), 64) << sbagliato;
    EXPECT_NE(uscita.find("uso: scenario generate"), std::string::npos) << uscita;
  }
  EXPECT_EQ(esegui_scenario("generate /dev/null/sotto g 9 --km 1", &uscita), 2);
  EXPECT_NE(uscita.find("/dev/null/sotto"), std::string::npos) << uscita;
}
