// The reading of a map, shared by the readers of each format: where its
// bytes come from, what each of the two passes keeps of libosmium's objects,
// and the progress shown meanwhile. Only the sources of this room include it.
#pragma once
#include <chrono>
#include <cstdint>
#include <new>
#include <osmium/memory/buffer.hpp>
#include <osmium/osm/tag.hpp>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/file.h"
#include "tool/bozza/mappa.h"
#include "tool/comune/guasto.h"

namespace bozza {

// What the tags of a node or a way say, kept apart from libosmium's types.
struct etichette {
  const osmium::TagList& t;
  const char* operator[](const char* k) const { return t.get_value_by_key(k); }
  bool vale(const char* k, const char* v) const { return t.has_tag(k, v); }
};

// A map refused while it is read (a node off the Earth, tags that cannot be
// read, markup too long): the reason in Italian, the object named.
struct mappa_rifiutata : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// Where a map's bytes come from: its file, read in pieces, or memory (the
// tests and the fuzz harness).
class sorgente_mappa {
 public:
  virtual ~sorgente_mappa() = default;
  virtual uint64_t dimensione() const = 0;
  // Up to n bytes from `da`, fewer only at the end; a failing disk throws
  // file::errore_io.
  virtual size_t leggi(uint64_t da, char* dove, size_t n) = 0;
};

// How far a read has gone, on one line of standard error rewritten in place
// where that is a terminal: the pass, and the bytes of the file it has read
// of those it reads. Nothing at all elsewhere. The line goes when it ends.
class avanzamento {
 public:
  explicit avanzamento(bool mostra) : mostra_(mostra) {}
  ~avanzamento();
  avanzamento(const avanzamento&) = delete;
  avanzamento& operator=(const avanzamento&) = delete;
  void passo(int n, const char* cosa, uint64_t byte);
  // Bytes of this pass read so far.
  void letti(uint64_t byte);

 private:
  void scrivi(uint64_t byte);
  bool mostra_;
  int passo_ = 0;
  const char* cosa_ = "";
  uint64_t totale_ = 0;
  size_t lunga_ = 0;  // the line's length as last written
  std::chrono::steady_clock::time_point scritta_{};
};

// What the reader gathers, from one block or from the whole map: the
// objects, with the node and way ids their links name until
// chiudi_raccolta() makes them indices.
struct raccolta {
  mappa_osm m;
  std::vector<int64_t> id_fermate, id_segnali, id_cippi, id_passaggi;
  std::vector<std::vector<int64_t>> id_vie, id_banchine, vie_linee, fermate_linee;
  // Appends what another holds (the next block's, in the file's order).
  void unisci(raccolta&& r);
};

// The first pass: the rail ways, the platforms drawn as ways and the route
// relations of trains in a buffer of libosmium's (and those nested in it).
void raccogli_vie(osmium::memory::Buffer& b, raccolta& r);
// The node ids the second pass keeps besides the stops: those of the rail
// ways and the platforms, and the routes' node members; sorted, once each.
std::vector<int64_t> nodi_voluti(const raccolta& r);
// The second pass: each node of a buffer looked at (on the Earth, its tags
// readable), kept when it is wanted or is a stop, wherever it stands.
void raccogli_nodi(osmium::memory::Buffer& b, const std::vector<int64_t>& voluti, raccolta& r);
// Node ids to indices once both passes are done; a way that names a node
// the file lacks refuses the map.
riuscita chiudi_raccolta(raccolta& r);

// The largest block of a PBF map and the compressed XML's open markup are
// the only bounds: the map itself may be of any size.
riuscita leggi_pbf(sorgente_mappa& s, raccolta& r, avanzamento& a);
// The XML reader (plain, .gz, .bz2), where the build has expat: `formato` is
// libosmium's name for it ("osm", "osm.gz", "osm.bz2").
riuscita leggi_xml(sorgente_mappa& s, const char* formato, raccolta& r, avanzamento& a);

inline guasto mappa_illeggibile(std::string testo) {
  return guasto_di(genere_guasto::ingresso, std::move(testo));
}
inline guasto memoria_esaurita() {
  return guasto_di(genere_guasto::memoria, "la memoria non basta per leggere la mappa");
}

// What every format's reader does with what its reading throws, once its
// own faults are told apart: a refusal in its own words, anything else of
// the libraries' as `illeggibile`; out of memory and a failing disk go on to
// the caller, which says them for every format alike.
template <typename F>
riuscita leggendo(const char* illeggibile, F&& leggi) {
  try {
    return leggi();
  } catch (const mappa_rifiutata& e) {
    return mappa_illeggibile(e.what());
  } catch (const std::bad_alloc&) {
    throw;
  } catch (const file::errore_io&) {
    throw;
  } catch (const std::exception&) {
    return mappa_illeggibile(illeggibile);
  }
}

}  // namespace bozza
