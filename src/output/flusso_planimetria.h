// The plan file of a long line written while the plan is traced. The trace is
// a chain of dependent floating-point steps that leaves the processor's other
// units idle, so it can lay every point's bytes into the pieces of both
// columns as it goes; each full pair of pieces is written at its place in the
// temporary file, whose blocks were set aside first. The 16 MB of the plan's
// arrays are then not touched at all: where the compile needs them (a plan
// the read left traced in part) the steps are taken again into them. The
// file is renamed over the target only by finisci(), where the compiled files
// are written, so a run that ends earlier leaves the old file as it was.
#pragma once
#include <cstddef>
#include <cstdint>
#include <exception>
#include <memory>
#include <string>
#include <vector>

#include "model/records.h"
#include "platform/file.h"

// Plans shorter than this are written whole at the end, as their file is
// small enough for one piece.
constexpr size_t kPuntiInFlusso = size_t{1} << 17;

struct flusso_planimetria {
  // Points each pair of pieces holds (about 1 MB a column, so few writes);
  // both pieces fit one 2 MB page.
  static constexpr size_t kPuntiPezzo = 104800;

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
  flusso_planimetria(file::disco& d, const std::string& nome, const planimetria_linea& p);
  // Without finisci(), the temporary file goes with the object.

  // Writes the full pieces at their place and starts them again. A failed
  // write is kept for finisci(), where the compiled files are written; no
  // more is written after it.
  void consegna();
  // True when the trace reached the last point it sets: the plan then has
  // the layout the second column's place was reckoned from.
  bool completo(const planimetria_linea& p) const;
  // Encodes the empty points at the end, writes the last pieces and renames
  // the file over the target; a failed write throws here, the old file kept.
  void finisci(const planimetria_linea& p);

 private:
  void scrivi_pezzi();

  std::unique_ptr<file::scrittura> f_;
  uint64_t colonna_ = 0;  // bytes of one column in the expected layout
  uint64_t fatto_ = 0;    // bytes of a column written so far
  struct libera_blocco {
    void operator()(char* p) const;
  };
  std::unique_ptr<char, libera_blocco> pezzi_;  // both pieces, in one block
  std::exception_ptr fallita_;
};
