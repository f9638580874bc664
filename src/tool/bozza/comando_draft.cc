// `scenario draft`: the arguments, the two sources written both or neither,
// the report.
#include <algorithm>
#include <cmath>
#include <cstdio>

#include "model/formato.h"
#include "model/regole.h"
#include "platform/file.h"
#include "tool/bozza/bozza.h"
#include "tool/bozza/orari_gtfs.h"
#include "tool/bozza/resoconto.h"
#include "tool/bozza/stesura.h"
#include "tool/bozza/testi.h"
#include "tool/comune/json.h"

namespace {

// A whole number from min to max, or false.
bool intero(const std::string& s, int min, int max, int& v) {
  if (s.empty() || s.size() > 9) return false;
  long x = 0;
  for (char c : s) {
    if (c < '0' || c > '9') return false;
    x = x * 10 + (c - '0');
  }
  if (x < min || x > max) return false;
  v = static_cast<int>(x);
  return true;
}

// "8:05" or "08:05:30", after midnight and before the next.
bool ora(const std::string& s, int64_t& t) {
  int h = 0, m = 0, sec = 0;
  const size_t a = s.find(':'), b = a == std::string::npos ? a : s.find(':', a + 1);
  if (a == std::string::npos || !intero(s.substr(0, a), 0, 23, h)) return false;
  const std::string mm = s.substr(a + 1, b == std::string::npos ? std::string::npos : b - a - 1);
  if (mm.size() != 2 || !intero(mm, 0, 59, m)) return false;
  if (b != std::string::npos && (s.size() - b - 1 != 2 || !intero(s.substr(b + 1), 0, 59, sec)))
    return false;
  t = regole::secondi_del_giorno(h, m, sec);
  return t > 0;
}

int errore(bool json, const std::string& e) {
  if (json)
    std::printf("{\"files\":[],\"errore\":%s}\n", json_testo(e).c_str());
  else
    std::fprintf(stderr, "scenario draft: %s\n", e.c_str());
  return kUscitaFallita;
}

// Every place named is a station of the line, and the table holds 78 with
// the two ends: more could never all be there.
constexpr size_t kViaMassime = formato::kStazioniPiuCartelli - 2;

int leggi_opzioni(const argomenti& a, bozza::opzioni_bozza& o, bool& json, bool& forza) {
  argomenti_letti l;
  if (int s = leggi_argomenti("draft", a,
                              {{"--from", "un nome"},
                               {"--to", "un nome"},
                               {"--gtfs", "un feed"},
                               {"--trip", "un id"},
                               {"--via", "un nome", nullptr, true},
                               {"--dem", "una tessera", nullptr, true},
                               {"--default-speed", "km/h"},
                               {"--dwell", "secondi"},
                               {"--margin", "una percentuale"},
                               {"--departure", "un'ora"},
                               {"--force"},
                               {"--json"}},
                              4, "MAP DIR ROUTE TRAIN", l);
      s >= 0)
    return s;
  json = l.ha("--json");
  forza = l.ha("--force");
  o.mappa = l.posizionali[0], o.cartella = l.posizionali[1];
  o.linea = l.posizionali[2], o.treno = l.posizionali[3];
  if (int s = nomi_scenario("draft", o.linea, o.treno); s >= 0) return s;
  if (l.ha("--gtfs") != l.ha("--trip"))
    return errore_uso("draft", "--gtfs e --trip vanno insieme: il feed e la sua corsa");
  if (l.ha("--gtfs") && l.ha("--via"))
    return errore_uso("draft", "con --trip le fermate sono quelle della corsa: niente --via");
  if (!l.ha("--gtfs") && (!l.ha("--from") || !l.ha("--to")))
    return errore_uso("draft", "draft vuole --from e --to: le fermate di partenza e di arrivo");
  o.gtfs = l.valore("--gtfs"), o.corsa = l.valore("--trip");
  o.da = l.valore("--from"), o.a = l.valore("--to");
  o.via = l.ripetute["--via"], o.dem = l.ripetute["--dem"];
  if (o.via.size() > kViaMassime)
    return errore_uso("draft", "--via al più " + std::to_string(kViaMassime) +
                                   " volte: la tabella tiene " +
                                   std::to_string(formato::kStazioniPiuCartelli) +
                                   " stazioni, partenza e arrivo comprese");
  bozza::scelte_bozza& s = o.scelte;
  if (l.ha("--default-speed") && !intero(l.valore("--default-speed"), regole::kPassoVelocita,
                                         regole::kVelocitaLimiteMassima, s.velocita_predefinita))
    return errore_uso("draft", "--default-speed vuole km/h da " +
                                   std::to_string(regole::kPassoVelocita) + " a " +
                                   std::to_string(regole::kVelocitaLimiteMassima));
  if (l.ha("--dwell") && !intero(l.valore("--dwell"), 0, 3600, s.sosta))
    return errore_uso("draft", "--dwell vuole secondi da 0 a 3600");
  if (l.ha("--margin") && !intero(l.valore("--margin"), 0, 200, s.margine))
    return errore_uso("draft", "--margin vuole una percentuale da 0 a 200");
  if (l.ha("--departure") && !ora(l.valore("--departure"), s.partenza))
    return errore_uso("draft", "--departure vuole un'ora come 8:05 o 08:05:30, dopo mezzanotte");
  return -1;
}

// `draft MAP --gtfs FEED --trips --from NAME --to NAME`: the feed's trips
// from one stop to the other, for the author to pick one; MAP is not read.
int elenca_corse(const argomenti& a) {
  argomenti_letti l;
  if (int s = leggi_argomenti(
          "draft", a,
          {{"--gtfs", "un feed"}, {"--trips"}, {"--from", "un nome"}, {"--to", "un nome"}}, 1,
          "MAP", l);
      s >= 0)
    return s;
  if (!l.ha("--gtfs") || !l.ha("--from") || !l.ha("--to"))
    return errore_uso("draft", "--trips vuole --gtfs, --from e --to");
  const esito<std::string> e =
      bozza::elenco_corse(l.valore("--gtfs"), l.valore("--from"), l.valore("--to"));
  if (!e) {
    std::fprintf(stderr, "scenario draft: %s\n", e.errore().messaggio().c_str());
    return stato_uscita(e.errore());
  }
  std::fputs(e->c_str(), stdout);
  return kUscitaOk;
}

const char* genere_testo(bozza::genere_fermata g) {
  switch (g) {
    case bozza::genere_fermata::stazione:
      return "stazione";
    case bozza::genere_fermata::fermata:
      return "fermata";
    default:
      return "posizione di fermata";
  }
}

// One row a stop: name, kind, where, the lines through it, and how far from
// the place --near names.
std::string riga_fermata(const bozza::mappa_osm& m, const bozza::fermata_elencata& x) {
  const bozza::nodo_osm& n = m.nodi[x.f->nodo];
  std::string r = "  «" + x.f->nome + "»  " + genere_testo(x.f->genere) + "  " +
                  bozza::testo_decimale(n.lat7, 7) + ", " + bozza::testo_decimale(n.lon7, 7) +
                  "  (nodo " + std::to_string(n.id) + ")";
  if (x.distanza >= 0) r += "  a " + std::to_string(std::llround(x.distanza)) + " m";
  if (!x.linee.empty()) {
    r += "  linee:";
    for (size_t i = 0; i < x.linee.size(); ++i) r += (i ? ", " : " ") + x.linee[i];
  }
  return r + "\n";
}

// `draft MAP --stops [--near NAME]`: the map's railway stops, nothing written.
int elenco_fermate(const argomenti& a) {
  argomenti_letti l;
  if (int s = leggi_argomenti("draft", a, {{"--stops"}, {"--near", "un nome"}}, 1, "MAP", l);
      s >= 0)
    return s;
  bozza::mappa_osm m;
  std::string e;
  std::vector<bozza::fermata_elencata> v;
  if (!bozza::leggi_file_mappa(l.posizionali[0], m, e) ||
      !bozza::elenca_fermate(m, l.valore("--near"), v, e))
    return errore(false, e);
  std::string r = l.ha("--near")
                      ? "Le fermate ferroviarie più vicine a «" + l.valore("--near") +
                            "»: " + std::to_string(v.size()) + "\n"
                      : "Fermate ferroviarie della mappa: " + std::to_string(v.size()) + "\n";
  for (const bozza::fermata_elencata& x : v) r += riga_fermata(m, x);
  std::fputs(r.c_str(), stdout);
  return kUscitaOk;
}

// Whether the arguments ask for the list of stops (before a "--").
bool chiede_fermate(const argomenti& a) {
  for (const std::string& x : a) {
    if (x == "--") return false;
    if (x == "--stops") return true;
  }
  return false;
}

}  // namespace

int comando_draft(const argomenti& a) {
  if (std::find(a.begin(), a.end(), "--trips") != a.end()) return elenca_corse(a);
  bozza::opzioni_bozza o;
  bool json = false, forza = false;
  if (chiede_fermate(a)) return elenco_fermate(a);
  if (int s = leggi_opzioni(a, o, json, forza); s >= 0) return s;
  const std::string n_linea = file::percorso(o.cartella, formato::nome_sorgente_linea(o.linea));
  const std::string n_treno =
      file::percorso(o.cartella, formato::nome_sorgente_treno(o.linea, o.treno));
  // Asked before the draft, which may take a while: the map itself among
  // what would be replaced.
  for (const std::string& n : {n_linea, n_treno})
    if (std::string x = ostacolo_sorgente(n, forza); !x.empty()) return errore(json, x);
  const bozza::esito_bozza e = bozza::disegna_bozza(o);
  if (!e.errore.empty()) return errore(json, e.errore);
  try {
    if (!file::crea_cartelle(o.cartella))
      throw file::errore_io("impossibile creare la cartella " + o.cartella);
    file::sostituisci_coppia(file::disco_reale(), n_linea, e.linea, n_treno, e.treno);
  } catch (const file::errore_io& x) {
    return errore(json, x.what());
  }
  const std::vector<std::string> files = {n_linea, n_treno};
  const std::string r = json ? bozza::resoconto_json(e, files) : bozza::resoconto_testo(e, files);
  std::fputs(r.c_str(), stdout);
  return kUscitaOk;
}
