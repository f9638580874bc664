// A transit agency's timetable feed (GTFS: a folder or a .zip of CSV files):
// its stops, routes, trips and service days kept in memory, its stop times,
// by far the largest file, streamed again for each question asked of them.
#pragma once
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "tool/comune/guasto.h"

namespace bozza {

// A stop as stops.txt has it: a platform (or a stop of its own) under its
// station, or the station itself.
struct fermata_feed {
  std::string id, nome;
  double lat = 0, lon = 0;
  int tipo = 0;                    // location_type: 0 stop or platform, 1 station, 2-4 the rest
  uint32_t stazione = UINT32_MAX;  // the parent station's index; UINT32_MAX for none
};

struct linea_feed {
  std::string id, breve, lunga;  // route_short_name, route_long_name
};

// The days a service runs: calendar's week between two dates, then
// calendar_dates' days added and taken away. Dates are days since 1/1/1970.
struct servizio_feed {
  std::string id;
  bool settimana = false;  // calendar has a row for it
  uint8_t giorni = 0;      // bit 0 Monday ... bit 6 Sunday
  int32_t dal = 0, al = 0;
  std::vector<int32_t> aggiunti, tolti;
};

struct corsa_feed {
  std::string id;
  uint32_t linea = UINT32_MAX;  // UINT32_MAX without routes.txt
  uint32_t servizio = 0;
};

// An entry of a zip archive: where a feed's stop times are, to be streamed
// again.
struct voce_feed {
  std::string nome;
  uint16_t metodo = 0;  // 0 stored, 8 deflated
  uint64_t inizio = 0;  // the entry's local header
  uint64_t compressa = 0, piena = 0;
  uint32_t crc = 0;
};

struct orari_feed {
  std::string percorso;  // as given
  bool zip = false;
  voce_feed orari;            // stop_times.txt in the archive
  std::string editore, sito;  // feed_info's publisher, or the agencies' names
  std::vector<fermata_feed> fermate;
  std::vector<linea_feed> linee;
  std::vector<servizio_feed> servizi;
  std::vector<corsa_feed> corse;
  std::unordered_map<std::string, uint32_t> per_fermata, per_corsa;
};

// The feed at `percorso`, a folder or a .zip, but for its stop times.
// stops.txt, trips.txt and stop_times.txt must be there; routes, calendar,
// calendar_dates, agency and feed_info may be missing. A row that cannot be
// read is a guasto of genere ingresso with its file and line.
esito<orari_feed> leggi_feed(const std::string& percorso);

// A call at a stop, times in seconds after the first day's midnight (past
// regole::kGiorno on the days after); -1 where the feed gives none (a stop
// between timed ones).
struct passaggio_feed {
  uint32_t fermata = 0;
  int64_t sequenza = 0;
  int64_t arrivo = -1, partenza = -1;
};

// The stops a name means, by the stop's own name or its station's (case and
// blanks aside): the stations so named, their platforms and stops. Empty for
// none.
std::vector<uint32_t> fermate_di(const orari_feed& f, const std::string& nome);

// A trip's calls in the order of their stop_sequence. Every row's times are
// read (one that is not a time is refused with its line), the trip's stops
// looked up.
esito<std::vector<passaggio_feed>> passaggi_corsa(const orari_feed& f, const std::string& corsa);

// A trip calling at one place and later at another.
struct corsa_fra {
  uint32_t corsa = 0;
  passaggio_feed da, a, prima, ultima;  // at both, and the trip's first and last
};
// Every trip that calls at `da` and then at `a`, by its time at `da`; a
// trip calling at `da` twice is taken from its first call. Names that mean
// no stop, or the same station, are a guasto.
esito<std::vector<corsa_fra>> corse_fra(const orari_feed& f, const std::string& da,
                                        const std::string& a);

// A service's days for a person: "lun-sab, dal 4/12/2023 al 9/12/2023,
// tranne 8/12/2023".
std::string giorni_servizio(const servizio_feed& s);

// `scenario draft --trips`: the listing of corse_fra, one trip in two lines.
esito<std::string> elenco_corse(const std::string& feed, const std::string& da,
                                const std::string& a);

// A trip's stop as the draft takes it: the station's name (the stop's own
// when it has no station), where the stop stands, its times (as in
// passaggio_feed) and the station's id (the stop's own when it has none),
// which the stops of one station share.
struct fermata_corsa {
  std::string id, nome;
  double lat = 0, lon = 0;
  int64_t arrivo = -1, partenza = -1;
  std::string stazione;
};
// The stops of trip `corsa` in its order, from its call at `da` to its call
// at `a` after it (either may be empty: the trip's first or last stop). A
// trip not in the feed, a name the trip does not call at, or `da` not before
// `a`, is a guasto (genere ingresso). The draft reads the feed once with
// leggi_feed and asks this; each call streams stop_times.txt once, keeping
// the one trip's rows.
esito<std::vector<fermata_corsa>> fermate_corsa(const orari_feed& f, const std::string& corsa,
                                                const std::string& da = "",
                                                const std::string& a = "");

}  // namespace bozza
