#include <gtest/gtest.h>

#include <cstring>
#include <initializer_list>

#include "aiuti.h"
#include "driver/codici.h"
#include "driver/form1.h"
#include "output/immagini.h"
#include "platform/file.h"
#include "scenario_minimo.h"
#include "tool/compilati/compilati.h"

namespace {

cella_percorso oggetto(uint8_t tipo, int16_t v1 = 0) {
  cella_percorso c;
  c.tipo = tipo;
  c.valore_1 = v1;
  return c;
}

bool marcata(const Form1& f, int i) {
  return f.celle_percorso[i].tipo == tipo_cella::abbattimento &&
         f.celle_percorso[i].valore_1 == 180;
}

// Indices of all cells of type 12.
std::vector<int> marche(const Form1& f) {
  std::vector<int> r;
  for (size_t i = 0; i < f.celle_percorso.size(); ++i)
    if (f.celle_percorso[i].tipo == tipo_cella::abbattimento) r.push_back(static_cast<int>(i));
  return r;
}

// A slowdown from `inizio` to `fine` at speed v on an otherwise empty track.
Form1 rallentamento(int celle, int inizio, int fine, int16_t v) {
  Form1 f;
  f.celle_percorso.resize(celle);
  f.celle_percorso[inizio] = oggetto(tipo_cella::inizio_rallentamento, v);
  if (fine >= 0) f.celle_percorso[fine] = oggetto(tipo_cella::fine_rallentamento, v);
  return f;
}

uint16_t u16_a(const std::string& b, size_t o) {
  return static_cast<uint16_t>(static_cast<unsigned char>(b[o]) |
                               static_cast<unsigned char>(b[o + 1]) << 8);
}
int32_t i32_a(const std::string& b, size_t o) {
  uint32_t v = 0;
  for (int k = 3; k >= 0; --k) v = v << 8 | static_cast<unsigned char>(b[o + k]);
  return static_cast<int32_t>(v);
}

}  // namespace

TEST(Rifinitura, SlowSlowdownGetsApproachAndInsideMarks) {
  Form1 f = rallentamento(200, 100, 130, 100);
  f.rifinisci_percorso();
  EXPECT_EQ(marche(f), (std::vector<int>{82, 89, 95, 108, 116, 124}));
  for (int i : marche(f)) EXPECT_TRUE(marcata(f, i)) << i;
  EXPECT_EQ(f.codice_errore, 0);
}

TEST(Rifinitura, FastSlowdownGetsNoInsideMarksButItsEndIsFound) {
  Form1 f = rallentamento(200, 100, 130, 110);
  f.celle_percorso[141] = oggetto(tipo_cella::segnale);  // e + 11
  f.rifinisci_percorso();
  EXPECT_EQ(marche(f), (std::vector<int>{82, 89, 95, 140}));

  Form1 g = rallentamento(200, 100, 130, 110);
  g.celle_percorso[143] = oggetto(tipo_cella::segnale);  // e + 13: out of reach
  g.rifinisci_percorso();
  EXPECT_EQ(marche(g), (std::vector<int>{82, 89, 95}));
}

TEST(Rifinitura, ApproachRulesStartOnlyPastTheirGuards) {
  Form1 f = rallentamento(40, 7, 9, 120);
  f.rifinisci_percorso();
  EXPECT_TRUE(marche(f).empty());

  Form1 g = rallentamento(40, 8, 10, 120);
  g.celle_percorso[3] = oggetto(tipo_cella::indicatori_v_max);
  g.rifinisci_percorso();
  EXPECT_EQ(marche(g), (std::vector<int>{2}));
  EXPECT_EQ(g.codice_errore, 0);
}

TEST(Rifinitura, ExistingReductionPointsDoNotSatisfyApproachRules) {
  Form1 f = rallentamento(100, 50, 60, 120);
  for (int i : {45, 44, 43}) f.celle_percorso[i] = oggetto(tipo_cella::abbattimento, 60);
  f.rifinisci_percorso();
  EXPECT_EQ(f.codice_errore, codice::regola_avvicinamento);
  EXPECT_EQ(f.posizione_errore, 2500);
  for (int i : {45, 44, 43}) EXPECT_EQ(f.celle_percorso[i].valore_1, 60);
  EXPECT_TRUE(marcata(f, 39));  // the other distances still get theirs
  EXPECT_TRUE(marcata(f, 32));
}

TEST(Rifinitura, InsideMarksShiftAroundOccupiedCells) {
  // 108 taken: 107 instead, next one 8 cells after it.
  Form1 f = rallentamento(200, 100, 130, 100);
  f.celle_percorso[108] = oggetto(tipo_cella::cartello);
  f.rifinisci_percorso();
  EXPECT_EQ(marche(f), (std::vector<int>{82, 89, 95, 107, 115, 123}));

  // 108 and 107 taken: 109, then 117 and 125.
  Form1 g = rallentamento(200, 100, 130, 100);
  g.celle_percorso[108] = oggetto(tipo_cella::cartello);
  g.celle_percorso[107] = oggetto(tipo_cella::cartello);
  g.rifinisci_percorso();
  EXPECT_EQ(marche(g), (std::vector<int>{82, 89, 95, 109, 117, 125}));

  // All three taken: code 13, and no more marks in this slowdown.
  Form1 h = rallentamento(200, 100, 130, 100);
  for (int i : {107, 108, 109}) h.celle_percorso[i] = oggetto(tipo_cella::cartello);
  h.rifinisci_percorso();
  EXPECT_EQ(marche(h), (std::vector<int>{82, 89, 95}));
  EXPECT_EQ(h.codice_errore, codice::regola_interno);
  EXPECT_EQ(h.posizione_errore, 108 * 50);
}

TEST(Rifinitura, SignalAfterTheSlowdown) {
  Form1 f = rallentamento(200, 100, 130, 120);
  f.celle_percorso[135] = oggetto(tipo_cella::segnale);
  f.celle_percorso[134] = oggetto(tipo_cella::cartello);
  f.rifinisci_percorso();
  EXPECT_TRUE(marcata(f, 133));
  EXPECT_EQ(f.codice_errore, 0);

  Form1 g = rallentamento(200, 100, 130, 120);
  g.celle_percorso[135] = oggetto(tipo_cella::segnale);
  g.celle_percorso[134] = oggetto(tipo_cella::cartello);
  g.celle_percorso[133] = oggetto(tipo_cella::abbattimento, 60);
  g.rifinisci_percorso();
  EXPECT_EQ(g.codice_errore, codice::regola_interno);
  EXPECT_EQ(g.posizione_errore, 130 * 50);
  EXPECT_EQ(g.celle_percorso[133].valore_1, 60);
}

TEST(Rifinitura, SlowdownWithoutEndStopsAtTheLastCell) {
  Form1 f = rallentamento(30, 20, -1, 100);  // last cell 29
  f.celle_percorso[29] = oggetto(tipo_cella::segnale);
  f.rifinisci_percorso();
  EXPECT_TRUE(marcata(f, 28));  // rule 5 at 20 + 8
  EXPECT_TRUE(marcata(f, 27));  // rule 6: the signal at the last cell, 28 already taken
  EXPECT_EQ(f.codice_errore, 0);

  // The eighth step lands on the last cell; nothing past it may be used.
  Form1 g = rallentamento(30, 21, -1, 100);
  g.celle_percorso[29] = oggetto(tipo_cella::cartello);
  g.celle_percorso[28] = oggetto(tipo_cella::cartello);
  g.rifinisci_percorso();
  EXPECT_EQ(g.codice_errore, codice::regola_interno);
  EXPECT_EQ(g.posizione_errore, 29 * 50);

  Form1 h = rallentamento(30, 20, -1, 130);
  h.rifinisci_percorso();
  EXPECT_EQ(h.codice_errore, 0);
}

TEST(Rifinitura, SignalsBeforeAWarningPoint) {
  // Signals at 8 and 3 are inside the window; the one at 3 uses cell 2.
  Form1 f;
  f.celle_percorso.resize(40);
  f.celle_percorso[10] = oggetto(tipo_cella::avviso_rallentamento, 60);
  f.celle_percorso[8] = oggetto(tipo_cella::segnale);
  f.celle_percorso[3] = oggetto(tipo_cella::segnale);
  f.rifinisci_percorso();
  EXPECT_EQ(marche(f), (std::vector<int>{2, 7}));

  // 7 taken: 6. A signal at cell 2 is too close to the start to be treated.
  Form1 g;
  g.celle_percorso.resize(40);
  g.celle_percorso[10] = oggetto(tipo_cella::avviso_rallentamento, 60);
  g.celle_percorso[8] = oggetto(tipo_cella::segnale);
  g.celle_percorso[7] = oggetto(tipo_cella::cartello);
  g.celle_percorso[2] = oggetto(tipo_cella::segnale);
  g.rifinisci_percorso();
  EXPECT_EQ(marche(g), (std::vector<int>{6}));

  // The window is 20 cells: the signal at 10 is treated (9 is a signal, so
  // 8), the one at 9 is not (it would take 7).
  Form1 h;
  h.celle_percorso.resize(40);
  h.celle_percorso[30] = oggetto(tipo_cella::avviso_rallentamento, 60);
  h.celle_percorso[10] = oggetto(tipo_cella::segnale);
  h.celle_percorso[9] = oggetto(tipo_cella::segnale);
  h.rifinisci_percorso();
  EXPECT_EQ(marche(h), (std::vector<int>{8}));
  EXPECT_EQ(h.codice_errore, 0);
}

TEST(Rifinitura, WarningPointPrefersFreeCellsThenLowersExistingPoints) {
  auto prova = [](uint8_t tipo_a, int16_t v_a, uint8_t tipo_b, int16_t v_b) {
    Form1 f;
    f.celle_percorso.resize(40);
    f.celle_percorso[10] = oggetto(tipo_cella::avviso_rallentamento, 60);
    f.celle_percorso[8] = oggetto(tipo_cella::segnale);
    f.celle_percorso[7] = oggetto(tipo_a, v_a);
    f.celle_percorso[6] = oggetto(tipo_b, v_b);
    f.rifinisci_percorso();
    return f;
  };
  const uint8_t p12 = tipo_cella::abbattimento, occ = tipo_cella::cartello;

  Form1 a = prova(p12, 120, 0, 0);  // free beats type 12
  EXPECT_TRUE(marcata(a, 6));
  EXPECT_EQ(a.celle_percorso[7].valore_1, 120);

  Form1 b = prova(p12, 120, occ, 0);  // 180 vs 120: keeps 120
  EXPECT_EQ(b.celle_percorso[7].valore_1, 120);
  Form1 c = prova(p12, 200, occ, 0);  // 180 vs 200: lowered
  EXPECT_EQ(c.celle_percorso[7].valore_1, 180);
  Form1 d = prova(occ, 0, p12, 250);  // b used when a is neither
  EXPECT_EQ(d.celle_percorso[6].valore_1, 180);
  EXPECT_EQ(d.codice_errore, 0);
}

TEST(Rifinitura, WarningPointWithNoRoomStoresElevenAndGoesOn) {
  // Signals at 8, 7, 6: the first has no room; the next two use 5 and 4,
  // the last one seeing the mark just placed on 5.
  Form1 f;
  f.celle_percorso.resize(40);
  f.celle_percorso[10] = oggetto(tipo_cella::avviso_rallentamento, 60);
  for (int i : {8, 7, 6}) f.celle_percorso[i] = oggetto(tipo_cella::segnale);
  f.rifinisci_percorso();
  EXPECT_EQ(marche(f), (std::vector<int>{4, 5}));
  EXPECT_EQ(f.codice_errore, codice::regola_segnale);
  EXPECT_EQ(f.posizione_errore, 400);
}

TEST(CodiciGara, WorkedExamples) {
  Form1 f;
  f.tabella_linea[86].nome = "12";
  f.tabella_linea[85].nome = "Abc";
  EXPECT_EQ(f.codice_gara_og(), 2427);
  EXPECT_EQ(f.codice_gara_st(), 33220);

  f.tabella_linea[85].nome = "ABC";  // case does not count
  EXPECT_EQ(f.codice_gara_og(), 2427);
  EXPECT_EQ(f.codice_gara_st(), 33220);

  f.tabella_linea[86].nome = "Abc";  // order does
  f.tabella_linea[85].nome = "12";
  EXPECT_EQ(f.codice_gara_st(), 32929);

  Form1 vuoto;
  EXPECT_EQ(vuoto.codice_gara_og(), 2583);
  EXPECT_EQ(vuoto.codice_gara_st(), 34355);
}

TEST(CodiciGara, OnlyTheFirstTwentyFiveCharactersCount) {
  Form1 f;
  f.tabella_linea[86].nome = "1234567890";
  f.tabella_linea[85].nome = "ABCDEFGHIJKLMNOPQRSTUVWXYZ";
  EXPECT_EQ(f.codice_gara_og(), 2085);
  EXPECT_EQ(f.codice_gara_st(), 31285);

  // Single-byte accented capital, lower-cased before it counts.
  Form1 g;
  g.tabella_linea[85].nome = "\xC0";
  EXPECT_EQ(g.codice_gara_og(), 2696);
  EXPECT_EQ(g.codice_gara_st(), 34276);
}

TEST(Immagini, TableRecordsArePackedWithTheirNames) {
  tabella t;
  std::string vuota = immagine_tabella(t);
  EXPECT_EQ(vuota, std::string(87 * 34, '\0'));

  voce_linea& v = t[1];
  v.tipo = 7;
  v.inizio = -2;
  v.fine = 0x01020304;
  v.posizione = 1000;
  v.opzione_1 = 9;
  v.nome = "Roma";
  v.parametro_1 = 610;
  v.parametro_2 = -1;
  v.parametro_4 = 4;
  v.parametro_5 = 5;
  v.parametro_6 = 6;
  v.parametro_3 = 3;
  v.parametro_7 = 0xFE;
  v.prolunga_fine = 1;
  v.opzione_2 = 2;
  v.orario = 33220;
  std::string b = immagine_tabella(t);
  ASSERT_EQ(b.size(), 87u * 34 + 4);
  EXPECT_EQ(b.substr(0, 34), std::string(34, '\0'));
  const std::string atteso(
      "\x07"
      "\xFE\xFF\xFF\xFF"
      "\x04\x03\x02\x01"
      "\xE8\x03\x00\x00"
      "\x09"
      "\x04\x00"
      "Roma"
      "\x62\x02"
      "\xFF\xFF"
      "\x04\x00\x05\x00\x06\x00"
      "\x03\xFE\x01\x02"
      "\xC4\x81\x00\x00",
      38);
  EXPECT_EQ(b.substr(34, 38), atteso);
  EXPECT_EQ(b.substr(72), std::string(85 * 34, '\0'));
}

TEST(Immagini, OverlongNameIsCutToWhatItsLengthFieldCanSay) {
  tabella t;
  t[0].nome = std::string(70000, 'a');
  std::string b = immagine_tabella(t);
  EXPECT_EQ(u16_a(b, 14), 0xFFFF);
  EXPECT_EQ(b.size(), 87u * 34 + 0xFFFF);
}

TEST(Immagini, TrackCellIsFifteenBytes) {
  std::vector<cella_percorso> celle(3);
  cella_percorso& c = celle[1];
  c = {1, 5121, 2427, -3, 6, 101, 61, 2, 24, 103, 7};
  std::string b = immagine_percorso(celle);
  ASSERT_EQ(b.size(), 45u);
  const std::string atteso("\x01\x01\x14\x7B\x09\xFD\xFF\x06\x00\x65\x3D\x02\x18\x67\x07", 15);
  EXPECT_EQ(b.substr(15, 15), atteso);
  EXPECT_EQ(b.substr(0, 15), std::string(15, '\0'));
}

TEST(Immagini, PlanTagsAndColumns) {
  planimetria_linea p;
  p.crea(4);
  p.genere = {genere_punto::intero, genere_punto::intero, genere_punto::doppio,
              genere_punto::vuoto};
  p.x = {0, -2, 1.5, 0};
  p.y = {7, 0, -0.25, 0};
  std::string b = immagine_planimetria(p);
  const size_t colonna = 4 + 4 + 10 + 2;
  ASSERT_EQ(b.size(), 2 * colonna);
  const std::string x(
      "\x02\x00\x00\x00"
      "\x02\x00\xFE\xFF"
      "\x05\x00\x00\x00\x00\x00\x00\x00\xF8\x3F"
      "\x00\x00",
      colonna);
  const std::string y(
      "\x02\x00\x07\x00"
      "\x02\x00\x00\x00"
      "\x05\x00\x00\x00\x00\x00\x00\x00\xD0\xBF"
      "\x00\x00",
      colonna);
  EXPECT_EQ(b.substr(0, colonna), x);
  EXPECT_EQ(b.substr(colonna), y);
}

TEST(FileCompilati, StampsAndWritesTheThreeFiles) {
  scenario_minimo s;
  planimetria_linea piano = s.f.planimetria;
  s.f.scrivi_file_compilati();

  EXPECT_EQ(leggi_tutto(s.piano()), immagine_planimetria(piano));
  std::string t = leggi_tutto(s.tabella_file());
  EXPECT_EQ(t, immagine_tabella(s.f.tabella_linea));
  std::string c = leggi_tutto(s.percorso());
  ASSERT_EQ(c.size(), 150u * 15);
  EXPECT_EQ(u16_a(c, 16), 5121);
  EXPECT_EQ(u16_a(c, 18), s.f.codice_gara_og());

  // Entry 85 starts after 85 records of 34 bytes and entry 85's name.
  size_t o85 = 85 * 34;
  size_t n = u16_a(t, o85 + 14);
  EXPECT_EQ(t.substr(o85 + 16, n), "Linea");
  EXPECT_EQ(u16_a(t, o85 + 16 + n), 610);
  EXPECT_EQ(i32_a(t, o85 + 30 + n), s.f.codice_gara_st());
}

TEST(FileCompilati, LongPlanColumnsAtTheirPlaces) {
  scenario_minimo s;
  pianta_lunga(s.f.planimetria);
  const planimetria_linea piano = s.f.planimetria;
  s.f.scrivi_file_compilati();
  planimetria_linea letta;
  ASSERT_NO_THROW(decodifica_planimetria(leggi_tutto(s.piano()), letta, ""));
  ASSERT_EQ(letta.punti(), piano.punti());
  for (size_t m = 0; m + 1 < piano.punti(); ++m) {
    ASSERT_EQ(letta.genere[m], piano.genere[m]) << m;
    ASSERT_EQ(letta.x[m], piano.x[m]) << m;
    ASSERT_EQ(letta.y[m], piano.y[m]) << m;
  }
}

TEST(FileCompilati, NoPlanFileWithoutThePlanSwitch) {
  scenario_minimo s;
  s.f.j = 0;
  scrivi_tutto(s.piano(), "vecchio");
  s.f.scrivi_file_compilati();
  EXPECT_EQ(leggi_tutto(s.piano()), "vecchio");
  EXPECT_TRUE(esiste_file(s.tabella_file()));
  EXPECT_TRUE(esiste_file(s.percorso()));
}

TEST(FileCompilati, UsedStampSlotsEndTheRunBeforeAnyWrite) {
  auto prova = [](auto sporca, int32_t codice_atteso) {
    scenario_minimo s;
    scrivi_tutto(s.percorso(), "vecchio");
    sporca(s.f);
    try {
      s.f.scrivi_file_compilati();
      ADD_FAILURE() << "no fatal error";
    } catch (const fine_programma& fine) {
      EXPECT_EQ(fine.codice, codice_atteso);
    }
    EXPECT_FALSE(esiste_file(s.piano()));
    EXPECT_FALSE(esiste_file(s.tabella_file()));
    EXPECT_EQ(leggi_tutto(s.percorso()), "vecchio");
  };
  prova([](Form1& f) { f.celle_percorso[1].valore_1 = 180; }, codice::timbri_occupati);
  prova([](Form1& f) { f.tabella_linea[85].parametro_1 = 1; }, codice::timbri_occupati);
  prova([](Form1& f) { f.celle_percorso[1].valore_2 = 2; }, codice::codici_occupati);
  prova([](Form1& f) { f.tabella_linea[85].orario = 3; }, codice::codici_occupati);
}

TEST(MemorizzaPercorso, ReadThatLeavesNoCellsWritesNothing) {
  cartella_temporanea dir;
  Form1 f;
  f.cartella = dir.percorso;
  f.nome_linea = "Linea";
  f.numero_treno = "12";
  f.codice_errore = 77;
  f.tabella_linea[0].inizio = 5;
  f.celle_percorso.resize(150);  // left over from an earlier compile
  int32_t j = 1;
  f.memorizza_percorso(j);
  EXPECT_EQ(f.j, 1);
  EXPECT_EQ(f.codice_errore, codice::linea_mancante);
  EXPECT_EQ(f.tabella_linea[0].inizio, 0);
  EXPECT_TRUE(f.celle_percorso.empty());
  EXPECT_FALSE(esiste_file(dir / "Linea_12.sim"));
  EXPECT_FALSE(esiste_file(dir / "Linea_12.dat"));
}
