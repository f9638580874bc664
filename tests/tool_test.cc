// The authors' tool: sources and compile.
#include <gtest/gtest.h>

#include <filesystem>

#include "aiuti.h"
#include "driver/form1.h"
#include "model/formato.h"
#include "tool/comune/json.h"

namespace fs = std::filesystem;

namespace {

const char* const kSorgenti[] = {"FerziaPS-Calvorano_linea.txt", "FerziaPS-Calvorano_24617-.txt",
                                 "FerziaPS-Calvorano_24617_note.txt",
                                 "FerziaPS-Calvorano_24617_rallentamenti.txt",
                                 "FerziaPS-Calvorano_24617_scheda_treno.txt"};

}  // namespace

TEST(ScenarioSources, WritesTheSameFilesAsTheWriters) {
  cartella_temporanea t;
  std::string uscita;
  ASSERT_EQ(esegui_scenario("sources " + (t / "nuova"), &uscita), 0);
  std::string scritti;
  for (auto n : kSorgenti) scritti += "scritto " + file::percorso(t / "nuova", n) + "\n";
  EXPECT_EQ(uscita, scritti);
  Form1 f;
  f.cartella = t.percorso;
  f.nome_linea = "FerziaPS-Calvorano";
  f.numero_treno = "24617";
  f.dati_linea();
  f.dati_treno();
  f.dati_note();
  f.dati_rallentamenti();
  f.dati_scheda();
  for (auto n : kSorgenti) {
    ASSERT_TRUE(esiste_file(t / (std::string("nuova/") + n))) << n;
    EXPECT_EQ(leggi_tutto(t / (std::string("nuova/") + n)), leggi_tutto(t / n)) << n;
  }
}

TEST(ScenarioUsage, BadArgumentsGiveStatus64AndUnwritableFolder2) {
  std::string uscita;
  EXPECT_EQ(esegui_scenario("", &uscita), 64);
  EXPECT_EQ(esegui_scenario("frobnicate", &uscita), 64);
  EXPECT_NE(uscita.find("uso:"), std::string::npos);
  EXPECT_EQ(esegui_scenario("sources", &uscita), 64);
  EXPECT_EQ(esegui_scenario("compile a b", &uscita), 64);
  EXPECT_EQ(esegui_scenario("compile a ../b c", &uscita), 64);
  EXPECT_EQ(esegui_scenario("compile a b c --wat", &uscita), 64);
  EXPECT_EQ(esegui_scenario("--help", &uscita), 0);
  EXPECT_NE(uscita.find("compile SRCDIR ROUTE TRAIN"), std::string::npos);
  EXPECT_EQ(esegui_scenario("sources /dev/null/sotto", &uscita), 2);
  EXPECT_NE(uscita.find("/dev/null/sotto"), std::string::npos) << uscita;
}

TEST(ScenarioCompile, SameFilesAsCompattatoreAndSourcesUntouched) {
  cartella_temporanea t;
  fs::copy_file(programma(COMPATTATORE_BIN), t / kCompattatore);
  ASSERT_EQ(esegui(t / kCompattatore + " >/dev/null 2>&1"), 0);
  ASSERT_EQ(esegui_scenario("sources " + (t / "src")), 0);
  std::string linea = leggi_tutto(t / "src/FerziaPS-Calvorano_linea.txt");
  std::string treno = leggi_tutto(t / "src/FerziaPS-Calvorano_24617-.txt");
  std::string uscita;
  ASSERT_EQ(esegui_scenario("compile " + (t / "src") + " FerziaPS-Calvorano 24617 --out " +
                                (t / "out") + " --json",
                            &uscita),
            0)
      << uscita;
  EXPECT_EQ(
      uscita,
      "{\"codice_errore\":0,\"posizione_errore\":0,\"files\":[\"FerziaPS-Calvorano_linea.dat\","
      "\"FerziaPS-Calvorano_24617.sim\",\"FerziaPS-Calvorano_24617.dat\"]}\n");
  for (auto n : {"FerziaPS-Calvorano_linea.dat", "FerziaPS-Calvorano_24617.sim",
                 "FerziaPS-Calvorano_24617.dat"})
    EXPECT_EQ(leggi_tutto(t / (std::string("out/") + n)), leggi_tutto(t / n)) << n;
  EXPECT_EQ(leggi_tutto(t / "src/FerziaPS-Calvorano_linea.txt"), linea);
  EXPECT_EQ(leggi_tutto(t / "src/FerziaPS-Calvorano_24617-.txt"), treno);
  // Only the three files: no temporary one is left behind.
  size_t voci = 0;
  for (auto& e : fs::directory_iterator(t / "out")) (void)e, ++voci;
  EXPECT_EQ(voci, 3u);
}

TEST(ScenarioCompile, PendingCodeAndNoPlan) {
  cartella_temporanea t;
  fs::create_directory(t / "src");
  scrivi_tutto(t / "src/r_linea.txt",
               "[generale]\r\nlunghezza percorso, 5000\r\n[pendenze]\r\npendenza, 20000, 3\r\n"
               "[fine]\r\n");
  scrivi_tutto(t / "src/r_7-.txt", "[generale]\r\n[fine]\r\n");
  std::string uscita;
  EXPECT_EQ(esegui_scenario("compile " + (t / "src") + " r 7 --no-plan --json", &uscita), 1);
  EXPECT_EQ(uscita,
            "{\"codice_errore\":15,\"posizione_errore\":20000,\"files\":[\"r_7.sim\",\"r_7.dat\"],"
            "\"file\":" +
                json_testo(file::percorso(t / "src", "r_linea.txt")) +
                ",\"riga\":4,\"colonna\":11,\"messaggio\":\"errore 15: una posizione cade oltre la "
                "fine del percorso (posizione 20000 m: la linea è lunga 5000 m e per questa voce "
                "le celle arrivano a 11900 m)\"}\n");
  EXPECT_FALSE(esiste_file(t / "src/r_linea.dat"));
  EXPECT_TRUE(esiste_file(file::percorso(t / "src", "r_linea.txt")));
  // A missing line description leaves no compiled file.
  EXPECT_EQ(esegui_scenario("compile " + (t / "src") + " manca 7 --json", &uscita), 1);
  EXPECT_EQ(uscita, "{\"codice_errore\":101,\"posizione_errore\":0,\"files\":[],\"file\":" +
                        json_testo(file::percorso(t / "src", "manca_linea.txt")) +
                        ",\"messaggio\":\"errore 101: il file di descrizione della linea non "
                        "esiste\"}\n");
}

// The reference names every key of both tables and every value in its place;
// a key alone shows its own entry.
TEST(ScenarioVoci, EveryKeyAndValueInOrderAndOneKeyAlone) {
  std::string tutto;
  ASSERT_EQ(esegui_scenario("voci", &tutto), 0);
  for (formato::sorgente s : {formato::sorgente::linea, formato::sorgente::treno})
    for (const formato::chiave_sorgente& k : formato::chiavi(s)) {
      const size_t a = tutto.find(std::string("`") + k.chiave + "`");
      ASSERT_NE(a, std::string::npos) << k.chiave;
      size_t dopo = a;
      for (size_t i = 0; i < k.n_valori; ++i) {
        dopo = tutto.find(std::to_string(i + 1) + ". `" + k.valori[i].nome + "` (", dopo);
        ASSERT_NE(dopo, std::string::npos) << k.chiave << " " << k.valori[i].nome;
      }
    }
  const struct {
    const char* chiave;
    const char* inizio;  // "" for a usage error
  } casi[] = {{"curvas3", "#### `curvad1`\n"},
              {"VELOCITA", "#### `velocita`\n"},
              {"progressiva", "#### `progressiva chilometrica tre`, "},
              {"\"sfondo due\"", "#### `sfondo uno`, "},
              {"nulla", ""},
              {"a b", ""}};
  for (const auto& c : casi) {
    std::string uscita;
    const int stato = esegui_scenario(std::string("voci ") + c.chiave, &uscita);
    EXPECT_EQ(stato, *c.inizio ? 0 : 64) << c.chiave;
    EXPECT_EQ(uscita.rfind(*c.inizio ? c.inizio : "scenario: ", 0), 0u) << uscita;
    if (*c.inizio) {
      EXPECT_EQ(uscita.find("#### ", 1), std::string::npos) << uscita;
    }
  }
}
