// The preview's HTTP server: on 127.0.0.1 only, five fixed routes, GET and
// HEAD only but for the page's edits. Every request must carry the key (?t=KEY) and name this
// server in its Host (127.0.0.1:PORT or localhost:PORT), so that a page of another site cannot
// reach it, not even through a name that resolves here; requests are bounded in size and time, and
// connections in number: those that have not shown the key have a small budget of their own, so
// that anyone else on the machine cannot keep the author's page out. The one place that knows
// Boost.Beast.
//
//   /        the page
//   /dati    the current document (JSON)
//   /eventi  the documents as they come, as Server-Sent Events
//   /posto   where an entry dragged to a position would be written (JSON)
//   /modifica  POST: an edit the page asks for (JSON both ways), from the
//            page's own origin; answered when it is done or refused
#pragma once
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
// Boost 1.74's Asio uses std::exchange without including <utility>; this
// header comes before Asio in server_http.cc.
#include <utility>

#include "tool/server/anteprima/richiesta_http.h"

class server_anteprima {
 public:
  // An answer given later, once, from any thread: the status and a JSON body.
  using risposta = std::function<void(int stato, std::string json)>;
  struct impostazioni {
    uint16_t porta = 0;  // 0: one the system chooses
    std::string chiave;
    std::string_view pagina;  // must outlive the server
    // /posto: the JSON answer to the query, "" for a question it cannot take.
    std::function<std::string(std::string_view query)> posto;
    // /modifica: the body, and the answer to give (none: every edit refused).
    std::function<void(std::string corpo, risposta)> modifica;
  };

  server_anteprima();
  ~server_anteprima();
  server_anteprima(const server_anteprima&) = delete;
  server_anteprima& operator=(const server_anteprima&) = delete;

  // Listens; false with the reason (Italian) when the port cannot be had.
  bool apri(const impostazioni& i, std::string& motivo);
  uint16_t porta() const;
  // The document answered from now on, pushed to every open event stream.
  // From any thread.
  void pubblica(std::string documento);
  // Serves until ferma(), calling `ogni` every `periodo` on the same thread
  // (which may call pubblica and ferma).
  void esegui(std::chrono::milliseconds periodo, const std::function<void()>& ogni);
  void ferma();

 private:
  struct stato;
  std::unique_ptr<stato> s_;
};

// A key no other page can guess, for the address: 128 bits in hex.
bool nuova_chiave(std::string& chiave);

// A request's bytes as the server reads them (the same parser and bounds)
// and what it answers; stato 0 while they are not yet a whole request.
esame_http esamina_byte(std::string_view byte, const regole_http& r);
