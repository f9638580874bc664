// Replacement of files where POSIX permissions say no.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "aiuti.h"
#include "platform/file.h"

TEST(File, FailedReplaceNamesTheFileAndKeepsTheOld) {
  if (geteuid() == 0) {
    // root writes into read-only folders; use a missing folder instead
    EXPECT_THROW(file::sostituisci("/nonexistent-folder/x.txt", "a"), file::errore_io);
    return;
  }
  cartella_temporanea t;
  scrivi_tutto(t / "a.txt", "vecchio");
  chmod(t.percorso.c_str(), 0500);
  try {
    file::sostituisci(t / "a.txt", "nuovo");
    FAIL();
  } catch (const file::errore_io& e) {
    EXPECT_NE(std::string(e.what()).find("a.txt"), std::string::npos);
  }
  EXPECT_EQ(leggi_tutto(t / "a.txt"), "vecchio");
}

// What stands at a name may be anything; a bounded read opens none of it but
// a regular file, and never waits (a FIFO without a writer would hold an
// ordinary open for good).
TEST(File, BoundedReadsRefuseFifosDevicesAndLinksToThem) {
  cartella_temporanea t;
  ASSERT_EQ(mkfifo((t / "fifo").c_str(), 0600), 0);
  ASSERT_EQ(symlink("/dev/zero", (t / "zero").c_str()), 0);
  ASSERT_EQ(symlink(t.percorso.c_str(), (t / "su").c_str()), 0);
  ASSERT_EQ(symlink((t / "fifo").c_str(), (t / "alla_fifo").c_str()), 0);
  ASSERT_EQ(symlink((t / "niente").c_str(), (t / "rotto").c_str()), 0);
  const struct {
    const char* nome;
    file::esito_lettura esito;
    const char* motivo;
  } casi[] = {
      {"fifo", file::esito_lettura::non_file, "è una FIFO, non un file"},
      {"alla_fifo", file::esito_lettura::non_file, "è una FIFO, non un file"},
      {"zero", file::esito_lettura::non_file, "è un dispositivo, non un file"},
      {"su", file::esito_lettura::non_file, "è una cartella, non un file"},
      {"rotto", file::esito_lettura::mancante, ""},
  };
  for (const auto& c : casi) {
    std::string dati;
    const file::lettura l = file::leggi_al_piu(t / c.nome, 1 << 20, dati);
    EXPECT_EQ(l.esito, c.esito) << c.nome;
    EXPECT_EQ(l.motivo, c.motivo) << c.nome;
    EXPECT_FALSE(file::leggi(t / c.nome, dati)) << c.nome;
  }
  std::string dati;
  EXPECT_EQ(file::leggi_al_piu("/dev/null", 10, dati).esito, file::esito_lettura::non_file);
  // Sparse: a terabyte is refused by its size alone.
  scrivi_tutto(t / "tera", "");
  ASSERT_EQ(truncate((t / "tera").c_str(), off_t{1} << 40), 0);
  const file::lettura l = file::leggi_al_piu(t / "tera", uint64_t{64} << 20, dati);
  EXPECT_EQ(l.esito, file::esito_lettura::troppo_grande);
  EXPECT_EQ(l.motivo, "è di 1099511627776 byte, più dei 67108864 accettati");
}
