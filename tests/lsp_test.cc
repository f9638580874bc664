// The language server driven as a client drives it, in one thread: framing,
// positions, the life cycle, and a conversation on the built-in sources.
#include <gtest/gtest.h>

#include <algorithm>
#include <boost/asio/connect.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/read.hpp>
#include <boost/asio/write.hpp>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <future>
#include <map>
#include <mutex>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "aiuti.h"
#include "platform/file.h"
#include "platform/testo.h"
#include "tool/compilati/compilati.h"
#include "tool/compilazione/compila.h"
#include "tool/disegno/documento.h"
#include "tool/disegno/plot.h"
#include "tool/generatori/genera.h"
#include "tool/server/lsp/cornice.h"
#include "tool/server/lsp/json_lsp.h"
#include "tool/server/lsp/server_lsp.h"
#include "tool/server/lsp/testo_lsp.h"

namespace {

using nlohmann::json;

TEST(Cornice, WholeMessagesFromPiecesAndFaultsSkipped) {
  const std::string a = R"({"a":1})", b = R"({"b":2})";
  struct caso {
    std::string ingresso;
    std::vector<std::string> corpi;
    bool guasto;  // a fault is reported (when the pieces show it)
  } casi[] = {
      {lsp::incornicia(a) + lsp::incornicia(b), {a, b}, false},
      {"Content-Type: x\r\ncontent-length:  7 \r\n\r\n" + a, {a}, false},
      {"Content-Length: sette\r\n\r\n" + lsp::incornicia(b), {b}, true},
      {"Content-Length: 99999999999999999999\r\n\r\n" + a + lsp::incornicia(b), {b}, true},
      // A length too short cuts the body; the next header is found in what is left.
      {"Content-Length: 3\r\n\r\n" + a + lsp::incornicia(b), {R"({"a)", b}, false},
      {std::string(lsp::kTestataMassima + 10, 'x') + lsp::incornicia(b), {b}, false},
  };
  for (const caso& c : casi) {
    for (size_t pezzo : {size_t{1}, size_t{5}, c.ingresso.size()}) {
      lsp::cornice f;
      std::vector<std::string> corpi;
      bool guasti = false;
      std::string corpo, guasto;
      for (size_t i = 0; i < c.ingresso.size(); i += pezzo) {
        f.aggiungi(std::string_view(c.ingresso).substr(i, pezzo));
        while (f.prossimo(corpo, guasto)) {
          guasti |= !guasto.empty();
          if (guasto.empty()) corpi.push_back(corpo);
        }
      }
      EXPECT_EQ(corpi, c.corpi) << c.ingresso.substr(0, 60) << " a pezzi di " << pezzo;
      if (c.guasto) {
        EXPECT_TRUE(guasti) << c.ingresso.substr(0, 60);
      }
    }
  }
}

TEST(TestoLsp, PositionsCountUtf16UnitsAndClampToTheText) {
  const std::string t =
      "ab\r\nc\xC3\xA0"
      "d\rx\xF0\x9F\x98\x80y\nz";  // à, 😀
  struct caso {
    long riga, carattere;
    size_t offset;
  } casi[] = {{0, 0, 0},  {0, 9, 2},  {1, 1, 5},  {1, 2, 7},  {1, 3, 8},  {2, 1, 10},
              {2, 2, 10}, {2, 3, 14}, {3, 0, 16}, {3, 5, 17}, {9, 0, 17}, {-1, -1, 0}};
  for (const caso& c : casi)
    EXPECT_EQ(lsp::offset_di(t, c.riga, c.carattere), c.offset) << c.riga << ":" << c.carattere;

  std::vector<lsp::fuori_pagina> fuori;
  const std::string cp = lsp::a_1252("\xE2\x82\xAC \xC5\x91\r\n\xF0\x9F\x98\x80x\xC3\xA0", &fuori);
  EXPECT_EQ(cp, "\x80 ?\r\n??x\xE0");
  ASSERT_EQ(fuori.size(), 2u);
  EXPECT_EQ((std::vector<int>{fuori[0].riga, fuori[0].colonna, fuori[0].unita}),
            (std::vector<int>{0, 2, 1}));
  EXPECT_EQ((std::vector<int>{fuori[1].riga, fuori[1].colonna, fuori[1].unita}),
            (std::vector<int>{1, 0, 2}));
}

json posizione(int riga, int carattere) {
  return {{"line", riga}, {"character", carattere}};
}

// A server with every message it sends kept (a preview sends from a thread
// of its own).
struct cliente {
  std::mutex m;
  std::condition_variable cv;
  std::vector<json> ricevuti;
  lsp::server s{[this](const std::string& x) {
    std::lock_guard<std::mutex> l(m);
    ricevuti.push_back(json::parse(x));
    cv.notify_all();
  }};
  int prossimo = 100;
  cliente() { s.sincrono = true; }
  void manda(const json& x) { s.tratta(x.dump()); }
  json chiedi(const std::string& metodo, const json& parametri) {
    const int id = ++prossimo;
    manda({{"jsonrpc", "2.0"}, {"id", id}, {"method", metodo}, {"params", parametri}});
    std::lock_guard<std::mutex> l(m);
    for (const json& r : ricevuti)
      if (r.contains("id") && r["id"] == id) return r;
    return json();
  }
  size_t quanti() {
    std::lock_guard<std::mutex> l(m);
    return ricevuti.size();
  }
  // The first message from the `da`-th on that `cerca` takes, waited for
  // (null when none came: the bound only keeps a failure from hanging).
  json aspetta(size_t da, const std::function<bool(const json&)>& cerca) {
    std::unique_lock<std::mutex> l(m);
    json trovato;
    cv.wait_for(l, std::chrono::seconds(60), [&] {
      for (size_t i = da; i < ricevuti.size(); ++i)
        if (cerca(ricevuti[i])) return trovato = ricevuti[i], true;
      return false;
    });
    return trovato;
  }
  // The preview of a document's pair: its address, or "" with the error kept.
  std::string anteprima(const std::string& uri, json* errore = nullptr) {
    const json r = chiedi("workspace/executeCommand",
                          {{"command", "scenario.anteprima"}, {"arguments", {uri}}});
    if (errore) *errore = r.value("error", json());
    return r.contains("result") ? r["result"].value("indirizzo", "") : "";
  }
  // The messages logged from the `da`-th on.
  std::vector<std::string> registro(size_t da) {
    std::lock_guard<std::mutex> l(m);
    std::vector<std::string> v;
    for (size_t i = da; i < ricevuti.size(); ++i)
      if (ricevuti[i].value("method", "") == "window/logMessage")
        v.push_back(ricevuti[i]["params"]["message"]);
    return v;
  }
  void avvisa(const std::string& metodo, const json& parametri) {
    manda({{"jsonrpc", "2.0"}, {"method", metodo}, {"params", parametri}});
  }
  // The diagnostics last published for a document.
  json diagnosi(const std::string& uri) const {
    for (auto i = ricevuti.rbegin(); i != ricevuti.rend(); ++i)
      if (i->value("method", "") == "textDocument/publishDiagnostics" &&
          (*i)["params"]["uri"] == uri)
        return (*i)["params"]["diagnostics"];
    return json();
  }
};

TEST(ServerLsp, LifeCycleAndBadMessagesGetTheProtocolsAnswers) {
  cliente c;
  c.s.tratta("{non json");
  EXPECT_EQ(c.ricevuti.back()["error"]["code"], -32700);
  EXPECT_EQ(c.chiedi("textDocument/hover", json::object())["error"]["code"], -32002);
  EXPECT_TRUE(c.chiedi("initialize", {{"capabilities", json::object()}})["result"].contains(
      "capabilities"));
  struct caso {
    json messaggio;
    int codice;
  } casi[] = {
      {{{"jsonrpc", "2.0"}, {"id", 1}, {"method", "non/esiste"}}, -32601},
      {{{"jsonrpc", "2.0"}, {"id", {{"x", 1}}}, {"method", "shutdown"}}, -32600},
      {{{"jsonrpc", "2.0"}, {"id", 2}}, -32600},
      {json::array({1, 2}), -32600},
      {{{"jsonrpc", "2.0"}, {"id", 3}, {"method", "textDocument/hover"}, {"params", 7}}, -32602},
      {{{"jsonrpc", "2.0"}, {"id", 4}, {"method", "initialize"}}, -32600},
  };
  for (const caso& k : casi) {
    c.manda(k.messaggio);
    EXPECT_EQ(c.ricevuti.back()["error"]["code"], k.codice) << k.messaggio.dump();
  }
  EXPECT_TRUE(c.chiedi("shutdown", nullptr)["result"].is_null());
  EXPECT_EQ(c.chiedi("textDocument/hover", json::object())["error"]["code"], -32600);
  c.avvisa("exit", nullptr);
  EXPECT_TRUE(c.s.finito());
  EXPECT_EQ(c.s.stato(), 0);

  cliente senza_shutdown;
  senza_shutdown.avvisa("exit", nullptr);
  EXPECT_TRUE(senza_shutdown.s.finito());
  EXPECT_EQ(senza_shutdown.s.stato(), 1);
}

std::string annidato(const std::string& dentro, size_t livelli) {
  return std::string(livelli, '[') + dentro + std::string(livelli, ']');
}

// Copying, printing or freeing a parsed value recurses into it: depth past
// the bound never reaches them, whatever the method and wherever it lies.
TEST(ServerLsp, DeepMessagesAndBadParametersGetClearAnswers) {
  cliente c;
  c.s.tratta(R"({"jsonrpc":"2.0","id":5,"method":"initialize","params":)" + annidato("", 100000) +
             "}");
  EXPECT_EQ(c.ricevuti.back()["id"], 5);
  EXPECT_EQ(c.ricevuti.back()["error"]["code"], -32600);
  EXPECT_NE(c.ricevuti.back()["error"]["message"].get<std::string>().find("annidato"),
            std::string::npos);
  c.s.tratta(R"({"jsonrpc":"2.0","id":)" + annidato("1", 100000) + R"(,"method":"shutdown"})");
  EXPECT_TRUE(c.ricevuti.back()["id"].is_null());
  EXPECT_EQ(c.ricevuti.back()["error"]["code"], -32600);
  // At the bound itself (the message, its params and the options are three
  // levels) the message is taken as ever.
  const json r =
      c.chiedi("initialize", json::parse(R"({"initializationOptions":)" +
                                         annidato("7", lsp::kProfonditaMassima - 3) + "}"));
  EXPECT_TRUE(r["result"].contains("capabilities")) << r.dump().substr(0, 200);

  struct caso {
    json parametri;
    std::string messaggio;
  } casi[] = {
      {{{"textDocument", {{"uri", 3}}}, {"position", posizione(0, 0)}},
       "parametri non validi: «uri» deve essere un testo"},
      {{{"textDocument", {{"uri", "file:///x/a_linea.txt"}}}},
       "parametri non validi: manca il campo «position»"},
      {{{"textDocument", {{"uri", "file:///x/a_linea.txt"}}}, {"position", {{"line", 1.5}}}},
       "parametri non validi: «line» deve essere un numero intero"},
  };
  for (const caso& k : casi) {
    const json e = c.chiedi("textDocument/hover", k.parametri)["error"];
    EXPECT_EQ(e["code"], -32602) << k.parametri.dump();
    EXPECT_EQ(e["message"], k.messaggio) << k.parametri.dump();
  }
  // A change that cannot be applied is said, since it has no answer.
  c.avvisa("textDocument/didOpen",
           {{"textDocument", {{"uri", "file:///x/a_linea.txt"}, {"text", "abc"}}}});
  c.avvisa("textDocument/didChange", {{"textDocument", {{"uri", "file:///x/a_linea.txt"}}},
                                      {"contentChanges", {{{"testo", "x"}}}}});
  EXPECT_EQ(c.ricevuti.back()["method"], "window/showMessage");
  EXPECT_NE(c.ricevuti.back()["params"]["message"].get<std::string>().find("«text»"),
            std::string::npos);
  EXPECT_TRUE(c.chiedi("shutdown", nullptr)["result"].is_null());
}

std::string uri_di(std::string p) {
  for (char& c : p)
    if (c == '\\') c = '/';
  return p[0] == '/' ? "file://" + p : "file:///" + p;
}

// The built-in sources as an editor holds them: open, edited, asked about.
struct conversazione : cliente {
  sorgenti_predefinite sorgenti;
  std::string linea, treno, testo_linea, testo_treno;
  conversazione() {
    linea = uri_di(sorgenti.linea());
    treno = uri_di(sorgenti.treno());
    testo_linea = testo::da_1252(leggi_tutto(sorgenti.linea()));
    testo_treno = testo::da_1252(leggi_tutto(sorgenti.treno()));
    chiedi("initialize", {{"capabilities", json::object()}});
    apri(linea, testo_linea);
    apri(treno, testo_treno);
  }
  void apri(const std::string& uri, const std::string& testo) {
    avvisa(
        "textDocument/didOpen",
        {{"textDocument", {{"uri", uri}, {"languageId", "x"}, {"version", 1}, {"text", testo}}}});
  }
  void cambia(const std::string& uri, int riga, int da, int a, const std::string& testo) {
    avvisa("textDocument/didChange",
           {{"textDocument", {{"uri", uri}, {"version", ++prossimo}}},
            {"contentChanges",
             {{{"range", {{"start", posizione(riga, da)}, {"end", posizione(riga, a)}}},
               {"text", testo}}}}});
  }
  std::string descrivi(const std::string& uri, int riga, int carattere) {
    const json r = chiedi("textDocument/hover", {{"textDocument", {{"uri", uri}}},
                                                 {"position", posizione(riga, carattere)}});
    return r["result"].is_null() ? "" : r["result"]["contents"]["value"].get<std::string>();
  }
};

TEST(ServerLsp, DiagnosticsAppearAtTheFieldAndClearWhenMended) {
  conversazione c;
  EXPECT_EQ(c.diagnosi(c.linea), json::array());
  EXPECT_EQ(c.diagnosi(c.treno), json::array());
  // "curvas6,  550,  350" is line 11: a letter in its first number.
  c.cambia(c.linea, 10, 10, 10, "x");
  const json d = c.diagnosi(c.linea);
  ASSERT_EQ(d.size(), 1u) << d.dump();
  EXPECT_EQ(d[0]["code"], 25);
  EXPECT_EQ(d[0]["severity"], 1);
  EXPECT_EQ(d[0]["range"]["start"]["line"], 10);
  c.cambia(c.linea, 10, 10, 11, "");
  EXPECT_EQ(c.diagnosi(c.linea), json::array());
  // A character Windows-1252 lacks, in a station's name, and a warning of the check.
  c.cambia(c.treno, 21, 83, 84, "\xC5\x91");
  const json n = c.diagnosi(c.treno);
  ASSERT_FALSE(n.empty());
  EXPECT_EQ(n[0]["code"], "1252");
  EXPECT_EQ(n[0]["range"]["start"], posizione(21, 83));
  // What the author typed as UTF-8 read as 1252 ("Ã€" for "À") is the check's warning.
  c.cambia(c.treno, 21, 83, 84, "\xC3\x83\xE2\x82\xAC");
  const json w = c.diagnosi(c.treno);
  ASSERT_FALSE(w.empty());
  EXPECT_EQ(w[0]["severity"], 2);
  EXPECT_NE(w[0]["message"].get<std::string>().find("UTF-8"), std::string::npos);
}

TEST(ServerLsp, HoverOutlineCompletionAndFormatting) {
  conversazione c;
  // GRUZO, line 24: 21600 m, 14:50:51.
  const std::string gruzo =
      "stazione,   21600, 12,  300,  0, 0, 0,  1,1,0,  4,1,1,   40,  14,50,51, GRUZO";
  ASSERT_NE(c.testo_treno.find(gruzo), std::string::npos);
  const int minuti = static_cast<int>(gruzo.find("14,50")) + 3;
  EXPECT_NE(c.descrivi(c.treno, 23, 2).find("`posizione` (m)"), std::string::npos);
  EXPECT_NE(c.descrivi(c.treno, 23, 13).find("cella 432"), std::string::npos);
  EXPECT_NE(c.descrivi(c.treno, 23, minuti).find("orario 14:50:51"), std::string::npos);
  EXPECT_EQ(c.descrivi(c.treno, 9999, 9999), "");

  const json s = c.chiedi("textDocument/documentSymbol", {{"textDocument", {{"uri", c.treno}}}});
  EXPECT_NE(s["result"].dump().find("GRUZO 14:50:51"), std::string::npos);
  const json p = c.chiedi("textDocument/completion",
                          {{"textDocument", {{"uri", c.treno}}}, {"position", posizione(0, 0)}});
  EXPECT_NE(p["result"].dump().find("stazione, ${1:posizione}, ${2:tipo}"), std::string::npos);

  // Laid out as decompile writes; a file squeezed into ragged columns comes
  // back to the same layout, which formatting then leaves alone.
  const json f = {{"textDocument", {{"uri", c.treno}}}, {"options", json::object()}};
  auto formatta = [&](const std::string& testo) {
    c.avvisa("textDocument/didChange",
             {{"textDocument", {{"uri", c.treno}, {"version", ++c.prossimo}}},
              {"contentChanges", {{{"text", testo}}}}});
    const json e = c.chiedi("textDocument/formatting", f)["result"];
    return e.empty() ? testo : e[0]["newText"].get<std::string>();
  };
  const std::string impaginato = formatta(c.testo_treno);
  EXPECT_NE(impaginato.find(
                "stazione, 21600, 12, 300, 0, 0, 0, 1, 1, 0, 4, 1, 1, 40, 14, 50, 51, GRUZO\r\n"),
            std::string::npos);
  EXPECT_NE(impaginato.find("orologio,                  14  24  50\r\n"), std::string::npos);
  std::string storto;
  for (char ch : c.testo_treno)
    if (ch != ' ' || (!storto.empty() && storto.back() != ' ' && storto.back() != ','))
      storto += ch;
  EXPECT_EQ(formatta(storto), impaginato);
  EXPECT_EQ(formatta(impaginato), impaginato);
  // Without its pair (a new buffer, no folder) no compile can show the bytes
  // stay the same: nothing changes, and the editor is told why.
  c.apri("untitled:Senza-nome-1", storto);
  const json n =
      c.chiedi("textDocument/formatting",
               {{"textDocument", {{"uri", "untitled:Senza-nome-1"}}}, {"options", json::object()}});
  EXPECT_EQ(n["result"], json::array());
  EXPECT_NE(c.ricevuti[c.ricevuti.size() - 2].dump().find("Formattazione non fatta"),
            std::string::npos);
}

// The kilometre of every station as the hover, the page's document and the
// SVG's labels give it: one rule, so all three agree, on the built-in line and
// on generated ones (whose three reference points differ in correction).
TEST(ServerLsp, HoverPageAndSvgGiveEachStationTheSameKilometre) {
  sorgenti_predefinite predefinite;
  std::vector<std::tuple<std::string, std::string, std::string>> casi = {
      {predefinite.t.percorso, "FerziaPS-Calvorano", "24617"}};
  cartella_temporanea t;
  for (int km : {7, 100}) {
    const scenario_generato g = genera_scenario({km, static_cast<uint64_t>(km), 4});
    const std::string c = t / std::to_string(km);
    std::filesystem::create_directories(c);
    scrivi_tutto(file::percorso(c, "G_linea.txt"), g.linea);
    scrivi_tutto(file::percorso(c, "G_1-.txt"), g.treno);
    casi.emplace_back(c, "G", "1");
  }
  for (const auto& [cartella, linea, treno] : casi) {
    SCOPED_TRACE(linea);
    esito_compilazione e = compila_scenario(compilazione_anteprima(cartella, linea, treno));
    ASSERT_EQ(e.codice_errore, 0);
    // Where each station's position stands in its source, for the hover.
    std::vector<luogo_campo> posti;
    for (const voce_letta& v : e.voci)
      if (v.chiave && std::string_view(v.chiave->genere) == "stazione")
        posti.push_back(v.luoghi[0]);
    scenario_compilato sc;
    std::map<std::string, std::string> compilati = e.compilati;
    ASSERT_NO_THROW(compilato_da_memoria(compilati, linea, treno, sc));
    const std::string svg = disegna_linea(sc.tabella_linea, sc.celle, sc.planimetria());
    const json d = json::parse(documento_anteprima(e, linea, treno, 1));

    cliente l;
    l.chiedi("initialize", {{"capabilities", json::object()}});
    const std::string f_linea = file::percorso(cartella, linea + "_linea.txt");
    const std::string f_treno = file::percorso(cartella, linea + "_" + treno + "-.txt");
    for (const std::string& f : {f_linea, f_treno})
      l.avvisa("textDocument/didOpen", {{"textDocument",
                                         {{"uri", uri_di(f)},
                                          {"languageId", "x"},
                                          {"version", 1},
                                          {"text", testo::da_1252(leggi_tutto(f))}}}});
    size_t k = 0;
    for (const json& o : d["oggetti"]) {
      if (o["genere"] != "stazione") continue;
      ASSERT_LT(k, posti.size());
      const std::string km = o["km"].get<std::string>(), nome = o["nome"].get<std::string>();
      const json h =
          l.chiedi("textDocument/hover", {{"textDocument", {{"uri", uri_di(f_treno)}}},
                                          {"position", posizione(posti[k].riga - 1, posti[k].da)}});
      EXPECT_NE(h["result"]["contents"]["value"].get<std::string>().find(", " + km),
                std::string::npos)
          << nome << " " << km << ": " << h.dump();
      std::string in_svg;
      for (char c : nome) in_svg += c == '\'' ? std::string("&apos;") : std::string(1, c);
      EXPECT_NE(svg.find("<title>" + in_svg + ", " + km + "</title>"), std::string::npos)
          << nome << " " << km;
      ++k;
    }
    EXPECT_GT(k, 2u);
  }
}

// Positions are uintegers: 2^63 is past the end of any text, not line 0;
// a lone surrogate escape is U+FFFD, which the code page lacks, so the edit
// shows rather than being dropped with its message.
TEST(ServerLsp, PositionsPastTheRangeAndLoneSurrogatesKeepTheEdit) {
  conversazione c;
  const uint64_t enorme = uint64_t{1} << 63;
  const json lontano = {{"line", enorme}, {"character", enorme}};
  EXPECT_TRUE(c.chiedi("textDocument/hover",
                       {{"textDocument", {{"uri", c.treno}}}, {"position", lontano}})["result"]
                  .is_null());
  const int righe = static_cast<int>(std::count(c.testo_treno.begin(), c.testo_treno.end(), '\n'));
  c.avvisa("textDocument/didChange",
           {{"textDocument", {{"uri", c.treno}, {"version", 50}}},
            {"contentChanges",
             {{{"range", {{"start", lontano}, {"end", lontano}}}, {"text", "\r\n[in fondo]"}}}}});
  EXPECT_NE(c.descrivi(c.treno, righe + 1, 2).find("[in fondo]"), std::string::npos);
  EXPECT_EQ(c.descrivi(c.treno, 0, 2).find("[in fondo]"), std::string::npos);

  c.s.tratta(
      R"({"jsonrpc":"2.0","method":"textDocument/didChange","params":{"textDocument":{"uri":")" +
      c.treno +
      R"(","version":51},"contentChanges":[{"range":{"start":{"line":21,"character":83},)"
      R"("end":{"line":21,"character":84}},"text":"\ud800"}]}})");
  const json d = c.diagnosi(c.treno);
  ASSERT_FALSE(d.empty());
  EXPECT_EQ(d[0]["code"], "1252");
  EXPECT_EQ(d[0]["range"]["start"], posizione(21, 83));
  EXPECT_NE(d[0]["message"].get<std::string>().find("\xEF\xBF\xBD"), std::string::npos);
}

// The partner of an open document is read from the disk only when it is a
// file within the compile's bound; anything else is said on the open one.
TEST(ServerLsp, APartnerThatIsNoFileOrTooLargeIsSaidAndNotRead) {
  conversazione c;
  c.avvisa("textDocument/didClose", {{"textDocument", {{"uri", c.linea}}}});
  const std::string linea = c.sorgenti.linea();
  file::cancella(linea);
  {
    // Sparse where the system allows: nothing of it is written but its last byte.
    file::sostituzione f(linea);
    f.scrivi_a(kSorgenteMassimo, "x");
    f.chiudi();
  }
  c.cambia(c.treno, 0, 0, 0, " ");
  json d = c.diagnosi(c.treno);
  ASSERT_EQ(d.size(), 1u) << d.dump();
  EXPECT_EQ(d[0]["message"], linea + ": è di " + std::to_string(kSorgenteMassimo + 1) +
                                 " byte, più dei " + std::to_string(kSorgenteMassimo) +
                                 " accettati: non si compila");
  EXPECT_EQ(d[0]["range"]["start"], posizione(0, 0));
  // Hover reads the line for its kilometres: it answers without them.
  EXPECT_NE(c.descrivi(c.treno, 23, 13).find("cella 432"), std::string::npos);

  file::cancella(linea);
  ASSERT_TRUE(file::crea_cartelle(linea));
  c.cambia(c.treno, 0, 0, 1, "");
  d = c.diagnosi(c.treno);
  ASSERT_EQ(d.size(), 1u) << d.dump();
  EXPECT_NE(d[0]["message"].get<std::string>().find("è una cartella"), std::string::npos);
  const json f = c.chiedi("textDocument/formatting",
                          {{"textDocument", {{"uri", c.treno}}}, {"options", json::object()}});
  EXPECT_EQ(f["result"], json::array());
  EXPECT_NE(c.ricevuti[c.ricevuti.size() - 2].dump().find("è una cartella"), std::string::npos);
}

// One exchange with a preview at its address (http://127.0.0.1:PORT/?t=KEY),
// as its page makes it: the status and the body.
struct risposta_http {
  int stato = 0;
  std::string corpo;
};
risposta_http http(const std::string& indirizzo, const std::string& metodo,
                   const std::string& rotta, const std::string& corpo = "") {
  const size_t a = indirizzo.find(':', 7), b = indirizzo.find('/', a);
  const std::string host = indirizzo.substr(7, b - 7);
  const std::string chiave = indirizzo.substr(indirizzo.find("?t=") + 3);
  namespace asio = boost::asio;
  asio::io_context io;
  asio::ip::tcp::socket s(io);
  s.connect({asio::ip::address_v4::loopback(),
             static_cast<uint16_t>(std::stoi(indirizzo.substr(a + 1, b - a - 1)))});
  asio::write(s,
              asio::buffer(metodo + " " + rotta + "?t=" + chiave + " HTTP/1.1\r\nHost: " + host +
                           "\r\nOrigin: http://" + host +
                           "\r\nContent-Type: application/json\r\nContent-Length: " +
                           std::to_string(corpo.size()) + "\r\nConnection: close\r\n\r\n" + corpo));
  std::string r;
  boost::system::error_code fine;
  asio::read(s, asio::dynamic_buffer(r), fine);  // the server closes after its answer
  const size_t testa = r.find("\r\n\r\n");
  if (r.rfind("HTTP/1.1 ", 0) != 0 || testa == std::string::npos) return {};
  return {std::stoi(r.substr(9, 3)), r.substr(testa + 4)};
}

// Whatever the editor answers to an edit but "applied": true is an edit not
// made: the page is told, and the server and the preview go on.
TEST(ServerLsp, AnOddAnswerToAPageEditIsAnEditNotMade) {
  conversazione c;
  const std::string url = c.anteprima(c.treno);
  ASSERT_FALSE(url.empty());
  const json dati = json::parse(http(url, "GET", "/dati").corpo);
  // GRUZO, line 24 of the train.
  const size_t riga = [&] {
    size_t i = 0;
    for (int r = 0; r < 23; ++r) i = c.testo_treno.find('\n', i) + 1;
    return i;
  }();
  const json intento = {
      {"intento", "elimina"},
      {"versione", dati["versione"]},
      {"file", c.sorgenti.treno()},
      {"riga", 24},
      {"testo", c.testo_treno.substr(riga, c.testo_treno.find('\r', riga) - riga)}};
  const struct {
    const char* membro;
    json valore;
    int stato;
  } casi[] = {{"result", {{"applied", nullptr}}, 409},
              {"result", {{"applied", "yes"}}, 409},
              {"result", {{"applied", 1}}, 409},
              {"result", "applied", 409},
              {"result", {{"applied", false}, {"failureReason", 7}}, 409},
              {"error", {{"code", -32603}, {"message", "no"}}, 409},
              {"result", {{"applied", true}}, 200}};
  for (const auto& k : casi) {
    const size_t da = c.quanti();
    auto pagina = std::async(std::launch::async,
                             [&] { return http(url, "POST", "/modifica", intento.dump()); });
    const json q =
        c.aspetta(da, [](const json& x) { return x.value("method", "") == "workspace/applyEdit"; });
    if (q.is_null()) {
      c.s.chiudi();  // the page's connection closed, so that the exchange ends
      ADD_FAILURE() << "nessun workspace/applyEdit: " << pagina.get().corpo;
      return;
    }
    c.manda({{"jsonrpc", "2.0"}, {"id", q["id"]}, {k.membro, k.valore}});
    const risposta_http r = pagina.get();
    EXPECT_EQ(r.stato, k.stato) << k.valore.dump() << " " << r.corpo;
    if (k.stato == 409) {
      EXPECT_EQ(json::parse(r.corpo)["messaggio"], "l'editor non ha applicato la modifica");
    }
  }
  EXPECT_EQ(http(url, "GET", "/dati").stato, 200);
}

// A preview that could not start is said, and leaves nothing that a change,
// a new command or the end would stumble on.
TEST(ServerLsp, APreviewThatCannotStartLeavesNothingBehind) {
  conversazione c;
  const std::string url = c.anteprima(c.treno);
  ASSERT_FALSE(url.empty());
  scrivi_tutto(c.sorgenti.t / "Altra_1-.txt", c.testo_treno);
  const std::string altra = uri_di(c.sorgenti.t / "Altra_1-.txt");
  // The other pair's preview on the port the first one holds.
  c.s.porta_anteprime = static_cast<uint16_t>(std::stoi(url.substr(url.find(':', 7) + 1)));
  json e;
  EXPECT_EQ(c.anteprima(altra, &e), "");
  EXPECT_EQ(e["code"], -32602);
  EXPECT_EQ(e["message"].get<std::string>().rfind(
                "anteprima non avviata: impossibile ascoltare su 127.0.0.1:", 0),
            0u)
      << e.dump();
  c.cambia(c.treno, 0, 0, 0, " ");
  c.apri(altra, c.testo_treno);
  c.s.porta_anteprime = 0;
  EXPECT_NE(c.anteprima(altra), "");
  c.avvisa("exit", nullptr);
  c.s.chiudi();
}

// A pair with no source gets no preview; previews are few, the one asked
// for longest ago stopped for a new one, and a pair's stops with its last
// open document.
TEST(ServerLsp, PreviewsNeedASourceAreFewAndEndWithTheirDocuments) {
  cliente c;
  c.chiedi("initialize", {{"capabilities", json::object()}});
  cartella_temporanea t;
  const std::string treno = "[generale]\r\nnumero vetture, 3\r\n[fine]\r\n";
  json e;
  EXPECT_EQ(c.anteprima(uri_di(t / "X_1-.txt"), &e), "");
  EXPECT_EQ(e["message"], "nessun sorgente di X, treno 1: né aperto nell'editor né sul disco");
  std::vector<std::string> uri, url;
  for (size_t k = 0; k < lsp::kAnteprimeMassime; ++k) {
    const std::string nome = "R" + std::to_string(k) + "_1-.txt";
    scrivi_tutto(t / nome, treno);
    uri.push_back(uri_di(t / nome));
    url.push_back(c.anteprima(uri.back()));
    ASSERT_NE(url.back(), "");
  }
  EXPECT_EQ(c.anteprima(uri[0]), url[0]);  // still there, and now the latest asked for
  // One more, open in the editor only: R1's stops.
  const std::string aperta = uri_di(t / "Y_1-.txt");
  c.avvisa(
      "textDocument/didOpen",
      {{"textDocument", {{"uri", aperta}, {"languageId", "x"}, {"version", 1}, {"text", treno}}}});
  size_t da = c.quanti();
  const std::string nuova = c.anteprima(aperta);
  EXPECT_NE(nuova, "");
  EXPECT_EQ(c.registro(da), (std::vector<std::string>{
                                "Anteprima di R1, treno 1 fermata: al più " +
                                    std::to_string(lsp::kAnteprimeMassime) +
                                    " anteprime alla volta, e questa è quella chiesta da più tempo",
                                "Anteprima di Y, treno 1: " + nuova}));
  const std::string di_nuovo = c.anteprima(uri[1]);
  EXPECT_NE(di_nuovo, url[1]);
  EXPECT_NE(di_nuovo, "");
  EXPECT_EQ(c.anteprima(uri[0]), url[0]);
  da = c.quanti();
  c.avvisa("textDocument/didClose", {{"textDocument", {{"uri", aperta}}}});
  const std::vector<std::string> chiusa = {
      "Anteprima di Y, treno 1 fermata: i suoi sorgenti sono stati chiusi nell'editor"};
  EXPECT_EQ(c.registro(da), chiusa);
  EXPECT_EQ(c.anteprima(aperta, &e), "");
  EXPECT_EQ(e["code"], -32602);
}

// ROUTE_TRAIN-.txt parts at its last "_": R_a_b-.txt is train b of route
// R_a, no partner of R_linea.txt, whose compile must not read it.
TEST(ServerLsp, ATrainOfAnotherRouteIsNoPartner) {
  cliente c;
  c.chiedi("initialize", {{"capabilities", json::object()}});
  cartella_temporanea t;
  scrivi_tutto(t / "R_a_b-.txt", "[generale]\r\nnumero vetture, x\r\n[fine]\r\n");
  const std::string linea = uri_di(t / "R_linea.txt");
  c.avvisa(
      "textDocument/didOpen",
      {{"textDocument",
        {{"uri", linea}, {"version", 1}, {"text", "[generale]\r\nlunghezza percorso, 3000\r\n"}}}});
  // Its train is missing, which is said on the whole file, not at R_a_b-.txt's field.
  const json d = c.diagnosi(linea);
  ASSERT_EQ(d.size(), 1u) << d.dump();
  EXPECT_EQ(d[0]["range"]["start"], posizione(0, 0)) << d.dump();
  json e;
  EXPECT_EQ(c.anteprima(linea, &e), "");
  EXPECT_EQ(e["code"], -32602);
}

}  // namespace
