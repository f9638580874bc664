// The driver's three documents for a scenario that lacks them, made from its
// compiled records in the layout of the built-in ones: the timetable sheet
// fills the built-in's frame, the slowdown list keeps its notice and indent.
#include "writers/documenti.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "model/formato.h"
#include "model/regole.h"
#include "platform/testo.h"
#include "tool/bozza/bozza.h"
#include "tool/pacchetto/pacchetto.h"

namespace pacchetto {

namespace {

// Characters, not bytes: the file has one byte for each.
size_t caratteri(const std::string& s) {
  size_t n = 0;
  for (size_t i = 0; i < s.size(); ++n) {
    char32_t c;
    const size_t l = testo::sequenza_utf8(s, i, c);
    i += l ? l : 1;
  }
  return n;
}

std::string al_piu(const std::string& s, size_t n) {
  size_t i = 0;
  for (size_t k = 0; k < n && i < s.size(); ++k) {
    char32_t c;
    const size_t l = testo::sequenza_utf8(s, i, c);
    i += l ? l : 1;
  }
  return s.substr(0, i);
}

enum class allinea { sinistra, destra, centro };

// s in a cell of w characters: at its side with a blank between it and the
// frame, or in its middle.
std::string in_cella(const std::string& s, size_t w, allinea a) {
  const std::string t = al_piu(s, a == allinea::centro ? w : w - 1);
  const size_t vuoto = w - caratteri(t);
  switch (a) {
    case allinea::sinistra:
      return " " + t + std::string(vuoto - 1, ' ');
    case allinea::destra:
      return std::string(vuoto - 1, ' ') + t + " ";
    case allinea::centro:
      break;
  }
  const size_t prima = (vuoto + 1) / 2;
  return std::string(prima, ' ') + t + std::string(vuoto - prima, ' ');
}

// A line of the frame cut at its "|": the pieces before, between and after them.
std::vector<std::string> celle_di(const std::string& riga) {
  std::vector<std::string> r(1);
  for (char c : riga) {
    if (c == '|')
      r.emplace_back();
    else
      r.back() += c;
  }
  return r;
}

std::string unisci(const std::vector<std::string>& celle) {
  std::string r;
  for (size_t i = 0; i < celle.size(); ++i) r += (i ? "|" : "") + celle[i];
  return r;
}

// The built-in's cell k of line `riga` with s in it.
void metti(std::vector<std::string>& righe, size_t riga, size_t k, const std::string& s,
           allinea a) {
  std::vector<std::string> c = celle_di(righe[riga]);
  c[k] = in_cella(s, c[k].size(), a);
  righe[riga] = unisci(c);
}

// The built-in's route field ("da: ", "a: ") in cell k of a head line: what
// follows the label, to the cell's end.
void metti_dopo(std::vector<std::string>& righe, size_t riga, size_t k, const char* etichetta,
                const std::string& s) {
  std::vector<std::string> c = celle_di(righe[riga]);
  const size_t da = c[k].find(etichetta) + std::string(etichetta).size();
  const std::string t = al_piu(s, c[k].size() - da - 1);
  c[k] = c[k].substr(0, da) + t + std::string(c[k].size() - da - caratteri(t), ' ');
  righe[riga] = unisci(c);
}

std::vector<std::string> da_testo(std::span<const char* const> t) {
  return {t.begin(), t.end()};
}

std::string intero(int64_t v) {
  return std::to_string(v);
}

// The timetable's columns, as the built-in's rule draws them.
enum colonna { lim = 1, marc, km, rs, localita, orario, rec };

std::string riga_stazione(const std::string& vuota, const scenario& s,
                          const std::vector<regole::tratto_km>& tratti,
                          const std::vector<regole::stazione_linea>& st, size_t i) {
  const regole::stazione_linea& x = st[i];
  std::vector<std::string> c = celle_di(vuota);
  const size_t cella = static_cast<size_t>(regole::cella_della_posizione(x.posizione, false));
  const int v = cella < s.celle.size() ? regole::velocita_cella(s.celle[cella]) : 0;
  if (v > 0) c[lim] = in_cella(intero(v), c[lim].size(), allinea::destra);
  c[km] = in_cella(regole::km_scheda(regole::progressiva(tratti, x.posizione)), c[km].size(),
                   allinea::destra);
  c[localita] = in_cella(x.nome, c[localita].size(), allinea::sinistra);
  if (x.orario != 0) {
    // Departure at the right, arrival at the left, the others in the middle.
    const allinea a = i == 0               ? allinea::destra
                      : i + 1 == st.size() ? allinea::sinistra
                                           : allinea::centro;
    c[orario] = in_cella(regole::ora_scheda(x.orario), c[orario].size(), a);
  }
  return unisci(c);
}

}  // namespace

std::vector<std::string> righe_scheda(const scenario& s) {
  const std::vector<std::string> base = da_testo(documenti::scheda());
  std::vector<std::string> r(base.begin(), base.begin() + documenti::kPrimaRigaOrario);
  const std::vector<regole::stazione_linea> st = regole::stazioni_linea(s.t);
  const regole::tipo_treno& tipo = *s.marcia.tipo;
  metti(r, documenti::kRigaTreno, 1, "TRENO n." + s.treno, allinea::centro);
  metti_dopo(r, documenti::kRigaTreno, 2, "da: ", st.empty() ? "" : st.front().nome);
  metti(r, documenti::kRigaTreno, 3, "V" + intero(std::lround(tipo.velocita_massima)),
        allinea::centro);
  metti_dopo(r, documenti::kRigaArrivo, 2, "a: ", st.empty() ? "" : st.back().nome);
  metti(r, documenti::kRigaArrivo, 3, intero(s.marcia.percentuale_frenata) + "%", allinea::centro);
  metti(r, documenti::kRigaClasse, 1, tipo.classificazione, allinea::centro);
  metti(r, documenti::kRigaClasse, 3,
        intero(std::lround(tipo.massa_vettura * s.marcia.vetture)) + "T", allinea::centro);

  // The rule under the header, blank: an empty row.
  std::string vuota = base[documenti::kPrimaRigaOrario - 1];
  std::replace(vuota.begin(), vuota.end(), '_', ' ');
  const std::vector<regole::tratto_km> tratti = regole::tratti_km(s.t);
  for (size_t i = 0; i < st.size(); ++i) r.push_back(riga_stazione(vuota, s, tratti, st, i));
  while (r.size() < documenti::kPrimaRigaOrario + documenti::kRigheOrario) r.push_back(vuota);
  r.insert(r.end(), base.end() - 2, base.end());
  return r;
}

std::vector<std::string> righe_rallentamenti(const scenario& s) {
  std::vector<std::string> r = da_testo(documenti::rallentamenti());
  const std::vector<regole::rallentamento_linea> rl = regole::rallentamenti_linea(s.celle);
  if (rl.empty()) return r;
  // The notice's place and indent, one line for each slowdown.
  const std::string rientro(r.back().find_first_not_of(' '), ' ');
  r.pop_back();
  const std::vector<regole::tratto_km> tratti = regole::tratti_km(s.t);
  for (const regole::rallentamento_linea& x : rl)
    r.push_back(rientro + "RALLENTAMENTO A " + intero(x.velocita) + " KM/H DAL KM " +
                regole::km_scheda(regole::progressiva(tratti, x.da)) + " AL KM " +
                regole::km_scheda(regole::progressiva(tratti, x.a)));
  return r;
}

std::vector<std::string> righe_note(const scenario& s) {
  const std::vector<regole::stazione_linea> st = regole::stazioni_linea(s.t);
  const std::vector<regole::fermata> f = regole::fermate(st);
  const std::vector<regole::tratto_km> tratti = regole::tratti_km(s.t);
  const regole::tipo_treno& tipo = *s.marcia.tipo;
  std::vector<std::string> r = {"Scenario " + s.linea + ", treno " + s.treno +
                                    ": note scritte da scenario pack con i dati dei sorgenti.",
                                "", "", "***NOTE SUL TRENO " + s.treno + "***"};
  if (f.size() >= 2)
    r.push_back("Il treno " + s.treno + " parte da " + st[f.front().stazione].nome + " alle " +
                regole::ora_scheda(f.front().ora) + " e arriva a " + st[f.back().stazione].nome +
                " alle " + regole::ora_scheda(f.back().ora) + "; le stazioni con orario sono " +
                intero(static_cast<int64_t>(f.size())) + ".");
  r.push_back("La composizione è di " + intero(s.marcia.vetture) +
              " vetture, per una massa del treno di " +
              intero(std::lround(tipo.massa_vettura * s.marcia.vetture)) +
              " tonnellate esclusa la locomotiva; la massa frenata è il " +
              intero(s.marcia.percentuale_frenata) + " per cento.");
  r.push_back(std::string("Tipo di treno: ") + tipo.nome + ", " + tipo.descrizione + ".");
  r.push_back("N.RO RALLENTAMENTI: " +
              intero(static_cast<int64_t>(regole::rallentamenti_linea(s.celle).size())));
  r.insert(r.end(), {"", "", "***NOTE SULLA LINEA " + s.linea + "***"});
  const int32_t l = regole::lunghezza_linea(s.t, s.celle);
  std::string linea = "La linea è lunga " + regole::km_scheda(l) + " km";
  if (!st.empty())
    linea += " e ha " + intero(static_cast<int64_t>(st.size())) + " località di servizio, da " +
             st.front().nome + " (km " +
             regole::km_scheda(regole::progressiva(tratti, st.front().posizione)) + ") a " +
             st.back().nome + " (km " +
             regole::km_scheda(regole::progressiva(tratti, st.back().posizione)) + ")";
  r.push_back(linea + ".");
  if (!s.crediti.empty()) {
    r.insert(r.end(), {"", "", "***FONTI DEI DATI E LICENZE***"});
    r.insert(r.end(), s.crediti.begin(), s.crediti.end());
  }
  return r;
}

std::vector<std::string> crediti_sorgente(const std::string& testo, bool utf8) {
  // The keys a source may carry before its sections: the draft's place on
  // the map and the train's type.
  const std::string chiavi[] = {bozza::kChiaveOrigine, bozza::kChiaveRotta,
                                regole::kChiaveTipoTreno};
  std::vector<std::string> r;
  for (size_t i = 0; i < testo.size();) {
    size_t fine = testo.find('\n', i);
    if (fine == std::string::npos) fine = testo.size();
    std::string riga = testo.substr(i, fine - i);
    i = fine + 1;
    if (testo::contiene_nc(riga, "[generale]")) break;
    while (!riga.empty() && (riga.back() == '\r' || riga.back() == ' ' || riga.back() == '\t'))
      riga.pop_back();
    riga.erase(0, std::min(riga.find_first_not_of(" \t"), riga.size()));
    const bool chiave = std::any_of(
        std::begin(chiavi), std::end(chiavi),
        [&](const std::string& k) { return testo::minuscolo(riga.substr(0, k.size())) == k; });
    if (!riga.empty() && !chiave)
      r.push_back(utf8 ? testo::utf8_valido(riga) : testo::da_1252(riga));
  }
  return r;
}

}  // namespace pacchetto
