// What went wrong, in one vocabulary for the whole tool: the kind of failure
// (which alone decides, at the edge, the exit status, the HTTP answer and the
// JSON-RPC error), the Italian text, and where it stands. A function that can
// fail returns an esito<T>; file::errore_io stays the platform's exception
// for input and output alone, and is turned into a guasto where it is caught.
#pragma once
#include <cstdint>
#include <string>
#include <utility>
#include <variant>

enum class genere_guasto : uint8_t {
  uso,       // the command line, or a request, asks for what cannot be
  ingresso,  // an input that cannot be used: a map, a tile, a name, a feed
  io,        // a file that cannot be read or written
  codice,    // the compile left a code
  superato,  // the source changed since the version the request was made on
  memoria,   // out of memory
  interno,   // this program's own fault
  // A server's messages, refused before what they ask is looked at:
  illeggibile,  // not in the channel's language at all (a body that is no JSON)
  irregolare,   // in it, but not a message the protocol takes: no method, an id of
                // another kind, nested past the bound, a request out of its turn
  sconosciuto,  // it asks for what does not exist: a method, a route
  non_pronto,   // it came before the server could take it (before initialize)
};

struct luogo_guasto {
  std::string file;     // "" for none
  int64_t riga = 0;     // from 1; 0 for none
  int64_t colonna = 0;  // from 1; 0 for none
  std::string oggetto;  // an object of a map or a feed: "nodo 123", "corsa 45"
};

struct guasto {
  genere_guasto genere = genere_guasto::interno;
  std::string testo;  // Italian, UTF-8
  luogo_guasto dove;
  int32_t codice = 0;     // with genere_guasto::codice: the compile's code
  int64_t posizione = 0;  // and its position, metres

  // The text with its place: "FILE:RIGA: testo", "testo (nodo 123)".
  std::string messaggio() const;
};

inline guasto guasto_di(genere_guasto g, std::string testo, luogo_guasto dove = {}) {
  return {g, std::move(testo), std::move(dove)};
}

// A value, or what kept it from being.
template <class T>
class esito {
 public:
  esito(T v) : v_(std::in_place_index<0>, std::move(v)) {}       // NOLINT: a value is an esito
  esito(guasto g) : v_(std::in_place_index<1>, std::move(g)) {}  // NOLINT: so is a failure
  explicit operator bool() const { return v_.index() == 0; }
  T& operator*() { return std::get<0>(v_); }
  const T& operator*() const { return std::get<0>(v_); }
  T* operator->() { return &std::get<0>(v_); }
  const T* operator->() const { return &std::get<0>(v_); }
  const guasto& errore() const { return std::get<1>(v_); }

 private:
  std::variant<T, guasto> v_;
};

// What succeeds with no value.
struct fatto {};
using riuscita = esito<fatto>;

// At the edges, once: the exit status (argomenti.h's), the HTTP status and
// the JSON-RPC error code a failure of this kind gives.
int stato_uscita(const guasto& g);
int stato_http(const guasto& g);
int codice_jsonrpc(const guasto& g);
