// The preview as a service: the two sources watched (on the disk, or as an
// editor holds them), compiled on a thread of their own whenever one
// changes, the page served with each new document, and the page's edits
// handed to whoever owns the sources. `scenario preview` runs one; the
// language server starts one for a document's pair.
#pragma once
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "tool/server/anteprima/modifiche.h"

namespace bozza {
struct binari_mappa;
}

// A source as an editor holds it open.
struct sorgente_aperta {
  std::string testo;  // Windows-1252
  long long versione = 0;
};

// What the page was shown, for those who apply its edits: the sources as
// compiled, their bytes as read (a file's own, UTF-8 with --utf8), and each
// one's version in the editor that held it (-1: read from the disk).
struct stato_mostrato {
  sorgenti_mostrate s;
  std::array<std::string, 2> byte;
  std::array<long long, 2> versione_editor{-1, -1};
};

// An edit's answer to the page: 200 when done, else why not (Italian).
using esito_modifica = std::function<void(int stato, const std::string& messaggio)>;

// Who writes the sources when the page asks.
class scrittore_sorgenti {
 public:
  virtual ~scrittore_sorgenti() = default;
  // What the document tells the page: "disco" or "editor".
  virtual const char* modo() const = 0;
  // Applies m to what `mostrato` shows; `fatto` once, from any thread.
  virtual void applica(const modifica& m, const stato_mostrato& mostrato, esito_modifica fatto) = 0;
  // The page's own undo, where the sources' owner has none of its own.
  virtual int annullabili() const { return 0; }
  virtual void annulla(esito_modifica fatto) {
    fatto(400, "le modifiche si annullano nell'editor");
  }
};

struct impostazioni_anteprima {
  std::string cartella, linea, treno;  // the folder as given (made absolute by the caller)
  bool utf8 = false;
  uint16_t porta = 0;
  // Source k (0 the line's, 1 the train's) as an editor holds it, when it does.
  std::function<bool(int k, sorgente_aperta& s)> aperta;
  // None: the page only shows.
  std::unique_ptr<scrittore_sorgenti> scrittore;
  // The rails of a map, drawn under the plan where the line source puts it
  // (--map); must outlive the service.
  const bozza::binari_mappa* binari = nullptr;
  // Where the page's "pacchetto" writes the scenario's six files (scenario
  // pack); empty: the page has no such action.
  std::string cartella_pacchetto;
  // A line for each compile (the command prints it).
  std::function<void(const std::string&)> registro;
};

class servizio_anteprima {
 public:
  explicit servizio_anteprima(impostazioni_anteprima i);
  ~servizio_anteprima();
  servizio_anteprima(const servizio_anteprima&) = delete;
  servizio_anteprima& operator=(const servizio_anteprima&) = delete;

  // Listens and compiles once; false with the reason (Italian).
  bool apri(std::string& motivo);
  std::string indirizzo() const;  // http://127.0.0.1:PORT/?t=KEY
  // The path of source k, as the compile and the document name it.
  const std::string& nome(int k) const;
  // Serves (and watches, on a thread of its own) until ferma(), calling
  // `ogni` now and then on the same thread. False when a compile under way
  // did not end within a short wait after it: its thread is left to the end
  // of the program, which should end without waiting for it.
  bool esegui(const std::function<void()>& ogni = {});
  // From any thread: esegui() returns soon after.
  void ferma();
  // A source changed: compile at once rather than at the next look.
  void sveglia();

 private:
  struct stato;
  std::unique_ptr<stato> s_;
};

// A disk writer for `scenario preview --edit`: whole files through a
// temporary file and a rename, only over the bytes the page was shown, with
// an undo of the edits made since it started.
std::unique_ptr<scrittore_sorgenti> scrittore_disco(bool utf8);
