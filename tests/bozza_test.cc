// scenario draft: lines drafted from OpenStreetMap files and SRTM tiles, the
// real extract of tests/dati/mappe and hand-made maps of known shape.
#include "tool/bozza/bozza.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "aiuti.h"
#include "model/marcia.h"
#include "model/regole.h"
#include "platform/file.h"
#include "platform/testo.h"
#include "tool/bozza/altimetria.h"
#include "tool/bozza/geodesia.h"
#include "tool/bozza/mappa.h"
#include "tool/bozza/markup_xml.h"
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

// A PBF file built here in raw blocks, so that a test puts any byte where it
// wants: nodes (plain, not dense) and ways with their tags.
using etichette_pbf = std::vector<std::pair<std::string, std::string>>;
struct nodo_pbf {
  int64_t id;
  double lat, lon;
  etichette_pbf tag;
};
struct via_pbf {
  int64_t id;
  std::vector<int64_t> nodi;
  etichette_pbf tag;
};

std::string varint(uint64_t v) {
  std::string r;
  do {
    const char b = static_cast<char>(v & 0x7F);
    v >>= 7;
    r += static_cast<char>(b | (v ? 0x80 : 0));
  } while (v);
  return r;
}
uint64_t zz(int64_t v) {
  return (static_cast<uint64_t>(v) << 1) ^ static_cast<uint64_t>(v >> 63);
}
std::string campo(int n, uint64_t v) {
  return varint(static_cast<uint64_t>(n) << 3) + varint(v);
}
std::string campo(int n, const std::string& d) {
  return varint(static_cast<uint64_t>(n) << 3 | 2) + varint(d.size()) + d;
}
std::string blocco_pbf(const std::string& tipo, const std::string& dati) {
  const std::string blob = campo(1, dati);
  const std::string testa = campo(1, tipo) + campo(3, blob.size());
  const size_t n = testa.size();
  return std::string{0, 0, static_cast<char>(n >> 8), static_cast<char>(n & 0xFF)} + testa + blob;
}

std::string pbf(const std::vector<nodo_pbf>& nodi, const std::vector<via_pbf>& vie) {
  std::vector<std::string> testi = {""};
  auto indici = [&](const etichette_pbf& t, bool valori) {
    std::string r;
    for (const auto& [k, v] : t) {
      const std::string& x = valori ? v : k;
      auto i = std::find(testi.begin(), testi.end(), x);
      r += varint(static_cast<uint64_t>(i - testi.begin()));
      if (i == testi.end()) testi.push_back(x);
    }
    return r;
  };
  std::string gruppo;
  for (const nodo_pbf& x : nodi)
    gruppo += campo(1, campo(1, zz(x.id)) + campo(2, indici(x.tag, false)) +
                           campo(3, indici(x.tag, true)) + campo(8, zz(std::llround(x.lat * 1e7))) +
                           campo(9, zz(std::llround(x.lon * 1e7))));
  for (const via_pbf& v : vie) {
    std::string rif;
    for (size_t i = 0; i < v.nodi.size(); ++i)
      rif += varint(zz(v.nodi[i] - (i ? v.nodi[i - 1] : 0)));
    gruppo += campo(3, campo(1, static_cast<uint64_t>(v.id)) + campo(2, indici(v.tag, false)) +
                           campo(3, indici(v.tag, true)) + campo(8, rif));
  }
  std::string tabella;
  for (const std::string& t : testi) tabella += campo(1, t);
  return blocco_pbf("OSMHeader", campo(4, std::string("OsmSchema-V0.6"))) +
         blocco_pbf("OSMData", campo(1, tabella) + campo(2, gruppo));
}

// A straight line east, a node every 100 m, its stops named (the first and
// the last at its ends, one more in the middle).
std::vector<nodo_pbf> nodi_dritti(const std::string& mezzo) {
  std::vector<nodo_pbf> n;
  for (int i = 0; i <= 20; ++i) n.push_back({i + 1, 45.5, 10.5 + i * 0.00128, {}});
  const etichette_pbf fermata = {{"railway", "stop"}, {"public_transport", "stop_position"}};
  n[0].tag = n[10].tag = n[20].tag = fermata;
  n[0].tag.push_back({"name", "Inizio"});
  n[10].tag.push_back({"name", mezzo});
  n[20].tag.push_back({"name", "Fine"});
  return n;
}
std::vector<via_pbf> via_dritta() {
  std::vector<int64_t> ids;
  for (int i = 1; i <= 21; ++i) ids.push_back(i);
  return {{1, ids, {{"railway", "rail"}, {"maxspeed", "100"}}}};
}

// A zip of one entry whose central record says what the test wants.
std::string zip_di(const std::string& nome, uint16_t metodo, uint32_t compressa, uint32_t piena,
                   uint32_t locale, const std::string& dati) {
  auto le = [](uint64_t v, int n) {
    std::string r;
    for (int i = 0; i < n; ++i) r += static_cast<char>((v >> (8 * i)) & 0xFF);
    return r;
  };
  const std::string testa_locale = le(0x04034b50, 4) + le(20, 2) + le(0, 2) + le(metodo, 2) +
                                   le(0, 8) + le(compressa, 4) + le(piena, 4) + le(nome.size(), 2) +
                                   le(0, 2) + nome + dati;
  const std::string centrale = le(0x02014b50, 4) + le(20, 4) + le(0, 2) + le(metodo, 2) + le(0, 8) +
                               le(compressa, 4) + le(piena, 4) + le(nome.size(), 2) + le(0, 8) +
                               le(0, 4) + le(locale, 4) + nome;
  return testa_locale + centrale + le(0x06054b50, 4) + le(0, 4) + le(1, 2) + le(1, 2) +
         le(centrale.size(), 4) + le(testa_locale.size(), 4) + le(0, 2);
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

// What the reader keeps of stops: their kind, whether of buses, platforms
// drawn as ways and the lines of trains through them.
TEST(BozzaMappa, StopsPlatformsAndLinesAsTheMapTagsThem) {
  if (!mappa_xml_disponibile()) GTEST_SKIP() << "la mappa fatta a mano è XML";
  const std::string xml =
      "<osm version='0.6'>"
      "<node id='1' lat='50.0' lon='11.0'/><node id='2' lat='50.001' lon='11.0'/>"
      "<node id='3' lat='50.0005' lon='11.0004'><tag k='railway' v='station'/>"
      "<tag k='name' v='Borgo'/></node>"
      "<node id='4' lat='50.0006' lon='11.001'><tag k='amenity' v='bus_station'/>"
      "<tag k='name' v='Borgo'/></node>"
      "<node id='5' lat='50.0007' lon='11.001'><tag k='public_transport' v='stop_position'/>"
      "<tag k='bus' v='yes'/><tag k='name' v='Borgo'/></node>"
      "<node id='6' lat='50.0' lon='11.0001'/><node id='7' lat='50.001' lon='11.0001'/>"
      "<way id='10'><nd ref='1'/><nd ref='2'/><tag k='railway' v='rail'/></way>"
      "<way id='11'><nd ref='6'/><nd ref='7'/><tag k='railway' v='platform'/>"
      "<tag k='ref' v='1'/></way>"
      "<relation id='20'><member type='way' ref='10' role=''/>"
      "<member type='node' ref='3' role='stop'/><member type='way' ref='99' role=''/>"
      "<tag k='type' v='route'/><tag k='route' v='train'/><tag k='ref' v='RB 1'/></relation>"
      "</osm>";
  mappa_osm m;
  std::string e;
  ASSERT_TRUE(leggi_mappa(xml, m, e)) << e;
  ASSERT_EQ(m.fermate.size(), 3u);
  EXPECT_EQ(m.fermate[0].genere, genere_fermata::stazione);
  EXPECT_TRUE(di_treni(m.fermate[0]));
  EXPECT_FALSE(di_treni(m.fermate[1]));
  EXPECT_FALSE(di_treni(m.fermate[2]));
  ASSERT_EQ(m.banchine.size(), 1u);
  EXPECT_EQ(m.banchine[0].nome, "1");
  EXPECT_EQ(m.banchine[0].nodi.size(), 2u);
  ASSERT_EQ(m.linee.size(), 1u);
  EXPECT_EQ(m.linee[0].ref, "RB 1");
  EXPECT_EQ(m.linee[0].vie.size(), 1u);  // way 99 is not in the file
  ASSERT_EQ(m.linee[0].fermate.size(), 1u);
  EXPECT_EQ(m.nodi[m.linee[0].fermate[0]].id, 3);
  // The list of stops: the station with its line, not the bus stops of its name.
  std::vector<fermata_elencata> v;
  ASSERT_TRUE(elenca_fermate(m, "", v, e)) << e;
  ASSERT_EQ(v.size(), 1u);
  EXPECT_EQ(m.nodi[v[0].f->nodo].id, 3);
  EXPECT_EQ(v[0].linee, std::vector<std::string>{"RB 1"});
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
  // Each station between at its stop position on the route's own track (at
  // Hopfgarten the other track's stands 125 m before it).
  for (size_t k = 1; k + 1 < e.b.stazioni.size(); ++k) {
    const stazione_bozza& x = e.b.stazioni[k];
    auto i = std::find(e.b.strada.nodi.begin(), e.b.strada.nodi.end(), x.nodo);
    ASSERT_NE(i, e.b.strada.nodi.end()) << x.nome;
    const auto n = static_cast<size_t>(i - e.b.strada.nodi.begin());
    EXPECT_LE(std::abs(posizione_nodo(e.b, n) - x.posizione), 25) << x.nome;
  }
  // Weimar at its stop, the line run on past it along the rails as far as
  // its zone reaches.
  const stazione_bozza& w = e.b.stazioni.back();
  EXPECT_LE(std::abs(w.posizione - posizione_nodo(e.b, e.b.strada.tappe.back())), 25);
  EXPECT_EQ(w.lunghezza, 400);
  EXPECT_LE(regole::zona_della_stazione(w.tipo, w.posizione, w.lunghezza, false).fine,
            e.b.lunghezza);
  // Compiles with code 0, and check says nothing: no marker replaced, the
  // signals that moved or went for it named in the report with their nodes.
  esito_compilazione c = compila(e);
  EXPECT_EQ(c.codice_errore, 0);
  for (const avviso& a : c.avvisi) ADD_FAILURE() << a.messaggio;
  EXPECT_EQ(e.f.avvisi_check, 0u);
  int64_t dove_segnale = -1;
  EXPECT_TRUE(ha_avviso(e, "i suoi marcatori cadrebbero", &dove_segnale));
  EXPECT_NE(resoconto_testo(e, {}).find("nodo 5603783845: il segnale spostato di 50 m: i suoi "
                                        "marcatori cadrebbero"),
            std::string::npos);
  // The timetable feed's intercity runs it non-stop in 13 minutes, with a
  // few per cent to spare: the run of that type fits, and no train beats the
  // limits' bound.
  scenario_compilato s;
  compilato_da_memoria(c.compilati, "L", "1", s);
  const int64_t da = e.b.stazioni.front().posizione, a = e.b.stazioni.back().posizione;
  const double ic = regole::corsa_treno(s.celle, da, a,
                                        regole::treno_della_tabella(
                                            s.tabella_linea, *regole::tipo_treno_di("intercity")))
                        .tempo;
  EXPECT_LE(ic, 13 * 60);
  EXPECT_GT(ic, regole::corsa_minima(s.celle, da, a));
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

// Metres from a route node to a point of the map.
double da_nodo(const mappa_osm& m, uint32_t n, coordinate c) {
  const punto d = scarto_locale(m.nodi[n].dove(), c);
  return std::hypot(d.x, d.y);
}

// The drafted sources compile with no warning from check.
void controlla_pulita(const esito_bozza& e, const std::string& chi) {
  const esito_compilazione c = compila(e);
  EXPECT_EQ(c.codice_errore, 0) << chi;
  for (const avviso& a : c.avvisi) ADD_FAILURE() << chi << ": " << a.messaggio;
}

// Every station's zone and stop cell on the line.
void zone_sulla_linea(const esito_bozza& e) {
  for (const stazione_bozza& s : e.b.stazioni) {
    const int64_t fine = regole::zona_della_stazione(s.tipo, s.posizione, s.lunghezza, false).fine;
    EXPECT_LE(fine, e.b.lunghezza) << s.nome;
    EXPECT_LE(regole::cella_fermata(fine).value_or(0) * 50, e.b.lunghezza) << s.nome;
  }
}

}  // namespace

// A station drawn only as a node 40 m beside a double track, a bus station
// and a bus stop position of its name: the line starts, passes or ends at
// the point of the track beside the station, never at the buses'.
TEST(BozzaMappeFatteAMano, AStationBesideTheTrackIsPlacedOnIt) {
  if (!mappa_xml_disponibile()) GTEST_SKIP() << "la mappa fatta a mano è XML";
  const esito_bozza d = bozza_di("accanto.osm", "Centrale", "Est");
  ASSERT_EQ(d.errore, "");
  // The draft's map: the file's, with the points beside the station put in
  // as the draft puts them.
  mappa_osm m;
  std::string err;
  luogo l;
  ASSERT_TRUE(leggi_file_mappa(mappe("accanto.osm"), m, err)) << err;
  ASSERT_TRUE(trova_luogo(m, "Centrale", l, err)) << err;
  EXPECT_EQ(l.accanto.size(), 2u);  // one on each track
  const uint32_t inizio = d.b.strada.nodi.front();
  EXPECT_TRUE(std::binary_search(l.accanto.begin(), l.accanto.end(), inizio));
  EXPECT_NEAR(da_nodo(m, inizio, m.nodi[m.indice(1)].dove()), 1090, 2);
  // On the southern track, the eastbound one: 40 m and the 4.5 between them.
  EXPECT_NEAR(da_nodo(m, inizio, m.nodi[m.indice(33)].dove()), 44.5, 0.5);
  EXPECT_EQ(d.b.stazioni.front().nodo, static_cast<uint32_t>(m.indice(33)));
  zone_sulla_linea(d);
  controlla_pulita(d, "da Centrale");
  // Passed both ways, at its point of each track.
  for (const bool est : {true, false}) {
    const esito_bozza v =
        bozza_di("accanto.osm", est ? "Ovest" : "Est", est ? "Est" : "Ovest", {"Centrale"});
    ASSERT_EQ(v.errore, "");
    ASSERT_EQ(v.b.stazioni.size(), 3u);
    EXPECT_EQ(v.b.stazioni[1].nome, "Centrale");
    EXPECT_LE(std::abs(v.b.stazioni[1].posizione - (est ? 1090 : 3000 - 1090)), 50);
    zone_sulla_linea(v);
    controlla_pulita(v, est ? "verso est" : "verso ovest");
  }
}

// Where the rails end 100 m past the terminus' stop, the line ends with them
// and the terminus keeps its stop with the zone that fits.
TEST(BozzaMappeFatteAMano, TheTerminusWhereTheRailsEndSoonAfterIt) {
  if (!mappa_xml_disponibile()) GTEST_SKIP() << "la mappa fatta a mano è XML";
  const esito_bozza e = bozza_di("capolinea.osm", "Inizio", "Fine");
  ASSERT_EQ(e.errore, "");
  EXPECT_NEAR(static_cast<double>(e.b.lunghezza), 2000, 2);
  EXPECT_EQ(e.b.stazioni.back().posizione, 1900);
  zone_sulla_linea(e);
  controlla_pulita(e, "capolinea");
}

// Places asked out of order: the route that goes round the loop to come back
// is said first, in the report and in --json; in order, nothing.
TEST(BozzaMappeFatteAMano, ADetourIsTheFirstWarning) {
  if (!mappa_xml_disponibile()) GTEST_SKIP() << "la mappa fatta a mano è XML";
  const esito_bozza e = bozza_di("racchetta.osm", "Ovest", "Mezzo", {"Est"});
  ASSERT_EQ(e.errore, "");
  ASSERT_TRUE(e.b.deviazione.presente);
  EXPECT_NEAR(e.b.deviazione.diretta, 3000, 5);
  EXPECT_GT(e.b.deviazione.lunghezza, 8000);
  ASSERT_FALSE(e.b.avvisi.empty());
  EXPECT_EQ(e.b.avvisi[0].testo.find("deviazione: il percorso da «Ovest» per «Est» a «Mezzo»"), 0u)
      << e.b.avvisi[0].testo;
  EXPECT_NE(e.b.avvisi[0].testo.find("--via"), std::string::npos);
  const std::string t = resoconto_testo(e, {"x"});
  EXPECT_EQ(t.find("ATTENZIONE: deviazione"), t.find('\n') + 1) << t;
  EXPECT_EQ(resoconto_json(e, {"x"}).find(
                "{\"deviazione\":{\"fermate\":[\"Ovest\",\"Est\",\"Mezzo\"],\"lunghezza\":"),
            0u);
  const esito_bozza o = bozza_di("racchetta.osm", "Ovest", "Est", {"Mezzo"});
  ASSERT_EQ(o.errore, "");
  EXPECT_FALSE(o.b.deviazione.presente);
  EXPECT_EQ(resoconto_json(o, {}).find("deviazione"), std::string::npos);
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
  ASSERT_EQ(esegui_scenario("draft " + mappa + " " + (t / "ok") +
                                " EW 1 --from \"Erfurt Hbf\" --to Weimar --json",
                            &out),
            0)
      << out;
  for (const char* k : {"\"origine\":{\"lat\":", "\"rotta\":", "\"lunghezza\":",
                        "\"stazioni\":[{\"nome\":\"Erfurt Hbf\""})
    EXPECT_NE(out.find(k), std::string::npos) << k << "\n" << out;
  EXPECT_TRUE(esiste_file(t / "ok/EW_linea.txt") && esiste_file(t / "ok/EW_1-.txt"));
  EXPECT_EQ(esegui_scenario("check " + (t / "ok") + " EW 1"), 0);
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
    EXPECT_EQ(esegui_scenario("draft " + c.argomenti.substr(0, c.argomenti.find(' ')) + " " +
                                  (t / "no") + " X 1" + c.argomenti.substr(c.argomenti.find(' ')),
                              &out),
              2)
        << c.argomenti;
    if (c.motivo != "nessun percorso sui binari" || mappa_xml_disponibile()) {
      EXPECT_NE(out.find(c.motivo), std::string::npos) << out;
    }
    EXPECT_FALSE(esiste_file(t / "no")) << c.argomenti;
  }
  EXPECT_EQ(esegui_scenario("draft " + mappa + " " + (t / "no") + " X 1 --from A"), 64);
  EXPECT_EQ(
      esegui_scenario("draft " + mappa + " " + (t / "no") + " X 1 --from A --to B --margin x"), 64);
  EXPECT_EQ(esegui_scenario("draft " + mappa + " " + (t / "no") + " X/Y 1 --from A --to B"), 64);
}

// A drafted line packs into six files: the notes credit the map as the
// draft's source does, the sheet has every station on its row with its time,
// and the draft's folder stays as it was.
TEST(BozzaComando, APackOfADraftCreditsTheMapAndTimesEveryStation) {
  const esito_bozza e =
      bozza_di("vde8.2-rail.osm.pbf", "Erfurt Hbf", "Weimar", {}, {"N50E011.hgt.zip"});
  ASSERT_EQ(e.errore, "");
  cartella_temporanea t;
  ASSERT_TRUE(file::crea_cartelle(t / "d"));
  scrivi_tutto(t / "d/L_linea.txt", e.linea);
  scrivi_tutto(t / "d/L_1-.txt", e.treno);
  std::string out;
  ASSERT_EQ(esegui_scenario("pack " + (t / "d") + " L 1 --out " + (t / "p"), &out), 0) << out;
  EXPECT_EQ(file::elenco(t / "p").size(), 6u);
  EXPECT_EQ(file::elenco(t / "d").size(), 2u);
  EXPECT_EQ(leggi_tutto(t / "d/L_linea.txt"), e.linea);
  EXPECT_EQ(leggi_tutto(t / "d/L_1-.txt"), e.treno);
  const std::string note = leggi_tutto(t / "p/L_1_note.txt");
  EXPECT_NE(note.find("OpenStreetMap contributors"), std::string::npos) << note;
  EXPECT_NE(note.find("ODbL"), std::string::npos) << note;
  EXPECT_NE(note.find("SRTM"), std::string::npos) << note;
  const std::string scheda = leggi_tutto(t / "p/L_1_scheda_treno.txt");
  size_t da = 0;
  ASSERT_GE(e.b.stazioni.size(), 3u);
  for (const stazione_bozza& x : e.b.stazioni) {
    const size_t p = scheda.find("| " + x.nome + " ", da);
    ASSERT_NE(p, std::string::npos) << x.nome << "\n" << scheda;
    const std::string riga = scheda.substr(p, scheda.find("\r\n", p) - p);
    const int64_t o = x.orario % 86400;
    char ora[16];
    std::snprintf(ora, sizeof ora, " %d.%02d%s ", static_cast<int>(o / 3600),
                  static_cast<int>(o / 60 % 60), o % 60 >= 30 ? "+" : "");
    EXPECT_NE(riga.find(ora), std::string::npos) << riga << " " << ora;
    da = p + 1;
  }
}

// `draft MAP --stops`: the map's railway stops by name, or the nearest to a
// place, with the names a misspelt one suggests; nothing written.
TEST(BozzaComando, ListsTheStopsOfAMapOrThoseNearAPlace) {
  const std::string mappa = mappe("vde8.2-rail.osm.pbf");
  std::string out;
  ASSERT_EQ(esegui_scenario("draft " + mappa + " --stops", &out), 0) << out;
  EXPECT_EQ(out.find("Fermate ferroviarie della mappa: 89\n"), 0u) << out;
  EXPECT_NE(out.find("«Weimar»  posizione di fermata  50.9913884, 11.3262993  (nodo 1377972465)\n"),
            std::string::npos)
      << out;
  ASSERT_EQ(esegui_scenario("draft " + mappa + " --stops --near weimar", &out), 0) << out;
  EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 11) << out;
  EXPECT_NE(out.find("\n  «Weimar»  posizione di fermata  50.9913884, 11.3262993  (nodo "
                     "1377972465)  a 0 m\n"),
            std::string::npos)
      << out;
  EXPECT_NE(out.find("«Hopfgarten»"), std::string::npos) << out;
  EXPECT_EQ(esegui_scenario("draft " + mappa + " --stops --near Weimr", &out), 2);
  EXPECT_NE(out.find("i nomi più vicini: «Weimar»"), std::string::npos) << out;
  EXPECT_EQ(esegui_scenario("draft --stops"), 64);
  EXPECT_EQ(esegui_scenario("draft " + mappa + " cartella --stops"), 64);
  if (!mappa_xml_disponibile()) GTEST_SKIP() << "la mappa fatta a mano è XML";
  ASSERT_EQ(esegui_scenario("draft " + mappe("accanto.osm") + " --stops", &out), 0) << out;
  EXPECT_NE(out.find("«Centrale»  stazione  "), std::string::npos) << out;
  EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 6) << out;  // not the bus stop
}

// Hostile maps and tiles, each a few bytes built here: a refusal that names
// what is wrong, never a fault.
TEST(BozzaLettori, ABrokenOrImpossibleMapIsRefusedWithTheObjectNamed) {
  mappa_osm m;
  std::string e;
  ASSERT_TRUE(leggi_mappa(pbf(nodi_dritti("Mezzo"), via_dritta()), m, e)) << e;
  EXPECT_EQ(m.nodi.size(), 21u);
  // A zeroed byte in a tag's text: libosmium would walk the tags past their end.
  std::vector<nodo_pbf> n = nodi_dritti("Mezzo");
  n[6].tag = {{std::string("na\0me", 5), "x"}};
  EXPECT_FALSE(leggi_mappa(pbf(n, via_dritta()), m, e));
  EXPECT_NE(e.find("etichette del nodo 7 hanno un byte nullo"), std::string::npos) << e;
  std::vector<via_pbf> v = via_dritta();
  v[0].tag.push_back({"usage", std::string("ma\0in", 5)});
  EXPECT_FALSE(leggi_mappa(pbf(nodi_dritti("Mezzo"), v), m, e));
  EXPECT_NE(e.find("etichette della via 1 hanno"), std::string::npos) << e;
  // A node off the Earth would become the plan's origin.
  n = nodi_dritti("Mezzo");
  n[2].lat = 150.97;
  EXPECT_FALSE(leggi_mappa(pbf(n, via_dritta()), m, e));
  EXPECT_NE(e.find("il nodo 3 è a 150.9700000, 10.5025600, fuori dalla Terra"), std::string::npos)
      << e;
  n[2].lat = 45.5, n[2].lon = -180.5;
  EXPECT_FALSE(leggi_mappa(pbf(n, via_dritta()), m, e));
  // A block header without its type.
  std::string d = pbf(nodi_dritti("Mezzo"), via_dritta());
  d.replace(d.find("OSMData"), 7, "OSMDat_");
  EXPECT_FALSE(leggi_mappa(d, m, e));
  EXPECT_NE(e.find("rovinata"), std::string::npos) << e;
}

TEST(BozzaLettori, ZipsThatLieAboutOffsetsOrSizesAreRefusedBeforeAnythingIsAllocated) {
  tessera t;
  std::string e;
  // A local header past 4 GiB, which 32-bit arithmetic wrapped into the file.
  for (uint32_t locale : {0xFFFFFFF0u, 0xFFFFFFE2u, 0xFFFFFFFFu}) {
    EXPECT_FALSE(
        leggi_tessera("N50E011.hgt.zip", zip_di("N50E011.hgt", 0, 4, 4, locale, "abcd"), t, e));
    EXPECT_NE(e.find("non contiene un file .hgt leggibile"), std::string::npos) << e;
  }
  // An entry declaring 4 GiB, or another size than a tile's.
  for (uint32_t piena : {0xFFFFFFFFu, 1201u * 1201 * 2 + 1}) {
    EXPECT_FALSE(
        leggi_tessera("N50E011.hgt.zip", zip_di("N50E011.hgt", 8, 4, piena, 0, "abcd"), t, e));
    EXPECT_NE(e.find(std::to_string(piena) + " byte non sono una tessera SRTM"), std::string::npos)
        << e;
  }
}

// Files far too large for what they claim to be are refused by their size,
// before anything is read (a map, read in pieces, by what it holds); and
// running out of memory is a failure in words.
TEST(BozzaLettori, SizesAreLookedAtBeforeReadingAndMemoryRunningOutIsAFailure) {
  cartella_temporanea t;
  const std::string piccola = t / "piccola.pbf";
  scrivi_tutto(piccola, pbf(nodi_dritti("Mezzo"), via_dritta()));
  const struct {
    std::string nome;
    uint64_t byte;
    std::string argomenti, motivo;
  } casi[] = {
      {"grande.osm.pbf", 6000000000, "", "non è una mappa OpenStreetMap"},
      {"N45E010.hgt", 6000000000, " --dem ", "6000000000 byte non sono una tessera SRTM"},
  };
  for (const auto& c : casi) {
    scrivi_tutto(t / c.nome, "");
    fs::resize_file(t / c.nome, c.byte);  // sparse: no disk is used
    const std::string mappa = c.argomenti.empty() ? t / c.nome : piccola;
    const std::string dem = c.argomenti.empty() ? "" : c.argomenti + (t / c.nome);
    std::string out;
    EXPECT_EQ(esegui_scenario(
                  "draft " + mappa + " " + (t / "no") + " X 1 --from Inizio --to Fine" + dem, &out),
              2);
    EXPECT_NE(out.find(c.motivo), std::string::npos) << out;
    fs::remove(t / c.nome);
  }
  if (kCompattatore != "compattatore") GTEST_SKIP() << "la memoria si limita con ulimit, su Linux";
  const std::string limite = "ulimit -v 600000 && exec ";
  if (esegui(limite + programma(SCENARIO_BIN) + " --version >/dev/null 2>&1") != 0)
    GTEST_SKIP() << "il programma non parte con la memoria limitata (un sanitizer?)";
  // One way of 33 million nodes in a block within its bound: no memory holds
  // what it names.
  const std::string gruppo = campo(3, campo(1, 1) + campo(2, varint(1)) + campo(3, varint(2)) +
                                          campo(8, std::string(33000000, '\0')));
  scrivi_tutto(
      t / "lunga.pbf",
      blocco_pbf("OSMHeader", campo(4, std::string("OsmSchema-V0.6"))) +
          blocco_pbf("OSMData", campo(1, campo(1, "") + campo(1, "railway") + campo(1, "rail")) +
                                    campo(2, gruppo)));
  std::string out;
  EXPECT_EQ(esegui(limite + programma(SCENARIO_BIN) + " draft " + (t / "lunga.pbf") + " " +
                       (t / "no") + " X 1 --from A --to B 2>&1",
                   &out),
            2)
      << out;
  EXPECT_NE(out.find("la memoria non basta"), std::string::npos) << out;
  EXPECT_FALSE(esiste_file(t / "no"));
}

// A stop's name is one text everywhere: in its field of the source, in the
// report on the terminal and in --json, with no control character in any.
TEST(BozzaLettori, StopNamesAreMadeSafeOnceForTheSourceTheTerminalAndJson) {
  cartella_temporanea t;
  scrivi_tutto(t / "m.pbf", pbf(nodi_dritti("Mez\r\n[segnali]\r\nsegnale, 100\tzo\x1b[31m\x7f\xff"),
                                via_dritta()));
  const std::string nome = "Mez [segnali] segnale, 100 zo [31m ÿ";
  std::string json, testo;
  ASSERT_EQ(esegui_scenario(
                "draft " + (t / "m.pbf") + " " + (t / "j") + " L 1 --from Inizio --to Fine --json",
                &json),
            0)
      << json;
  ASSERT_EQ(
      esegui_scenario("draft " + (t / "m.pbf") + " " + (t / "t") + " L 1 --from Inizio --to Fine",
                      &testo),
      0);
  EXPECT_NE(json.find("{\"nome\":\"" + nome + "\""), std::string::npos) << json;
  EXPECT_NE(testo.find("  " + nome + "\n"), std::string::npos) << testo;
  for (const std::string& o : {json, testo})
    for (char c : o) EXPECT_TRUE(c == '\n' || static_cast<unsigned char>(c) >= 0x20) << o;
  const std::string treno = leggi_tutto(t / "j/L_1-.txt");
  EXPECT_EQ(treno, leggi_tutto(t / "t/L_1-.txt"));
  EXPECT_NE(testo::da_1252(treno).find("\"" + nome + "\"\r\n"), std::string::npos) << treno;
  size_t stazioni = 0, sezioni = 0;
  for (size_t i = 0; i < treno.size(); i = treno.find("\r\n", i) + 2) {
    stazioni += treno.compare(i, 8, "stazione") == 0;
    sezioni += treno.compare(i, 9, "[segnali]") == 0;
  }
  EXPECT_EQ(stazioni, 3u);
  EXPECT_EQ(sezioni, 1u);
  for (size_t i = 0; i < treno.size(); ++i)
    if (treno[i] == '\r')
      EXPECT_EQ(treno[i + 1], '\n');
    else
      EXPECT_TRUE(treno[i] == '\n' ||
                  (static_cast<unsigned char>(treno[i]) >= 0x20 && treno[i] != 0x7F));
  EXPECT_EQ(esegui_scenario("check " + (t / "j") + " L 1"), 0);
}

// Stops of one name group by place (within 2.5 km of a place's first stop);
// an error naming many places names a few.
TEST(BozzaLettori, StopsOfOneNameGroupByPlaceAndAnErrorNamesAFewOfMany) {
  std::vector<nodo_pbf> n;
  std::vector<via_pbf> v;
  for (int i = 0; i < 30; ++i)
    for (int k = 0; k < 2; ++k) {
      const int64_t id = 2 * i + k + 1;
      n.push_back({id, 45.5, 10 + i * 0.1 + k * 0.012, {{"railway", "halt"}, {"name", "Uno"}}});
      n.push_back({id + 1000, 45.5, 10 + i * 0.1 + k * 0.012 + 0.001, {}});
      v.push_back({id, {id, id + 1000}, {{"railway", "rail"}}});
    }
  mappa_osm m;
  std::string e;
  ASSERT_TRUE(leggi_mappa(pbf(n, v), m, e)) << e;
  luogo l;
  EXPECT_FALSE(trova_luogo(m, "uno", l, e));
  EXPECT_NE(e.find("«uno» indica 30 luoghi: nodo 1 a 45.5000000, 10.0000000; nodo 3 a"),
            std::string::npos)
      << e;
  EXPECT_EQ(std::count(e.begin(), e.end(), ';'), 10) << e;
  EXPECT_NE(e.find("; e altri 20"), std::string::npos) << e;
  // One place: its two halts, and a station off the rails standing for the
  // nearest point of the track 111 m beside it, made a node (past the file's ids).
  n.resize(4), v.resize(2);
  n.push_back({500, 45.501, 10.0125, {{"railway", "station"}, {"name", "Uno"}}});
  ASSERT_TRUE(leggi_mappa(pbf(n, v), m, e)) << e;
  ASSERT_TRUE(trova_luogo(m, "Uno", l, e)) << e;
  std::vector<int64_t> ids;
  for (uint32_t k : l.nodi) ids.push_back(m.nodi[k].id);
  EXPECT_EQ(ids, (std::vector<int64_t>{1, 2, 1003}));
  ASSERT_EQ(l.accanto.size(), 1u);
  EXPECT_EQ(m.nodi[l.accanto[0]].lon7, 100125000);
  EXPECT_EQ(m.nodi[l.accanto[0]].lat7, 455000000);
}

// The draft replaces an existing source only with --force, as decompile does:
// the map itself when it has a source's name; and --via is held to what the
// table can hold.
TEST(BozzaComando, ReplacesSourcesOnlyWithForceAndHoldsViaToTheTable) {
  cartella_temporanea t;
  const std::string mappa = pbf(nodi_dritti("Mezzo"), via_dritta());
  scrivi_tutto(t / "m.pbf", mappa);
  const std::string bozza =
      "draft " + (t / "m.pbf") + " " + (t / "d") + " L 1 --from Inizio --to Fine";
  ASSERT_EQ(esegui_scenario(bozza), 0);
  scrivi_tutto(t / "d/L_1-.txt", "mio");
  std::string out;
  EXPECT_EQ(esegui_scenario(bozza, &out), 2);
  EXPECT_NE(out.find("L_linea.txt esiste già: --force per sostituirlo"), std::string::npos) << out;
  EXPECT_EQ(leggi_tutto(t / "d/L_1-.txt"), "mio");
  EXPECT_EQ(esegui_scenario(bozza + " --force"), 0);
  EXPECT_NE(leggi_tutto(t / "d/L_1-.txt"), "mio");
  scrivi_tutto(t / "d/M_linea.txt", mappa);
  EXPECT_EQ(esegui_scenario(
                "draft " + (t / "d/M_linea.txt") + " " + (t / "d") + " M 1 --from Inizio --to Fine",
                &out),
            2);
  EXPECT_EQ(leggi_tutto(t / "d/M_linea.txt"), mappa);
  std::string via;
  for (int i = 0; i < 77; ++i) via += " --via Mezzo";
  EXPECT_EQ(esegui_scenario(bozza + " --force" + via, &out), 64);
  EXPECT_NE(out.find("--via al più 76 volte"), std::string::npos) << out;
}

// The open markup at the end of a compressed map's pieces, however they are
// cut: the pieces grow with it, so that expat does not scan it again and
// again. Each case: the text, and where its open markup starts (npos: none).
TEST(BozzaLettori, OpenMarkupIsFollowedThroughCommentsQuotesAndSectionsAcrossPieces) {
  constexpr size_t no = std::string::npos;
  const std::pair<std::string, size_t> casi[] = {
      {"<osm a='1'>testo > altro", no},
      {"<osm><!-- a > b -- > c -", 5},
      {"<osm><!-- a > b --->", no},
      {"<tag k='a>b' v=\"c>", 0},
      {"<tag k='a>b'/>", no},
      {"x<![CDATA[ ]> ]]", 1},
      {"<![CDATA[ ]> ]]]>", no},
      {"<?pi a='?' > ?", 0},
      {"<?pi ?"
       "?>",
       no},
      {"<!DOCTYPE osm [ <!ENTITY a 'x>'> ]", 0},
      {"<!DOCTYPE osm [ <!ENTITY a 'x>'> ]>", no},
      {"a &amp", 2},
      {"a &amp;", no},
  };
  for (const auto& [xml, da] : casi)
    for (size_t taglio = 0; taglio <= xml.size(); ++taglio) {
      markup_xml m;
      m.leggi(std::string_view(xml).substr(0, taglio));
      m.leggi(std::string_view(xml).substr(taglio));
      EXPECT_EQ(m.aperto(), da == no ? 0 : xml.size() - da) << xml << " tagliato a " << taglio;
    }
}

namespace {

// The header block every PBF map opens with, and the data blocks of a map
// without it: blocks of several maps put one after the other.
const std::string kTestaPbf = blocco_pbf("OSMHeader", campo(4, std::string("OsmSchema-V0.6")));
std::string blocchi_dati(const std::vector<nodo_pbf>& n, const std::vector<via_pbf>& v) {
  return pbf(n, v).substr(kTestaPbf.size());
}

}  // namespace

// The second pass keeps the nodes of the rails and every stop, wherever the
// blocks put them (the ways first here) and in whatever order of ids, from
// the whole range (negative as an editor's new objects, past 2^40); the
// nodes of a road, and a node of other tags, go.
TEST(BozzaLettori, TheNodesKeptAreTheRailsAndTheStopsInAnyOrderOfBlocksAndIds) {
  std::vector<nodo_pbf> n = nodi_dritti("Mezzo");
  std::vector<via_pbf> v = via_dritta();
  std::vector<int64_t> ids;
  for (int i = 0; i < 21; ++i) ids.push_back((i * 8 % 21 - 10) * 1000000007LL + (int64_t{1} << 40));
  ids[3] = -7, ids[4] = INT64_MAX / 2;
  for (int i = 0; i < 21; ++i) n[i].id = v[0].nodi[i] = ids[i];
  std::reverse(n.begin(), n.end());
  n.push_back({900, 45.5004, 10.5128, {{"railway", "station"}, {"name", "Accanto"}}});
  n.push_back({901, 45.5005, 10.5129, {{"highway", "bus_stop"}, {"name", "Mezzo"}}});
  n.push_back({902, 45.5006, 10.5130, {{"amenity", "bench"}, {"name", "Panchina"}}});
  for (int64_t id = 903; id <= 905; ++id) n.push_back({id, 45.51, 10.5 + id * 1e-5, {}});
  v.push_back({2, {903, 904, 905}, {{"highway", "residential"}}});
  std::vector<int64_t> attesi = ids;
  attesi.insert(attesi.end(), {900, 901});
  std::sort(attesi.begin(), attesi.end());

  cartella_temporanea t;
  scrivi_tutto(t / "m.pbf", kTestaPbf + blocchi_dati({}, v) + blocchi_dati(n, {}));
  mappa_osm m;
  std::string e;
  ASSERT_TRUE(leggi_file_mappa(t / "m.pbf", m, e)) << e;
  std::vector<int64_t> tenuti;
  for (const nodo_osm& x : m.nodi) tenuti.push_back(x.id);
  EXPECT_EQ(tenuti, attesi);
  ASSERT_EQ(m.vie.size(), 1u);
  ASSERT_EQ(m.vie[0].nodi.size(), 21u);
  for (size_t i = 0; i < 21; ++i) EXPECT_EQ(m.nodi[m.vie[0].nodi[i]].id, ids[i]) << i;
  std::vector<std::string> fermate;
  for (const fermata_osm& f : m.fermate)
    fermate.push_back(f.nome + "@" + std::to_string(m.nodi[f.nodo].id));
  EXPECT_EQ(fermate, (std::vector<std::string>{
                         "Fine@" + std::to_string(ids[20]), "Mezzo@" + std::to_string(ids[10]),
                         "Inizio@" + std::to_string(ids[0]), "Accanto@900", "Mezzo@901"}));
  // A way's node that no block holds refuses the map as before.
  scrivi_tutto(t / "m.pbf", kTestaPbf + blocchi_dati({}, v) +
                                blocchi_dati(std::vector<nodo_pbf>(n.begin() + 1, n.end()), {}));
  EXPECT_FALSE(leggi_file_mappa(t / "m.pbf", m, e));
  EXPECT_NE(e.find("nomina il nodo " + std::to_string(ids[20]) + ", che la mappa non ha"),
            std::string::npos)
      << e;
}

// A map is a file of any size, read in pieces to its end: the file at
// offsets past 4 GiB, where 32 bits wrap; blocks of 32 MB that hold nothing
// before the line, which is drafted as from the small map. What is no file
// is refused by name, without being opened.
TEST(BozzaLettori, AMapIsAFileOfAnySizeReadToItsEnd) {
  cartella_temporanea t;
  const uint64_t lontano = (uint64_t{1} << 32) + 7;
  {
    std::ofstream f(t / "sparso", std::ios::binary);
    f.seekp(static_cast<std::streamoff>(lontano));
    f << "lontano";
  }
  file::lettore l;
  ASSERT_EQ(l.apri(t / "sparso").esito, file::esito_lettura::letto);
  EXPECT_EQ(l.dimensione(), lontano + 7);
  std::string d(16, '\0');
  EXPECT_EQ(l.leggi(lontano - 2, d.data(), d.size()), 9u);
  EXPECT_EQ(d.substr(0, 9), std::string("\0\0lontano", 9));
  EXPECT_EQ(l.leggi(lontano + 7, d.data(), d.size()), 0u);
  fs::remove(t / "sparso");

  const std::string dati = blocchi_dati(nodi_dritti("Mezzo"), via_dritta());
  scrivi_tutto(t / "piccola.pbf", kTestaPbf + dati);
  {
    std::ofstream f(t / "grande.pbf", std::ios::binary);
    f << kTestaPbf;
    // A block holding one field no reader knows, of zeros: a hole in the file.
    const uint64_t vuoti = (uint64_t{32} << 20) - 16;
    const std::string blocco = varint(15 << 3 | 2) + varint(vuoti);
    const std::string blob = varint(1 << 3 | 2) + varint(blocco.size() + vuoti) + blocco;
    const std::string testa = campo(1, std::string("OSMData")) + campo(3, blob.size() + vuoti);
    for (int i = 0; i < 3; ++i) {
      f << std::string{0, 0, 0, static_cast<char>(testa.size())} << testa << blob;
      f.seekp(static_cast<std::streamoff>(vuoti), std::ios::cur);
    }
    f << dati;
  }
  std::string out;
  for (const char* m : {"piccola", "grande"})
    ASSERT_EQ(esegui_scenario(std::string("draft ") + (t / m) + ".pbf " + (t / m) +
                                  " L 1 --from Inizio --to Fine",
                              &out),
              0)
        << out;
  EXPECT_EQ(leggi_tutto(t / "grande/L_linea.txt"), leggi_tutto(t / "piccola/L_linea.txt"));
  EXPECT_EQ(leggi_tutto(t / "grande/L_1-.txt"), leggi_tutto(t / "piccola/L_1-.txt"));

  fs::create_directory(t / "cartella.pbf");
  std::vector<std::pair<std::string, std::string>> casi = {
      {t / "cartella.pbf", "è una cartella, non un file"},
      {t / "manca.pbf",
       "impossibile leggere la mappa " + (t / "manca.pbf") + ": il file non esiste"}};
  if (kCompattatore == "compattatore" && esegui("mkfifo " + (t / "fifo.pbf")) == 0)
    casi.push_back({t / "fifo.pbf", "è una FIFO, non un file"});
  for (const auto& [mappa, motivo] : casi) {
    EXPECT_EQ(
        esegui_scenario("draft " + mappa + " " + (t / "no") + " L 1 --from Inizio --to Fine", &out),
        2);
    EXPECT_NE(out.find(motivo), std::string::npos) << out;
    EXPECT_FALSE(esiste_file(t / "no/L_linea.txt"));
  }
}

// A long read shows how far it has gone where standard error is a terminal,
// and nothing where it is not.
TEST(BozzaLettori, ProgressShowsOnATerminalOnly) {
  const std::string bozza = programma(SCENARIO_BIN) + " draft " + mappe("vde8.2-rail.osm.pbf");
  cartella_temporanea t;
  std::string out;
  ASSERT_EQ(esegui_scenario("draft " + mappe("vde8.2-rail.osm.pbf") + " " + (t / "a") +
                                " L 1 --from \"Erfurt Hbf\" --to Weimar",
                            &out),
            0);
  EXPECT_EQ(out.find("lettura della mappa"), std::string::npos) << out;
  if (kCompattatore != "compattatore") GTEST_SKIP() << "il terminale si finge con script, su Linux";
  if (esegui("script --version >/dev/null 2>&1") != 0) GTEST_SKIP() << "manca script (util-linux)";
  ASSERT_EQ(esegui("script -qec '" + bozza + " " + (t / "b") +
                       " L 1 --from \"Erfurt Hbf\" --to Weimar' /dev/null </dev/null",
                   &out),
            0)
      << out;
  for (const char* passo : {"\rlettura della mappa, passo 1 di 2 (vie e relazioni): 0.0 di 0.1 MB",
                            "\rlettura della mappa, passo 2 di 2 (nodi): 0.0 di 0.1 MB, 0%"})
    EXPECT_NE(out.find(passo), std::string::npos) << out;
  EXPECT_EQ(leggi_tutto(t / "a/L_linea.txt"), leggi_tutto(t / "b/L_linea.txt"));
}
