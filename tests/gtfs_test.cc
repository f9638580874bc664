// Timetable feeds: hand-made ones of known rows in a folder, the cut of a real
// feed in tests/dati/orari, and broken ones.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "aiuti.h"
#include "model/regole.h"
#include "tool/bozza/mappa.h"
#include "tool/bozza/orari_gtfs.h"
#include "tool/bozza/resoconto.h"
#include "tool/bozza/stesura.h"
#include "tool/pacchetto/pacchetto.h"

namespace fs = std::filesystem;
using namespace bozza;

namespace {

std::string feed_vero() {
  return (fs::path(__FILE__).parent_path() / "dati" / "orari" / "erfurt-weimar.gtfs.zip").string();
}

// A feed's files with what RFC 4180 allows: a byte order mark, CR LF, quoted
// fields with commas, doubled quotes and a line break, columns in another
// order and some missing; times past midnight, a stop without a time, stop
// times out of order.
std::map<std::string, std::string> feed_a_mano() {
  return {
      {"stops.txt",
       "\xEF\xBB\xBFstop_lon,stop_name,stop_id,location_type,parent_station,stop_lat\r\n"
       "11.0,\"Alfa, Centrale\",A,1,,50.0\r\n"
       "11.0,\"Alfa, Centrale\",A1,0,A,50.0\r\n"
       "11.1,\"Beta \"\"Nord\"\"\",B,,,50.1\r\n"
       "11.2,\"Gamma\r\nbassa\",C,,,50.2\r\n"},
      {"routes.txt", "route_id,route_short_name\nR1,RE 1\n"},
      {"trips.txt", "trip_id,service_id,route_id\nT1,S1,R1\nT2,S2,R1"},
      {"stop_times.txt",
       "trip_id,stop_id,stop_sequence,arrival_time,departure_time\n"
       "T1,C,3,25:10:00,25:10:00\n"
       "T1,B,2,,\n"
       "T1,A1,1,23:50:00,23:55:00\n"
       "T2,B,1,8:00:00,08:00:00\n"
       "T2,A1,2,08:30:00,08:30:00\n"},
      {"calendar.txt",
       "service_id,monday,tuesday,wednesday,thursday,friday,saturday,sunday,start_date,end_date\n"
       "S1,1,1,1,1,1,0,0,20231204,20231215\n"},
      {"calendar_dates.txt",
       "service_id,date,exception_type\nS1,20231208,2\nS1,20231216,1\nS2,20231225,1\n"
       "S2,20231224,1\n"},
  };
}

std::string scrivi_feed(const cartella_temporanea& t,
                        const std::map<std::string, std::string>& cambi = {}) {
  std::map<std::string, std::string> f = feed_a_mano();
  for (const auto& [n, d] : cambi) f[n] = d;
  for (const auto& [n, d] : f)
    if (d != "-") scrivi_tutto(t / n, d);
  return t.percorso;
}

std::string mappa(const std::string& nome) {
  return (fs::path(__FILE__).parent_path() / "dati" / "mappe" / nome).string();
}

esito_bozza bozza_della_corsa(const std::string& m, const std::string& feed,
                              const std::string& corsa) {
  opzioni_bozza o;
  o.mappa = mappa(m), o.gtfs = feed, o.corsa = corsa;
  o.cartella = ".", o.linea = "L", o.treno = "1";
  return disegna_bozza(o);
}

// The drafted stations as "name hh:mm:ss" ("name -" untimed).
std::vector<std::string> stazioni(const esito_bozza& e) {
  std::vector<std::string> r;
  for (const stazione_bozza& x : e.b.stazioni)
    r.push_back(x.nome + " " + (x.orario > 0 ? regole::ora_testo(x.orario) : "-"));
  return r;
}

}  // namespace

TEST(GtfsCsv, QuotesBomLineBreaksAndColumnsInAnyOrderGiveTheRowsWritten) {
  cartella_temporanea t;
  esito<orari_feed> f = leggi_feed(scrivi_feed(t));
  ASSERT_TRUE(f) << f.errore().messaggio();
  ASSERT_EQ(f->fermate.size(), 4u);
  const fermata_feed &a = f->fermate[0], &a1 = f->fermate[1];
  EXPECT_EQ(a.id, "A");
  EXPECT_EQ(a.nome, "Alfa, Centrale");
  EXPECT_EQ(a.tipo, 1);
  EXPECT_EQ(a1.stazione, 0u);
  EXPECT_DOUBLE_EQ(a1.lat, 50.0);
  EXPECT_DOUBLE_EQ(a1.lon, 11.0);
  EXPECT_EQ(f->fermate[2].nome, "Beta \"Nord\"");
  EXPECT_EQ(f->fermate[3].nome, "Gamma bassa");
  EXPECT_EQ(f->linee[0].breve, "RE 1");
  // By the station's name, without case or blanks: the station and its platform.
  EXPECT_EQ(fermate_di(*f, "ALFA ,CENTRALE"), (std::vector<uint32_t>{0, 1}));
  EXPECT_TRUE(fermate_di(*f, "Alfa").empty());

  esito<std::vector<passaggio_feed>> p = passaggi_corsa(*f, "T1");
  ASSERT_TRUE(p) << p.errore().messaggio();
  ASSERT_EQ(p->size(), 3u);
  EXPECT_EQ((*p)[0].fermata, 1u);
  EXPECT_EQ((*p)[0].arrivo, regole::secondi_del_giorno(23, 50, 0));
  EXPECT_EQ((*p)[0].partenza, regole::secondi_del_giorno(23, 55, 0));
  EXPECT_EQ((*p)[1].arrivo, -1);
  EXPECT_EQ((*p)[2].arrivo, regole::kGiorno + regole::secondi_del_giorno(1, 10, 0));

  // The draft's view: the station's name and id for its platform.
  esito<std::vector<fermata_corsa>> c = fermate_corsa(*f, "T1");
  ASSERT_TRUE(c) << c.errore().messaggio();
  ASSERT_EQ(c->size(), 3u);
  EXPECT_EQ((*c)[0].id, "A1");
  EXPECT_EQ((*c)[0].nome, "Alfa, Centrale");
  EXPECT_EQ((*c)[0].stazione, "A");
  EXPECT_EQ((*c)[2].stazione, "C");
  c = fermate_corsa(*f, "T1", "beta \"nord\"", "");
  ASSERT_TRUE(c) << c.errore().messaggio();
  EXPECT_EQ(c->size(), 2u);
}

TEST(GtfsCorse, OnlyTripsCallingAtTheFirstThenTheSecondAndTheirDaysForAPerson) {
  cartella_temporanea t;
  esito<orari_feed> f = leggi_feed(scrivi_feed(t));
  ASSERT_TRUE(f) << f.errore().messaggio();
  esito<std::vector<corsa_fra>> c = corse_fra(*f, "Alfa, Centrale", "Gamma bassa");
  ASSERT_TRUE(c) << c.errore().messaggio();
  ASSERT_EQ(c->size(), 1u);
  EXPECT_EQ(f->corse[(*c)[0].corsa].id, "T1");
  EXPECT_EQ((*c)[0].ultima.fermata, 3u);
  c = corse_fra(*f, "Beta \"Nord\"", "Alfa, Centrale");
  ASSERT_TRUE(c) << c.errore().messaggio();
  ASSERT_EQ(c->size(), 1u);
  EXPECT_EQ(f->corse[(*c)[0].corsa].id, "T2");
  EXPECT_FALSE(corse_fra(*f, "Alfa, Centrale", "Delta"));

  // The week and its range, a weekday taken away, a Saturday added; a service
  // of two dates alone.
  EXPECT_EQ(giorni_servizio(f->servizi[f->corse[0].servizio]),
            "lun-ven, dal 4/12/2023 al 15/12/2023, tranne 8/12/2023, e anche 16/12/2023");
  EXPECT_EQ(giorni_servizio(f->servizi[f->corse[1].servizio]), "solo 24/12/2023, 25/12/2023");
  servizio_feed s;
  s.settimana = true, s.giorni = 0b1010101, s.dal = 19695, s.al = 19701;  // 4-10/12/2023
  EXPECT_EQ(giorni_servizio(s), "lun, mer, ven, dom, dal 4/12/2023 al 10/12/2023");
  s.giorni = 0x7F;
  EXPECT_EQ(giorni_servizio(s), "tutti i giorni, dal 4/12/2023 al 10/12/2023");

  // The trip runs the other way: --from after --to.
  esito<std::vector<fermata_corsa>> x = fermate_corsa(*f, "T2", "Alfa, Centrale", "Beta \"Nord\"");
  ASSERT_FALSE(x);
  EXPECT_NE(x.errore().testo.find(
                "--from dopo --to: la corsa T2 ferma a Beta \"Nord\" prima di Alfa, Centrale"),
            std::string::npos);
}

TEST(GtfsFeedVero, TheTwentyTwoTripsFromErfurtToWeimarAndTheTripPastMidnight) {
  esito<orari_feed> f = leggi_feed(feed_vero());
  ASSERT_TRUE(f) << f.errore().messaggio();
  EXPECT_NE(f->editore.find("DELFI e.V."), std::string::npos);
  esito<std::vector<fermata_corsa>> c =
      fermate_corsa(*f, "353442", "erfurt hbf", "Halle (Saale) Hbf");
  ASSERT_TRUE(c) << c.errore().messaggio();
  ASSERT_EQ(c->size(), 3u);
  EXPECT_EQ((*c)[0].partenza, regole::kGiorno + regole::secondi_del_giorno(3, 21, 0));
  EXPECT_EQ((*c)[1].nome, "Naumburg(Saale)Hbf");
  EXPECT_EQ((*c)[1].arrivo, regole::kGiorno + regole::secondi_del_giorno(4, 3, 0));
  EXPECT_EQ((*c)[1].partenza, regole::kGiorno + regole::secondi_del_giorno(4, 5, 0));
  EXPECT_EQ((*c)[2].arrivo, regole::kGiorno + regole::secondi_del_giorno(4, 33, 0));
  EXPECT_NEAR((*c)[2].lat, 51.477, 0.01);

  std::string u;
  ASSERT_EQ(esegui_scenario(
                "draft x --gtfs " + feed_vero() + " --trips --from \"Erfurt Hbf\" --to Weimar", &u),
            0)
      << u;
  EXPECT_NE(u.find("22 corse da Erfurt Hbf a Weimar nel feed di gtfs.de"), std::string::npos) << u;
  EXPECT_NE(u.find("121045  IC 51 (Intercity)  Erfurt Hbf 08:42/08:44 -> Weimar 08:57/08:59\n"
                   "    lun-sab, dal 4/12/2023 al 9/12/2023; da "),
            std::string::npos)
      << u;
  EXPECT_EQ(
      esegui_scenario("draft x --gtfs " + feed_vero() + " --trips --from Weimar --to Nessuna", &u),
      2);
  EXPECT_NE(u.find("nessuna fermata del feed si chiama Nessuna"), std::string::npos) << u;
  EXPECT_EQ(esegui_scenario("draft x --trips --from Weimar --to Erfurt", &u), 64);
}

TEST(GtfsGuasti, ABrokenFeedIsRefusedWithItsFileAndLine) {
  const std::vector<std::pair<std::map<std::string, std::string>, std::string>> casi = {
      {{{"stop_times.txt",
         "trip_id,stop_id,stop_sequence,arrival_time,departure_time\n"
         "T1,A1,1,08:00:00,08:00:00\nT1,B,2,25:99:00,\n"}},
       "stop_times.txt:3: arrival_time '25:99:00' non è un'ora"},
      {{{"stop_times.txt",
         "trip_id,stop_id,stop_sequence,arrival_time,departure_time\n"
         "T1,Z,1,08:00:00,08:00:00\n"}},
       "stop_times.txt:2: stop_id Z non è in stops.txt"},
      {{{"stops.txt", "stop_id,stop_name,stop_lat,stop_lon\nA,\"Alfa,50,11\n"}},
       "stops.txt:2: virgolette aperte fino alla fine del file"},
      {{{"stops.txt", "stop_id,stop_name,stop_lat,stop_lon\nA,\"Alfa\"x,50,11\n"}},
       "stops.txt:2: testo dopo le virgolette"},
      {{{"stops.txt", "stop_id,stop_name,stop_lat,stop_lon\nA,Alfa,50,11\nB,Beta,91,11\n"}},
       "stops.txt:3: stop_lat '91' non è una latitudine"},
      {{{"stops.txt", "stop_id,stop_name,stop_lat,stop_lon,parent_station\nA,Alfa,50,11,Q\n"}},
       "stops.txt:2: parent_station Q non è una fermata"},
      {{{"trips.txt", "route_id,service_id\nR1,S1\n"}}, "trips.txt:1: manca la colonna trip_id"},
      {{{"trips.txt", "trip_id,service_id,route_id\nT1,S1,R9\n"}},
       "trips.txt:2: route_id R9 non è in routes.txt"},
      {{{"calendar.txt",
         "service_id,monday,tuesday,wednesday,thursday,friday,saturday,sunday,"
         "start_date,end_date\nS1,1,1,1,1,1,0,0,20231204,20231232\n"}},
       "calendar.txt:2: end_date '20231232' non è una data"},
      {{{"stops.txt", "-"}}, "il feed non ha stops.txt"},
  };
  for (const auto& [cambi, atteso] : casi) {
    cartella_temporanea t;
    esito<orari_feed> f = leggi_feed(scrivi_feed(t, cambi));
    std::string m;
    if (!f)
      m = f.errore().messaggio();
    else if (esito<std::vector<corsa_fra>> c = corse_fra(*f, "Alfa, Centrale", "Gamma bassa"); !c)
      m = c.errore().messaggio();
    EXPECT_NE(m.find(atteso), std::string::npos) << atteso << "\n" << m;
  }

  // Archives: not one, cut short, a byte of the data changed.
  cartella_temporanea t;
  const std::string z = leggi_tutto(feed_vero());
  scrivi_tutto(t / "testo.zip", "trip_id\n");
  scrivi_tutto(t / "corto.zip", z.substr(0, z.size() / 2));
  std::string cambiato = z;
  cambiato[z.size() / 3] = static_cast<char>(cambiato[z.size() / 3] ^ 0x5A);
  scrivi_tutto(t / "cambiato.zip", cambiato);
  for (const char* n : {"testo.zip", "corto.zip", "cambiato.zip"}) {
    esito<orari_feed> f = leggi_feed(t / n);
    std::string m = f ? "" : f.errore().messaggio();
    if (f)
      if (esito<std::vector<corsa_fra>> c = corse_fra(*f, "Erfurt Hbf", "Weimar"); !c)
        m = c.errore().messaggio();
    EXPECT_NE(m.find(n == std::string("cambiato.zip") ? "rovinato" : "non è un archivio zip"),
              std::string::npos)
        << n << ": " << m;
  }
  std::string u;
  EXPECT_EQ(esegui_scenario("draft x --gtfs " + (t / "corto.zip") + " --trips --from A --to B", &u),
            2);
  EXPECT_NE(u.find("corto.zip: non è un archivio zip leggibile"), std::string::npos) << u;
}

TEST(GtfsBozza, TheRealTrainsStopsAndTimesMatchedByPositionOnTheSharedMap) {
  // IC 51 non-stop from Erfurt to Weimar: the stops past the extract left out.
  esito_bozza e = bozza_della_corsa("vde8.2-rail.osm.pbf", feed_vero(), "121045");
  ASSERT_EQ(e.errore, "");
  EXPECT_EQ(stazioni(e), (std::vector<std::string>{"Erfurt Hbf 08:44:00", "Vieselbach -",
                                                   "Hopfgarten -", "Weimar 08:57:00"}));
  EXPECT_EQ(e.f.avvisi_check, 0u) << (e.f.testi_check.empty() ? "" : e.f.testi_check[0]);
  ASSERT_EQ(e.b.tratte.size(), 1u);
  EXPECT_EQ(e.b.tratte[0].prevista, 13 * 60);
  EXPECT_GT(e.b.tratte[0].marcia, 5 * 60);
  EXPECT_EQ(e.b.tratte[0].lento, "");
  const std::string r = resoconto_testo(e, {});
  EXPECT_NE(r.find("da «Erfurt Hbf» a «Weimar»: previsti 13 min, la marcia "), std::string::npos)
      << r;
  EXPECT_NE(r.find("(prima di «Erfurt Hbf»): «Kassel Bahnhof Wilhelmshöhe», «Bebra»"),
            std::string::npos);
  EXPECT_NE(e.treno.find("orologio,                    8, 44, 0"), std::string::npos);
  // The feed's credit is where pack takes the notes' sources from.
  const std::vector<std::string> c = pacchetto::crediti_sorgente(e.treno, false);
  ASSERT_EQ(c.size(), 1u);
  EXPECT_NE(c[0].find("DELFI e.V."), std::string::npos) << c[0];
  EXPECT_NE(c[0].find("CC BY 4.0"), std::string::npos) << c[0];

  // Past midnight: the next day's clock, the dwell in its own field, the
  // feed's names on a map whose names differ, through Weimar without a stop.
  e = bozza_della_corsa("vde8.2-rail.osm.pbf", feed_vero(), "353442");
  ASSERT_EQ(e.errore, "");
  std::vector<std::string> orari;
  bool weimar = false;
  for (const stazione_bozza& x : e.b.stazioni) {
    if (x.orario > 0) orari.push_back(x.nome + " " + regole::ora_testo(x.orario % regole::kGiorno));
    weimar |= x.nome == "Weimar" && x.orario == 0;
  }
  EXPECT_EQ(orari, (std::vector<std::string>{"Erfurt Hbf 03:21:00", "Naumburg(Saale)Hbf 04:03:00",
                                             "Halle(Saale)Hbf 04:33:00"}));
  EXPECT_TRUE(weimar);
  EXPECT_NE(e.treno.find(", 120, 4,  3, 0, Naumburg(Saale)Hbf"), std::string::npos) << e.treno;
  EXPECT_EQ(e.f.avvisi_check, 0u) << (e.f.testi_check.empty() ? "" : e.f.testi_check[0]);
  EXPECT_EQ(e.b.tratte.size(), 2u);
}

TEST(GtfsBozza, ALegTooTightIsAWarningAndBadTripsAreRefusedWithNothingWritten) {
  if (!bozza::mappa_xml_disponibile()) GTEST_SKIP() << "la mappa fatta a mano è XML";
  // Hand-made stops by the map's Ovest, Mezzo and Est under other names, and
  // one far away: at the start it is left out, in the middle refused.
  cartella_temporanea t;
  scrivi_tutto(t / "stops.txt",
               "stop_id,stop_name,stop_lat,stop_lon\nL,Lontana,46.0,11.0\n"
               "P,Prima Centrale,45.5008,10.5002\nM,Mezzo Paese,45.4995,10.5128\n"
               "E,Est Ultima,45.5003,10.5255\n");
  scrivi_tutto(t / "trips.txt", "trip_id,service_id,route_id\nN1,S,R\nN2,S,R\n");
  scrivi_tutto(t / "routes.txt", "route_id,route_short_name\nR,RE 9\n");
  scrivi_tutto(t / "stop_times.txt",
               "trip_id,stop_id,stop_sequence,arrival_time,departure_time\n"
               "N1,L,1,23:00:00,23:00:00\nN1,P,2,23:58:00,23:59:00\n"
               "N1,M,3,24:01:30,24:02:30\nN1,E,4,24:03:00,24:03:00\n"
               "N2,P,1,10:00:00,10:00:00\nN2,L,2,10:05:00,10:05:00\nN2,E,3,10:10:00,10:10:00\n");
  esito_bozza e = bozza_della_corsa("racchetta.osm", t.percorso, "N1");
  ASSERT_EQ(e.errore, "");
  EXPECT_EQ(stazioni(e), (std::vector<std::string>{"Prima Centrale 23:59:00",
                                                   "Mezzo Paese 00:01:30", "Est Ultima 00:03:00"}));
  ASSERT_EQ(e.b.tratte.size(), 2u);
  EXPECT_EQ(e.b.tratte[0].lento, "");
  EXPECT_EQ(e.b.tratte[1].prevista, 30);
  size_t stretti = 0;
  for (const avviso_bozza& a : e.b.avvisi)
    stretti += a.testo.find("non tiene l'orario da «Mezzo Paese» a «Est Ultima»: 30 s previsti") !=
                   std::string::npos &&
               a.testo.find("il limite di 100 km/h da 1000 m a 2000 m") != std::string::npos;
  EXPECT_EQ(stretti, 1u);

  const std::string base = programma(SCENARIO_BIN) + " draft " + mappa("racchetta.osm") + " " +
                           (t / "out") + " R 1 --gtfs ";
  const std::vector<std::tuple<std::string, int, std::string>> casi = {
      {t.percorso + " --trip N2", 2, "la fermata «Lontana» della corsa N2 non è sulla mappa"},
      {t.percorso + " --trip N9", 2, "la corsa N9 non è nel feed"},
      {feed_vero() + " --trip 121045", 2, "nessuna fermata della corsa 121045 è sulla mappa"},
      {t.percorso + " --trip N1 --from Est --to \"Mezzo Paese\"", 2,
       "la corsa N1 ferma a «Mezzo Paese» prima che a «Est»"},
      {t.percorso + " --trip N1 --via Mezzo", 64, "niente --via"},
      {t.percorso, 64, "--gtfs e --trip vanno insieme"},
  };
  for (const auto& [args, stato, atteso] : casi) {
    std::string u;
    EXPECT_EQ(esegui(base + args + " 2>&1", &u), stato) << args;
    EXPECT_NE(u.find(atteso), std::string::npos) << args << "\n" << u;
  }
  EXPECT_FALSE(fs::exists(t / "out"));
}
