// The compile step: read the sources, finish the track around slowdowns, then
// stamp and write the compiled files.
#include <algorithm>

#include "driver/codici.h"
#include "driver/form1.h"
#include "model/formato.h"

namespace {

namespace r = formato::rifinitura;

struct percorso {
  std::vector<cella_percorso>& celle;
  int ultima;  // last index
  int32_t& codice_errore;
  int32_t& posizione_errore;

  bool esiste(int i) const { return i >= 0 && i <= ultima; }
  // Cells outside the array are neither free nor anything else.
  bool libera(int i) const { return esiste(i) && cella_libera(celle[static_cast<size_t>(i)]); }
  bool di_tipo(int i, uint8_t t) const {
    return esiste(i) && celle[static_cast<size_t>(i)].tipo == t;
  }
  void marca(int i) {
    celle[static_cast<size_t>(i)].tipo = tipo_cella::abbattimento;
    celle[static_cast<size_t>(i)].valore_1 = r::kVelocitaMarca;
  }
  bool marca_se_libera(int i) {
    if (!libera(i)) return false;
    marca(i);
    return true;
  }
  void errore(int32_t codice, int cella) {
    codice_errore = codice;
    posizione_errore = cella * static_cast<int32_t>(formato::kMetriCella);
  }
};

// Rule 1: a check point just before every signal in the cells before a
// slowdown's warning point; an existing point there keeps at most 180.
void regola_1(percorso& c, int i) {
  for (int k = 1; k <= r::kAvvisoIndietro; ++k) {
    const int m = i - k;
    if (m < 3) break;
    if (c.celle[static_cast<size_t>(m)].tipo != tipo_cella::segnale) continue;
    const int a = m - 1, b = m - 2;
    if (c.marca_se_libera(a) || c.marca_se_libera(b)) continue;
    if (c.di_tipo(a, tipo_cella::abbattimento)) {
      int16_t& v = c.celle[static_cast<size_t>(a)].valore_1;
      v = minimo(r::kVelocitaMarca, v);
    } else if (c.di_tipo(b, tipo_cella::abbattimento)) {
      int16_t& v = c.celle[static_cast<size_t>(b)].valore_1;
      v = minimo(r::kVelocitaMarca, v);
    } else {
      c.errore(codice::regola_segnale, m);
    }
  }
}

// Rules 2 to 4: a check point at three distances before the start, the
// first free cell of each three.
void regole_2_4(percorso& c, int i) {
  for (int vicino : r::kVicini) {
    if (i <= vicino + r::kVicinoLargo) continue;
    bool fatto = false;
    for (int d = vicino; d <= vicino + r::kVicinoLargo && !fatto; ++d)
      fatto = c.marca_se_libera(i - d);
    if (!fatto) c.errore(codice::regola_avvicinamento, i);
  }
}

// Rule 5: forward from a slowdown start to its end cell, or to the last cell
// when the end is missing; with `marca`, a check point every few cells,
// counted from the last one placed.
int regola_5(percorso& c, int i, bool marca) {
  int k = i;
  int n = 0;
  while (k < c.ultima) {
    ++k;
    ++n;
    if (marca && n == r::kPasso) {
      if (c.marca_se_libera(k))
        n = 0;
      else if (c.marca_se_libera(k - 1))
        n = 1;
      else if (c.marca_se_libera(k + 1))
        n = -1;
      else
        c.errore(codice::regola_interno, k);  // n stays past kPasso: no more marks here
    }
    if (c.di_tipo(k, tipo_cella::fine_rallentamento)) break;
  }
  return k;
}

// Rule 6: a check point before the first signal after the slowdown's end.
void regola_6(percorso& c, int e) {
  const int fine_ricerca = std::min(e + r::kDopoFine, c.ultima);
  for (int m = e; m <= fine_ricerca; ++m) {
    if (c.celle[static_cast<size_t>(m)].tipo != tipo_cella::segnale) continue;
    if (!c.marca_se_libera(m - 1) && !c.marca_se_libera(m - 2)) c.errore(codice::regola_interno, e);
    break;
  }
}

}  // namespace

void Form1::memorizza_percorso(int32_t& j) {
  this->j = j;
  codice_errore = codice::nessuno;
  for (auto& voce : tabella_linea) voce = voce_linea{};
  // Records of an earlier compile must not stand in for a read that stops
  // before the line length.
  celle_percorso.clear();
  planimetria.libera();
  // A plan file begun by the read and not finished by the write goes, however
  // the compile ends, and the plan is left in its arrays.
  struct fine_flusso {
    Form1& f;
    ~fine_flusso() {
      f.scrive_in_lettura = false;
      f.planimetria_dal_flusso();
    }
  } fine{*this};
  flusso.reset();
  scrive_in_lettura = true;

  memorizza_dati();
  if (celle_percorso.empty()) return;  // nothing to finish or write

  rifinisci_percorso();
  scrivi_file_compilati();
}

void Form1::rifinisci_percorso() {
  if (celle_percorso.empty()) return;
  percorso c{celle_percorso, static_cast<int>(celle_percorso.size()) - 1, codice_errore,
             posizione_errore};
  for (int i = 1; i <= c.ultima - 2; ++i) {
    const cella_percorso& x = c.celle[static_cast<size_t>(i)];
    if (x.tipo == tipo_cella::avviso_rallentamento) {
      regola_1(c, i);
    } else if (x.tipo == tipo_cella::inizio_rallentamento) {
      regole_2_4(c, i);
      // Rule 5 only finds the end of a slowdown at 110 km/h or more.
      const int e = regola_5(c, i, c.celle[static_cast<size_t>(i)].valore_1 < r::kVelocitaLenta);
      regola_6(c, e);
    }
  }
}
