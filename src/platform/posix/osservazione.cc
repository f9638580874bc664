#include "platform/osservazione.h"

#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <memory>

namespace file {

impronta impronta_di(const std::string& nome) {
  struct stat st;
  if (::stat(nome.c_str(), &st) != 0) return {};
  impronta i;
  i.c_e = true;
  i.dimensione = static_cast<uint64_t>(st.st_size);
  i.scritto = static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
  return i;
}

std::string assoluto(const std::string& nome) {
  if (!nome.empty() && nome[0] == '/') return nome;
  std::unique_ptr<char, decltype(&::free)> qui(::getcwd(nullptr, 0), &::free);
  if (!qui) return nome;
  std::string r = qui.get();
  if (nome.empty() || nome == ".") return r;
  if (nome.compare(0, 2, "./") == 0) return r + nome.substr(1);
  return r + "/" + nome;
}

}  // namespace file
