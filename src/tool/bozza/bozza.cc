// The draft from the map to the two sources: the route, the plan, the
// entries, then the compile in memory whose line the train's runs are worked
// out on for the timetable, and the figures of the report.
#include <cmath>

#include "model/regole.h"
#include "platform/file.h"
#include "tool/bozza/sorgenti.h"
#include "tool/bozza/stesura.h"
#include "tool/compilati/compilati.h"
#include "tool/compilazione/compila.h"

namespace bozza {

namespace {

bool leggi_ingressi(const opzioni_bozza& o, mappa_osm& m, std::vector<tessera>& dem,
                    std::vector<luogo>& tappe, std::string& e) {
  if (!leggi_file_mappa(o.mappa, m, e)) return false;
  for (const std::string& d : o.dem) {
    tessera t;
    if (!leggi_file_tessera(d, t, e)) return false;
    dem.push_back(std::move(t));
  }
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
  if (!leggi_ingressi(o, m, dem, b.tappe, r.errore) ||
      !cerca_percorso(m, b.tappe, oltre_arrivo(), b.strada, r.errore))
    return r;
  disegna_pianta(m, b);
  avvisa_deviazione(m, b);
  if (b.lunghezza < 1 || b.lunghezza > formato::kLunghezzaMassima) {
    r.errore =
        "il percorso è lungo " + std::to_string(b.lunghezza) + " m: una linea va da 1 m a 1000 km";
    return r;
  }
  disegna_stazioni(m, b);
  disegna_velocita(m, o.scelte, b);
  disegna_chilometri(m, b);
  disegna_passaggi(m, b);
  disegna_segnali(m, b);
  disegna_pendenze(m, dem, b);
  const size_t avvisi = b.avvisi.size();
  scrivi_sorgenti(b, o.scelte, r.linea, r.treno);
  b.avvisi.resize(avvisi);  // the final writing below warns again
  esito_compilazione c = compila(o, r, false);
  scenario_compilato s;
  if (!compilata(c, r.errore) || !decodificata(c, o, s, r.errore)) return r;
  orari(s, o.scelte, b);
  scrivi_sorgenti(b, o.scelte, r.linea, r.treno);
  c = compila(o, r, true);
  if (!compilata(c, r.errore)) return r;
  r.f.avvisi_check = c.avvisi.size();
  for (const avviso& a : c.avvisi) {
    r.f.avvisi_marcatori += a.messaggio.find("marcatore") != std::string::npos;
    r.f.testi_check.push_back(a.messaggio);
  }
  misura(m, b, c.compilati, o.linea, o.treno, r.f, r.errore);
  return r;
}

}  // namespace bozza
