#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "aiuti.h"
#include "compiler/campi.h"
#include "driver/codici.h"
#include "driver/form1.h"

namespace {

// The built-in line description, as the program writes it.
std::string linea_predefinita() {
  cartella_temporanea t;
  Form1 w;
  w.cartella = t.percorso;
  w.nome_linea = "X";
  w.dati_linea();
  return leggi_tutto(t / "X_linea.txt");
}

std::string righe(const std::vector<std::string>& r) {
  std::string s;
  for (const std::string& x : r) s += x + "\r\n";
  return s;
}

// A short line: header with a length, the given body lines, "[fine]".
std::string linea(const std::vector<std::string>& corpo, const std::string& lunghezza = "10000") {
  std::vector<std::string> r = {"[generale]", "lunghezza percorso, " + lunghezza, "[curve]"};
  r.insert(r.end(), corpo.begin(), corpo.end());
  r.push_back("[fine]");
  return righe(r);
}

// One read of a line description in a folder of its own, with a train file
// that holds no entries.
struct lettura_prova {
  cartella_temporanea dir;
  Form1 f;
  explicit lettura_prova(int32_t j = 1) {
    f.cartella = dir.percorso;
    f.nome_linea = "Prova";
    f.numero_treno = "7";
    f.j = j;
  }
  std::string file_linea() const { return dir / "Prova_linea.txt"; }
  std::string file_treno() const { return dir / "Prova_7-.txt"; }
  int32_t leggi(const std::string& testo) {
    scrivi_tutto(file_linea(), testo);
    scrivi_tutto(file_treno(), "[generale]\r\n[fine]\r\n");
    f.codice_errore = 0;
    f.memorizza_dati();
    return f.codice_errore;
  }
  const cella_percorso& cella(size_t i) const { return f.celle_percorso.at(i); }
};

}  // namespace

TEST(LetturaLinea, BuiltInLineHeaderGradientsAndSigns) {
  lettura_prova p;
  ASSERT_EQ(p.leggi(linea_predefinita()), codice::nessuno);
  const Form1& f = p.f;
  EXPECT_FALSE(esiste_file(p.file_linea()));
  EXPECT_EQ(f.tabella_linea[84].fine, 37000);
  EXPECT_EQ(f.lettura.lunghezza_estesa, 44000);
  EXPECT_EQ(f.lettura.ultima_cella, 880);
  ASSERT_EQ(f.celle_percorso.size(), 881u);

  auto punto = [&](size_t e) {
    const voce_linea& v = f.tabella_linea[e];
    return std::vector<int32_t>{v.inizio, v.fine, v.posizione};
  };
  EXPECT_EQ(punto(81), (std::vector<int32_t>{35400, 100250, 1}));
  EXPECT_EQ(punto(82), (std::vector<int32_t>{5700, -1900, 0}));
  EXPECT_EQ(punto(83), (std::vector<int32_t>{3500, 9550, 1}));
  EXPECT_EQ(punto(85), (std::vector<int32_t>{1, 0, 0}));
  EXPECT_EQ(punto(86), (std::vector<int32_t>{7500, 35600, 4}));
  EXPECT_EQ(f.tabella_linea[85].nome, "Prova");

  std::vector<int> pendenze;
  for (size_t c = 0; c <= 45; ++c) pendenze.push_back(p.cella(c).pendenza);
  std::vector<int> attese(46, 105);
  std::fill(attese.begin(), attese.begin() + 10, 100);
  std::fill(attese.begin() + 10, attese.begin() + 12, 93);
  std::fill(attese.begin() + 12, attese.begin() + 17, 94);
  attese[17] = 100;
  std::fill(attese.begin() + 18, attese.begin() + 28, 104);
  attese[45] = 108;
  EXPECT_EQ(pendenze, attese);
  EXPECT_EQ(p.cella(877).pendenza, 100);
  for (size_t c : {878u, 879u, 880u}) EXPECT_EQ(p.cella(c).pendenza, 0) << c;

  const size_t cartelli[] = {326, 330, 339, 359, 366, 501, 505, 510};
  for (int i = 0; i < 8; ++i) {
    EXPECT_EQ(p.cella(cartelli[i]).tipo, tipo_cella::cartello);
    EXPECT_EQ(p.cella(cartelli[i]).valore_1, 80 - i);
  }
  EXPECT_EQ(f.tabella_linea[80].nome, "(-----)(|_|_|)( / / )");
  EXPECT_EQ(f.tabella_linea[79].nome, "(-----)(|_|_|)(  /  )");
  EXPECT_EQ(f.tabella_linea[73].nome, "( 1000mt )(CORVELLA)");
  EXPECT_EQ(f.tabella_linea[72].nome, "");
  EXPECT_EQ(f.lettura.prossimo_cartello, 72);
}

TEST(LetturaLinea, BuiltInLineSpanBoardsAndPlan) {
  lettura_prova p;
  ASSERT_EQ(p.leggi(linea_predefinita()), codice::nessuno);
  for (size_t c = 11; c <= 35; ++c) {
    bool dentro = c >= 12 && c <= 34;
    EXPECT_EQ(p.cella(c).montagna, dentro ? 2 : 0) << c;
    bool segno = c == 15 || c == 23 || c == 27 || c == 31;
    if (c != 19) {
      EXPECT_EQ(p.cella(c).tipo, segno ? tipo_cella::segno_montagna : 0) << c;
    }
  }
  auto valori = [&](size_t c) {
    const cella_percorso& x = p.cella(c);
    return std::vector<int>{x.tipo, x.valore_1, x.valore_2, x.valore_3, x.valore_4};
  };
  EXPECT_EQ(valori(19), (std::vector<int>{6, 2020, 2121, 2121, 0}));
  EXPECT_EQ(valori(202), (std::vector<int>{6, 2000, 2100, 2200, 20}));

  const planimetria_linea& pl = p.f.planimetria;
  ASSERT_EQ(pl.punti(), 44001u);
  EXPECT_EQ(pl.genere[0], genere_punto::intero);
  EXPECT_EQ(pl.genere[1], genere_punto::intero);
  EXPECT_EQ(pl.y[1], 1.0);
  for (size_t m = 2; m <= 550; ++m) {
    ASSERT_EQ(pl.x[m], 0.0) << m;
    ASSERT_EQ(pl.y[m], static_cast<double>(m)) << m;
    ASSERT_EQ(pl.genere[m], genere_punto::doppio) << m;
  }
  EXPECT_EQ(pl.x[551], -0.003);
  EXPECT_EQ(pl.y[551], 551.0);
  EXPECT_NEAR(pl.x[552], -0.009, 1e-12);
  EXPECT_NEAR(pl.y[552], 551.999991, 1e-9);
  EXPECT_EQ(pl.genere[43998], genere_punto::doppio);
  EXPECT_EQ(pl.genere[43999], genere_punto::vuoto);
  EXPECT_EQ(pl.genere[44000], genere_punto::vuoto);
}

TEST(LetturaLinea, MissingFileOrMissingGeneralSection) {
  lettura_prova assente;
  assente.f.memorizza_dati();
  EXPECT_EQ(assente.f.codice_errore, codice::linea_mancante);

  // Without "[generale]", with it only as the last field, or empty: 102, and
  // the train file is left for a later run.
  for (const char* testo : {"lunghezza percorso, 100\r\n", "x\r\n[generale]\r\n", ""}) {
    lettura_prova p;
    EXPECT_EQ(p.leggi(testo), codice::generale_mancante);
    EXPECT_FALSE(esiste_file(p.file_linea()));
    EXPECT_TRUE(esiste_file(p.file_treno()));
    EXPECT_TRUE(p.f.celle_percorso.empty());
  }
}

TEST(LetturaLinea, HeaderErrorsStopTheWholeRead) {
  struct caso {
    std::string intestazione;
    int32_t codice;
  };
  const caso casi[] = {
      {"lunghezza percorso, 1000001", codice::lunghezza_eccessiva},
      {"ripetizione segnali 4 codici, 7525, 35600", codice::ripetizione_inizio},
      {"ripetizione segnali 4 codici, 7500, 35610", codice::ripetizione_fine},
      {"ripetizione segnali codici, 7500, 35600", codice::ripetizione_codici},
  };
  for (const caso& c : casi) {
    lettura_prova p;
    EXPECT_EQ(p.leggi(righe({"[generale]", c.intestazione, "pendenza, 100, 5", "[fine]"})),
              c.codice)
        << c.intestazione;
    EXPECT_FALSE(esiste_file(p.file_linea()));
    EXPECT_TRUE(esiste_file(p.file_treno()));
    EXPECT_EQ(p.f.posizione_errore, 0);
  }
  lettura_prova lunga;
  lunga.leggi(righe({"[generale]", "lunghezza percorso, 1000001", "[fine]"}));
  EXPECT_EQ(lunga.f.tabella_linea[84].fine, 1000001);
  EXPECT_TRUE(lunga.f.celle_percorso.empty());
  // A valid length first does not leave cells that disagree with the table.
  lettura_prova seconda;
  EXPECT_EQ(seconda.leggi(righe({"[generale]", "lunghezza percorso, 5000",
                                 "lunghezza percorso, 2000000", "[fine]"})),
            codice::lunghezza_eccessiva);
  EXPECT_TRUE(seconda.f.celle_percorso.empty());
  EXPECT_EQ(seconda.f.planimetria.punti(), 0u);
}

TEST(LetturaLinea, HeaderKeysAndRepetitionZone) {
  lettura_prova p;
  ASSERT_EQ(p.leggi(righe({"[generale]", "LUNGHEZZA PERCORSO, 1000",
                           "progressiva chilometrica UNO, 3500, 9450, 1",
                           "ripetizione segnali 9 codici, -50, 0", "sfondo tre, 5",
                           "--- commento, - e altro", "[curve]", "[fine]"})),
            codice::nessuno);
  EXPECT_EQ(p.f.lettura.ultima_cella, 160);
  EXPECT_EQ(p.f.tabella_linea[83].inizio, 0);  // number word in capitals: not a key
  EXPECT_EQ(p.f.tabella_linea[86].inizio, -50);
  EXPECT_EQ(p.f.tabella_linea[86].posizione, 0);  // no zone end: no code system
  EXPECT_EQ(p.f.tabella_linea[85].fine, 5);

  lettura_prova nove;
  nove.leggi(
      righe({"[generale]", "lunghezza percorso, 1000", "ripetizione segnali 9, 0, 500", "[fine]"}));
  EXPECT_EQ(nove.f.tabella_linea[86].posizione, 9);
}

TEST(LetturaLinea, ReferencePointsAreOrderedByPosition) {
  Form1 f;
  auto metti = [&](size_t e, int32_t p, int32_t k, int32_t c) {
    f.tabella_linea[e].inizio = p;
    f.tabella_linea[e].fine = k;
    f.tabella_linea[e].posizione = c;
  };
  auto punti = [&] {
    std::vector<int32_t> r;
    for (size_t e = 81; e <= 83; ++e)
      r.insert(r.end(),
               {f.tabella_linea[e].inizio, f.tabella_linea[e].fine, f.tabella_linea[e].posizione});
    return r;
  };
  metti(81, 3500, 1, 1), metti(82, 5700, 2, 0), metti(83, 35400, 3, 0);
  f.progressive_ordina();
  EXPECT_EQ(punti(), (std::vector<int32_t>{35400, 3, 0, 5700, 2, 0, 3500, 101, 1}));

  metti(81, 500, 1, 1), metti(82, 500, 2, 1), metti(83, 100, 3, 1);  // largest shared
  f.progressive_ordina();
  EXPECT_EQ(punti(), std::vector<int32_t>(9, 0));

  metti(81, 0, 0, 0), metti(82, 0, 5000, 0), metti(83, 0, 0, 0);  // no positions
  f.progressive_ordina();
  EXPECT_EQ(punti(), (std::vector<int32_t>{0, 5000, 0, 0, 0, 0, 0, 0, 0}));

  metti(81, 0, 2147483600, 1), metti(82, 0, 0, 0), metti(83, 0, 0, 0);
  EXPECT_THROW(f.progressive_ordina(), errore_lettura);
}

TEST(LetturaLinea, GradientProfile) {
  lettura_prova p;
  // 0 only sets the gradient; a point behind the index stores one cell.
  ASSERT_EQ(
      p.leggi(linea(
          {"pendenza, 0, -7", "pendenza, 200, 11", "pendenza, 100, 0", "pendenza, 400, 200"}, "0")),
      codice::nessuno);
  std::vector<int> v;
  for (size_t c = 0; c <= 140; ++c) v.push_back(p.cella(c).pendenza);
  std::vector<int> attese(141, 44);  // 300 per mille wraps
  attese[0] = attese[1] = attese[2] = attese[3] = 93;
  attese[4] = 111;
  attese[5] = attese[6] = attese[7] = 100;
  attese[138] = attese[139] = attese[140] = 0;
  EXPECT_EQ(v, attese);

  lettura_prova piana;
  piana.leggi(linea({}, "0"));
  EXPECT_EQ(piana.cella(137).pendenza, 100);
  EXPECT_EQ(piana.cella(138).pendenza, 0);
}

TEST(LetturaLinea, PositionBeyondTheCellsEndsTheBodyOnly) {
  // 10000 m: last cell 340, so 16900 is the last position that fits.
  lettura_prova p;
  EXPECT_EQ(p.leggi(linea({"pendenza, 100, 3", "pendenza, 16900, 4", "pendenza, 16901, 5",
                           "pendenza, 50, 9"})),
            codice::oltre_le_celle);
  EXPECT_EQ(p.f.posizione_errore, 16901);
  EXPECT_FALSE(esiste_file(p.file_linea()));
  EXPECT_EQ(p.cella(1).pendenza, 100);
  EXPECT_EQ(p.cella(337).pendenza, 103);
  EXPECT_EQ(p.cella(338).pendenza, 104);  // the run-out still ran
  EXPECT_EQ(p.cella(339).pendenza, 0);

  for (const char* corpo : {"montagna, 17000, 17100, 1", "indicatori_vmax, 16950, 1,1,1,0,1,1,1,0",
                            "cartello_indicatore, 16950, x", "curvad1, 16950, 10"}) {
    lettura_prova q;
    EXPECT_EQ(q.leggi(linea({corpo})), codice::oltre_le_celle) << corpo;
    EXPECT_GT(q.f.posizione_errore, 16900);
  }
}

TEST(LetturaLinea, OccupiedCellsGiveSixAndTwentyOne) {
  lettura_prova segni;
  EXPECT_EQ(segni.leggi(linea({"cartello_indicatore, 1000, A", "cartello_indicatore, 1000, B",
                               "pendenza, 500, 5"})),
            codice::cartello_occupato);
  EXPECT_EQ(segni.f.posizione_errore, 1000);
  EXPECT_EQ(segni.cella(21).valore_1, 80);
  EXPECT_EQ(segni.f.tabella_linea[80].nome, "A");
  EXPECT_EQ(segni.f.tabella_linea[79].nome, "");
  EXPECT_EQ(segni.cella(0).pendenza, 0);  // no run-out after an error exit
  EXPECT_FALSE(esiste_file(segni.file_linea()));
  EXPECT_TRUE(esiste_file(segni.file_treno()));

  lettura_prova cartello;
  EXPECT_EQ(cartello.leggi(linea({"cartello_indicatore, 1000, A",
                                  "indicatori_vmax, 1010, 100, 105, 105, 0, , , , 0"})),
            codice::indicatori_occupati);
  EXPECT_EQ(cartello.f.posizione_errore, 1010);
  EXPECT_EQ(cartello.cella(21).tipo, tipo_cella::cartello);
  EXPECT_EQ(cartello.cella(21).valore_2, 0);
  EXPECT_TRUE(esiste_file(cartello.file_treno()));
}

TEST(LetturaLinea, MountainSpans) {
  lettura_prova p;
  ASSERT_EQ(
      p.leggi(linea({"montagna, 600, 650, 1", "montagna, 800, 1000, 2", "montagna, 1200, 1300, 4",
                     "montagna, 9990, 99999, 15", "montagna, -200, 250, 11",
                     "montagna, 600, 600, 1", "montagna, 750, 800, 6"})),
      codice::nessuno);
  EXPECT_EQ(p.cella(12).montagna, 1);
  EXPECT_EQ(p.cella(13).montagna, 0);
  EXPECT_EQ(p.cella(16).montagna, 3);   // 150 m after the previous end
  EXPECT_EQ(p.cella(24).montagna, 4);   // 200 m after
  EXPECT_EQ(p.cella(340).montagna, 5);  // stops at the last cell
  EXPECT_EQ(p.cella(203).tipo, tipo_cella::segno_montagna);
  // Counted from cell -4: the 4th cell of the span is cell -1, the 8th cell 3.
  EXPECT_EQ(p.cella(0).montagna, 3);
  EXPECT_EQ(p.cella(3).tipo, tipo_cella::segno_montagna);
  EXPECT_EQ(p.cella(1).tipo, 0);
  EXPECT_EQ(p.cella(15).montagna, 3);  // after an empty span only 150 m back: kind 3
}

TEST(LetturaLinea, CurvesBendThePlan) {
  lettura_prova p;
  ASSERT_EQ(p.leggi(linea({"curvaS3, 100, 2", "curvad52, 50, 53", "curvad1, 6900, 99999"}, "0")),
            codice::nessuno);
  const planimetria_linea& pl = p.f.planimetria;
  EXPECT_EQ(pl.x[100], 0.0);
  EXPECT_EQ(pl.x[101], -0.0004);  // left, class 3
  EXPECT_EQ(pl.y[101], 101.0);
  // The second curve starts behind the plan: it bends at once, to the right.
  double dx = pl.x[102] - pl.x[101], dy = pl.y[102] - pl.y[101];
  EXPECT_EQ(pl.x[103], pl.x[102] + (dx + 0.0002 * dy));
  EXPECT_EQ(pl.y[103], pl.y[102] + (dy - 0.0002 * dx));
  dx = pl.x[103] - pl.x[102], dy = pl.y[103] - pl.y[102];
  EXPECT_EQ(pl.x[104], pl.x[103] + dx);
  // A curve running past the plan's end stops short of the last two points.
  ASSERT_EQ(pl.punti(), 7001u);
  EXPECT_EQ(pl.genere[6998], genere_punto::doppio);
  EXPECT_EQ(pl.genere[6999], genere_punto::vuoto);
  EXPECT_EQ(pl.genere[7000], genere_punto::vuoto);
  EXPECT_NE(pl.x[6998], pl.x[6900]);

  lettura_prova senza(0);
  ASSERT_EQ(senza.leggi(linea({"curvax7, 100, 2", "pendenza, 100, 3"})), codice::nessuno);
  EXPECT_EQ(senza.f.planimetria.punti(), 0u);
  EXPECT_EQ(senza.cella(2).pendenza, 103);
}

TEST(LetturaLinea, BadCurvesGive103) {
  for (const std::string& testo : {linea({"curvax7, 100, 2", "pendenza, 100, 3"}),
                                   linea({"curvad1, 0, 1000000"}, "1000000")}) {
    lettura_prova p;
    EXPECT_EQ(p.leggi(testo), codice::curva_errata);
    EXPECT_EQ(p.f.posizione_errore, 0);
    EXPECT_FALSE(esiste_file(p.file_linea()));
    EXPECT_TRUE(esiste_file(p.file_treno()));
    EXPECT_EQ(p.cella(2).pendenza, 0);
  }
}

TEST(LetturaLinea, DashTokensAndTheLastField) {
  lettura_prova p;
  ASSERT_EQ(p.leggi(linea({"----", "pendenza, 100, 1", "-a, -b, -c pendenza, 200, 2",
                           "-x, -y, pendenza, 300, 3", "pendenza, 400, 4"})),
            codice::nessuno);
  EXPECT_EQ(p.cella(1).pendenza, 100);
  EXPECT_EQ(p.cella(2).pendenza, 101);
  EXPECT_EQ(p.cella(3).pendenza, 101);
  EXPECT_EQ(p.cella(4).pendenza, 102);
  EXPECT_EQ(p.cella(6).pendenza, 103);  // the line before "[fine]" is handled
  EXPECT_EQ(p.cella(8).pendenza, 104);

  // Values running to the end of the file are read; a key as the last field is not.
  lettura_prova fino_in_fondo;
  fino_in_fondo.leggi(
      righe({"[generale]", "lunghezza percorso, 0", "[curve]", "pendenza, 100, 7"}));
  EXPECT_EQ(fino_in_fondo.cella(2).pendenza, 107);
  lettura_prova chiave_ultima;
  chiave_ultima.leggi(righe({"[generale]", "lunghezza percorso, 0", "[curve]", "pendenza, 100, 7",
                             "cartello_indicatore"}));
  EXPECT_EQ(chiave_ultima.f.lettura.prossimo_cartello, 80);
}

TEST(LetturaLinea, ReadFailuresGive25AndDropBothFiles) {
  std::string molti_cartelli, molte_montagne;
  for (int i = 0; i < 82; ++i)
    molti_cartelli += "cartello_indicatore, " + std::to_string(i * 100) + ", c\r\n";
  for (int i = 0; i < 81; ++i)
    molte_montagne += "montagna, " + std::to_string(i * 1000) + ", 100, 1\r\n";
  const std::string casi[] = {
      righe({"[generale]", "[curve]", "pendenza, 100, 1", "[fine]"}),  // no cells
      righe({"[generale]", "[curve]", "[fine]"}),                      // no cells for the run-out
      righe({"[generale]", "lunghezza percorso, -1", "[fine]"}),
      righe({"[generale]", "x, -a", "-b"}),  // dashes up to the end
      righe({"[generale]", "lunghezza percorso, 0", "[curve]", "pendenza, 100"}),
      linea({"pendenza, 1.5, 3"}),
      linea({"pendenza, 100, 99999999999"}),
      linea({"indicatori_vmax, 900, 1639, 0, 0, 0, 0, 0, 0, 0"}),
      linea({"indicatori_vmax, -100, 1, 1, 1, 0, 1, 1, 1, 0"}),
      linea({"cartello_indicatore, -100, x"}),
      linea({"cartello_indicatore, 100, " + std::string(65536, 'a')}),
      linea({molti_cartelli}, "100000"),
      linea({molte_montagne}, "100000"),
  };
  for (const std::string& testo : casi) {
    lettura_prova p;
    EXPECT_EQ(p.leggi(testo), codice::lettura_fallita) << testo.substr(0, 80);
    EXPECT_FALSE(esiste_file(p.file_linea()));
    EXPECT_FALSE(esiste_file(p.file_treno()));
    EXPECT_EQ(p.f.posizione_errore, 0);
  }

  lettura_prova limiti;  // one fewer of each still fits
  std::string corpo = molti_cartelli.substr(0, molti_cartelli.rfind("cartello"));
  corpo += molte_montagne.substr(0, molte_montagne.rfind("montagna"));
  ASSERT_EQ(limiti.leggi(linea({corpo}, "100000")), codice::nessuno);
  EXPECT_EQ(limiti.f.lettura.prossimo_cartello, -1);
  EXPECT_EQ(limiti.f.tabella_linea[0].nome, "c");
  EXPECT_EQ(limiti.cella(1).valore_1, 80);
  EXPECT_EQ(limiti.cella(161).tipo, tipo_cella::cartello);
  EXPECT_EQ(limiti.cella(161).valore_1, 0);
}
