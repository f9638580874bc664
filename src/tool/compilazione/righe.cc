#include "tool/compilazione/righe.h"

#include <algorithm>
#include <charconv>
#include <string>

namespace {

// A field as written in its line: quotes and inner blanks kept.
std::string scritto(std::string_view riga, const luogo_campo& l) {
  const auto da = static_cast<size_t>(std::clamp<int>(l.da, 0, static_cast<int>(riga.size())));
  const auto a = static_cast<size_t>(std::clamp<int>(l.a, l.da, static_cast<int>(riga.size())));
  return std::string(riga.substr(da, a - da));
}

}  // namespace

bool riga_della_voce(const voce_letta& v, std::string_view riga, riga_sorgente& r) {
  if (!v.chiave) return false;
  for (const luogo_campo& l : v.luoghi)
    if (l.riga != v.dove.riga) return false;
  r.chiave = scritto(riga, v.luogo_chiave);
  r.genere = v.chiave->genere;
  for (size_t i = 0; i < v.luoghi.size(); ++i) {
    const std::string x = scritto(riga, v.luoghi[i]);
    const bool stesso_campo =
        i > 0 && riga.substr(static_cast<size_t>(v.luoghi[i - 1].a),
                             static_cast<size_t>(v.luoghi[i].da - v.luoghi[i - 1].a))
                         .find(',') == std::string_view::npos;
    if (stesso_campo && !r.valori.empty())
      r.valori.back() += "  " + x;
    else
      r.valori.push_back(x);
  }
  return true;
}

int64_t numero_campo(const std::vector<std::string>& campi, size_t i) {
  if (i >= campi.size()) return 0;
  std::string_view v = campi[i];
  if (!v.empty() && v.front() == '+') v.remove_prefix(1);
  int64_t n = 0;
  std::from_chars(v.data(), v.data() + v.size(), n);
  return n;
}

int indice_valore(const formato::chiave_sorgente& k, std::string_view nome) {
  for (size_t i = 0; i < k.n_valori; ++i)
    if (nome == k.valori[i].nome) return static_cast<int>(i);
  return -1;
}
