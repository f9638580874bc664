#include "model/impaginazione.h"

#include <algorithm>
#include <cstdio>

#include "platform/testo.h"

namespace {

std::string a_sinistra(const std::string& s, size_t w) {
  return s.size() >= w ? s : s + std::string(w - s.size(), ' ');
}
std::string a_destra(const std::string& s, size_t w) {
  return s.size() >= w ? s : std::string(w - s.size(), ' ') + s;
}

}  // namespace

bool ha_testo(const riga_sorgente& r) {
  return r.genere == "stazione" || r.genere == "cartello_indicatore";
}

std::vector<std::string> allinea(const std::vector<riga_sorgente>& righe) {
  size_t chiave = 0;
  std::vector<size_t> larghe;
  for (const riga_sorgente& r : righe) {
    chiave = std::max(chiave, r.chiave.size() + 1);
    if (larghe.size() < r.valori.size()) larghe.resize(r.valori.size(), 0);
    for (size_t i = 0; i < r.valori.size(); ++i)
      if (!(ha_testo(r) && i + 1 == r.valori.size()))
        larghe[i] = std::max(larghe[i], r.valori[i].size());
  }
  std::vector<std::string> testi;
  for (const riga_sorgente& r : righe) {
    std::string t = a_sinistra(r.chiave + ",", chiave);
    for (size_t i = 0; i < r.valori.size(); ++i) {
      const bool testo = ha_testo(r) && i + 1 == r.valori.size();
      t += " " + (testo ? r.valori[i] : a_destra(r.valori[i], larghe[i]));
      if (i + 1 < r.valori.size()) t += ",";
    }
    while (!t.empty() && t.back() == ' ') t.pop_back();
    testi.push_back(std::move(t));
  }
  return testi;
}

bool testo_campo(const std::string& t, std::string& campo) {
  campo = t;
  if (t.find_first_of("\r\n") != std::string::npos) return false;
  const bool bordi =
      !t.empty() && (t.front() == ' ' || t.front() == '\t' || t.back() == ' ' || t.back() == '\t');
  const bool quota = bordi || t.find(',') != std::string::npos || (!t.empty() && t[0] == '"');
  if (!quota) return true;
  campo = "\"" + t + "\"";
  return t.find('"') == std::string::npos;
}

bool campo_di_testo(std::string_view utf8, std::string& campo, std::string& perche) {
  std::string t;
  size_t n = 0;
  for (size_t i = 0; i < utf8.size(); i += n) {
    char32_t c = 0;
    char b = 0;
    n = testo::sequenza_utf8(utf8, i, c);
    const auto dove = [&t] { return " al carattere " + std::to_string(t.size() + 1); };
    if (n == 0) return perche = "non è UTF-8 valido" + dove(), false;
    // C0 and C1 controls and DEL: the bytes Windows-1252 leaves unassigned are C1 ones.
    if (c < 0x20 || (c >= 0x7F && c <= 0x9F)) {
      char u[16];
      std::snprintf(u, sizeof u, "U+%04X", static_cast<unsigned>(c));
      return perche = std::string("ha un carattere di controllo (") + u + ")" + dove(), false;
    }
    if (!testo::byte_1252(c, b))
      return perche = "«" + std::string(utf8.substr(i, n)) + "»" + dove() +
                      " non è tra i caratteri di Windows-1252",
             false;
    t += b;
  }
  if (t.empty()) return perche = "è vuoto", false;
  if (t.size() > kTestoScrittoMassimo)
    return perche = "ha " + std::to_string(t.size()) + " caratteri, più dei " +
                    std::to_string(kTestoScrittoMassimo) + " ammessi",
           false;
  if (!testo_campo(t, campo))
    return perche =
               "ha virgolette in un campo che ne vuole intorno (per una virgola, spazi ai bordi o "
               "una virgoletta in testa): nessun campo lo rende intero",
           false;
  return true;
}

std::string sostituisci_campo(std::string_view riga, size_t da, size_t a, std::string_view valore) {
  std::string s(riga);
  const size_t prima = a - da;
  if (valore.size() <= prima) {
    s.replace(da, prima, std::string(prima - valore.size(), ' ') + std::string(valore));
    return s;
  }
  size_t vuoti = 0;
  while (vuoti < da && riga[da - 1 - vuoti] == ' ') ++vuoti;
  const size_t presi = std::min(valore.size() - prima, vuoti > 0 ? vuoti - 1 : 0);
  s.replace(da - presi, prima + presi, valore);
  return s;
}
