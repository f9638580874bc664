#include "tool/comune/guasto.h"

#include "tool/comune/argomenti.h"

std::string guasto::messaggio() const {
  std::string r;
  if (!dove.file.empty()) {
    r = dove.file + ":";
    if (dove.riga > 0) r += std::to_string(dove.riga) + ":";
    if (dove.colonna > 0) r += std::to_string(dove.colonna) + ":";
    r += " ";
  }
  r += testo;
  if (!dove.oggetto.empty()) r += " (" + dove.oggetto + ")";
  return r;
}

int stato_uscita(const guasto& g) {
  switch (g.genere) {
    case genere_guasto::uso:
    case genere_guasto::sconosciuto:
      return kUscitaUso;
    case genere_guasto::codice:
      return kUscitaCodice;
    default:
      return kUscitaFallita;
  }
}

int stato_http(const guasto& g) {
  switch (g.genere) {
    case genere_guasto::uso:
    case genere_guasto::ingresso:
    case genere_guasto::illeggibile:
    case genere_guasto::irregolare:
      return 400;
    case genere_guasto::sconosciuto:
      return 404;
    case genere_guasto::superato:
      return 409;
    case genere_guasto::codice:
      return 422;
    case genere_guasto::memoria:
    case genere_guasto::non_pronto:
      return 503;
    default:
      return 500;
  }
}

int codice_jsonrpc(const guasto& g) {
  // InvalidParams for what the client asked wrong, InternalError for the rest.
  switch (g.genere) {
    case genere_guasto::uso:
    case genere_guasto::ingresso:
      return -32602;
    case genere_guasto::illeggibile:
      return -32700;  // ParseError
    case genere_guasto::irregolare:
      return -32600;  // InvalidRequest
    case genere_guasto::sconosciuto:
      return -32601;  // MethodNotFound
    case genere_guasto::non_pronto:
      return -32002;  // ServerNotInitialized
    case genere_guasto::superato:
      return -32801;  // ContentModified
    default:
      return -32603;
  }
}
