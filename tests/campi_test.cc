#include "compiler/campi.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// Reads every field as text until the end, joined by '|'.
std::string tutti(const std::string& dati) {
  lettore_campi f(dati);
  std::string r;
  while (!f.fine()) r += f.testo() + "|";
  return r;
}

}  // namespace

TEST(Campi, EndOfFileComesWithTheLastFieldsDelimiter) {
  lettore_campi f("a,b\r\n[fine]\r\n");
  EXPECT_EQ(f.testo(), "a");
  EXPECT_EQ(f.testo(), "b");
  EXPECT_FALSE(f.fine());
  EXPECT_EQ(f.testo(), "[fine]");
  EXPECT_TRUE(f.fine());
  EXPECT_THROW(f.testo(), errore_lettura);
  EXPECT_THROW(f.numero(), errore_lettura);

  lettore_campi senza_a_capo("x,7");
  EXPECT_EQ(senza_a_capo.testo(), "x");
  EXPECT_EQ(senza_a_capo.numero(), 7);
  EXPECT_TRUE(senza_a_capo.fine());

  EXPECT_THROW(lettore_campi("").testo(), errore_lettura);
}

TEST(Campi, EmptyFieldsAndEmptyLines) {
  // An empty line is one empty field; blanks never reach across a line end.
  EXPECT_EQ(tutti("a\r\n\r\nb\r\n"), "a||b|");
  EXPECT_EQ(tutti("a,  ,\tb  ,c\r\n"), "a||b|c|");
  EXPECT_EQ(tutti("   \r\nx\r\n"), "|x|");

  lettore_campi f("indicatori_vmax,  7900,  140,  ,  ,  0\r\n[fine]\r\n");
  EXPECT_EQ(f.testo(), "indicatori_vmax");
  EXPECT_EQ(f.numero(), 7900);
  EXPECT_EQ(f.numero(), 140);
  EXPECT_EQ(f.numero(), 0);
  EXPECT_EQ(f.numero(), 0);
  EXPECT_EQ(f.numero(), 0);
  EXPECT_EQ(f.testo(), "[fine]");
  EXPECT_TRUE(f.fine());
}

TEST(Campi, TextKeepsInnerBlanksAndQuotesHoldCommas) {
  EXPECT_EQ(tutti("progressiva chilometrica uno,  (  /  ) \r\n"),
            "progressiva chilometrica uno|(  /  )|");
  // What stands after the closing quote is dropped; an unclosed quote stops at the line end.
  EXPECT_EQ(tutti("\"a, b\" coda,c\r\n\"aperta, x\r\nz\r\n"), "a, b|c|aperta, x|z|");
  lettore_campi f("\" 12 \",\"-3\"\r\n");
  EXPECT_EQ(f.numero(), 12);
  EXPECT_EQ(f.numero(), -3);
  EXPECT_TRUE(f.fine());
}

TEST(Campi, NumberEndsAtABlank) {
  lettore_campi f("orologio,    14              24            50 \r\n[fine]\r\n");
  EXPECT_EQ(f.testo(), "orologio");
  EXPECT_EQ(f.numero(), 14);
  EXPECT_EQ(f.numero(), 24);
  EXPECT_EQ(f.numero(), 50);
  EXPECT_EQ(f.testo(), "[fine]");
  EXPECT_TRUE(f.fine());

  // Blanks then a comma end the same field: no empty field in between.
  lettore_campi g("5   ,6\t\r\n7");
  EXPECT_EQ(g.numero(), 5);
  EXPECT_EQ(g.numero(), 6);
  EXPECT_EQ(g.numero(), 7);
  EXPECT_TRUE(g.fine());

  // A number followed by text on the same field: the text is the next field.
  lettore_campi h("16250   (P.L.Km)(15+950)\r\n");
  EXPECT_EQ(h.numero(), 16250);
  EXPECT_EQ(h.testo(), "(P.L.Km)(15+950)");
}

TEST(Campi, LoneCrAndLoneLfEndALine) {
  EXPECT_EQ(tutti("a\rb\nc\r\nd"), "a|b|c|d|");
  EXPECT_EQ(tutti("a\n\rb"), "a||b|");
  lettore_campi f("x\ry,z\n  w");
  f.testo();
  f.testo();
  EXPECT_EQ(f.riga(), 2);
  f.testo();
  EXPECT_EQ(f.testo(), "w");
  EXPECT_EQ(f.riga(), 3);
  EXPECT_EQ(f.colonna(), 3);
  EXPECT_EQ(f.testo_riga(), "  w");
}

TEST(Campi, SignsAndThirtyTwoBitLimits) {
  lettore_campi f("-1900,+5,2147483647,-2147483648,-0,007\r\n");
  EXPECT_EQ(f.numero(), -1900);
  EXPECT_EQ(f.numero(), 5);
  EXPECT_EQ(f.numero(), 2147483647);
  EXPECT_EQ(f.numero(), -2147483648);
  EXPECT_EQ(f.numero(), 0);
  EXPECT_EQ(f.numero(), 7);
  EXPECT_TRUE(f.fine());

  for (const char* cattivo : {"2147483648", "-2147483649", "99999999999999999999999", "12abc",
                              "1.5", "-", "+", "- 5", "0x10", "\"1 2\""}) {
    lettore_campi g(std::string(cattivo) + "\r\n");
    EXPECT_THROW(g.numero(), errore_lettura) << cattivo;
  }
  lettore_campi r("70000\r\n");
  EXPECT_THROW(r.numero(-32768, 32767), errore_lettura);
}
