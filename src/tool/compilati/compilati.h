// Reading the three compiled files back into the records, for `dump` and
// `plot`. Every decoder checks that the bytes fit the layout exactly and says
// why when they do not; none trusts a length it has not checked.
#pragma once
#include <cstdint>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "model/formato.h"
#include "model/records.h"
#include "platform/file.h"

enum class genere_file { nessuno, planimetria, tabella, percorso };

// Kind of compiled file by the end of its name: "_linea.dat" plan, ".sim"
// table, any other ".dat" track.
genere_file riconosci_file(const std::string& nome);

// Each throws file::errore_io, naming the file and why in Italian, when the
// bytes do not fit the layout.
void decodifica_tabella(std::string_view b, tabella& t, const std::string& nome);
void decodifica_percorso(std::string_view b, std::vector<cella_percorso>& celle,
                         const std::string& nome);
void decodifica_planimetria(std::string_view b, planimetria_linea& p, const std::string& nome);

// Names of the compiled files and of the two sources of a scenario.
using formato::nome_percorso;
using formato::nome_planimetria;
using formato::nome_sorgente_linea;
using formato::nome_sorgente_treno;
using formato::nome_tabella;

// A plan seen point by point. The layouts a compile writes (two 16-bit
// integers, then doubles, then empty points; or nothing but empty points)
// are read straight from the bytes, with no array filled; any other layout
// is decoded into arrays and seen there.
class vista_planimetria {
 public:
  // From bytes of `punti` points in a layout a compile writes; false otherwise.
  bool da_byte(std::string_view b, size_t punti);
  void da_array(const planimetria_linea& p);

  size_t punti() const { return n_; }
  uint8_t genere(size_t i) const {
    if (p_) return p_->genere[i];
    if (!interi_) return genere_punto::vuoto;
    if (i < 2) return genere_punto::intero;
    return i < 2 + doppi_ ? genere_punto::doppio : genere_punto::vuoto;
  }
  double x(size_t i) const { return valore(i, 0); }
  double y(size_t i) const { return valore(i, 1); }
  // Where the doubles of points [da, a) stand in the bytes, 10 bytes apart in
  // each column; false when they are not all doubles there.
  bool doppi_in_byte(size_t da, size_t a, const char*& px, const char*& py) const {
    if (p_ || !interi_ || da < 2 || a > 2 + doppi_ || da >= a) return false;
    px = b_.data() + 10 * da - 10;
    py = px + colonna_;
    return true;
  }

 private:
  double valore(size_t i, int colonna) const {
    if (p_) return colonna == 0 ? p_->x[i] : p_->y[i];
    if (interi_ && i >= 2 && i < 2 + doppi_) {
      // The double of point i stands 2 bytes after its tag, at 8 + 10 (i - 2).
      double v;
      std::memcpy(&v, b_.data() + static_cast<size_t>(colonna) * colonna_ + 10 * i - 10, sizeof v);
      return v;
    }
    return lento(i, colonna);
  }
  double lento(size_t i, int colonna) const;
  std::string_view b_;
  const planimetria_linea* p_ = nullptr;
  size_t n_ = 0, doppi_ = 0, colonna_ = 0;
  bool interi_ = false;
};

// The three compiled files of one scenario: their bytes (seen in place where
// they are files) and the records decoded from them.
struct scenario_compilato {
  std::string linea, treno;
  std::string_view byte_tabella, byte_percorso, byte_planimetria;
  tabella tabella_linea;
  std::vector<cella_percorso> celle;
  bool con_planimetria = false;  // ROUTE_linea.dat was there
  vista_planimetria pianta;      // its points

  scenario_compilato() = default;
  scenario_compilato(const scenario_compilato&) = delete;
  scenario_compilato& operator=(const scenario_compilato&) = delete;
  // The plan in arrays, for the readers that want them (drawing): decoded
  // when first asked for.
  const planimetria_linea& planimetria();
  // The arrays are the largest records: gone when a reader is done with them
  // (the bytes stay).
  void libera_planimetria() {
    if (!in_array_) array_.libera();
  }

  // What keeps the bytes there.
  std::vector<std::unique_ptr<file::mappatura>> mappe;
  std::vector<std::unique_ptr<std::string>> propri;

  planimetria_linea array_;
  bool in_array_ = false;  // the plan's layout is read through the arrays
};

// Reads DIR/ROUTE_TRAIN.sim, DIR/ROUTE_TRAIN.dat and, when there is one,
// DIR/ROUTE_linea.dat. Throws file::errore_io when one cannot be read, is not
// a regular file, does not fit its layout or disagrees with the others in size.
void leggi_compilato(const std::string& cartella, const std::string& linea,
                     const std::string& treno, scenario_compilato& s);
// The same for compiled files in memory, by their names (ROUTE_TRAIN.sim...);
// the map's bytes are moved into `s`.
void compilato_da_memoria(std::map<std::string, std::string>& compilati, const std::string& linea,
                          const std::string& treno, scenario_compilato& s);

// A plan coordinate in its shortest text that reads back to the same double.
std::string numero_esatto(double v);

// The fields of a table entry and of a track cell, named, in file order.
struct campo_valore {
  const char* nome;
  int64_t valore;
};
std::vector<campo_valore> campi_voce(const voce_linea& v);
std::vector<campo_valore> campi_cella(const cella_percorso& c);
