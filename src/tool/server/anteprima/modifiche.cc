#include "tool/server/anteprima/modifiche.h"

#include <algorithm>
#include <nlohmann/json.hpp>

#include "model/formato.h"
#include "model/impaginazione.h"
#include "model/regole.h"
#include "platform/testo.h"
#include "tool/compilazione/messaggi.h"
#include "tool/compilazione/righe.h"
#include "tool/comune/json.h"
#include "tool/disegno/documento.h"

namespace {

using json = nlohmann::json;

// How far an entry may be moved or added: the track past the longest line.
constexpr int64_t kPosizioneMassima = formato::kLunghezzaMassima + formato::kOltreLaFine;

constexpr const char* kIntenti[] = {"sposta",   "orario",  "elimina",
                                    "aggiungi", "annulla", "pacchetto"};

bool intero(const json& j, const char* k, int64_t& v) {
  const auto i = j.find(k);
  if (i == j.end() || !i->is_number_integer()) return false;
  v = i->get<int64_t>();
  return true;
}

bool testo_di(const json& j, const char* k, std::string& v) {
  const auto i = j.find(k);
  if (i == j.end() || !i->is_string()) return false;
  v = i->get<std::string>();
  return true;
}

// What adding a board or a sign carries besides its position.
bool leggi_oggetto(const json& j, intento& i, rifiuto& r) {
  if (!testo_di(j, "oggetto", i.oggetto)) return r = {400, "manca «oggetto»"}, false;
  if (i.oggetto == "indicatore") {
    const auto v = j.find("velocita");
    if (v == j.end() || !v->is_array() || v->size() != 3)
      return r = {400, "«velocita» vuole tre velocità"}, false;
    for (size_t k = 0; k < 3; ++k) {
      if (!(*v)[k].is_number_integer()) return r = {400, "velocità non intera"}, false;
      i.velocita[k] = (*v)[k].get<int64_t>();
    }
    return true;
  }
  if (i.oggetto == "cartello") {
    if (!testo_di(j, "scritta", i.scritta)) return r = {400, "manca «scritta»"}, false;
    return true;
  }
  return r = {400, "si aggiunge solo un indicatore o un cartello"}, false;
}

// The source line an intent names.
bool leggi_voce(const json& j, intento& i, rifiuto& r) {
  if (!testo_di(j, "file", i.file) || !intero(j, "riga", i.riga) || !testo_di(j, "testo", i.testo))
    return r = {400, "la voce va data con «file», «riga» e «testo»"}, false;
  return true;
}

struct voce_trovata {
  int file = 0;
  size_t riga = 0;  // from 0
  std::string testo;
  const voce_letta* v = nullptr;
};

std::string nome_file(const std::string& percorso) {
  const size_t s = percorso.find_last_of("/\\");
  return s == std::string::npos ? percorso : percorso.substr(s + 1);
}

std::string riga_del_testo(std::string_view t, const riga_testo& r) {
  return std::string(t.substr(r.inizio, r.fine - r.inizio));
}

// The entry of the intent's line in the sources shown, its line unchanged.
bool trova(const intento& i, const sorgenti_mostrate& s, voce_trovata& t, rifiuto& r) {
  t.file = s.file[0] == i.file ? 0 : s.file[1] == i.file ? 1 : -1;
  if (t.file < 0 || !s.letto[static_cast<size_t>(t.file)])
    return r = {400, "il file non è uno dei due sorgenti mostrati"}, false;
  const std::string& testo = s.testo[static_cast<size_t>(t.file)];
  const std::vector<riga_testo> righe = righe_di(testo);
  const std::string nome = nome_file(i.file) + ":" + std::to_string(i.riga);
  if (i.riga < 1 || static_cast<uint64_t>(i.riga) > righe.size())
    return r = {409, nome + " non c'è"}, false;
  t.riga = static_cast<size_t>(i.riga - 1);
  t.testo = riga_del_testo(testo, righe[t.riga]);
  if (testo::da_1252(t.testo) != i.testo)
    return r = {409, nome + " non è più la riga che la pagina mostra"}, false;
  int quante = 0;
  for (const voce_letta& v : s.voci)
    if (v.chiave && v.dove.riga == i.riga && v.dove.file == i.file && quante++ == 0) t.v = &v;
  if (!t.v) return r = {409, nome + ": nessuna voce letta dalla compilazione"}, false;
  if (quante > 1) return r = {409, nome + " ha più voci: modificale nell'editor"}, false;
  if (!genere_pagina(t.v->chiave->genere))
    return r = {400,
                nome + ": una voce «" + t.v->chiave->chiave + "» non si modifica dalla pagina"},
           false;
  for (const luogo_campo& l : t.v->luoghi)
    if (l.riga != i.riga) return r = {409, nome + ": la voce va oltre la sua riga"}, false;
  return true;
}

std::string nome_voce(const voce_trovata& t) {
  std::string n = t.v->chiave->chiave;
  if (std::string_view(t.v->chiave->genere) == "stazione" && !t.v->campi.empty())
    n += " " + testo::da_1252(t.v->campi.back());
  return n + " (riga " + std::to_string(t.riga + 1) + ")";
}

// The line before which an entry at position p goes among the others of its
// kind in its file: before the first one past it, else after the last.
size_t posto_in_ordine(const sorgenti_mostrate& s, const voce_trovata& t, int64_t p) {
  const std::string_view g = t.v->chiave->genere;
  const int i = indice_valore(*t.v->chiave, "posizione");
  size_t dopo_ultima = t.riga;
  for (const voce_letta& v : s.voci) {
    if (&v == t.v || !v.chiave || v.chiave->genere != g || v.dove.file != t.v->dove.file) continue;
    if (numero_campo(v.campi, static_cast<size_t>(i)) > p)
      return static_cast<size_t>(v.dove.riga - 1);
    dopo_ultima = static_cast<size_t>(v.dove.riga);
  }
  return dopo_ultima;
}

bool sposta(const intento& i, const sorgenti_mostrate& s, const voce_trovata& t, modifica& m,
            rifiuto& r) {
  if (i.posizione < 0 || i.posizione > kPosizioneMassima)
    return r = {400, "posizione fuori dalla linea"}, false;
  const std::string_view g = t.v->chiave->genere;
  const int k = indice_valore(*t.v->chiave, "posizione");
  if (k < 0 || static_cast<size_t>(k) >= t.v->luoghi.size())
    return r = {400, "la voce non ha una posizione"}, false;
  const int64_t p = regole::posizione_ammessa(g, i.posizione);
  const luogo_campo& l = t.v->luoghi[static_cast<size_t>(k)];
  const std::string nuova = sostituisci_campo(t.testo, static_cast<size_t>(l.da),
                                              static_cast<size_t>(l.a), std::to_string(p));
  const size_t dove = regole::in_ordine_di_posizione(g) ? posto_in_ordine(s, t, p) : t.riga;
  if (dove == t.riga || dove == t.riga + 1)
    m.righe = {{t.riga, t.riga + 1, {nuova}}};
  else if (dove < t.riga)
    m.righe = {{dove, dove, {nuova}}, {t.riga, t.riga + 1, {}}};
  else
    m.righe = {{t.riga, t.riga + 1, {}}, {dove, dove, {nuova}}};
  m.descrizione = nome_voce(t) + " a " + std::to_string(p) + " m";
  return true;
}

bool orario(const intento& i, const voce_trovata& t, modifica& m, rifiuto& r) {
  if (std::string_view(t.v->chiave->genere) != "stazione")
    return r = {400, "solo una stazione ha un orario"}, false;
  if (i.ora < 0 || i.ora >= regole::kGiorno)
    return r = {400, "orario fuori da 00:00:00..23:59:59"}, false;
  const int ore = indice_valore(*t.v->chiave, "ore");
  if (ore < 0 || static_cast<size_t>(ore) + 3 > t.v->luoghi.size())
    return r = {409, "la stazione non ha i campi dell'orario"}, false;
  const int64_t valori[3] = {i.ora / 3600, i.ora / 60 % 60, i.ora % 60};
  std::string nuova = t.testo;
  // From the last field back: each rewrite leaves the ones before it in place.
  for (size_t k = 3; k-- > 0;) {
    const luogo_campo& l = t.v->luoghi[static_cast<size_t>(ore) + k];
    nuova = sostituisci_campo(nuova, static_cast<size_t>(l.da), static_cast<size_t>(l.a),
                              std::to_string(valori[k]));
  }
  m.righe = {{t.riga, t.riga + 1, {nuova}}};
  m.descrizione = nome_voce(t) + ": orario " + regole::ora_testo(i.ora);
  return true;
}

// The new entry's key and values, as the reader takes them.
bool riga_nuova(const intento& i, riga_sorgente& n, rifiuto& r) {
  n.posizione = i.posizione;
  if (i.oggetto == "indicatore") {
    n.chiave = n.genere = "indicatori_vmax";
    n.valori = {std::to_string(i.posizione)};
    for (int64_t v : i.velocita) {
      if (!regole::velocita_cartello_esatta(v))
        return r = {400, "velocità " + std::to_string(v) + " km/h: va multipla di " +
                             std::to_string(regole::kPassoVelocita) + ", da 0 a " +
                             std::to_string(regole::kVelocitaCartelloMassima)},
               false;
      n.valori.push_back(std::to_string(v));
    }
    // One side only: the second's values left empty read as 0.
    n.valori.insert(n.valori.end(), {"0", "", "", "", "0"});
    return true;
  }
  std::string campo, perche;
  if (!campo_di_testo(i.scritta, campo, perche))
    return r = {400, "il testo del cartello " + perche}, false;
  n.chiave = n.genere = "cartello_indicatore";
  n.valori = {std::to_string(i.posizione), campo};
  return true;
}

// Where a new entry of kind g at p goes in the line source: after the last
// of its kind at or before p, else before the first; with none, before
// "[fine]" (else at the end). `vicina` is the entry beside it, if any.
size_t posto_nuovo(const sorgenti_mostrate& s, std::string_view g, int64_t p,
                   const voce_letta*& vicina) {
  const voce_letta *fine = nullptr, *prima = nullptr, *dopo = nullptr;
  for (const voce_letta& v : s.voci) {
    if (v.dove.file != s.file[0]) continue;
    if (!v.chiave && !fine && !v.campi.empty() && testo::minuscolo(v.campi[0]) == "[fine]")
      fine = &v;
    if (!v.chiave || v.chiave->genere != g) continue;
    if (numero_campo(v.campi, 0) <= p)
      prima = &v;
    else if (!dopo)
      dopo = &v;
  }
  vicina = prima ? prima : dopo;
  if (prima) return static_cast<size_t>(prima->dove.riga);
  if (dopo) return static_cast<size_t>(dopo->dove.riga - 1);
  if (fine) return static_cast<size_t>(fine->dove.riga - 1);
  const std::vector<riga_testo> righe = righe_di(s.testo[0]);
  return righe.back().inizio == righe.back().fine ? righe.size() - 1 : righe.size();
}

// The entries of the section an entry stands in, each alone on its line.
std::vector<riga_sorgente> sezione_di(const sorgenti_mostrate& s, const voce_letta* v) {
  std::vector<riga_sorgente> sezione;
  if (!v) return sezione;
  const std::vector<riga_testo> righe = righe_di(s.testo[0]);
  bool dentro = false;
  for (const voce_letta& x : s.voci) {
    if (x.dove.file != v->dove.file) continue;
    if (!x.chiave) {
      if (dentro) break;
      sezione.clear();
      continue;
    }
    dentro = dentro || &x == v;
    riga_sorgente r;
    const auto n = static_cast<size_t>(x.dove.riga);
    if (n >= 1 && n <= righe.size() &&
        riga_della_voce(x, riga_del_testo(s.testo[0], righe[n - 1]), r))
      sezione.push_back(std::move(r));
  }
  return sezione;
}

bool aggiungi(const intento& i, const sorgenti_mostrate& s, modifica& m, rifiuto& r) {
  if (!s.letto[0]) return r = {409, "il sorgente della linea non è stato letto"}, false;
  if (i.posizione < 0 || i.posizione > kPosizioneMassima)
    return r = {400, "posizione fuori dalla linea"}, false;
  riga_sorgente n;
  if (!riga_nuova(i, n, r)) return false;
  const voce_letta* vicina = nullptr;
  const size_t dove = posto_nuovo(s, n.genere, i.posizione, vicina);
  std::vector<riga_sorgente> sezione = sezione_di(s, vicina);
  sezione.push_back(n);
  m.file = 0;
  m.righe = {{dove, dove, {allinea(sezione).back()}}};
  m.descrizione =
      n.chiave + " a " + std::to_string(i.posizione) + " m (riga " + std::to_string(dove + 1) + ")";
  return true;
}

}  // namespace

bool leggi_intento(std::string_view corpo, intento& i, rifiuto& r) {
  const json j = json::parse(corpo, nullptr, false);
  if (j.is_discarded() || !j.is_object()) return r = {400, "il corpo non è un oggetto JSON"}, false;
  std::string nome;
  if (!testo_di(j, "intento", nome)) return r = {400, "manca «intento»"}, false;
  const auto k = std::find(std::begin(kIntenti), std::end(kIntenti), nome);
  if (k == std::end(kIntenti)) return r = {400, "intento sconosciuto"}, false;
  i.genere = static_cast<genere_intento>(k - std::begin(kIntenti));
  if (!intero(j, "versione", i.versione)) return r = {400, "manca «versione»"}, false;
  switch (i.genere) {
    case genere_intento::sposta:
      if (!intero(j, "posizione", i.posizione)) return r = {400, "manca «posizione»"}, false;
      return leggi_voce(j, i, r);
    case genere_intento::orario:
      if (!intero(j, "ora", i.ora)) return r = {400, "manca «ora»"}, false;
      return leggi_voce(j, i, r);
    case genere_intento::elimina:
      return leggi_voce(j, i, r);
    case genere_intento::aggiungi:
      if (!intero(j, "posizione", i.posizione)) return r = {400, "manca «posizione»"}, false;
      return leggi_oggetto(j, i, r);
    case genere_intento::annulla:
    case genere_intento::pacchetto:
      return true;
  }
  return false;
}

bool prepara_modifica(const intento& i, const sorgenti_mostrate& s, modifica& m, rifiuto& r) {
  if (i.versione != s.versione)
    return r = {409, "la pagina mostrava la versione " + std::to_string(i.versione) +
                         ", i sorgenti sono alla " + std::to_string(s.versione)},
           false;
  if (i.genere == genere_intento::aggiungi) return aggiungi(i, s, m, r);
  if (i.genere == genere_intento::annulla || i.genere == genere_intento::pacchetto)
    return r = {400, "niente da modificare qui"}, false;
  voce_trovata t;
  if (!trova(i, s, t, r)) return false;
  m.file = t.file;
  switch (i.genere) {
    case genere_intento::sposta:
      return sposta(i, s, t, m, r);
    case genere_intento::orario:
      return orario(i, t, m, r);
    default:
      m.righe = {{t.riga, t.riga + 1, {}}};
      m.descrizione = nome_voce(t) + " tolta";
      return true;
  }
}

bool compila_modifica(const modifica& m, const sorgenti_mostrate& s, int32_t codice,
                      opzioni_compilazione o, rifiuto& r) {
  std::array<std::string, 2> testi = s.testo;
  const auto k = static_cast<size_t>(m.file);
  if (!s.letto[k]) return r = {409, "il sorgente da modificare non è stato letto"}, false;
  testi[k] = applica_righe(testi[k], m.righe);
  // A source not read stays as the shown compile saw it: missing.
  o.testo_linea = s.letto[0] ? &testi[0] : nullptr;
  o.testo_treno = s.letto[1] ? &testi[1] : nullptr;
  o.utf8 = false;
  const esito_compilazione e = compila_scenario(o);
  const int32_t dopo = regole::codice_rimasto(e.codice_fatale, e.codice_errore);
  if (dopo == 0 || dopo == codice) return true;
  const errore_in_riga x = errore_principale(e);
  std::string dove;
  if (!x.file.empty()) dove = nome_file(x.file) + ":" + std::to_string(x.riga);
  if (e.posizione_errore > 0)
    dove +=
        (dove.empty() ? "" : ", ") + regole::testo_km(regole::progressiva(
                                         regole::tratti_km(e.tabella_linea), e.posizione_errore));
  std::string perche = "nulla scritto: " + m.descrizione + " darebbe l'" + x.messaggio;
  if (!dove.empty()) perche += " (" + dove + ")";
  r = {409, perche};
  return false;
}

std::vector<riga_testo> righe_di(std::string_view t) {
  std::vector<riga_testo> r;
  size_t inizio = 0;
  for (size_t i = 0; i < t.size(); ++i) {
    if (t[i] != '\n' && t[i] != '\r') continue;
    size_t dopo = i + 1;
    if (t[i] == '\r' && dopo < t.size() && t[dopo] == '\n') ++dopo;
    r.push_back({inizio, i, dopo});
    inizio = dopo;
    i = dopo - 1;
  }
  r.push_back({inizio, t.size(), t.size()});
  return r;
}

std::string testo_sostituito(std::string_view t, const std::vector<riga_testo>& righe,
                             const righe_nuove& m, const conversione& converti) {
  const riga_testo& ultima = righe.back();
  const std::string a_capo =
      righe.size() > 1 ? std::string(t.substr(righe[0].fine, righe[0].dopo - righe[0].fine))
                       : "\r\n";
  // Through the last line, which ends without a break: so do the new lines.
  const bool senza_fine = m.a >= righe.size() && ultima.dopo == ultima.fine;
  std::string out;
  if (m.da >= righe.size() && ultima.fine > ultima.inizio && senza_fine) out += a_capo;
  for (size_t k = 0; k < m.righe.size(); ++k) {
    out += converti ? converti(m.righe[k]) : m.righe[k];
    if (!(senza_fine && k + 1 == m.righe.size())) out += a_capo;
  }
  return out;
}

std::string applica_righe(std::string_view t, const std::vector<righe_nuove>& modifiche,
                          const conversione& converti) {
  const std::vector<riga_testo> righe = righe_di(t);
  auto inizio = [&](size_t i) { return i < righe.size() ? righe[i].inizio : t.size(); };
  std::string out;
  size_t fatto = 0;
  for (const righe_nuove& m : modifiche) {
    out.append(t.substr(fatto, inizio(m.da) - fatto));
    out += testo_sostituito(t, righe, m, converti);
    fatto = inizio(m.a);
  }
  out.append(t.substr(fatto));
  return out;
}

bool posto_json(std::string_view genere, int64_t posizione,
                const std::vector<regole::tratto_km>& tratti, std::string& out) {
  if (posizione < -kPosizioneMassima || posizione > kPosizioneMassima) return false;
  const char* g = nullptr;
  for (formato::sorgente s : {formato::sorgente::linea, formato::sorgente::treno})
    for (const formato::chiave_sorgente& k : formato::chiavi(s))
      if (const char* p = genere_pagina(k.genere); p && genere == p) g = k.genere;
  if (!g) return false;
  const bool dopo = regole::nella_cella_dopo(g);
  const int64_t cella = regole::cella_della_posizione(posizione, dopo);
  const regole::posizioni_cella c = regole::posizioni_della_cella(cella, dopo);
  // A position the whole cell writes the same (a station's), or null: the
  // metre pointed at.
  const int64_t scritta = regole::posizione_ammessa(g, c.da);
  const bool fissa = scritta == regole::posizione_ammessa(g, c.a);
  out = "{\"genere\":" + json_testo(std::string(genere)) + ",\"cella\":" + std::to_string(cella) +
        ",\"da\":" + std::to_string(c.da) + ",\"a\":" + std::to_string(c.a) +
        ",\"fissa\":" + (fissa ? std::to_string(scritta) : "null") + ",\"km\":" +
        json_testo(regole::testo_km(regole::progressiva(tratti, fissa ? scritta : posizione))) +
        "}";
  return true;
}
