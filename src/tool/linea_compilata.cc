#include "tool/linea_compilata.h"

#include <algorithm>

#include "model/formato.h"
#include "platform/testo.h"

namespace {

bool vuota(const voce_linea& v) {
  return v.nome.empty() && v.tipo == 0 && v.inizio == 0 && v.fine == 0 && v.posizione == 0 &&
         v.opzione_1 == 0 && v.parametro_1 == 0 && v.parametro_2 == 0 && v.parametro_4 == 0 &&
         v.parametro_5 == 0 && v.parametro_6 == 0 && v.parametro_3 == 0 && v.parametro_7 == 0 &&
         v.prolunga_fine == 0 && v.opzione_2 == 0 && v.orario == 0;
}

}  // namespace

std::vector<stazione_linea> stazioni_linea(const tabella& t) {
  std::vector<stazione_linea> r;
  // Stations fill entries from 1 upward; the first wholly empty entry ends
  // them (sign texts stand further up, after a gap).
  for (int e = formato::kPrimaStazione; e <= formato::kPrimoCartello; ++e) {
    const voce_linea& v = t[static_cast<size_t>(e)];
    if (vuota(v)) break;
    std::string nome = v.nome.empty() ? "stazione " + std::to_string(e) : testo::da_1252(v.nome);
    r.push_back({e, nome, v.posizione, v.inizio, v.fine, v.orario});
  }
  return r;
}

std::vector<rallentamento_linea> rallentamenti_linea(const std::vector<cella_percorso>& c) {
  std::vector<rallentamento_linea> r;
  size_t e = 0;  // the first end cell after the current start
  for (size_t i = 0; i < c.size(); ++i) {
    if (c[i].tipo != tipo_cella::inizio_rallentamento) continue;
    if (e <= i) {
      e = i + 1;
      while (e < c.size() && c[e].tipo != tipo_cella::fine_rallentamento) ++e;
    }
    size_t a = e < c.size() ? e : i;  // no end cell: the start alone
    r.push_back({static_cast<int32_t>(i * formato::kMetriCella),
                 static_cast<int32_t>(a * formato::kMetriCella), c[i].valore_1});
  }
  return r;
}

int32_t lunghezza_linea(const tabella& t, const std::vector<cella_percorso>& c) {
  const int32_t l = t[formato::kVoceTreno].fine;
  if (l > 0) return l;
  return static_cast<int32_t>(std::max<size_t>(c.size(), 1) * formato::kMetriCella);
}
