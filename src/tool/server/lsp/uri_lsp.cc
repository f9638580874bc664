#include "tool/server/lsp/uri_lsp.h"

#include <optional>
#include <string_view>

#include "model/regole.h"
#include "platform/file.h"

namespace lsp {

namespace {

int cifra(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool decodifica(std::string_view s, std::string& out) {
  out.clear();
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] != '%') {
      out += s[i];
      continue;
    }
    if (i + 2 >= s.size() || cifra(s[i + 1]) < 0 || cifra(s[i + 2]) < 0) return false;
    out += static_cast<char>(cifra(s[i + 1]) * 16 + cifra(s[i + 2]));
    i += 2;
  }
  // A NUL would cut the path short in the system's calls.
  return out.find('\0') == std::string::npos;
}

}  // namespace

bool percorso_di(const std::string& uri, std::string& percorso) {
  std::string_view u = uri;
  if (u.substr(0, 7) != "file://") return false;
  u.remove_prefix(7);
  const size_t barra = u.find('/');
  if (barra == std::string_view::npos) return false;
  u.remove_prefix(barra);  // a host name, if any, is this machine
  if (!decodifica(u, percorso)) return false;
  if (std::string_view(file::separatore) == "/") return true;
  // "/C:/d" is a drive path; the rest of the path takes the system's separator.
  if (percorso.size() >= 3 && percorso[0] == '/' && percorso[2] == ':') percorso.erase(0, 1);
  for (char& c : percorso)
    if (c == '/') c = file::separatore[0];
  return true;
}

bool divide(const std::string& uri, std::string& cartella_uri, std::string& nome) {
  const size_t barra = uri.rfind('/');
  if (barra == std::string::npos) return false;
  cartella_uri = uri.substr(0, barra);
  return decodifica(std::string_view(uri).substr(barra + 1), nome) && !nome.empty();
}

std::string unisci(const std::string& cartella_uri, const std::string& nome) {
  static const char kCifre[] = "0123456789ABCDEF";
  std::string out = cartella_uri + "/";
  for (char c : nome) {
    const auto b = static_cast<unsigned char>(c);
    if ((b >= 'a' && b <= 'z') || (b >= 'A' && b <= 'Z') || (b >= '0' && b <= '9') ||
        std::string_view("-._~").find(c) != std::string_view::npos) {
      out += c;
    } else {
      out += '%';
      out += kCifre[b >> 4];
      out += kCifre[b & 15];
    }
  }
  return out;
}

bool e_linea(const std::string& uri, const std::string& lingua) {
  std::string cartella, nome;
  if (divide(uri, cartella, nome))
    if (const std::optional<regole::nomi_scenario> n = regole::nomi_da_file(nome))
      return n->sorgente_linea;
  return lingua == "scenario-linea";
}

}  // namespace lsp
