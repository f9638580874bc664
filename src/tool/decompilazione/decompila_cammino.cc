// Which speed-reduction points of 180 km/h the finishing walk put in, so that
// the source gives only the others.
//
// The walk is run again over the compiled cells. Each point of 180 it meets
// where it would mark a free cell is either its own mark or a source point
// that made the cell taken: a choice. The first choice taken is "its own";
// where that leads the walk to mark a cell the compiled cells have free, the
// search goes back to the last choice and takes the other way.
#include <algorithm>
#include <cstdint>
#include <vector>

#include "model/formato.h"
#include "tool/decompilazione/decompila_interno.h"

namespace {

using formato::rifinitura::kAvvisoIndietro;
using formato::rifinitura::kDopoFine;
using formato::rifinitura::kPasso;
using formato::rifinitura::kVelocitaLenta;
using formato::rifinitura::kVelocitaMarca;
using formato::rifinitura::kVicini;
using formato::rifinitura::kVicinoLargo;
constexpr int kTentativi = 400;
// Cells the walks may visit in all: each slowdown's walk may run to the last
// cell, and compiled files no source gave may hold thousands of them.
constexpr int64_t kPassiMassimi = 200'000'000;

enum stato : uint8_t { fissa, dubbia, sorgente, marcata };

class cammino {
 public:
  cammino(const analisi& a, const std::vector<uint8_t>& scelte)
      : scelte_(scelte), u_(static_cast<int>(a.celle.size()) - 1) {
    tipo_.resize(a.celle.size());
    stato_.assign(a.celle.size(), fissa);
    for (size_t i = 0; i < a.celle.size(); ++i) {
      const cella_percorso& x = a.celle[i];
      tipo_[i] = x.tipo;
      v1_.push_back(x.valore_1);
      if (x.tipo == tipo_cella::abbattimento && x.valore_1 == kVelocitaMarca) stato_[i] = dubbia;
    }
  }

  void esegui() {
    for (int i = 1; i <= u_ - 2 && !fallito; ++i) {
      if (tipo_[static_cast<size_t>(i)] == tipo_cella::avviso_rallentamento)
        regola_1(i);
      else if (tipo_[static_cast<size_t>(i)] == tipo_cella::inizio_rallentamento)
        regole_2_6(i);
    }
    // A source point stands where a position can name it.
    for (int i = std::max(0, u_ - 1); i <= u_ && !fallito; ++i)
      if (stato_[static_cast<size_t>(i)] == dubbia || stato_[static_cast<size_t>(i)] == sorgente)
        fallito = true;
  }

  bool fallito = false;
  std::vector<uint8_t> fatte;  // the choices taken, in order
  int64_t* passi = nullptr;    // cells visited by all the walks so far

  bool del_cammino(size_t i) const { return stato_[i] == marcata; }

 private:
  bool esiste(int i) const { return i >= 0 && i <= u_; }
  bool di_tipo(int i, uint8_t t) const { return esiste(i) && tipo_[static_cast<size_t>(i)] == t; }

  // The walk marks cell x if it is free. A cell the compiled files leave
  // free must stay so; a point of 180 is a choice.
  bool prova(int x) {
    if (!esiste(x) || fallito) return false;
    const auto i = static_cast<size_t>(x);
    if (stato_[i] == dubbia) {
      const uint8_t scelta = fatte.size() < scelte_.size() ? scelte_[fatte.size()] : 0;
      fatte.push_back(scelta);
      stato_[i] = scelta == 0 ? marcata : sorgente;
      return scelta == 0;
    }
    if (tipo_[i] == tipo_cella::libera || tipo_[i] == tipo_cella::segno_montagna) {
      fallito = true;
      return true;
    }
    return false;
  }

  void regola_1(int i) {
    for (int k = 1; k <= kAvvisoIndietro; ++k) {
      const int m = i - k;
      if (m < 3) break;
      if (tipo_[static_cast<size_t>(m)] != tipo_cella::segnale) continue;
      const int a = m - 1, b = m - 2;
      if (prova(a) || prova(b)) continue;
      for (int x : {a, b})
        if (di_tipo(x, tipo_cella::abbattimento)) {
          int16_t& v = v1_[static_cast<size_t>(x)];
          v = std::min(kVelocitaMarca, v);
          break;
        }
    }
  }

  int cammina(int i, bool marca) {
    int k = i, n = 0;
    while (k < u_ && !fallito) {
      ++k;
      ++n;
      if (passi && ++*passi > kPassiMassimi) fallito = true;
      if (marca && n == kPasso) {
        if (prova(k))
          n = 0;
        else if (prova(k - 1))
          n = 1;
        else if (prova(k + 1))
          n = -1;
      }
      if (di_tipo(k, tipo_cella::fine_rallentamento)) break;
    }
    return k;
  }

  void regole_2_6(int i) {
    for (int vicino : kVicini) {
      if (i <= vicino + kVicinoLargo) continue;
      for (int d = vicino; d <= vicino + kVicinoLargo; ++d)
        if (prova(i - d)) break;
    }
    const int e = cammina(i, v1_[static_cast<size_t>(i)] < kVelocitaLenta);
    const int fino = std::min(e + kDopoFine, u_);
    for (int m = e; m <= fino; ++m) {
      if (tipo_[static_cast<size_t>(m)] != tipo_cella::segnale) continue;
      if (!prova(m - 1)) prova(m - 2);
      break;
    }
  }

  const std::vector<uint8_t>& scelte_;
  int u_;
  std::vector<uint8_t> tipo_;
  std::vector<int16_t> v1_;
  std::vector<stato> stato_;
};

}  // namespace

std::vector<bool> punti_del_cammino(analisi& a) {
  std::vector<bool> r(a.celle.size(), false);
  bool dubbi = false;
  for (const cella_percorso& x : a.celle)
    dubbi = dubbi || (x.tipo == tipo_cella::abbattimento && x.valore_1 == kVelocitaMarca);
  if (!dubbi) return r;
  std::vector<uint8_t> scelte;
  bool finite = false;
  int64_t passi = 0;
  for (int tentativo = 0; tentativo < kTentativi && !finite && passi <= kPassiMassimi;
       ++tentativo) {
    cammino c(a, scelte);
    c.passi = &passi;
    c.esegui();
    if (!c.fallito) {
      for (size_t i = 0; i < r.size(); ++i) r[i] = c.del_cammino(i);
      return r;
    }
    // Back to the last choice still open.
    scelte = c.fatte;
    while (!scelte.empty() && scelte.back() == 1) scelte.pop_back();
    finite = scelte.empty();
    if (!finite) scelte.back() = 1;
  }
  if (finite)
    a.nota(
        "le regole di rifinitura non danno i punti di abbattimento da 180 km/h dei file "
        "compilati, comunque li si divida tra sorgente e rifinitura");
  else
    a.limite(
        "punti di abbattimento da 180 km/h che il decompilatore non divide tra sorgente e "
        "rifinitura entro i limiti della sua ricerca");
  const std::vector<uint8_t> nessuna;
  cammino c(a, nessuna);
  c.esegui();
  for (size_t i = 0; i < r.size(); ++i) r[i] = c.del_cammino(i);
  return r;
}
