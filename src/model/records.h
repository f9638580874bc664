// The compiled scenario in memory: line table, track cells, plan.
#pragma once
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/memoria.h"

// One record of the line table. Field order is the order of the table file.
struct voce_linea {
  uint8_t tipo = 0;
  int32_t inizio = 0;
  int32_t fine = 0;
  int32_t posizione = 0;
  uint8_t opzione_1 = 0;
  std::string nome;  // single-byte (Windows-1252) text
  int16_t parametro_1 = 0;
  int16_t parametro_2 = 0;
  int16_t parametro_4 = 0;
  int16_t parametro_5 = 0;
  int16_t parametro_6 = 0;
  uint8_t parametro_3 = 0;
  uint8_t parametro_7 = 0;
  uint8_t prolunga_fine = 0;
  uint8_t opzione_2 = 0;
  int32_t orario = 0;
};

// One 50 m track cell. Field order is the order of the track file.
struct cella_percorso {
  uint8_t tipo = 0;
  int16_t valore_1 = 0;
  int16_t valore_2 = 0;
  int16_t valore_3 = 0;
  int16_t valore_4 = 0;
  uint8_t tempo = 0;
  uint8_t marcatore = 0;
  uint8_t montagna = 0;
  uint8_t velocita_limite = 0;
  uint8_t pendenza = 0;
  uint8_t aderenza = 0;
};

// Kinds of point object in a cell.
namespace tipo_cella {
constexpr uint8_t libera = 0;
constexpr uint8_t segnale = 1;
constexpr uint8_t fine_rallentamento = 2;
constexpr uint8_t inizio_rallentamento = 3;
constexpr uint8_t avviso_rallentamento = 4;
constexpr uint8_t avvicinamento_avviso = 5;
constexpr uint8_t indicatori_v_max = 6;
constexpr uint8_t fermata = 10;
constexpr uint8_t segno_montagna = 11;
constexpr uint8_t abbattimento = 12;
constexpr uint8_t abbattimento_senza_velocita = 13;
constexpr uint8_t cartello = 14;
}  // namespace tipo_cella

inline bool cella_libera(const cella_percorso& c) {
  return c.tipo == tipo_cella::libera || c.tipo == tipo_cella::segno_montagna;
}

// Kind of a plan element, as tagged in the plan file.
namespace genere_punto {
constexpr uint8_t vuoto = 0;
constexpr uint8_t intero = 2;  // 16-bit integer
constexpr uint8_t doppio = 5;  // 64-bit double
}  // namespace genere_punto

// The plan, one point per metre. Both coordinates of a point always share
// their kind, so one kind byte per point serves both columns. An empty point
// has no value: x and y are read only where the kind is not `vuoto`.
struct planimetria_linea {
  std::vector<double, alloca_grande<double>> x;
  std::vector<double, alloca_grande<double>> y;
  std::vector<uint8_t, alloca_grande<uint8_t>> genere;

  size_t punti() const { return genere.size(); }
  // All points empty. The coordinates are left unset (see alloca_grande).
  void crea(size_t n) {
    x.clear();
    y.clear();
    x.resize(n);
    y.resize(n);
    genere.assign(n, genere_punto::vuoto);
  }
  void libera() {
    x.clear();
    y.clear();
    genere.clear();
    x.shrink_to_fit();
    y.shrink_to_fit();
    genere.shrink_to_fit();
  }
};

constexpr int kVociTabella = 87;
using tabella = std::array<voce_linea, kVociTabella>;
