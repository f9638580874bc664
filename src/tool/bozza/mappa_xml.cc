// The XML maps, plain or compressed, where the build has expat and bzip2,
// read from their file in two passes as the PBF ones.
//
// libosmium's own gzip and bzip2 readers hand the XML parser 10 kB at a
// time, and expat before 2.6 scans markup it has not finished again from its
// start at every piece: a 32 MB comment took minutes. So this room registers
// readers of its own, which make each piece at least as long as the markup
// still open (the pieces grow while a comment lasts, and the whole takes time
// in proportion to it), plain XML too, and never include libosmium's, which
// would take the same place.
#include <bzlib.h>
#include <zlib.h>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <osmium/io/compression.hpp>
#include <osmium/io/reader.hpp>
#include <osmium/io/xml_input.hpp>

#include "platform/file.h"
#include "tool/bozza/lettore_osm.h"
#include "tool/bozza/markup_xml.h"

namespace bozza {

namespace {

// Pieces while no markup is open, and what is read of the file at a time.
constexpr size_t kPezzo = 64 * 1024;
constexpr size_t kIngresso = 1024 * 1024;
// Markup open longer than this refuses the map: no map's tag comes near, and
// expat holds all of it at once.
constexpr uint64_t kMarkupMassimo = 64 * 1024 * 1024;

struct rovinata_gzip : std::runtime_error {
  using std::runtime_error::runtime_error;
};
struct rovinata_bzip2 : std::runtime_error {
  using std::runtime_error::runtime_error;
};

enum class compressione : uint8_t { nessuna, gzip, bzip2 };

// What a pass hands the decompressor libosmium makes: the map's bytes, how
// they are compressed, and where the count of those read goes (libosmium
// reads on a thread of its own; the pass shows the count on its).
struct fonte_xml {
  sorgente_mappa* s = nullptr;
  compressione c = compressione::nessuna;
  std::atomic<uint64_t>* letti = nullptr;
};

// The XML in pieces as long as the markup open asks. `gonfia` fills the
// piece's room and says whether the stream goes on.
class a_pezzi : public osmium::io::Decompressor {
 public:
  explicit a_pezzi(const fonte_xml& f) : f_(f) {}
  std::string read() override {
    std::string pezzo;
    if (finito_) return pezzo;
    const uint64_t aperto = markup_.aperto();
    if (aperto > kMarkupMassimo)
      throw mappa_rifiutata(
          "la mappa XML ha un commento, un elemento o una dichiarazione di più di " +
          std::to_string(kMarkupMassimo / (1024 * 1024)) + " MB");
    pezzo.resize(std::max<size_t>(kPezzo, static_cast<size_t>(aperto)));
    size_t pieno = 0;
    while (pieno < pezzo.size() && !finito_) finito_ = !gonfia(pezzo, pieno);
    pezzo.resize(pieno);
    markup_.leggi(pezzo);
    return pezzo;
  }
  void close() override {}

 protected:
  // Adds to pezzo from `pieno` on; false at the stream's end.
  virtual bool gonfia(std::string& pezzo, size_t& pieno) = 0;
  // Up to n bytes of the file from where the last read ended.
  size_t dal_file(char* dove, size_t n) {
    const size_t k = f_.s->leggi(p_, dove, n);
    p_ += k;
    f_.letti->store(p_, std::memory_order_relaxed);
    return k;
  }
  // The next piece of the compressed file; empty at its end.
  std::string_view ricarica() {
    ingresso_.resize(kIngresso);
    ingresso_.resize(dal_file(ingresso_.data(), ingresso_.size()));
    return ingresso_;
  }

 private:
  fonte_xml f_;
  uint64_t p_ = 0;
  std::string ingresso_;
  markup_xml markup_;
  bool finito_ = false;
};

class semplice final : public a_pezzi {
 public:
  using a_pezzi::a_pezzi;

 private:
  bool gonfia(std::string& pezzo, size_t& pieno) override {
    const size_t k = dal_file(pezzo.data() + pieno, pezzo.size() - pieno);
    pieno += k;
    return k > 0;
  }
};

// Input is given a piece at a time: neither library takes more than 4 GB.
class gzip_a_pezzi final : public a_pezzi {
 public:
  explicit gzip_a_pezzi(const fonte_xml& f) : a_pezzi(f) {
    if (inflateInit2(&z_, MAX_WBITS | 32) != Z_OK) throw rovinata_gzip("inizio");
  }
  ~gzip_a_pezzi() noexcept override { inflateEnd(&z_); }

 private:
  bool gonfia(std::string& pezzo, size_t& pieno) override {
    if (z_.avail_in == 0) {
      const std::string_view d = ricarica();
      z_.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(d.data()));
      z_.avail_in = static_cast<uInt>(d.size());
    }
    z_.next_out = reinterpret_cast<Bytef*>(pezzo.data() + pieno);
    z_.avail_out = static_cast<uInt>(pezzo.size() - pieno);
    // Nothing more to give it: a file cut short is a buffer error.
    const int r = inflate(&z_, Z_NO_FLUSH);
    pieno = pezzo.size() - z_.avail_out;
    if (r == Z_STREAM_END) return false;
    if (r != Z_OK) throw rovinata_gzip("gzip");
    return true;
  }
  z_stream z_{};
};

class bzip2_a_pezzi final : public a_pezzi {
 public:
  explicit bzip2_a_pezzi(const fonte_xml& f) : a_pezzi(f) {
    if (BZ2_bzDecompressInit(&b_, 0, 0) != BZ_OK) throw rovinata_bzip2("inizio");
  }
  ~bzip2_a_pezzi() noexcept override { BZ2_bzDecompressEnd(&b_); }

 private:
  bool gonfia(std::string& pezzo, size_t& pieno) override {
    bool fine_file = false;
    if (b_.avail_in == 0) {
      const std::string_view d = ricarica();
      b_.next_in = const_cast<char*>(d.data());
      b_.avail_in = static_cast<unsigned>(d.size());
      fine_file = d.empty();
    }
    b_.next_out = pezzo.data() + pieno;
    b_.avail_out = static_cast<unsigned>(pezzo.size() - pieno);
    const int r = BZ2_bzDecompress(&b_);
    pieno = pezzo.size() - b_.avail_out;
    if (r == BZ_STREAM_END) return false;
    // The file's end before the stream's: a file cut short.
    if (r != BZ_OK || (fine_file && b_.avail_out > 0)) throw rovinata_bzip2("bzip2");
    return true;
  }
  bz_stream b_{};
};

// libosmium makes the decompressor of a file given "in memory" from what it
// is given: here that is a fonte_xml, whatever the compression. Its own
// reader of plain files, registered first, keeps its place, so every XML
// map is given to libosmium as gzip, and the fonte says what it is.
osmium::io::Decompressor* decompressore(const char* dati, size_t n) {
  if (n != sizeof(fonte_xml)) throw mappa_rifiutata("le mappe si leggono solo dal loro file");
  const fonte_xml& f = *reinterpret_cast<const fonte_xml*>(dati);
  switch (f.c) {
    case compressione::gzip:
      return new gzip_a_pezzi(f);
    case compressione::bzip2:
      return new bzip2_a_pezzi(f);
    case compressione::nessuna:
      break;
  }
  return new semplice(f);
}

void registra() {
  // This program never writes a map, nor reads one through a descriptor.
  auto no = [] { throw mappa_rifiutata("le mappe XML si leggono solo dal loro file"); };
  osmium::io::CompressionFactory::instance().register_compression(
      osmium::io::file_compression::gzip,
      [no](int, osmium::io::fsync) -> osmium::io::Compressor* {
        no();
        return nullptr;
      },
      [no](int) -> osmium::io::Decompressor* {
        no();
        return nullptr;
      },
      decompressore);
}

// One pass over the file: libosmium parses it on its threads, this one
// gathers what it gives.
template <typename F>
void passa(fonte_xml f, osmium::osm_entity_bits::type tipi, avanzamento& a, F&& raccogli) {
  std::atomic<uint64_t> letti{0};
  f.letti = &letti;
  osmium::io::Reader r(osmium::io::File(reinterpret_cast<const char*>(&f), sizeof f, "osm.gz"),
                       tipi);
  while (osmium::memory::Buffer b = r.read()) {
    raccogli(b);
    a.letti(letti.load(std::memory_order_relaxed));
  }
  r.close();
}

riuscita due_passi(const fonte_xml& f, raccolta& r, avanzamento& a) {
  a.passo(1, "vie e relazioni", f.s->dimensione());
  passa(f, osmium::osm_entity_bits::way | osmium::osm_entity_bits::relation, a,
        [&](osmium::memory::Buffer& b) { raccogli_vie(b, r); });
  const std::vector<int64_t> voluti = nodi_voluti(r);
  a.passo(2, "nodi", f.s->dimensione());
  passa(f, osmium::osm_entity_bits::node, a,
        [&](osmium::memory::Buffer& b) { raccogli_nodi(b, voluti, r); });
  return fatto{};
}

}  // namespace

bool mappa_xml_disponibile() {
  return true;
}

riuscita leggi_xml(sorgente_mappa& s, const char* formato, raccolta& r, avanzamento& a) {
  static std::once_flag registrata;
  std::call_once(registrata, registra);
  const std::string_view n(formato);
  const fonte_xml f{&s, n == "osm.gz"    ? compressione::gzip
                        : n == "osm.bz2" ? compressione::bzip2
                                         : compressione::nessuna};
  return leggendo("la mappa XML non si può leggere", [&]() -> riuscita {
    try {
      return due_passi(f, r, a);
    } catch (const osmium::xml_error& e) {
      return mappa_illeggibile("la mappa XML non è valida alla riga " + std::to_string(e.line) +
                               ", colonna " + std::to_string(e.column));
    } catch (const rovinata_gzip&) {
      return mappa_illeggibile("la mappa compressa con gzip è rovinata o troncata");
    } catch (const rovinata_bzip2&) {
      return mappa_illeggibile("la mappa compressa con bzip2 è rovinata o troncata");
    }
  });
}

}  // namespace bozza
