#include <gtest/gtest.h>

#include "aiuti.h"
#include "driver/form1.h"
#include "model/numeri.h"
#include "platform/file.h"
#include "platform/testo.h"

TEST(Testo, AccentedLettersBecomeOneByteEach) {
  EXPECT_EQ(testo::a_1252("àèìò"), "\xE0\xE8\xEC\xF2");
  EXPECT_EQ(testo::a_1252("€ ok"), "\x80 ok");
  EXPECT_EQ(testo::a_1252("\xE2\x82"), "?");  // cut-off sequence
  EXPECT_EQ(testo::da_1252("\xE0\x80"), "à€");
}

TEST(Testo, CaseInsensitiveSearchOnSingleByteText) {
  EXPECT_TRUE(testo::contiene_nc("STAZIONE", "stazione"));
  EXPECT_FALSE(testo::contiene_nc("[stazioni]", "stazione"));
  EXPECT_TRUE(testo::contiene_nc("VELOCIT\xC0", "velocit\xE0"));
  EXPECT_EQ(testo::minuscolo("AbC\xC8"), "abc\xE8");
}

TEST(Numeri, RoundsHalvesToEven) {
  EXPECT_EQ(arrotonda(44000, 50), 880);
  EXPECT_EQ(arrotonda(44025, 50), 880);  // 880.5
  EXPECT_EQ(arrotonda(44075, 50), 882);  // 881.5
  EXPECT_EQ(arrotonda(-25, 50), 0);      // -0.5
  EXPECT_EQ(arrotonda(-75, 50), -2);     // -1.5
  EXPECT_EQ(arrotonda(-26, 50), -1);
  EXPECT_EQ(basso16(70000), 4464);
  EXPECT_EQ(basso8(-1), 255);
}

TEST(Minimo, SmallerOfTwoAndXOnATie) {
  int16_t a = 180, b = 120, c = 200;
  EXPECT_EQ(minimo(a, b), 120);
  EXPECT_EQ(minimo(a, c), 180);
  EXPECT_EQ(minimo(a, a), 180);
  EXPECT_EQ(minimo(int16_t{-5}, 3u), -5);  // numeric, not unsigned wrap-around
  EXPECT_DOUBLE_EQ(minimo(180, 120.5), 120.5);
}

TEST(File, ReplaceKeepsNoOldBytesAndLeavesNoTemporaryFile) {
  cartella_temporanea t;
  scrivi_tutto(t / "a.txt", std::string(1000, 'x'));
  file::sostituisci(t / "a.txt", "corto");
  EXPECT_EQ(leggi_tutto(t / "a.txt"), "corto");
  file::sostituisci(t / "a.txt", std::string(5000, 'y'));
  EXPECT_EQ(leggi_tutto(t / "a.txt").size(), 5000u);
  EXPECT_EQ(file::elenco(t.percorso), std::vector<std::string>{"a.txt"});
}

TEST(File, PiecesAtOffsetsInAnyOrderAndNothingBeforeClosing) {
  cartella_temporanea t;
  scrivi_tutto(t / "a.dat", "vecchio");
  {
    file::sostituzione f(t / "a.dat");
    f.scrivi_a(5, "mondo");
    f.scrivi_a(0, "ciao ");
    EXPECT_EQ(leggi_tutto(t / "a.dat"), "vecchio");
    f.chiudi();
  }
  EXPECT_EQ(leggi_tutto(t / "a.dat"), "ciao mondo");
  {
    file::sostituzione f(t / "a.dat");
    f.scrivi_a(0, "perso");
  }  // never closed: the old file stays, the temporary one goes
  EXPECT_EQ(leggi_tutto(t / "a.dat"), "ciao mondo");
  EXPECT_EQ(file::elenco(t.percorso), std::vector<std::string>{"a.dat"});
}

TEST(Errore, ShowsTheMessageAndEndsTheRun) {
  Form1 f;
  testing::internal::CaptureStderr();
  try {
    f.errore("1251");
    FAIL();
  } catch (const fine_programma& fine) {
    EXPECT_NE(fine.stato, 0);
    EXPECT_EQ(fine.codice, 1251);
  }
  EXPECT_EQ(testing::internal::GetCapturedStderr(), " Errore n. 1251\n");
}
