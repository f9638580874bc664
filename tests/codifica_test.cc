// Sources saved as UTF-8: the exact conversions, the warnings for a source
// read as Windows-1252 and the conversion of one read as UTF-8.
#include "tool/compilazione/codifica.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/testo.h"
#include "tool/generatori/genera.h"

namespace {

constexpr size_t npos = std::string::npos;

TEST(Testo, ExactConversionKeepsEveryByteAndStopsWhereAPlaceIsMissing) {
  std::string tutti, ritorno;
  for (int b = 0; b < 256; ++b) tutti += static_cast<char>(b);
  EXPECT_EQ(testo::a_1252_esatto(testo::da_1252_esatto(tutti), ritorno), npos);
  EXPECT_EQ(ritorno, tutti);
  EXPECT_EQ(testo::da_1252("\x81"), "?");  // messages keep their '?'
  // ő, the C1 control whose byte is €, a cut-off and an overlong sequence.
  for (std::string s : {"ab\xC5\x91", "ab\xC2\x80", "ab\xE2\x82", "ab\xC0\x80"}) {
    EXPECT_EQ(testo::a_1252_esatto(s, ritorno), 2u) << s;
    EXPECT_EQ(ritorno, "ab");
  }
}

struct atteso {
  int riga, colonna;
  std::string parte;  // in the message
};

TEST(Codifica, OneWarningPerLineWithUtf8AndOneForTheByteOrderMark) {
  const std::string m = "il simulatore mostrerà ";
  const std::pair<std::string, std::vector<atteso>> casi[] = {
      {"stazione, 0, D'OST\xC0 \xE8\r\nvelocit\xE0,\xC8\xC8\r\n", {}},  // Windows-1252
      {"[stazioni]\r\nx, PELSANO D'OST\xC3\x80\r\n",
       {{2, 17, m + "\"D'OSTÃ€\", forse si intendeva \"D'OSTÀ\""}}},
      {"a \xC3\xA8 b \xC3\xB2,c\r\n\xE2\x82\xAC",
       {{1, 3, "colonna 3: " + m + "\"Ã¨ b Ã²\", forse si intendeva \"è b ò\""},
        {2, 1, "\"â‚¬\", forse si intendeva \"€\""}}},
      {"x\ry\n\xC5\x91", {{3, 1, "\"Å‘\", forse si intendeva \"ő\""}}},
      {"\xEF\xBB\xBFx\xC3\xA8\r\nok",
       {{1, 1, "EF BB BF (BOM), che il simulatore legge come \"ï»¿\""}, {1, 5, "\"xÃ¨\""}}},
  };
  for (const auto& [dati, attesi] : casi) {
    SCOPED_TRACE(dati);
    std::vector<avviso> avvisi;
    avvisi_codifica(avvisi, "f.txt", dati);
    ASSERT_EQ(avvisi.size(), attesi.size());
    for (size_t i = 0; i < avvisi.size(); ++i) {
      EXPECT_EQ(avvisi[i].dove.riga, attesi[i].riga);
      EXPECT_EQ(avvisi[i].dove.colonna, attesi[i].colonna);
      EXPECT_NE(avvisi[i].messaggio.find(attesi[i].parte), npos) << avvisi[i].messaggio;
    }
  }
}

TEST(Codifica, Utf8SourcesBecomeWindows1252OrNameTheirFirstFault) {
  std::string dati = "\xEF\xBB\xBFx\xE2\x82\xAC\r\n\xC3\x80";
  EXPECT_FALSE(da_utf8("f.txt", dati));
  EXPECT_EQ(dati, "x\x80\r\n\xC0");
  // Columns count characters, as the compile of the converted text does; the
  // line is shown one byte a character.
  const std::pair<std::string, atteso> casi[] = {
      {"a\r\nb\xC3\xA0\xC5\x91", {2, 3, "il carattere \"ő\" (U+0151) alla colonna 3"}},
      {"\xEF\xBB\xBF\xC3\xA0\xC5\x91,", {1, 2, "\xE0?,"}},
      {"x\r\ry\xC0z", {3, 2, "y\xC0z"}},
  };
  for (const auto& [dati, a] : casi) {
    std::string d = dati;
    const auto e = da_utf8("f.txt", d);
    ASSERT_TRUE(e) << dati;
    EXPECT_EQ(d, dati);
    EXPECT_EQ(e->dove.riga, a.riga);
    EXPECT_EQ(e->dove.colonna, a.colonna);
    EXPECT_NE((e->dove.testo + "|" + e->messaggio).find(a.parte), npos) << e->messaggio;
  }
}

// The wild generator's free text takes any byte from 0xA0 up, so a lead and a
// continuation byte in a row are UTF-8 by chance: only the synthetic lines
// must stay clean.
TEST(Codifica, GeneratedSourcesGiveNoWarning) {
  std::vector<avviso> avvisi;
  for (int km : {1, 37, kKmMassimi})
    for (uint64_t seme : {1u, 2u}) {
      const scenario_generato g = genera_scenario({km, seme, 4});
      avvisi_codifica(avvisi, "linea", g.linea);
      avvisi_codifica(avvisi, "treno", g.treno);
    }
  EXPECT_TRUE(avvisi.empty()) << avvisi.front().messaggio;
}

}  // namespace
