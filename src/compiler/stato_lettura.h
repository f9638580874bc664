// Working values of one read of the two source files.
#pragma once
#include <array>
#include <cstdint>
#include <string>

struct stato_lettura {
  // Line half.
  int32_t lunghezza_percorso = 0;
  int64_t lunghezza_estesa = 0;
  int32_t ultima_cella = -1;  // -1 while no cells exist
  int32_t indice_pendenza = 0;
  int32_t pendenza_precedente = 0;
  int32_t prossimo_cartello = 80;
  int32_t numero_montagne = 0;
  std::array<int32_t, 81> montagne_inizio{};
  std::array<int32_t, 81> montagne_fine{};
  int64_t indice_planimetria = 2;

  // Train half.
  int32_t limite_stazioni = 80;
  int32_t indice_stazione = 1;
  int32_t indice_velocita = 0;
  int32_t velocita_precedente = 0;
  int32_t indice_aderenza = 0;
  int32_t aderenza_precedente = 0;
};

// Where the reader was when it stopped: the source file, and the line and
// column (both from 1) of the last field it read, with that line's text.
struct posizione_sorgente {
  std::string file;
  int riga = 0;
  int colonna = 0;
  std::string testo;  // single-byte text of the line
};
