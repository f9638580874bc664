// A build without expat reads PBF maps only.
#include "tool/bozza/lettore_osm.h"

namespace bozza {

bool mappa_xml_disponibile() {
  return false;
}

bool leggi_mappa_xml(std::string_view, const char*, mappa_osm&, std::string& errore) {
  errore = "questa build non legge le mappe XML";
  return false;
}

}  // namespace bozza
