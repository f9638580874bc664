// scenario lsp: the language server on standard input and output. One
// thread reads and answers, one compiles; the channel carries whole messages.
#include "tool/server/lsp/lsp.h"

#include <mutex>
#include <thread>

#include "platform/canale.h"
#include "tool/comune/argomenti.h"
#include "tool/server/lsp/cornice.h"
#include "tool/server/lsp/server_lsp.h"

int comando_lsp(const argomenti& a) {
  argomenti_letti l;
  // Clients add a transport flag of their own; stdio is the only one.
  if (int s = leggi_argomenti("lsp", a, {{"--stdio"}}, 0, "", l); s >= 0) return s;
  canale::prepara();
  std::mutex uscita;
  lsp::server s([&](const std::string& corpo) {
    std::lock_guard<std::mutex> g(uscita);
    canale::scrivi(lsp::incornicia(corpo));
  });
  std::thread compilatore([&s] {
    while (s.compila_prossima()) {
    }
  });
  lsp::cornice c;
  std::string corpo, guasto;
  static char buf[1 << 16];
  while (!s.finito()) {
    const long n = canale::leggi(buf, sizeof buf);
    if (n <= 0) break;
    c.aggiungi({buf, static_cast<size_t>(n)});
    while (!s.finito() && c.prossimo(corpo, guasto)) {
      if (!guasto.empty())
        s.guasto(guasto);
      else
        s.tratta(corpo);
    }
  }
  s.chiudi();
  compilatore.join();
  // An input that ended without `exit` is a client gone: status 1.
  return s.finito() ? s.stato() : 1;
}
