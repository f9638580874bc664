// The disk as a disco: the calls of file.h, and the whole-file replacements
// made of a sostituzione on either system.
#include "platform/file.h"

namespace file {

void sostituisci(const std::string& nome, std::string_view dati) {
  sostituzione f(nome);
  f.scrivi(dati);
  f.chiudi();
}

bool sostituisci_se(const std::string& nome, std::string_view atteso, std::string_view dati) {
  sostituzione f(nome);
  f.scrivi(dati);
  return f.chiudi_se(atteso);
}
namespace {

class scrittura_reale : public scrittura {
 public:
  explicit scrittura_reale(const std::string& nome) : f_(nome) {}
  void scrivi(std::string_view dati) override { f_.scrivi(dati); }
  void scrivi_a(uint64_t offset, std::string_view dati) override { f_.scrivi_a(offset, dati); }
  void riserva(uint64_t byte) override { f_.riserva(byte); }
  void chiudi() override { f_.chiudi(); }

 private:
  sostituzione f_;
};

class disco_di_sistema : public disco {
 public:
  bool esiste(const std::string& nome) override { return file::esiste(nome); }
  bool leggi(const std::string& nome, std::string& dati) override {
    return file::leggi(nome, dati);
  }
  void cancella(const std::string& nome) override { file::cancella(nome); }
  std::unique_ptr<scrittura> sostituzione(const std::string& nome) override {
    return std::make_unique<scrittura_reale>(nome);
  }
};

}  // namespace

disco& disco_reale() {
  static disco_di_sistema d;
  return d;
}

void sostituisci_coppia(disco& d, const std::string& n_a, std::string_view a,
                        const std::string& n_b, std::string_view b) {
  sostituisci_insieme(d, {{n_a, a}, {n_b, b}});
}

void sostituisci_insieme(disco& d, const std::vector<file_da_scrivere>& files) {
  // Every file whole beside its target first; then each put in place, and
  // those placed before a failure given their old bytes back (or removed).
  struct prima {
    bool c_era = false;
    std::string dati;
  };
  std::vector<prima> vecchi(files.size());
  std::vector<std::unique_ptr<scrittura>> s;
  for (size_t i = 0; i < files.size(); ++i) {
    vecchi[i].c_era = d.leggi(files[i].nome, vecchi[i].dati);
    s.push_back(d.sostituzione(files[i].nome));
    s.back()->scrivi(files[i].dati);
  }
  for (size_t i = 0; i < files.size(); ++i) {
    try {
      s[i]->chiudi();
    } catch (const errore_io&) {
      for (size_t k = i; k-- > 0;) {
        if (vecchi[k].c_era)
          d.sostituisci(files[k].nome, vecchi[k].dati);
        else
          d.cancella(files[k].nome);
      }
      throw;
    }
  }
}

}  // namespace file
