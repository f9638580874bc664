#include "aiuti.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <sstream>

#include "output/immagini.h"

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
  // The one thing check warns of in the built-in sources: the first
  // station's opzione_2, which the compile clears. Written as 0 (the same
  // bytes compiled), the tests start from no warning at all.
  cambia(treno(), "0,  8,  500,  1, 1, 0,", "0,  8,  500,  1, 0, 0,");
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

namespace {

class scrittura_guasta : public file::scrittura {
 public:
  scrittura_guasta(disco_guasto& d, std::string nome, std::unique_ptr<file::scrittura> s)
      : d_(d), nome_(std::move(nome)), s_(std::move(s)) {}
  void scrivi(std::string_view dati) override {
    conta();
    s_->scrivi(dati);
  }
  void scrivi_a(uint64_t offset, std::string_view dati) override {
    conta();
    s_->scrivi_a(offset, dati);
  }
  void riserva(uint64_t byte) override { s_->riserva(byte); }
  void chiudi() override {
    if (++d_.chiusure == d_.guasto_alla_chiusura)
      throw file::errore_io("impossibile rinominare " + nome_ + " (guasto di prova)");
    s_->chiudi();
  }

 private:
  void conta() {
    if (++d_.scritture == d_.guasto_alla_scrittura)
      throw file::errore_io("impossibile scrivere " + nome_ + ": disco pieno (guasto di prova)");
  }
  disco_guasto& d_;
  std::string nome_;
  std::unique_ptr<file::scrittura> s_;
};

}  // namespace

std::unique_ptr<file::scrittura> disco_guasto::sostituzione(const std::string& nome) {
  return std::make_unique<scrittura_guasta>(*this, nome, sotto_.sostituzione(nome));
}

std::string immagine_planimetria(const planimetria_linea& p) {
  std::string b(2 * immagini::byte_colonna(p), '\0');
  planimetria_a_pezzi(p, size_t{1} << 20,
                      [&](uint64_t o, std::string_view d) { b.replace(o, d.size(), d); });
  return b;
}

int esegui_scenario(const std::string& args, std::string* uscita) {
  return esegui(programma(SCENARIO_BIN) + " " + args + (uscita ? " 2>&1" : " >/dev/null 2>&1"),
                uscita);
}
