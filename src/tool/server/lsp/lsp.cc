// scenario lsp: the language server on standard input and output. One
// thread reads and answers, one compiles; the channel carries whole messages.
#include "tool/server/lsp/lsp.h"

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <thread>

#include "platform/canale.h"
#include "tool/comune/argomenti.h"
#include "tool/server/lsp/cornice.h"
#include "tool/server/lsp/server_lsp.h"

namespace {

// How long `exit` or the end of the input waits for a compile under way.
constexpr auto kAttesaCompilazione = std::chrono::milliseconds(500);

}  // namespace

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
  std::mutex m;
  std::condition_variable cv;
  bool fatto = false;
  std::thread compilatore([&] {
    while (s.compila_prossima()) {
    }
    std::lock_guard<std::mutex> g(m);
    fatto = true;
    cv.notify_all();
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
        s.guasto_cornice(guasto);
      else
        s.tratta(corpo);
    }
  }
  s.chiudi();  // the previews stopped, and the compile thread told to end
  // An input that ended without `exit` is a client gone: status 1.
  const int stato = s.finito() ? s.stato() : 1;
  std::unique_lock<std::mutex> attesa(m);
  const bool compilato = cv.wait_for(attesa, kAttesaCompilazione, [&] { return fatto; });
  attesa.unlock();
  if (!compilato || s.compilazioni_lasciate()) {
    // A compile of a large text still under way (this server's, or one a
    // preview left) has no one left to tell, and cannot be stopped: it uses
    // the server's state and the program's own, so neither returning (which
    // ends the server under it) nor exit() (which runs the static
    // destructors) is safe while it runs. The process ends without it.
    std::fflush(nullptr);
    std::_Exit(stato);
  }
  compilatore.join();
  return stato;
}
