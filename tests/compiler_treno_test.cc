#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "aiuti.h"
#include "compiler/campi.h"
#include "driver/codici.h"
#include "driver/form1.h"

namespace {

// A Form1 with n empty cells, as the line read leaves them.
Form1 con_celle(int n) {
  Form1 f;
  f.celle_percorso.assign(static_cast<size_t>(n), cella_percorso{});
  f.lettura.ultima_cella = n - 1;
  return f;
}

// Records a signal and returns its tempo as the recorder left it.
int32_t segnale(Form1& f, int32_t p, int32_t sx, int32_t s1, int32_t s2, int32_t s3, int32_t rapp,
                int32_t dx, int32_t d1, int32_t d2, int32_t d3, int32_t tempo) {
  f.memo_segnale(p, sx, s1, s2, s3, rapp, dx, d1, d2, d3, tempo);
  return tempo;
}

void rallentamento(Form1& f, int32_t p, int32_t v, int32_t l, int32_t f_tt, int32_t f_ta,
                   int32_t d_v) {
  f.memo_rallentamento(p, v, l, f_tt, f_ta, d_v);
}

std::vector<int> marcatori(const Form1& f) {
  std::vector<int> m;
  for (const cella_percorso& c : f.celle_percorso) m.push_back(c.marcatore);
  return m;
}

bool uguali(const cella_percorso& a, const cella_percorso& b) {
  return a.tipo == b.tipo && a.valore_1 == b.valore_1 && a.valore_2 == b.valore_2 &&
         a.valore_3 == b.valore_3 && a.valore_4 == b.valore_4 && a.tempo == b.tempo &&
         a.marcatore == b.marcatore;
}

bool celle_uguali(const Form1& a, const std::vector<cella_percorso>& b) {
  for (size_t i = 0; i < b.size(); ++i)
    if (!uguali(a.celle_percorso.at(i), b[i])) return false;
  return true;
}

const char* const kLinea = "[generale]\r\nlunghezza percorso, 37000\r\n[curve]\r\n[fine]\r\n";

// The built-in train description, as the program writes it.
std::string predefinito() {
  cartella_temporanea t;
  Form1 w;
  w.cartella = t.percorso;
  w.nome_linea = "X";
  w.numero_treno = "1";
  w.dati_treno();
  return leggi_tutto(t / "X_1-.txt");
}

// A train description with the given entry lines, closed by "[fine]".
std::string treno(const std::vector<std::string>& righe) {
  std::string s = "[generale]\r\n";
  for (const std::string& r : righe) s += r + "\r\n";
  return s + "[fine]\r\n";
}

std::string stazione(int p, int tipo, int lunghezza, const std::string& nome = "S") {
  return "stazione, " + std::to_string(p) + ", " + std::to_string(tipo) + ", " +
         std::to_string(lunghezza) + ", 0,0,0, 0,0,0, 0,0,0, 0, 0,0,0, " + nome;
}

std::string segnale_a(int p) {
  return "segnale, " + std::to_string(p) + ", 2,4,0,0,0,0,0,0,0,0";
}

// One read of both sources from a fresh folder.
struct compilato {
  cartella_temporanea t;
  Form1 f;
  explicit compilato(const std::string& sorgente_treno, const std::string& linea = kLinea) {
    f.cartella = t.percorso;
    f.nome_linea = "L";
    f.numero_treno = "7";
    f.j = 0;
    f.codice_errore = 0;
    f.posizione_errore = -1;
    scrivi_tutto(f.file_linea(), linea);
    scrivi_tutto(f.file_treno(), sorgente_treno);
    f.memorizza_dati();
  }
  const cella_percorso& c(int i) const { return f.celle_percorso.at(static_cast<size_t>(i)); }
  const voce_linea& v(int i) const { return f.tabella_linea.at(static_cast<size_t>(i)); }
  bool sorgenti_cancellate() const {
    return !esiste_file(f.file_linea()) && !esiste_file(f.file_treno());
  }
};

}  // namespace

TEST(TrenoSegnali, WorkedExamples) {
  Form1 f = con_celle(300);
  segnale(f, 850, 2, 5, 6, 1, 0, 0, 0, 0, 0, 0);
  const cella_percorso& s = f.celle_percorso[18];
  EXPECT_EQ(s.tipo, 1);
  EXPECT_EQ(s.valore_1, 50);
  EXPECT_EQ(s.valore_2, 60);
  EXPECT_EQ(s.valore_3, 10);
  EXPECT_EQ(s.valore_4, 6);
  EXPECT_EQ(s.tempo, 0);
  segnale(f, 11400, 2, 4, 1, 0, 0, 2, 2, 0, 0, 0);
  const cella_percorso& t = f.celle_percorso[229];
  EXPECT_EQ(t.tipo, 1);
  EXPECT_EQ(t.valore_1, 42);
  EXPECT_EQ(t.valore_2, 10);
  EXPECT_EQ(t.valore_3, 0);
  EXPECT_EQ(t.valore_4, 8);
  std::vector<int> atteso(300, 0);
  for (int k = 1; k <= 4; ++k) {
    atteso[static_cast<size_t>(18 - 2 * k)] = 60 + k;
    atteso[static_cast<size_t>(229 - 2 * k)] = 80 + k;
  }
  EXPECT_EQ(marcatori(f), atteso);
  EXPECT_EQ(f.codice_errore, 0);
}

// The cell is q / 50 + 1 rounded as a whole: 875 m gives 18.5, which rounds
// to 18; 925 m gives 19.5, which rounds to 20.
TEST(TrenoSegnali, HalfwayPositionsRoundTheWholeQuotient) {
  Form1 f = con_celle(100);
  segnale(f, 875, 2, 5, 6, 1, 0, 0, 0, 0, 0, 0);
  EXPECT_EQ(f.celle_percorso[18].tipo, 1);
  EXPECT_EQ(f.celle_percorso[19].tipo, 0);
  segnale(f, 925, 2, 5, 6, 1, 0, 0, 0, 0, 0, 0);
  EXPECT_EQ(f.celle_percorso[20].tipo, 1);
}

TEST(TrenoSegnali, TempoIsRaisedAndKeptOnlyForLeftKindTwo) {
  struct caso {
    int32_t sx, tempo, dopo, in_cella;
  };
  for (caso c : {caso{2, 50, 101, 101}, caso{1, 50, 101, 0}, caso{2, 0, 0, 0}, caso{2, 1, 101, 101},
                 caso{2, 100, 101, 101}, caso{2, 101, 101, 101}, caso{2, 300, 300, 44},
                 caso{2, -1, -1, 255}}) {
    SCOPED_TRACE(std::to_string(c.sx) + " " + std::to_string(c.tempo));
    Form1 f = con_celle(100);
    EXPECT_EQ(segnale(f, 1000, c.sx, 0, 0, 0, 0, 0, 0, 0, 0, c.tempo), c.dopo);
    EXPECT_EQ(f.celle_percorso[21].tempo, c.in_cella);
  }
}

TEST(TrenoSegnali, MarkersBeforeCellZeroAreSkippedButTheSignalMustFit) {
  Form1 f = con_celle(50);
  segnale(f, 150, 2, 0, 0, 0, 0, 1, 0, 0, 0, 0);  // cell 4
  EXPECT_EQ(f.celle_percorso[4].tipo, 1);
  EXPECT_EQ(f.celle_percorso[2].marcatore, 71);
  EXPECT_EQ(f.celle_percorso[0].marcatore, 72);

  Form1 g = con_celle(50);
  EXPECT_THROW(segnale(g, -200, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0), errore_lettura);
  EXPECT_THROW(segnale(g, 2500, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0), errore_lettura);  // cell 51
  EXPECT_TRUE(celle_uguali(g, con_celle(50).celle_percorso));
}

TEST(TrenoSegnali, OccupiedCellGivesSixteenSpanMarkerDoesNot) {
  Form1 f = con_celle(100);
  f.celle_percorso[21].tipo = 14;
  const std::vector<cella_percorso> prima = f.celle_percorso;
  segnale(f, 1000, 2, 4, 0, 0, 0, 0, 0, 0, 0, 50);
  EXPECT_EQ(f.codice_errore, 16);
  EXPECT_TRUE(celle_uguali(f, prima));

  Form1 g = con_celle(100);
  g.celle_percorso[21].tipo = 11;
  segnale(g, 1000, 2, 4, 0, 0, 0, 0, 0, 0, 0, 0);
  segnale(g, 1100, 1, 4, 0, 0, 0, 0, 0, 0, 0, 0);  // 100 m on: its markers cover the first
  EXPECT_EQ(g.codice_errore, 0);
  EXPECT_EQ(g.celle_percorso[21].tipo, 1);
  EXPECT_EQ(g.celle_percorso[21].marcatore, 31);
  EXPECT_EQ(g.celle_percorso[19].marcatore, 32);
  EXPECT_EQ(g.celle_percorso[13].marcatore, 64);
}

TEST(TrenoRallentamenti, WorkedExample) {
  Form1 f = con_celle(200);
  rallentamento(f, 5000, 60, 1000, 1, 1, 0);
  EXPECT_EQ(f.codice_errore, 0);
  const auto& c = f.celle_percorso;
  EXPECT_EQ(c[77].tipo, 4);
  EXPECT_EQ(c[77].valore_1, 60);
  for (int i : {101, 121}) {
    EXPECT_EQ(c[static_cast<size_t>(i)].valore_1, 60);
    EXPECT_EQ(c[static_cast<size_t>(i)].valore_3, 1);
  }
  EXPECT_EQ(c[101].tipo, 3);
  EXPECT_EQ(c[121].tipo, 2);
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(c[static_cast<size_t>(76 - i)].tipo, 5);
    EXPECT_EQ(c[static_cast<size_t>(76 - i)].valore_1, i + 1);
    EXPECT_EQ(c[static_cast<size_t>(76 - i)].valore_2, 0);
  }
  int occupate = 0;
  for (const auto& x : c) occupate += x.tipo != 0;
  EXPECT_EQ(occupate, 7);

  Form1 g = con_celle(200);
  rallentamento(g, 5000, 60, 1000, 1, 1, 30);
  for (int i : {77, 101, 121}) EXPECT_EQ(g.celle_percorso[static_cast<size_t>(i)].valore_2, 30);
  EXPECT_EQ(g.celle_percorso[73].valore_2, 4);

  Form1 h = con_celle(200);
  rallentamento(h, 5000, 60, 10, 1, 0, 0);  // start and end share a cell
  EXPECT_EQ(h.celle_percorso[101].tipo, 3);
  EXPECT_EQ(h.celle_percorso[76].tipo, 0);
}

TEST(TrenoRallentamenti, WarningPointOnlyPast1500Metres) {
  Form1 f = con_celle(100);
  rallentamento(f, 1500, 60, 500, 0, 1, 0);
  EXPECT_EQ(f.celle_percorso[31].tipo, 3);
  EXPECT_EQ(f.celle_percorso[41].tipo, 2);
  for (int i = 0; i < 31; ++i) EXPECT_EQ(f.celle_percorso[static_cast<size_t>(i)].tipo, 0) << i;

  Form1 g = con_celle(100);
  rallentamento(g, 1550, 60, 500, 0, 1, 0);
  EXPECT_EQ(g.celle_percorso[8].tipo, 4);
  EXPECT_EQ(g.celle_percorso[32].tipo, 3);
  for (int i = 4; i <= 7; ++i) EXPECT_EQ(g.celle_percorso[static_cast<size_t>(i)].tipo, 5);
}

TEST(TrenoRallentamenti, OccupiedCellsGiveTheirCodes) {
  for (auto [cella, codice] : {std::pair{77, 17}, {101, 18}, {121, 19}, {74, 20}}) {
    SCOPED_TRACE(codice);
    Form1 f = con_celle(200);
    f.celle_percorso[static_cast<size_t>(cella)].tipo = 1;
    const std::vector<cella_percorso> prima = f.celle_percorso;
    rallentamento(f, 5000, 60, 1000, 1, 1, 0);
    EXPECT_EQ(f.codice_errore, codice);
    if (codice != 20) {
      EXPECT_TRUE(celle_uguali(f, prima));
      continue;
    }
    EXPECT_EQ(f.celle_percorso[77].tipo, 4);
    EXPECT_EQ(f.celle_percorso[101].tipo, 3);
    EXPECT_EQ(f.celle_percorso[121].tipo, 2);
    for (int i : {73, 75, 76}) EXPECT_EQ(f.celle_percorso[static_cast<size_t>(i)].tipo, 0);
  }
  // An end past the last cell cannot be placed.
  Form1 g = con_celle(130);
  EXPECT_THROW(rallentamento(g, 5000, 60, 2000, 1, 1, 0), errore_lettura);
  EXPECT_TRUE(celle_uguali(g, con_celle(130).celle_percorso));
}

TEST(TrenoLettura, BuiltInTrainDescription) {
  compilato r(predefinito());
  EXPECT_EQ(r.f.codice_errore, 0);
  EXPECT_TRUE(r.sorgenti_cancellate());
  EXPECT_EQ(r.v(84).inizio, 110);
  EXPECT_EQ(r.v(84).fine, 37000);
  EXPECT_EQ(r.v(84).posizione, 6);
  EXPECT_EQ(r.v(86).parametro_1, 30);
  EXPECT_EQ(r.v(86).parametro_4, 14);
  EXPECT_EQ(r.v(86).parametro_5, 24);
  EXPECT_EQ(r.v(86).parametro_6, 50);

  EXPECT_EQ(r.f.lettura.indice_stazione, 12);
  const char* nomi[] = {
      "FERZIA PORTA SOLVENTRA", "BIVIO ROVENELLO", "BIVIO SCADO", "FERZIA VELSANTE",
      "GASPIELLO-FONTIA",       "VESSIRE",         "GRUZO",       "CORVELLA",
      "PELSANO D'OSTA",         "Bivio Tascolo",   "CALVORANO"};
  for (int i = 1; i <= 11; ++i) EXPECT_EQ(r.v(i).nome, nomi[i - 1]);
  EXPECT_EQ(r.v(12).nome, "");

  const voce_linea& prima = r.v(1);
  EXPECT_EQ(prima.inizio, -500);
  EXPECT_EQ(prima.fine, 500);
  EXPECT_EQ(prima.tipo, 8);
  EXPECT_EQ(prima.opzione_1, 1);
  EXPECT_EQ(prima.opzione_2, 0);
  EXPECT_EQ(prima.prolunga_fine, 0);
  EXPECT_EQ(prima.parametro_1, 4);
  EXPECT_EQ(prima.parametro_4, 2);
  EXPECT_EQ(prima.parametro_7, 1);
  EXPECT_EQ(prima.orario, 51900);
  EXPECT_EQ(r.c(9).tipo, 10);
  EXPECT_EQ(r.c(9).valore_1, 1);
  for (int k = 1; k <= 4; ++k) EXPECT_EQ(r.c(9 - k).marcatore, 80 + k);
  EXPECT_EQ(r.v(4).opzione_2, 1);  // 700 m long: the option stays
  EXPECT_EQ(r.v(4).orario, 52267);
  EXPECT_EQ(r.v(5).inizio, 14100);
  EXPECT_EQ(r.v(5).fine, 14400);
  EXPECT_EQ(r.c(287).tipo, 10);
  EXPECT_EQ(r.c(287).valore_1, 5);
  EXPECT_EQ(r.v(2).inizio, 1950);  // a junction: zone, but no stop cell
  EXPECT_EQ(r.v(2).fine, 2150);
  EXPECT_EQ(r.c(42).tipo, 0);

  EXPECT_EQ(r.c(18).tipo, 1);
  EXPECT_EQ(r.c(18).valore_1, 50);
  EXPECT_EQ(r.c(229).valore_4, 8);
  EXPECT_EQ(r.c(227).marcatore, 81);

  std::vector<int> velocita(881, 0), aderenza(881, 0), attesa(881, 0);
  const int tratti[][2] = {{0, 13}, {18, 21}, {39, 12}, {63, 17}, {158, 28}, {238, 21}, {290, 28}};
  for (const auto& t : tratti)
    for (int i = t[0]; i < 878; ++i) attesa[static_cast<size_t>(i)] = t[1];
  for (int i = 0; i < 881; ++i) {
    velocita[static_cast<size_t>(i)] = r.c(i).velocita_limite;
    aderenza[static_cast<size_t>(i)] = r.c(i).aderenza;
  }
  EXPECT_EQ(velocita, attesa);
  std::vector<int> tutta(881, 90);
  tutta[878] = tutta[879] = tutta[880] = 0;
  EXPECT_EQ(aderenza, tutta);
}

TEST(TrenoLettura, TokensBeforeGeneraleDashesAndTheLastField) {
  compilato r(
      "percentuale massa frenata, 3\r\n[generale]\r\n-a,-b,-sabbia, 9\r\n-x, numero vetture, 4\r\n"
      "orologio, 1   2 3 \r\nSTAZIONE, 1000, 12, 100, 0,0,0, 0,0,0, 0,0,0, 0, 0,0,0, "
      "\"A, B\"\r\n[stazioni]\r\nsabbia");
  EXPECT_EQ(r.f.codice_errore, 0);
  EXPECT_TRUE(r.sorgenti_cancellate());
  EXPECT_EQ(r.v(84).inizio, 0);
  EXPECT_EQ(r.v(86).parametro_1, 9);
  EXPECT_EQ(r.v(84).posizione, 4);
  EXPECT_EQ(r.v(86).parametro_4, 1);
  EXPECT_EQ(r.v(86).parametro_6, 3);
  EXPECT_EQ(r.v(1).nome, "A, B");
  EXPECT_EQ(r.f.lettura.indice_stazione, 2);

  compilato vuoto("");  // no entries: only the profile run-outs
  EXPECT_EQ(vuoto.f.codice_errore, 0);
  EXPECT_TRUE(vuoto.sorgenti_cancellate());
}

TEST(TrenoLettura, ProfilesFillUpToEachPoint) {
  compilato r(treno({"velocita, 500, 63", "velocita, 1000, 60", "velocita, 1000, 70",
                     "aderenza, 200, 40", "aderenza, 1000, 12345"}));
  ASSERT_EQ(r.f.codice_errore, 0);
  EXPECT_EQ(r.c(0).velocita_limite, 0);  // before the first point
  EXPECT_EQ(r.c(9).velocita_limite, 0);
  EXPECT_EQ(r.c(10).velocita_limite, 13);  // 63 rounds to 65
  EXPECT_EQ(r.c(19).velocita_limite, 13);
  EXPECT_EQ(r.c(20).velocita_limite, 12);  // a point on a filled cell still fills one
  EXPECT_EQ(r.c(21).velocita_limite, 14);
  EXPECT_EQ(r.c(877).velocita_limite, 14);
  EXPECT_EQ(r.c(878).velocita_limite, 0);
  EXPECT_EQ(r.c(3).aderenza, 0);
  EXPECT_EQ(r.c(4).aderenza, 40);
  EXPECT_EQ(r.c(19).aderenza, 40);
  EXPECT_EQ(r.c(20).aderenza, 57);  // low 8 bits of 12345
  EXPECT_EQ(r.c(880).aderenza, 0);

  compilato alta(treno({"velocita, 0, 1277"}));
  EXPECT_EQ(alta.f.codice_errore, 0);
  EXPECT_EQ(alta.c(0).velocita_limite, 255);
}

TEST(TrenoLettura, ReductionPoints) {
  compilato r(treno({"abbattimento, 1000, 0", "abbattimento, 2000, 120"}));
  EXPECT_EQ(r.f.codice_errore, 0);
  EXPECT_EQ(r.c(20).tipo, 13);
  EXPECT_EQ(r.c(20).valore_1, 0);
  EXPECT_EQ(r.c(40).tipo, 12);
  EXPECT_EQ(r.c(40).valore_1, 120);
}

TEST(TrenoLettura, ErrorsThatEndTheRead) {
  const std::string ral = "rallentamento, 5000, 60, 1000, 1, 1, 0";
  struct caso {
    std::vector<std::string> righe;
    int32_t codice, posizione;
  };
  const caso casi[] = {
      {{"segnale, 850, 2,5,6,1,0,0,0,0,0,0", "abbattimento, 900, 60"}, 7, 900},
      {{segnale_a(850), segnale_a(860)}, 16, 860},
      {{segnale_a(3800), ral}, 17, 5000},
      {{segnale_a(5000), ral}, 18, 5000},
      {{segnale_a(6000), ral}, 19, 5000},
      {{segnale_a(3700), ral}, 20, 5000},
      {{stazione(1025, 12, 100)}, 8, 1025},
      {{stazione(1000, 12, 250)}, 9, 1000},
      {{stazione(1000, 12, 100), stazione(1400, 12, 100)}, 22, 1400},
      {{stazione(50, 12, 100)}, 24, -1},
  };
  for (const caso& c : casi) {
    SCOPED_TRACE(c.codice);
    std::vector<std::string> righe = {"velocita, 0, 60"};
    righe.insert(righe.end(), c.righe.begin(), c.righe.end());
    righe.push_back("numero vetture, 9");
    compilato r(treno(righe));
    EXPECT_EQ(r.f.codice_errore, c.codice);
    EXPECT_EQ(r.f.posizione_errore, c.posizione);
    EXPECT_TRUE(r.sorgenti_cancellate());
    EXPECT_EQ(r.v(84).posizione, 0);         // nothing read after the entry
    EXPECT_EQ(r.c(300).velocita_limite, 0);  // no run-out
  }
}

TEST(TrenoLettura, ValuesThatCannotBeStoredAreReadFailures) {
  const std::vector<std::vector<std::string>> casi = {
      {"velocita, 0, 1280"},
      {"sabbia, 40000"},
      {"orologio, 1, 2, -32769"},
      {"stazione, 1000, 256, 100, 0,0,0, 0,0,0, 0,0,0, 0, 0,0,0, S"},
      {"stazione, 1000, 12, 100, 0,0,0, 0,0,0, 0,0,0, 0, 700000,0,0, S"},
      {stazione(1000, 12, 100, std::string(65536, 'x'))},
      {stazione(40000, 8, 5000)},  // stop cell past the last cell
      {"abbattimento, -500, 60"},
      {segnale_a(-1000)},
      {"rallentamento, 40000, 60, 5000, 0, 0, 0"},
  };
  for (const auto& righe : casi) {
    SCOPED_TRACE(righe[0].substr(0, 60));
    compilato r(treno(righe));
    EXPECT_EQ(r.f.codice_errore, 25);
    EXPECT_EQ(r.f.posizione_errore, -1);
    EXPECT_TRUE(r.sorgenti_cancellate());
  }
  compilato nome(treno({stazione(1000, 12, 100, std::string(65536, 'x'))}));
  EXPECT_EQ(nome.v(1).posizione, 1000);  // read before the failure
  EXPECT_EQ(nome.v(1).nome, "");
  compilato tronco("[generale]\r\nvelocita, 100");
  EXPECT_EQ(tronco.f.codice_errore, 25);
  EXPECT_TRUE(tronco.sorgenti_cancellate());
}

TEST(TrenoLettura, PositionBeyondTheCellsEndsTheLoopButNotTheProfiles) {
  compilato r(
      treno({"velocita, 0, 60", "velocita, 43900, 80", "aderenza, 43901, 5", "numero vetture, 9"}));
  EXPECT_EQ(r.f.codice_errore, 15);
  EXPECT_EQ(r.f.posizione_errore, 43901);
  EXPECT_TRUE(r.sorgenti_cancellate());
  EXPECT_EQ(r.v(84).posizione, 0);
  EXPECT_EQ(r.c(877).velocita_limite, 12);
  EXPECT_EQ(r.c(878).velocita_limite, 16);  // the run-out's first store
  EXPECT_EQ(r.c(879).velocita_limite, 0);
  EXPECT_EQ(r.c(0).aderenza, 0);

  compilato ultima(treno({stazione(43200, 25, 100)}));
  EXPECT_EQ(ultima.f.codice_errore, 0);
  compilato oltre(treno({stazione(43250, 25, 100)}));
  EXPECT_EQ(oltre.f.codice_errore, 15);
  EXPECT_EQ(oltre.f.posizione_errore, 43250);

  // The reference check comes last and replaces the 15.
  const std::string linea =
      "[generale]\r\nlunghezza percorso, 37000\r\nprogressiva chilometrica uno, 3510, 9500, "
      "0\r\n[curve]\r\n[fine]\r\n";
  compilato riferimento(treno({"velocita, 50000, 80"}), linea);
  EXPECT_EQ(riferimento.f.codice_errore, 2);
  EXPECT_EQ(riferimento.f.posizione_errore, 50000);
}

TEST(TrenoLettura, CodeFifteenFromTheLineEndsTheReadAtTheFirstSignal) {
  const std::string linea =
      "[generale]\r\nlunghezza percorso, 37000\r\n[pendenze]\r\npendenza, 50000, 5\r\n[fine]\r\n";
  compilato r(treno({"velocita, 0, 60", stazione(1000, 12, 100), "abbattimento, 2000, 0",
                     "segnale, 850, 2,5,6,1,0,0,0,0,0,0", "numero vetture, 9"}),
              linea);
  EXPECT_EQ(r.f.codice_errore, 15);
  EXPECT_EQ(r.f.posizione_errore, 850);
  EXPECT_TRUE(r.sorgenti_cancellate());
  EXPECT_EQ(r.v(1).posizione, 1000);
  EXPECT_EQ(r.c(40).tipo, 13);
  EXPECT_EQ(r.c(18).tipo, 1);  // the recorder ran first
  EXPECT_EQ(r.v(84).posizione, 0);
  EXPECT_EQ(r.c(300).velocita_limite, 0);
}

TEST(TrenoStazioni, CountStopsBeforeTheSignTexts) {
  auto stazioni = [](int n) {
    std::vector<std::string> righe;
    // 450 m apart with 100 m zones: exactly 350 m between zones
    for (int i = 1; i <= n; ++i) righe.push_back(stazione(450 * i, 12, 100));
    return treno(righe);
  };
  compilato a(stazioni(78));
  EXPECT_EQ(a.f.codice_errore, 0);
  EXPECT_EQ(a.f.lettura.indice_stazione, 79);
  compilato b(stazioni(79));
  EXPECT_EQ(b.f.codice_errore, 10);
  EXPECT_EQ(b.f.posizione_errore, -1);
  EXPECT_EQ(b.v(79).posizione, 79 * 450);
  EXPECT_EQ(b.c(79 * 9).tipo, 10);
  EXPECT_TRUE(b.sorgenti_cancellate());

  // With 80 named signs entry 1 holds a sign's text: no station fits at all.
  std::string linea = "[generale]\r\nlunghezza percorso, 37000\r\n[cartelli]\r\n";
  for (int i = 0; i < 80; ++i)
    linea += "cartello_indicatore, " + std::to_string(1000 + 100 * i) + ", T" + std::to_string(i) +
             "\r\n";
  linea += "[fine]\r\n";
  compilato c(treno({stazione(20000, 12, 100)}), linea);
  EXPECT_EQ(c.f.codice_errore, 10);
  EXPECT_EQ(c.v(1).nome, "T79");
  EXPECT_EQ(c.v(1).posizione, 0);
  EXPECT_EQ(c.c(400).tipo, 0);
  EXPECT_TRUE(c.sorgenti_cancellate());
}
