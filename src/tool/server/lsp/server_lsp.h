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
// its save). Each preview holds a port and two threads: only pairs with a
// source (open or on the disk) get one, a few at a time (the one asked for
// longest ago is stopped for a new one), and a pair's preview stops when the
// last of its documents closes.
#pragma once
#include <condition_variable>
#include <cstddef>
#include <cstdint>
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

// Each preview holds a port, two threads and a compile of its own: an author
// compares a few scenarios at most.
constexpr size_t kAnteprimeMassime = 4;

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
  // The port the previews listen on: 0, one the system gives (a test names
  // a taken one to see a preview fail to start).
  uint16_t porta_anteprime = 0;

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
  bool ha_sorgenti(const coppia& c);
  // A request of the server's to the client, and what to do with the answer
  // (the whole message), on the thread that reads the client.
  using al_ritorno = std::function<void(const nlohmann::json& risposta)>;
  // `di`: the preview whose page waits for the answer, if one does.
  void richiedi(const std::string& metodo, const std::string& parametri_json, al_ritorno f,
                const anteprima* di = nullptr);
  void risposta(const nlohmann::json& m);
  friend class anteprima;
  using anteprime = std::map<coppia, std::unique_ptr<anteprima>>;
  void sveglia_anteprime(const std::string& uri);
  // Stops one preview, saying why in the client's log.
  void ferma_anteprima(anteprime::iterator i, const std::string& perche);
  // The previews of the closed document's pairs that no open document holds.
  void ferma_anteprime_chiuse(const std::string& uri);
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
  anteprime anteprime_;
  long long comandi_ = 0;  // counts the preview commands, to find the oldest
  struct attesa {
    const anteprima* di;
    al_ritorno f;
  };
  std::mutex mutex_attese_;
  std::map<std::string, attesa> attese_;
  long long richieste_ = 0;
};

}  // namespace lsp
