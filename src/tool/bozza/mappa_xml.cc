// The XML maps, plain or compressed, where the build has expat and bzip2.
#include <osmium/io/bzip2_compression.hpp>
#include <osmium/io/gzip_compression.hpp>
#include <osmium/io/xml_input.hpp>

#include "tool/bozza/lettore_osm.h"

namespace bozza {

bool mappa_xml_disponibile() {
  return true;
}

bool leggi_mappa_xml(std::string_view dati, const char* formato, mappa_osm& m,
                     std::string& errore) {
  bool ok = false;
  try {
    leggi_con(osmium::io::File(dati.data(), dati.size(), formato), m, errore, ok);
  } catch (const osmium::xml_error& e) {
    errore = "la mappa XML non è valida alla riga " + std::to_string(e.line) + ", colonna " +
             std::to_string(e.column);
    return false;
  } catch (const osmium::gzip_error&) {
    errore = "la mappa compressa con gzip è rovinata o troncata";
    return false;
  } catch (const osmium::bzip2_error&) {
    errore = "la mappa compressa con bzip2 è rovinata o troncata";
    return false;
  } catch (const std::exception&) {
    errore = "la mappa XML non si può leggere";
    return false;
  }
  return ok;
}

}  // namespace bozza
