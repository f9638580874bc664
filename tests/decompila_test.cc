// scenario decompile and scenario diff: sources back from compiled files.
#include "tool/decompilazione/decompila.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "aiuti.h"
#include "tool/comune/json.h"

namespace fs = std::filesystem;

namespace {

size_t conta(const std::string& s, const std::string& parola) {
  size_t n = 0;
  for (size_t p = s.find(parola); p != std::string::npos; p = s.find(parola, p + 1)) ++n;
  return n;
}

std::string righe(std::initializer_list<const char*> r) {
  std::string s;
  for (const char* x : r) s += std::string(x) + "\r\n";
  return s;
}

const char* const kCompilati[] = {"_linea.dat", "_7.sim", "_7.dat"};

// Compiles SRC (ROUTE x, TRAIN 7) into DIR, decompiles DIR alone into RIT and
// compiles RIT again: the three files must come back byte for byte.
void andata_e_ritorno(const cartella_temporanea& t, const std::string& linea,
                      const std::string& treno, bool planimetria = true, int stato = 0) {
  fs::create_directories(t / "src");
  scrivi_tutto(t / "src/x_linea.txt", linea);
  scrivi_tutto(t / "src/x_7-.txt", treno);
  ASSERT_EQ(esegui_scenario("compile " + (t / "src") + " x 7 --out " + (t / "dir")), stato);
  if (!planimetria) fs::remove(t / "dir/x_linea.dat");
  std::string uscita;
  EXPECT_EQ(esegui_scenario("decompile " + (t / "dir") + " x 7 --out " + (t / "rit"), &uscita), 0)
      << uscita << leggi_tutto(t / "rit/x_linea.txt") << leggi_tutto(t / "rit/x_7-.txt");
  EXPECT_NE(uscita.find("andata e ritorno identica"), std::string::npos) << uscita;
  ASSERT_EQ(esegui_scenario("compile " + (t / "rit") + " x 7 --out " + (t / "rit2") +
                            (planimetria ? "" : " --no-plan")),
            0);
  for (const char* f : kCompilati) {
    const std::string n = std::string("/x") + f;
    if (!planimetria && std::string(f) == "_linea.dat") {
      EXPECT_FALSE(esiste_file(t.percorso + "/rit2" + n));
      continue;
    }
    EXPECT_EQ(leggi_tutto(t.percorso + "/rit2" + n), leggi_tutto(t.percorso + "/dir" + n)) << f;
  }
}

}  // namespace

TEST(Decompile, BuiltInScenarioComesBackByteForByte) {
  cartella_temporanea t;
  ASSERT_EQ(esegui_scenario("sources " + (t / "src")), 0);
  ASSERT_EQ(
      esegui_scenario("compile " + (t / "src") + " FerziaPS-Calvorano 24617 --out " + (t / "dir")),
      0);
  std::string uscita;
  ASSERT_EQ(
      esegui_scenario("decompile " + (t / "dir") + " FerziaPS-Calvorano 24617 --json", &uscita), 0)
      << uscita;
  EXPECT_NE(uscita.find("\"identico\":true,\"differenze\":[]"), std::string::npos) << uscita;
  const std::string treno = leggi_tutto(t / "dir/FerziaPS-Calvorano_24617-.txt");
  EXPECT_EQ(conta(treno, "\r\nstazione,"), 11u);
  EXPECT_EQ(conta(treno, "\r\nsegnale,"), 21u);
  EXPECT_NE(treno.find("14, 25,  0, FERZIA PORTA SOLVENTRA\r\n"), std::string::npos) << treno;
  const std::string linea = leggi_tutto(t / "dir/FerziaPS-Calvorano_linea.txt");
  EXPECT_EQ(linea.find("[generale]\r\nlunghezza percorso,"), 0u) << linea;
  // The same heads in the same order as the built-in file.
  const std::string originale = leggi_tutto(t / "src/FerziaPS-Calvorano_linea.txt");
  std::string teste, teste_originale;
  for (auto [s, out] : {std::pair{&linea, &teste}, std::pair{&originale, &teste_originale}})
    for (size_t p = s->find('['); p != std::string::npos; p = s->find('[', p + 1))
      *out += s->substr(p, s->find(']', p) - p + 1);
  EXPECT_EQ(teste, teste_originale);
  // An existing source stays unless --force.
  EXPECT_EQ(esegui_scenario("decompile " + (t / "dir") + " FerziaPS-Calvorano 24617", &uscita), 2);
  EXPECT_NE(uscita.find("--force"), std::string::npos) << uscita;
  EXPECT_EQ(esegui_scenario("decompile " + (t / "dir") + " FerziaPS-Calvorano 24617 --force"), 0);
}

TEST(Decompile, GeneratedLinesComeBack) {
  for (auto [km, seme] : {std::pair{1, 7}, {12, 3}, {120, 11}}) {
    cartella_temporanea t;
    ASSERT_EQ(esegui_scenario("generate " + (t / "gen") + " x 7 --km " + std::to_string(km) +
                              " --seed " + std::to_string(seme)),
              0);
    andata_e_ritorno(t, leggi_tutto(t / "gen/x_linea.txt"), leggi_tutto(t / "gen/x_7-.txt"));
  }
}

// What the generator never writes: each case compiles without an error code.
TEST(Decompile, CraftedLinesComeBack) {
  const std::string linea_base = righe({"[generale]", "lunghezza percorso, 20000", "[fine]"});
  const std::string treno_base = righe({"[generale]", "[fine]"});
  struct caso {
    const char* nome;
    std::string linea, treno;
  };
  const caso casi[] = {
      {"header, curves behind the plan point, spans, boards on markers, texts with commas",
       righe({"[generale]", "lunghezza percorso, 20000",
              "progressiva chilometrica uno, 5000, 100, 0",
              "progressiva chilometrica due, 5000, 300, 1",
              "progressiva chilometrica tre, 9000, 900, 1", "sfondo uno, 2",
              "ripetizione segnali 9 codici, 1000, 0", "[curve]", "curvas6, 100, 200",
              "curvad3, 150, 300", "curvas2, 400, 100", "curvad1, 5000, 99999", "[pendenze]",
              "pendenza, 0, -3", "pendenza, 1000, 200", "pendenza, 1000, 5", "[montagne]",
              "montagna, 600, 1750, 12", "montagna, 1850, 2500, 2", "montagna, 2600, 3000, 14",
              "montagna, 3150, 3500, 5", "montagna, 3700, 4000, 7", "montagna, -100, 300, 11",
              "montagna, 5000, 6000, 12", "montagna, 5500, 6500, 5", "[cartelli]",
              // A board in cell 1, under the stamps.
              "indicatori_vmax, 0, 0, 0, 105, 1, , , , 0",
              "indicatori_vmax, 900, 100, 105, 105, 0, 100, 105, 105, 0",
              "indicatori_vmax, 2750, 103, 85, 85, 3, , , , 7", "[indicazioni]",
              "cartello_indicatore, 16250, \"(1, 2)(VIA)\"",
              "cartello_indicatore, 16450, \"  spazi  \"",
              "cartello_indicatore, 16550, con \"virgolette\"", "cartello_indicatore, 16650, ",
              "[fine]"}),
       treno_base},
      {"reference points by chainage, gradients at the very end",
       righe({"[generale]", "lunghezza percorso, 10000", "progressiva chilometrica uno, 0, 0, 1",
              "progressiva chilometrica due, 0, 500, 0", "progressiva chilometrica tre, 0, -50, 0",
              "[pendenze]", "pendenza, 0, 2", "pendenza, 16900, 9", "pendenza, 50, 7",
              "pendenza, 50, 8", "[fine]"}),
       treno_base},
      {"signals near the start, markers overwritten, stations of every kind", linea_base,
       righe(
           {"[generale]", "numero vetture, 3", "orologio, 1 2 3", "sabbia, -4", "[aderenze]",
            "aderenza, 500, 70", "[vel_limite]", "velocita, 100, 60", "velocita, 5000, 90",
            "[stazioni]", "stazione, 0, 8, 500, 1, 1, 1, 4,1,0, 2,1,1, 1, 14,25,0, \"PRIMA, A\"",
            "stazione, 1500, 5, 300, 1, 1, 1, 4,1,0, 2,1,1, 1, 14,30,0, CINQUE",
            "stazione, 3000, 6, 200, 1, 1, 1, 4,1,0, 2,1,1, 1, 14,35,0, SEI",
            "stazione, 4000, 7, 300, 1, 1, 1, 4,1,0, 2,1,1, 1, 14,40,0, SETTE",
            "stazione, 6000, 12, 800, 1, 1, 1, 4,1,0, 2,1,1, 1, 14,45,0, DODICI",
            "stazione, 8000, 30, 600, 1, 1, 0, 4,1,0, 2,1,1, 1, -1,50,0, TRENTA",
            "stazione, 9000, 0, 200, 0, 0, 0, 0,0,0, 0,0,0, 0, 0,0,0, ZERO",
            "stazione, 10000, 25, 200, 0, 0, 0, 0,0,0, 0,0,0, 0, 0,0,0, Bivio, con virgola",
            "stazione, 11000, 255, 400, 9, 9, 9, -7,300,255, -32768,32767,0, 255, 23,59,59, ULTIMO",
            "[rallentamenti]", "rallentamento, 1000, 30, 500, 1, 1, 0",
            "rallentamento, 12000, 60, 1000, 1, 1, 2", "rallentamento, 3000, 120, 10, 1, 0, 0",
            "[segnali]", "segnale, 50, 2, 0, 0, 0, 0, 0, 0,0,0, 5",
            "segnale, 250, 1, 1, 2, 3, 1, 2, 4,5,6, 0",
            "segnale, 6800, 2, 4, 0, 0, 0, 1, 1,0,0, 150",
            "segnale, 6700, 2, 3, 0, 0, 0, 0, 1,0,0, 0",
            "segnale, 10000, 0, 1, 0, 0, 0, 0, 1,0,0, 0",
            // A signal that a later station's stop cell replaces, and whose
            // markers that station's overwrite.
            "segnale, 15150, 2, 3, 0, 0, 0, 0, 1,0,0, 0",
            "stazione, 15000, 4, 400, 1, 1, 1, 4,1,0, 2,1,1, 1, 15,50,0, DOPO", "[fine]"})},
      {"source speed-reduction points where the finishing rules look", linea_base,
       righe({"[generale]", "[rallentamenti]", "rallentamento, 6000, 50, 1000, 1, 1, 0",
              "[segnali]", "segnale, 5000, 2, 0, 0, 0, 0, 0, 0,0,0, 0",
              "segnale, 4500, 2, 0, 0, 0, 0, 0, 0,0,0, 0", "[codici]", "abbattimento, 4500, 250",
              "abbattimento, 4450, 200", "abbattimento, 4000, 100", "abbattimento, 4100, 0",
              "abbattimento, 6450, 180", "abbattimento, 9000, 70000", "[fine]"})},
  };
  for (const caso& c : casi) {
    SCOPED_TRACE(c.nome);
    cartella_temporanea t;
    andata_e_ritorno(t, c.linea, c.treno);
  }
}

TEST(Decompile, WithoutPlanTheLineHasNoCurves) {
  cartella_temporanea t;
  ASSERT_EQ(esegui_scenario("sources " + (t / "b")), 0);
  fs::rename(t / "b/FerziaPS-Calvorano_linea.txt", t / "l");
  fs::rename(t / "b/FerziaPS-Calvorano_24617-.txt", t / "t");
  andata_e_ritorno(t, leggi_tutto(t / "l"), leggi_tutto(t / "t"), false);
  const std::string linea = leggi_tutto(t / "rit/x_linea.txt");
  EXPECT_NE(linea.find("[curve]\r\n[pendenze]\r\n"), std::string::npos) << linea;
}

// A read that a code ended early leaves its profiles without their run-out:
// the sources end them with a point of 0.
TEST(Decompile, FilesWrittenAfterAPendingCodeComeBack) {
  cartella_temporanea t;
  ASSERT_EQ(esegui_scenario("sources " + (t / "b")), 0);
  std::string treno = leggi_tutto(t / "b/FerziaPS-Calvorano_24617-.txt");
  const std::string doppio = "segnale,     850,   2, 2, 5,  6, 1,    0,  0,0,0, 0\r\n";
  treno.insert(treno.find("segnale,    1950"), doppio);
  andata_e_ritorno(t, leggi_tutto(t / "b/FerziaPS-Calvorano_linea.txt"), treno, true, 1);
  EXPECT_NE(leggi_tutto(t / "rit/x_7-.txt").find("velocita, 14500,   0\r\n"), std::string::npos);
}

TEST(Decompile, EditedDamagedAndInconsistentInputs) {
  cartella_temporanea t;
  ASSERT_EQ(esegui_scenario("sources " + (t / "src")), 0);
  fs::rename(t / "src/FerziaPS-Calvorano_linea.txt", t / "src/x_linea.txt");
  fs::rename(t / "src/FerziaPS-Calvorano_24617-.txt", t / "src/x_7-.txt");
  ASSERT_EQ(esegui_scenario("compile " + (t / "src") + " x 7 --out " + (t / "dir")), 0);
  const std::string dat = leggi_tutto(t / "dir/x_7.dat");
  std::string uscita;

  // A kind no entry gives, in cell 500: the closest sources, the difference
  // named by cell and field, status 1.
  std::string b = dat;
  b[500 * 15] = 9;
  fs::create_directories(t / "ed");
  for (const char* f : kCompilati)
    fs::copy_file(t.percorso + "/dir/x" + f, t.percorso + "/ed/x" + f);
  scrivi_tutto(t / "ed/x_7.dat", b);
  EXPECT_EQ(esegui_scenario("decompile " + (t / "ed") + " x 7", &uscita), 1);
  EXPECT_NE(uscita.find("cella 500 (25000 m) campo tipo: 9 nei file letti, 0"), std::string::npos)
      << uscita;
  EXPECT_NE(uscita.find("non esprimibile: cella 500: oggetto di tipo 9"), std::string::npos)
      << uscita;

  // Truncated, or not matching the table's line length: status 2, nothing written.
  for (const std::string& rotto : {dat.substr(0, dat.size() - 7), dat.substr(0, dat.size() - 15)}) {
    fs::remove_all(t / "rotto");
    fs::create_directories(t / "rotto");
    for (const char* f : kCompilati)
      fs::copy_file(t.percorso + "/dir/x" + f, t.percorso + "/rotto/x" + f);
    scrivi_tutto(t / "rotto/x_7.dat", rotto);
    EXPECT_EQ(esegui_scenario("decompile " + (t / "rotto") + " x 7", &uscita), 2);
    size_t n = 0;
    for (auto& e : fs::directory_iterator(t / "rotto")) (void)e, ++n;
    EXPECT_EQ(n, 3u) << uscita;
  }
  EXPECT_EQ(esegui_scenario("decompile " + (t / "manca") + " x 7 --json", &uscita), 2);
  const std::string atteso = json_testo(
      "impossibile leggere " + file::percorso(t / "manca", "x_7.sim") + ": il file non c'è");
  EXPECT_EQ(uscita, "{\"files\":[],\"identico\":false,\"errore\":" + atteso + "}\n");
  EXPECT_EQ(esegui_scenario("decompile " + (t / "dir") + " x", &uscita), 64);
  EXPECT_NE(uscita.find("uso: scenario decompile DIR ROUTE TRAIN"), std::string::npos);
  EXPECT_EQ(esegui_scenario("decompile " + (t / "dir") + " ../x 7"), 64);
  EXPECT_EQ(esegui_scenario("diff " + (t / "dir") + " x 7"), 64);
}

TEST(Diff, NamesTheEntriesThatChanged) {
  cartella_temporanea t;
  ASSERT_EQ(esegui_scenario("sources " + (t / "a")), 0);
  ASSERT_EQ(esegui_scenario("sources " + (t / "b")), 0);
  std::string treno = leggi_tutto(t / "b/FerziaPS-Calvorano_24617-.txt");
  auto sostituisci = [&](const std::string& da, const std::string& a) {
    treno.replace(treno.find(da), da.size(), a);
  };
  sostituisci("14,31, 7, FERZIA VELSANTE", "14,32, 0, FERZIA VELSANTE");
  sostituisci("velocita,    7900,   140", "velocita,    7900,   150");
  sostituisci("segnale,    4700,   2, 2, 3,  1, 0,    0,  0,0,0, 0\r\n", "");
  scrivi_tutto(t / "b/FerziaPS-Calvorano_24617-.txt", treno);
  for (const char* d : {"a", "b"})
    ASSERT_EQ(esegui_scenario("compile " + (t / d) + " FerziaPS-Calvorano 24617"), 0);
  std::string uscita;
  EXPECT_EQ(
      esegui_scenario("diff " + (t / "a") + " " + (t / "a") + " FerziaPS-Calvorano 24617", &uscita),
      0);
  EXPECT_EQ(uscita, "le due versioni si compilano dalle stesse voci\n");
  EXPECT_EQ(
      esegui_scenario("diff " + (t / "a") + " " + (t / "b") + " FerziaPS-Calvorano 24617", &uscita),
      1);
  for (const char* atteso :
       {"~ treno: cambiata velocita a 7900 m (km 0+300)\n    A riga 13: velocita,  7900, 140\n"
        "    B riga 13: velocita,  7900, 150\n",
        "~ treno: cambiata stazione a 5750 m (km -1+850)\n",
        "- treno: tolta segnale a 4700 m (km 10+750)\n    A riga 33:",
        "voci cambiate: 2, aggiunte: 0, tolte: 1\n"})
    EXPECT_NE(uscita.find(atteso), std::string::npos) << atteso << "\n" << uscita;
  EXPECT_EQ(
      esegui_scenario("diff " + (t / "a") + " " + (t / "b") + " FerziaPS-Calvorano 24617 --json",
                      &uscita),
      1);
  EXPECT_EQ(
      uscita.find("{\"uguali\":false,\"cambi\":[{\"cambio\":\"cambiata\",\"file\":\"treno\","
                  "\"genere\":\"velocita\",\"posizione\":7900,\"km\":\"km 0+300\",\"riga_a\":13"),
      0u)
      << uscita;
}

TEST(Decompile, TextFieldsQuotedOnlyWhenNeeded) {
  struct caso {
    const char* testo;
    const char* campo;
    bool esprimibile;
  } casi[] = {{"(P.L.Km)(15+950)", "(P.L.Km)(15+950)", true},
              {"", "", true},
              {"a, b", "\"a, b\"", true},
              {" a", "\" a\"", true},
              {"\"a", "\"\"a\"", false},
              {"a\"b", "a\"b", true},
              {"a,\"b", "\"a,\"b\"", false},
              {"a\r\nb", "a\r\nb", false}};
  for (const caso& c : casi) {
    std::string campo;
    EXPECT_EQ(testo_campo(c.testo, campo), c.esprimibile) << c.testo;
    EXPECT_EQ(campo, c.campo) << c.testo;
  }
}

TEST(Decompile, APlanSlotThatIsNoFileIsUnreadable) {
  cartella_temporanea t;
  ASSERT_EQ(esegui_scenario("sources " + (t / "src")), 0);
  ASSERT_EQ(
      esegui_scenario("compile " + (t / "src") + " FerziaPS-Calvorano 24617 --out " + (t / "c")),
      0);
  fs::remove(t / "c/FerziaPS-Calvorano_linea.dat");
  fs::create_directory(t / "c/FerziaPS-Calvorano_linea.dat");
  std::string uscita;
  EXPECT_EQ(esegui_scenario(
                "decompile " + (t / "c") + " FerziaPS-Calvorano 24617 --out " + (t / "r"), &uscita),
            2);
  EXPECT_NE(uscita.find("FerziaPS-Calvorano_linea.dat: al posto del file c'è una cartella"),
            std::string::npos)
      << uscita;
  EXPECT_FALSE(esiste_file(t / "r"));
}

TEST(Decompile, NeitherSourceIsWrittenUnlessBothCanBe) {
  cartella_temporanea t;
  ASSERT_EQ(esegui_scenario("sources " + (t / "src")), 0);
  ASSERT_EQ(
      esegui_scenario("compile " + (t / "src") + " FerziaPS-Calvorano 24617 --out " + (t / "c")),
      0);
  fs::create_directories(t / "r/FerziaPS-Calvorano_24617-.txt");
  std::string uscita;
  EXPECT_EQ(esegui_scenario(
                "decompile " + (t / "c") + " FerziaPS-Calvorano 24617 --force --out " + (t / "r"),
                &uscita),
            2);
  EXPECT_NE(uscita.find("c'è una cartella"), std::string::npos) << uscita;
  EXPECT_FALSE(esiste_file(t / "r/FerziaPS-Calvorano_linea.txt"));
}

// Each putting in place refused in turn: the pair is the old one or the new
// one, never half of each; a first source that was not there goes again.
TEST(Decompile, ARefusedRenameLeavesTheOldPairOrTheNew) {
  cartella_temporanea t;
  ASSERT_EQ(esegui_scenario("sources " + (t / "src")), 0);
  ASSERT_EQ(
      esegui_scenario("compile " + (t / "src") + " FerziaPS-Calvorano 24617 --out " + (t / "c")),
      0);
  for (bool c_erano : {true, false}) {
    for (int n = 1; n <= 2; ++n) {
      SCOPED_TRACE(std::to_string(n) + (c_erano ? " over old sources" : ""));
      cartella_temporanea r;
      const std::string l = r / "FerziaPS-Calvorano_linea.txt",
                        tr = r / "FerziaPS-Calvorano_24617-.txt";
      if (c_erano) {
        scrivi_tutto(l, "linea di prima");
        scrivi_tutto(tr, "treno di prima");
      }
      disco_guasto d(file::disco_reale());
      d.guasto_alla_chiusura = n;
      opzioni_decompilazione o{t / "c", "FerziaPS-Calvorano", "24617", r.percorso, true};
      try {
        decompila_cartella(o, d);
        ADD_FAILURE() << "a refused rename went unsaid";
      } catch (const file::errore_io& x) {
        EXPECT_NE(std::string(x.what()).find("guasto di prova"), std::string::npos) << x.what();
      }
      EXPECT_EQ(esiste_file(l), c_erano);
      EXPECT_EQ(esiste_file(tr), c_erano);
      if (c_erano) {
        EXPECT_EQ(leggi_tutto(l), "linea di prima");
        EXPECT_EQ(leggi_tutto(tr), "treno di prima");
      }
    }
  }
  cartella_temporanea r;
  disco_guasto d(file::disco_reale());
  const esito_decompilazione e =
      decompila_cartella({t / "c", "FerziaPS-Calvorano", "24617", r.percorso, true}, d);
  EXPECT_TRUE(e.identico);
  EXPECT_EQ(d.chiusure, 2);
  EXPECT_EQ(e.files.size(), 2u);
}

TEST(Decompile, OptionsAreReadOnceAndHelpIsNoError) {
  cartella_temporanea t;
  std::string uscita;
  for (const char* comando :
       {"compile", "check", "decompile", "dump", "plot", "diff", "generate"}) {
    SCOPED_TRACE(comando);
    EXPECT_EQ(esegui_scenario(std::string(comando) + " --help", &uscita), 0);
    EXPECT_EQ(uscita.find(std::string("uso: scenario ") + comando), 0u) << uscita;
  }
  EXPECT_EQ(esegui_scenario("decompile a b c --out x --out y", &uscita), 64);
  EXPECT_NE(uscita.find("opzione ripetuta '--out'"), std::string::npos) << uscita;
  EXPECT_EQ(esegui_scenario("dump a --json --json", &uscita), 64);
}

// Compiled files in version control: `scenario dump --all` as git's textconv.
TEST(Decompile, GitDiffsCompiledFilesThroughDump) {
  if (esegui("git --version >/dev/null 2>&1") != 0) GTEST_SKIP() << "git not installed";
  cartella_temporanea t;
  const std::string r = t / "repo";
  ASSERT_EQ(esegui_scenario("sources " + r), 0);
  const std::string git = "git -C " + r + " ";
  ASSERT_EQ(esegui(git + "init -q"), 0);
  scrivi_tutto(r + "/.gitattributes", "*.sim diff=scenario\n*.dat diff=scenario\n");
  ASSERT_EQ(
      esegui(git + "config diff.scenario.textconv \"" + programma(SCENARIO_BIN) + " dump --all\""),
      0);
  ASSERT_EQ(esegui_scenario("compile " + r + " FerziaPS-Calvorano 24617"), 0);
  ASSERT_EQ(esegui(git + "add -A"), 0);
  ASSERT_EQ(esegui(git + "-c user.name=t -c user.email=t@t commit -qm uno"), 0);
  std::string treno = leggi_tutto(r + "/FerziaPS-Calvorano_24617-.txt");
  treno.replace(treno.find("14,31, 7, FERZIA VELSANTE"), 25, "14,32, 0, FERZIA VELSANTE");
  scrivi_tutto(r + "/FerziaPS-Calvorano_24617-.txt", treno);
  ASSERT_EQ(esegui_scenario("compile " + r + " FerziaPS-Calvorano 24617"), 0);
  std::string d;
  ASSERT_EQ(esegui(git + "diff -U0 -- FerziaPS-Calvorano_24617.sim", &d), 0);
  EXPECT_NE(d.find("\n-voce 4: nome=\"FERZIA VELSANTE\""), std::string::npos) << d;
  EXPECT_NE(d.find("orario=52320 (14:32:00, km -1+850)"), std::string::npos) << d;
  // Only that entry's line changed.
  size_t righe = 0;
  for (size_t p = d.find("\n+voce"); p != std::string::npos; p = d.find("\n+voce", p + 1)) ++righe;
  EXPECT_EQ(righe, 1u) << d;
}
