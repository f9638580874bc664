// A build without expat reads PBF maps only.
#include "tool/bozza/lettore_osm.h"

namespace bozza {

bool mappa_xml_disponibile() {
  return false;
}

riuscita leggi_xml(sorgente_mappa&, const char*, raccolta&, avanzamento&) {
  return mappa_illeggibile("questa build non legge le mappe XML");
}

}  // namespace bozza
