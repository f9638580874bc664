// scenario preview: the page of the line served on 127.0.0.1, compiled again
// in memory whenever a source changes and pushed to the page.
#include "tool/server/anteprima/anteprima.h"

#include <charconv>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>

#include "model/formato.h"
#include "model/regole.h"
#include "platform/casuale.h"
#include "platform/file.h"
#include "platform/interruzione.h"
#include "platform/osservazione.h"
#include "tool/bozza/bozza.h"
#include "tool/compilazione/compila.h"
#include "tool/comune/argomenti.h"
#include "tool/disegno/documento.h"
#include "tool/disegno/pagina.h"
#include "tool/server/anteprima/server_http.h"

namespace {

// How often the sources are looked at: a save shows in the page well within
// a second.
constexpr std::chrono::milliseconds kPeriodo(50);
// After a change the contents are compared for this many periods (2 s).
constexpr int kRiletture = 40;
// How long the end of the server waits for a compile under way.
constexpr auto kAttesaFine = std::chrono::milliseconds(300);

// A key no other page can guess: 128 bits in hex.
bool nuova_chiave(std::string& chiave) {
  unsigned char b[16];
  if (!byte_casuali(b, sizeof b)) return false;
  static constexpr char kCifre[] = "0123456789abcdef";
  for (unsigned char c : b) {
    chiave += kCifre[c >> 4];
    chiave += kCifre[c & 15];
  }
  return true;
}

// The two sources as last compiled, and what told they had changed.
struct sorgenti {
  std::string cartella, linea, treno;
  bool utf8 = false;  // the sources are UTF-8, made Windows-1252 for each compile
  std::string nome[2];
  file::impronta impronta[2];
  std::string testo[2];
  file::lettura letto[2];
  int64_t versione = 0;
  // Looks at the contents this many more times whatever the stamps say: a
  // second save of the same size within the clock's step after a first one
  // leaves the stamp as it was.
  int rileggi = 0;

  // True when either source now differs from what was last compiled. A
  // source is read here, bounded and without waiting on what stands at its
  // name; the compile never reads one itself but a missing one (to say so).
  bool cambiate() {
    bool diverse = false;
    for (int k = 0; k < 2; ++k) {
      const file::impronta i = file::impronta_di(nome[k]);
      if (versione > 0 && i == impronta[k] && rileggi == 0) continue;
      impronta[k] = i;
      std::string t;
      const file::lettura l =
          i.c_e ? file::leggi_al_piu(nome[k], kSorgenteMassimo, t) : file::lettura{};
      if (versione > 0 && l.esito == letto[k].esito && l.motivo == letto[k].motivo && t == testo[k])
        continue;
      letto[k] = l;
      testo[k] = std::move(t);
      diverse = true;
    }
    if (diverse) {
      rileggi = kRiletture;
    } else if (rileggi > 0) {
      --rileggi;
    }
    return diverse || versione == 0;
  }

  // The compile of what was read; a source that is no file or too large is
  // not compiled, and the page's banner says why.
  esito_compilazione compilazione() const {
    esito_compilazione e;
    for (int k = 0; k < 2; ++k) {
      const file::esito_lettura x = letto[k].esito;
      if (x != file::esito_lettura::letto && x != file::esito_lettura::mancante)
        e.errore_io = nome[k] + ": " + letto[k].motivo + ": non si compila";
    }
    if (!e.errore_io.empty()) return e;
    opzioni_compilazione o = compilazione_anteprima(cartella, linea, treno);
    o.utf8 = utf8;
    if (letto[0].esito == file::esito_lettura::letto) o.testo_linea = &testo[0];
    if (letto[1].esito == file::esito_lettura::letto) o.testo_treno = &testo[1];
    return compila_scenario(o);
  }

  // With --map: the map's rails, and where the line source puts its plan
  // (drawn again only when that moves).
  const bozza::binari_mappa* binari = nullptr;
  int posto_noto = -1;  // -1 before the first compile
  bozza::posto_mappa posto;
  linee_sotto sotto;

  // The rails on the plan's plane, as the line source now places it; null
  // when there is no map or the source does not say where.
  const linee_sotto* rotaie() {
    if (!binari) return nullptr;
    bozza::posto_mappa p;
    const bool noto =
        letto[0].esito == file::esito_lettura::letto && bozza::posto_da_sorgente(testo[0], p);
    if (noto && posto_noto != 1) std::printf("La mappa si disegna sotto la linea.\n");
    if (!noto && posto_noto != 0)
      std::printf(
          "Il sorgente della linea non dice dove sta sulla mappa (righe «%s» e «%s»): "
          "la mappa non si disegna.\n",
          bozza::kChiaveOrigine, bozza::kChiaveRotta);
    if (noto &&
        (posto_noto != 1 || p.lat != posto.lat || p.lon != posto.lon || p.rotta != posto.rotta))
      sotto = bozza::binari_nel_piano(*binari, p);
    posto_noto = noto;
    posto = p;
    return noto ? &sotto : nullptr;
  }

  // The document of a compile of what was read.
  std::string compila() {
    const auto inizio = std::chrono::steady_clock::now();
    esito_compilazione e = compilazione();
    ++versione;
    std::string d = documento_anteprima(e, linea, treno, versione, rotaie());
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                        std::chrono::steady_clock::now() - inizio)
                        .count();
    const int32_t c = e.codice_fatale ? e.codice_fatale : e.codice_errore;
    std::printf("versione %lld: %s, %zu %s (%lld ms)\n", static_cast<long long>(versione),
                c                     ? ("errore " + std::to_string(c)).c_str()
                : e.errore_io.empty() ? "nessun errore"
                                      : e.errore_io.c_str(),
                e.avvisi.size(), e.avvisi.size() == 1 ? "avviso" : "avvisi",
                static_cast<long long>(ms));
    std::fflush(stdout);
    return d;
  }
};

// The watch and its compiles on a thread of their own, so that the server
// answers while a source is read or compiled, however long that takes.
class osservatore {
 public:
  osservatore(sorgenti& s, server_anteprima& server) : s_(s), server_(server) {
    t_ = std::thread([this] { giro(); });
  }
  // False when a compile under way did not end within the wait: the thread
  // is then still running, and the program must end without waiting for it.
  bool ferma(std::chrono::milliseconds attesa) {
    std::unique_lock<std::mutex> l(m_);
    basta_ = true;
    cv_.notify_all();
    if (!cv_.wait_for(l, attesa, [this] { return finito_; })) return false;
    l.unlock();
    t_.join();
    return true;
  }

 private:
  void giro() {
    std::unique_lock<std::mutex> l(m_);
    while (!basta_) {
      l.unlock();
      if (s_.cambiate()) server_.pubblica(s_.compila());
      l.lock();
      cv_.wait_for(l, kPeriodo, [this] { return basta_; });
    }
    finito_ = true;
    cv_.notify_all();
  }

  sorgenti& s_;
  server_anteprima& server_;
  std::mutex m_;
  std::condition_variable cv_;
  bool basta_ = false, finito_ = false;
  std::thread t_;
};

bool leggi_porta(const std::string& t, uint16_t& porta) {
  unsigned v = 0;
  const auto r = std::from_chars(t.data(), t.data() + t.size(), v);
  if (r.ec != std::errc() || r.ptr != t.data() + t.size() || v > 65535) return false;
  porta = static_cast<uint16_t>(v);
  return true;
}

int servi(sorgenti& s, uint16_t porta) {
  server_anteprima::impostazioni imp;
  imp.porta = porta;
  imp.pagina = pagina_anteprima();
  if (!nuova_chiave(imp.chiave)) {
    std::fprintf(stderr, "scenario preview: il sistema non dà byte casuali per la chiave\n");
    return kUscitaFallita;
  }
  server_anteprima server;
  std::string motivo;
  if (!server.apri(imp, motivo)) {
    std::fprintf(stderr, "scenario preview: %s\n", motivo.c_str());
    return kUscitaFallita;
  }
  s.cambiate();
  server.pubblica(s.compila());
  std::printf("Anteprima di %s, treno %s: http://127.0.0.1:%u/?t=%s\n", s.linea.c_str(),
              s.treno.c_str(), static_cast<unsigned>(server.porta()), imp.chiave.c_str());
  std::printf("Si aggiorna a ogni salvataggio dei sorgenti; Ctrl-C la ferma.\n");
  std::fflush(stdout);
  interruzione::trattieni();
  osservatore o(s, server);
  server.esegui(kPeriodo, [&] {
    if (interruzione::chiesta()) server.ferma();
  });
  const bool fermo = o.ferma(kAttesaFine);
  std::printf("Anteprima fermata.\n");
  std::fflush(stdout);
  if (!fermo) std::_Exit(kUscitaOk);
  return kUscitaOk;
}

}  // namespace

int comando_preview(const argomenti& a) {
  argomenti_letti l;
  if (int s = leggi_argomenti(
          "preview", a, {{"--port", "un numero di porta"}, {"--utf8"}, {"--map", "una mappa"}}, 3,
          "SRCDIR ROUTE TRAIN", l);
      s >= 0)
    return s;
  sorgenti s;
  s.utf8 = l.ha("--utf8");
  s.linea = l.posizionali[1];
  s.treno = l.posizionali[2];
  if (int n = nomi_scenario("preview", s.linea, s.treno); n >= 0) return n;
  uint16_t porta = 0;
  if (l.ha("--port") && !leggi_porta(l.valore("--port"), porta))
    return errore_uso("preview", "--port vuole un numero da 0 a 65535");
  // Absolute, so that the page's links open the files from anywhere.
  s.cartella = file::assoluto(l.posizionali[0]);
  s.nome[0] = file::percorso(s.cartella, formato::nome_sorgente_linea(s.linea));
  s.nome[1] = file::percorso(s.cartella, formato::nome_sorgente_treno(s.linea, s.treno));
  bozza::binari_mappa binari;
  if (l.ha("--map")) {
    std::string motivo;
    if (!bozza::leggi_binari(l.valore("--map"), binari, motivo)) {
      std::fprintf(stderr, "scenario preview: %s\n", motivo.c_str());
      return kUscitaFallita;
    }
    s.binari = &binari;
  }
  return servi(s, porta);
}
