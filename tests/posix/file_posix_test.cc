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

// A replacement keeps the file what it is: its permissions, the links it is
// reached by (a chain of them, relative to each link's folder, or one that
// leads to no file yet), and its hard links, which it refuses to part.
TEST(File, ReplaceKeepsModeAndLinks) {
  cartella_temporanea t;
  ASSERT_TRUE(file::crea_cartelle(t / "sotto"));
  const std::string vero = t / "sotto/vero.dat";
  scrivi_tutto(vero, "vecchio");
  ASSERT_EQ(symlink("sotto/vero.dat", (t / "primo").c_str()), 0);
  ASSERT_EQ(symlink("primo", (t / "secondo").c_str()), 0);
  ASSERT_EQ(symlink("nuovo.dat", (t / "sotto/verso_niente").c_str()), 0);
  const auto modo = [](const std::string& n) {
    struct stat st {};
    lstat(n.c_str(), &st);
    return st.st_mode;
  };
  for (mode_t m : {0600, 0444, 0751}) {
    ASSERT_EQ(chmod(vero.c_str(), m), 0);
    file::sostituisci(t / "secondo", std::to_string(m));
    EXPECT_EQ(leggi_tutto(vero), std::to_string(m));
    EXPECT_EQ(modo(vero) & 07777, m);
  }
  EXPECT_TRUE(S_ISLNK(modo(t / "primo")) && S_ISLNK(modo(t / "secondo")));
  file::sostituisci(t / "sotto/verso_niente", "creato");
  EXPECT_TRUE(S_ISLNK(modo(t / "sotto/verso_niente")));
  EXPECT_EQ(leggi_tutto(t / "sotto/nuovo.dat"), "creato");

  ASSERT_EQ(link(vero.c_str(), (t / "doppio").c_str()), 0);
  try {
    file::sostituisci(vero, "separato");
    ADD_FAILURE() << "a file with two hard links replaced";
  } catch (const file::errore_io& e) {
    EXPECT_NE(std::string(e.what()).find("vero.dat: ha 2 collegamenti fisici"), std::string::npos)
        << e.what();
  }
  EXPECT_EQ(leggi_tutto(t / "doppio"), "489");  // 0751
  EXPECT_EQ(file::elenco(t / "sotto").size(), 3u);
}
