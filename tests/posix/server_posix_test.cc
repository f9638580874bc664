// The language server on names only POSIX has: a folder whose name is no
// UTF-8 (a URI's escapes may name one) and a FIFO in place of a partner.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "aiuti.h"
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
