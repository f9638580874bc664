#include "tool/disegno/documento.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <string_view>
#include <vector>

#include "model/formato.h"
#include "model/regole.h"
#include "platform/testo.h"
#include "tool/compilati/compilati.h"
#include "tool/compilazione/messaggi.h"
#include "tool/compilazione/righe.h"
#include "tool/comune/json.h"
#include "tool/disegno/pagina.h"

namespace {

// One plan point every this many metres: the page needs no more to draw a
// 50 m cell, and a 1000 km line stays under 2 MB.
constexpr size_t kPassoPianta = 10;
// Lines drawn under the plan are sent where they come this near it.
constexpr double kMargineSotto = 2000;

void intero(std::string& o, int64_t v) {
  char buf[24];
  const auto r = std::to_chars(buf, buf + sizeof buf, v);
  o.append(buf, r.ptr);
}

// A plan coordinate to a tenth of a metre; null where there is none.
void decimi(std::string& o, double v) {
  if (!std::isfinite(v) || std::abs(v) > 1e15) {
    o += "null";
    return;
  }
  const auto d = static_cast<int64_t>(std::llround(v * 10));
  if (d < 0) o += '-';
  const int64_t a = d < 0 ? -d : d;
  intero(o, a / 10);
  if (a % 10) {
    o += '.';
    o += static_cast<char>('0' + a % 10);
  }
}

void chiave(std::string& o, const char* nome) {
  o += ",\"";
  o += nome;
  o += "\":";
}

void celle(std::string& o, const char* nome, const std::vector<cella_percorso>& c, size_t n,
           int (*valore)(const cella_percorso&)) {
  chiave(o, nome);
  o += '[';
  for (size_t i = 0; i < n; ++i) {
    if (i) o += ',';
    intero(o, valore(c[i]));
  }
  o += ']';
}

int montagna_cella(const cella_percorso& c) {
  return c.montagna;
}

// The chainage as stretches [da, a) of the line, each counting from one
// reference point: the page looks a position up without knowing the rule
// that chose the points. The first stretch runs from the line's start (and
// before it, null), the last to its end (null).
void tratti_km(std::string& o, const std::vector<regole::tratto_km>& t) {
  chiave(o, "tratti_km");
  o += '[';
  for (size_t i = 0; i < t.size(); ++i) {
    if (i) o += ',';
    o += "{\"da\":";
    if (i == 0)
      o += "null";
    else
      intero(o, t[i].da);
    o += ",\"a\":";
    if (i + 1 < t.size())
      intero(o, t[i + 1].da);
    else
      o += "null";
    o += ",\"posizione\":";
    intero(o, t[i].da);
    o += ",\"progressiva\":";
    intero(o, t[i].progressiva);
    o += '}';
  }
  o += ']';
}

void numeri(std::string& o, const char* nome, const std::vector<int64_t>& v) {
  chiave(o, nome);
  o += '[';
  for (size_t i = 0; i < v.size(); ++i) {
    if (i) o += ',';
    intero(o, v[i]);
  }
  o += ']';
}

const char* nome_giudizio(regole::giudizio g) {
  switch (g) {
    case regole::giudizio::troppo_stretto:
      return "troppo_stretto";
    case regole::giudizio::all_indietro:
      return "all_indietro";
    default:
      return "in_orario";
  }
}

// The stations with a time, the runs the train can keep between them and the
// timetable's verdict on each, as check gives it: the page draws them, it
// does not work them out. Stations are counted in reading order; times are in
// seconds, tenths along a run.
void marce(std::string& o, const tabella& t, const std::vector<cella_percorso>& c,
           const regole::treno_marcia& treno) {
  const std::vector<regole::stazione_linea> st = regole::stazioni_linea(t);
  chiave(o, "fermate");
  o += '[';
  for (const regole::fermata& f : regole::fermate(st)) {
    if (o.back() != '[') o += ',';
    o += "{\"stazione\":";
    intero(o, static_cast<int64_t>(f.stazione));
    chiave(o, "ora");
    intero(o, f.ora);
    o += '}';
  }
  o += ']';
  chiave(o, "marce");
  o += '[';
  bool primo = true;
  for (const regole::marcia& m : regole::marce(st, c, treno)) {
    o += primo ? "{\"da\":" : ",{\"da\":";
    primo = false;
    intero(o, static_cast<int64_t>(m.da));
    chiave(o, "a");
    intero(o, static_cast<int64_t>(m.a));
    chiave(o, "ora_da");
    intero(o, m.ora_da);
    chiave(o, "ora_a");
    intero(o, m.ora_a);
    o += ",\"esito\":\"";
    o += nome_giudizio(m.esito);
    o += "\",\"messaggio\":" + json_testo(regole::testo_giudizio(m, st));
    chiave(o, "minima");
    intero(o, static_cast<int64_t>(std::ceil(m.minima)));
    chiave(o, "corsa");
    intero(o, static_cast<int64_t>(std::ceil(m.tempo)));
    numeri(o, "p", m.posizioni);
    std::vector<int64_t> decimi_t, decimi_v;
    for (double x : m.tempi) decimi_t.push_back(std::llround(x * 10));
    for (double x : m.velocita) decimi_v.push_back(std::llround(x * 10));
    numeri(o, "t", decimi_t);
    numeri(o, "v", decimi_v);
    o += '}';
  }
  o += ']';
}

void pianta(std::string& o, const vista_planimetria& p) {
  chiave(o, "pianta");
  o += "{\"passo\":";
  intero(o, kPassoPianta);
  for (int colonna = 0; colonna < 2; ++colonna) {
    o += colonna == 0 ? ",\"x\":[" : "],\"y\":[";
    for (size_t m = 0; m < p.punti(); m += kPassoPianta) {
      if (m) o += ',';
      if (p.genere(m) == genere_punto::vuoto)
        o += "null";
      else
        decimi(o, colonna == 0 ? p.x(m) : p.y(m));
    }
  }
  o += "]}";
}

// The lines under the plan that come within kMargineSotto of its box.
void sotto(std::string& o, const vista_planimetria& p, const linee_sotto& l) {
  double x0 = HUGE_VAL, x1 = -HUGE_VAL, y0 = HUGE_VAL, y1 = -HUGE_VAL;
  for (size_t m = 0; m < p.punti(); m += kPassoPianta) {
    if (p.genere(m) == genere_punto::vuoto) continue;
    x0 = std::min(x0, p.x(m)), x1 = std::max(x1, p.x(m));
    y0 = std::min(y0, p.y(m)), y1 = std::max(y1, p.y(m));
  }
  x0 -= kMargineSotto, x1 += kMargineSotto, y0 -= kMargineSotto, y1 += kMargineSotto;
  chiave(o, "mappa");
  o += '[';
  bool prima = true;
  for (const std::vector<double>& v : l) {
    bool vicina = false;
    for (size_t i = 0; i + 1 < v.size() && !vicina; i += 2)
      vicina = v[i] >= x0 && v[i] <= x1 && v[i + 1] >= y0 && v[i + 1] <= y1;
    if (!vicina) continue;
    o += prima ? "[" : ",[";
    prima = false;
    for (size_t i = 0; i < v.size(); ++i) {
      if (i) o += ',';
      decimi(o, v[i]);
    }
    o += ']';
  }
  o += ']';
}

// Where an entry stands in the sources, for the page's links.
void luogo(std::string& o, const posizione_sorgente& d) {
  o += ",\"file\":" + json_testo(d.file);
  chiave(o, "riga");
  intero(o, d.riga);
  o += ",\"testo\":" + json_testo(testo::da_1252(d.testo));
  o += '}';
}

// The kilometre of a position as every view prints it.
void km(std::string& o, const std::vector<regole::tratto_km>& t, int64_t p) {
  o += ",\"km\":" + json_testo(regole::testo_km(regole::progressiva(t, p)));
}

void stazione(std::string& o, const voce_letta& v, const regole::stazione_linea* s,
              const std::vector<regole::tratto_km>& t) {
  o += "{\"genere\":\"stazione\"";
  chiave(o, "posizione");
  if (!s) {
    // Read but not recorded (the read stopped in it): where it was written.
    intero(o, numero_campo(v.campi, 0));
    return luogo(o, v.dove);
  }
  intero(o, s->posizione);
  km(o, t, s->posizione);
  o += ",\"nome\":" + json_testo(s->nome);
  chiave(o, "orario");
  if (s->orario > 0)
    intero(o, s->orario);
  else
    o += "null";
  chiave(o, "inizio");
  intero(o, s->inizio);
  chiave(o, "fine");
  intero(o, s->fine);
  luogo(o, v.dove);
}

// A point entry of the body: its kind for the page and what it shows.
bool punto(std::string& o, const voce_letta& v, const std::vector<regole::tratto_km>& t) {
  const std::string_view g = v.chiave->genere;
  const std::vector<std::string>& c = v.campi;
  const char* genere = genere_pagina(g);
  if (!genere || g == "stazione") return false;
  o += "{\"genere\":\"";
  o += genere;
  o += '"';
  chiave(o, "posizione");
  intero(o, numero_campo(c, 0));
  km(o, t, numero_campo(c, 0));
  if (g == "indicatori_vmax") {
    o += ",\"velocita\":[";
    for (size_t i = 1; i <= 3; ++i) {
      if (i > 1) o += ',';
      intero(o, numero_campo(c, i));
    }
    o += ']';
  } else if (g == "cartello_indicatore") {
    o += ",\"nome\":" + json_testo(testo::da_1252(c.size() > 1 ? c[1] : ""));
  } else if (g == "rallentamento" || g == "abbattimento") {
    chiave(o, "velocita");
    intero(o, numero_campo(c, 1));
    if (g == "rallentamento") {
      const int64_t fine = numero_campo(c, 0) + numero_campo(c, 2);
      chiave(o, "fine");
      intero(o, fine);
      o += ",\"km_fine\":" + json_testo(regole::testo_km(regole::progressiva(t, fine)));
    }
  }
  luogo(o, v.dove);
  return true;
}

// The entries the page marks, in reading order; the k-th station entry is
// the k-th station of the table.
void oggetti(std::string& o, const std::vector<voce_letta>& voci, const tabella& t) {
  const std::vector<regole::stazione_linea> st = regole::stazioni_linea(t);
  const std::vector<regole::tratto_km> km = regole::tratti_km(t);
  chiave(o, "oggetti");
  o += '[';
  size_t k = 0;
  bool primo = true;
  for (const voce_letta& v : voci) {
    if (!v.chiave) continue;
    const size_t prima = o.size();
    if (!primo) o += ',';
    if (std::string_view(v.chiave->genere) == "stazione") {
      stazione(o, v, k < st.size() ? &st[k] : nullptr, km);
      ++k;
    } else if (!punto(o, v, km)) {
      o.resize(prima);
      continue;
    }
    primo = false;
  }
  o += ']';
}

void errore(std::string& o, const esito_compilazione& e, const std::string& motivo) {
  chiave(o, "errore");
  if (motivo.empty() && e.errore_io.empty() && !e.codifica && e.codice_fatale == 0 &&
      e.codice_errore == 0) {
    o += "null";
    return;
  }
  const errore_in_riga r = errore_principale(e);
  o += "{\"codice\":";
  intero(o, r.codice);
  const std::string& m = !e.errore_io.empty()     ? e.errore_io
                         : r.codice || e.codifica ? r.messaggio
                                                  : motivo;
  o += ",\"messaggio\":" + json_testo(m);
  if (!r.file.empty()) o += ",\"file\":" + json_testo(r.file);
  if (r.riga > 0) {
    chiave(o, "riga");
    intero(o, r.riga);
    chiave(o, "colonna");
    intero(o, r.colonna);
    o += ",\"testo\":" + json_testo(r.testo) + ",\"caret\":" + json_testo(r.caret);
  }
  o += '}';
}

// The cells shown: past the line's end, those that no profile reached (all
// zero: a gradient of -100 per mille) are left out.
size_t celle_mostrate(const std::vector<cella_percorso>& c, int32_t lunghezza) {
  const auto linea = static_cast<size_t>(lunghezza / formato::kMetriCella + 1);
  size_t n = c.size();
  while (n > linea && c[n - 1].pendenza == 0 && c[n - 1].velocita_limite == 0 &&
         c[n - 1].aderenza == 0)
    --n;
  return n;
}

// The line itself, from the compiled files.
void linea(std::string& o, const scenario_compilato& s, const std::vector<voce_letta>& voci,
           const regole::treno_marcia& treno, const linee_sotto* l) {
  const int32_t lunghezza = regole::lunghezza_linea(s.tabella_linea, s.celle);
  chiave(o, "lunghezza");
  intero(o, lunghezza);
  chiave(o, "passo_celle");
  intero(o, formato::kMetriCella);
  chiave(o, "velocita_cartello");
  o += "{\"massima\":";
  intero(o, regole::kVelocitaCartelloMassima);
  o += ",\"passo\":";
  intero(o, regole::kPassoVelocita);
  o += '}';
  const size_t n = celle_mostrate(s.celle, lunghezza);
  celle(o, "pendenza", s.celle, n, regole::pendenza_cella);
  celle(o, "velocita", s.celle, n, regole::velocita_cella);
  celle(o, "montagna", s.celle, n, montagna_cella);
  tratti_km(o, regole::tratti_km(s.tabella_linea));
  if (s.con_planimetria) pianta(o, s.pianta);
  if (s.con_planimetria && l) sotto(o, s.pianta, *l);
  oggetti(o, voci, s.tabella_linea);
  marce(o, s.tabella_linea, s.celle, treno);
}

}  // namespace

const char* genere_pagina(std::string_view genere_voce) {
  const std::string_view g = genere_voce;
  return g == "stazione"              ? "stazione"
         : g == "segnale"             ? "segnale"
         : g == "indicatori_vmax"     ? "indicatore"
         : g == "cartello_indicatore" ? "cartello"
         : g == "rallentamento"       ? "rallentamento"
         : g == "abbattimento"        ? "abbattimento"
                                      : nullptr;
}

opzioni_compilazione compilazione_anteprima(const std::string& cartella, const std::string& linea,
                                            const std::string& treno) {
  opzioni_compilazione o;
  o.cartella_sorgenti = cartella;
  o.linea = linea;
  o.treno = treno;
  o.planimetria = true;
  o.uscita = uscita_compilati::memoria;
  o.avvisi = true;
  o.voci = true;
  return o;
}

std::string documento_anteprima(esito_compilazione& e, const std::string& nome_linea,
                                const std::string& treno, int64_t versione, const linee_sotto* l) {
  std::string o = "{\"linea\":" + json_testo(nome_linea) + ",\"treno\":" + json_testo(treno);
  chiave(o, "versione");
  intero(o, versione);
  std::string motivo;
  // A compile that left a code still has its partial line, which the page
  // draws greyed only when it has nothing better.
  if (e.codice_fatale == 0 && e.errore_io.empty() && !e.compilati.empty()) {
    scenario_compilato s;
    try {
      compilato_da_memoria(e.compilati, nome_linea, treno, s);
      linea(o, s, e.voci, e.treno, l);
    } catch (const file::errore_io& x) {
      motivo = x.what();
    }
  }
  errore(o, e, e.codice_errore == 0 ? motivo : std::string());
  o += ",\"avvisi\":[";
  for (size_t i = 0; i < e.avvisi.size(); ++i) o += (i ? "," : "") + json_avviso(e.avvisi[i]);
  o += "]}";
  return o;
}

std::string pagina_con_dati(const std::string& documento) {
  static constexpr std::string_view kPosto = "<script type=\"application/json\" id=\"dati\">";
  const std::string_view pagina = pagina_anteprima();
  const size_t dove = pagina.find(kPosto);
  if (dove == std::string_view::npos) return std::string(pagina);
  std::string r(pagina.substr(0, dove + kPosto.size()));
  r.reserve(pagina.size() + documento.size() + documento.size() / 16);
  // No "<" inside the element, so no text in it can close it.
  for (char c : documento) {
    if (c == '<')
      r += "\\u003c";
    else
      r += c;
  }
  r += pagina.substr(dove + kPosto.size());
  return r;
}
