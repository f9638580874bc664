// Compile errors that point into the sources, and `scenario check`.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "aiuti.h"
#include "driver/form1.h"

namespace {

const std::string kLinea = "FerziaPS-Calvorano";
const std::string kTreno = "24617";

// The built-in sources in a folder of their own, to be changed line by line.
struct sorgenti : sorgenti_predefinite {
  int esegui_comando(const std::string& comando, std::string* uscita) const {
    return esegui(programma(SCENARIO_BIN) + " " + comando + " " + t.percorso + " " + kLinea + " " +
                      kTreno + (comando.rfind("compile", 0) == 0 ? " --out " + (t / "out") : "") +
                      " 2>&1",
                  uscita);
  }
  int compila(std::string* uscita) const { return esegui_comando("compile", uscita); }
  int controlla(std::string* uscita) const { return esegui_comando("check", uscita); }
};

size_t conta(const std::string& testo, const std::string& parte) {
  size_t n = 0;
  for (size_t p = testo.find(parte); p != std::string::npos; p = testo.find(parte, p + 1)) ++n;
  return n;
}

// The built-in sources as written give one warning: the first station's
// opzione_2, which the compile clears.
TEST(ScenarioCheck, BuiltInSourcesGiveOneWarningAndNothingIsWritten) {
  sorgenti s;
  std::string uscita;
  EXPECT_EQ(s.controlla(&uscita), 0);
  EXPECT_EQ(uscita, "0 avvisi, nessun errore\n");
  s.cambia(s.treno(), "0,  8,  500,  1, 0, 0,", "0,  8,  500,  1, 1, 0,");
  EXPECT_EQ(s.controlla(&uscita), 0);
  EXPECT_NE(uscita.find(s.treno() + ":18: avviso: opzione_2 1 diventa 0: la zona è lunga meno di "
                                    "600 m\n"),
            std::string::npos)
      << uscita;
  EXPECT_NE(uscita.find("1 avviso, nessun errore\n"), std::string::npos) << uscita;
  size_t voci = 0;
  for (auto& e : std::filesystem::directory_iterator(s.t.percorso)) (void)e, ++voci;
  EXPECT_EQ(voci, 5u);  // the five sources, nothing else
}

TEST(ScenarioCheck, MisspeltKeyWrappingGradientAndCurveOutOfOrder) {
  sorgenti s;
  const int chiave = s.cambia(s.linea(), "pendenza,  500,   -7", "pendnza,  500,   -7");
  const int pendenza = s.cambia(s.linea(), "pendenza,  2300,   11", "pendenza,  2300,   170");
  const int curva = s.cambia(s.linea(), "curvad6,  3100,  100", "curvad6,  3050,  100");
  std::string uscita;
  ASSERT_EQ(s.controlla(&uscita), 0) << uscita;
  EXPECT_EQ(conta(uscita, ": avviso: "), 3u) << uscita;
  const std::string f = s.linea() + ":";
  EXPECT_NE(uscita.find(f + std::to_string(chiave) + ": avviso: campo 'pendnza' ignorato"),
            std::string::npos)
      << uscita;
  // The caret stands under the value that wraps.
  EXPECT_NE(uscita.find(f + std::to_string(pendenza) +
                        ": avviso: pendenza 170 per mille fuori da -100..155: diventa -86\n"
                        "pendenza,  2300,   170\n                   ^\n"),
            std::string::npos)
      << uscita;
  EXPECT_NE(uscita.find(f + std::to_string(curva) + ": avviso: la curva inizia a 3050 m"),
            std::string::npos)
      << uscita;
  EXPECT_NE(uscita.find("3 avvisi, nessun errore\n"), std::string::npos);

  ASSERT_EQ(s.esegui_comando("check --json", &uscita), 0);
  EXPECT_EQ(uscita.rfind("{\"codice_errore\":0,\"posizione_errore\":0,\"avvisi\":[{\"file\":", 0),
            0u)
      << uscita;
  EXPECT_EQ(conta(uscita, "\"riga\":"), 3u);
  EXPECT_NE(uscita.find("\"riga\":" + std::to_string(chiave) + ",\"colonna\":1,"),
            std::string::npos);

  // The compile itself looks for none of this.
  ASSERT_EQ(s.compila(&uscita), 0);
  EXPECT_EQ(uscita.find("avviso"), std::string::npos) << uscita;
}

TEST(ScenarioCheck, RoundedSpeedDisorderOverwrittenMarkersAndLostFields) {
  sorgenti s;
  const int intestazione =
      s.cambia(s.linea(), "progressiva chilometrica uno", "progressiva chilometrica UNO");
  const int ordine = s.cambia(s.linea(), "pendenza,  900,   4", "pendenza,  450,   4");
  const int velocita = s.cambia(s.treno(), "velocita,    1950,    60", "velocita,    1950,    63");
  // Signals 100 m apart: the second one's markers land on the first one's.
  const int segnale = s.cambia(s.treno(), "segnale,    9100,", "segnale,    7700,");
  // A key as the very last field of the file is never read.
  const int ultimo = s.cambia(s.treno(), "[fine]\r\n", "[fine]\r\nsabbia\r\n") + 1;
  std::string uscita;
  ASSERT_EQ(s.controlla(&uscita), 0) << uscita;
  const std::string l = s.linea() + ":", t = s.treno() + ":";
  for (const std::string& atteso :
       {l + std::to_string(intestazione) + ": avviso: campo 'progressiva chilometrica UNO'",
        l + std::to_string(ordine) + ": avviso: punto di pendenza a 450 m dopo uno a 850 m",
        t + std::to_string(velocita) + ": avviso: velocità 63 km/h non multipla di 5: diventa 65",
        t + std::to_string(segnale) + ": avviso: il segnale sostituisce il marcatore",
        t + std::to_string(ultimo) + ": avviso: l'ultimo campo del file ('sabbia')"})
    EXPECT_NE(uscita.find(atteso), std::string::npos) << atteso << "\n" << uscita;
}

// One changed source line and the code it must give, named at that line.
struct caso {
  bool treno;
  const char* da;
  const char* a;
  const char* atteso;  // after "FILE:LINE: "
};

TEST(ScenarioCompileErrors, CodesFromBothFilesNameTheLineOfTheirEntry) {
  const caso casi[] = {
      {false, "37000", "2000000", "errore 1: lunghezza della linea oltre 1000000 m\n"},
      {false, "indicatori_vmax,  2750,", "indicatori_vmax,  900,", "errore 21: un indicatore"},
      {false, "cartello_indicatore,  16450,", "cartello_indicatore,  16250,",
       "errore 6: un cartello indicatore cade su una cella già occupata (posizione 16250 m; la "
       "cella ha già un cartello indicatore: voce di "},
      {false, "curvad5,", "curvad7,", "errore 103: "},
      {false, "progressiva chilometrica uno,    3500,", "progressiva chilometrica uno,    3525,",
       "errore 2: "},
      {true, "stazione,   14250,", "stazione,   14225,",
       "errore 8: posizione di stazione non multipla di 50 m (posizione 14225 m)\n"
       "stazione,   14225, 12,  300,  0, 0, 0,  1,1,0,  4,1,1,   60,  14,39,51, GASPIELLO-FONTIA\n"
       "            ^\n"},
      {true, "segnale,    4700,", "segnale,    3000,", "errore 16: "},
      {true, "stazione,    3500, 25", "stazione,    2400, 25", "errore 22: "},
      {true, "velocita,   14500,", "velocita,   54500,", "errore 15: "},
      {true, "segnale,   34400,   2, 2, 3,  0, 0,    0,  0,0,0, 0", "segnale,   34400,   2, x",
       "errore 25: lettura fallita: il file finisce dentro una voce, o un valore non entra nel suo "
       "campo (numero non valido)"},
  };
  for (const caso& c : casi) {
    sorgenti s;
    const std::string file = c.treno ? s.treno() : s.linea();
    const int riga = s.cambia(file, c.da, c.a);
    std::string uscita;
    EXPECT_EQ(s.compila(&uscita), 1) << c.a;
    EXPECT_NE(uscita.find(file + ":" + std::to_string(riga) + ": " + c.atteso), std::string::npos)
        << c.a << "\n"
        << uscita;
  }
}

TEST(ScenarioCompileErrors, LineCodeFifteenKeepsItsPlaceThroughTheTrainRead) {
  cartella_temporanea t;
  scrivi_tutto(t / "r_linea.txt",
               "[generale]\r\nlunghezza percorso, 5000\r\n[pendenze]\r\npendenza, 20000, 3\r\n"
               "[fine]\r\n");
  scrivi_tutto(t / "r_7-.txt", "[generale]\r\nvelocita, 0, 60\r\n[fine]\r\n");
  std::string uscita;
  EXPECT_EQ(esegui(programma(SCENARIO_BIN) + " check " + t.percorso + " r 7 2>&1", &uscita), 1);
  EXPECT_NE(
      uscita.find(t / "r_linea.txt:4: errore 15: una posizione cade oltre la fine del "
                      "percorso (posizione 20000 m: la linea è lunga 5000 m e per questa voce le "
                      "celle arrivano a 11900 m)\npendenza, 20000, 3\n          ^\n"),
      std::string::npos)
      << uscita;

  // A signal in the train then ends the train read with the same code: the
  // cause stays first, the place where the train read stopped follows.
  sorgenti s;
  const int riga = s.cambia(s.linea(), "pendenza,  33700,", "pendenza,  50000,");
  ASSERT_EQ(s.compila(&uscita), 1);
  const size_t causa = uscita.find(s.linea() + ":" + std::to_string(riga) +
                                   ": errore 15: una posizione cade oltre la fine del percorso "
                                   "(posizione 50000 m: la linea è lunga 37000 m");
  const size_t nota = uscita.find(s.treno() + ":31: nota: ");
  EXPECT_NE(causa, std::string::npos) << uscita;
  EXPECT_NE(nota, std::string::npos) << uscita;
  EXPECT_LT(causa, nota);
  EXPECT_NE(uscita.find("(posizione 850 m)"), std::string::npos);
}

TEST(ScenarioCompileErrors, CodesWithoutASourceLine) {
  std::string uscita;
  {
    sorgenti s;  // a missing train file is named
    std::filesystem::remove(s.treno());
    EXPECT_EQ(s.compila(&uscita), 1);
    EXPECT_NE(
        uscita.find(s.treno() +
                    ": errore 25: lettura fallita: il file non esiste o non si può leggere\n"),
        std::string::npos)
        << uscita;
  }
  {
    sorgenti s;  // the finishing walk names the cell
    s.cambia(
        s.treno(), "[rallentamenti]\r\n",
        "[rallentamenti]\r\nrallentamento, 10000, 60, 500, 1, 0, 0\r\nabbattimento, 9800, 50\r\n"
        "abbattimento, 9750, 50\r\nabbattimento, 9700, 50\r\n");
    EXPECT_EQ(s.compila(&uscita), 1);
    // A line of its own; where it comes among the lists of files written
    // depends on how the system buffers the two streams.
    EXPECT_NE(("\n" + uscita)
                  .find("\nerrore 12: nessuna cella libera prima dell'inizio di un rallentamento "
                        "(cella 201, posizione 10050 m)\n"),
              std::string::npos)
        << uscita;
    EXPECT_NE(s.esegui_comando("compile --json", &uscita), 0);
    EXPECT_EQ(uscita.find("\"file\""), std::string::npos) << uscita;
  }
  {
    sorgenti s;  // a fatal stamp check keeps the system's text and explains it
    s.cambia(s.treno(), "segnale,     850,", "segnale,     0,");
    EXPECT_EQ(s.compila(&uscita), 2);
    EXPECT_NE(
        uscita.find(" Errore n. 1250\n  posti dei timbri di formato già occupati;\n  la cella 1"),
        std::string::npos)
        << uscita;
    EXPECT_NE(uscita.find("nessun file compilato è stato scritto"), std::string::npos);
  }
}

TEST(ScenarioCheck, BadArgumentsGiveUsage) {
  std::string uscita;
  const std::string bin = programma(SCENARIO_BIN) + " check ";
  EXPECT_EQ(esegui(bin + "a b 2>&1", &uscita), 64);
  EXPECT_NE(uscita.find("uso: scenario check SRCDIR ROUTE TRAIN"), std::string::npos);
  EXPECT_EQ(esegui(bin + "a b c --wat 2>&1", &uscita), 64);
  EXPECT_EQ(esegui(bin + "a ../b c 2>&1", &uscita), 64);
}

// Looking for warnings must leave every compiled byte as it was.
TEST(Avvisi, CollectingThemChangesNoCompiledByte) {
  sorgenti s;
  s.cambia(s.linea(), "pendenza,  2300,   11", "pendenza,  2300,   170");
  s.cambia(s.linea(), "curvad6,  3100,  100", "curvad6,  3050,  100");
  s.cambia(s.treno(), "velocita,    1950,    60", "velocita,    1950,    63");
  s.cambia(s.treno(), "segnale,    9100,", "segnale,    7700,");
  const std::string linea = leggi_tutto(s.linea()), treno = leggi_tutto(s.treno());
  std::vector<std::string> compilati[2];
  std::vector<avviso> avvisi;
  for (int giro = 0; giro < 2; ++giro) {
    cartella_temporanea t;
    scrivi_tutto(t / (kLinea + "_linea.txt"), linea);
    scrivi_tutto(t / (kLinea + "_" + kTreno + "-.txt"), treno);
    Form1 f;
    f.cartella = t.percorso;
    f.nome_linea = kLinea;
    f.numero_treno = kTreno;
    if (giro == 1) f.avvisi = &avvisi;
    int32_t j = 1;
    f.memorizza_percorso(j);
    EXPECT_EQ(f.codice_errore, 0);
    for (const std::string& coda :
         {std::string("_linea.dat"), "_" + kTreno + ".sim", "_" + kTreno + ".dat"})
      compilati[giro].push_back(leggi_tutto(t / (kLinea + coda)));
  }
  EXPECT_EQ(compilati[0], compilati[1]);
  EXPECT_GE(avvisi.size(), 4u);
}

const std::string kNome = "PELSANO D'OSTA";

// A station name saved as UTF-8: the warning, and the compile of the name
// read as UTF-8 (nullptr: the code page lacks it).
TEST(Utf8, NamesSavedAsUtf8AreNamedAndCompileWithTheOption) {
  const char* const casi[][3] = {{"À", "\xC0", "Ã€"}, {"€", "\x80", "â‚¬"}, {"ő", nullptr, "Å‘"}};
  for (const auto& [utf8, cp1252, mostrato] : casi) {
    SCOPED_TRACE(utf8);
    sorgenti s;
    const int riga = s.cambia(s.treno(), kNome, "PELSANO D'OST" + std::string(utf8));
    const std::string dove = s.treno() + ":" + std::to_string(riga) + ": ";
    std::string uscita;
    ASSERT_EQ(s.controlla(&uscita), 0);
    EXPECT_NE(
        uscita.find(dove + "avviso: testo UTF-8 alla colonna 86: il simulatore mostrerà \"D'OST" +
                    mostrato + "\", forse si intendeva \"D'OST" + utf8 + "\""),
        std::string::npos)
        << uscita;
    if (cp1252) {
      sorgenti w;
      w.cambia(w.treno(), kNome, "PELSANO D'OST" + std::string(cp1252));
      ASSERT_EQ(w.compila(&uscita), 0);
      ASSERT_EQ(s.esegui_comando("compile --utf8", &uscita), 0) << uscita;
      for (const std::string& coda :
           {std::string("_linea.dat"), "_" + kTreno + ".sim", "_" + kTreno + ".dat"})
        EXPECT_EQ(leggi_tutto(s.t / ("out/" + kLinea + coda)),
                  leggi_tutto(w.t / ("out/" + kLinea + coda)))
            << coda;
      continue;
    }
    for (const std::string& comando : {std::string("compile --utf8"), std::string("check --utf8"),
                                       "plot --utf8 -o " + (s.t / "l.svg")}) {
      EXPECT_EQ(s.esegui_comando(comando, &uscita), 2) << comando;
      EXPECT_NE(uscita.find(dove + "errore: il carattere \"ő\" (U+0151) alla colonna 86 non ha " +
                            "posto in Windows-1252"),
                std::string::npos)
          << uscita;
    }
    EXPECT_FALSE(esiste_file(s.t / "out"));
    EXPECT_FALSE(esiste_file(s.t / "l.svg"));
    ASSERT_EQ(s.esegui_comando("compile --utf8 --json", &uscita), 2);
    EXPECT_EQ(
        uscita.rfind("{\"codice_errore\":0,\"posizione_errore\":0,\"files\":[],\"errore\":", 0), 0u)
        << uscita;
    EXPECT_NE(uscita.find(",\"riga\":" + std::to_string(riga) + ",\"colonna\":86,"),
              std::string::npos);
  }
}

TEST(Utf8, DecompiledUtf8SourcesCompileToTheSameBytes) {
  sorgenti s;
  // À and a byte the code page leaves unassigned.
  s.cambia(s.treno(), kNome, "PELSANO D'OST\xC0\x81");
  std::string uscita;
  ASSERT_EQ(s.compila(&uscita), 0);
  const std::string scenario = programma(SCENARIO_BIN);
  const std::string nomi = " " + kLinea + " " + kTreno;
  ASSERT_EQ(esegui(scenario + " decompile " + (s.t / "out") + nomi + " --utf8 --out " +
                       (s.t / "d") + " 2>&1",
                   &uscita),
            0)
      << uscita;
  EXPECT_NE(leggi_tutto(s.t / ("d/" + kLinea + "_" + kTreno + "-.txt"))
                .find("PELSANO D'OSTÀ\xC2\x81\r\n"),
            std::string::npos);
  ASSERT_EQ(esegui(scenario + " check --utf8 " + (s.t / "d") + nomi + " 2>&1", &uscita), 0);
  EXPECT_EQ(uscita, "0 avvisi, nessun errore\n");
}

}  // namespace

namespace {

// A line of 12000 m and its train, with a mistake of each kind the compile
// takes silently; each case: the file, the line, the column of the caret and
// the warning.
const char* const kLineaStrana =
    "[generale]\r\nlunghezza percorso, 11000\r\nlunghezza percorso, 12000\r\n"
    "progressiva chilometrica uno, 3000, 1000, 2\r\n"
    "progressiva chilometrica due, 5000, 3000, 0\r\n"
    "progressiva chilometrica tre, 5000, 9000, 0\r\n"
    "ripetizione segnali 4 codici, 3000, 1000\r\n"
    "[curve]\r\ncurvad6, 13000, 400\r\ncurvas2, 11000, 2000\r\n"
    "[montagne]\r\nmontagna, 3000, 1500, 12\r\nmontagna, 4000, 5000, 1\r\n"
    "montagna, 5100, 5600, 2\r\n"
    "[cartelli]\r\nindicatori_vmax, 14000, 100,0,0,0,0,0,0,0\r\n[fine]\r\n";
const char* const kTrenoStrano =
    "[generale]\r\nvelocita, 0, 60\r\nvelocita    1500,    95\r\n\r\n"
    "segnale, 850, 1,5,6,1,0,0,0,0,0,50\r\nsegnale, 2000, 2,5,6,1,0,0,0,0,0,50\r\n"
    "rallentamento, 1000, 60, -200, 1, 1, 0\r\nrallentamento, 5000, 60, 20, 1, 0, 0\r\n"
    "rallentamento, 11000, 60, 1500, 1, 0, 0\r\n"
    "stazione, 0, 8, 500, 1, 1, 1, 0,0,0,0,0,0,0, 14,0,0, A\r\n"
    "stazione, 6000, 4, 400, 1, 1, 0, 0,0,0,0,0,0,0, 14,70,0, B\r\n"
    "stazione, 12500, 12, 400, 1, 0, 0, 0,0,0,0,0,0,0, 14,5,0, C\r\n[fine]\r\n";

struct avviso_atteso {
  bool treno;
  int riga, colonna;
  const char* testo;
};

TEST(ScenarioCheck, WhatTheCompileDoesSilentlyIsSaidAtItsField) {
  const avviso_atteso casi[] = {
      {false, 3, 21, "una seconda lunghezza della linea: le celle della prima si scartano"},
      {false, 4, 43, "correzione 2: solo 1 aggiunge 100 m alla progressiva"},
      {false, 6, 1,
       "i tre punti di riferimento chilometrici diventano tutti 0: due hanno la "
       "posizione più grande (5000 m)"},
      {false, 7, 37, "la zona di ripetizione finisce a 1000 m, prima del suo inizio (3000 m)"},
      {false, 9, 10,
       "posizione 13000 m oltre la fine della linea (12000 m): la compilazione la "
       "accetta, le celle arrivano a 18900 m"},
      {false, 10, 17, "fine della curva 13000 m oltre la fine della linea (12000 m)"},
      {false, 10, 1, "la curva inizia a 11000 m, prima del punto già tracciato (13400 m)"},
      {false, 12, 17,
       "il tratto finisce prima di cominciare (da 3000 a 1500 m): non segna nessuna "
       "cella"},
      {false, 14, 11,
       "il tratto inizia a 5100 m, 150 m o meno dopo la fine del precedente (5000 "
       "m): prende il tipo 3 invece di 2"},
      {false, 16, 18, "posizione 14000 m oltre la fine della linea"},
      {true, 3, 1,
       "la voce prende valori fino alla riga 4: sulla sua riga ne ha meno del previsto "
       "(manca una virgola?)"},
      {true, 5, 33, "tempo 50 ignorato: il segnale tiene il tempo solo con sx 2"},
      {true, 6, 34, "tempo 50 del segnale: da 1 a 100 diventa 101"},
      {true, 7, 26, "lunghezza -200 m: il rallentamento finisce (800 m) prima di cominciare"},
      {true, 7, 35, "f_ta ignorato: un rallentamento fino a 1500 m non ha avviso"},
      {true, 8, 26, "lunghezza 20 m: inizio e fine cadono nella stessa cella"},
      {true, 9, 27, "fine del rallentamento 12500 m oltre la fine della linea"},
      {true, 10, 25, "opzione_2 1 diventa 0: la zona è lunga meno di 600 m"},
      {true, 10, 28, "prolunga_fine 1 diventa 0: i tipi da 5 a 8 non la usano"},
      {true, 11, 28, "opzione_2 1 diventa 0: la zona è lunga meno di 600 m"},
      {true, 11, 52, "minuti 70 fuori da 0..59: l'orario diventa 15:10:00"},
      {true, 12, 11,
       "posizione 12500 m oltre la fine della linea (12000 m): la compilazione la "
       "accetta, le celle arrivano a 18200 m"},
      {true, 12, 1, "orario all'indietro da B (15:10:00) a C (14:05:00)"},
  };
  cartella_temporanea t;
  scrivi_tutto(t / "L_linea.txt", kLineaStrana);
  scrivi_tutto(t / "L_3-.txt", kTrenoStrano);
  std::string uscita;
  ASSERT_EQ(esegui(programma(SCENARIO_BIN) + " check " + t.percorso + " L 3 2>&1", &uscita), 0);
  for (const avviso_atteso& c : casi) {
    const std::string dove =
        (t / (c.treno ? "L_3-.txt" : "L_linea.txt")) + ":" + std::to_string(c.riga) + ": avviso: ";
    const size_t a = uscita.find(dove + c.testo);
    ASSERT_NE(a, std::string::npos) << dove << c.testo << "\n" << uscita;
    // The caret: the third line of the warning.
    const size_t riga_caret = uscita.find('\n', uscita.find('\n', a) + 1) + 1;
    EXPECT_EQ(uscita.find('^', riga_caret) - riga_caret, static_cast<size_t>(c.colonna - 1))
        << c.testo;
  }
  EXPECT_NE(uscita.find(std::to_string(std::size(casi)) + " avvisi, nessun errore\n"),
            std::string::npos)
      << uscita;
}

}  // namespace

namespace {

// A line of 12000 m with `linea` in its body and a train of `treno`, in a
// folder of their own: the compile's output.
std::string compila_piccolo(const cartella_temporanea& t, const std::string& linea,
                            const std::string& treno, int* stato = nullptr) {
  scrivi_tutto(t / "L_linea.txt",
               "[generale]\r\nlunghezza percorso, 12000\r\n[cartelli]\r\n" + linea + "[fine]\r\n");
  scrivi_tutto(t / "L_3-.txt", "[generale]\r\n" + treno + "[fine]\r\n");
  std::string uscita;
  const int s = esegui(
      programma(SCENARIO_BIN) + " compile " + t.percorso + " L 3 --out " + (t / "out") + " 2>&1",
      &uscita);
  if (stato) *stato = s;
  return uscita;
}

struct cella_presa {
  std::string linea, treno;
  const char* errore;  // after "FILE:LINE: "
  int colonna;         // of the caret, on the position
  const char* chi;     // what holds the cell, then "voce di FILE:" and its line
  bool chi_treno;
  int riga_chi;
};

TEST(ScenarioCompileErrors, ATakenCellNamesWhatHoldsItAndWhere) {
  const std::string kRallentamento = "rallentamento, 5000, 60, 500, 1, 1, 0\r\n";
  const std::string kSegnale = ", 2,5,6,1,0,0,0,0,0,0\r\n";
  const cella_presa casi[] = {
      {"indicatori_vmax, 830, 100,0,0,0,0,0,0,0\r\ncartello_indicatore, 850, A\r\n", "",
       "errore 6: ", 22, "un indicatore di velocità massima", false, 4},
      {"cartello_indicatore, 850, A\r\nindicatori_vmax, 830, 100,0,0,0,0,0,0,0\r\n", "",
       "errore 21: ", 18, "un cartello indicatore", false, 4},
      {"", "segnale, 2150" + kSegnale + "abbattimento, 2200, 50\r\n", "errore 7: ", 15,
       "un segnale", true, 2},
      {"", kRallentamento + "segnale, 5020" + kSegnale, "errore 16: ", 10,
       "l'inizio di un rallentamento", true, 2},
      {"", "segnale, 3800" + kSegnale + kRallentamento, "errore 17: ", 16, "un segnale", true, 2},
      {"", "segnale, 5000" + kSegnale + kRallentamento, "errore 18: ", 16, "un segnale", true, 2},
      {"", "segnale, 5500" + kSegnale + kRallentamento, "errore 19: ", 16, "un segnale", true, 2},
      {"", "abbattimento, 3750, 50\r\n" + kRallentamento, "errore 20: ", 16,
       "un punto di abbattimento", true, 2},
  };
  for (const cella_presa& c : casi) {
    cartella_temporanea t;
    int stato = 0;
    const std::string uscita = compila_piccolo(t, c.linea, c.treno, &stato);
    EXPECT_EQ(stato, 1);
    const std::string file = t / (c.treno.empty() ? "L_linea.txt" : "L_3-.txt");
    const size_t a = uscita.find(file + ":" + std::to_string(c.riga_chi + 1) + ": " + c.errore);
    ASSERT_NE(a, std::string::npos) << c.errore << "\n" << uscita;
    const std::string riga = uscita.substr(a, uscita.find('\n', a) - a);
    EXPECT_NE(riga.find(std::string("; la cella ha già ") + c.chi + ": voce di " +
                        (t / (c.chi_treno ? "L_3-.txt" : "L_linea.txt")) + ":" +
                        std::to_string(c.riga_chi) + ")"),
              std::string::npos)
        << riga;
    const size_t caret = uscita.find('\n', uscita.find('\n', a) + 1) + 1;
    EXPECT_EQ(uscita.find('^', caret) - caret, static_cast<size_t>(c.colonna - 1)) << riga;
  }
}

TEST(ScenarioCompileErrors, AMissingCommaIsTracedToItsEntryAndFilesWrittenSaySo) {
  cartella_temporanea t;
  int stato = 0;
  std::string uscita = compila_piccolo(
      t, "", "velocita, 0, 60\r\nvelocita    1500,    95\r\nvelocita, 2000, 100\r\n", &stato);
  EXPECT_EQ(stato, 1);
  EXPECT_NE(uscita.find((t / "L_3-.txt") + ":4: errore 25: "), std::string::npos) << uscita;
  EXPECT_NE(
      uscita.find((t / "L_3-.txt") +
                  ":3: nota: la voce comincia qui e prende i suoi valori fino alla riga 4: su "
                  "questa riga ne ha meno del previsto (manca una virgola?)\n"
                  "velocita    1500,    95\n^\n"),
      std::string::npos)
      << uscita;
  // The files written after a pending code say so, with their folder.
  for (const char* n : {"L_linea.dat", "L_3.sim", "L_3.dat"})
    EXPECT_NE(uscita.find(std::string("scritto nonostante l'errore 25, con ciò che è stato letto "
                                      "prima: ") +
                          file::percorso(t / "out", n) + "\n"),
              std::string::npos)
        << uscita;
  uscita = compila_piccolo(t, "", "velocita, 0, 60\r\n", &stato);
  EXPECT_EQ(stato, 0);
  EXPECT_EQ(uscita, "scritto " + file::percorso(t / "out", "L_linea.dat") + "\nscritto " +
                        file::percorso(t / "out", "L_3.sim") + "\nscritto " +
                        file::percorso(t / "out", "L_3.dat") + "\n");
}

TEST(ScenarioCompileErrors, AMissingSourceNamesTheNearNamesBesideIt) {
  // The names in the folder, and whether each may be the missing train.
  const std::pair<const char*, bool> nomi[] = {
      {"L_3.txt", true},  {"l_3-.csv", true}, {"L_3-.txt.txt", true}, {"L 3-.txt", true},
      {"L_3.dat", false}, {"L_3.sim", false}, {"L_4-.txt", false},    {"L_3_note.txt", false}};
  cartella_temporanea t;
  scrivi_tutto(t / "L_linea.txt", "[generale]\r\nlunghezza percorso, 12000\r\n[fine]\r\n");
  for (const auto& [nome, vicino] : nomi) scrivi_tutto(t / nome, "");
  std::string uscita;
  ASSERT_EQ(esegui(programma(SCENARIO_BIN) + " check " + t.percorso + " L 3 2>&1", &uscita), 1);
  const std::string riga = uscita.substr(0, uscita.find('\n'));
  EXPECT_EQ(riga.rfind((t / "L_3-.txt") + ": errore 25: lettura fallita: il file non esiste o non "
                                          "si può leggere; nella cartella ci sono ",
                       0),
            0u)
      << riga;
  for (const auto& [nome, vicino] : nomi)
    EXPECT_EQ(riga.find(t / nome) != std::string::npos, vicino) << nome << "\n" << riga;
  EXPECT_NE(riga.find(": forse è uno di questi"), std::string::npos) << riga;
  // The line description, and a single near name (no name differs only in
  // letter case: on Windows that is the same file).
  ASSERT_EQ(esegui(programma(SCENARIO_BIN) + " check " + t.percorso + " L- 3 2>&1", &uscita), 1);
  EXPECT_NE(uscita.find("errore 101: il file di descrizione della linea non esiste; nella "
                        "cartella c'è " +
                        (t / "L_linea.txt") + ": forse è questo, con il nome sbagliato\n"),
            std::string::npos)
      << uscita;
}

}  // namespace

namespace {

// A code's caret stands on the field it is about, not on the last one read.
TEST(ScenarioCompileErrors, TheCaretStandsOnTheFieldOfTheCode) {
  const struct {
    const char* linea;  // the line's header and body
    const char* treno;
    const char* errore;  // "FILE:LINE: " follows the file's name
    int riga, colonna;
  } casi[] = {
      {"ripetizione segnali 4 codici, 7525, 9000\r\n", "", "L_linea.txt:3: errore 3: ", 3, 31},
      {"ripetizione segnali, 7500, 9000\r\n", "", "L_linea.txt:3: errore 5: ", 3, 1},
      {"[curve]\r\ncurvad7, 100, 200\r\n", "", "L_linea.txt:4: errore 103: ", 4, 1},
      {"[pendenze]\r\npendenza, 19000, 3\r\n", "", "L_linea.txt:4: errore 15: ", 4, 11},
      {"", "stazione, 0, 4, 100, 0,0,0, 0,0,0,0,0,0,0, 14,0,0, A\r\n", "L_3-.txt:2: errore 24: ", 2,
       11},
      {"",
       "stazione, 0, 4, 400, 0,0,0, 0,0,0,0,0,0,0, 14,0,0, A\r\n"
       "stazione, 700, 4, 400, 0,0,0, 0,0,0,0,0,0,0, 14,5,0, B\r\n",
       "L_3-.txt:3: errore 22: ", 3, 11},
  };
  for (const auto& c : casi) {
    cartella_temporanea t;
    scrivi_tutto(t / "L_linea.txt", std::string("[generale]\r\nlunghezza percorso, 12000\r\n") +
                                        c.linea + "[fine]\r\n");
    scrivi_tutto(t / "L_3-.txt", std::string("[generale]\r\n") + c.treno + "[fine]\r\n");
    std::string uscita;
    EXPECT_EQ(esegui(programma(SCENARIO_BIN) + " check " + t.percorso + " L 3 2>&1", &uscita), 1);
    const size_t a = uscita.find(t / c.errore);
    ASSERT_NE(a, std::string::npos) << c.errore << "\n" << uscita;
    const size_t caret = uscita.find('\n', uscita.find('\n', a) + 1) + 1;
    EXPECT_EQ(uscita.find('^', caret) - caret, static_cast<size_t>(c.colonna - 1)) << uscita;
  }
}

}  // namespace
