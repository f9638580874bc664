// The handler that fills a mappa_osm from libosmium's objects, shared by the
// readers of each format. Only the sources of this room include it.
#pragma once
#include <osmium/handler.hpp>
#include <osmium/io/reader.hpp>
#include <osmium/osm/node.hpp>
#include <osmium/osm/relation.hpp>
#include <osmium/osm/way.hpp>
#include <osmium/visitor.hpp>
#include <stdexcept>

#include "tool/bozza/mappa.h"

namespace bozza {

// What the tags of a node or a way say, kept apart from libosmium's types.
struct etichette {
  const osmium::TagList& t;
  const char* operator[](const char* k) const { return t.get_value_by_key(k); }
  bool vale(const char* k, const char* v) const { return t.has_tag(k, v); }
};

// A map the handler refuses while it reads (a node off the Earth, tags that
// cannot be read): the reason in Italian, the object named.
struct mappa_rifiutata : std::runtime_error {
  using std::runtime_error::runtime_error;
};

class lettore_osm : public osmium::handler::Handler {
 public:
  explicit lettore_osm(mappa_osm& m) : m_(m) {}
  void node(const osmium::Node& n);
  void way(const osmium::Way& w);
  void relation(const osmium::Relation& r);
  // Node ids to indices once every node is read; false when a way names a
  // node the file lacks.
  bool chiudi(std::string& errore);

 private:
  mappa_osm& m_;
  // Tagged nodes and ways by node id until the ids become indices.
  std::vector<int64_t> id_fermate_, id_segnali_, id_cippi_, id_passaggi_;
  std::vector<std::vector<int64_t>> id_vie_, id_banchine_;
  // A route relation's members by id: rail ways, then stop nodes.
  std::vector<std::vector<int64_t>> vie_linee_, fermate_linee_;
  void banchina(const osmium::Way& w, const etichette& e);
  void chiudi_banchine_e_linee();
};

// Runs a reader over the whole file into the map; the reasons of libosmium's
// failures the caller turns into Italian, the handler's refusal is Italian.
inline bool leggi_con(osmium::io::File f, mappa_osm& m, std::string& errore) {
  osmium::io::Reader r(f, osmium::osm_entity_bits::node | osmium::osm_entity_bits::way |
                              osmium::osm_entity_bits::relation);
  lettore_osm l(m);
  try {
    osmium::apply(r, l);
  } catch (const mappa_rifiutata& e) {
    errore = e.what();
    return false;
  }
  r.close();
  return l.chiudi(errore);
}

}  // namespace bozza

namespace bozza {

// The XML reader (plain, .gz, .bz2), where the build has expat: `formato` is
// libosmium's name for it ("osm", "osm.gz", "osm.bz2").
bool leggi_mappa_xml(std::string_view dati, const char* formato, mappa_osm& m, std::string& errore);

}  // namespace bozza
