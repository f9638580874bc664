// The map reader over any bytes: PBF (raw or zlib blocks) or XML (plain, gzip,
// bzip2), whichever the bytes look like, in the two passes a file is read
// in, with what a map read must hold: a refusal gives its reason, and what is
// read names only nodes and ways it has, each node on the Earth. Time and memory are bounded by the run's -timeout and
// -malloc_limit_mb.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "tool/bozza/mappa.h"

namespace {

void pretendi(bool vero, const char* cosa) {
  if (vero) return;
  std::fprintf(stderr, "\n*** mappa_fuzz: %s\n", cosa);
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* dati, size_t n) {
  bozza::mappa_osm m;
  std::string e;
  if (!bozza::leggi_mappa(std::string_view(reinterpret_cast<const char*>(dati), n), m, e)) {
    pretendi(!e.empty(), "una mappa rifiutata senza motivo");
    return 0;
  }
  const size_t nodi = m.nodi.size();
  for (const bozza::nodo_osm& x : m.nodi)
    pretendi(bozza::sulla_terra(x.dove()), "un nodo fuori dal mondo");
  for (const bozza::via_osm& v : m.vie) {
    pretendi(v.nodi.size() >= 2, "una via di meno di due nodi");
    for (uint32_t k : v.nodi) pretendi(k < nodi, "una via nomina un nodo che non c'è");
  }
  for (const bozza::fermata_osm& f : m.fermate)
    pretendi(f.nodo < nodi, "una fermata fuori dai nodi");
  for (const bozza::segnale_osm& s : m.segnali)
    pretendi(s.nodo < nodi, "un segnale fuori dai nodi");
  for (const bozza::cippo_osm& c : m.cippi) pretendi(c.nodo < nodi, "un cippo fuori dai nodi");
  for (uint32_t k : m.passaggi_a_livello) pretendi(k < nodi, "un passaggio fuori dai nodi");
  for (const bozza::banchina_osm& b : m.banchine)
    for (uint32_t k : b.nodi) pretendi(k < nodi, "una banchina nomina un nodo che non c'è");
  for (const bozza::linea_osm& l : m.linee) {
    for (uint32_t k : l.vie) pretendi(k < m.vie.size(), "una linea nomina una via che non c'è");
    for (uint32_t k : l.fermate) pretendi(k < nodi, "una linea nomina un nodo che non c'è");
  }
  return 0;
}
