// The two sources of a draft, laid out as the built-in ones.
#include "tool/bozza/sorgenti.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "model/impaginazione.h"
#include "model/regole.h"
#include "platform/testo.h"
#include "tool/bozza/bozza.h"
#include "tool/bozza/testi.h"

namespace bozza {

namespace {

std::string n(int64_t v) {
  return std::to_string(v);
}

riga_sorgente riga(const char* chiave, std::vector<std::string> valori, const char* genere,
                   int64_t posizione = kSenzaPosizione) {
  return {chiave, std::move(valori), genere, posizione};
}

// Lines before the sections, then each section's head and aligned entries, CR LF.
std::string componi(const std::vector<std::string>& prima,
                    const std::vector<sezione_sorgente>& sezioni) {
  std::string r;
  for (const std::string& s : prima) r += s + "\r\n";
  for (const sezione_sorgente& s : sezioni) {
    r += s.testa + "\r\n";
    for (const std::string& t : allinea(s.righe)) r += t + "\r\n";
  }
  return r + "[fine]\r\n";
}

// A name or a sign's text as a field in Windows-1252; what the code page
// lacks becomes '?', with a warning.
std::string campo_testo(const std::string& utf8, std::vector<avviso_bozza>& avvisi, int64_t p) {
  std::string cp, campo;
  if (testo::a_1252_esatto(utf8, cp) != std::string::npos) {
    cp = testo::a_1252(utf8);
    avvisi.push_back(
        {"«" + utf8 + "» ha caratteri che Windows-1252 non ha: scritti come '?'", "", p});
  }
  std::string pulito;
  for (char c : cp) pulito += c == '"' ? '\'' : c;
  testo_campo(pulito, campo);
  return campo;
}

std::vector<sezione_sorgente> sezioni_linea(const bozza_linea& b) {
  sezione_sorgente g{"[generale]", {}}, c{"[curve]", {}}, p{"[pendenze]", {}}, m{"[montagne]", {}},
      v{"[cartelli]", {}}, i{"[indicazioni]", {}};
  g.righe.push_back(riga("lunghezza percorso", {n(b.lunghezza)}, "lunghezza percorso"));
  const char* chiavi[] = {"progressiva chilometrica uno", "progressiva chilometrica due",
                          "progressiva chilometrica tre"};
  for (size_t k = 0; k < 3; ++k)
    g.righe.push_back(riga(chiavi[k], {n(b.km[k].posizione), n(b.km[k].progressiva), "0"},
                           "progressiva chilometrica"));
  g.righe.push_back(riga("sfondo uno", {"1"}, "sfondo"));
  g.righe.push_back(riga("sfondo due", {"0"}, "sfondo"));
  g.righe.push_back(riga("sfondo tre", {"0"}, "sfondo"));
  g.righe.push_back(riga("ripetizione segnali 4 codici", {"0", "0"}, "ripetizione segnali"));
  static const char* kCurve[2][7] = {
      {"", "curvad1", "curvad2", "curvad3", "curvad4", "curvad5", "curvad6"},
      {"", "curvas1", "curvas2", "curvas3", "curvas4", "curvas5", "curvas6"}};
  for (const curva_bozza& x : b.t.curve)
    c.righe.push_back(
        riga(kCurve[x.sinistra][x.classe], {n(x.inizio), n(x.lunghezza)}, "curva", x.inizio));
  for (const punto_profilo& x : b.pendenze)
    p.righe.push_back(riga("pendenza", {n(x.posizione), n(x.valore)}, "pendenza", x.posizione));
  for (const punto_profilo& x : b.cartelli_velocita) {
    const std::string s = n(x.valore);
    v.righe.push_back(riga("indicatori_vmax", {n(x.posizione), s, s, s, "0", "", "", "", "0"},
                           "indicatori_vmax", x.posizione));
  }
  return {g, c, p, m, v, i};
}

// A station's values between its length and its time, as the built-in
// stations of its kind have them; the last but one is the dwell.
std::vector<std::string> valori_stazione(const bozza_linea& b, size_t k, int sosta) {
  const stazione_bozza& x = b.stazioni[k];
  const std::string d = n(std::min(x.sosta >= 0 ? x.sosta : sosta, 255));
  // opzione_2 only where the station keeps it: check would say it is cleared.
  const std::string o2 = regole::opzione_2_tenuta(x.lunghezza, k == 0) ? "1" : "0";
  if (k == 0) return {"1", o2, "0", "4", "1", "0", "2", "1", "1", "1"};
  if (k + 1 == b.stazioni.size()) return {"1", "0", "0", "1", "1", "0", "2", "1", "1", "0"};
  if (x.principale) return {"1", o2, "0", "4", "1", "0", "2", "1", "1", d};
  return {"0", "0", "0", "1", "1", "0", "4", "1", "1", d};
}

// The built-in forms of a main and of a distant signal: the kinds and digits
// after the position.
constexpr const char* kPrincipale[] = {"2", "4", "0", "0", "0", "0", "0", "0", "0", "0"};
constexpr const char* kAvviso[] = {"2", "2", "3", "0", "0", "0", "0", "0", "0", "0"};

std::vector<sezione_sorgente> sezioni_treno(const bozza_linea& b, const scelte_bozza& s,
                                            std::vector<avviso_bozza>& avvisi) {
  sezione_sorgente g{"[generale]", {}}, a{"[aderenze]", {}}, v{"[vel_limite]", {}},
      st{"[stazioni]", {}}, r{"[rallentamenti]", {}}, sg{"[segnali]", {}}, c{"[codici]", {}};
  const int64_t t0 = s.partenza;
  g.righe.push_back(riga("numero vetture", {"6"}, "numero vetture"));
  g.righe.push_back(riga("percentuale massa frenata", {"110"}, "percentuale massa frenata"));
  g.righe.push_back(riga("sabbia", {"30"}, "sabbia"));
  g.righe.push_back(riga("orologio", {n(t0 / 3600), n(t0 / 60 % 60), n(t0 % 60)}, "orologio"));
  a.righe.push_back(riga("aderenza", {"0", "90"}, "aderenza", 0));
  for (const punto_profilo& x : b.velocita)
    v.righe.push_back(riga("velocita", {n(x.posizione), n(x.valore)}, "velocita", x.posizione));
  for (size_t k = 0; k < b.stazioni.size(); ++k) {
    const stazione_bozza& x = b.stazioni[k];
    std::vector<std::string> w = {n(x.posizione), n(x.tipo), n(x.lunghezza)};
    for (const std::string& y : valori_stazione(b, k, s.sosta)) w.push_back(y);
    const int64_t o = x.orario % 86400;
    for (int64_t y : {o / 3600, o / 60 % 60, o % 60}) w.push_back(n(y));
    w.push_back(campo_testo(x.nome, avvisi, x.posizione));
    st.righe.push_back(riga("stazione", std::move(w), "stazione", x.posizione));
  }
  for (const segnale_bozza& x : b.segnali) {
    std::vector<std::string> w = {n(x.posizione)};
    for (const char* y : x.principale ? kPrincipale : kAvviso) w.push_back(y);
    sg.righe.push_back(riga("segnale", std::move(w), "segnale", x.posizione));
  }
  return {g, a, v, st, r, sg, c};
}

}  // namespace

std::vector<avviso_bozza> scrivi_sorgenti(const bozza_linea& b, const scelte_bozza& s,
                                          std::string& linea, std::string& treno) {
  std::vector<avviso_bozza> avvisi;
  std::vector<sezione_sorgente> l = sezioni_linea(b);
  for (const cartello_bozza& x : b.cartelli)
    l.back().righe.push_back(riga("cartello_indicatore",
                                  {n(x.posizione), campo_testo(x.testo, avvisi, x.posizione)},
                                  "cartello_indicatore", x.posizione));
  // The credits of what the draft is made of, for whoever is given it.
  std::vector<std::string> prima = {
      "Bozza dalla mappa OpenStreetMap (dati (c) OpenStreetMap contributors; licenza ODbL 1.0)"};
  if (std::any_of(b.quote.begin(), b.quote.end(), [](double q) { return !std::isnan(q); }))
    prima.push_back("Quote dalle tessere SRTM (NASA/USGS; pubblico dominio)");
  prima.push_back(std::string(kChiaveOrigine) + ", " + testo_reale(b.pn.origine.lat, 7) + ", " +
                  testo_reale(b.pn.origine.lon, 7));
  prima.push_back(std::string(kChiaveRotta) + ", " + testo_reale(b.pn.rotta, 7));
  linea = componi(prima, l);
  std::vector<std::string> crediti;
  if (!b.credito_orario.empty()) crediti.push_back(testo::a_1252(b.credito_orario));
  treno = componi(crediti, sezioni_treno(b, s, avvisi));
  return avvisi;
}

}  // namespace bozza

namespace bozza {

namespace {

// A decimal number at the start of s (blanks before it skipped), without
// the locale's say; false when there is none. s moves past it.
bool decimale(std::string_view& s, double& v) {
  while (!s.empty() && (s[0] == ' ' || s[0] == '\t')) s.remove_prefix(1);
  const bool meno = !s.empty() && s[0] == '-';
  if (meno) s.remove_prefix(1);
  int64_t intero = 0, frazione = 0, scala = 1;
  size_t cifre = 0;
  for (; !s.empty() && s[0] >= '0' && s[0] <= '9' && cifre < 12; s.remove_prefix(1), ++cifre)
    intero = intero * 10 + (s[0] - '0');
  if (!s.empty() && s[0] == '.') {
    s.remove_prefix(1);
    for (; !s.empty() && s[0] >= '0' && s[0] <= '9' && scala < 1000000000000; s.remove_prefix(1))
      frazione = frazione * 10 + (s[0] - '0'), scala *= 10, ++cifre;
  }
  v = (static_cast<double>(intero) + static_cast<double>(frazione) / static_cast<double>(scala)) *
      (meno ? -1 : 1);
  return cifre > 0;
}

// The numbers after "KEY," on a line before "[generale]" that starts with the key.
bool numeri_dopo(std::string_view testo, std::string_view chiave, double* v, int quanti) {
  for (size_t i = 0; i < testo.size();) {
    size_t fine = testo.find('\n', i);
    if (fine == std::string_view::npos) fine = testo.size();
    std::string_view riga = testo.substr(i, fine - i);
    i = fine + 1;
    if (riga.find("[generale]") != std::string_view::npos) return false;
    if (riga.substr(0, chiave.size()) != chiave || riga.size() <= chiave.size() ||
        riga[chiave.size()] != ',')
      continue;
    riga.remove_prefix(chiave.size() + 1);
    for (int k = 0; k < quanti; ++k) {
      if (!decimale(riga, v[k])) return false;
      while (!riga.empty() && riga[0] == ' ') riga.remove_prefix(1);
      if (k + 1 < quanti) {
        if (riga.empty() || riga[0] != ',') return false;
        riga.remove_prefix(1);
      }
    }
    return true;
  }
  return false;
}

}  // namespace

bool posto_da_sorgente(std::string_view linea, posto_mappa& p) {
  double o[2], r[1];
  if (!numeri_dopo(linea, kChiaveOrigine, o, 2) || !numeri_dopo(linea, kChiaveRotta, r, 1))
    return false;
  p = {o[0], o[1], r[0]};
  return std::fabs(p.lat) <= 90 && std::fabs(p.lon) <= 180;
}

}  // namespace bozza
