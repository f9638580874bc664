// What the server sends the client: answers, errors, notifications, and
// requests of its own whose answers come back later. Every failure a
// request ends with becomes the protocol's error here, once. Any thread may
// send; the answers come on the thread that reads the client.
#pragma once
#include <functional>
#include <map>
#include <mutex>
#include <nlohmann/json.hpp>
#include <string>

#include "tool/comune/guasto.h"

namespace lsp {

// The protocol's kinds of message shown or logged.
enum class gravita_messaggio { errore = 1, avviso = 2, informazione = 3 };

class mittente {
 public:
  // Receives each message body the server sends.
  using invio = std::function<void(const std::string&)>;
  // What to do with the answer to a request (the whole message).
  using al_ritorno = std::function<void(const nlohmann::json& risposta)>;
  explicit mittente(invio manda) : manda_(std::move(manda)) {}

  // `id`: the request's, a number or a text; null for a message whose id is unknown.
  void rispondi(const nlohmann::json& id, const nlohmann::json& risultato);
  void errore(const nlohmann::json& id, const guasto& g);
  void notifica(const std::string& metodo, const nlohmann::json& parametri);
  void registra(gravita_messaggio g, const std::string& testo);  // the client's log
  void mostra(gravita_messaggio g, const std::string& testo);    // shown to the author

  // `di`: who waits for the answer (a preview's page), so that its waits go with it.
  void richiedi(const std::string& metodo, const nlohmann::json& parametri, al_ritorno f,
                const void* di = nullptr);
  // A client's answer to one of those requests.
  void risposta(const nlohmann::json& m);
  void scarta(const void* di);
  void scarta_tutte();

 private:
  struct attesa {
    const void* di;
    al_ritorno f;
  };
  invio manda_;
  std::mutex m_;  // the awaited answers
  std::map<std::string, attesa> attese_;
  long long richieste_ = 0;
};

}  // namespace lsp
