// scenario draft: lines drafted from OpenStreetMap files and SRTM tiles, the
// real extract of tests/dati/mappe and hand-made maps of known shape.
#include "tool/bozza/bozza.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "aiuti.h"
#include "tool/bozza/altimetria.h"
#include "tool/bozza/geodesia.h"
#include "tool/bozza/mappa.h"
#include "tool/bozza/percorso.h"
#include "tool/bozza/resoconto.h"
#include "tool/bozza/stesura.h"
#include "tool/compilati/compilati.h"
#include "tool/compilazione/compila.h"

namespace fs = std::filesystem;
using namespace bozza;

namespace {

std::string mappe(const std::string& nome) {
  return (fs::path(__FILE__).parent_path() / "dati" / "mappe" / nome).string();
}

esito_bozza bozza_di(const std::string& mappa, const std::string& da, const std::string& a,
                     std::vector<std::string> via = {}, std::vector<std::string> dem = {}) {
  opzioni_bozza o;
  o.mappa = fs::path(mappa).is_absolute() ? mappa : mappe(mappa);
  o.da = da, o.a = a, o.via = via;
  for (const std::string& d : dem) o.dem.push_back(fs::path(d).is_absolute() ? d : mappe(d));
  o.cartella = ".", o.linea = "L", o.treno = "1";
  return disegna_bozza(o);
}

int scenario(const std::string& args, std::string* uscita = nullptr) {
  return esegui(programma(SCENARIO_BIN) + " " + args + (uscita ? " 2>&1" : " >/dev/null 2>&1"),
                uscita);
}

// The two sources compiled in memory, with check's warnings.
esito_compilazione compila(const esito_bozza& e) {
  opzioni_compilazione c;
  c.cartella_sorgenti = ".", c.linea = "L", c.treno = "1";
  c.testo_linea = &e.linea, c.testo_treno = &e.treno;
  c.uscita = uscita_compilati::memoria;
  c.avvisi = true;
  return compila_scenario(c);
}

// The compiled plan put on the map by the origin and bearing the line source
// names: each route node's distance from it, the largest.
double nodi_dalla_pianta(const esito_bozza& e) {
  posto_mappa p;
  EXPECT_TRUE(posto_da_sorgente(e.linea, p));
  esito_compilazione c = compila(e);
  scenario_compilato s;
  EXPECT_NO_THROW(compilato_da_memoria(c.compilati, "L", "1", s));
  const double r = p.rotta * kPi / 180;
  std::vector<punto> pianta;  // east, north from the origin
  for (size_t i = 0; i <= static_cast<size_t>(e.b.lunghezza) + 50; ++i)
    pianta.push_back({s.pianta.x(i) * std::cos(r) + s.pianta.y(i) * std::sin(r),
                      -s.pianta.x(i) * std::sin(r) + s.pianta.y(i) * std::cos(r)});
  double peggio = 0;
  size_t da = 0;
  for (const coordinate& n : e.b.dove_nodi) {
    double d, est, nord;
    EXPECT_TRUE(geodetica({p.lat, p.lon}, n, d, est, nord));
    const punto q = {d * est, d * nord};
    double vicino = HUGE_VAL;
    size_t dove = da;
    for (size_t i = da; i + 1 < pianta.size() && i < da + 3000; ++i) {
      const double dx = pianta[i + 1].x - pianta[i].x, dy = pianta[i + 1].y - pianta[i].y;
      const double t = std::clamp(
          ((q.x - pianta[i].x) * dx + (q.y - pianta[i].y) * dy) / (dx * dx + dy * dy), 0.0, 1.0);
      const double x = std::hypot(q.x - pianta[i].x - t * dx, q.y - pianta[i].y - t * dy);
      if (x < vicino) vicino = x, dove = i;
    }
    da = dove > 50 ? dove - 50 : 0;
    peggio = std::max(peggio, vicino);
  }
  return peggio;
}

// The signed turn of the drafted curves, degrees (right positive).
double svolta(const esito_bozza& e) {
  double r = 0;
  for (const curva_bozza& c : e.b.t.curve)
    r -= curvatura_classe(c.classe, c.sinistra) * static_cast<double>(c.lunghezza);
  return r * 180 / kPi;
}

int classe_massima(const esito_bozza& e) {
  int m = 0;
  for (const curva_bozza& c : e.b.t.curve) m = std::max(m, c.classe);
  return m;
}

// Whether a warning holds the word, and where.
bool ha_avviso(const esito_bozza& e, const std::string& parola, int64_t* dove = nullptr) {
  for (const avviso_bozza& a : e.b.avvisi)
    if (a.testo.find(parola) != std::string::npos) {
      if (dove) *dove = a.posizione;
      return true;
    }
  return false;
}

}  // namespace

TEST(BozzaGeodesia, VincentyAndTheFunctionsOfItsOwn) {
  // Vincenty's worked example: Flinders Peak to Buninyong.
  double d, est, nord;
  ASSERT_TRUE(geodetica({-(37 + 57 / 60.0 + 3.72030 / 3600), 144 + 25 / 60.0 + 29.52440 / 3600},
                        {-(37 + 39 / 60.0 + 10.15610 / 3600), 143 + 55 / 60.0 + 35.38390 / 3600}, d,
                        est, nord));
  EXPECT_NEAR(d, 54972.271, 0.001);
  EXPECT_NEAR(std::atan2(est, nord) * 180 / kPi + 360, 306 + 52 / 60.0 + 5.37 / 3600, 1e-6);
  for (double x = -40; x < 40; x += 0.37) {
    EXPECT_NEAR(seno(x), std::sin(x), 1e-15);
    EXPECT_NEAR(coseno(x), std::cos(x), 1e-15);
    EXPECT_NEAR(arcotangente2(x, 1.3 - x), std::atan2(x, 1.3 - x), 1e-15);
  }
}

TEST(BozzaPercorso, NamesWithoutCaseAndAccentsAndTheNearestWhenNoneMatches) {
  std::string dati, e;
  ASSERT_TRUE(file::leggi(mappe("vde8.2-rail.osm.pbf"), dati));
  mappa_osm m;
  ASSERT_TRUE(leggi_mappa(dati, m, e)) << e;
  luogo l;
  for (const char* n : {"GROSSHERINGEN", "grossheringen", "Bad  Kosen", "bad kösen"}) {
    EXPECT_TRUE(trova_luogo(m, n, l, e)) << n << ": " << e;
  }
  EXPECT_EQ(l.nome, "Bad Kösen");
  EXPECT_FALSE(trova_luogo(m, "Weimr", l, e));
  EXPECT_NE(e.find("i nomi più vicini: «Weimar»"), std::string::npos) << e;
  EXPECT_FALSE(trova_luogo(m, "halle", l, e));
  EXPECT_NE(e.find("più nomi di fermata"), std::string::npos) << e;
  EXPECT_NE(e.find("«Halle Südstadt»"), std::string::npos) << e;
}

// The acceptance case: Erfurt Hbf to Weimar with the tile.
TEST(BozzaMappaVera, ErfurtWeimarOnTheTrackWithItsStationsPostsAndHeights) {
  const esito_bozza e =
      bozza_di("vde8.2-rail.osm.pbf", "Erfurt Hbf", "Weimar", {}, {"N50E011.hgt.zip"});
  ASSERT_EQ(e.errore, "");
  EXPECT_LE(e.f.scarto_massimo, 5);
  EXPECT_LE(e.f.scarto_medio, 1.5);
  EXPECT_TRUE(e.f.stretti.empty());
  EXPECT_LE(nodi_dalla_pianta(e), 5);
  std::vector<std::string> nomi;
  for (const stazione_bozza& s : e.b.stazioni) nomi.push_back(s.nome);
  EXPECT_EQ(nomi, (std::vector<std::string>{"Erfurt Hbf", "Vieselbach", "Hopfgarten", "Weimar"}));
  EXPECT_LE(std::abs(e.b.stazioni.back().posizione - e.b.lunghezza), 25);
  // Compiles with code 0, and check says nothing of the timetable.
  const esito_compilazione c = compila(e);
  EXPECT_EQ(c.codice_errore, 0);
  for (const avviso& a : c.avvisi)
    EXPECT_EQ(a.messaggio.find("orario"), std::string::npos) << a.messaggio;
  // The posts count down (Halle is km 0): three are out of place in the
  // map; the others within what their own scatter allows.
  EXPECT_TRUE(e.b.km_all_indietro);
  std::vector<int64_t> fuori;
  for (size_t j = 0; j < e.b.cippi.size(); ++j) {
    if (e.b.cippi[j].fuori_posto) {
      fuori.push_back(e.b.cippi[j].id);
      continue;
    }
    EXPECT_LE(std::llabs(-e.f.km_cippi[j] - e.b.cippi[j].metri), 50) << e.b.cippi[j].testo;
  }
  EXPECT_EQ(fuori, (std::vector<int64_t>{2028407287, 2934861386, 9890707668}));
  EXPECT_LE(e.f.scarto_quote, 10);
  EXPECT_LE(e.f.pendenza_massima, 25);
}

// Both ways from Erfurt to Halle: the high-speed line, and the old line
// through Weimar and Naumburg; past the tile the line is flat.
TEST(BozzaMappaVera, ErfurtHalleBothWaysOnTheTrackAndFlatPastTheTile) {
  for (const std::vector<std::string>& via :
       {std::vector<std::string>{}, {"Weimar", "Naumburg (Saale) Hauptbahnhof"}}) {
    const esito_bozza e = bozza_di("vde8.2-rail.osm.pbf", "Erfurt Hbf",
                                   "Halle (Saale) Hauptbahnhof", via, {"N50E011.hgt.zip"});
    ASSERT_EQ(e.errore, "");
    EXPECT_LE(e.f.scarto_massimo, 5) << via.size();
    EXPECT_LE(e.f.scarto_medio, 1.5) << via.size();
    EXPECT_LE(e.f.scarto_nodi, 5) << via.size();
    EXPECT_TRUE(ha_avviso(e, "nessuna tessera da"));
    EXPECT_EQ(e.b.pendenze.back().valore, 0);
    EXPECT_GT(e.b.lunghezza, via.empty() ? 90000 : 105000);
    // The posts jump (the high-speed line's, then Halle's lines) or drift
    // more than three reference points can follow: the report says so.
    EXPECT_NE(resoconto_testo(e, {}).find("tre punti di riferimento non bastano"),
              std::string::npos);
    const esito_compilazione c = compila(e);
    EXPECT_EQ(c.codice_errore, 0);
    for (const avviso& a : c.avvisi) EXPECT_EQ(a.messaggio.find("orario"), std::string::npos);
  }
}

// Lines of known shape: the curves the draft chooses turn as the track does,
// and no sharper than it where its nodes are far apart.
TEST(BozzaMappeFatteAMano, CirclesCurvesAndNodesFarApart) {
  if (!mappa_xml_disponibile()) GTEST_SKIP() << "le mappe fatte a mano sono XML";
  const esito_bozza c = bozza_di("cerchio.osm", "Inizio", "Fine");  // 90° right, R 1000 m
  ASSERT_EQ(c.errore, "");
  EXPECT_NEAR(svolta(c), 90, 0.5);
  EXPECT_LE(classe_massima(c), 5);
  EXPECT_LE(c.f.scarto_massimo, 0.6);
  int64_t classe4 = 0;
  for (const curva_bozza& x : c.b.t.curve) classe4 += x.classe == 4 ? x.lunghezza : 0;
  EXPECT_GT(classe4, 1000);  // of the arc's 1571 m
  const esito_bozza s =
      bozza_di("esse.osm", "Inizio", "Fine");  // 40° right, R 500; 40° left, R 1000
  ASSERT_EQ(s.errore, "");
  EXPECT_NEAR(svolta(s), 0, 0.5);
  EXPECT_LE(s.f.scarto_massimo, 1);
  const esito_bozza r = bozza_di("rado.osm", "Inizio", "Fine");  // the circle, nodes 200 m apart
  ASSERT_EQ(r.errore, "");
  EXPECT_NEAR(svolta(r), 90, 0.5);
  EXPECT_LE(classe_massima(r), 5);
  EXPECT_LE(r.f.scarto_nodi, 1.5);
  EXPECT_LE(r.f.scarto_massimo, 1.5);
  const esito_bozza t = bozza_di("stretta.osm", "Inizio", "Fine");  // R 200 m from 500 to 709 m
  ASSERT_EQ(t.errore, "");
  ASSERT_EQ(t.f.stretti.size(), 1u);
  EXPECT_LE(t.f.stretti[0].da, 520);
  EXPECT_GE(t.f.stretti[0].a, 700);
  EXPECT_NEAR(t.f.stretti[0].raggio, 200, 30);
  EXPECT_LE(t.f.scarto_massimo, 5);
}

// A double track round a curve, crossovers between: each way keeps the
// track of its direction, though the inner one is shorter.
TEST(BozzaMappeFatteAMano, ADoubleTrackIsKeptWithoutHops) {
  if (!mappa_xml_disponibile()) GTEST_SKIP() << "le mappe fatte a mano sono XML";
  for (const bool est : {true, false}) {
    const esito_bozza d = bozza_di("doppio.osm", est ? "Ovest" : "Est", est ? "Est" : "Ovest");
    ASSERT_EQ(d.errore, "");
    for (uint32_t w : d.b.strada.vie) EXPECT_EQ(w, est ? 0u : 1u);
    EXPECT_LE(d.f.scarto_massimo, 1);
  }
}

namespace {

// An SRTM3 tile N45E010 of ground rising 5 per mille eastward, with a valley
// 40 m deep under the bridge of ponte.osm (which runs from 1700 to 2300 m
// east of its start at 45.5°N 10.5°E) and, if asked, a void from 600 to 900 m.
void scrivi_tessera(const std::string& nome, bool vuoto) {
  const int n = 1201;
  std::string b(static_cast<size_t>(n) * n * 2, '\0');
  const double metri_grado = 78130;  // a degree of longitude at 45.5°N, near enough
  for (int r = 0; r < n; ++r)
    for (int c = 0; c < n; ++c) {
      const double x = (10 + c / 1200.0 - 10.5) * metri_grado;
      int h = static_cast<int>(std::lround(300 + 0.005 * x));
      if (x > 1800 && x < 2200) h -= 40;
      if (vuoto && x > 600 && x < 900) h = -32768;
      b[2 * (static_cast<size_t>(r) * n + c)] = static_cast<char>((h >> 8) & 0xFF);
      b[2 * (static_cast<size_t>(r) * n + c) + 1] = static_cast<char>(h & 0xFF);
    }
  scrivi_tutto(nome, b);
}

}  // namespace

TEST(BozzaMappeFatteAMano, GradientsBridgeTheValleyAndFillAVoid) {
  if (!mappa_xml_disponibile()) GTEST_SKIP() << "le mappe fatte a mano sono XML";
  cartella_temporanea t;
  for (const bool vuoto : {false, true}) {
    const std::string nome = t / (vuoto ? "v_N45E010.hgt" : "N45E010.hgt");
    scrivi_tessera(nome, vuoto);
    const esito_bozza e = bozza_di("ponte.osm", "Inizio", "Fine", {}, {nome});
    ASSERT_EQ(e.errore, "");
    for (const punto_profilo& p : e.b.pendenze) EXPECT_NEAR(p.valore, 5, 1) << p.posizione;
    EXPECT_LE(e.f.scarto_quote, 10);
    int64_t dove = -1;
    EXPECT_EQ(ha_avviso(e, "vuoto nella tessera", &dove), vuoto);
    if (vuoto) {
      EXPECT_NEAR(dove, 600, 80);
    }
  }
}

TEST(BozzaAltimetria, TilesByNameAndSizeInsideTheirArchive) {
  const std::string zip = leggi_tutto(mappe("N50E011.hgt.zip"));
  tessera t;
  std::string e;
  ASSERT_TRUE(leggi_tessera("N50E011.hgt.zip", zip, t, e)) << e;
  EXPECT_EQ(t.lat0, 50);
  EXPECT_EQ(t.lon0, 11);
  EXPECT_EQ(t.lato, 1201);
  double h = 0;
  EXPECT_EQ(quota({t}, {50.9724040, 11.0389126}, h), esito_quota::trovata);  // Erfurt Hbf
  EXPECT_NEAR(h, 198, 15);
  EXPECT_EQ(quota({t}, {51.4769686, 11.9866833}, h), esito_quota::fuori);  // Halle
  EXPECT_FALSE(leggi_tessera("N50E011.hgt.zip", zip.substr(0, zip.size() - 30), t, e));
  EXPECT_NE(e.find("non è un archivio zip leggibile"), std::string::npos) << e;
  EXPECT_FALSE(leggi_tessera("quote.hgt", std::string(1201 * 1201 * 2, '\0'), t, e));
  EXPECT_NE(e.find("il nome non dice l'angolo"), std::string::npos) << e;
  EXPECT_TRUE(leggi_tessera("s05w078.hgt", std::string(3601 * 3601 * 2, '\0'), t, e)) << e;
  EXPECT_EQ(t.lat0 * 1000 + t.lon0, -5 * 1000 - 78);
}

TEST(BozzaMappeFatteAMano, XmlPlainGzipAndBzip2GiveOneDraftOrARefusal) {
  const esito_bozza x = bozza_di("esse.osm", "Inizio", "Fine");
  if (!mappa_xml_disponibile()) {
    EXPECT_NE(x.errore.find("solo in PBF"), std::string::npos) << x.errore;
    return;
  }
  for (const char* f : {"esse.osm.gz", "esse.osm.bz2"}) {
    const esito_bozza c = bozza_di(f, "Inizio", "Fine");
    EXPECT_EQ(c.errore, "") << f;
    EXPECT_EQ(c.linea, x.linea) << f;
    EXPECT_EQ(c.treno, x.treno) << f;
  }
}

// The subcommand: both sources written with the report, or a clear error
// with nothing written.
TEST(BozzaComando, WritesBothSourcesOrNothingWithTheReasons) {
  cartella_temporanea t;
  const std::string mappa = mappe("vde8.2-rail.osm.pbf");
  std::string out;
  ASSERT_EQ(scenario("draft " + mappa + " " + (t / "ok") +
                         " EW 1 --from \"Erfurt Hbf\" --to Weimar --json",
                     &out),
            0)
      << out;
  for (const char* k : {"\"origine\":{\"lat\":", "\"rotta\":", "\"lunghezza\":",
                        "\"stazioni\":[{\"nome\":\"Erfurt Hbf\""})
    EXPECT_NE(out.find(k), std::string::npos) << k << "\n" << out;
  EXPECT_TRUE(esiste_file(t / "ok/EW_linea.txt") && esiste_file(t / "ok/EW_1-.txt"));
  EXPECT_EQ(scenario("check " + (t / "ok") + " EW 1"), 0);
  scrivi_tutto(t / "nonmappa.pbf", "questa non è una mappa\n");
  scrivi_tutto(t / "tronca.pbf", leggi_tutto(mappa).substr(0, 100000));
  scrivi_tutto(t / "N50E011.hgt", std::string(1000, '\0'));
  const struct {
    std::string argomenti, motivo;
  } casi[] = {
      {(t / "nonmappa.pbf") + " --from A --to B", "non è una mappa OpenStreetMap"},
      {(t / "tronca.pbf") + " --from A --to B", "rovinata o troncata"},
      {mappa + " --from \"Erfurt Hbf\" --to Weimr", "i nomi più vicini"},
      {mappe("staccati.osm") + " --from Inizio --to Fine", "nessun percorso sui binari"},
      {mappa + " --from \"Erfurt Hbf\" --to Weimar --dem " + (t / "N50E011.hgt"), "1000 byte"},
  };
  for (const auto& c : casi) {
    EXPECT_EQ(scenario("draft " + c.argomenti.substr(0, c.argomenti.find(' ')) + " " + (t / "no") +
                           " X 1" + c.argomenti.substr(c.argomenti.find(' ')),
                       &out),
              2)
        << c.argomenti;
    if (c.motivo != "nessun percorso sui binari" || mappa_xml_disponibile()) {
      EXPECT_NE(out.find(c.motivo), std::string::npos) << out;
    }
    EXPECT_FALSE(esiste_file(t / "no")) << c.argomenti;
  }
  EXPECT_EQ(scenario("draft " + mappa + " " + (t / "no") + " X 1 --from A"), 64);
  EXPECT_EQ(scenario("draft " + mappa + " " + (t / "no") + " X 1 --from A --to B --margin x"), 64);
  EXPECT_EQ(scenario("draft " + mappa + " " + (t / "no") + " X/Y 1 --from A --to B"), 64);
}
