// File access of the run: whole-file reads, replace-by-rename writes, and the
// folders the authors' tool works in. Names are UTF-8 text everywhere; each
// platform converts them to its own form.
#pragma once
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace file {

// The tool's one failure besides a compile's code: a file that could not be
// read, created, written, renamed or deleted, or whose bytes do not fit what
// they must hold. The message names the file and the reason, the system's
// own where the system gave one.
struct errore_io : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// The separator between a folder and a name: "\" on Windows, "/" elsewhere.
extern const char separatore[];
// Folder, separator and name, by plain concatenation.
std::string percorso(const std::string& cartella, const std::string& nome);

// True for a regular file (a link followed to one).
bool esiste(const std::string& nome);
// What stands at a name: nothing, a regular file, a folder, or anything else
// (a link that leads nowhere, a device).
enum class genere_voce { nessuna, file, cartella, altro };
genere_voce che_cosa(const std::string& nome);
// Whether two names lead to the same file or folder (both there), however
// they are spelt: through links, "." and "..", other letter case.
bool stessa_voce(const std::string& a, const std::string& b);
// Reads the whole file into `dati`; false when it cannot be opened or is no
// regular file (it is opened without waiting, so a FIFO never holds it up).
bool leggi(const std::string& nome, std::string& dati);
// What a bounded read found at a name.
enum class esito_lettura { letto, mancante, non_file, troppo_grande, illeggibile };
struct lettura {
  esito_lettura esito = esito_lettura::mancante;
  uint64_t dimensione = 0;  // the file's size, for troppo_grande at least
  std::string motivo;       // Italian, unless letto or mancante: "è una FIFO, non un file"
};
// The whole of a regular file of at most `massimo` bytes, for a server that
// reads what anyone may put at a name: a FIFO, a device, a socket or a folder
// (or a link to one) is refused without being opened, and the file itself is
// opened without waiting and looked at again once open; a larger file is
// refused by its size, and one that grows past the bound while it is read
// stops the read there.
lettura leggi_al_piu(const std::string& nome, uint64_t massimo, std::string& dati);
// A whole file seen in place, read-only, without a copy: what the readers of
// compiled files look at (a plan of 20 MB is not copied twice).
class mappatura {
 public:
  // Throws errore_io, with the system's reason, when the file cannot be
  // opened or mapped, or is no regular file.
  explicit mappatura(const std::string& nome);
  ~mappatura();
  mappatura(const mappatura&) = delete;
  mappatura& operator=(const mappatura&) = delete;
  std::string_view dati() const { return {static_cast<const char*>(p_), n_}; }

 private:
  const void* p_ = nullptr;
  size_t n_ = 0;
  void* h_ = nullptr;  // the platform's handle of the mapping
};
// A regular file read in pieces from any offset, never held whole: what
// reads a map of gigabytes. It is opened as leggi_al_piu opens a file (a
// FIFO, a device, a socket or a folder is refused without being opened, and
// the file is looked at again once open), by its UTF-8 name on every system.
class lettore {
 public:
  lettore() = default;
  ~lettore();
  lettore(const lettore&) = delete;
  lettore& operator=(const lettore&) = delete;
  // letto: the file is open and `dimensione` its size; otherwise why not
  // (mancante without a reason, as leggi_al_piu says it).
  lettura apri(const std::string& nome);
  uint64_t dimensione() const { return n_; }
  // Up to n bytes from offset `da` into `dove`; fewer only where the file
  // ends. A read the system fails throws errore_io, the file named.
  size_t leggi(uint64_t da, char* dove, size_t n);

 private:
  std::string nome_;
  void* h_ = nullptr;  // the platform's handle of the open file
  uint64_t n_ = 0;
};
// Replaces the file whole with `dati`: written to a temporary file in the same
// folder, then renamed over the target, so a failed write never loses the old file.
void sostituisci(const std::string& nome, std::string_view dati);
// The same, only while the file holds `atteso` (an author's source edited for
// them): the look and the replacement are one step against any other program
// that saves the file whole, as editors do, so a save of theirs that lands
// meanwhile is never lost: false, and the file is theirs. A file this run may
// not write (read-only) is refused (errore_io: "è in sola lettura").
bool sostituisci_se(const std::string& nome, std::string_view atteso, std::string_view dati);
// Replaces a file whole with bytes given in pieces: a temporary file in the
// same folder, renamed over the target by chiudi(). Destroyed before chiudi(),
// it removes the temporary file and leaves the target as it was; so does an
// interruption of the program (Ctrl-C, a closed terminal, kill) while it lives.
// Where the system can, the file has no name until it is whole; a named one
// that a run killed outright leaves is removed by a later run.
// The file keeps what it is: a name that is a symbolic link gets the new bytes
// in the file it leads to (the link stays), the new file takes the old one's
// permissions (and owner, where the system lets it; on Windows its attributes
// and the access rules it does not inherit), and a file with other hard links
// is refused (errore_io), since replacing it would part them.
class sostituzione {
 public:
  explicit sostituzione(const std::string& nome);
  ~sostituzione();
  sostituzione(const sostituzione&) = delete;
  sostituzione& operator=(const sostituzione&) = delete;
  void scrivi(std::string_view dati);
  // Writes at a byte offset of the temporary file; a file is written either
  // this way or by scrivi(), not both. Calls from several threads at once are
  // safe when their ranges do not overlap; a gap left between ranges reads as
  // zeros.
  void scrivi_a(uint64_t offset, std::string_view dati);
  // Sets aside room on the disk for this many bytes before they are written,
  // where the file system can: the writes then find their blocks ready. The
  // file's size is still what is written; a refusal is no failure, the writes
  // meet whatever it was.
  void riserva(uint64_t byte);
  void chiudi();
  // Puts the file in place as chiudi() does, only if the target holds
  // `atteso` at that moment (sostituisci_se); false: the target as it was.
  bool chiudi_se(std::string_view atteso);

 private:
  bool nomina();  // true: the file has the target's name already
  void nomina_accanto(const std::string& prefisso, bool registrato);
  void come_il_vecchio();
  // The name as given (for messages), the file it leads to, the temporary
  // file (empty while it has no name).
  std::string nome_, vero_, temp_;
  void* h_ = nullptr;   // the platform's handle of the temporary file
  int posto_ = -1;      // where an interruption finds the temporary file's name
  bool c_era_ = false;  // the target was there when the run first looked
};
// A replacement being written through a disco: the whole bytes in pieces, or
// at offsets; put in place by chiudi(), dropped (the old file kept) when it
// goes before that.
class scrittura {
 public:
  virtual ~scrittura() = default;
  virtual void scrivi(std::string_view dati) = 0;
  virtual void scrivi_a(uint64_t offset, std::string_view dati) = 0;
  virtual void riserva(uint64_t) {}
  virtual void chiudi() = 0;
};

// Where a compile reads its sources and writes its files: the disk, or
// memory (the authors' tool compiles what it read once, and keeps, writes or
// compares what comes out).
class disco {
 public:
  virtual ~disco() = default;
  virtual bool esiste(const std::string& nome) = 0;
  virtual bool leggi(const std::string& nome, std::string& dati) = 0;
  virtual void cancella(const std::string& nome) = 0;
  virtual std::unique_ptr<scrittura> sostituzione(const std::string& nome) = 0;
  void sostituisci(const std::string& nome, std::string_view dati) {
    std::unique_ptr<scrittura> s = sostituzione(nome);
    s->scrivi(dati);
    s->chiudi();
  }
};
// The files of the system, through the calls above.
disco& disco_reale();
// Two files or neither: each is written whole before either is put in place,
// and when the second cannot be, the first gets its old bytes back (or goes,
// if it was not there). A failure throws errore_io.
void sostituisci_coppia(disco& d, const std::string& n_a, std::string_view a,
                        const std::string& n_b, std::string_view b);
// The same for any number of files: all or none of them.
struct file_da_scrivere {
  std::string nome;
  std::string_view dati;
};
void sostituisci_insieme(disco& d, const std::vector<file_da_scrivere>& files);

// Deletes the file if it exists; a file that cannot be deleted is a failure.
void cancella(const std::string& nome);
// Moves a file over another in the same file system (a failure throws).
void rinomina(const std::string& da, const std::string& a);

// Creates the folder and the ones above it; false when it cannot.
bool crea_cartelle(const std::string& cartella);
// The names (not paths) of the entries of a folder; empty when it cannot be read.
std::vector<std::string> elenco(const std::string& cartella);
// The system's folder for temporary files.
std::string cartella_temporanea_sistema();

}  // namespace file
