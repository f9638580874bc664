// The map's rails on a plan's plane, for the preview.
#include "tool/bozza/bozza.h"
#include "tool/bozza/mappa.h"

namespace bozza {

bool leggi_binari(const std::string& nome, binari_mappa& b, std::string& errore) {
  mappa_osm m;
  if (!leggi_file_mappa(nome, m, errore)) return false;
  b.vie.clear();
  for (const via_osm& v : m.vie) {
    b.vie.emplace_back();
    for (uint32_t n : v.nodi) b.vie.back().push_back(m.nodi[n].dove());
  }
  return true;
}

std::vector<std::vector<double>> binari_nel_piano(const binari_mappa& b, const posto_mappa& p) {
  const piano pn({p.lat, p.lon}, p.rotta);
  std::vector<std::vector<double>> r;
  for (const std::vector<coordinate>& v : b.vie) {
    r.emplace_back();
    for (const coordinate& c : v) {
      const punto q = pn.proietta(c);
      r.back().push_back(q.x);
      r.back().push_back(q.y);
    }
  }
  return r;
}

}  // namespace bozza
