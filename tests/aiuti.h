// Helpers for the tests: temporary folders, whole-file access and the programs
// under test, the same on every platform.
#pragma once
#include <atomic>
#include <memory>
#include <string>

#include "model/records.h"
#include "platform/file.h"

struct cartella_temporanea {
  std::string percorso;
  cartella_temporanea();
  ~cartella_temporanea();
  cartella_temporanea(const cartella_temporanea&) = delete;
  cartella_temporanea& operator=(const cartella_temporanea&) = delete;
  std::string operator/(const std::string& nome) const { return file::percorso(percorso, nome); }
};

// The built-in sources, written by `scenario sources` into a folder of
// their own, to be changed in place; check finds nothing in them.
struct sorgenti_predefinite {
  cartella_temporanea t;
  sorgenti_predefinite();
  std::string linea() const;
  std::string treno() const;
  // Replaces the first `da` in a source; returns the line `a` now stands on.
  int cambia(const std::string& file, const std::string& da, const std::string& a) const;
};

std::string leggi_tutto(const std::string& nome);
void scrivi_tutto(const std::string& nome, const std::string& dati);
// A file or a folder of that name exists.
bool esiste_file(const std::string& nome);

// The executable's name in a folder: "compattatore" or "compattatore.exe".
extern const std::string kCompattatore;
// A built program (COMPATTATORE_BIN, SCENARIO_BIN...) as a command can name it.
std::string programma(const char* bin);

// Runs a command and returns its exit status; standard output in `uscita` if
// given. The command is a program and its arguments, with the redirections
// ">FILE", "2>FILE", "2>&1" and "/dev/null" as in a shell; on Windows nothing
// else of a shell is there, and a command it cannot run returns 127.
int esegui(const std::string& comando, std::string* uscita = nullptr);
// The authors' tool with these arguments; with `uscita`, its standard output
// and error, else neither.
int esegui_scenario(const std::string& args, std::string* uscita = nullptr);

// The number of a process that has just ended (0 when none could be started).
unsigned long numero_finito();

// A disk that fails where a test asks, over another one: the n-th write of
// data (counted from 1 over all its replacements) as a full disk would, or
// the n-th putting in place as a refused rename would. It counts both.
class disco_guasto : public file::disco {
 public:
  explicit disco_guasto(file::disco& sotto) : sotto_(sotto) {}
  int guasto_alla_scrittura = 0;
  int guasto_alla_chiusura = 0;
  std::atomic<int> scritture{0}, chiusure{0};

  bool esiste(const std::string& nome) override { return sotto_.esiste(nome); }
  bool leggi(const std::string& nome, std::string& dati) override {
    return sotto_.leggi(nome, dati);
  }
  void cancella(const std::string& nome) override { sotto_.cancella(nome); }
  std::unique_ptr<file::scrittura> sostituzione(const std::string& nome) override;

 private:
  file::disco& sotto_;
};

// The whole line plan file in one buffer, as the run writes it in pieces.
std::string immagine_planimetria(const planimetria_linea& p);
