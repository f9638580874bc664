#include <charconv>

#include "model/formato.h"
#include "tool/compilati/compilati.h"

// The numeric fields of the records, named by the field tables, in file order.
std::vector<campo_valore> campi_voce(const voce_linea& v) {
  std::vector<campo_valore> r;
  for (const auto& c : formato::kCampiVoce)
    if (!c.testo()) r.push_back({c.nome, c.valore(v)});
  return r;
}

std::vector<campo_valore> campi_cella(const cella_percorso& c) {
  std::vector<campo_valore> r;
  for (const auto& x : formato::kCampiCella) r.push_back({x.nome, x.valore(c)});
  return r;
}

std::string numero_esatto(double v) {
  char buf[40];
  auto r = std::to_chars(buf, buf + sizeof buf, v);
  return std::string(buf, r.ptr);
}
