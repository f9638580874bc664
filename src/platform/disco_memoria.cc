#include "platform/disco_memoria.h"

#include <algorithm>
#include <cstring>

namespace file {
namespace {

class in_memoria : public scrittura {
 public:
  in_memoria(disco_memoria& d, std::string nome) : d_(d), nome_(std::move(nome)) {}
  void scrivi(std::string_view dati) override { b_.append(dati); }
  void scrivi_a(uint64_t offset, std::string_view dati) override {
    if (b_.size() < offset + dati.size()) b_.resize(offset + dati.size(), '\0');
    std::memcpy(b_.data() + offset, dati.data(), dati.size());
  }
  void chiudi() override {
    d_.file[nome_] = std::move(b_);
    d_.scritti.push_back(nome_);
  }

 private:
  disco_memoria& d_;
  std::string nome_, b_;
};

// Compares each piece with the expected bytes at its place: pieces never
// overlap, so the bytes written are all equal when each piece is and they
// add up to the expected length.
class a_confronto : public scrittura {
 public:
  a_confronto(disco_memoria& d, std::string nome, disco_memoria::confronto& c)
      : d_(d), nome_(std::move(nome)), c_(c) {}
  void scrivi(std::string_view dati) override { scrivi_a(pos_, dati); }
  void scrivi_a(uint64_t offset, std::string_view dati) override {
    pos_ = offset + dati.size();
    fine_ = std::max(fine_, pos_);
    totale_ += dati.size();
    const std::string_view& a = c_.atteso;
    if (offset >= a.size()) {
      segna(std::min<uint64_t>(offset, a.size()));
      return;
    }
    const size_t n = std::min<size_t>(dati.size(), a.size() - offset);
    if (std::memcmp(dati.data(), a.data() + offset, n) != 0) {
      size_t i = 0;
      while (dati[i] == a[offset + i]) ++i;
      segna(offset + i);
    }
    if (n < dati.size()) segna(a.size());
  }
  void chiudi() override {
    c_.scritto = true;
    c_.uguale = !diverso_ && fine_ == c_.atteso.size() && totale_ == fine_;
    if (!diverso_ && !c_.uguale) c_.primo_diverso = std::min<uint64_t>(fine_, c_.atteso.size());
    if (diverso_) c_.primo_diverso = primo_;
    d_.scritti.push_back(nome_);
  }

 private:
  void segna(uint64_t dove) {
    if (!diverso_ || dove < primo_) primo_ = dove;
    diverso_ = true;
  }
  disco_memoria& d_;
  std::string nome_;
  disco_memoria::confronto& c_;
  uint64_t pos_ = 0, fine_ = 0, totale_ = 0, primo_ = 0;
  bool diverso_ = false;
};

class sul_disco : public scrittura {
 public:
  sul_disco(disco_memoria& d, std::string nome, const std::string& percorso)
      : d_(d), nome_(std::move(nome)), f_(percorso) {}
  void scrivi(std::string_view dati) override { f_.scrivi(dati); }
  void scrivi_a(uint64_t offset, std::string_view dati) override { f_.scrivi_a(offset, dati); }
  void riserva(uint64_t byte) override { f_.riserva(byte); }
  void chiudi() override {
    f_.chiudi();
    d_.scritti.push_back(nome_);
  }

 private:
  disco_memoria& d_;
  std::string nome_;
  sostituzione f_;
};

class a_vuoto : public scrittura {
 public:
  a_vuoto(disco_memoria& d, std::string nome) : d_(d), nome_(std::move(nome)) {}
  void scrivi(std::string_view) override {}
  void scrivi_a(uint64_t, std::string_view) override {}
  void chiudi() override { d_.scritti.push_back(nome_); }

 private:
  disco_memoria& d_;
  std::string nome_;
};

}  // namespace

bool disco_memoria::leggi(const std::string& nome, std::string& dati) {
  auto i = file.find(nome);
  if (i == file.end()) return false;
  dati = i->second;
  return true;
}

std::unique_ptr<scrittura> disco_memoria::sostituzione(const std::string& nome) {
  if (auto c = confronti.find(nome); c != confronti.end())
    return std::make_unique<a_confronto>(*this, nome, c->second);
  if (scarta.count(nome)) return std::make_unique<a_vuoto>(*this, nome);
  if (auto d = su_disco.find(nome); d != su_disco.end())
    return std::make_unique<sul_disco>(*this, nome, d->second);
  return std::make_unique<in_memoria>(*this, nome);
}

}  // namespace file
