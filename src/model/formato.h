// What the compiled files and the two sources are, stated once: the layout's
// constants, one field table per compiled record, the file names, the
// finishing rules' distances, and one key table per source. The readers, the
// writers, the finishing walk and every tool that reads or writes these
// files take them from here.
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "model/numeri.h"
#include "model/records.h"

namespace formato {

// --- The line and its cells ---

constexpr int64_t kMetriCella = 50;
constexpr int64_t kLunghezzaMassima = 1000000;  // a longer line is code 1
// Track past the line's last metre, for objects and walks that reach beyond it.
constexpr int64_t kOltreLaFine = 7000;

// The last cell of a line of length l (cells are numbered from 0).
constexpr int64_t ultima_cella(int64_t l) {
  return arrotonda(l + kOltreLaFine, kMetriCella);
}
// Points of its plan: one per metre from 0 to l + 7000.
constexpr int64_t punti_planimetria(int64_t l) {
  return l + kOltreLaFine + 1;
}
// A position p lies within the cells for an entry when (p + margin) / 50 does
// not exceed the last cell; past it the read ends with code 15.
constexpr int64_t kMargineOggetto = 100;
constexpr int64_t kMargineStazione = 800;
constexpr int64_t posizione_massima(int64_t ultima, int64_t margine = kMargineOggetto) {
  return kMetriCella * ultima - margine;
}

// The plan: a curve may not carry it past this point (code 103).
constexpr int64_t kPuntoMassimo = 1000000;
// Curvature of each curve class, radians per metre (index 1 to 6).
constexpr std::array<double, 7> kCurvatura = {0.0, 0.0001, 0.0002, 0.0004, 0.001, 0.002, 0.003};
// A curve's curvature with its sign as the plan's step takes it: a left
// curve's negative, a right one's positive.
constexpr double curvatura(size_t classe, bool sinistra) {
  return sinistra ? -kCurvatura[classe] : kCurvatura[classe];
}
// One metre of the plan: the point after (x2, y2) and (x1, y1), straight on
// or turned by k. The straight step adds nothing for k, so that a zero's sign
// cannot change a coordinate's bytes.
struct punto_piano {
  double x, y;
};
constexpr punto_piano passo_piano(double x2, double y2, double x1, double y1, bool curvo,
                                  double k) {
  const double dx = x1 - x2, dy = y1 - y2;
  if (!curvo) return {x1 + dx, y1 + dy};
  return {x1 + (dx + k * dy), y1 + (dy - k * dx)};
}

// --- The line table ---

constexpr int kVoci = kVociTabella;  // entries 0 to 86
constexpr int kPrimaStazione = 1;    // stations from entry 1 upward
constexpr int kPrimoCartello = 80;   // named signs' texts from entry 80 downward
// Stations and named signs share entries 1 to 80, and the station count stops
// two short of the limit: 78 of them at most together.
constexpr int kStazioniPiuCartelli = kPrimoCartello - 2;
// The three kilometric reference points, largest position first.
constexpr int kVoceProgressivaTre = 81;
constexpr int kVoceProgressivaDue = 82;
constexpr int kVoceProgressivaUno = 83;
constexpr int kVoceTreno = 84;        // braked mass, line length, coaches
constexpr int kVoceLinea = 85;        // scenery, route name, format stamp, st code
constexpr int kVoceRipetizione = 86;  // cab-signal zone, train number, sand, clock
// A text's length is stored in 16 bits.
constexpr size_t kTestoMassimo = 0xFFFF;

// Format stamps, and where the check codes go (entry 85's orario, cell 1's
// valore_2).
constexpr int16_t kTimbroTabella = 610;    // entry 85, parametro_1
constexpr int16_t kTimbroPercorso = 5121;  // cell 1, valore_1
constexpr size_t kCellaTimbri = 1;

// Stations: kinds from 25 on are junctions and halts, with no stop cell and
// no markers; kinds 5 and 6 have a stop cell but no markers.
constexpr int kTipoSenzaFermata = 25;
constexpr int64_t kDistanzaZone = 350;      // zones at least this far apart (code 22)
constexpr uint8_t kMarcatoreStazione = 80;  // markers 81 to 84 before the stop cell
constexpr int kMarcatori = 4;               // a signal or a station writes this many

// Slowdowns: a warning point 1200 m (24 cells) before the start, from
// positions above 1500 m, with four approach cells before it.
constexpr int64_t kSenzaAvviso = 1500;
constexpr int64_t kAnticipoAvviso = 1200;
constexpr int64_t kCelleAnticipoAvviso = kAnticipoAvviso / kMetriCella;

// Mountain spans: the reader keeps 80; a span that starts at most 150 m after
// the one read before it takes kind 3; a kind above 10 adds span markers.
constexpr int kMontagneMassime = 80;
constexpr int64_t kDistanzaMontagneUnite = 150;
constexpr int kTipoMontagneUnite = 3;
constexpr int kTipoConSegni = 10;

// --- The finishing rules (the walk after the read) ---
// Rule 1: a check point just before every signal in the 20 cells before a
//   slowdown's warning point.
// Rules 2 to 4: a check point at 250-350, 550-650 and 900-1000 m before a
//   slowdown's start (the first free cell of each three).
// Rule 5: inside a slowdown slower than 110 km/h, a check point every 8 cells.
// Rule 6: a check point before the first signal within 12 cells after the
//   slowdown's end.
namespace rifinitura {
constexpr int16_t kVelocitaMarca = 180;  // every check point's speed
constexpr int kAvvisoIndietro = 20;
constexpr std::array<int, 3> kVicini = {5, 11, 18};  // first of each three cells
constexpr int kVicinoLargo = 2;                      // ... and the two after it
constexpr int16_t kVelocitaLenta = 110;
constexpr int kPasso = 8;
constexpr int kDopoFine = 12;
}  // namespace rifinitura

// --- The track file and the table file: one field table per record ---

// A field of a record as the compiled file holds it: its place among the
// record's fields (file order), its width in bytes (0 for the name: a 16-bit
// length, then the bytes), signedness, unit and meaning.
template <typename R>
struct campo {
  const char* nome;
  std::variant<uint8_t R::*, int16_t R::*, int32_t R::*, std::string R::*> membro;
  const char* unita;
  const char* significato;

  size_t larghezza() const {
    switch (membro.index()) {
      case 0:
        return 1;
      case 1:
        return 2;
      case 2:
        return 4;
      default:
        return 0;
    }
  }
  bool con_segno() const { return membro.index() == 1 || membro.index() == 2; }
  bool testo() const { return membro.index() == 3; }
  int64_t valore(const R& r) const {
    switch (membro.index()) {
      case 0:
        return r.*std::get<0>(membro);
      case 1:
        return r.*std::get<1>(membro);
      case 2:
        return r.*std::get<2>(membro);
      default:
        return 0;
    }
  }
  // Keeps the low bits that fit, as a store into the field does.
  void metti(R& r, int64_t v) const {
    switch (membro.index()) {
      case 0:
        r.*std::get<0>(membro) = basso8(v);
        break;
      case 1:
        r.*std::get<1>(membro) = basso16(v);
        break;
      case 2:
        r.*std::get<2>(membro) = static_cast<int32_t>(static_cast<uint32_t>(v & 0xFFFFFFFF));
        break;
      default:
        break;
    }
  }
};

extern const std::array<campo<voce_linea>, 16> kCampiVoce;
extern const std::array<campo<cella_percorso>, 11> kCampiCella;
// Bytes of a table record with an empty name; the name adds its length.
constexpr size_t kVoceBase = 34;
constexpr size_t kCella = 15;

// The bytes a record's name takes after its 16-bit length: a longer name is
// cut, so that the length and the bytes that follow it always agree.
inline size_t lunghezza_testo(const std::string& s) {
  return s.size() < kTestoMassimo ? s.size() : kTestoMassimo;
}
template <typename R, size_t N>
size_t byte_record(const std::array<campo<R>, N>& campi, const R& r) {
  size_t n = 0;
  for (const campo<R>& c : campi)
    n += c.testo() ? 2 + lunghezza_testo(r.*std::get<3>(c.membro)) : c.larghezza();
  return n;
}

// Where a record's name starts (its 16-bit length): after the fields before it.
template <typename R, size_t N>
size_t inizio_testo(const std::array<campo<R>, N>& campi) {
  size_t n = 0;
  for (const campo<R>& c : campi) {
    if (c.testo()) break;
    n += c.larghezza();
  }
  return n;
}

// A record's fields in file order at p, little-endian; returns the end.
template <typename R, size_t N>
char* codifica_record(const std::array<campo<R>, N>& campi, const R& r, char* p) {
  auto metti = [&p](uint64_t v, size_t byte) {
    for (size_t i = 0; i < byte; ++i) *p++ = static_cast<char>((v >> (8 * i)) & 0xFF);
  };
  for (const campo<R>& c : campi) {
    if (c.testo()) {
      const std::string& t = r.*std::get<3>(c.membro);
      const size_t n = lunghezza_testo(t);
      metti(n, 2);
      for (size_t i = 0; i < n; ++i) *p++ = t[i];
    } else {
      metti(static_cast<uint64_t>(c.valore(r)), c.larghezza());
    }
  }
  return p;
}

// The fields of one record from b at pos, in file order; false, with pos
// left where the bytes ran out, when they do not hold it all.
template <typename R, size_t N>
bool decodifica_record(const std::array<campo<R>, N>& campi, std::string_view b, size_t& pos,
                       R& r) {
  auto prendi = [&](size_t byte, uint64_t& v) {
    if (b.size() - pos < byte) return false;
    v = 0;
    for (size_t i = 0; i < byte; ++i)
      v |= static_cast<uint64_t>(static_cast<unsigned char>(b[pos + i])) << (8 * i);
    pos += byte;
    return true;
  };
  for (const campo<R>& c : campi) {
    uint64_t v;
    if (c.testo()) {
      if (!prendi(2, v) || b.size() - pos < v) return false;
      r.*std::get<3>(c.membro) = std::string(b.substr(pos, v));
      pos += v;
      continue;
    }
    if (!prendi(c.larghezza(), v)) return false;
    c.metti(r, static_cast<int64_t>(v));
  }
  return true;
}

// A plan element: its 2-byte kind tag (genere_punto), then nothing, a 16-bit
// integer or a double.
constexpr size_t dimensione_punto(uint8_t genere) {
  return genere == genere_punto::intero ? 4 : genere == genere_punto::doppio ? 10 : 2;
}

// --- File names: folder, separator, then these ---

std::string nome_sorgente_linea(std::string_view linea);
std::string nome_sorgente_treno(std::string_view linea, std::string_view treno);
std::string nome_planimetria(std::string_view linea);
std::string nome_tabella(std::string_view linea, std::string_view treno);
std::string nome_percorso(std::string_view linea, std::string_view treno);
// The three documents for the driver: ROUTE_TRAIN_ and this.
constexpr std::array<const char*, 3> kDocumenti = {"note.txt", "rallentamenti.txt",
                                                   "scheda_treno.txt"};
std::string nome_documento(std::string_view linea, std::string_view treno, const char* coda);

// --- The two sources: one key table each ---

// One value of an entry, in the order the reader reads them: what it is,
// what the reader accepts, and what the compile does with a value outside
// that (the reference of `scenario voci` and docs/voci.md is made from these).
struct valore_voce {
  const char* nome;
  const char* unita;  // "" when it has none
  const char* significato;
  const char* intervallo;  // the values the compile takes as meant
  const char* strani;      // what it does with the others ("" when nothing odd)
};

// How a reader knows an entry: every word of `parole` in the token (without
// regard to letter case unless `esatte`). The table's order is the order in
// which the reader tries them on one token.
struct chiave_sorgente {
  const char* genere;  // what it is ("pendenza", "stazione", "progressiva chilometrica")
  const char* chiave;  // as written ("pendenza", "progressiva chilometrica uno")
  std::array<const char*, 2> parole;
  bool esatte;
  const char* significato;
  const valore_voce* valori;
  size_t n_valori;
  const char* note;  // what the compile does with the entry as a whole ("" none)
};

enum class sorgente : uint8_t { linea, treno };
// The line's header keys, then its body keys; the train's keys.
const std::vector<chiave_sorgente>& chiavi(sorgente s);
const std::vector<chiave_sorgente>& chiavi_testata();
const std::vector<chiave_sorgente>& chiavi_corpo();
// Whether a token names the entry of key k.
bool riconosce(const chiave_sorgente& k, std::string_view token);
// The key of this kind and name, nullptr for none.
const chiave_sorgente* chiave(std::string_view chiave_scritta);

}  // namespace formato
