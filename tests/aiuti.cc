#include "aiuti.h"

#include <gtest/gtest.h>

#include <algorithm>
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

sorgenti_predefinite::sorgenti_predefinite() {
  EXPECT_EQ(esegui(programma(SCENARIO_BIN) + " sources " + t.percorso + " >/dev/null 2>&1"), 0);
}

std::string sorgenti_predefinite::linea() const {
  return t / "FerziaPS-Calvorano_linea.txt";
}

std::string sorgenti_predefinite::treno() const {
  return t / "FerziaPS-Calvorano_24617-.txt";
}

int sorgenti_predefinite::cambia(const std::string& file, const std::string& da,
                                 const std::string& a) const {
  std::string s = leggi_tutto(file);
  const size_t p = s.find(da);
  EXPECT_NE(p, std::string::npos) << da;
  if (p == std::string::npos) return 0;
  s.replace(p, da.size(), a);
  scrivi_tutto(file, s);
  return 1 + static_cast<int>(std::count(s.begin(), s.begin() + static_cast<long>(p), '\n'));
}
