#include "tool/server/anteprima/richiesta_http.h"

namespace {

char minuscola(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool uguali_nc(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (minuscola(a[i]) != minuscola(b[i])) return false;
  return true;
}

// Equal texts in a time that does not depend on where they differ.
bool uguali(std::string_view a, std::string_view b) {
  if (b.empty()) return false;
  unsigned char d = a.size() == b.size() ? 0 : 1;
  for (size_t i = 0; i < a.size(); ++i) d |= static_cast<unsigned char>(a[i] ^ b[i % b.size()]);
  return d == 0;
}

// The value of parameter t in the query, "" when it is not there.
std::string_view chiave_di(std::string_view query) {
  while (!query.empty()) {
    const size_t e = query.find('&');
    const std::string_view p = query.substr(0, e);
    if (p.substr(0, 2) == "t=") return p.substr(2);
    if (e == std::string_view::npos) break;
    query.remove_prefix(e + 1);
  }
  return {};
}

// A name this server answers to: the address, or localhost in any case.
bool host_ammesso(std::string_view h, const regole_http& r) {
  return h == r.host_ip || uguali_nc(h, r.host_nome);
}

// The absolute form's "http://HOST" taken off the target, the host kept
// apart; false for another scheme. An origin-form target is left as it is.
bool forma_assoluta(std::string_view& bersaglio, std::string_view& host, bool& assoluta) {
  assoluta = !bersaglio.empty() && bersaglio.front() != '/';
  if (!assoluta) return true;
  constexpr std::string_view kSchema = "http://";
  if (bersaglio.size() < kSchema.size() || !uguali_nc(bersaglio.substr(0, 7), kSchema))
    return false;
  bersaglio.remove_prefix(kSchema.size());
  const size_t fine = bersaglio.find_first_of("/?#");
  host = bersaglio.substr(0, fine);
  bersaglio = fine == std::string_view::npos ? std::string_view() : bersaglio.substr(fine);
  return true;
}

}  // namespace

esame_http esamina(const richiesta_http& q, const regole_http& r) {
  esame_http e;
  e.senza_corpo = q.metodo == "HEAD";
  auto rifiuta = [&](int stato, const char* perche) {
    e.stato = stato;
    e.perche = perche;
    return e;
  };
  std::string_view bersaglio = q.bersaglio, host_assoluto;
  bool assoluta = false;
  if (q.host.size() != 1 || !host_ammesso(q.host.front(), r))
    return rifiuta(403, "host non ammesso");
  if (!forma_assoluta(bersaglio, host_assoluto, assoluta))
    return rifiuta(400, "indirizzo della richiesta non valido");
  if (assoluta && !host_ammesso(host_assoluto, r)) return rifiuta(403, "host non ammesso");
  const size_t domanda = bersaglio.find('?');
  std::string_view percorso = bersaglio.substr(0, domanda);
  const std::string_view query =
      domanda == std::string_view::npos ? std::string_view() : bersaglio.substr(domanda + 1);
  if (!uguali(chiave_di(query.substr(0, query.find('#'))), r.chiave))
    return rifiuta(403, "chiave mancante o errata");
  e.chiave = true;
  if (q.metodo != "GET" && q.metodo != "HEAD")
    return rifiuta(405, "metodo non ammesso: solo GET e HEAD");
  if (percorso.empty()) percorso = "/";
  if (percorso == "/") return e;
  e.rotta = percorso == "/dati" ? rotta_http::dati : rotta_http::eventi;
  if (percorso == "/dati" || percorso == "/eventi") return e;
  e.rotta = rotta_http::pagina;
  return rifiuta(404, "non trovato");
}
