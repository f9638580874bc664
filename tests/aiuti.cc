#include "aiuti.h"

#include <fstream>
#include <sstream>

std::string leggi_tutto(const std::string& nome) {
  std::string dati;
  return file::leggi(nome, dati) ? dati : std::string();
}

void scrivi_tutto(const std::string& nome, const std::string& dati) {
  std::ofstream out(nome, std::ios::binary | std::ios::trunc);
  out << dati;
}
