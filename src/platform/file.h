// File access of the run: whole-file reads, replace-by-rename writes.
#pragma once
#include <stdexcept>
#include <string>
#include <string_view>

namespace file {

// A file that could not be created, written or deleted. The message names the
// file and the system's reason.
struct errore_scrittura : std::runtime_error {
  using std::runtime_error::runtime_error;
};

bool esiste(const std::string& nome);
// Reads the whole file into `dati`; false when it cannot be opened.
bool leggi(const std::string& nome, std::string& dati);
// Replaces the file whole with `dati`: written to a temporary file in the same
// folder, then renamed over the target, so a failed write never loses the old file.
void sostituisci(const std::string& nome, std::string_view dati);
// Replaces a file whole with bytes given in pieces: a temporary file in the
// same folder, renamed over the target by chiudi().
class sostituzione {
 public:
  explicit sostituzione(const std::string& nome);
  ~sostituzione();
  void scrivi(std::string_view dati);
  void chiudi();

 private:
  std::string nome_, temp_;
  int fd_ = -1;
};
// Deletes the file if it exists; a file that cannot be deleted is a failure.
void cancella(const std::string& nome);

}  // namespace file
