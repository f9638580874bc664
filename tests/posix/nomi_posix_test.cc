// File names as bytes: only here can a name hold bytes that are not UTF-8
// (on Windows every name is Unicode).
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "aiuti.h"
#include "platform/testo.h"

namespace fs = std::filesystem;

namespace {

int scenario(const std::string& args, std::string* uscita) {
  return esegui(std::string(SCENARIO_BIN) + " " + args + " 2>&1", uscita);
}

}  // namespace

// Every JSON line is UTF-8, whatever bytes a file name holds.
TEST(NomiPosix, JsonIsUtf8WhateverBytesANameHolds) {
  cartella_temporanea t;
  const std::string citta = "Citt\xe0";  // Windows-1252
  ASSERT_EQ(scenario("sources " + (t / "b"), nullptr), 0);
  fs::create_directories(t / "src");
  scrivi_tutto(t / ("src/" + citta + "_linea.txt"),
               leggi_tutto(t / "b/FerziaPS-Calvorano_linea.txt"));
  scrivi_tutto(t / ("src/" + citta + "_7-.txt"),
               leggi_tutto(t / "b/FerziaPS-Calvorano_24617-.txt"));
  std::string a, b;
  EXPECT_EQ(scenario("compile " + (t / "src") + " " + citta + " 7 --json", &a), 0);
  EXPECT_EQ(scenario("decompile " + (t / "src") + " " + citta + " 7 --force --json", &b), 0);
  for (const std::string& s : {a, b}) {
    for (size_t i = 0; i < s.size();) {
      char32_t c;
      const size_t n = testo::sequenza_utf8(s, i, c);
      ASSERT_GT(n, 0u) << "byte " << i << " of " << s;
      i += n;
    }
    EXPECT_NE(s.find("Citt\xc3\xa0"), std::string::npos) << s;
  }
}
