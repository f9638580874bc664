// The compiled files of a scenario read in one place, for dump, plot,
// decompile and diff: found by their names, seen in place, decoded, and
// checked against each other.
#include "tool/compilati/compilati.h"

#include <cstring>
#include <string>

#include "model/formato.h"
#include "model/numeri.h"
#include "platform/file.h"

namespace {

using std::to_string;

// The bytes of one file, seen in place; false for an optional one that is
// not there.
bool vedi(const std::string& nome, bool facoltativo, scenario_compilato& s, std::string_view& b) {
  switch (file::che_cosa(nome)) {
    case file::genere_voce::nessuna:
      if (facoltativo) return false;
      throw file::errore_io("impossibile leggere " + nome + ": il file non c'è");
    case file::genere_voce::cartella:
      throw file::errore_io(nome + ": al posto del file c'è una cartella");
    case file::genere_voce::altro:
      throw file::errore_io(nome + ": non è un file (un collegamento che non porta a un file?)");
    case file::genere_voce::file:
      break;
  }
  auto m = std::make_unique<file::mappatura>(nome);
  b = m->dati();
  s.mappe.push_back(std::move(m));
  return true;
}

// The records from the bytes, and the three files' sizes against one line
// length.
void decodifica(scenario_compilato& s, const std::string& n_tabella, const std::string& n_percorso,
                const std::string& n_pianta) {
  decodifica_tabella(s.byte_tabella, s.tabella_linea, n_tabella);
  decodifica_percorso(s.byte_percorso, s.celle, n_percorso);
  const int64_t l = s.tabella_linea[formato::kVoceTreno].fine;
  if (l < 0 || l > formato::kLunghezzaMassima)
    throw file::errore_io(n_tabella + ": lunghezza del percorso " + to_string(l) +
                          " m fuori da 0..1000000");
  if (s.con_planimetria &&
      !s.pianta.da_byte(s.byte_planimetria, static_cast<size_t>(formato::punti_planimetria(l)))) {
    decodifica_planimetria(s.byte_planimetria, s.array_, n_pianta);
    s.in_array_ = true;
    s.pianta.da_array(s.array_);
  }
  const int64_t celle = formato::ultima_cella(l) + 1;
  if (static_cast<int64_t>(s.celle.size()) != celle)
    throw file::errore_io(n_percorso + ": " + to_string(s.celle.size()) +
                          " celle, ma la linea di " + to_string(l) + " m ne ha " +
                          to_string(celle));
  if (s.con_planimetria && static_cast<int64_t>(s.pianta.punti()) != formato::punti_planimetria(l))
    throw file::errore_io(n_pianta + ": " + to_string(s.pianta.punti()) +
                          " punti, ma la linea di " + to_string(l) + " m ne ha " +
                          to_string(formato::punti_planimetria(l)));
}

uint16_t etichetta(std::string_view b, size_t pos) {
  return static_cast<uint16_t>(static_cast<unsigned char>(b[pos]) |
                               (static_cast<unsigned char>(b[pos + 1]) << 8));
}

}  // namespace

bool vista_planimetria::da_byte(std::string_view b, size_t punti) {
  if (b.size() % 2 != 0 || punti < 4) return false;
  const size_t colonna = b.size() / 2;
  size_t doppi = 0;
  bool interi = true;
  if (colonna == 2 * punti) {
    interi = false;  // nothing traced
  } else {
    if (colonna < 4 + 2 * punti || (colonna - 4 - 2 * punti) % 8 != 0) return false;
    doppi = (colonna - 4 - 2 * punti) / 8;
    if (doppi > punti - 2) return false;
  }
  // Every tag where the layout puts it, in both columns.
  for (size_t c = 0; c < 2; ++c) {
    size_t pos = c * colonna;
    if (interi) {
      if (etichetta(b, pos) != genere_punto::intero ||
          etichetta(b, pos + 4) != genere_punto::intero)
        return false;
      pos += 8;
      for (const size_t fine = pos + 10 * doppi; pos < fine; pos += 10)
        if (etichetta(b, pos) != genere_punto::doppio) return false;
    }
    for (const size_t fine = (c + 1) * colonna; pos < fine; pos += 2)
      if (etichetta(b, pos) != genere_punto::vuoto) return false;
  }
  b_ = b;
  p_ = nullptr;
  n_ = punti;
  doppi_ = doppi;
  colonna_ = colonna;
  interi_ = interi;
  return true;
}

void vista_planimetria::da_array(const planimetria_linea& p) {
  p_ = &p;
  n_ = p.punti();
}

double vista_planimetria::lento(size_t i, int c) const {
  // The two integers of points 0 and 1; an empty point has no value.
  if (genere(i) != genere_punto::intero) return 0;
  return static_cast<int16_t>(etichetta(b_, static_cast<size_t>(c) * colonna_ + 4 * i + 2));
}

const planimetria_linea& scenario_compilato::planimetria() {
  // Already checked whole when the files were read.
  if (con_planimetria && array_.punti() == 0)
    decodifica_planimetria(byte_planimetria, array_, nome_planimetria(linea));
  return array_;
}

void leggi_compilato(const std::string& cartella, const std::string& linea,
                     const std::string& treno, scenario_compilato& s) {
  s.linea = linea;
  s.treno = treno;
  const std::string n_tabella = file::percorso(cartella, nome_tabella(linea, treno));
  const std::string n_percorso = file::percorso(cartella, nome_percorso(linea, treno));
  const std::string n_pianta = file::percorso(cartella, nome_planimetria(linea));
  vedi(n_tabella, false, s, s.byte_tabella);
  vedi(n_percorso, false, s, s.byte_percorso);
  s.con_planimetria = vedi(n_pianta, true, s, s.byte_planimetria);
  decodifica(s, n_tabella, n_percorso, n_pianta);
}

void compilato_da_memoria(std::map<std::string, std::string>& compilati, const std::string& linea,
                          const std::string& treno, scenario_compilato& s) {
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
  if (!prendi(n_tabella, s.byte_tabella)) throw file::errore_io(n_tabella + " non è stato scritto");
  if (!prendi(n_percorso, s.byte_percorso))
    throw file::errore_io(n_percorso + " non è stato scritto");
  s.con_planimetria = prendi(n_pianta, s.byte_planimetria);
  decodifica(s, n_tabella, n_percorso, n_pianta);
}
