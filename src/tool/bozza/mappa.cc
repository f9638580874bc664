#include <algorithm>
#include <cstring>
#include <osmium/io/pbf_input.hpp>

#include "tool/bozza/lettore_osm.h"

namespace bozza {

namespace {

// "120", "120 km/h", "75 mph"; 0 for "none", "signals" and the like.
int leggi_velocita(const char* v) {
  if (!v || *v < '0' || *v > '9') return 0;
  long n = 0;
  const char* p = v;
  while (*p >= '0' && *p <= '9' && n < 100000) n = n * 10 + (*p++ - '0');
  while (*p == ' ') ++p;
  if (std::strncmp(p, "mph", 3) == 0) n = (n * 1609 + 500) / 1000;
  return static_cast<int>(n);
}

// "94.8", "100,785", "-0.4" kilometres in whole metres, without floating
// point; false for anything else ("mi:12.3").
bool leggi_chilometri(const char* v, int64_t& metri) {
  if (!v) return false;
  const char* p = v;
  const bool meno = *p == '-';
  if (meno) ++p;
  if (*p < '0' || *p > '9') return false;
  int64_t km = 0, m = 0;
  while (*p >= '0' && *p <= '9' && km < 100000) km = km * 10 + (*p++ - '0');
  if (*p == '.' || *p == ',') {
    ++p;
    int64_t peso = 100;
    for (; *p >= '0' && *p <= '9'; ++p, peso /= 10) m += (*p - '0') * peso;
  }
  if (*p != 0) return false;
  metri = (meno ? -1 : 1) * (km * 1000 + m);
  return true;
}

int8_t senso(const char* v) {
  if (!v) return 0;
  if (std::strcmp(v, "forward") == 0) return 1;
  if (std::strcmp(v, "backward") == 0) return -1;
  if (std::strcmp(v, "both") == 0 || std::strcmp(v, "forward;backward") == 0) return 2;
  return 0;
}

bool affermativo(const char* v) {
  return v && std::strcmp(v, "no") != 0;
}

uso_via uso(const etichette& e) {
  if (const char* s = e["service"])
    return std::strcmp(s, "crossover") == 0 ? uso_via::scambio : uso_via::servizio;
  if (e.vale("usage", "main")) return uso_via::principale;
  if (e.vale("usage", "branch")) return uso_via::secondaria;
  if (e["usage"]) return uso_via::servizio;  // industrial, military, test, tourism
  return uso_via::altro;
}

}  // namespace

void lettore_osm::node(const osmium::Node& n) {
  const osmium::Location l = n.location();
  m_.nodi.push_back({n.id(), l.y(), l.x()});
  const etichette e{n.tags()};
  const char* ferrovia = e["railway"];
  if (const char* nome = e["name"];
      nome && (e.vale("public_transport", "stop_position") || e.vale("railway", "stop") ||
               e.vale("railway", "station") || e.vale("railway", "halt"))) {
    m_.fermate.push_back({0, nome, e.vale("railway", "station") || e.vale("railway", "halt")});
    id_fermate_.push_back(n.id());
  }
  if (ferrovia && std::strcmp(ferrovia, "signal") == 0) {
    segnale_osm s;
    s.senso = senso(e["railway:signal:direction"]);
    s.principale = e["railway:signal:main"] || e["railway:signal:combined"];
    s.avviso = !s.principale && e["railway:signal:distant"];
    if (s.senso != 0 && (s.principale || s.avviso)) {
      m_.segnali.push_back(s);
      id_segnali_.push_back(n.id());
    }
  }
  int64_t metri;
  const char* km = e["railway:position:exact"];
  if (!km) km = e["railway:position"];
  if (ferrovia && std::strcmp(ferrovia, "milestone") == 0 && leggi_chilometri(km, metri)) {
    m_.cippi.push_back({0, metri, km});
    id_cippi_.push_back(n.id());
  }
  if (ferrovia && std::strcmp(ferrovia, "level_crossing") == 0) id_passaggi_.push_back(n.id());
}

void lettore_osm::way(const osmium::Way& w) {
  const etichette e{w.tags()};
  if (!e.vale("railway", "rail") && !e.vale("railway", "light_rail")) return;
  if (w.nodes().size() < 2) return;
  via_osm v;
  v.id = w.id();
  v.uso = uso(e);
  v.velocita = leggi_velocita(e["maxspeed"]);
  v.velocita_avanti = leggi_velocita(e["maxspeed:forward"]);
  v.velocita_indietro = leggi_velocita(e["maxspeed:backward"]);
  v.ponte = affermativo(e["bridge"]);
  v.galleria = affermativo(e["tunnel"]);
  const int8_t p = senso(e["railway:preferred_direction"]);
  v.senso_preferito = p == 2 ? 0 : p;
  std::vector<int64_t> ids;
  for (const osmium::NodeRef& r : w.nodes()) ids.push_back(r.ref());
  m_.vie.push_back(std::move(v));
  id_vie_.push_back(std::move(ids));
}

bool lettore_osm::chiudi(std::string& errore) {
  std::stable_sort(m_.nodi.begin(), m_.nodi.end(),
                   [](const nodo_osm& a, const nodo_osm& b) { return a.id < b.id; });
  auto trova = [&](int64_t id, uint32_t& i) {
    const int64_t k = m_.indice(id);
    i = static_cast<uint32_t>(k);
    return k >= 0;
  };
  for (size_t i = 0; i < m_.vie.size(); ++i)
    for (int64_t id : id_vie_[i]) {
      uint32_t k;
      if (!trova(id, k)) {
        errore = "la via " + std::to_string(m_.vie[i].id) + " nomina il nodo " +
                 std::to_string(id) + ", che la mappa non ha (un estratto tagliato male?)";
        return false;
      }
      m_.vie[i].nodi.push_back(k);
    }
  for (size_t i = 0; i < m_.fermate.size(); ++i) trova(id_fermate_[i], m_.fermate[i].nodo);
  for (size_t i = 0; i < m_.segnali.size(); ++i) trova(id_segnali_[i], m_.segnali[i].nodo);
  for (size_t i = 0; i < m_.cippi.size(); ++i) trova(id_cippi_[i], m_.cippi[i].nodo);
  for (int64_t id : id_passaggi_) {
    uint32_t k;
    if (trova(id, k)) m_.passaggi_a_livello.push_back(k);
  }
  return true;
}

int64_t mappa_osm::indice(int64_t id) const {
  auto i = std::lower_bound(nodi.begin(), nodi.end(), id,
                            [](const nodo_osm& n, int64_t x) { return n.id < x; });
  if (i == nodi.end() || i->id != id) return -1;
  return i - nodi.begin();
}

namespace {

enum class formato_mappa { sconosciuto, pbf, xml, xml_gz, xml_bz2 };

formato_mappa riconosci(std::string_view d) {
  if (d.size() >= 2 && static_cast<unsigned char>(d[0]) == 0x1f &&
      static_cast<unsigned char>(d[1]) == 0x8b)
    return formato_mappa::xml_gz;
  if (d.substr(0, 3) == "BZh") return formato_mappa::xml_bz2;
  // A PBF file opens with the length of its first block header, whose type
  // is "OSMHeader".
  if (d.size() > 16 && d.substr(0, 2) == std::string_view("\0\0", 2) &&
      d.substr(4, 20).find("OSMHeader") != std::string_view::npos)
    return formato_mappa::pbf;
  size_t i = d.substr(0, 3) == "\xEF\xBB\xBF" ? 3 : 0;
  while (i < d.size() && (d[i] == ' ' || d[i] == '\t' || d[i] == '\r' || d[i] == '\n')) ++i;
  if (i < d.size() && d[i] == '<') return formato_mappa::xml;
  return formato_mappa::sconosciuto;
}

}  // namespace

bool leggi_mappa(std::string_view dati, mappa_osm& m, std::string& errore) {
  const formato_mappa f = riconosci(dati);
  if (f == formato_mappa::sconosciuto) {
    errore = "non è una mappa OpenStreetMap (né PBF né XML, anche .gz o .bz2)";
    return false;
  }
  if (f != formato_mappa::pbf) {
    if (!mappa_xml_disponibile()) {
      errore =
          "questa build legge le mappe solo in PBF: convertire la mappa XML con "
          "\"osmium cat MAPPA -o MAPPA.osm.pbf\"";
      return false;
    }
    const char* nome = f == formato_mappa::xml      ? "osm"
                       : f == formato_mappa::xml_gz ? "osm.gz"
                                                    : "osm.bz2";
    return leggi_mappa_xml(dati, nome, m, errore);
  }
  bool ok = false;
  try {
    leggi_con(osmium::io::File(dati.data(), dati.size(), "pbf"), m, errore, ok);
  } catch (const osmium::pbf_error&) {
    errore = "la mappa PBF è rovinata o troncata";
    return false;
  } catch (const std::exception&) {
    errore = "la mappa PBF non si può leggere";
    return false;
  }
  return ok;
}

}  // namespace bozza
