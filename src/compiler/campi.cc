#include "compiler/campi.h"

#include <limits>

void lettore_campi::inizia_campo() {
  if (fine()) throw errore_lettura{"lettura oltre la fine del file"};
  salta_vuoti();
  riga_campo_ = riga_;
  inizio_campo_ = pos_;
  inizio_riga_campo_ = inizio_riga_;
}

void lettore_campi::salta_vuoti() {
  while (pos_ < dati_.size() && vuoto(dati_[pos_])) ++pos_;
}

void lettore_campi::salta_fine_riga() {
  if (dati_[pos_] == '\r' && pos_ + 1 < dati_.size() && dati_[pos_ + 1] == '\n') ++pos_;
  ++pos_;
  ++riga_;
  inizio_riga_ = pos_;
}

void lettore_campi::chiudi_campo() {
  if (pos_ >= dati_.size()) return;
  if (dati_[pos_] == ',') {
    ++pos_;
  } else if (fine_riga(pos_)) {
    salta_fine_riga();
  }
}

std::string_view lettore_campi::quotato() {
  // pos_ stands on the opening quote.
  size_t inizio = ++pos_;
  while (pos_ < dati_.size() && dati_[pos_] != '"' && !fine_riga(pos_)) ++pos_;
  std::string_view dentro(dati_.data() + inizio, pos_ - inizio);
  while (pos_ < dati_.size() && dati_[pos_] != ',' && !fine_riga(pos_)) ++pos_;
  chiudi_campo();
  return dentro;
}

std::string lettore_campi::testo() {
  inizia_campo();
  if (pos_ < dati_.size() && dati_[pos_] == '"') return std::string(quotato());
  size_t inizio = pos_;
  while (pos_ < dati_.size() && dati_[pos_] != ',' && !fine_riga(pos_)) ++pos_;
  size_t fine_testo = pos_;
  while (fine_testo > inizio && vuoto(dati_[fine_testo - 1])) --fine_testo;
  chiudi_campo();
  return std::string(dati_.data() + inizio, fine_testo - inizio);
}

int32_t lettore_campi::numero() {
  inizia_campo();
  std::string_view cifre;
  if (pos_ < dati_.size() && dati_[pos_] == '"') {
    cifre = quotato();
    while (!cifre.empty() && vuoto(cifre.front())) cifre.remove_prefix(1);
    while (!cifre.empty() && vuoto(cifre.back())) cifre.remove_suffix(1);
  } else {
    size_t inizio = pos_;
    while (pos_ < dati_.size() && dati_[pos_] != ',' && !fine_riga(pos_) && !vuoto(dati_[pos_]))
      ++pos_;
    cifre = std::string_view(dati_.data() + inizio, pos_ - inizio);
    if (pos_ < dati_.size() && vuoto(dati_[pos_])) salta_vuoti();
    chiudi_campo();
  }
  if (cifre.empty()) return 0;
  bool negativo = false;
  size_t i = 0;
  if (cifre[0] == '+' || cifre[0] == '-') {
    negativo = cifre[0] == '-';
    i = 1;
  }
  if (i == cifre.size()) throw errore_lettura{"numero non valido"};
  int64_t valore = 0;
  for (; i < cifre.size(); ++i) {
    char c = cifre[i];
    if (c < '0' || c > '9') throw errore_lettura{"numero non valido"};
    valore = valore * 10 + (c - '0');
    if (valore > int64_t{std::numeric_limits<int32_t>::max()} + 1)
      throw errore_lettura{"numero fuori dai 32 bit"};
  }
  if (negativo) valore = -valore;
  if (valore > std::numeric_limits<int32_t>::max()) throw errore_lettura{"numero fuori dai 32 bit"};
  return static_cast<int32_t>(valore);
}

int32_t lettore_campi::numero(int64_t minimo, int64_t massimo) {
  int32_t v = numero();
  if (v < minimo || v > massimo) throw errore_lettura{"valore fuori dal suo campo"};
  return v;
}

std::string_view lettore_campi::testo_riga() const {
  size_t fine_testo = inizio_riga_campo_;
  while (fine_testo < dati_.size() && !fine_riga(fine_testo)) ++fine_testo;
  return std::string_view(dati_.data() + inizio_riga_campo_, fine_testo - inizio_riga_campo_);
}
