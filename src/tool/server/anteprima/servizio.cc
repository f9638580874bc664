#include "tool/server/anteprima/servizio.h"

#include <atomic>
#include <charconv>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#include "model/regole.h"
#include "platform/file.h"
#include "platform/osservazione.h"
#include "platform/testo.h"
#include "tool/bozza/bozza.h"
#include "tool/compilazione/compila.h"
#include "tool/comune/json.h"
#include "tool/disegno/documento.h"
#include "tool/disegno/pagina.h"
#include "tool/pacchetto/pacchetto.h"
#include "tool/server/anteprima/server_http.h"

namespace {

// How often the sources are looked at: a save shows in the page well within
// a second.
constexpr std::chrono::milliseconds kPeriodo(50);
// After a change the contents are compared for this many periods (2 s).
constexpr int kRiletture = 40;
// How long the end of the server waits for a compile under way.
constexpr auto kAttesaFine = std::chrono::milliseconds(300);
// The page's undo goes back this many edits.
constexpr size_t kPassiAnnullabili = 100;

// The two sources as last compiled, and what told they had changed.
struct sorgenti {
  std::string cartella, linea, treno;
  bool utf8 = false;  // the sources are UTF-8, made Windows-1252 for each compile
  std::function<bool(int, sorgente_aperta&)> aperta;
  std::string nome[2];
  file::impronta impronta[2];
  std::string testo[2];
  file::lettura letto[2];
  long long versione_editor[2] = {-1, -1};
  int64_t versione = 0;
  // Looks at the contents this many more times whatever the stamps say: a
  // second save of the same size within the clock's step after a first one
  // leaves the stamp as it was.
  int rileggi = 0;

  // Source k from the editor that holds it open, if one does; `diversa`
  // when its version is not the one compiled.
  bool dall_editor(int k, bool& diversa) {
    sorgente_aperta a;
    if (!aperta || !aperta(k, a)) {
      // Closed: its file is read again, whatever its stamp.
      if (versione_editor[k] >= 0) impronta[k] = {};
      versione_editor[k] = -1;
      return false;
    }
    diversa = versione == 0 || versione_editor[k] != a.versione;
    if (!diversa) return true;
    testo[k] = std::move(a.testo);
    letto[k] = {};
    letto[k].esito = file::esito_lettura::letto;
    versione_editor[k] = a.versione;
    return true;
  }

  // True when either source now differs from what was last compiled. A
  // source is read here, bounded and without waiting on what stands at its
  // name; the compile never reads one itself but a missing one (to say so).
  bool cambiate() {
    bool diverse = false;
    for (int k = 0; k < 2; ++k) {
      bool d = false;
      if (dall_editor(k, d)) {
        diverse = diverse || d;
        continue;
      }
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

  // With a map: its rails, and where the line source puts its plan (drawn
  // again only when that moves).
  const bozza::binari_mappa* binari = nullptr;
  int posto_noto = -1;  // -1 before the first compile
  bozza::posto_mappa posto;
  linee_sotto sotto;

  // The rails on the plan's plane, as the line source now places it; null
  // when there is no map or the source does not say where. `registro` hears
  // when that changes.
  const linee_sotto* rotaie(const std::function<void(const std::string&)>& registro) {
    if (!binari) return nullptr;
    bozza::posto_mappa p;
    const bool noto =
        letto[0].esito == file::esito_lettura::letto && bozza::posto_da_sorgente(testo[0], p);
    if (registro && noto && posto_noto != 1) registro("La mappa si disegna sotto la linea.");
    if (registro && !noto && posto_noto != 0)
      registro(std::string("Il sorgente della linea non dice dove sta sulla mappa (righe «") +
               bozza::kChiaveOrigine + "» e «" + bozza::kChiaveRotta +
               "»): la mappa non si disegna.");
    if (noto &&
        (posto_noto != 1 || p.lat != posto.lat || p.lon != posto.lon || p.rotta != posto.rotta))
      sotto = bozza::binari_nel_piano(*binari, p);
    posto_noto = noto;
    posto = p;
    return noto ? &sotto : nullptr;
  }

  // What a compile showed, for the edits that refer to it.
  void mostrato(stato_mostrato& m, int64_t v, std::vector<voce_letta> voci) const {
    m.s.versione = v;
    m.s.voci = std::move(voci);
    for (size_t k = 0; k < 2; ++k) {
      m.s.file[k] = nome[k];
      m.s.letto[k] = letto[k].esito == file::esito_lettura::letto;
      m.byte[k] = m.s.letto[k] ? testo[k] : std::string();
      m.s.testo[k] = utf8 ? testo::a_1252(m.byte[k]) : m.byte[k];
      m.versione_editor[k] = versione_editor[k];
    }
  }
};

std::string riga_compilazione(const esito_compilazione& e, int64_t versione, long long ms) {
  const int32_t c = regole::codice_rimasto(e.codice_fatale, e.codice_errore);
  const std::string esito = c                     ? "errore " + std::to_string(c)
                            : e.errore_io.empty() ? "nessun errore"
                                                  : e.errore_io;
  return "versione " + std::to_string(versione) + ": " + esito + ", " +
         std::to_string(e.avvisi.size()) + (e.avvisi.size() == 1 ? " avviso" : " avvisi") + " (" +
         std::to_string(ms) + " ms)";
}

// The value of parameter `nome` in a query; false when it is not there.
bool parametro(std::string_view query, std::string_view nome, std::string_view& valore) {
  while (!query.empty()) {
    const size_t e = query.find('&');
    const std::string_view p = query.substr(0, e);
    if (p.size() > nome.size() && p.substr(0, nome.size()) == nome && p[nome.size()] == '=')
      return valore = p.substr(nome.size() + 1), true;
    if (e == std::string_view::npos) break;
    query.remove_prefix(e + 1);
  }
  return false;
}

}  // namespace

struct servizio_anteprima::stato {
  impostazioni_anteprima imp;
  sorgenti src;
  server_anteprima server;
  std::string chiave;
  // What the page was last sent, for its edits.
  std::mutex m_mostrato;
  stato_mostrato mostrato;
  std::vector<regole::tratto_km> tratti;  // of the last compile that read a table
  int32_t codice = 0;                     // the code the last compile left
  // The watch's thread.
  std::mutex m;
  std::condition_variable cv;
  bool basta = false, finito = false, svegliato = false;
  std::thread t;
  std::atomic<bool> da_fermare{false};
  bool abbandonato = false;

  std::string campo_modifica() const {
    if (!imp.scrittore) return "\"modifica\":null,";
    return std::string("\"modifica\":{\"modo\":\"") + imp.scrittore->modo() +
           "\",\"annullabili\":" + std::to_string(imp.scrittore->annullabili()) +
           ",\"pacchetto\":" +
           (imp.cartella_pacchetto.empty() ? "null" : json_testo(imp.cartella_pacchetto)) + "},";
  }

  void compila_e_pubblica() {
    const auto inizio = std::chrono::steady_clock::now();
    esito_compilazione e = src.compilazione();
    const int64_t v = ++src.versione;
    std::string d = documento_anteprima(e, src.linea, src.treno, v, src.rotaie(imp.registro));
    d.insert(1, campo_modifica());
    {
      std::lock_guard<std::mutex> l(m_mostrato);
      tratti = regole::tratti_km(e.tabella_linea);
      codice = regole::codice_rimasto(e.codice_fatale, e.codice_errore);
      src.mostrato(mostrato, v, std::move(e.voci));
    }
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                        std::chrono::steady_clock::now() - inizio)
                        .count();
    if (imp.registro) imp.registro(riga_compilazione(e, v, static_cast<long long>(ms)));
    server.pubblica(std::move(d));
  }

  void giro() {
    std::unique_lock<std::mutex> l(m);
    while (!basta) {
      // An edit just written: its stamp may not have moved, its bytes have.
      if (std::exchange(svegliato, false)) src.rileggi = kRiletture;
      l.unlock();
      if (src.cambiate()) compila_e_pubblica();
      l.lock();
      cv.wait_for(l, kPeriodo, [this] { return basta || svegliato; });
    }
    finito = true;
    cv.notify_all();
  }

  std::string posto(std::string_view query) {
    std::string_view genere, p;
    int64_t posizione = 0;
    std::string j;
    if (!parametro(query, "genere", genere) || !parametro(query, "posizione", p)) return j;
    const auto r = std::from_chars(p.data(), p.data() + p.size(), posizione);
    if (r.ec != std::errc() || r.ptr != p.data() + p.size()) return j;
    std::lock_guard<std::mutex> l(m_mostrato);
    if (!posto_json(genere, posizione, tratti, j)) j.clear();
    return j;
  }

  void modifica(const std::string& corpo, const server_anteprima::risposta& r);

  // The six files from the sources on the disk, as `scenario pack` writes them.
  void pacchetto(const std::function<void(int, const std::string&)>& rispondi) {
    const std::string& dove = imp.cartella_pacchetto;
    if (dove.empty())
      return rispondi(403, "questa anteprima non scrive il pacchetto: scenario pack lo scrive");
    esito_compilazione e;
    auto p = pacchetto::componi({imp.cartella, imp.linea, imp.treno, imp.utf8}, e);
    riuscita w = p ? pacchetto::scrivi_cartella(dove, *p) : riuscita(p.errore());
    if (!w) {
      // The compile's message without its source line and caret.
      const std::string m = w.errore().messaggio();
      return rispondi(stato_http(w.errore()), m.substr(0, m.find('\n')) + "; nessun file scritto");
    }
    std::string nomi;
    for (const pacchetto::file_pacchetto& f : *p) nomi += (nomi.empty() ? "" : ", ") + f.nome;
    rispondi(200, "pacchetto scritto in " + dove + ": " + nomi);
  }
};

void servizio_anteprima::stato::modifica(const std::string& corpo,
                                         const server_anteprima::risposta& r) {
  auto rispondi = [r](int st, const std::string& perche) {
    r(st, "{\"messaggio\":" + json_testo(perche) + "}");
  };
  if (!imp.scrittore)
    return rispondi(403,
                    "questa anteprima mostra soltanto: per modificare dalla pagina va avviata con "
                    "--edit, o dall'editor");
  intento i;
  rifiuto x;
  if (!leggi_intento(corpo, i, x)) return rispondi(x.stato, x.perche);
  esito_modifica fatto = [this, rispondi](int st, const std::string& perche) {
    if (st == 200) {
      std::lock_guard<std::mutex> l(m);
      svegliato = true;
      cv.notify_all();
    }
    rispondi(st, perche);
  };
  if (i.genere == genere_intento::annulla) return imp.scrittore->annulla(fatto);
  if (i.genere == genere_intento::pacchetto) return pacchetto(rispondi);
  std::lock_guard<std::mutex> l(m_mostrato);
  ::modifica m;
  if (!prepara_modifica(i, mostrato.s, m, x)) return rispondi(x.stato, x.perche);
  // Never a line that will not compile: the edited sources compiled first.
  if (!compila_modifica(m, mostrato.s, codice,
                        compilazione_anteprima(imp.cartella, imp.linea, imp.treno), x))
    return rispondi(x.stato, x.perche);
  imp.scrittore->applica(m, mostrato, fatto);
}

servizio_anteprima::servizio_anteprima(impostazioni_anteprima i) : s_(std::make_unique<stato>()) {
  s_->imp = std::move(i);
  sorgenti& s = s_->src;
  s.cartella = s_->imp.cartella;
  s.linea = s_->imp.linea;
  s.treno = s_->imp.treno;
  s.utf8 = s_->imp.utf8;
  s.aperta = s_->imp.aperta;
  s.binari = s_->imp.binari;
  s.nome[0] = file::percorso(s.cartella, formato::nome_sorgente_linea(s.linea));
  s.nome[1] = file::percorso(s.cartella, formato::nome_sorgente_treno(s.linea, s.treno));
}

servizio_anteprima::~servizio_anteprima() {
  // A compile that never ended keeps its state: the program ends without it.
  if (s_->abbandonato) (void)s_.release();
}

bool servizio_anteprima::apri(std::string& motivo) {
  stato& s = *s_;
  if (!nuova_chiave(s.chiave)) {
    motivo = "il sistema non dà byte casuali per la chiave";
    return false;
  }
  server_anteprima::impostazioni imp;
  imp.porta = s.imp.porta;
  imp.chiave = s.chiave;
  imp.pagina = pagina_anteprima();
  imp.posto = [&s](std::string_view q) { return s.posto(q); };
  imp.modifica = [&s](std::string corpo, server_anteprima::risposta r) { s.modifica(corpo, r); };
  if (!s.server.apri(imp, motivo)) return false;
  s.src.cambiate();
  s.compila_e_pubblica();
  return true;
}

std::string servizio_anteprima::indirizzo() const {
  return "http://127.0.0.1:" + std::to_string(s_->server.porta()) + "/?t=" + s_->chiave;
}

const std::string& servizio_anteprima::nome(int k) const {
  return s_->src.nome[k];
}

bool servizio_anteprima::esegui(const std::function<void()>& ogni) {
  stato& s = *s_;
  s.t = std::thread([&s] { s.giro(); });
  s.server.esegui(kPeriodo, [&] {
    if (ogni) ogni();
    if (s.da_fermare) s.server.ferma();
  });
  std::unique_lock<std::mutex> l(s.m);
  s.basta = true;
  s.cv.notify_all();
  if (!s.cv.wait_for(l, kAttesaFine, [&s] { return s.finito; })) {
    s.t.detach();
    s.abbandonato = true;
    return false;
  }
  l.unlock();
  s.t.join();
  return true;
}

void servizio_anteprima::ferma() {
  s_->da_fermare = true;
}

void servizio_anteprima::sveglia() {
  std::lock_guard<std::mutex> l(s_->m);
  s_->svegliato = true;
  s_->cv.notify_all();
}

namespace {

class modifiche_su_disco : public scrittore_sorgenti {
 public:
  explicit modifiche_su_disco(bool utf8) : utf8_(utf8) {}
  const char* modo() const override { return "disco"; }

  void applica(const modifica& m, const stato_mostrato& x, esito_modifica fatto) override {
    const auto k = static_cast<size_t>(m.file);
    std::lock_guard<std::mutex> l(m_);
    std::string ora;
    const std::string& nome = x.s.file[k];
    const std::string cambiato =
        nome + " è cambiato sul disco dopo la versione che la pagina mostra";
    if (!x.s.letto[k] || !uguale_sul_disco(nome, x.byte[k], ora)) return fatto(409, cambiato);
    std::string nuovo = applica_righe(
        ora, m.righe,
        utf8_ ? conversione([](std::string_view t) { return testo::da_1252(t); }) : conversione());
    if (!scrivi(nome, ora, nuovo, cambiato, fatto)) return;
    passi_.push_back({nome, std::move(ora), std::move(nuovo), m.descrizione});
    if (passi_.size() > kPassiAnnullabili) passi_.erase(passi_.begin());
    fatto(200, m.descrizione);
  }

  int annullabili() const override {
    std::lock_guard<std::mutex> l(m_);
    return static_cast<int>(passi_.size());
  }

  void annulla(esito_modifica fatto) override {
    std::lock_guard<std::mutex> l(m_);
    if (passi_.empty()) return fatto(409, "nessuna modifica della pagina da annullare");
    const passo& p = passi_.back();
    const std::string cambiato =
        p.file + " è cambiato dopo l'ultima modifica della pagina: si annulla nell'editor";
    if (!scrivi(p.file, p.dopo, p.prima, cambiato, fatto)) return;
    const std::string d = "annullata: " + p.descrizione;
    passi_.pop_back();
    fatto(200, d);
  }

 private:
  struct passo {
    std::string file, prima, dopo, descrizione;
  };

  static bool uguale_sul_disco(const std::string& nome, const std::string& atteso,
                               std::string& ora) {
    const file::lettura l = file::leggi_al_piu(nome, kSorgenteMassimo, ora);
    return l.esito == file::esito_lettura::letto && ora == atteso;
  }

  // The file whole, only over the bytes `prima`: another program's save that
  // lands meanwhile is kept, and the edit refused with `cambiato`.
  static bool scrivi(const std::string& nome, const std::string& prima, const std::string& dati,
                     const std::string& cambiato, const esito_modifica& fatto) {
    try {
      if (file::sostituisci_se(nome, prima, dati)) return true;
      fatto(409, cambiato);
    } catch (const std::exception& e) {
      fatto(500, std::string("scrittura non riuscita: ") + e.what());
    }
    return false;
  }

  bool utf8_;
  mutable std::mutex m_;
  std::vector<passo> passi_;
};

}  // namespace

std::unique_ptr<scrittore_sorgenti> scrittore_disco(bool utf8) {
  return std::make_unique<modifiche_su_disco>(utf8);
}
