// Line feature recorders: kilometric reference points, mountain spans and
// speed-limit boards.
#include <algorithm>
#include <array>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "compiler/campi.h"
#include "driver/codici.h"
#include "driver/form1.h"
#include "model/formato.h"
#include "model/numeri.h"
#include "model/regole.h"

namespace {

struct punto_km {
  int32_t posizione = 0;
  int32_t progressiva = 0;
  int32_t correzione = 0;
};

punto_km da_voce(const voce_linea& v) {
  return {v.inizio, v.fine, v.posizione};
}

// A packed board speed must fit the cell's signed 16-bit field.
int16_t velocita_cartello(int32_t s, int32_t d) {
  int64_t v = arrotonda(int64_t{s} * 100 + d, 5);  // s * 20 + d / 5, rounded
  if (v < std::numeric_limits<int16_t>::min() || v > std::numeric_limits<int16_t>::max())
    throw errore_lettura{"velocita del cartello fuori dai 16 bit"};
  return static_cast<int16_t>(v);
}

// Check mode: points given that the ordering turned into zeros, said at the
// first of them.
void progressive_azzerate(std::vector<avviso>& avvisi,
                          const std::array<posizione_sorgente, 3>& dove,
                          const std::array<punto_km, 3>& letti, const punto_km (&r)[3]) {
  auto vuoto = [](const punto_km& p) {
    return p.posizione == 0 && p.progressiva == 0 && p.correzione == 0;
  };
  if (!vuoto(r[0]) || !vuoto(r[1]) || !vuoto(r[2])) return;
  for (size_t i = 0; i < 3; ++i) {
    if (vuoto(letti[i])) continue;
    const int64_t somma = int64_t{letti[0].posizione} + letti[1].posizione + letti[2].posizione;
    int32_t massima = letti[0].posizione;
    for (const punto_km& p : letti) massima = std::max(massima, p.posizione);
    avvisi.push_back(
        {dove[i], somma != 0 ? "i tre punti di riferimento chilometrici diventano tutti 0: due "
                               "hanno la posizione più grande (" +
                                   std::to_string(massima) + " m)"
                             : "i tre punti di riferimento chilometrici diventano tutti 0: la "
                               "somma delle posizioni è 0 e nessuna progressiva è positiva"});
    return;
  }
}

}  // namespace

void Form1::progressive_ordina() {
  const punto_km t = da_voce(tabella_linea[formato::kVoceProgressivaTre]);
  const punto_km d = da_voce(tabella_linea[formato::kVoceProgressivaDue]);
  const punto_km u = da_voce(tabella_linea[formato::kVoceProgressivaUno]);
  punto_km r[3];  // all zero unless a case below decides

  if (int64_t{t.posizione} + d.posizione + u.posizione != 0) {
    if (t.posizione > d.posizione && t.posizione > u.posizione) {
      if (d.posizione > u.posizione) {
        r[0] = t, r[1] = d, r[2] = u;
      } else {
        r[0] = t, r[1] = u, r[2] = d;
      }
    } else if (d.posizione > t.posizione && d.posizione > u.posizione) {
      if (t.posizione > u.posizione) {
        r[0] = d, r[1] = t, r[2] = u;
      } else {
        r[0] = d, r[1] = u, r[2] = t;
      }
    } else if (u.posizione > t.posizione && u.posizione > d.posizione) {
      if (t.posizione > d.posizione) {
        r[0] = u, r[1] = t, r[2] = d;
      } else {
        r[0] = u, r[1] = d, r[2] = t;
      }
    }
  } else {
    // No positions: the chainages choose, the last test that holds deciding.
    if (t.progressiva > 0) r[0] = t, r[1] = d, r[2] = u;
    if (d.progressiva > 0) r[0] = d, r[1] = t, r[2] = u;
    if (u.progressiva > 0) r[0] = u, r[1] = d, r[2] = t;
  }

  if (avvisi) progressive_azzerate(*avvisi, lettura.progressive_dove, {t, d, u}, r);
  for (size_t i = 0; i < 3; ++i) {
    voce_linea& v = tabella_linea[81 + i];
    int64_t progressiva = r[i].progressiva;
    if (r[i].correzione == 1) progressiva += 100;
    if (progressiva > std::numeric_limits<int32_t>::max())
      throw errore_lettura{"progressiva fuori dai 32 bit"};
    v.inizio = r[i].posizione;
    v.fine = static_cast<int32_t>(progressiva);
    v.posizione = r[i].correzione;
  }
}

void Form1::memo_montagna(int32_t& inizio, int32_t& fine, int32_t& tipo) {
  stato_lettura& l = lettura;
  // Index 0 of the span lists is never used: 80 spans fit.
  if (l.numero_montagne >= static_cast<int32_t>(l.montagne_inizio.size()) - 1)
    throw errore_lettura{"troppe montagne"};
  bool segni = false;
  if (tipo > formato::kTipoConSegni) {
    tipo -= formato::kTipoConSegni;
    segni = true;
  }
  ++l.numero_montagne;
  const size_t m = static_cast<size_t>(l.numero_montagne);
  l.montagne_inizio[m] = inizio;
  l.montagne_fine[m] = fine;
  // Spans close together are one span of the joined kind.
  if (l.numero_montagne > 1 &&
      int64_t{inizio} - l.montagne_fine[m - 1] <= formato::kDistanzaMontagneUnite)
    tipo = formato::kTipoMontagneUnite;

  const regole::celle_tratto celle = regole::celle_del_tratto(inizio, fine);
  const int64_t a = celle.da;
  const int64_t b = std::min<int64_t>(celle.a, l.ultima_cella);
  if (avvisi && a <= b) controlla_8(*avvisi, l.voce, "tipo della montagna", tipo);
  // Cells are counted from the span's first cell even where it lies before cell 0.
  for (int64_t c = std::max<int64_t>(a, 0); c <= b; ++c) {
    cella_percorso& cella = celle_percorso[static_cast<size_t>(c)];
    cella.montagna = basso8(tipo);
    if (segni && (c - a + 1) % 4 == 0 && cella.tipo == tipo_cella::libera)
      cella.tipo = tipo_cella::segno_montagna;
  }
}

void Form1::memo_indicatori_v_max(int32_t posizione, int32_t& vas, int32_t& vbs, int32_t& vcs,
                                  int32_t& strisces, int32_t& vad, int32_t& vbd, int32_t& vcd,
                                  int32_t& strisced) {
  int64_t n = regole::cella_della_posizione(posizione, true);
  if (n < 0 || n > lettura.ultima_cella) throw errore_lettura{"cartello fuori dalle celle"};
  cella_percorso& c = celle_percorso[static_cast<size_t>(n)];
  if (!cella_libera(c)) {
    codice_errore = codice::indicatori_occupati;
    occupata(n);
    return;
  }
  if (avvisi) {
    for (int32_t v : {vas, vbs, vcs, vad, vbd, vcd}) {
      if (v % 5 == 0) continue;
      avvisi->push_back({lettura.voce, "velocità " + std::to_string(v) +
                                           " km/h del cartello non multipla di 5: il valore "
                                           "impacchettato non la rappresenta"});
    }
    controlla_16(*avvisi, lettura.voce, "strisce del cartello (strisces·10 + strisced)",
                 int64_t{strisces} * 10 + strisced);
  }
  // All three speeds are checked before the cell changes.
  const int16_t v1 = velocita_cartello(vas, vad);
  const int16_t v2 = velocita_cartello(vbs, vbd);
  const int16_t v3 = velocita_cartello(vcs, vcd);
  occupa(n);
  c.tipo = tipo_cella::indicatori_v_max;
  c.valore_1 = v1;
  c.valore_2 = v2;
  c.valore_3 = v3;
  c.valore_4 = basso16(int64_t{strisces} * 10 + strisced);
}
