// The documents the editor holds open: their texts and versions, the pair
// each belongs to, and a source as a compile takes it (an open buffer before
// the file on the disk). The thread that reads the client changes them; the
// compiles and the previews read them from threads of their own.
#pragma once
#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "tool/comune/guasto.h"
#include "tool/server/lsp/coppia_lsp.h"

namespace lsp {

struct documento {
  std::string uri;
  std::string testo;  // UTF-8, as the editor holds it
  long long versione = 0;
  bool linea = false;  // a line source; else a train source
  coppia c;            // its pair, as the last open or close found it
};

// One change of a text: the whole of it, or a range between two positions
// (the protocol's: line, and character in UTF-16 units).
struct cambio {
  bool intero = false;
  int64_t riga_da = 0, carattere_da = 0, riga_a = 0, carattere_a = 0;
  std::string testo;
};

class documenti {
 public:
  // false: partners are looked for among open documents only (the fuzzer).
  bool disco = true;

  // Each open or close finds every open document's pair again: a new
  // partner for the others in its folder, maybe.
  void apri(documento d);
  // Applied in order, each on the text the one before left; no version:
  // the one after the last. False for a document that is not open.
  bool cambia(const std::string& uri, const std::vector<cambio>& cambi,
              std::optional<long long> versione);
  bool chiudi(const std::string& uri);

  bool e_aperto(const std::string& uri) const;
  std::optional<documento> aperto(const std::string& uri) const;
  // Whether one of the pair's sources is open.
  bool aperta(const coppia& c) const;
  // A line source: the open document's kind, else what its name says.
  bool e_linea(const std::string& uri) const;
  // The pair kept with an open document, else found now.
  coppia coppia_di(const std::string& uri) const;
  // A source of a pair: its editor's text, else its file.
  esito<istantanea> sorgente(const std::string& uri) const;
  // Whether a source is still as `x` took it (open or not, and its version).
  bool come_presa(const std::string& uri, const esito<istantanea>& x) const;
  // Whether one of the pair's sources is open or on the disk.
  bool ha_sorgenti(const coppia& c) const;

 private:
  coppia trova_coppia(const std::string& uri) const;
  void ricalcola_coppie();

  mutable std::mutex m_;
  std::map<std::string, documento> d_;
};

}  // namespace lsp
