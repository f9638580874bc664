// The compile step: read the sources, finish the track around slowdowns, then
// stamp and write the compiled files.
#include <algorithm>

#include "driver/codici.h"
#include "driver/form1.h"

namespace {

constexpr int16_t kVelocitaMarca = 180;
// Slowdowns at this speed or above get no check points inside them.
constexpr int16_t kVelocitaLenta = 110;
// Rule 5 places a check point every this many cells.
constexpr int kPasso = 8;
// Rule 1 looks this many cells behind a warning point.
constexpr int kAvvisoIndietro = 20;
// Rule 6 looks at the end cell and this many cells after it.
constexpr int kDopoFine = 12;

struct percorso {
  std::vector<cella_percorso>& celle;
  int ultima;  // last index

  bool esiste(int i) const { return i >= 0 && i <= ultima; }
  // Cells outside the array are neither free nor anything else.
  bool libera(int i) const { return esiste(i) && cella_libera(celle[i]); }
  bool di_tipo(int i, uint8_t t) const { return esiste(i) && celle[i].tipo == t; }
  void marca(int i) {
    celle[i].tipo = tipo_cella::abbattimento;
    celle[i].valore_1 = kVelocitaMarca;
  }
};

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
  percorso c{celle_percorso, static_cast<int>(celle_percorso.size()) - 1};
  const int U = c.ultima;

  auto errore_regola = [this](int32_t codice, int cella) {
    codice_errore = codice;
    posizione_errore = cella * 50;
  };

  // Forward from a slowdown start to its end cell, or to the last cell when
  // the end is missing. With `marca`, every kPasso cells a check point.
  auto cammina = [&](int i, bool marca) {
    int k = i;
    int n = 0;
    while (k < U) {
      ++k;
      ++n;
      if (marca && n == kPasso) {
        if (c.libera(k)) {
          c.marca(k);
          n = 0;
        } else if (c.libera(k - 1)) {
          c.marca(k - 1);
          n = 1;
        } else if (c.libera(k + 1)) {
          c.marca(k + 1);
          n = -1;
        } else {
          // n stays past kPasso: this slowdown gets no further marks.
          errore_regola(codice::regola_interno, k);
        }
      }
      if (c.di_tipo(k, tipo_cella::fine_rallentamento)) break;
    }
    return k;
  };

  for (int i = 1; i <= U - 2; ++i) {
    if (c.celle[i].tipo == tipo_cella::avviso_rallentamento) {
      // Rule 1: a check point just before every signal ahead of the warning.
      for (int k = 1; k <= kAvvisoIndietro; ++k) {
        int m = i - k;
        if (m < 3) break;
        if (c.celle[m].tipo != tipo_cella::segnale) continue;
        int a = m - 1;
        int b = m - 2;
        if (c.libera(a)) {
          c.marca(a);
        } else if (c.libera(b)) {
          c.marca(b);
        } else if (c.di_tipo(a, tipo_cella::abbattimento)) {
          c.celle[a].valore_1 = minimo(kVelocitaMarca, c.celle[a].valore_1);
        } else if (c.di_tipo(b, tipo_cella::abbattimento)) {
          c.celle[b].valore_1 = minimo(kVelocitaMarca, c.celle[b].valore_1);
        } else {
          errore_regola(codice::regola_segnale, m);
        }
      }
    } else if (c.celle[i].tipo == tipo_cella::inizio_rallentamento) {
      // Rules 2 to 4: check points at three distances before the start.
      for (int vicino : {5, 11, 18}) {
        if (i <= vicino + 2) continue;
        bool fatto = false;
        for (int d = vicino; d <= vicino + 2 && !fatto; ++d) {
          if (c.libera(i - d)) {
            c.marca(i - d);
            fatto = true;
          }
        }
        if (!fatto) errore_regola(codice::regola_avvicinamento, i);
      }

      // Rule 5: check points inside a slow slowdown; otherwise only find its end.
      bool lento = c.celle[i].valore_1 < kVelocitaLenta;
      int e = cammina(i, lento);

      // Rule 6: a check point before the first signal after the slowdown.
      int fine_ricerca = std::min(e + kDopoFine, U);
      for (int m = e; m <= fine_ricerca; ++m) {
        if (c.celle[m].tipo != tipo_cella::segnale) continue;
        int s = m - 1;
        if (c.libera(s)) {
          c.marca(s);
        } else if (c.libera(s - 1)) {
          c.marca(s - 1);
        } else {
          errore_regola(codice::regola_interno, e);
        }
        break;
      }
    }
  }
}
