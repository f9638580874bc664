// The PBF maps, read block by block from their file: the blocks are framed
// and checked here, before libosmium decodes any of them, and decoded on
// libosmium's thread pool, a few at a time, in the file's order. The first
// pass keeps the ways and relations and notes the blocks that hold nodes;
// the second reads only those again.
#include <algorithm>
#include <deque>
#include <future>
#include <osmium/io/detail/pbf.hpp>
#include <osmium/io/detail/pbf_decoder.hpp>
#include <osmium/io/detail/protobuf_tags.hpp>
#include <osmium/thread/pool.hpp>
#include <protozero/pbf_message.hpp>
#include <thread>

#include "platform/file.h"
#include "tool/bozza/lettore_osm.h"

namespace bozza {

namespace {

namespace limiti = osmium::io::detail;
using testa_blocco = limiti::FileFormat::BlobHeader;
namespace OSMFormat = osmium::io::detail::OSMFormat;

// Blocks decoded or waiting, and the bytes they hold at most: a worker
// never waits for work, and memory stays within a few blocks' worth. The
// count stays under the size of the pool's queue, which a submission would
// wait on.
constexpr size_t kInVolo = 8;
constexpr uint64_t kByteInVolo = 96 * 1024 * 1024;

struct rovinata_pbf {};

// Where a block's data lie in the file.
struct blocco {
  uint64_t da = 0;
  uint32_t n = 0;
};

uint32_t grande_endian(const char* d) {
  uint32_t v = 0;
  for (size_t k = 0; k < 4; ++k) v = (v << 8) | static_cast<unsigned char>(d[k]);
  return v;
}

// The block whose header starts at p, framed as libosmium frames it: a header
// within its limit, naming its type (OSMHeader first, OSMData after) and a
// size within its limit and the file. False where the file ends. A header
// without a type libosmium would compare through a null pointer.
bool testa(sorgente_mappa& s, uint64_t& p, bool primo, blocco& b) {
  const uint64_t fine = s.dimensione();
  if (p >= fine) return false;
  char q[4];
  if (fine - p < 4 || s.leggi(p, q, 4) != 4) throw rovinata_pbf{};
  const uint32_t n = grande_endian(q);
  if (n == 0 || n > static_cast<uint32_t>(limiti::max_blob_header_size) || n > fine - p - 4)
    throw rovinata_pbf{};
  std::string h(n, '\0');
  if (s.leggi(p + 4, h.data(), n) != n) throw rovinata_pbf{};
  protozero::pbf_message<testa_blocco> m(h.data(), n);
  std::string_view tipo;
  int64_t dati = 0;
  // By tag and wire type, as libosmium reads them: a field of another type
  // is passed over.
  using protozero::pbf_wire_type;
  while (m.next()) {
    switch (m.tag_and_type()) {
      case protozero::tag_and_type(testa_blocco::required_string_type,
                                   pbf_wire_type::length_delimited): {
        const protozero::data_view v = m.get_view();
        tipo = std::string_view(v.data(), v.size());
        break;
      }
      case protozero::tag_and_type(testa_blocco::required_int32_datasize, pbf_wire_type::varint):
        dati = m.get_int32();
        break;
      default:
        m.skip();
    }
  }
  p += 4 + n;
  if (tipo != (primo ? "OSMHeader" : "OSMData") || dati <= 0 ||
      static_cast<uint64_t>(dati) > limiti::max_uncompressed_blob_size ||
      static_cast<uint64_t>(dati) > fine - p)
    throw rovinata_pbf{};
  b = {p, static_cast<uint32_t>(dati)};
  p += b.n;
  return true;
}

std::string dati_di(sorgente_mappa& s, const blocco& b) {
  std::string d(b.n, '\0');
  if (s.leggi(b.da, d.data(), b.n) != b.n) throw rovinata_pbf{};
  return d;
}

// Which kinds of object a block's groups hold, looked at without decoding
// them.
struct generi {
  bool nodi = false, altri = false;
};
generi generi_di(const protozero::data_view& d) {
  generi g;
  protozero::pbf_message<OSMFormat::PrimitiveBlock> b{d};
  while (b.next(OSMFormat::PrimitiveBlock::repeated_PrimitiveGroup_primitivegroup,
                protozero::pbf_wire_type::length_delimited)) {
    protozero::pbf_message<OSMFormat::PrimitiveGroup> gruppo = b.get_message();
    while (gruppo.next()) {
      const auto t = gruppo.tag();
      (t == OSMFormat::PrimitiveGroup::repeated_Node_nodes ||
               t == OSMFormat::PrimitiveGroup::optional_DenseNodes_dense
           ? g.nodi
           : g.altri) = true;
      gruppo.skip();
    }
  }
  return g;
}

osmium::memory::Buffer decodifica(const protozero::data_view& d, osmium::osm_entity_bits::type t) {
  limiti::PBFPrimitiveBlockDecoder x{d, t, osmium::io::read_meta::no};
  return x();
}

// What a block gives the first pass: its ways and relations, and whether
// the second must read it for its nodes.
struct primo_pezzo {
  raccolta r;
  blocco b;
  bool nodi = false;
};

// Every block is decoded once at least, its string table looked at, by
// the pass that wants it: one of nodes alone waits for the second.
primo_pezzo primo(const std::string& dati, blocco b) {
  std::string gonfio;
  const protozero::data_view d = limiti::decode_blob(dati, gonfio);
  const generi g = generi_di(d);
  primo_pezzo p{{}, b, g.nodi};
  if (g.altri || !g.nodi) {
    osmium::memory::Buffer x =
        decodifica(d, osmium::osm_entity_bits::way | osmium::osm_entity_bits::relation);
    raccogli_vie(x, p.r);
  }
  return p;
}

raccolta secondo(const std::string& dati, const std::vector<int64_t>& voluti) {
  std::string gonfio;
  raccolta r;
  osmium::memory::Buffer x =
      decodifica(limiti::decode_blob(dati, gonfio), osmium::osm_entity_bits::node);
  raccogli_nodi(x, voluti, r);
  return r;
}

// Blocks on the pool, taken back in the order they went. Whatever is still
// out when the read ends early is waited for: the work refers to what the
// reader holds.
template <typename T>
class in_volo {
 public:
  explicit in_volo(osmium::thread::Pool& p) : pool_(p) {}
  ~in_volo() {
    for (std::future<T>& f : attesi_)
      if (f.valid()) f.wait();
  }
  in_volo(const in_volo&) = delete;
  in_volo& operator=(const in_volo&) = delete;
  bool pieno() const { return attesi_.size() >= kInVolo || byte_ >= kByteInVolo; }
  bool vuoto() const { return attesi_.empty(); }
  template <typename F>
  void metti(F&& f, uint32_t byte) {
    attesi_.push_back(pool_.submit(std::forward<F>(f)));
    pesi_.push_back(byte);
    byte_ += byte;
  }
  T prendi() {
    T x = attesi_.front().get();
    attesi_.pop_front();
    byte_ -= pesi_.front();
    pesi_.pop_front();
    return x;
  }

 private:
  osmium::thread::Pool& pool_;
  std::deque<std::future<T>> attesi_;
  std::deque<uint32_t> pesi_;
  uint64_t byte_ = 0;
};

void primo_passo(sorgente_mappa& s, osmium::thread::Pool& pool, raccolta& r,
                 std::vector<blocco>& con_nodi, avanzamento& a) {
  uint64_t p = 0;
  blocco b;
  if (!testa(s, p, true, b)) throw rovinata_pbf{};
  limiti::decode_header(dati_di(s, b));
  a.passo(1, "vie e relazioni", s.dimensione());
  in_volo<primo_pezzo> v(pool);
  auto prendi = [&] {
    primo_pezzo x = v.prendi();
    r.unisci(std::move(x.r));
    if (x.nodi) con_nodi.push_back(x.b);
  };
  while (testa(s, p, false, b)) {
    if (v.pieno()) prendi();
    v.metti([d = dati_di(s, b), b] { return primo(d, b); }, b.n);
    a.letti(p);
  }
  while (!v.vuoto()) prendi();
}

void secondo_passo(sorgente_mappa& s, osmium::thread::Pool& pool, raccolta& r,
                   const std::vector<blocco>& con_nodi, avanzamento& a) {
  const std::vector<int64_t> voluti = nodi_voluti(r);
  r.m.nodi.reserve(voluti.size() + voluti.size() / 8);
  uint64_t totale = 0, letti = 0;
  for (const blocco& b : con_nodi) totale += b.n;
  a.passo(2, "nodi", totale);
  in_volo<raccolta> v(pool);
  for (const blocco& b : con_nodi) {
    if (v.pieno()) r.unisci(v.prendi());
    v.metti([d = dati_di(s, b), &voluti] { return secondo(d, voluti); }, b.n);
    a.letti(letti += b.n);
  }
  while (!v.vuoto()) r.unisci(v.prendi());
}

}  // namespace

riuscita leggi_pbf(sorgente_mappa& s, raccolta& r, avanzamento& a) {
  return leggendo("la mappa PBF non si può leggere", [&]() -> riuscita {
    try {
      // As many workers as the machine has cores: the reading thread waits
      // on the disk or on them.
      osmium::thread::Pool pool(
          static_cast<int>(std::max(1u, std::thread::hardware_concurrency())));
      std::vector<blocco> con_nodi;
      primo_passo(s, pool, r, con_nodi, a);
      secondo_passo(s, pool, r, con_nodi, a);
      return fatto{};
    } catch (const rovinata_pbf&) {
    } catch (const osmium::pbf_error&) {
    } catch (const protozero::exception&) {
    }
    return mappa_illeggibile("la mappa PBF è rovinata o troncata");
  });
}

}  // namespace bozza
