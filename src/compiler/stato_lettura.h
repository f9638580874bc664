// Working values of one read of the two source files.
#pragma once
#include <array>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "model/formato.h"

// Where the reader was when it stopped: the source file, and the line and
// column (both from 1) of the last field it read, with that line's text.
struct posizione_sorgente {
  std::string file;
  int riga = 0;
  int colonna = 0;
  std::string testo;  // single-byte text of the line
};

// Where a field starts, cheap to keep for every entry (lettore_campi turns it
// into a posizione_sorgente while the file's text is at hand).
struct segno_campo {
  int riga = 0;  // 0: none
  size_t inizio = 0, inizio_riga = 0;
};

// Something the compile accepts silently but an author almost never means.
// Its kind is kept beside its words, so that no reader has to match them.
enum class genere_avviso { altro, marcatore_sostituito };
struct avviso {
  posizione_sorgente dove;
  std::string messaggio;  // UTF-8
  genere_avviso genere = genere_avviso::altro;
};

// Where a field stands: its line (from 1) and its bytes in that line, from
// `da` (from 0) up to `a`, blanks around it left out.
struct luogo_campo {
  int riga = 0;
  int da = 0, a = 0;
};

// An entry as the reader took it: its key (none for a section head such as
// "[curve]"), where the key stands, and the fields read after the key, as
// written (single-byte text), each with its place. This is the sources'
// grammar as the compile reads it; the editor's outline, hover and formatting
// take the entries from here.
struct voce_letta {
  const formato::chiave_sorgente* chiave = nullptr;
  posizione_sorgente dove;
  std::vector<std::string> campi;
  luogo_campo luogo_chiave;
  std::vector<luogo_campo> luoghi;
  bool testata = false;  // in the line's header
};

// Where the reader stored a code and then read on: a code 15 of the line file
// outlives the train read, code 2 comes from the line's reference points.
struct origine_codice {
  int32_t codice = 0;
  int32_t posizione = 0;  // posizione_errore as stored with the code
  posizione_sorgente dove;
  // Code 15: the line's length and the last position the cells take for the entry.
  int64_t lunghezza = 0, ultima = 0;
};

// How a read goes on after an entry: with the next token; out of its loop
// with the end-of-file steps still to run (code 15, the end of the file); or
// not at all, the read over with a code (its source deleted).
enum class esito_voce : uint8_t { avanti, fine_ciclo, fine_lettura };

struct stato_lettura {
  // Line half.
  int32_t lunghezza_percorso = 0;
  int64_t lunghezza_estesa = 0;
  int32_t ultima_cella = -1;  // -1 while no cells exist
  int32_t indice_pendenza = 0;
  int32_t pendenza_precedente = 0;
  int32_t prossimo_cartello = 80;
  int32_t numero_montagne = 0;
  // Index 0 is never used: 80 spans fit.
  std::array<int32_t, formato::kMontagneMassime + 1> montagne_inizio{};
  std::array<int32_t, formato::kMontagneMassime + 1> montagne_fine{};
  int64_t indice_planimetria = 2;
  // Reference points (entries 81 to 83) last read with a value that is not a
  // multiple of 50: where that value stands.
  std::array<posizione_sorgente, 3> progressive_errate;

  // Train half.
  int32_t limite_stazioni = 80;
  int32_t indice_stazione = 1;
  int32_t indice_velocita = 0;
  int32_t velocita_precedente = 0;
  int32_t indice_aderenza = 0;
  int32_t aderenza_precedente = 0;

  // The key of the entry being read, in every read, and whether it is the
  // train's.
  segno_campo chiave;
  bool treno = false;

  // Kept only while warnings are collected: the key of the entry being
  // handled, the last line whose stray field was reported, and the position
  // of the last point of each profile.
  posizione_sorgente voce;
  int riga_ignorata = 0;
  int64_t ultima_pendenza = std::numeric_limits<int64_t>::min();
  int64_t ultima_velocita = std::numeric_limits<int64_t>::min();
  int64_t ultima_aderenza = std::numeric_limits<int64_t>::min();
  // Where each reference point (entries 81 to 83) was read.
  std::array<posizione_sorgente, 3> progressive_dove;
};
