// The plan file of a long line written while the plan is traced. The trace is
// a chain of dependent floating-point steps that leaves the processor's other
// units idle, so it can lay every point's bytes into the pieces of both
// columns as it goes; a thread of its own writes the full pieces, at their
// place in the temporary file, while the line is still being read. The 16 MB
// of the plan's arrays are then not touched at all: where the compile needs
// them (a plan the read left traced in part) the steps are taken again into
// them. The file is renamed over the target only by finisci(), where the
// compiled files are written, so a run that ends earlier leaves the old file
// as it was.
#pragma once
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "model/records.h"
#include "platform/file.h"

// Plans shorter than this are written whole at the end: for them a second
// thread costs more than it saves.
constexpr size_t kPuntiInFlusso = size_t{1} << 17;

struct flusso_planimetria {
  // Points each pair of pieces holds (about 256 KB a column); eight pieces
  // fill one 2 MB page.
  static constexpr size_t kPuntiPezzo = 26200;

  // The trace's side: where the next point of each column goes, how many more
  // points the current pieces hold, and how many points are encoded so far.
  char* qx = nullptr;
  char* qy = nullptr;
  size_t spazio = 0;
  size_t punti = 0;
  // The last two points traced (x, y of the one before, x, y of the last):
  // the arrays are not filled while the plan goes to its file.
  double ultimi[4] = {};
  // Every run of steps asked for, in order: the arrays can be filled by
  // taking them again where the compile needs them.
  struct tratto {
    int64_t fino;
    bool curvo;
    double k;
    bool limite;
  };
  std::vector<tratto> tratti;

  // Opens the temporary file beside `nome` and encodes the plan's first two
  // points; the trace goes on from point 2. A file that cannot be created throws.
  flusso_planimetria(const std::string& nome, const planimetria_linea& p);
  // Without finisci(): the writing stops and the temporary file goes.
  ~flusso_planimetria();
  flusso_planimetria(const flusso_planimetria&) = delete;
  flusso_planimetria& operator=(const flusso_planimetria&) = delete;

  // Hands the full pieces to the writer and takes empty ones, waiting for one
  // when the writer is behind, so the pieces in memory stay few.
  void consegna();
  // True when the trace reached the last point it sets: the plan then has
  // the layout the second column's place was reckoned from.
  bool completo(const planimetria_linea& p) const;
  // Encodes the empty points at the end, waits for the writer and renames the
  // file over the target; a failed write throws here, the old file kept.
  void finisci(const planimetria_linea& p);

 private:
  struct pezzo {
    char* b;
    uint64_t offset;
    size_t n;
  };

  void prendi_pezzi();
  void accoda_pezzi();
  void scrivi();  // the writer thread

  file::sostituzione f_;
  uint64_t colonna_ = 0;  // bytes of one column in the expected layout
  uint64_t fatto_ = 0;    // bytes of a column handed over so far
  struct libera_blocco {
    void operator()(char* p) const;
  };
  std::unique_ptr<char, libera_blocco> pezzi_;  // the memory of every piece, in one block
  char* bx_ = nullptr;
  char* by_ = nullptr;

  std::mutex m_;
  std::condition_variable cv_;
  std::deque<pezzo> coda_;
  std::vector<char*> liberi_;
  bool chiuso_ = false;     // nothing more will be queued
  bool annullato_ = false;  // what is queued is dropped
  std::exception_ptr fallita_;
  std::thread scrittore_;
};
