// The run: the window object that owns the run state and the scenario records,
// with the routines of every stage. Each stage's routines live in the files of
// its own subsystem.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "compiler/stato_lettura.h"
#include "model/records.h"
#include "output/flusso_planimetria.h"
#include "platform/file.h"
#include "platform/finestra.h"

class lettore_campi;

// Thrown by `errore` to end the program after its message was shown.
struct fine_programma {
  int stato;  // exit status
  int32_t codice;
};

class Form1 {
 public:
  // Where the run's files are: the disk, or memory for the authors' tool.
  file::disco* disco = &file::disco_reale();

  // Run state.
  std::string cartella;      // program folder, without trailing separator
  std::string nome_linea;    // program text (UTF-8)
  std::string numero_treno;  // program text (UTF-8)
  std::string riga;          // last field read from a source file (single-byte)
  int32_t codice_errore = 0;
  int32_t posizione_errore = 0;
  int32_t j = 0;

  // Scenario records.
  tabella tabella_linea;
  std::vector<cella_percorso> celle_percorso;  // empty while no cells exist
  planimetria_linea planimetria;               // empty while no plan exists
  // The plan file being written while a long plan is traced: plans of at
  // least `punti_in_flusso` points (the tests move the bound), in a read that
  // memorizza_percorso makes (a read alone keeps the plan in its arrays).
  std::unique_ptr<flusso_planimetria> flusso;
  size_t punti_in_flusso = kPuntiInFlusso;
  bool scrive_in_lettura = false;

  // Window.
  std::string Label1 = "Attendere";
  finestra schermo;
  // The authors' tool compiles without a window: it reports a fatal stamp code
  // itself.
  bool con_finestra = true;

  // Reader working state and where the reader stopped.
  stato_lettura lettura;
  posizione_sorgente sorgente;
  origine_codice origine;                // where a code the read went on past was stored
  const char* motivo_lettura = nullptr;  // why the read failed (code 25)
  // Warnings are looked for only while this is set (scenario check).
  std::vector<avviso>* avvisi = nullptr;
  // The entries read (the line's body, the train), noted only while this is set.
  std::vector<voce_letta>* voci_lette = nullptr;
  // While set (the authors' tool), each cell an entry puts an object on keeps
  // where that entry stands, so that a code for a taken cell (6, 7, 16 to 21)
  // can name what holds it: its kind and place go to `occupante`.
  bool con_occupanti = false;
  struct occupante_cella {
    int32_t riga = 0;  // of the entry's key; 0: none
    bool treno = false;
  };
  std::vector<occupante_cella> occupanti;  // by cell
  uint8_t tipo_occupante = 0;
  posizione_sorgente occupante;
  // The key of the entry the reader was in when it stopped.
  posizione_sorgente voce_interrotta;

  // driver/
  void Form_Load();
  [[noreturn]] void errore(const std::string& a);

  // writers/
  void scrivi_righe(const std::string& nome_file, const std::vector<std::string>& righe);
  void dati_linea();
  void dati_treno();
  void dati_note();
  void dati_rallentamenti();
  void dati_scheda();

  // compiler/
  void memorizza_dati();
  // Drops the plan file begun by the read, leaving the plan in its arrays.
  void planimetria_dal_flusso();
  void progressive_ordina();
  void memo_montagna(int32_t& inizio, int32_t& fine, int32_t& tipo);
  void memo_indicatori_v_max(int32_t posizione, int32_t& vas, int32_t& vbs, int32_t& vcs,
                             int32_t& strisces, int32_t& vad, int32_t& vbd, int32_t& vcd,
                             int32_t& strisced);
  void memo_segnale(int32_t posizione, int32_t& sx, int32_t& s1, int32_t& s2, int32_t& s3,
                    int32_t& rapp, int32_t& dx, int32_t& d1, int32_t& d2, int32_t& d3,
                    int32_t& tempo);
  void memo_rallentamento(int32_t posizione, int32_t& v, int32_t& l, int32_t& f_tt, int32_t f_ta,
                          int32_t& d_v);

  // output/
  void memorizza_percorso(int32_t& j);
  void rifinisci_percorso();
  int32_t codice_gara_st();
  int32_t codice_gara_og();
  void scrivi_file_compilati();

  // compiler/: an object placed on a cell by the entry being read, and the
  // cell a code found taken.
  void occupa(int64_t cella);
  void occupata(int64_t cella);
  // The pending code stands at this field of the entry being read.
  void origine_al_campo(const lettore_campi& f, const segno_campo& s, const std::string& file);
  // compiler/: one station entry, called by the train reader.
  esito_voce stazione(lettore_campi& f);
  // compiler/: the plan's steps, called by the line reader.
  void crea_planimetria();
  void inizia_planimetria();
  bool curva(int64_t s, int64_t n, int classe, bool sinistra);  // false: code 103
  void fine_planimetria();

  // File names: the folder, its separator and a name of the scenario's.
  std::string nel_programma(const std::string& nome) const;
  std::string file_linea() const;
  std::string file_treno() const;

 private:
  // compiler/ internals
  // Reads the line description: fine_lettura when the read ended with a code
  // (other than 15), leaving the train unread.
  esito_voce leggi_linea(lettore_campi& f);
  void leggi_treno(lettore_campi& f);
  bool passi_planimetria(int64_t fino, bool curvo, double k, bool limite);
};

// The smaller of two numbers, x on a tie; numeric comparison whatever the kinds.
// Same kinds give that kind; two integer kinds give a 64-bit integer; anything
// else gives a double.
template <typename X, typename Y>
auto minimo(const X& x, const Y& y) {
  if constexpr (std::is_same_v<X, Y>) {
    return x > y ? y : x;
  } else if constexpr (std::is_integral_v<X> && std::is_integral_v<Y>) {
    return std::cmp_greater(x, y) ? static_cast<int64_t>(y) : static_cast<int64_t>(x);
  } else {
    return x > y ? static_cast<double>(y) : static_cast<double>(x);
  }
}
