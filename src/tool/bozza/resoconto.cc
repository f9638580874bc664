#include "tool/bozza/resoconto.h"

#include <cmath>
#include <cstdio>

#include "model/regole.h"
#include "tool/bozza/testi.h"
#include "tool/comune/json.h"

namespace bozza {

namespace {

// Past this the posts' run needs more than three reference points.
constexpr int64_t kSaltoCippi = 100;

std::string m(double metri) {
  return testo_reale(metri, 2) + " m";
}

std::string n(int64_t v) {
  return std::to_string(v);
}

// The kilometre a post's own value is read as, against the one the line shows.
int64_t differenza(const esito_bozza& e, size_t j) {
  const int64_t km = e.f.km_cippi[j];
  return (e.b.km_all_indietro ? -km : km) - e.b.cippi[j].metri;
}

std::string contenuto(const esito_bozza& e) {
  const bozza_linea& b = e.b;
  int classi[7] = {0, 0, 0, 0, 0, 0, 0};
  for (const curva_bozza& c : b.t.curve) ++classi[c.classe];
  size_t principali = 0;
  for (const segnale_bozza& s : b.segnali) principali += s.principale;
  std::string r = "Nei sorgenti: " + n(static_cast<int64_t>(b.t.curve.size())) + " curve (";
  for (int c = 1; c <= 6; ++c) r += (c > 1 ? ", " : "classe ") + n(c) + ": " + n(classi[c]);
  r += "), " + n(static_cast<int64_t>(b.pendenze.size())) + " punti di pendenza, " +
       n(static_cast<int64_t>(b.cartelli_velocita.size())) + " cartelli di velocità, " +
       n(static_cast<int64_t>(b.segnali.size())) + " segnali (" +
       n(static_cast<int64_t>(principali)) + " principali), " +
       n(static_cast<int64_t>(b.stazioni.size())) + " stazioni, " +
       n(static_cast<int64_t>(b.cartelli.size())) + " cartelli indicatori.\n";
  return r;
}

std::string scarti(const esito_bozza& e) {
  const misure& f = e.f;
  std::string r = "La planimetria compilata contro il binario della mappa";
  r += f.stretti.empty() ? ":\n" : " (fuori dai tratti stretti qui sotto):\n";
  r += "  scarto massimo " + m(f.scarto_massimo) + " (a " + dove(f.dove_massimo) + "), medio " +
       m(f.scarto_medio) + "\n";
  r += "  il nodo della mappa più lontano: " + m(f.scarto_nodi) + " (nodo " + n(f.nodo_lontano) +
       ")\n";
  r += "  dalle vie come spezzate: al più " + m(f.scarto_corde) +
       " (dove i nodi sono lontani la spezzata taglia dentro la curva)\n";
  r += "  tratti più stretti della curva di classe 6 (raggio 333 m):";
  if (f.stretti.empty()) r += " nessuno";
  r += "\n";
  for (const tratto_nominato& s : f.stretti) {
    r += "    da " + dove(s.da) + " a " + dove(s.a) + ": raggio " + testo_reale(s.raggio, 0) +
         " m, vie";
    for (int64_t v : s.vie) r += " " + n(v);
    r += "; la planimetria vi si scosta\n";
  }
  return r;
}

std::string stazioni(const esito_bozza& e) {
  const bool corsa = !e.b.orario.empty();
  std::string r = corsa ? "Stazioni (orari della corsa; senza orario quelle dove non ferma):\n"
                        : "Stazioni (orari dalla marcia del treno, che accelera e frena, più "
                          "margine e sosta):\n";
  for (const stazione_bozza& s : e.b.stazioni) {
    char riga[64];
    std::snprintf(riga, sizeof riga, "  %9lld m  %s  ", static_cast<long long>(s.posizione),
                  s.orario > 0 || !corsa ? regole::ora_testo(s.orario % regole::kGiorno).c_str()
                                         : "--:--:--");
    r += riga + s.nome;
    if (corsa && s.sosta > 0) r += " (sosta " + regole::durata_testo(s.sosta) + ")";
    r += "\n";
  }
  if (!corsa) return r;
  r += "Orario della corsa contro la marcia sulla linea disegnata:\n";
  for (const tratta_orario& t : e.b.tratte) {
    r += "  da «" + e.b.stazioni[t.da].nome + "» a «" + e.b.stazioni[t.a].nome + "»: previsti " +
         regole::durata_testo(t.prevista) + ", la marcia " +
         regole::durata_testo(std::llround(std::ceil(t.marcia)));
    r += t.lento.empty() ? "\n" : "; non lo tiene: lo rallenta " + t.lento + "\n";
  }
  return r;
}

std::string chilometri(const esito_bozza& e) {
  const bozza_linea& b = e.b;
  std::string r = "Chilometri:";
  if (b.cippi.empty()) return r + " nessun cippo sul percorso; la progressiva è la posizione\n";
  r += " " + n(static_cast<int64_t>(b.cippi.size())) + " cippi sul percorso\n";
  if (b.km_all_indietro)
    r += "  i cippi contano all'indietro lungo la linea, e tre punti di riferimento contano solo "
         "in avanti: le progressive sono scritte negative, con il valore dei cippi\n";
  r += "  punti di riferimento:";
  for (const riferimento_km& k : b.km)
    r += " " + dove(k.posizione) + " " + regole::testo_km(k.progressiva) + ";";
  r += "\n";
  for (size_t j = 0; j < b.cippi.size(); ++j)
    r += "  cippo " + b.cippi[j].testo + " (nodo " + n(b.cippi[j].id) + ") a " +
         dove(b.cippi[j].posizione) + ": " + regole::testo_km(e.f.km_cippi[j]) + ", scarto " +
         n(differenza(e, j)) + " m" +
         (b.cippi[j].fuori_posto ? " (fuori posto: il suo valore non segue i vicini)" : "") + "\n";
  if (e.f.cippo_peggiore >= 0) {
    const size_t j = static_cast<size_t>(e.f.cippo_peggiore);
    const int64_t d = std::llabs(differenza(e, j));
    r += "  il più lontano (fuori posto a parte): " + n(d) + " m (nodo " + n(b.cippi[j].id) + ")";
    if (d > kSaltoCippi)
      r += ": i cippi saltano più di due volte, o scorrono più o meno della linea, e tre punti di "
           "riferimento non bastano";
    r += "\n";
  }
  return r;
}

}  // namespace

std::string resoconto_testo(const esito_bozza& e, const std::vector<std::string>& files) {
  const bozza_linea& b = e.b;
  std::string r = "Bozza da «" + b.tappe.front().nome + "» a «" + b.tappe.back().nome +
                  "»: " + dove(b.lunghezza) + ", " + n(static_cast<int64_t>(b.strada.nodi.size())) +
                  " nodi della mappa.\n";
  // A detour is said before anything else: the draft may not be the line asked for.
  if (b.deviazione.presente) r += "ATTENZIONE: " + b.avvisi.front().testo + "\n";
  for (const std::string& f : files) r += "scritto " + f + "\n";
  r += "Sulla mappa: il punto 0 della planimetria è a " + testo_reale(b.pn.origine.lat, 7) + ", " +
       testo_reale(b.pn.origine.lon, 7) + "; il suo asse +y va a " + testo_reale(b.pn.rotta, 7) +
       " gradi da nord (+x alla sua destra).\n";
  r += contenuto(e) + scarti(e) + stazioni(e) + chilometri(e);
  r += "Quote: la pendenza più ripida è di " + n(e.f.pendenza_massima) +
       " per mille; le quote che le pendenze danno restano entro " + m(e.f.scarto_quote) +
       " dalla tessera (al più a " + dove(e.f.dove_quote) + "), fuori da ponti e gallerie.\n";
  r += "Avvisi: " + n(static_cast<int64_t>(b.avvisi.size())) + "\n";
  for (const avviso_bozza& a : b.avvisi)
    r += "  " +
         (a.posizione >= 0
              ? dove(a.posizione) + " (" + regole::testo_km(progressiva_bozza(b, a.posizione)) + ")"
              : std::string("-")) +
         (a.oggetto.empty() ? "" : ", " + a.oggetto) + ": " + a.testo + "\n";
  r += "check: " + (e.f.avvisi_check == 0 ? std::string("nessun avviso")
                                          : n(static_cast<int64_t>(e.f.avvisi_check)) + " avvisi");
  if (e.f.avvisi_marcatori > 0)
    r += ", " + n(static_cast<int64_t>(e.f.avvisi_marcatori)) +
         " di marcatori sostituiti (segnali e stazioni a meno di 400 m fra loro)";
  r += "\n";
  // Each one the draft could not avoid, in check's words.
  for (const std::string& t : e.f.testi_check) r += "  " + t + "\n";
  return r;
}

std::string resoconto_json(const esito_bozza& e, const std::vector<std::string>& files) {
  const bozza_linea& b = e.b;
  const misure& f = e.f;
  std::string r = "{";
  if (b.deviazione.presente) {
    r += "\"deviazione\":{\"fermate\":[";
    for (size_t k = 0; k < b.tappe.size(); ++k) r += (k ? "," : "") + json_testo(b.tappe[k].nome);
    r += "],\"lunghezza\":" + testo_reale(b.deviazione.lunghezza, 0) +
         ",\"diretta\":" + testo_reale(b.deviazione.diretta, 0) +
         ",\"messaggio\":" + json_testo(b.avvisi.front().testo) + "},";
  }
  r += "\"files\":[";
  for (size_t i = 0; i < files.size(); ++i) r += (i ? "," : "") + json_testo(files[i]);
  r += "],\"origine\":{\"lat\":" + testo_reale(b.pn.origine.lat, 7) +
       ",\"lon\":" + testo_reale(b.pn.origine.lon, 7) +
       "},\"rotta\":" + testo_reale(b.pn.rotta, 7) + ",\"lunghezza\":" + n(b.lunghezza) +
       ",\"stazioni\":[";
  for (size_t i = 0; i < b.stazioni.size(); ++i)
    r += std::string(i ? "," : "") + "{\"nome\":" + json_testo(b.stazioni[i].nome) +
         ",\"posizione\":" + n(b.stazioni[i].posizione) + ",\"orario\":" +
         (b.stazioni[i].orario > 0 || b.orario.empty()
              ? json_testo(regole::ora_testo(b.stazioni[i].orario))
              : std::string("null")) +
         "}";
  // A timetable's legs: seconds scheduled, of the run, and the stretch that slows it.
  if (!b.orario.empty()) {
    r += "],\"tratte\":[";
    for (size_t i = 0; i < b.tratte.size(); ++i)
      r += std::string(i ? "," : "") + "{\"da\":" + json_testo(b.stazioni[b.tratte[i].da].nome) +
           ",\"a\":" + json_testo(b.stazioni[b.tratte[i].a].nome) +
           ",\"prevista\":" + n(b.tratte[i].prevista) +
           ",\"marcia\":" + testo_reale(b.tratte[i].marcia, 1) +
           ",\"lento\":" + json_testo(b.tratte[i].lento) + "}";
  }
  r += "],\"curve\":" + n(static_cast<int64_t>(b.t.curve.size())) +
       ",\"pendenze\":" + n(static_cast<int64_t>(b.pendenze.size())) +
       ",\"cartelli_velocita\":" + n(static_cast<int64_t>(b.cartelli_velocita.size())) +
       ",\"segnali\":" + n(static_cast<int64_t>(b.segnali.size())) +
       ",\"cartelli\":" + n(static_cast<int64_t>(b.cartelli.size())) +
       ",\"scarto_massimo\":" + testo_reale(f.scarto_massimo, 2) +
       ",\"scarto_medio\":" + testo_reale(f.scarto_medio, 2) +
       ",\"scarto_nodi\":" + testo_reale(f.scarto_nodi, 2) +
       ",\"scarto_corde\":" + testo_reale(f.scarto_corde, 2) + ",\"tratti_stretti\":[";
  for (size_t i = 0; i < f.stretti.size(); ++i)
    r += std::string(i ? "," : "") + "{\"da\":" + n(f.stretti[i].da) +
         ",\"a\":" + n(f.stretti[i].a) + ",\"raggio\":" + testo_reale(f.stretti[i].raggio, 0) + "}";
  r += "],\"chilometri_all_indietro\":" + std::string(b.km_all_indietro ? "true" : "false") +
       ",\"cippi\":[";
  for (size_t j = 0; j < b.cippi.size(); ++j)
    r += std::string(j ? "," : "") + "{\"nodo\":" + n(b.cippi[j].id) +
         ",\"testo\":" + json_testo(b.cippi[j].testo) +
         ",\"posizione\":" + n(b.cippi[j].posizione) + ",\"progressiva\":" + n(f.km_cippi[j]) +
         ",\"scarto\":" + n(differenza(e, j)) +
         ",\"fuori_posto\":" + (b.cippi[j].fuori_posto ? "true" : "false") + "}";
  r += "],\"pendenza_massima\":" + n(f.pendenza_massima) +
       ",\"scarto_quote\":" + testo_reale(f.scarto_quote, 2) + ",\"avvisi\":[";
  for (size_t i = 0; i < b.avvisi.size(); ++i)
    r += std::string(i ? "," : "") + "{\"messaggio\":" + json_testo(b.avvisi[i].testo) +
         ",\"oggetto\":" + json_testo(b.avvisi[i].oggetto) +
         ",\"posizione\":" + n(b.avvisi[i].posizione) + "}";
  return r + "],\"avvisi_check\":" + n(static_cast<int64_t>(f.avvisi_check)) +
         ",\"avvisi_marcatori\":" + n(static_cast<int64_t>(f.avvisi_marcatori)) + "}\n";
}

}  // namespace bozza
