#include "platform/avanzi.h"

#include <map>
#include <mutex>
#include <set>
#include <vector>

#include "platform/file.h"
#include "platform/processo.h"

namespace avanzi {
namespace {

constexpr std::string_view kTemporaneo = ".tmp-";
constexpr size_t kLettere = 6;

bool alfanumerico(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

// Folder and name of a path: "/" splits it everywhere, and the platform's
// own separator too.
void dividi(const std::string& nome, std::string& cartella, std::string& base) {
  const size_t i = nome.find_last_of(std::string("/") + file::separatore);
  if (i == std::string::npos) {
    cartella = ".";
    base = nome;
  } else {
    cartella = i == 0 ? nome.substr(0, 1) : nome.substr(0, i);
    base = nome.substr(i + 1);
  }
}

}  // namespace

std::string prefisso(const std::string& nome) {
  return nome + std::string(kTemporaneo) + std::to_string(processo::numero()) + "-";
}

std::string prefisso_conservato(const std::string& nome) {
  return nome + ".conservato-" + std::to_string(processo::numero()) + "-";
}

bool proprietario(std::string_view voce, std::string_view base, unsigned long& numero) {
  if (voce.size() <= base.size() + kTemporaneo.size() || voce.substr(0, base.size()) != base ||
      voce.substr(base.size(), kTemporaneo.size()) != kTemporaneo)
    return false;
  std::string_view resto = voce.substr(base.size() + kTemporaneo.size());
  const size_t trattino = resto.find('-');
  if (trattino == 0 || trattino == std::string_view::npos || trattino > 10 ||
      resto.size() != trattino + 1 + kLettere)
    return false;
  unsigned long n = 0;
  for (char c : resto.substr(0, trattino)) {
    if (c < '0' || c > '9') return false;
    n = n * 10 + static_cast<unsigned long>(c - '0');
  }
  for (char c : resto.substr(trattino + 1))
    if (!alfanumerico(c)) return false;
  numero = n;
  return true;
}

bool rimuovi_morti(const std::string& nome) {
  std::string cartella, base;
  dividi(nome, cartella, base);
  // The folder is read once per run, for all the files written in it: what
  // is left of dead runs there, by file.
  struct lettura {
    std::set<std::string> nomi;           // the other names
    std::vector<std::string> temporanei;  // those with ".tmp-" in them
  };
  static std::mutex m;
  static std::map<std::string, lettura> letti;
  std::vector<std::string> via;
  bool c_era;
  {
    std::lock_guard<std::mutex> g(m);
    auto l = letti.find(cartella);
    if (l == letti.end()) {
      l = letti.emplace(cartella, lettura()).first;
      for (std::string& voce : file::elenco(cartella)) {
        if (voce.find(kTemporaneo) != std::string::npos)
          l->second.temporanei.push_back(std::move(voce));
        else
          l->second.nomi.insert(std::move(voce));
      }
    }
    c_era = l->second.nomi.count(base) != 0;
    const unsigned long io = processo::numero();
    for (auto& voce : l->second.temporanei) {
      unsigned long n;
      if (voce.empty() || !proprietario(voce, base, n) || n == io || processo::in_vita(n)) continue;
      via.push_back(std::move(voce));
      voce.clear();
    }
  }
  for (const std::string& voce : via) {
    try {
      file::cancella(file::percorso(cartella, voce));
    } catch (const file::errore_io&) {
      // Still held open, or not ours to remove: a later run tries again.
    }
  }
  return c_era;
}

}  // namespace avanzi
