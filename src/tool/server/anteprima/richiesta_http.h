// What the preview's server answers to a request's head, apart from the
// connection that brought it: the Host, the key, the method and the route,
// and for the page's edits (a POST) its Origin and the body's type. A plain
// function, for the server and for its tests.
#pragma once
#include <string>
#include <string_view>
#include <vector>

enum class rotta_http { pagina, dati, eventi, posto, modifica };

struct richiesta_http {
  std::string_view metodo;                // as sent: "GET"
  std::string_view bersaglio;             // the request target: "/dati?t=KEY" or absolute
  std::vector<std::string_view> host;     // every Host field
  std::vector<std::string_view> origine;  // every Origin field
  std::string_view tipo;                  // Content-Type
};

struct regole_http {
  std::string chiave;
  std::string host_ip, host_nome;  // "127.0.0.1:PORT", "localhost:PORT"
};

struct esame_http {
  int stato = 200;
  rotta_http rotta = rotta_http::pagina;
  const char* perche = "";   // for a refusal, Italian
  bool senza_corpo = false;  // HEAD: the answer's head alone, for a refusal too
  bool chiave = false;       // the request showed this server's key
  const char* ammessi = "";  // a 405's Allow: what the route accepts
};

// What the routes accept: the page's edits are POSTs, the rest is read.
constexpr const char* kMetodiAmmessi = "GET, HEAD";
constexpr const char* kMetodiModifica = "POST";

// The Host first (a page elsewhere that reached here by a name of its own
// shows it), then the key, the method and the route. A target in absolute
// form (http://127.0.0.1:PORT/dati?t=KEY) is taken as its path and query,
// and its host must be this server as the Host field must. An edit must come
// from the page itself: one Origin, http:// and the Host it was sent to (a
// page elsewhere cannot forge it), and a JSON body.
esame_http esamina(const richiesta_http& q, const regole_http& r);
