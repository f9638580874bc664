// The XML maps, plain or compressed, where the build has expat and bzip2.
//
// libosmium's own gzip and bzip2 readers hand the XML parser 10 kB at a
// time, and expat before 2.6 scans markup it has not finished again from its
// start at every piece: a 32 MB comment took minutes. So this room registers
// readers of its own, which make each piece at least as long as the markup
// still open (the pieces grow while a comment lasts, and the whole takes time
// in proportion to it), and never include libosmium's, which would take the
// same place.
#include <bzlib.h>
#include <zlib.h>

#include <algorithm>
#include <mutex>
#include <osmium/io/compression.hpp>
#include <osmium/io/xml_input.hpp>

#include "tool/bozza/lettore_osm.h"
#include "tool/bozza/markup_xml.h"

namespace bozza {

namespace {

// Pieces while no markup is open.
constexpr size_t kPezzo = 64 * 1024;
// Markup open longer than this refuses the map: no map's tag comes near, and
// expat holds all of it at once.
constexpr uint64_t kMarkupMassimo = 64 * 1024 * 1024;

struct rovinata_gzip : std::runtime_error {
  using std::runtime_error::runtime_error;
};
struct rovinata_bzip2 : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// The decompressed XML in pieces as long as the markup open asks. `gonfia`
// fills the piece's room and says whether the stream goes on.
class a_pezzi : public osmium::io::Decompressor {
 public:
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

 private:
  markup_xml markup_;
  bool finito_ = false;
};

// Either library takes at most 4 GB of input at a time; a map is less.
class gzip_a_pezzi final : public a_pezzi {
 public:
  gzip_a_pezzi(const char* dati, size_t n) {
    if (inflateInit2(&z_, MAX_WBITS | 32) != Z_OK) throw rovinata_gzip("inizio");
    z_.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(dati));
    z_.avail_in = static_cast<uInt>(n);
  }
  ~gzip_a_pezzi() noexcept override { inflateEnd(&z_); }

 private:
  bool gonfia(std::string& pezzo, size_t& pieno) override {
    z_.next_out = reinterpret_cast<Bytef*>(pezzo.data() + pieno);
    z_.avail_out = static_cast<uInt>(pezzo.size() - pieno);
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
  bzip2_a_pezzi(const char* dati, size_t n) {
    if (BZ2_bzDecompressInit(&b_, 0, 0) != BZ_OK) throw rovinata_bzip2("inizio");
    b_.next_in = const_cast<char*>(dati);
    b_.avail_in = static_cast<unsigned>(n);
  }
  ~bzip2_a_pezzi() noexcept override { BZ2_bzDecompressEnd(&b_); }

 private:
  bool gonfia(std::string& pezzo, size_t& pieno) override {
    b_.next_out = pezzo.data() + pieno;
    b_.avail_out = static_cast<unsigned>(pezzo.size() - pieno);
    const int r = BZ2_bzDecompress(&b_);
    pieno = pezzo.size() - b_.avail_out;
    if (r == BZ_STREAM_END) return false;
    // Input used up before the stream's end: a file cut short.
    if (r != BZ_OK || (b_.avail_in == 0 && b_.avail_out > 0)) throw rovinata_bzip2("bzip2");
    return true;
  }
  bz_stream b_{};
};

// Maps are read from memory, and never written.
template <typename T>
void registra(osmium::io::file_compression c) {
  auto no = [] { throw mappa_rifiutata("le mappe compresse si leggono solo dalla memoria"); };
  osmium::io::CompressionFactory::instance().register_compression(
      c,
      [no](int, osmium::io::fsync) -> osmium::io::Compressor* {
        no();
        return nullptr;
      },
      [no](int) -> osmium::io::Decompressor* {
        no();
        return nullptr;
      },
      [](const char* dati, size_t n) -> osmium::io::Decompressor* { return new T(dati, n); });
}

}  // namespace

bool mappa_xml_disponibile() {
  return true;
}

bool leggi_mappa_xml(std::string_view dati, const char* formato, mappa_osm& m,
                     std::string& errore) {
  static std::once_flag registrati;
  std::call_once(registrati, [] {
    registra<gzip_a_pezzi>(osmium::io::file_compression::gzip);
    registra<bzip2_a_pezzi>(osmium::io::file_compression::bzip2);
  });
  try {
    return leggi_con(osmium::io::File(dati.data(), dati.size(), formato), m, errore);
  } catch (const osmium::xml_error& e) {
    errore = "la mappa XML non è valida alla riga " + std::to_string(e.line) + ", colonna " +
             std::to_string(e.column);
  } catch (const rovinata_gzip&) {
    errore = "la mappa compressa con gzip è rovinata o troncata";
  } catch (const rovinata_bzip2&) {
    errore = "la mappa compressa con bzip2 è rovinata o troncata";
  } catch (const mappa_rifiutata& e) {
    errore = e.what();
  } catch (const std::bad_alloc&) {
    errore = "la memoria non basta per leggere la mappa";
  } catch (const std::exception&) {
    errore = "la mappa XML non si può leggere";
  }
  return false;
}

}  // namespace bozza
