// The servers on what only POSIX has: for the language server a folder whose
// name is no UTF-8 (a URI's escapes may name one) and a FIFO in place of a
// partner; for the page's edits permissions and links.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "aiuti.h"
#include "tool/server/anteprima/servizio.h"
#include "tool/server/lsp/server_lsp.h"

TEST(ServerLspPosix, AFifoPartnerInAFolderNamedInNoUtf8IsSaid) {
  cartella_temporanea t;
  const std::string cartella = t / "\xFF";
  ASSERT_TRUE(file::crea_cartelle(cartella));
  ASSERT_EQ(mkfifo(file::percorso(cartella, "R_linea.txt").c_str(), 0600), 0);
  std::vector<nlohmann::json> ricevuti;
  lsp::server s([&](const std::string& m) { ricevuti.push_back(nlohmann::json::parse(m)); });
  s.sincrono = true;
  s.tratta(R"({"jsonrpc":"2.0","id":1,"method":"initialize","params":{}})");
  const std::string uri = "file://" + t.percorso + "/%FF/R_1-.txt";
  s.tratta(R"({"jsonrpc":"2.0","method":"textDocument/didOpen","params":{"textDocument":{"uri":")" +
           uri + R"(","text":"[generale]\r\n"}}})");
  std::string detto;
  for (const nlohmann::json& m : ricevuti)
    if (m.value("method", "") == "textDocument/publishDiagnostics" && m["params"]["uri"] == uri)
      detto = m["params"]["diagnostics"].dump();
  EXPECT_NE(detto.find("/\xEF\xBF\xBD/R_linea.txt: è una FIFO, non un file: non si compila"),
            std::string::npos)
      << detto;
}

// The page's edit keeps the source what it is: reached by a symbolic link,
// the edit and its undo go to the file the link leads to and the link stays;
// its permissions stay; a read-only source, or one with other hard links, is
// refused, and the page is told why.
TEST(ModifichePosix, AnEditKeepsTheSourcesModeAndLinks) {
  cartella_temporanea t;
  ASSERT_TRUE(file::crea_cartelle(t / "vero"));
  const std::string vero = t / "vero/R_linea.txt", nome = t / "R_linea.txt";
  scrivi_tutto(vero, "a\r\nb\r\n");
  ASSERT_EQ(chmod(vero.c_str(), 0600), 0);
  ASSERT_EQ(symlink("vero/R_linea.txt", nome.c_str()), 0);
  const std::unique_ptr<scrittore_sorgenti> pagina = scrittore_disco(false);
  int stato = 0;
  std::string detto;
  const esito_modifica esito = [&](int s, const std::string& m) { stato = s, detto = m; };
  const auto modifica_la_prima = [&] {
    stato_mostrato x;
    x.s.file[0] = nome;
    x.s.letto[0] = true;
    x.byte[0] = leggi_tutto(nome);
    modifica m;
    m.righe = {{0, 1, {"c"}}};
    pagina->applica(m, x, esito);
  };
  const auto modo = [](const std::string& n) {
    struct stat st {};
    lstat(n.c_str(), &st);
    return st.st_mode;
  };
  modifica_la_prima();
  EXPECT_EQ(stato, 200) << detto;
  EXPECT_EQ(leggi_tutto(vero), "c\r\nb\r\n");
  pagina->annulla(esito);
  EXPECT_EQ(stato, 200) << detto;
  EXPECT_EQ(leggi_tutto(vero), "a\r\nb\r\n");
  EXPECT_TRUE(S_ISLNK(modo(nome)));
  EXPECT_EQ(modo(vero) & 07777, 0600u);

  ASSERT_EQ(chmod(vero.c_str(), 0444), 0);
  modifica_la_prima();
  EXPECT_NE(stato, 200);
  EXPECT_NE(detto.find("è in sola lettura"), std::string::npos) << detto;
  ASSERT_EQ(chmod(vero.c_str(), 0600), 0);
  ASSERT_EQ(link(vero.c_str(), (t / "altro.txt").c_str()), 0);
  modifica_la_prima();
  EXPECT_NE(stato, 200);
  EXPECT_NE(detto.find("ha 2 collegamenti fisici"), std::string::npos) << detto;
  struct stat a {
  }, b{};
  ASSERT_EQ(stat(vero.c_str(), &a), 0);
  ASSERT_EQ(stat((t / "altro.txt").c_str(), &b), 0);
  EXPECT_EQ(a.st_ino, b.st_ino);
  EXPECT_EQ(leggi_tutto(vero), "a\r\nb\r\n");
  EXPECT_EQ(file::elenco(t / "vero"), std::vector<std::string>{"R_linea.txt"});
}
