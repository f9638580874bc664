#include "tool/server/lsp/mittente_lsp.h"

#include "tool/server/lsp/json_lsp.h"

namespace lsp {

using json = nlohmann::json;

void mittente::rispondi(const json& id, const json& risultato) {
  manda_("{\"jsonrpc\":\"2.0\",\"id\":" + scrivi_json(id) +
         ",\"result\":" + scrivi_json(risultato) + "}");
}

void mittente::errore(const json& id, const guasto& g) {
  manda_("{\"jsonrpc\":\"2.0\",\"id\":" + scrivi_json(id) + ",\"error\":" +
         scrivi_json(json{{"code", codice_jsonrpc(g)}, {"message", g.messaggio()}}) + "}");
}

void mittente::notifica(const std::string& metodo, const json& parametri) {
  manda_("{\"jsonrpc\":\"2.0\",\"method\":" + scrivi_json(metodo) +
         ",\"params\":" + scrivi_json(parametri) + "}");
}

void mittente::registra(gravita_messaggio g, const std::string& testo) {
  notifica("window/logMessage", {{"type", static_cast<int>(g)}, {"message", testo}});
}

void mittente::mostra(gravita_messaggio g, const std::string& testo) {
  notifica("window/showMessage", {{"type", static_cast<int>(g)}, {"message", testo}});
}

void mittente::richiedi(const std::string& metodo, const json& parametri, al_ritorno f,
                        const void* di) {
  std::string id;
  {
    std::lock_guard<std::mutex> l(m_);
    id = "scenario/" + std::to_string(++richieste_);
    attese_[id] = {di, std::move(f)};
  }
  manda_("{\"jsonrpc\":\"2.0\",\"id\":" + scrivi_json(id) + ",\"method\":" + scrivi_json(metodo) +
         ",\"params\":" + scrivi_json(parametri) + "}");
}

void mittente::risposta(const json& m) {
  const auto i_id = m.find("id");
  if (i_id == m.end() || !i_id->is_string()) return;
  const std::string id = i_id->get<std::string>();
  al_ritorno f;
  {
    std::lock_guard<std::mutex> l(m_);
    auto i = attese_.find(id);
    if (i == attese_.end()) return;
    f = std::move(i->second.f);
    attese_.erase(i);
  }
  // An answer is the client's bytes like any request: one the library
  // cannot take ends that exchange, not the server.
  try {
    f(m);
  } catch (const std::exception&) {
    registra(gravita_messaggio::errore, "risposta del client a " + id + " non compresa: scartata");
  }
}

void mittente::scarta(const void* di) {
  std::lock_guard<std::mutex> l(m_);
  std::erase_if(attese_, [di](const auto& x) { return x.second.di == di; });
}

void mittente::scarta_tutte() {
  std::lock_guard<std::mutex> l(m_);
  attese_.clear();
}

}  // namespace lsp
