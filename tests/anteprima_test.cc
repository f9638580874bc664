// The preview's pieces that need no browser: the train's run and the
// timetable warning of `check`, the entries the reader notes, the page's
// document of a compile, the static page, and the platform's watch and key.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "aiuti.h"
#include "model/formato.h"
#include "model/regole.h"
#include "platform/casuale.h"
#include "platform/file.h"
#include "platform/osservazione.h"
#include "tool/compilazione/compila.h"
#include "tool/disegno/documento.h"

// The page's document is read back with the servers' JSON library.
#ifdef COMPATTATORE_CON_SERVER
#include <nlohmann/json.hpp>

#include "tool/server/anteprima/richiesta_http.h"
#include "tool/server/anteprima/server_http.h"
#endif

namespace {

const std::string kLinea = "FerziaPS-Calvorano";
const std::string kTreno = "24617";

// The built-in sources in a folder of their own, to be changed in place.
struct sorgenti : sorgenti_predefinite {
  std::string controlla() const {
    std::string uscita;
    esegui(programma(SCENARIO_BIN) + " check " + t.percorso + " " + kLinea + " " + kTreno + " 2>&1",
           &uscita);
    return uscita;
  }
  esito_compilazione compila(bool voci) const {
    opzioni_compilazione o = compilazione_anteprima(t.percorso, kLinea, kTreno);
    o.voci = voci;
    return compila_scenario(o);
  }
};

// VESSIRE to GRUZO: the limits' bound is 95.1 s, the regional train's run
// from a stand to a stop 175.x s; FERZIA PORTA SOLVENTRA to FERZIA VELSANTE
// 268 s and 324.x s, over two junctions without a time (its own 6 min 7 s
// holds: the built-in timetable gives no warning).
TEST(Orario, CheckWarnsWhereTheTimetableIsShorterThanTheTrainsRun) {
  const struct {
    const char* da;
    const char* a;
    const char* avviso;  // nullptr: none
  } casi[] = {
      {"14,50,51, GRUZO", "14,45,30, GRUZO",
       "orario troppo stretto da VESSIRE (14:45:00) a GRUZO (14:45:30): 30 s in orario, ma il "
       "treno, accelerando e frenando, ne vuole 2 min 56 s (ai soli limiti di velocità 1 min "
       "36 s)"},
      {"14,50,51, GRUZO", "14,47,55, GRUZO", "a GRUZO (14:47:55): 2 min 55 s in orario"},
      {"14,50,51, GRUZO", "14,47,56, GRUZO", nullptr},
      {"14,50,51, GRUZO", "14,44, 0, GRUZO",
       "orario all'indietro da VESSIRE (14:45:00) a GRUZO (14:44:00): 1 min prima della stazione "
       "precedente"},
      {"14,31, 7, FERZIA VELSANTE", "14,29,30, FERZIA VELSANTE",
       "da FERZIA PORTA SOLVENTRA (14:25:00) a FERZIA VELSANTE (14:29:30): 4 min 30 s in orario, "
       "ma il treno, accelerando e frenando, ne vuole 5 min 25 s (ai soli limiti di velocità 4 "
       "min 28 s)"},
      {"14,31, 7, FERZIA VELSANTE", "14,30,25, FERZIA VELSANTE", nullptr},
  };
  for (const auto& c : casi) {
    sorgenti s;
    const int riga = s.cambia(s.treno(), c.da, c.a);
    const std::string uscita = s.controlla();
    if (!c.avviso) {
      EXPECT_EQ(uscita, "0 avvisi, nessun errore\n") << c.a;
      continue;
    }
    EXPECT_NE(uscita.find(s.treno() + ":" + std::to_string(riga) + ": avviso: "), std::string::npos)
        << uscita;
    EXPECT_NE(uscita.find(c.avviso), std::string::npos) << uscita;
    EXPECT_NE(uscita.find("1 avviso, nessun errore\n"), std::string::npos) << uscita;
  }
}

// A train source names its type on a line the compile passes over: the bytes
// stay, the run is the type's, and a name no type has is said.
TEST(Orario, TheTrainsTypeChangesTheRunNotTheBytes) {
  sorgenti s;
  s.cambia(s.treno(), "14,50,51, GRUZO", "14,47,56, GRUZO");  // holds for the regional train
  const esito_compilazione prima = s.compila(false);
  s.cambia(s.treno(), "[generale]", "tipo treno, Merci\n[generale]");
  EXPECT_TRUE(s.compila(false).compilati == prima.compilati);
  EXPECT_NE(s.controlla().find("a GRUZO (14:47:56): 2 min 56 s in orario, ma il treno, accelerando "
                               "e frenando, ne vuole 3 min 2 s"),
            std::string::npos);
  s.cambia(s.treno(), "tipo treno, Merci", "tipo treno, vapore");
  const std::string uscita = s.controlla();
  EXPECT_NE(
      uscita.find(s.treno() + ":1: avviso: tipo treno sconosciuto \"vapore\": i tempi di "
                              "marcia sono quelli del tipo regionale (tipi: regionale, intercity, "
                              "alta_velocita, merci)\ntipo treno, vapore\n"),
      std::string::npos)
      << uscita;
  EXPECT_NE(uscita.find("1 avviso, nessun errore"), std::string::npos) << uscita;
}

TEST(VociLette, EveryBodyEntryWithItsLineAndFields) {
  sorgenti s;
  const esito_compilazione e = s.compila(true);
  ASSERT_EQ(e.codice_errore, 0);
  std::map<std::string, int> n;
  for (const voce_letta& v : e.voci) ++n[v.chiave ? v.chiave->genere : v.campi.at(0)];
  // The line's header and body, then the train; section heads without a key.
  std::map<std::string, int> attese = {{"[generale]", 2}, {"[fine]", 2}};
  for (const char* t :
       {"[curve]", "[pendenze]", "[montagne]", "[indicazioni]", "[cartelli]", "[vel_limite]",
        "[aderenze]", "[segnali]", "[stazioni]", "[rallentamenti]", "[codici]"})
    attese[t] = 1;
  attese.insert({{"lunghezza percorso", 1},
                 {"progressiva chilometrica", 3},
                 {"sfondo", 3},
                 {"ripetizione segnali", 1},
                 {"pendenza", 24},
                 {"curva", 23},
                 {"montagna", 1},
                 {"indicatori_vmax", 9},
                 {"cartello_indicatore", 8},
                 {"numero vetture", 1},
                 {"percentuale massa frenata", 1},
                 {"sabbia", 1},
                 {"orologio", 1},
                 {"velocita", 8},
                 {"aderenza", 1},
                 {"segnale", 21},
                 {"stazione", 11}});
  EXPECT_EQ(n, attese);
  const auto gruzo = std::find_if(e.voci.begin(), e.voci.end(), [](const voce_letta& v) {
    return !v.campi.empty() && v.campi.back() == "GRUZO";
  });
  ASSERT_NE(gruzo, e.voci.end());
  EXPECT_EQ(gruzo->dove.file, s.treno());
  EXPECT_EQ(gruzo->dove.riga, 24);
  EXPECT_EQ(gruzo->dove.testo,
            "stazione,   21600, 12,  300,  0, 0, 0,  1,1,0,  4,1,1,   40,  14,50,51, GRUZO");
  EXPECT_EQ(gruzo->campi.size(), 17u);
  EXPECT_EQ(gruzo->campi[0], "21600");
  // Each field with its bytes in the line: the key, the position, the name.
  const auto testo_di = [&](const luogo_campo& l) {
    EXPECT_EQ(l.riga, 24);
    return gruzo->dove.testo.substr(static_cast<size_t>(l.da), static_cast<size_t>(l.a - l.da));
  };
  EXPECT_EQ(testo_di(gruzo->luogo_chiave), "stazione");
  EXPECT_EQ(testo_di(gruzo->luoghi[0]), "21600");
  EXPECT_EQ(testo_di(gruzo->luoghi[16]), "GRUZO");
  EXPECT_TRUE(s.compila(false).voci.empty());
}

TEST(PaginaStatica, NoTextInTheDataClosesItsElement) {
  const std::string p = pagina_con_dati("{\"a\":\"</script><b>\"}");
  EXPECT_EQ(p.find("</script><b>"), std::string::npos);
  EXPECT_NE(p.find("id=\"dati\">{\"a\":\"\\u003c/script>\\u003cb>\"}</script>"), std::string::npos);
}

TEST(PaginaStatica, PlotHtmlWritesThePageWithItsData) {
  sorgenti s;
  const std::string html = s.t / "linea.html";
  const std::string base = programma(SCENARIO_BIN) + " plot " + s.t.percorso + " " + kLinea + " " +
                           kTreno + " --html -o " + html;
  ASSERT_EQ(esegui(base + " >/dev/null 2>&1"), 0);
  const std::string p = leggi_tutto(html);
  EXPECT_NE(p.find("id=\"dati\">{\"linea\":\"FerziaPS-Calvorano\""), std::string::npos);
  // Nothing fetched from elsewhere: the SVG namespace is the one address.
  std::string senza = p;
  const std::string ns = "xmlns=\"http://www.w3.org/2000/svg\"";
  for (size_t i = senza.find(ns); i != std::string::npos; i = senza.find(ns))
    senza.erase(i, ns.size());
  EXPECT_EQ(senza.find("http://"), std::string::npos);
  EXPECT_EQ(senza.find("https://"), std::string::npos);
  EXPECT_EQ(esegui(programma(SCENARIO_BIN) + " plot --from-compiled " + s.t.percorso + " " +
                   kLinea + " " + kTreno + " --html -o " + html + " >/dev/null 2>&1"),
            64);
}

TEST(Piattaforma, AFileSeenToChangeAndAnAbsoluteName) {
  cartella_temporanea t;
  const std::string f = t / "sorgente.txt";
  EXPECT_FALSE(file::impronta_di(f).c_e);
  scrivi_tutto(f, "12345");
  const file::impronta a = file::impronta_di(f);
  EXPECT_TRUE(a.c_e);
  EXPECT_EQ(a.dimensione, 5u);
  scrivi_tutto(f, "1234567");
  EXPECT_NE(file::impronta_di(f), a);
  const std::string assoluto = file::assoluto(f);
  EXPECT_EQ(file::assoluto(assoluto), assoluto);
  EXPECT_EQ(leggi_tutto(assoluto), "1234567");
  const std::string relativo = file::assoluto("nome");
  EXPECT_EQ(relativo.substr(relativo.size() - 5), std::string(file::separatore) + "nome");
  EXPECT_EQ(file::assoluto(relativo), relativo);
}

// What a server reads of a name anyone may fill: a file within the bound,
// whole; nothing at all of anything else.
TEST(Piattaforma, BoundedReadsTakeRegularFilesWithinTheBoundOnly) {
  cartella_temporanea t;
  const std::string f = t / "sorgente.txt";
  std::string dati = "vecchi";
  EXPECT_EQ(file::leggi_al_piu(f, 10, dati).esito, file::esito_lettura::mancante);
  EXPECT_EQ(dati, "");
  scrivi_tutto(f, "0123456789");
  file::lettura l = file::leggi_al_piu(f, 10, dati);
  EXPECT_EQ(l.esito, file::esito_lettura::letto);
  EXPECT_EQ(dati, "0123456789");
  l = file::leggi_al_piu(f, 9, dati);
  EXPECT_EQ(l.esito, file::esito_lettura::troppo_grande);
  EXPECT_EQ(l.dimensione, 10u);
  EXPECT_EQ(l.motivo, "è di 10 byte, più dei 9 accettati");
  EXPECT_EQ(dati, "");
  ASSERT_TRUE(file::crea_cartelle(t / "cartella"));
  l = file::leggi_al_piu(t / "cartella", 10, dati);
  EXPECT_EQ(l.esito, file::esito_lettura::non_file);
  EXPECT_EQ(l.motivo, "è una cartella, non un file");
  EXPECT_FALSE(file::leggi(t / "cartella", dati));
}

TEST(Piattaforma, KeysAreNotTheSameTwice) {
  unsigned char a[16] = {}, b[16] = {};
  ASSERT_TRUE(byte_casuali(a, sizeof a));
  ASSERT_TRUE(byte_casuali(b, sizeof b));
  EXPECT_FALSE(std::equal(a, a + 16, b));
}

#ifdef COMPATTATORE_CON_SERVER
using json = nlohmann::json;

size_t conta_genere(const json& d, const std::string& g) {
  return static_cast<size_t>(std::count_if(d["oggetti"].begin(), d["oggetti"].end(),
                                           [&](const json& o) { return o["genere"] == g; }));
}

TEST(Documento, TheBuiltInLineAsThePageDrawsIt) {
  sorgenti s;
  esito_compilazione e = s.compila(true);
  const json d = json::parse(documento_anteprima(e, kLinea, kTreno, 3));
  EXPECT_EQ(d["linea"], kLinea);
  EXPECT_EQ(d["versione"], 3);
  EXPECT_EQ(d["lunghezza"], 37000);
  EXPECT_EQ(d["passo_celle"], 50);
  // 881 cells, the last three of which no profile reaches.
  for (const char* k : {"pendenza", "velocita", "montagna"}) EXPECT_EQ(d[k].size(), 878u) << k;
  EXPECT_EQ(*std::min_element(d["pendenza"].begin(), d["pendenza"].end()), -7);
  EXPECT_EQ(d["pendenza"][10], -7);  // 500 m: -7 per mille
  EXPECT_EQ(d["velocita"][18], 105);
  EXPECT_EQ(d["montagna"][12], 2);
  // All three points count, the first one also before it.
  EXPECT_EQ(d["tratti_km"], json::parse(R"([
    {"da":null,"a":5700,"posizione":3500,"progressiva":9550},
    {"da":5700,"a":35400,"posizione":5700,"progressiva":-1900},
    {"da":35400,"a":null,"posizione":35400,"progressiva":100250}])"));
  EXPECT_EQ(d["pianta"]["passo"], 10);
  EXPECT_EQ(d["pianta"]["x"].size(), 4401u);
  const std::map<std::string, size_t> attesi = {
      {"stazione", 11}, {"segnale", 21}, {"indicatore", 9}, {"cartello", 8}};
  for (const auto& [g, n] : attesi) EXPECT_EQ(conta_genere(d, g), n) << g;
  EXPECT_EQ(d["oggetti"].size(), 49u);
  const auto gruzo = std::find_if(d["oggetti"].begin(), d["oggetti"].end(),
                                  [](const json& o) { return o.value("nome", "") == "GRUZO"; });
  ASSERT_NE(gruzo, d["oggetti"].end());
  EXPECT_EQ(*gruzo,
            json::parse(R"({"genere":"stazione","posizione":21600,"km":"km 14+000","nome":"GRUZO",
    "orario":53451,"inizio":21450,"fine":21750,"riga":24,
    "testo":"stazione,   21600, 12,  300,  0, 0, 0,  1,1,0,  4,1,1,   40,  14,50,51, GRUZO",
    "file":)" + json(s.treno()).dump() +
                        "}"));
  const auto bivio = std::find_if(d["oggetti"].begin(), d["oggetti"].end(), [](const json& o) {
    return o.value("nome", "") == "BIVIO SCADO";
  });
  ASSERT_NE(bivio, d["oggetti"].end());
  EXPECT_TRUE((*bivio)["orario"].is_null());
  EXPECT_TRUE(d["errore"].is_null());
  EXPECT_TRUE(d["avvisi"].empty());
}

// Lines under the plan (the map's rails of preview --map): those that come
// within 2 km of the plan are sent whole, the others left out.
TEST(Documento, LinesUnderThePlanThatComeNearIt) {
  sorgenti s;
  esito_compilazione e = s.compila(false);
  const linee_sotto sotto = {{-1500, 10, -1500, 20000.25}, {50000, 50000, 50100, 50000}, {}};
  const json d = json::parse(documento_anteprima(e, kLinea, kTreno, 1, &sotto));
  EXPECT_EQ(d["mappa"], json::parse("[[-1500,10,-1500,20000.3]]"));
  esito_compilazione senza = s.compila(false);
  EXPECT_FALSE(json::parse(documento_anteprima(senza, kLinea, kTreno, 1)).contains("mappa"));
}

TEST(Documento, ABrokenCurveGivesItsLineAndCaret) {
  sorgenti s;
  const int riga = s.cambia(s.linea(), "curvas6,  550,  350", "curvas6,  550,  35x");
  // A name in the sources' code page comes out as UTF-8.
  s.cambia(s.treno(), "GRUZO", "GRUZ\xd2");
  esito_compilazione e = s.compila(true);
  const json d = json::parse(documento_anteprima(e, kLinea, kTreno, 1));
  const json& r = d["errore"];
  EXPECT_EQ(r["codice"], 25);
  EXPECT_EQ(r["file"], s.linea());
  EXPECT_EQ(r["riga"], riga);
  EXPECT_EQ(r["testo"], "curvas6,  550,  35x");
  EXPECT_EQ(r["caret"], std::string(static_cast<size_t>(r["colonna"]) - 1, ' ') + "^");
  EXPECT_NE(r["messaggio"].get<std::string>().find("errore 25"), std::string::npos);
  EXPECT_EQ(conta_genere(d, "stazione"), 0u);  // the read stopped in the line
  sorgenti buona;
  buona.cambia(buona.treno(), "GRUZO", "GRUZ\xd2");
  e = buona.compila(true);
  const json b = json::parse(documento_anteprima(e, kLinea, kTreno, 1));
  EXPECT_EQ(conta_genere(b, "stazione"), 11u);
  EXPECT_NE(b.dump().find("GRUZ\xc3\x92"), std::string::npos);
}

// The server's checks of a request, from its fields and from its bytes.
TEST(RichiestaHttp, HostKeyMethodAndRouteAsTheServerAnswers) {
  const regole_http r{"00ff17", "127.0.0.1:8080", "localhost:8080"};
  const std::vector<std::string_view> ip = {"127.0.0.1:8080"};
  struct caso {
    const char* metodo;
    const char* bersaglio;
    std::vector<std::string_view> host;
    int stato;
    rotta_http rotta;
  } casi[] = {
      {"GET", "/dati?t=00ff17", ip, 200, rotta_http::dati},
      {"GET", "/eventi?x=1&t=00ff17", {"LOCALHOST:8080"}, 200, rotta_http::eventi},
      {"HEAD", "/?t=00ff17", ip, 200, rotta_http::pagina},
      {"HEAD", "/?t=00ff1", ip, 403, rotta_http::pagina},
      {"GET", "http://127.0.0.1:8080/dati?t=00ff17", ip, 200, rotta_http::dati},
      {"GET", "HTTP://LocalHost:8080?t=00ff17", {"localhost:8080"}, 200, rotta_http::pagina},
      {"GET", "http://attaccante.example:8080/dati?t=00ff17", ip, 403, rotta_http::pagina},
      {"GET", "https://127.0.0.1:8080/dati?t=00ff17", ip, 400, rotta_http::pagina},
      {"GET", "/dati?t=00ff17", {"127.0.0.1:8080", "127.0.0.1:8080"}, 403, rotta_http::pagina},
      {"GET", "/dati?t=00ff17", {}, 403, rotta_http::pagina},
      {"POST", "/dati?t=00ff17", ip, 405, rotta_http::pagina},
      {"OPTIONS", "/?t=00ff17", ip, 405, rotta_http::pagina},
      {"GET", "/dati/..?t=00ff17", ip, 404, rotta_http::pagina},
  };
  for (const caso& c : casi) {
    const esame_http e = esamina({c.metodo, c.bersaglio, c.host, {}, {}}, r);
    EXPECT_EQ(e.stato, c.stato) << c.metodo << " " << c.bersaglio;
    EXPECT_EQ(e.rotta, c.rotta) << c.metodo << " " << c.bersaglio;
    EXPECT_EQ(e.senza_corpo, std::string_view(c.metodo) == "HEAD") << c.bersaglio;
    EXPECT_EQ(e.chiave, e.stato == 200 || e.stato == 404 || e.stato == 405) << c.bersaglio;
  }
  const std::string h = "Host: 127.0.0.1:8080\r\n";
  const struct {
    std::string byte;
    int stato;
  } byte[] = {
      {"GET http://127.0.0.1:8080/eventi?t=00ff17 HTTP/1.1\r\n" + h + "\r\n", 200},
      {"HEAD /dati?t=00ff17 HTTP/1.0\r\n" + h + "\r\n", 200},
      {"GET /dati?t=00ff17 HTTP/1.1\r\n" + h, 0},
      {"GET /dati?t=00ff17 HTTP/1.1\r\nX: " + std::string(9000, 'a') + "\r\n" + h + "\r\n", 431},
      {"POST /dati?t=00ff17 HTTP/1.1\r\n" + h + "Content-Length: 5000\r\n\r\n", 413},
      {std::string(100, '[') + "\r\n\r\n", 400},
  };
  for (const auto& b : byte)
    EXPECT_EQ(esamina_byte(b.byte, r).stato, b.stato) << b.byte.substr(0, 60);
}
#endif

}  // namespace
