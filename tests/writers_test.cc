#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "aiuti.h"
#include "driver/form1.h"
#include "platform/file.h"

namespace {

struct scenario {
  cartella_temporanea t;
  Form1 f;
  scenario() {
    f.cartella = t.percorso;
    f.nome_linea = "FerziaPS-Calvorano";
    f.numero_treno = "24617";
  }
  std::string leggi(const std::string& nome) const { return leggi_tutto(t / nome); }
};

// Splits a file into its lines; every line must end in CR LF and hold no
// other CR or LF, so a file that breaks the rule yields a marked line.
std::vector<std::string> righe_di(const std::string& dati) {
  std::vector<std::string> out;
  size_t p = 0;
  while (p < dati.size()) {
    size_t q = dati.find("\r\n", p);
    if (q == std::string::npos) {
      out.push_back("<senza CR LF>" + dati.substr(p));
      break;
    }
    std::string r = dati.substr(p, q - p);
    if (r.find_first_of("\r\n") != std::string::npos) r = "<CR o LF interno>" + r;
    out.push_back(r);
    p = q + 2;
  }
  return out;
}

// FNV-1a, 64 bits: a whole-file fingerprint of the expected bytes.
uint64_t impronta(const std::string& dati) {
  uint64_t h = 0xcbf29ce484222325ull;
  for (unsigned char c : dati) h = (h ^ c) * 0x100000001b3ull;
  return h;
}

std::vector<std::string> tabella_vuota() {
  return std::vector<std::string>(1001);
}

}  // namespace

TEST(Scrittori, LineDescriptionIsWrittenByteForByte) {
  scenario s;
  s.f.dati_linea();
  std::string dati = s.leggi("FerziaPS-Calvorano_linea.txt");
  EXPECT_EQ(dati.size(), 2458u);
  EXPECT_EQ(impronta(dati), 0x93b53c484fc5d125ull);
}

// The hash holds the clock line's trailing space and the empty sections.
TEST(Scrittori, TrainDescriptionIsWrittenByteForByte) {
  scenario s;
  s.f.dati_treno();
  std::string dati = s.leggi("FerziaPS-Calvorano_24617-.txt");
  EXPECT_EQ(dati.size(), 2508u);
  EXPECT_EQ(impronta(dati), 0xfc46b98627e905c5ull);
}

TEST(Scrittori, SlowdownListIsThirtyEightBytes) {
  scenario s;
  s.f.dati_rallentamenti();
  EXPECT_EQ(s.leggi("FerziaPS-Calvorano_24617_rallentamenti.txt"),
            "\r\n\r\n\r\n          NESSUN RALLENTAMENTO\r\n");
}

// The hash holds each line's own length, trailing blanks included.
TEST(Scrittori, TimetableSheetIsWrittenByteForByte) {
  scenario s;
  s.f.dati_scheda();
  std::string dati = s.leggi("FerziaPS-Calvorano_24617_scheda_treno.txt");
  EXPECT_EQ(impronta(dati), 0xd230b0fb55230b71ull);
}

TEST(Scrittori, NotesAreSingleByteTextWithTheirFixedLines) {
  scenario s;
  s.f.dati_note();
  std::string dati = s.leggi("FerziaPS-Calvorano_24617_note.txt");
  auto r = righe_di(dati);
  ASSERT_EQ(r.size(), 26u);
  EXPECT_TRUE(r[0].starts_with("Autori dello scenario:  "));
  for (int i : {1, 2}) {
    EXPECT_TRUE(r[i].starts_with(std::string(18, ' '))) << i;
    EXPECT_NE(r[i][18], ' ') << i;
  }
  for (int i : {3, 5, 6, 19, 20}) EXPECT_EQ(r[i], "") << "line " << i + 1;
  EXPECT_EQ(r[4], "N.ro scenario: 4");
  EXPECT_EQ(r[7], "***NOTE SUL TRENO 24617***");
  EXPECT_EQ(r[17], "CONDIZIONI DI ADERENZA: Buone");
  EXPECT_EQ(r[18], "N.RO RALLENTAMENTI: 0");
  EXPECT_EQ(r[21], "***NOTE SULLA LINEA FERZIA-CALVORANO***");
  for (int i = 8; i < 15; ++i) EXPECT_LE(r[i].size(), 120u) << "line " << i + 1;
  EXPECT_GT(r[25].size(), 500u);

  // Accented letters are single 1252 bytes; no UTF-8 sequence survives.
  for (unsigned char c : dati)
    EXPECT_TRUE(c < 0x80 || c == 0xE0 || c == 0xE8 || c == 0xEC || c == 0xF2) << int(c);
  for (char c : {'\xE0', '\xE8', '\xEC', '\xF2'}) EXPECT_NE(dati.find(c), std::string::npos);
}

TEST(Scrittori, OlderFilesAreReplacedWhole) {
  scenario s;
  s.f.dati_treno();
  s.f.dati_scheda();
  const std::string treno = s.leggi("FerziaPS-Calvorano_24617-.txt");
  const std::string scheda = s.leggi("FerziaPS-Calvorano_24617_scheda_treno.txt");

  scrivi_tutto(s.t / "FerziaPS-Calvorano_24617-.txt", std::string(10000, 'x'));
  scrivi_tutto(s.t / "FerziaPS-Calvorano_24617_scheda_treno.txt", "corto");
  s.f.dati_treno();
  s.f.dati_scheda();
  EXPECT_EQ(s.leggi("FerziaPS-Calvorano_24617-.txt"), treno);
  EXPECT_EQ(s.leggi("FerziaPS-Calvorano_24617_scheda_treno.txt"), scheda);
}

TEST(Scrittori, WriteFailureReachesTheCaller) {
  Form1 f;
  f.cartella = "/nonexistent-folder";
  f.nome_linea = "FerziaPS-Calvorano";
  EXPECT_THROW(f.dati_linea(), file::errore_io);
}

TEST(ScriviRighe, StopsAtTheExactEndMarker) {
  scenario s;
  auto righe = tabella_vuota();
  righe[0] = "uno";
  righe[2] = "Riferimento fine del file";  // other case: an ordinary line
  righe[3] = "citt\xC3\xA0";
  righe[4] = "riferimento fine del file";
  righe[5] = "mai scritta";
  s.f.scrivi_righe(s.t / "a.txt", righe);
  EXPECT_EQ(s.leggi("a.txt"), "uno\r\n\r\nRiferimento fine del file\r\ncitt\xE0\r\n");

  righe[0] = "riferimento fine del file";
  s.f.scrivi_righe(s.t / "a.txt", righe);
  EXPECT_TRUE(esiste_file(s.t / "a.txt"));
  EXPECT_EQ(s.leggi("a.txt"), "");
}

TEST(ScriviRighe, TableWithoutMarkerWritesEverySlot) {
  scenario s;
  auto righe = tabella_vuota();
  righe[1000] = "ultima";
  s.f.scrivi_righe(s.t / "b.txt", righe);
  std::string dati = s.leggi("b.txt");
  auto r = righe_di(dati);
  ASSERT_EQ(r.size(), 1001u);
  EXPECT_EQ(r[999], "");
  EXPECT_EQ(r[1000], "ultima");
  EXPECT_EQ(dati.size(), 1001u * 2 + 6);
}
