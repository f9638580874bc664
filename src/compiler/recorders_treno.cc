// Signals and slowdowns of the train description, placed into the track cells.
#include <array>

#include "compiler/campi.h"
#include "driver/codici.h"
#include "driver/form1.h"
#include "model/formato.h"
#include "model/numeri.h"
#include "model/regole.h"

namespace {

// Signals and slowdowns take the cell after the one their position falls in.
int64_t cella_di(int64_t q) {
  return regole::cella_della_posizione(q, true);  // q / 50 + 1, rounded as a whole
}

// The cell a point object stands on. Placing one outside the track would
// write outside the records, so the entry cannot be read.
cella_percorso& cella_oggetto(std::vector<cella_percorso>& celle, int32_t ultima, int64_t c) {
  if (c < 0 || c > ultima || c >= static_cast<int64_t>(celle.size()))
    throw errore_lettura{"oggetto fuori dalle celle"};
  return celle[static_cast<size_t>(c)];
}

// No slowdown this close to the start has room for a warning point.
using formato::kAnticipoAvviso;
using formato::kSenzaAvviso;

}  // namespace

void Form1::memo_segnale(int32_t posizione, int32_t& sx, int32_t& s1, int32_t& s2, int32_t& s3,
                         int32_t& rapp, int32_t& dx, int32_t& d1, int32_t& d2, int32_t& d3,
                         int32_t& tempo) {
  const int64_t c = cella_di(posizione);
  cella_percorso& s = cella_oggetto(celle_percorso, lettura.ultima_cella, c);
  if (!cella_libera(s)) {
    codice_errore = codice::segnale_occupato;
    occupata(c);
    return;
  }
  occupa(c);
  if (avvisi) {
    std::vector<avviso>& a = *avvisi;
    const posizione_sorgente& v = lettura.voce;
    controlla_16(a, v, "valore_4 del segnale (rapp·10 + sx·3 + dx)",
                 int64_t{rapp} * 10 + int64_t{sx} * 3 + dx);
    controlla_16(a, v, "valore_1 del segnale (s1·10 + d1)", int64_t{s1} * 10 + d1);
    controlla_16(a, v, "valore_2 del segnale (s2·10 + d2)", int64_t{s2} * 10 + d2);
    controlla_16(a, v, "valore_3 del segnale (s3·10 + d3)", int64_t{s3} * 10 + d3);
    const int64_t t = tempo >= 1 && tempo <= 100 ? 101 : tempo;
    if (sx == 2) controlla_8(a, v, "tempo del segnale", t);
    const int64_t m = int64_t{sx} * 30 + int64_t{dx} * 10;
    controlla_8(a, v, "marcatore del segnale (sx·30 + dx·10 + k)", m + 1 < 0 ? m + 1 : m + 4);
  }
  s.tipo = tipo_cella::segnale;
  s.valore_4 = basso16(int64_t{rapp} * 10 + int64_t{sx} * 3 + dx);
  s.valore_1 = basso16(int64_t{s1} * 10 + d1);
  s.valore_2 = basso16(int64_t{s2} * 10 + d2);
  s.valore_3 = basso16(int64_t{s3} * 10 + d3);
  // Times from 1 to 100 are all taken as 101.
  if (tempo >= 1 && tempo <= 100) tempo = 101;
  s.tempo = sx == 2 ? basso8(tempo) : 0;
  const std::array<int64_t, 4> celle = regole::celle_marcatori_segnale(c);
  for (int k = 1; k <= 4; ++k) {
    const int64_t m = celle[static_cast<size_t>(k - 1)];
    if (m < 0) continue;  // a signal near the start has fewer markers
    uint8_t& marcatore = celle_percorso[static_cast<size_t>(m)].marcatore;
    const uint8_t nuovo = basso8(int64_t{sx} * 30 + int64_t{dx} * 10 + k);
    if (avvisi) marcatore_sostituito(*avvisi, lettura.voce, "il segnale", m, marcatore, nuovo);
    marcatore = nuovo;
  }
}

void Form1::memo_rallentamento(int32_t posizione, int32_t& v, int32_t& l, int32_t& f_tt,
                               int32_t f_ta, int32_t& d_v) {
  const int64_t p = posizione;
  const bool avviso = p > kSenzaAvviso;
  const int32_t ultima = lettura.ultima_cella;

  // Every cell is tested before any is written.
  cella_percorso* a = nullptr;
  if (avviso) {
    a = &cella_oggetto(celle_percorso, ultima, cella_di(p - kAnticipoAvviso));
    if (!cella_libera(*a)) {
      codice_errore = codice::avviso_occupato;
      occupata(cella_di(p - kAnticipoAvviso));
      return;
    }
  } else {
    f_ta = 0;
  }
  cella_percorso& b = cella_oggetto(celle_percorso, ultima, cella_di(p));
  if (!cella_libera(b)) {
    codice_errore = codice::inizio_occupato;
    occupata(cella_di(p));
    return;
  }
  cella_percorso& e = cella_oggetto(celle_percorso, ultima, cella_di(p + l));
  if (!cella_libera(e)) {
    codice_errore = codice::fine_occupata;
    occupata(cella_di(p + l));
    return;
  }

  if (avvisi) {
    controlla_16(*avvisi, lettura.voce, "velocità del rallentamento", v);
    controlla_16(*avvisi, lettura.voce, "f_tt del rallentamento", f_tt);
    if (d_v != 0) controlla_16(*avvisi, lettura.voce, "d_v del rallentamento", d_v);
  }
  for (int64_t c : {cella_di(p + l), cella_di(p)}) occupa(c);
  if (avviso) occupa(cella_di(p - kAnticipoAvviso));
  e.tipo = tipo_cella::fine_rallentamento;
  if (d_v != 0) e.valore_2 = basso16(d_v);
  b.tipo = tipo_cella::inizio_rallentamento;
  if (d_v != 0) b.valore_2 = basso16(d_v);
  if (avviso) {
    a->tipo = tipo_cella::avviso_rallentamento;
    if (d_v != 0) a->valore_2 = basso16(d_v);
    a->valore_1 = basso16(v);
  }
  for (cella_percorso* x : {&b, &e}) {
    x->valore_1 = basso16(v);
    x->valore_3 = basso16(f_tt);
  }

  if (f_ta == 0) return;
  // The four cells just before the warning point (which lies at h + 1).
  const int64_t h = regole::cella_della_posizione(p - kAnticipoAvviso, false);
  for (int i = 0; i < 4; ++i) {
    if (!cella_libera(cella_oggetto(celle_percorso, ultima, h - i))) {
      codice_errore = codice::avvicinamento_occupato;
      occupata(h - i);
      return;
    }
  }
  for (int i = 0; i < 4; ++i) {
    occupa(h - i);
    cella_percorso& x = celle_percorso[static_cast<size_t>(h - i)];
    x.tipo = tipo_cella::avvicinamento_avviso;
    x.valore_1 = static_cast<int16_t>(i + 1);
    if (d_v != 0) x.valore_2 = static_cast<int16_t>(i + 1);
  }
}
