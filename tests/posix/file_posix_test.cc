// Replacement of files where POSIX permissions say no.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "aiuti.h"
#include "platform/file.h"

TEST(File, FailedReplaceNamesTheFileAndKeepsTheOld) {
  if (geteuid() == 0) {
    // root writes into read-only folders; use a missing folder instead
    EXPECT_THROW(file::sostituisci("/nonexistent-folder/x.txt", "a"), file::errore_scrittura);
    return;
  }
  cartella_temporanea t;
  scrivi_tutto(t / "a.txt", "vecchio");
  chmod(t.percorso.c_str(), 0500);
  try {
    file::sostituisci(t / "a.txt", "nuovo");
    FAIL();
  } catch (const file::errore_scrittura& e) {
    EXPECT_NE(std::string(e.what()).find("a.txt"), std::string::npos);
  }
  EXPECT_EQ(leggi_tutto(t / "a.txt"), "vecchio");
}
