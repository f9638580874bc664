// What the draft keeps of a map's objects, read from its file in two passes
// (the ways and relations, then the nodes they name and the stops), and the
// entries that open the file and choose the format's reader.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <osmium/osm/node.hpp>
#include <osmium/osm/relation.hpp>
#include <osmium/osm/way.hpp>

#include "model/regole.h"
#include "platform/file.h"
#include "platform/processo.h"
#include "platform/testo.h"
#include "tool/bozza/lettore_osm.h"
#include "tool/bozza/testi.h"

namespace bozza {

namespace {

// The bytes looked at at a time to tell the format.
constexpr size_t kInizio = 64 * 1024;
// The progress line is written again at most this often.
constexpr std::chrono::milliseconds kRidisegno{100};

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

// A node whose id is in a sorted list, looked up from where the last one
// was found: a block's nodes come in the order of their ids, so the walk
// through the list is linear in both.
class cercatore {
 public:
  explicit cercatore(const std::vector<int64_t>& v) : v_(v) {}
  bool contiene(int64_t id) {
    if (id < ultimo_) k_ = 0;
    ultimo_ = id;
    // Everything before `da` is smaller than id; steps that double find
    // where the larger ones begin.
    size_t da = k_, a = k_, passo = 1;
    while (a < v_.size() && v_[a] < id) da = a + 1, a = std::min(v_.size(), a + passo), passo *= 2;
    k_ = static_cast<size_t>(std::lower_bound(v_.begin() + static_cast<ptrdiff_t>(da),
                                              v_.begin() + static_cast<ptrdiff_t>(a), id) -
                             v_.begin());
    return k_ < v_.size() && v_[k_] == id;
  }

 private:
  const std::vector<int64_t>& v_;
  size_t k_ = 0;
  int64_t ultimo_ = INT64_MIN;
};

// What a kept node's tags make of it besides a stop: a signal, a post, a
// level crossing.
void segnale_cippo_passaggio(const etichette& e, int64_t id, raccolta& r) {
  const char* ferrovia = e["railway"];
  if (!ferrovia) return;
  if (std::strcmp(ferrovia, "signal") == 0) {
    segnale_osm s;
    s.senso = senso(e["railway:signal:direction"]);
    s.principale = e["railway:signal:main"] || e["railway:signal:combined"];
    s.avviso = !s.principale && e["railway:signal:distant"];
    if (s.senso != 0 && (s.principale || s.avviso)) {
      r.m.segnali.push_back(s);
      r.id_segnali.push_back(id);
    }
  }
  int64_t metri;
  const char* km = e["railway:position:exact"];
  if (!km) km = e["railway:position"];
  if (std::strcmp(ferrovia, "milestone") == 0 && leggi_chilometri(km, metri)) {
    r.m.cippi.push_back({0, metri, km});
    r.id_cippi.push_back(id);
  }
  if (std::strcmp(ferrovia, "level_crossing") == 0) r.id_passaggi.push_back(id);
}

// A stop of a name wherever it stands; false for any other node.
bool fermata(const etichette& e, int64_t id, raccolta& r) {
  const char* nome = e["name"];
  if (!nome) return false;
  fermata_osm f;
  if (!genere_di_fermata(e, f)) return false;
  std::string s = nome_sicuro(nome);
  if (s.empty()) return false;
  f.nome = std::move(s);
  r.m.fermate.push_back(std::move(f));
  r.id_fermate.push_back(id);
  return true;
}

void nodo(const osmium::Node& n, cercatore& voluti, raccolta& r) {
  const osmium::Location l = n.location();
  const nodo_osm x{n.id(), l.y(), l.x()};
  sulla_terra_o_rifiuta(l, x);
  etichette_leggibili(n.tags(), "del nodo ", n.id());
  const etichette e{n.tags()};
  const bool voluto = voluti.contiene(n.id());
  if (!fermata(e, n.id(), r) && !voluto) return;
  r.m.nodi.push_back(x);
  segnale_cippo_passaggio(e, n.id(), r);
}

std::vector<int64_t> rimandi(const osmium::WayNodeList& l) {
  std::vector<int64_t> ids;
  ids.reserve(l.size());
  for (const osmium::NodeRef& r : l) ids.push_back(r.ref());
  return ids;
}

// A platform of trains drawn as a way; one of buses alone is left out.
void banchina(const osmium::Way& w, const etichette& e, raccolta& r) {
  const bool bus = si(e, "bus") || si(e, "trolleybus") || e.vale("highway", "platform");
  if (bus && !e["railway"] && !si(e, "train") && !si(e, "light_rail")) return;
  const char* nome = e["name"] ? e["name"] : e["ref"];
  banchina_osm b;
  b.id = w.id();
  b.nome = nome ? nome_sicuro(nome) : std::string();
  r.m.banchine.push_back(std::move(b));
  r.id_banchine.push_back(rimandi(w.nodes()));
}

void via(const osmium::Way& w, raccolta& r) {
  etichette_leggibili(w.tags(), "della via ", w.id());
  const etichette e{w.tags()};
  if (e.vale("railway", "platform") || e.vale("public_transport", "platform")) banchina(w, e, r);
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
  r.m.vie.push_back(std::move(v));
  r.id_vie.push_back(rimandi(w.nodes()));
}

void relazione(const osmium::Relation& x, raccolta& r) {
  etichette_leggibili(x.tags(), "della relazione ", x.id());
  const etichette e{x.tags()};
  if (!e.vale("type", "route")) return;
  if (!e.vale("route", "train") && !e.vale("route", "railway") && !e.vale("route", "light_rail"))
    return;
  linea_osm l;
  l.id = x.id();
  if (const char* v = e["ref"]) l.ref = nome_sicuro(v);
  if (const char* v = e["name"]) l.nome = nome_sicuro(v);
  std::vector<int64_t> vie, fermate;
  for (const osmium::RelationMember& m : x.members()) {
    if (m.type() == osmium::item_type::way) vie.push_back(m.ref());
    if (m.type() == osmium::item_type::node) fermate.push_back(m.ref());
  }
  r.m.linee.push_back(std::move(l));
  r.vie_linee.push_back(std::move(vie));
  r.fermate_linee.push_back(std::move(fermate));
}

template <typename T>
void accoda(std::vector<T>& a, std::vector<T>&& b) {
  if (a.empty()) {
    a = std::move(b);
    return;
  }
  a.insert(a.end(), std::make_move_iterator(b.begin()), std::make_move_iterator(b.end()));
}

// Members an extract cut away are left out: a platform or a line keeps what
// the file has of it.
void chiudi_banchine_e_linee(raccolta& r) {
  mappa_osm& m = r.m;
  std::vector<std::pair<int64_t, uint32_t>> vie;
  for (uint32_t i = 0; i < m.vie.size(); ++i) vie.push_back({m.vie[i].id, i});
  std::sort(vie.begin(), vie.end());
  for (size_t i = 0; i < m.banchine.size(); ++i)
    for (int64_t id : r.id_banchine[i])
      if (const int64_t k = m.indice(id); k >= 0)
        m.banchine[i].nodi.push_back(static_cast<uint32_t>(k));
  for (size_t i = 0; i < m.linee.size(); ++i) {
    for (int64_t id : r.vie_linee[i]) {
      auto j = std::lower_bound(vie.begin(), vie.end(), std::make_pair(id, uint32_t{0}));
      if (j != vie.end() && j->first == id) m.linee[i].vie.push_back(j->second);
    }
    for (int64_t id : r.fermate_linee[i])
      if (const int64_t k = m.indice(id); k >= 0)
        m.linee[i].fermate.push_back(static_cast<uint32_t>(k));
  }
}

}  // namespace

void raccolta::unisci(raccolta&& r) {
  accoda(m.nodi, std::move(r.m.nodi));
  accoda(m.vie, std::move(r.m.vie));
  accoda(m.fermate, std::move(r.m.fermate));
  accoda(m.segnali, std::move(r.m.segnali));
  accoda(m.cippi, std::move(r.m.cippi));
  accoda(m.banchine, std::move(r.m.banchine));
  accoda(m.linee, std::move(r.m.linee));
  accoda(id_fermate, std::move(r.id_fermate));
  accoda(id_segnali, std::move(r.id_segnali));
  accoda(id_cippi, std::move(r.id_cippi));
  accoda(id_passaggi, std::move(r.id_passaggi));
  accoda(id_vie, std::move(r.id_vie));
  accoda(id_banchine, std::move(r.id_banchine));
  accoda(vie_linee, std::move(r.vie_linee));
  accoda(fermate_linee, std::move(r.fermate_linee));
}

namespace {

// A block's objects, in their order: a buffer libosmium grew while it decoded
// keeps what it held before in buffers nested in it, the oldest deepest.
template <typename F>
void per_ogni_buffer(osmium::memory::Buffer& b, F&& f) {
  while (b.has_nested_buffers()) f(*b.get_last_nested());
  f(b);
}

}  // namespace

void raccogli_vie(osmium::memory::Buffer& b, raccolta& r) {
  per_ogni_buffer(b, [&](const osmium::memory::Buffer& x) {
    for (const osmium::OSMObject& o : x.select<osmium::OSMObject>()) {
      if (o.type() == osmium::item_type::way) via(static_cast<const osmium::Way&>(o), r);
      if (o.type() == osmium::item_type::relation)
        relazione(static_cast<const osmium::Relation&>(o), r);
    }
  });
}

std::vector<int64_t> nodi_voluti(const raccolta& r) {
  std::vector<int64_t> v;
  for (const auto* liste : {&r.id_vie, &r.id_banchine, &r.fermate_linee})
    for (const std::vector<int64_t>& l : *liste) v.insert(v.end(), l.begin(), l.end());
  std::sort(v.begin(), v.end());
  v.erase(std::unique(v.begin(), v.end()), v.end());
  v.shrink_to_fit();
  return v;
}

void raccogli_nodi(osmium::memory::Buffer& b, const std::vector<int64_t>& voluti, raccolta& r) {
  cercatore c(voluti);
  per_ogni_buffer(b, [&](const osmium::memory::Buffer& x) {
    for (const osmium::Node& n : x.select<osmium::Node>()) nodo(n, c, r);
  });
}

riuscita chiudi_raccolta(raccolta& r) {
  mappa_osm& m = r.m;
  std::stable_sort(m.nodi.begin(), m.nodi.end(),
                   [](const nodo_osm& a, const nodo_osm& b) { return a.id < b.id; });
  auto trova = [&](int64_t id, uint32_t& i) {
    const int64_t k = m.indice(id);
    i = static_cast<uint32_t>(k);
    return k >= 0;
  };
  for (size_t i = 0; i < m.vie.size(); ++i) {
    m.vie[i].nodi.reserve(r.id_vie[i].size());
    for (int64_t id : r.id_vie[i]) {
      uint32_t k;
      if (!trova(id, k))
        return mappa_illeggibile("la via " + std::to_string(m.vie[i].id) + " nomina il nodo " +
                                 std::to_string(id) +
                                 ", che la mappa non ha (un estratto tagliato male?)");
      m.vie[i].nodi.push_back(k);
    }
  }
  for (size_t i = 0; i < m.fermate.size(); ++i) trova(r.id_fermate[i], m.fermate[i].nodo);
  for (size_t i = 0; i < m.segnali.size(); ++i) trova(r.id_segnali[i], m.segnali[i].nodo);
  for (size_t i = 0; i < m.cippi.size(); ++i) trova(r.id_cippi[i], m.cippi[i].nodo);
  for (int64_t id : r.id_passaggi) {
    uint32_t k;
    if (trova(id, k)) m.passaggi_a_livello.push_back(k);
  }
  chiudi_banchine_e_linee(r);
  return fatto{};
}

int64_t mappa_osm::indice(int64_t id) const {
  auto i = std::lower_bound(nodi.begin(), nodi.end(), id,
                            [](const nodo_osm& n, int64_t x) { return n.id < x; });
  if (i == nodi.end() || i->id != id) return -1;
  return i - nodi.begin();
}

namespace {

enum class formato_mappa { sconosciuto, pbf, xml, xml_gz, xml_bz2 };

bool bianco(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// What a map's first bytes say it is; blanks before an XML map's first '<'
// are looked past however many they are.
formato_mappa riconosci(sorgente_mappa& s) {
  std::string d(kInizio, '\0');
  d.resize(s.leggi(0, d.data(), d.size()));
  if (d.size() >= 2 && static_cast<unsigned char>(d[0]) == 0x1f &&
      static_cast<unsigned char>(d[1]) == 0x8b)
    return formato_mappa::xml_gz;
  if (d.substr(0, 3) == "BZh") return formato_mappa::xml_bz2;
  // A PBF file opens with the length of its first block header, whose type
  // is "OSMHeader".
  if (d.size() > 16 && d.substr(0, 2) == std::string_view("\0\0", 2) &&
      std::string_view(d).substr(4, 20).find("OSMHeader") != std::string_view::npos)
    return formato_mappa::pbf;
  uint64_t da = d.substr(0, 3) == "\xEF\xBB\xBF" ? 3 : 0;
  for (size_t i = static_cast<size_t>(da); !d.empty(); i = 0) {
    while (i < d.size() && bianco(d[i])) ++i;
    if (i < d.size()) return d[i] == '<' ? formato_mappa::xml : formato_mappa::sconosciuto;
    da += d.size();
    d.resize(s.leggi(da, d.data(), kInizio));
  }
  return formato_mappa::sconosciuto;
}

riuscita leggi_formato(sorgente_mappa& s, raccolta& r, avanzamento& a) {
  const formato_mappa f = riconosci(s);
  if (f == formato_mappa::sconosciuto)
    return mappa_illeggibile("non è una mappa OpenStreetMap (né PBF né XML, anche .gz o .bz2)");
  if (f == formato_mappa::pbf) return leggi_pbf(s, r, a);
  if (!mappa_xml_disponibile())
    return mappa_illeggibile(
        "questa build legge le mappe solo in PBF: convertire la mappa XML con "
        "\"osmium cat MAPPA -o MAPPA.osm.pbf\"");
  return leggi_xml(s,
                   f == formato_mappa::xml      ? "osm"
                   : f == formato_mappa::xml_gz ? "osm.gz"
                                                : "osm.bz2",
                   r, a);
}

// The map in two passes, whatever its format; out of memory and a failing
// disk are failures in words as the rest.
esito<mappa_osm> leggi_da(sorgente_mappa& s, avanzamento& a) {
  raccolta r;
  try {
    if (riuscita l = leggi_formato(s, r, a); !l) return l.errore();
    if (riuscita c = chiudi_raccolta(r); !c) return c.errore();
  } catch (const std::bad_alloc&) {
    return memoria_esaurita();
  } catch (const file::errore_io& e) {
    return guasto_di(genere_guasto::io, e.what());
  }
  return std::move(r.m);
}

class in_memoria final : public sorgente_mappa {
 public:
  explicit in_memoria(std::string_view d) : d_(d) {}
  uint64_t dimensione() const override { return d_.size(); }
  size_t leggi(uint64_t da, char* dove, size_t n) override {
    if (da >= d_.size()) return 0;
    const size_t k = std::min<uint64_t>(n, d_.size() - da);
    std::memcpy(dove, d_.data() + da, k);
    return k;
  }

 private:
  std::string_view d_;
};

class da_file final : public sorgente_mappa {
 public:
  explicit da_file(file::lettore& f) : f_(f) {}
  uint64_t dimensione() const override { return f_.dimensione(); }
  size_t leggi(uint64_t da, char* dove, size_t n) override { return f_.leggi(da, dove, n); }

 private:
  file::lettore& f_;
};

// The callers of the older style: the map, or an empty one and the reason.
bool come_prima(esito<mappa_osm>&& e, mappa_osm& m, std::string& errore) {
  if (!e) {
    m = {};
    errore = e.errore().messaggio();
    return false;
  }
  m = std::move(*e);
  return true;
}

}  // namespace

bool leggi_mappa(std::string_view dati, mappa_osm& m, std::string& errore) {
  in_memoria s(dati);
  avanzamento a(false);
  return come_prima(leggi_da(s, a), m, errore);
}

esito<mappa_osm> mappa_da_file(const std::string& nome) {
  file::lettore f;
  const file::lettura l = f.apri(nome);
  if (l.esito != file::esito_lettura::letto)
    return guasto_di(genere_guasto::io, "impossibile leggere la mappa " + nome + ": " +
                                            (l.motivo.empty() ? "il file non esiste" : l.motivo));
  da_file s(f);
  avanzamento a(processo::errore_a_terminale());
  esito<mappa_osm> e = leggi_da(s, a);
  if (!e) {
    guasto g = e.errore();
    if (g.genere != genere_guasto::io) g.testo = nome + ": " + g.testo;
    return g;
  }
  return e;
}

bool leggi_file_mappa(const std::string& nome, mappa_osm& m, std::string& errore) {
  return come_prima(mappa_da_file(nome), m, errore);
}

// One line, rewritten: "\r" back to its start, blanks over what is left of
// a longer one.
void avanzamento::scrivi(uint64_t byte) {
  auto mb = [](uint64_t b) { return testo_decimale(static_cast<int64_t>(b / 100000), 1); };
  const uint64_t per_cento = totale_ ? byte * 100 / totale_ : 100;
  const std::string riga = "lettura della mappa, passo " + std::to_string(passo_) + " di 2 (" +
                           cosa_ + "): " + mb(byte) + " di " + mb(totale_) + " MB, " +
                           std::to_string(per_cento) + "%";
  std::string fuori = "\r" + riga;
  if (riga.size() < lunga_) fuori += std::string(lunga_ - riga.size(), ' ') + "\r" + riga;
  lunga_ = riga.size();
  std::fputs(fuori.c_str(), stderr);
  std::fflush(stderr);
  scritta_ = std::chrono::steady_clock::now();
}

void avanzamento::passo(int n, const char* cosa, uint64_t byte) {
  passo_ = n, cosa_ = cosa, totale_ = byte;
  if (mostra_) scrivi(0);
}

void avanzamento::letti(uint64_t byte) {
  if (mostra_ && std::chrono::steady_clock::now() - scritta_ >= kRidisegno) scrivi(byte);
}

avanzamento::~avanzamento() {
  if (!mostra_ || lunga_ == 0) return;
  std::fputs(("\r" + std::string(lunga_, ' ') + "\r").c_str(), stderr);
  std::fflush(stderr);
}

}  // namespace bozza
