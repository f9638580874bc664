// Helpers for the tests: temporary folders and whole-file access.
#pragma once
#include <string>

struct cartella_temporanea {
  std::string percorso;
  cartella_temporanea();
  ~cartella_temporanea();
  cartella_temporanea(const cartella_temporanea&) = delete;
  cartella_temporanea& operator=(const cartella_temporanea&) = delete;
  std::string operator/(const std::string& nome) const { return percorso + "/" + nome; }
};

std::string leggi_tutto(const std::string& nome);
void scrivi_tutto(const std::string& nome, const std::string& dati);
bool esiste_file(const std::string& nome);

// Runs a shell command and returns its exit status; output in `uscita` if given.
int esegui(const std::string& comando, std::string* uscita = nullptr);
