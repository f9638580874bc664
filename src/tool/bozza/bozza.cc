// The draft from the map to the two sources: the route, the plan, the
// entries, then the compile in memory whose line the train's runs are worked
// out on for the timetable, and the figures of the report.
#include <algorithm>
#include <climits>
#include <cmath>

#include "model/regole.h"
#include "platform/file.h"
#include "tool/bozza/orari_gtfs.h"
#include "tool/bozza/sorgenti.h"
#include "tool/bozza/stesura.h"
#include "tool/compilati/compilati.h"
#include "tool/compilazione/compila.h"

namespace bozza {

namespace {

// A feed's stop this near a railway stop of the map is that stop: a
// timetable's platform and the map's station node stand apart a little.
constexpr double kRaggioFermata = 400;

// The map's railway stop nearest a feed's stop, a station or a halt before
// a stop position of the track; nullptr where none is this near.
const fermata_osm* fermata_vicina(const mappa_osm& m, const std::vector<const fermata_osm*>& ff,
                                  coordinate c) {
  const fermata_osm* r = nullptr;
  double migliore = HUGE_VAL;
  for (const fermata_osm* f : ff) {
    double d = 0, est = 0, nord = 0;
    if (!geodetica(c, m.nodi[f->nodo].dove(), d, est, nord) || d > kRaggioFermata) continue;
    const double k = d + (f->genere == genere_fermata::posizione ? kRaggioFermata : 0);
    if (k < migliore) migliore = k, r = f;
  }
  return r;
}

// Whether a name means this stop of the trip: the feed's name or the map's.
bool chiamata(const std::string& nome, const fermata_corsa& c, const fermata_osm* f) {
  const std::string k = nome_confrontabile(nome);
  return k == nome_confrontabile(c.nome) || (f && k == nome_confrontabile(f->nome));
}

// The trip's stops the map holds as the route's places, in the trip's order,
// with their times; the stops past the map's edge at either end left out
// with a warning.
bool tappe_della_corsa(const opzioni_bozza& o, mappa_osm& m, bozza_linea& b, std::string& e) {
  const esito<orari_feed> f = leggi_feed(o.gtfs);
  if (!f) return e = f.errore().messaggio(), false;
  const esito<std::vector<fermata_corsa>> ec = fermate_corsa(*f, o.corsa);
  if (!ec) return e = ec.errore().messaggio(), false;
  const std::vector<fermata_corsa>& c = *ec;
  const std::vector<const fermata_osm*> ff = fermate_ferroviarie(m);
  std::vector<const fermata_osm*> sulla_mappa;
  for (const fermata_corsa& x : c) sulla_mappa.push_back(fermata_vicina(m, ff, {x.lat, x.lon}));
  const std::string corsa = "la corsa " + o.corsa, della = "della corsa " + o.corsa;
  auto cerca = [&](const std::string& nome, size_t dal, size_t& i) {
    for (i = dal; i < c.size(); ++i)
      if (chiamata(nome, c[i], sulla_mappa[i])) return true;
    return false;
  };
  size_t da = 0, a = c.size();
  if (!o.da.empty() && !cerca(o.da, 0, da)) return e = corsa + " non ferma a «" + o.da + "»", false;
  if (!o.a.empty()) {
    size_t i = 0;
    if (!cerca(o.a, o.da.empty() ? 0 : da + 1, i)) {
      e = cerca(o.a, 0, i) ? corsa + " ferma a «" + o.a + "» prima che a «" + o.da + "»"
                           : corsa + " non ferma a «" + o.a + "»";
      return false;
    }
    a = i + 1;
  }
  size_t primo = da, ultimo = a;
  while (primo < a && !sulla_mappa[primo]) ++primo;
  while (ultimo > primo && !sulla_mappa[ultimo - 1]) --ultimo;
  if (primo == ultimo)
    return e = "nessuna fermata " + della + " è sulla mappa (entro " +
               std::to_string(static_cast<int>(kRaggioFermata)) + " m da una sua fermata)",
           false;
  // One warning for each end: a long trip leaves many stops past the map.
  auto fuori = [&](size_t dal, size_t al, const std::string& dove) {
    if (dal == al) return;
    std::string nomi;
    for (size_t i = dal; i < al; ++i) nomi += (i > dal ? ", «" : "«") + c[i].nome + "»";
    b.avvisi.push_back(
        {"fermate " + della + " lasciate fuori, non sulla mappa (" + dove + "): " + nomi, "", -1});
  };
  fuori(da, primo, "prima di «" + c[primo].nome + "»");
  fuori(ultimo, a, "dopo «" + c[ultimo - 1].nome + "»");
  for (size_t i = primo; i < ultimo; ++i) {
    if (!sulla_mappa[i])
      return e = "la fermata «" + c[i].nome + "» " + della + " non è sulla mappa, fra «" +
                 c[primo].nome + "» e «" + c[ultimo - 1].nome + "»",
             false;
    // Two of the feed's stops at one place of the map are one call.
    if (!b.orario.empty() && sulla_mappa[i]->nome == sulla_mappa[i - 1]->nome) {
      b.orario.back().partenza = c[i].partenza;
      continue;
    }
    luogo l;
    if (!trova_luogo(m, sulla_mappa[i]->nome, l, e)) return false;
    b.tappe.push_back(std::move(l));
    b.orario.push_back({c[i].nome, c[i].arrivo, c[i].partenza, -1});
  }
  if (b.tappe.size() < 2)
    return e = "una sola fermata " + della + " è sulla mappa: «" + c[primo].nome + "»", false;
  b.credito_orario = "Orario dal feed GTFS " +
                     (f->editore.empty() ? std::string() : "di " + f->editore + " ") +
                     "(licenza CC BY 4.0)";
  return true;
}

bool leggi_ingressi(const opzioni_bozza& o, mappa_osm& m, std::vector<tessera>& dem, bozza_linea& b,
                    std::string& e) {
  std::vector<luogo>& tappe = b.tappe;
  if (!leggi_file_mappa(o.mappa, m, e)) return false;
  for (const std::string& d : o.dem) {
    tessera t;
    if (!leggi_file_tessera(d, t, e)) return false;
    dem.push_back(std::move(t));
  }
  if (!o.gtfs.empty()) return tappe_della_corsa(o, m, b, e);
  auto tappa = [&](const std::string& nome) {
    luogo l;
    if (!trova_luogo(m, nome, l, e)) return false;
    tappe.push_back(std::move(l));
    return true;
  };
  if (!tappa(o.da)) return false;
  for (const std::string& n : o.via)
    if (!tappa(n)) return false;
  return tappa(o.a);
}

// The trip's calls at the stations drafted at its places: the feed's name
// and times there (the first station's departure, the last's arrival, the
// others' arrival and dwell); every other station the train passes.
void orari_della_corsa(bozza_linea& b) {
  for (stazione_bozza& x : b.stazioni) x.orario = 0, x.sosta = 0;
  size_t k = 0;
  for (size_t i = 0; i < b.orario.size(); ++i) {
    fermata_orario& f = b.orario[i];
    const std::string nome = nome_confrontabile(b.tappe[i].nome);
    size_t j = i + 1 == b.orario.size() ? b.stazioni.size() - 1 : k;
    while (j < b.stazioni.size() && nome_confrontabile(b.stazioni[j].nome) != nome) ++j;
    if (j == b.stazioni.size()) {
      b.avvisi.push_back({"«" + f.nome + "» dell'orario non ha una stazione nella bozza", "", -1});
      continue;
    }
    stazione_bozza& x = b.stazioni[j];
    const bool prima = j == 0, ultima = j + 1 == b.stazioni.size();
    const int64_t arrivo = f.arrivo >= 0 ? f.arrivo : f.partenza;
    const int64_t partenza = f.partenza >= 0 ? f.partenza : f.arrivo;
    x.nome = f.nome;
    x.orario = prima ? partenza : arrivo;
    // Midnight is written as no time at all: a second later keeps the stop.
    if (x.orario % regole::kGiorno == 0) {
      ++x.orario;
      b.avvisi.push_back(
          {"«" + f.nome +
               "» alle 00:00:00 è scritta alle 00:00:01: l'ora zero vuol dire senza orario",
           "", -1});
    }
    x.sosta = prima || ultima ? 0 : static_cast<int>(std::max<int64_t>(partenza - x.orario, 0));
    f.stazione = static_cast<int64_t>(j);
    k = j + 1;
  }
}

// Where a leg is slower than its time: the stretch of its lowest limit,
// with the curves in it.
std::string tratto_lento(const scenario_compilato& c, const bozza_linea& b, int64_t da, int64_t a) {
  const int64_t passo = formato::kMetriCella;
  int minimo = INT32_MAX;
  int64_t inizio = da, fine = a;
  for (int64_t i = da / passo; i * passo < a && i < static_cast<int64_t>(c.celle.size()); ++i) {
    const int v = regole::velocita_cella(c.celle[static_cast<size_t>(i)]);
    if (v <= 0) continue;
    if (v < minimo)
      minimo = v, inizio = i * passo, fine = (i + 1) * passo;
    else if (v == minimo && fine == i * passo)
      fine = (i + 1) * passo;
  }
  if (minimo == INT32_MAX) return "la linea non ha limiti di velocità fra le due stazioni";
  std::string r =
      "il limite di " + std::to_string(minimo) + " km/h da " + dove(inizio) + " a " + dove(fine);
  std::string curve;
  for (const curva_bozza& x : b.t.curve)
    if (x.inizio < fine && x.inizio + x.lunghezza > inizio)
      curve += (curve.empty() ? "" : ", ") + std::to_string(x.classe) + " a " + dove(x.inizio);
  if (!curve.empty()) r += " (curve di classe " + curve + ")";
  return r;
}

// Each leg of the trip, departure to arrival, against the run the
// rulebook's calculation gives on the drafted line.
void tratte_della_corsa(const scenario_compilato& c, bozza_linea& b) {
  std::vector<regole::stazione_linea> st = regole::stazioni_linea(c.tabella_linea);
  const regole::treno_marcia treno =
      regole::treno_della_tabella(c.tabella_linea, regole::kTipiTreno[0]);
  for (size_t k = 0; k < st.size() && k < b.stazioni.size(); ++k)
    st[k].orario = static_cast<int32_t>(b.stazioni[k].orario % regole::kGiorno);
  for (const regole::marcia& m : regole::marce(st, c.celle, treno)) {
    tratta_orario t;
    t.da = m.da, t.a = m.a;
    t.prevista = m.ora_a - m.ora_da - (m.da > 0 ? b.stazioni[m.da].sosta : 0);
    t.marcia = m.tempo;
    if (static_cast<double>(t.prevista) < m.tempo) {
      t.lento = tratto_lento(c, b, st[m.da].posizione, st[m.a].posizione);
      b.avvisi.push_back({"il treno non tiene l'orario da «" + b.stazioni[m.da].nome + "» a «" +
                              b.stazioni[m.a].nome + "»: " + regole::durata_testo(t.prevista) +
                              " previsti, la marcia ne vuole " +
                              regole::durata_testo(std::llround(std::ceil(m.tempo))) +
                              "; lo rallenta " + t.lento,
                          "", st[m.a].posizione});
    }
    b.tratte.push_back(std::move(t));
  }
}

esito_compilazione compila(const opzioni_bozza& o, const esito_bozza& r, bool avvisi) {
  opzioni_compilazione c;
  c.cartella_sorgenti = o.cartella;
  c.linea = o.linea;
  c.treno = o.treno;
  c.testo_linea = &r.linea;
  c.testo_treno = &r.treno;
  c.uscita = uscita_compilati::memoria;
  c.avvisi = avvisi;
  return compila_scenario(c);
}

bool compilata(const esito_compilazione& c, std::string& e) {
  const int32_t codice = regole::codice_rimasto(c.codice_fatale, c.codice_errore);
  if (codice == 0 && c.errore_io.empty()) return true;
  e = "la bozza non si compila (codice " + std::to_string(codice) + ", posizione " +
      std::to_string(c.posizione_errore) + " m): un errore di questo programma";
  return false;
}

// The compiled files read back; a draft they do not decode is this program's fault.
bool decodificata(esito_compilazione& c, const opzioni_bozza& o, scenario_compilato& s,
                  std::string& e) {
  try {
    compilato_da_memoria(c.compilati, o.linea, o.treno, s);
    return true;
  } catch (const file::errore_io& x) {
    e = x.what();
    return false;
  }
}

// Station times: the run the drafted train keeps from a stand at the station
// before to a stop at this one (the rulebook's, as check judges it), with the
// margin, rounded up, plus the dwell at the station before.
void orari(const scenario_compilato& c, const scelte_bozza& s, bozza_linea& b) {
  if (!b.orario.empty()) return tratte_della_corsa(c, b);
  const regole::treno_marcia treno =
      regole::treno_della_tabella(c.tabella_linea, regole::kTipiTreno[0]);
  int64_t t = s.partenza;
  for (size_t k = 0; k < b.stazioni.size(); ++k) {
    if (k > 0) {
      const double corsa =
          regole::corsa_treno(c.celle, b.stazioni[k - 1].posizione, b.stazioni[k].posizione, treno)
              .tempo;
      t += static_cast<int64_t>(std::ceil(corsa * (100 + s.margine) / 100)) + (k > 1 ? s.sosta : 0);
    }
    b.stazioni[k].orario = t;
  }
}

}  // namespace

esito_bozza disegna_bozza(const opzioni_bozza& o) {
  esito_bozza r;
  mappa_osm m;
  std::vector<tessera> dem;
  bozza_linea& b = r.b;
  if (!leggi_ingressi(o, m, dem, b, r.errore) ||
      !cerca_percorso(m, b.tappe, oltre_arrivo(), b.strada, r.errore))
    return r;
  disegna_pianta(m, b);
  avvisa_deviazione(m, b);
  if (b.lunghezza < 1 || b.lunghezza > formato::kLunghezzaMassima) {
    r.errore =
        "il percorso è lungo " + std::to_string(b.lunghezza) + " m: una linea va da 1 m a 1000 km";
    return r;
  }
  // The stations first: every later stage places its objects in the cells
  // their stops and markers have left free (b.celle).
  disegna_stazioni(m, b);
  scelte_bozza scelte = o.scelte;
  if (!b.orario.empty()) {
    orari_della_corsa(b);
    scelte.partenza = b.stazioni.front().orario % regole::kGiorno;
  }
  disegna_velocita(m, scelte, b);
  disegna_chilometri(m, b);
  disegna_passaggi(m, b);
  disegna_segnali(m, b);
  disegna_pendenze(m, dem, b);
  // A first writing for the line the times are worked out on; the warnings
  // are the final writing's.
  scrivi_sorgenti(b, scelte, r.linea, r.treno);
  esito_compilazione c = compila(o, r, false);
  scenario_compilato s;
  if (!compilata(c, r.errore) || !decodificata(c, o, s, r.errore)) return r;
  orari(s, scelte, b);
  for (avviso_bozza& a : scrivi_sorgenti(b, scelte, r.linea, r.treno))
    b.avvisi.push_back(std::move(a));
  c = compila(o, r, true);
  scenario_compilato finale;
  if (!compilata(c, r.errore) || !decodificata(c, o, finale, r.errore)) return r;
  r.f.avvisi_check = c.avvisi.size();
  for (const avviso& a : c.avvisi) {
    r.f.avvisi_marcatori += a.genere == genere_avviso::marcatore_sostituito;
    r.f.testi_check.push_back(a.messaggio);
  }
  misura(m, b, finale, r.f);
  return r;
}

}  // namespace bozza
