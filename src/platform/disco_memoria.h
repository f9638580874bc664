// Files in memory, for a compile of sources already read (an author's files,
// an editor's buffers, a decompile's output): the sources are read and
// deleted here, and each compiled file is kept here, written to the disk
// where asked, or compared with the bytes it must have and kept nowhere.
#pragma once
#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "platform/file.h"

namespace file {

class disco_memoria : public disco {
 public:
  std::map<std::string, std::string> file;
  // Replacements of these names go to the disk, at the path given, through a
  // temporary file as every replacement there.
  std::map<std::string, std::string> su_disco;
  // Replacements of these names are compared with the bytes given.
  struct confronto {
    std::string_view atteso;
    bool scritto = false;        // it was put in place
    bool uguale = false;         // with exactly the bytes expected
    uint64_t primo_diverso = 0;  // the first byte that differs (or the shorter length)
  };
  std::map<std::string, confronto> confronti;
  // Replacements of these names go nowhere.
  std::set<std::string> scarta;
  std::vector<std::string> scritti;  // names put in place, in order

  bool esiste(const std::string& nome) override { return file.count(nome) != 0; }
  bool leggi(const std::string& nome, std::string& dati) override;
  void cancella(const std::string& nome) override { file.erase(nome); }
  std::unique_ptr<scrittura> sostituzione(const std::string& nome) override;
};

}  // namespace file
