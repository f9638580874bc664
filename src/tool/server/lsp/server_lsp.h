// The language server's state and its answers, apart from the channel and
// the threads that run it (so that tests and the fuzzer drive it directly).
//
// The two sources of a scenario are one compile: a document's partner is
// found by the name scheme in its folder, an open buffer before the file on
// the disk. Every change marks its pair; a compile takes the newest texts of
// a marked pair and publishes the diagnostics of both files, and a change
// that came in the meantime marks the pair again, so the latest one wins.
//
// A command opens the preview of a document's pair inside the server: its
// page reads the editor's buffers, and the edits it asks for go back to the
// editor as workspace/applyEdit, so that they are the editor's own (its undo,
// its save).
#pragma once
#include <condition_variable>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <nlohmann/json_fwd.hpp>
#include <set>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include "model/formato.h"

namespace lsp {

// A pair to compile: the folder and the names the compile reads.
struct coppia {
  std::string cartella, linea, treno;  // route and train names
  std::string uri_linea, uri_treno;    // "" where no such file is known
  bool operator<(const coppia& o) const {
    return std::tie(cartella, linea, treno) < std::tie(o.cartella, o.linea, o.treno);
  }
};

struct documento {
  std::string uri;
  std::string testo;  // UTF-8, as the editor holds it
  long long versione = 0;
  bool linea = false;  // a line source; else a train source
  coppia c;            // its pair, as the last open or close found it
};

class anteprima;

class server {
 public:
  // Receives each message body the server sends.
  using invio = std::function<void(const std::string&)>;
  explicit server(invio manda);
  ~server();

  // false: partners are looked for among open documents only (the fuzzer).
  bool disco = true;
  // true: a change compiles its pair before tratta() returns (tests, fuzzer).
  bool sincrono = false;

  // Handles one message body.
  void tratta(std::string_view corpo);
  // A framing fault of the channel, to report to the client's log.
  void guasto(const std::string& perche);
  // Whether `exit` came, and the status it asks for.
  bool finito() const { return finito_; }
  int stato() const { return spento_ ? 0 : 1; }

  // For the compile thread: waits for a marked pair (false once `chiudi`),
  // compiles it and publishes; returns after one pair.
  bool compila_prossima();
  // Also stops the previews.
  void chiudi();

 private:
  struct richiesta;
  void metodo(const richiesta& r);
  void apri(const richiesta& r);
  void cambia(const richiesta& r);
  void chiudi_documento(const richiesta& r);
  void descrivi(const richiesta& r);
  void simboli(const richiesta& r);
  void completa(const richiesta& r);
  void formatta(const richiesta& r);
  void esegui_comando(const richiesta& r);
  // A request of the server's to the client, and what to do with the answer
  // (the whole message), on the thread that reads the client.
  using al_ritorno = std::function<void(const nlohmann::json& risposta)>;
  void richiedi(const std::string& metodo, const std::string& parametri_json, al_ritorno f);
  void risposta(const nlohmann::json& m);
  friend class anteprima;
  void sveglia_anteprime(const std::string& uri);
  void ferma_anteprime();
  void rispondi(const richiesta& r, const std::string& risultato_json);
  void errore(const std::string& id_json, int codice, const std::string& messaggio);
  void notifica(const std::string& metodo, const std::string& parametri_json);
  void segna(const std::string& uri);
  coppia coppia_di(const std::string& uri);
  // The pair kept with an open document (else found now); found again for
  // every open document whenever one opens or closes.
  coppia coppia_aperta(const std::string& uri);
  void ricalcola_coppie();
  void compila(const coppia& c);
  // An open document's text ("", aperto false, for one that is not open).
  std::string testo_aperto(const std::string& uri, bool& aperto);
  // A partner's text in Windows-1252: its editor's, else its file's ("" when
  // it cannot be read).
  std::string testo_compagno(const std::string& uri);
  bool e_linea_aperta(const std::string& uri);

  invio manda_;
  std::mutex mutex_;  // the documents, the marks and the channel
  std::condition_variable cv_;
  std::map<std::string, documento> documenti_;
  std::set<coppia> segnate_;
  bool iniziato_ = false, spento_ = false, finito_ = false, chiuso_ = false;
  // The previews, by pair (touched only by the thread that reads the
  // client), and the server's requests awaiting their answers.
  std::map<coppia, std::unique_ptr<anteprima>> anteprime_;
  std::mutex mutex_attese_;
  std::map<std::string, al_ritorno> attese_;
  long long richieste_ = 0;
};

}  // namespace lsp
