// The compiled files of a scenario read in one place, for dump, plot,
// decompile and diff: found by their names, seen in place, decoded, and
// checked against each other.
#include "tool/compilati.h"

#include <string>

#include "model/numeri.h"
#include "platform/file.h"

namespace {

using std::to_string;

constexpr int64_t kLunghezzaMassima = 1000000;

// The bytes of one file, seen in place; false with the reason when they
// cannot be.
bool vedi(const std::string& nome, bool facoltativo, scenario_compilato& s, std::string_view& b,
          bool& presente, std::string& motivo) {
  presente = false;
  switch (file::che_cosa(nome)) {
    case file::genere_voce::nessuna:
      if (facoltativo) return true;
      return motivo = "impossibile leggere " + nome + ": il file non c'è", false;
    case file::genere_voce::cartella:
      return motivo = nome + ": al posto del file c'è una cartella", false;
    case file::genere_voce::altro:
      return motivo = nome + ": non è un file (un collegamento che non porta a un file?)", false;
    case file::genere_voce::file:
      break;
  }
  auto m = std::make_unique<file::mappatura>(nome);
  if (!m->aperta()) return motivo = "impossibile leggere " + nome, false;
  b = m->dati();
  s.mappe.push_back(std::move(m));
  presente = true;
  return true;
}

// The records from the bytes, and the three files' sizes against one line
// length.
bool decodifica(scenario_compilato& s, const std::string& n_tabella, const std::string& n_percorso,
                const std::string& n_pianta, std::string& motivo) {
  std::string perche;
  if (!decodifica_tabella(s.byte_tabella, s.tabella_linea, perche))
    return motivo = n_tabella + ": " + perche, false;
  if (!decodifica_percorso(s.byte_percorso, s.celle, perche))
    return motivo = n_percorso + ": " + perche, false;
  if (s.con_planimetria && !decodifica_planimetria(s.byte_planimetria, s.planimetria, perche))
    return motivo = n_pianta + ": " + perche, false;
  const int64_t l = s.tabella_linea[84].fine;
  if (l < 0 || l > kLunghezzaMassima)
    return motivo =
               n_tabella + ": lunghezza del percorso " + to_string(l) + " m fuori da 0..1000000",
           false;
  const int64_t celle = arrotonda(l + 7000, 50) + 1;
  if (static_cast<int64_t>(s.celle.size()) != celle)
    return motivo = n_percorso + ": " + to_string(s.celle.size()) + " celle, ma la linea di " +
                    to_string(l) + " m ne ha " + to_string(celle),
           false;
  if (s.con_planimetria && static_cast<int64_t>(s.planimetria.punti()) != l + 7001)
    return motivo = n_pianta + ": " + to_string(s.planimetria.punti()) + " punti, ma la linea di " +
                    to_string(l) + " m ne ha " + to_string(l + 7001),
           false;
  return true;
}

}  // namespace

std::string nome_tabella(const std::string& linea, const std::string& treno) {
  return linea + "_" + treno + ".sim";
}
std::string nome_percorso(const std::string& linea, const std::string& treno) {
  return linea + "_" + treno + ".dat";
}
std::string nome_planimetria(const std::string& linea) {
  return linea + "_linea.dat";
}
std::string nome_sorgente_linea(const std::string& linea) {
  return linea + "_linea.txt";
}
std::string nome_sorgente_treno(const std::string& linea, const std::string& treno) {
  return linea + "_" + treno + "-.txt";
}

bool leggi_compilato(const std::string& cartella, const std::string& linea,
                     const std::string& treno, scenario_compilato& s, std::string& motivo) {
  s.linea = linea;
  s.treno = treno;
  const std::string n_tabella = file::percorso(cartella, nome_tabella(linea, treno));
  const std::string n_percorso = file::percorso(cartella, nome_percorso(linea, treno));
  const std::string n_pianta = file::percorso(cartella, nome_planimetria(linea));
  bool c;
  return vedi(n_tabella, false, s, s.byte_tabella, c, motivo) &&
         vedi(n_percorso, false, s, s.byte_percorso, c, motivo) &&
         vedi(n_pianta, true, s, s.byte_planimetria, s.con_planimetria, motivo) &&
         decodifica(s, n_tabella, n_percorso, n_pianta, motivo);
}

bool compilato_da_memoria(std::map<std::string, std::string>& compilati, const std::string& linea,
                          const std::string& treno, scenario_compilato& s, std::string& motivo) {
  s.linea = linea;
  s.treno = treno;
  const std::string n_tabella = nome_tabella(linea, treno);
  const std::string n_percorso = nome_percorso(linea, treno);
  const std::string n_pianta = nome_planimetria(linea);
  auto prendi = [&](const std::string& n, std::string_view& b) {
    auto i = compilati.find(n);
    if (i == compilati.end()) return false;
    s.propri.push_back(std::make_unique<std::string>(std::move(i->second)));
    b = *s.propri.back();
    return true;
  };
  if (!prendi(n_tabella, s.byte_tabella)) return motivo = n_tabella + " non è stato scritto", false;
  if (!prendi(n_percorso, s.byte_percorso))
    return motivo = n_percorso + " non è stato scritto", false;
  s.con_planimetria = prendi(n_pianta, s.byte_planimetria);
  return decodifica(s, n_tabella, n_percorso, n_pianta, motivo);
}
