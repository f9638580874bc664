#include <algorithm>
#include <cstring>
#include <osmium/io/detail/pbf.hpp>
#include <osmium/io/detail/protobuf_tags.hpp>
#include <osmium/io/pbf_input.hpp>
#include <protozero/pbf_message.hpp>

#include "model/regole.h"
#include "platform/file.h"
#include "platform/testo.h"
#include "tool/bozza/lettore_osm.h"
#include "tool/bozza/testi.h"

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

// libosmium copies a PBF's strings by their length, a NUL inside one with
// them, and walks a tag list from NUL to NUL: a list with an odd count of
// them is walked past its end. So it is looked at before any tag is read.
void etichette_leggibili(const osmium::TagList& t, const char* di, int64_t id) {
  const unsigned char* inizio = t.data() + sizeof(osmium::TagList);
  const unsigned char* fine = t.data() + t.byte_size();
  size_t nulli = 0;
  for (const unsigned char* p = inizio; p < fine; ++p) nulli += *p == 0;
  if (nulli % 2 == 0 && (inizio == fine || fine[-1] == 0)) return;
  throw mappa_rifiutata(std::string("la mappa è rovinata: le etichette ") + di +
                        std::to_string(id) + " hanno un byte nullo dentro un testo");
}

// A stop's name as the whole draft carries it, so that the source, the report
// and --json show one text: valid UTF-8 (a stray byte read as Windows-1252,
// as --json reads it), each run of controls one blank, none at the ends.
std::string nome_sicuro(const char* grezzo) {
  const std::string s = testo::utf8_valido(grezzo);
  std::string r;
  bool vuoto = false;
  for (size_t i = 0; i < s.size();) {
    char32_t c = 0;
    const size_t n = std::max<size_t>(testo::sequenza_utf8(s, i, c), 1);
    if (regole::carattere_da_sorgente(c)) {
      if (vuoto) r += ' ';
      r.append(s, i, n);
      vuoto = false;
    } else {
      vuoto = !r.empty();
    }
    i += n;
  }
  return r;
}

void sulla_terra_o_rifiuta(const osmium::Location& l, const nodo_osm& x) {
  if (sulla_terra(x.dove())) return;
  const std::string dove = l.is_undefined() ? " non ha coordinate"
                                            : " è a " + testo_decimale(x.lat7, 7) + ", " +
                                                  testo_decimale(x.lon7, 7) + ", fuori dalla Terra";
  throw mappa_rifiutata("il nodo " + std::to_string(x.id) + dove +
                        " (la latitudine va da -90 a 90, la longitudine da -180 a 180)");
}

bool si(const etichette& e, const char* k) {
  return e.vale(k, "yes");
}

// Whether a node is a stop, and of what: a stop position, a station, a halt
// or a platform; flagged as of buses where its tags say so and nothing says
// trains (a bus station of a railway station's name is not the station).
bool genere_di_fermata(const etichette& e, fermata_osm& f) {
  const bool posizione = e.vale("public_transport", "stop_position") || e.vale("railway", "stop");
  const bool stazione = e.vale("railway", "station") || e.vale("public_transport", "station");
  const bool halt = e.vale("railway", "halt");
  const bool banchina = e.vale("railway", "platform") || e.vale("public_transport", "platform");
  const bool bus = e.vale("highway", "bus_stop") || e.vale("amenity", "bus_station") ||
                   si(e, "bus") || si(e, "trolleybus") || si(e, "coach");
  const bool treni = e["railway"] || si(e, "train") || si(e, "light_rail");
  if (!posizione && !stazione && !halt && !banchina && !bus) return false;
  f.genere = halt        ? genere_fermata::fermata
             : stazione  ? genere_fermata::stazione
             : posizione ? genere_fermata::posizione
                         : genere_fermata::banchina;
  f.stazione = e.vale("railway", "station") || halt;
  f.stradale = bus && !treni;
  // A public_transport=station of no mode named is a bus station only when
  // it says bus; a platform or a stop of buses alone is left out below.
  if (!posizione && !stazione && !halt && !banchina) f.stradale = true;
  return true;
}

}  // namespace

void lettore_osm::node(const osmium::Node& n) {
  const osmium::Location l = n.location();
  const nodo_osm x{n.id(), l.y(), l.x()};
  sulla_terra_o_rifiuta(l, x);
  m_.nodi.push_back(x);
  etichette_leggibili(n.tags(), "del nodo ", n.id());
  const etichette e{n.tags()};
  const char* ferrovia = e["railway"];
  if (const char* nome = e["name"]; nome) {
    fermata_osm f;
    if (genere_di_fermata(e, f)) {
      if (std::string s = nome_sicuro(nome); !s.empty()) {
        f.nome = std::move(s);
        m_.fermate.push_back(std::move(f));
        id_fermate_.push_back(n.id());
      }
    }
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
  etichette_leggibili(w.tags(), "della via ", w.id());
  const etichette e{w.tags()};
  if (e.vale("railway", "platform") || e.vale("public_transport", "platform")) banchina(w, e);
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

// A platform of trains drawn as a way; one of buses alone is left out.
void lettore_osm::banchina(const osmium::Way& w, const etichette& e) {
  const bool bus = si(e, "bus") || si(e, "trolleybus") || e.vale("highway", "platform");
  if (bus && !e["railway"] && !si(e, "train") && !si(e, "light_rail")) return;
  const char* nome = e["name"] ? e["name"] : e["ref"];
  banchina_osm b;
  b.id = w.id();
  b.nome = nome ? nome_sicuro(nome) : std::string();
  std::vector<int64_t> ids;
  for (const osmium::NodeRef& r : w.nodes()) ids.push_back(r.ref());
  m_.banchine.push_back(std::move(b));
  id_banchine_.push_back(std::move(ids));
}

void lettore_osm::relation(const osmium::Relation& r) {
  etichette_leggibili(r.tags(), "della relazione ", r.id());
  const etichette e{r.tags()};
  if (!e.vale("type", "route")) return;
  if (!e.vale("route", "train") && !e.vale("route", "railway") && !e.vale("route", "light_rail"))
    return;
  linea_osm l;
  l.id = r.id();
  if (const char* x = e["ref"]) l.ref = nome_sicuro(x);
  if (const char* x = e["name"]) l.nome = nome_sicuro(x);
  std::vector<int64_t> vie, fermate;
  for (const osmium::RelationMember& m : r.members()) {
    if (m.type() == osmium::item_type::way) vie.push_back(m.ref());
    if (m.type() == osmium::item_type::node) fermate.push_back(m.ref());
  }
  m_.linee.push_back(std::move(l));
  vie_linee_.push_back(std::move(vie));
  fermate_linee_.push_back(std::move(fermate));
}

// Members an extract cut away are left out: a platform or a line keeps what
// the file has of it.
void lettore_osm::chiudi_banchine_e_linee() {
  std::vector<std::pair<int64_t, uint32_t>> vie;
  for (uint32_t i = 0; i < m_.vie.size(); ++i) vie.push_back({m_.vie[i].id, i});
  std::sort(vie.begin(), vie.end());
  for (size_t i = 0; i < m_.banchine.size(); ++i)
    for (int64_t id : id_banchine_[i])
      if (const int64_t k = m_.indice(id); k >= 0)
        m_.banchine[i].nodi.push_back(static_cast<uint32_t>(k));
  for (size_t i = 0; i < m_.linee.size(); ++i) {
    for (int64_t id : vie_linee_[i]) {
      auto j = std::lower_bound(vie.begin(), vie.end(), std::make_pair(id, uint32_t{0}));
      if (j != vie.end() && j->first == id) m_.linee[i].vie.push_back(j->second);
    }
    for (int64_t id : fermate_linee_[i])
      if (const int64_t k = m_.indice(id); k >= 0)
        m_.linee[i].fermate.push_back(static_cast<uint32_t>(k));
  }
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
  chiudi_banchine_e_linee();
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

uint32_t grande_endian(std::string_view d, size_t i) {
  uint32_t v = 0;
  for (size_t k = 0; k < 4; ++k) v = (v << 8) | static_cast<unsigned char>(d[i + k]);
  return v;
}

// The blocks of a PBF file, framed as libosmium reads them, checked before it
// decodes any: each a header within its limit, naming its type (OSMHeader
// first, OSMData after) and a size within its limit and the file. A header
// without a type libosmium would compare through a null pointer.
bool blocchi_pbf(std::string_view d) {
  using testa_blocco = osmium::io::detail::FileFormat::BlobHeader;
  namespace limiti = osmium::io::detail;
  size_t p = 0;
  for (bool primo = true; p < d.size(); primo = false) {
    if (d.size() - p < 4) return false;
    const uint32_t n = grande_endian(d, p);
    p += 4;
    if (n == 0 || n > static_cast<uint32_t>(limiti::max_blob_header_size) || n > d.size() - p)
      return false;
    protozero::pbf_message<testa_blocco> h(d.data() + p, n);
    p += n;
    std::string_view tipo;
    int64_t dati = 0;
    // By tag and wire type, as libosmium reads them: a field of another
    // type is passed over.
    using protozero::pbf_wire_type;
    while (h.next()) {
      switch (h.tag_and_type()) {
        case protozero::tag_and_type(testa_blocco::required_string_type,
                                     pbf_wire_type::length_delimited): {
          const protozero::data_view v = h.get_view();
          tipo = std::string_view(v.data(), v.size());
          break;
        }
        case protozero::tag_and_type(testa_blocco::required_int32_datasize, pbf_wire_type::varint):
          dati = h.get_int32();
          break;
        default:
          h.skip();
      }
    }
    if (tipo != (primo ? "OSMHeader" : "OSMData") || dati <= 0 ||
        static_cast<uint64_t>(dati) > limiti::max_uncompressed_blob_size ||
        static_cast<uint64_t>(dati) > d.size() - p)
      return false;
    p += static_cast<size_t>(dati);
  }
  return true;
}

}  // namespace

bool leggi_mappa(std::string_view dati, mappa_osm& m, std::string& errore) {
  m = {};
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
  try {
    if (blocchi_pbf(dati))
      return leggi_con(osmium::io::File(dati.data(), dati.size(), "pbf"), m, errore);
    errore = "la mappa PBF è rovinata o troncata";
  } catch (const osmium::pbf_error&) {
    errore = "la mappa PBF è rovinata o troncata";
  } catch (const protozero::exception&) {
    errore = "la mappa PBF è rovinata o troncata";
  } catch (const std::bad_alloc&) {
    errore = "la memoria non basta per leggere la mappa";
  } catch (const std::exception&) {
    errore = "la mappa PBF non si può leggere";
  }
  return false;
}

bool leggi_file_mappa(const std::string& nome, mappa_osm& m, std::string& errore) {
  std::string dati;
  const file::lettura l = file::leggi_al_piu(nome, kMappaMassima, dati);
  if (l.esito == file::esito_lettura::troppo_grande)
    errore = nome + ": la mappa è di " + std::to_string(l.dimensione) + " byte, più dei " +
             std::to_string(kMappaMassima) +
             " che si leggono: ritagliarla ai binari, come con \"osmium tags-filter MAPPA "
             "nwr/railway -o BINARI.osm.pbf\"";
  else if (l.esito != file::esito_lettura::letto)
    errore = "impossibile leggere la mappa " + nome + (l.motivo.empty() ? "" : ": " + l.motivo);
  else if (!leggi_mappa(dati, m, errore))
    errore = nome + ": " + errore;
  else
    return true;
  return false;
}

}  // namespace bozza
