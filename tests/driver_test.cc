// The whole run of compattatore, from a copy of the executable in a fresh folder.
#include <gtest/gtest.h>

#include <filesystem>

#include "aiuti.h"

namespace fs = std::filesystem;

namespace {

const char* const kDocumenti[] = {"FerziaPS-Calvorano_24617_note.txt",
                                  "FerziaPS-Calvorano_24617_rallentamenti.txt",
                                  "FerziaPS-Calvorano_24617_scheda_treno.txt"};
const char* const kCompilati[] = {"FerziaPS-Calvorano_linea.dat", "FerziaPS-Calvorano_24617.sim",
                                  "FerziaPS-Calvorano_24617.dat"};

std::string copia_programma(const cartella_temporanea& t) {
  std::string exe = t / kCompattatore;
  fs::copy_file(programma(COMPATTATORE_BIN), exe);
  return exe;
}

}  // namespace

TEST(Compattatore, FreshFolderGetsDocumentsAndCompiledFilesOnly) {
  cartella_temporanea t;
  std::string exe = copia_programma(t);
  std::string uscita;
  ASSERT_EQ(esegui(exe + " 2>&1", &uscita), 0) << uscita;
  EXPECT_EQ(uscita, "Attendere\n");
  for (auto n : kDocumenti) EXPECT_TRUE(esiste_file(t / n)) << n;
  for (auto n : kCompilati) EXPECT_TRUE(esiste_file(t / n)) << n;
  EXPECT_FALSE(esiste_file(t / "FerziaPS-Calvorano_linea.txt"));
  EXPECT_FALSE(esiste_file(t / "FerziaPS-Calvorano_24617-.txt"));
  size_t voci = 0;
  for (auto& e : fs::directory_iterator(t.percorso)) (void)e, ++voci;
  EXPECT_EQ(voci, 7u);  // the executable, three documents, three compiled files

  std::string traccia = leggi_tutto(t / "FerziaPS-Calvorano_24617.dat");
  ASSERT_EQ(traccia.size(), 13215u);
  EXPECT_EQ(static_cast<unsigned char>(traccia[16]) | static_cast<unsigned char>(traccia[17]) << 8,
            5121);
  // Cell 18: the first signal of the train.
  std::string cella18 = traccia.substr(270, 15);
  EXPECT_EQ(cella18[0], 1);
  EXPECT_EQ(cella18[1], 50);
  EXPECT_EQ(cella18[3], 60);
  EXPECT_EQ(cella18[5], 10);
  EXPECT_EQ(cella18[7], 6);
  EXPECT_EQ(leggi_tutto(t / "FerziaPS-Calvorano_linea.dat").size(), 879964u);
}

TEST(Compattatore, SecondRunGivesIdenticalFiles) {
  cartella_temporanea t;
  std::string exe = copia_programma(t);
  ASSERT_EQ(esegui(exe + " >/dev/null 2>&1"), 0);
  std::vector<std::string> primi;
  for (auto n : kCompilati) primi.push_back(leggi_tutto(t / n));
  for (auto n : kDocumenti) primi.push_back(leggi_tutto(t / n));
  ASSERT_EQ(esegui(exe + " >/dev/null 2>&1"), 0);
  size_t i = 0;
  for (auto n : kCompilati) EXPECT_EQ(leggi_tutto(t / n), primi[i++]) << n;
  for (auto n : kDocumenti) EXPECT_EQ(leggi_tutto(t / n), primi[i++]) << n;
}

TEST(Compattatore, UnwritableFolderEndsWithOneClearLine) {
  cartella_temporanea t;
  std::string exe = copia_programma(t);
  // A regular file where a document should go makes its replacement fail, even for root.
  fs::create_directory(t / "FerziaPS-Calvorano_24617_note.txt");
  scrivi_tutto(t / "FerziaPS-Calvorano_24617_note.txt/dentro", "x");
  std::string uscita;
  int stato = esegui(exe + " 2>&1 >/dev/null", &uscita);
  EXPECT_NE(stato, 0);
  EXPECT_NE(uscita.find("FerziaPS-Calvorano_24617_note.txt"), std::string::npos) << uscita;
  EXPECT_EQ(std::count(uscita.begin(), uscita.end(), '\n'), 1) << uscita;
  // The files written before stay; nothing after it was written.
  EXPECT_TRUE(esiste_file(t / "FerziaPS-Calvorano_linea.txt"));
  EXPECT_TRUE(esiste_file(t / "FerziaPS-Calvorano_24617-.txt"));
  EXPECT_FALSE(esiste_file(t / "FerziaPS-Calvorano_24617_scheda_treno.txt"));
  EXPECT_FALSE(esiste_file(t / "FerziaPS-Calvorano_24617.sim"));
}

// The shipped programs hold no test hook; their test builds do, so the
// search below looks for what is really there.
TEST(Compattatore, OnlyTheTestBuildsHoldTheTestHooks) {
  const struct {
    const char* bin;
    bool agganci;
  } casi[] = {{COMPATTATORE_BIN, false},
              {SCENARIO_BIN, false},
              {COMPATTATORE_PROVA_BIN, true},
              {SCENARIO_PROVA_BIN, true}};
  for (const auto& c : casi) {
    const std::string byte = leggi_tutto(programma(c.bin));
    ASSERT_FALSE(byte.empty()) << c.bin;
    for (const char* nome : {"COMPATTATORE_TEST_SEGNALE", "COMPATTATORE_TEST_FERMA",
                             "COMPATTATORE_TEST_CHIUDI_MS", "COMPATTATORE_TEST_ATTESA_MS"})
      EXPECT_EQ(byte.find(nome) != std::string::npos, c.agganci) << c.bin << " " << nome;
  }
}
