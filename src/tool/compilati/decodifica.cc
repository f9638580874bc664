// The three compiled files decoded into the records. Every decoder checks
// that the bytes fit the layout exactly and says why when they do not; none
// trusts a length it has not checked.
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "model/formato.h"
#include "tool/compilati/compilati.h"

namespace {

// Little-endian reader over bytes whose length the caller has checked.
struct lettore {
  const unsigned char* p;

  uint8_t u8() { return *p++; }
  uint16_t u16() {
    uint16_t v = static_cast<uint16_t>(p[0] | (p[1] << 8));
    p += 2;
    return v;
  }
  int16_t i16() { return static_cast<int16_t>(u16()); }
  uint32_t u32() {
    uint32_t v = static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
                 (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
    p += 4;
    return v;
  }
  int32_t i32() { return static_cast<int32_t>(u32()); }
  double doppio() {
    uint64_t b = u32();
    b |= static_cast<uint64_t>(u32()) << 32;
    double v;
    std::memcpy(&v, &b, sizeof v);
    return v;
  }
};

bool finisce_con(std::string_view s, std::string_view coda) {
  return s.size() >= coda.size() && s.substr(s.size() - coda.size()) == coda;
}

}  // namespace

genere_file riconosci_file(const std::string& nome) {
  if (finisce_con(nome, "_linea.dat")) return genere_file::planimetria;
  if (finisce_con(nome, ".sim")) return genere_file::tabella;
  if (finisce_con(nome, ".dat")) return genere_file::percorso;
  return genere_file::nessuno;
}

void decodifica_tabella(std::string_view b, tabella& t, const std::string& nome) {
  using formato::kVoceBase;
  size_t pos = 0;
  for (int e = 0; e < formato::kVoci; ++e) {
    if (b.size() - pos < kVoceBase) {
      throw file::errore_io(nome + ": il file finisce dentro la voce " + std::to_string(e) +
                            " (byte " + std::to_string(pos) + " di " + std::to_string(b.size()) +
                            "): una tabella ha 87 voci di 34 byte più il nome");
    }
    const size_t inizio = pos;
    if (!formato::decodifica_record(formato::kCampiVoce, b, pos, t[static_cast<size_t>(e)])) {
      // Only the name can run past the bytes: the fixed part was there.
      const size_t testo = inizio + formato::inizio_testo(formato::kCampiVoce);
      const size_t n = static_cast<unsigned char>(b[testo]) |
                       static_cast<size_t>(static_cast<unsigned char>(b[testo + 1])) << 8;
      throw file::errore_io(nome + ": il nome della voce " + std::to_string(e) + " dichiara " +
                            std::to_string(n) + " byte ma il file ne ha solo " +
                            std::to_string(b.size() - inizio - kVoceBase) + " dopo la voce");
    }
  }
  if (pos != b.size()) {
    throw file::errore_io(nome + ": dopo le 87 voci restano " + std::to_string(b.size() - pos) +
                          " byte: non è una tabella della linea");
  }
}

void decodifica_percorso(std::string_view b, std::vector<cella_percorso>& celle,
                         const std::string& nome) {
  if (b.size() % formato::kCella != 0) {
    throw file::errore_io(
        nome + ": la dimensione " + std::to_string(b.size()) +
        " byte non è un multiplo di 15 (una cella per record): file troncato o non un "
        "percorso");
  }
  celle.assign(b.size() / formato::kCella, cella_percorso{});
  size_t pos = 0;
  for (auto& c : celle) formato::decodifica_record(formato::kCampiCella, b, pos, c);
}

void decodifica_planimetria(std::string_view b, planimetria_linea& p, const std::string& nome) {
  const auto* base = reinterpret_cast<const unsigned char*>(b.data());
  // First the elements, tag by tag: half of them are the first column.
  size_t elementi = 0;
  for (size_t pos = 0; pos < b.size(); ++elementi) {
    if (b.size() - pos < 2) {
      throw file::errore_io(nome + ": il file finisce a metà dell'etichetta dell'elemento " +
                            std::to_string(elementi) + " (byte " + std::to_string(pos) + ")");
    }
    const uint16_t g = static_cast<uint16_t>(base[pos] | (base[pos + 1] << 8));
    size_t serve = 0;
    if (g == genere_punto::intero)
      serve = 2;
    else if (g == genere_punto::doppio)
      serve = 8;
    else if (g != genere_punto::vuoto) {
      throw file::errore_io(nome + ": etichetta " + std::to_string(g) +
                            " sconosciuta all'elemento " + std::to_string(elementi) + " (byte " +
                            std::to_string(pos) + "): sono ammesse 0, 2 e 5");
    }
    if (b.size() - pos - 2 < serve) {
      throw file::errore_io(nome + ": il file finisce dentro il valore dell'elemento " +
                            std::to_string(elementi) + " (byte " + std::to_string(pos) + ")");
    }
    pos += 2 + serve;
  }
  if (elementi % 2 != 0) {
    throw file::errore_io(nome + ": il file ha " + std::to_string(elementi) +
                          " elementi, un numero dispari: le due colonne non sono uguali");
  }
  // Then straight into the arrays, both columns at once.
  const size_t n = elementi / 2;
  p.crea(n);
  lettore l{base};
  for (size_t m = 0; m < n; ++m) {
    p.genere[m] = static_cast<uint8_t>(l.u16());
    if (p.genere[m] == genere_punto::intero) p.x[m] = l.i16();
    if (p.genere[m] == genere_punto::doppio) p.x[m] = l.doppio();
  }
  for (size_t m = 0; m < n; ++m) {
    const uint16_t g = l.u16();
    if (g != p.genere[m]) {
      const std::string perche = nome + ": il punto " + std::to_string(m) + " ha genere " +
                                 std::to_string(p.genere[m]) + " nella prima colonna e " +
                                 std::to_string(g) +
                                 " nella seconda: le due colonne non corrispondono";
      p.libera();
      throw file::errore_io(perche);
    }
    if (g == genere_punto::intero) p.y[m] = l.i16();
    if (g == genere_punto::doppio) p.y[m] = l.doppio();
  }
}
