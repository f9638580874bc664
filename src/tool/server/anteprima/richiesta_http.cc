#include "tool/server/anteprima/richiesta_http.h"

#include <utility>

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

// The route of a path; false for none.
bool rotta_di(std::string_view percorso, rotta_http& r) {
  constexpr std::pair<std::string_view, rotta_http> kRotte[] = {
      {"/", rotta_http::pagina},
      {"/dati", rotta_http::dati},
      {"/eventi", rotta_http::eventi},
      {"/posto", rotta_http::posto},
      {"/modifica", rotta_http::modifica}};
  for (const auto& [p, x] : kRotte)
    if (p == percorso) return r = x, true;
  return false;
}

// An edit's Origin and body type: the page's own, JSON.
bool origine_ammessa(const richiesta_http& q) {
  if (q.origine.size() != 1 || q.host.size() != 1) return false;
  constexpr std::string_view kSchema = "http://";
  const std::string_view o = q.origine.front();
  return o.size() > kSchema.size() && uguali_nc(o.substr(0, kSchema.size()), kSchema) &&
         uguali_nc(o.substr(kSchema.size()), q.host.front());
}

bool corpo_json(std::string_view tipo) {
  constexpr std::string_view kJson = "application/json";
  if (tipo.size() < kJson.size() || !uguali_nc(tipo.substr(0, kJson.size()), kJson)) return false;
  return tipo.size() == kJson.size() || tipo[kJson.size()] == ';';
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
  if (percorso.empty()) percorso = "/";
  const bool nota = rotta_di(percorso, e.rotta);
  const bool modifica = nota && e.rotta == rotta_http::modifica;
  e.ammessi = modifica ? kMetodiModifica : kMetodiAmmessi;
  if (modifica ? q.metodo != "POST" : q.metodo != "GET" && q.metodo != "HEAD") {
    e.rotta = rotta_http::pagina;
    return rifiuta(
        405, modifica ? "metodo non ammesso: solo POST" : "metodo non ammesso: solo GET e HEAD");
  }
  if (!nota) return rifiuta(404, "non trovato");
  if (modifica && !origine_ammessa(q)) return rifiuta(403, "origine non ammessa");
  if (modifica && !corpo_json(q.tipo)) return rifiuta(415, "il corpo deve essere JSON");
  return e;
}
