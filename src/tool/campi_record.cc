#include <charconv>

#include "tool/compilati.h"

std::vector<campo_valore> campi_voce(const voce_linea& v) {
  return {{"tipo", v.tipo},
          {"inizio", v.inizio},
          {"fine", v.fine},
          {"posizione", v.posizione},
          {"opzione_1", v.opzione_1},
          {"parametro_1", v.parametro_1},
          {"parametro_2", v.parametro_2},
          {"parametro_4", v.parametro_4},
          {"parametro_5", v.parametro_5},
          {"parametro_6", v.parametro_6},
          {"parametro_3", v.parametro_3},
          {"parametro_7", v.parametro_7},
          {"prolunga_fine", v.prolunga_fine},
          {"opzione_2", v.opzione_2},
          {"orario", v.orario}};
}

std::vector<campo_valore> campi_cella(const cella_percorso& c) {
  return {
      {"tipo", c.tipo},           {"valore_1", c.valore_1}, {"valore_2", c.valore_2},
      {"valore_3", c.valore_3},   {"valore_4", c.valore_4}, {"tempo", c.tempo},
      {"marcatore", c.marcatore}, {"montagna", c.montagna}, {"velocita_limite", c.velocita_limite},
      {"pendenza", c.pendenza},   {"aderenza", c.aderenza}};
}

std::string numero_esatto(double v) {
  char buf[40];
  auto r = std::to_chars(buf, buf + sizeof buf, v);
  return std::string(buf, r.ptr);
}
