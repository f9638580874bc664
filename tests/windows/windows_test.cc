// What only Windows has: wide paths, replacement by MoveFileExW (attributes, links),
// the Win32 window.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>

#include "aiuti.h"
#include "platform/file.h"
#include "platform/finestra.h"
#include "platform/windows/utf16.h"

namespace {

const char* const kFile[] = {"FerziaPS-Calvorano_24617_note.txt",
                             "FerziaPS-Calvorano_24617_rallentamenti.txt",
                             "FerziaPS-Calvorano_24617_scheda_treno.txt",
                             "FerziaPS-Calvorano_linea.dat",
                             "FerziaPS-Calvorano_24617.sim",
                             "FerziaPS-Calvorano_24617.dat"};

void copia(const std::string& da, const std::string& a) {
  ASSERT_TRUE(CopyFileW(utf16::da_utf8(da).c_str(), utf16::da_utf8(a).c_str(), FALSE));
}

}  // namespace

TEST(Windows, FolderWithSpacesAndAccentsGetsTheSameFiles) {
  cartella_temporanea t;
  const std::string semplice = t / "semplice";
  const std::string larga = t / "Scenari di prova";
  const std::string lunga = file::percorso(larga, "Linea pi\xC3\xB9 lunga");  // "più"
  ASSERT_TRUE(file::crea_cartelle(semplice));
  ASSERT_TRUE(file::crea_cartelle(lunga));
  for (const std::string& d : {semplice, lunga}) {
    copia(programma(COMPATTATORE_BIN), file::percorso(d, kCompattatore));
    EXPECT_EQ(esegui("\"" + file::percorso(d, kCompattatore) + "\" >/dev/null 2>&1"), 0) << d;
  }
  for (const char* n : kFile) {
    std::string a = leggi_tutto(file::percorso(semplice, n));
    EXPECT_FALSE(a.empty()) << n;
    EXPECT_EQ(leggi_tutto(file::percorso(lunga, n)), a) << n;
  }
  EXPECT_EQ(file::elenco(lunga).size(), 7u);  // the sources are gone, nothing else left
}

// Arguments reach the tool whole, whatever the system's code page.
TEST(Windows, ToolTakesFolderNamesOutsideTheCodePage) {
  cartella_temporanea t;
  const std::string d = t / "Linea pi\xC3\xB9 lunga \xE2\x80\x94 \xCE\xB1";  // "più — α"
  const std::string bin = "\"" + programma(SCENARIO_BIN) + "\" ";
  ASSERT_EQ(esegui(bin + "sources \"" + d + "\" >/dev/null 2>&1"), 0);
  ASSERT_EQ(esegui(bin + "compile \"" + d + "\" FerziaPS-Calvorano 24617 >/dev/null 2>&1"), 0);
  EXPECT_EQ(leggi_tutto(file::percorso(d, "FerziaPS-Calvorano_linea.dat")).size(), 879964u);
}

// A target the system will not let go (open elsewhere without sharing)
// keeps its old bytes, and no temporary file stays.
TEST(Windows, ReplacementThatCannotMoveKeepsTheOldFile) {
  cartella_temporanea t;
  const std::string nome = t / "a.dat";
  scrivi_tutto(nome, "vecchio");
  HANDLE h = CreateFileW(utf16::da_utf8(nome).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0,
                         nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  try {
    file::sostituisci(nome, "nuovo");
    ADD_FAILURE() << "replaced an open file";
  } catch (const file::errore_io& e) {
    EXPECT_NE(std::string(e.what()).find(nome), std::string::npos) << e.what();
  }
  CloseHandle(h);
  EXPECT_EQ(leggi_tutto(nome), "vecchio");
  EXPECT_EQ(file::elenco(t.percorso).size(), 1u);
}

TEST(Windows, NamesJoinWithBackslash) {
  EXPECT_EQ(file::percorso("C:\\Scenari", "a.txt"), "C:\\Scenari\\a.txt");
}

// The window needs a desktop; under Wine without a display there is none.
TEST(Windows, WindowForm1ShowsTheLabelAndTheBoxCloses) {
  finestra f;
  f.mostra("Attendere");
  HWND w = FindWindowW(L"Form1", L"Form1");
  if (!f.n || !w) GTEST_SKIP() << "no desktop for windows";
  HWND etichetta = FindWindowExW(w, nullptr, L"STATIC", nullptr);
  ASSERT_NE(etichetta, nullptr);
  wchar_t testo[32] = {};
  GetWindowTextW(etichetta, testo, 32);
  EXPECT_STREQ(testo, L"Attendere");
  _putenv("COMPATTATORE_TEST_CHIUDI_MS=200");
  f.messaggio(" Errore n. 1250");  // returns once the hook presses OK
  _putenv("COMPATTATORE_TEST_CHIUDI_MS=");
  f.chiudi();
  EXPECT_EQ(FindWindowW(L"Form1", L"Form1"), nullptr);
}

// A name that stands for a device (in any folder, with any extension) or in
// the device space is no file to read, and is never opened.
TEST(Windows, BoundedReadsRefuseDeviceNames) {
  cartella_temporanea t;
  for (const std::string& n :
       {std::string("NUL"), t / "con.txt", t / "Com1", std::string("\\\\.\\pipe\\scenario"),
        std::string("//./NUL"), t / "CONIN$"}) {
    std::string dati;
    const file::lettura l = file::leggi_al_piu(n, 100, dati);
    EXPECT_EQ(l.esito, file::esito_lettura::non_file) << n;
    EXPECT_EQ(l.motivo, "è un dispositivo, non un file") << n;
    EXPECT_FALSE(file::leggi(n, dati)) << n;
  }
}

// A replacement keeps the file what it is: its attributes, the symbolic link
// it is reached by, and its hard links, which it refuses to part; an edit of
// a read-only file is refused.
TEST(Windows, ReplaceKeepsAttributesAndLinks) {
  cartella_temporanea t;
  const std::string vero = t / "vero.dat";
  const std::wstring w = utf16::da_utf8(vero);
  scrivi_tutto(vero, "vecchio");
  ASSERT_TRUE(SetFileAttributesW(w.c_str(), FILE_ATTRIBUTE_HIDDEN));
  file::sostituisci(vero, "nascosto");
  EXPECT_EQ(leggi_tutto(vero), "nascosto");
  EXPECT_TRUE(GetFileAttributesW(w.c_str()) & FILE_ATTRIBUTE_HIDDEN);
  ASSERT_TRUE(SetFileAttributesW(w.c_str(), FILE_ATTRIBUTE_READONLY));
  try {
    file::sostituisci_se(vero, "nascosto", "scritto");
    ADD_FAILURE() << "a read-only file edited";
  } catch (const file::errore_io& e) {
    EXPECT_NE(std::string(e.what()).find("è in sola lettura"), std::string::npos) << e.what();
  }
  ASSERT_TRUE(SetFileAttributesW(w.c_str(), FILE_ATTRIBUTE_NORMAL));
  EXPECT_EQ(leggi_tutto(vero), "nascosto");

  const std::wstring collegamento = utf16::da_utf8(t / "collegamento.dat");
  // Wine says it made one and makes nothing (its own links are Unix ones,
  // which the preview's tests make).
  if (CreateSymbolicLinkW(collegamento.c_str(), L"vero.dat",
                          SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE) &&
      GetFileAttributesW(collegamento.c_str()) != INVALID_FILE_ATTRIBUTES) {
    file::sostituisci(t / "collegamento.dat", "dal collegamento");
    EXPECT_EQ(leggi_tutto(vero), "dal collegamento");
    EXPECT_TRUE(GetFileAttributesW(collegamento.c_str()) & FILE_ATTRIBUTE_REPARSE_POINT);
    DeleteFileW(collegamento.c_str());
  } else {
    std::printf("SALTATO in parte: il sistema non crea collegamenti simbolici\n");
  }

  ASSERT_TRUE(CreateHardLinkW(utf16::da_utf8(t / "doppio.dat").c_str(), w.c_str(), nullptr));
  try {
    file::sostituisci(vero, "separato");
    ADD_FAILURE() << "a file with two hard links replaced";
  } catch (const file::errore_io& e) {
    EXPECT_NE(std::string(e.what()).find("ha 2 collegamenti fisici"), std::string::npos)
        << e.what();
  }
  EXPECT_EQ(leggi_tutto(t / "doppio.dat"), leggi_tutto(vero));
  EXPECT_EQ(file::elenco(t.percorso).size(), 2u);
}
