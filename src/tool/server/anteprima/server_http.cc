#include "tool/server/anteprima/server_http.h"

#include <array>
#include <boost/asio.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <deque>
#include <map>
#include <optional>
#include <vector>

#include "platform/casuale.h"

namespace net = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
using tcp = net::ip::tcp;

namespace {

// A request is a GET of a few hundred bytes: far more than that is no
// browser's, and is refused before it is read whole.
constexpr size_t kIntestazioneMassima = 8192;
constexpr size_t kCorpoMassimo = 4096;
// Connections that have shown the key (the author's browser needs a few).
constexpr size_t kConnessioniMassime = 32;
// Connections that have not, or not yet: anyone on the machine can open
// them, so they get a small budget of their own, and a new one closes the
// oldest rather than being turned away.
constexpr size_t kAnonimeMassime = 8;
// Event streams (each page holds one); a new one closes the oldest.
constexpr size_t kFlussiMassimi = 8;
// A connection must bring a whole request this soon (a browser sends it at
// once); one that has shown the key may wait longer for its next request.
constexpr auto kAttesaIntestazione = std::chrono::seconds(3);
constexpr auto kAttesaRichiesta = std::chrono::seconds(15);
// A refused request is read on for this long before the connection goes, so
// that the client sees the answer rather than a reset.
constexpr auto kAttesaScarto = std::chrono::seconds(2);
// How long an edit may wait for its answer (an editor applying it).
constexpr auto kAttesaModifica = std::chrono::seconds(10);
// A comment down every event stream this often: a client gone is noticed.
constexpr auto kBattito = std::chrono::seconds(15);
// After a failed accept (no descriptors left, say), the next one is tried then.
constexpr auto kRiprovaAccetta = std::chrono::milliseconds(100);
// Connections without the key are closed to make room at most this often.
constexpr auto kPassoSgombero = std::chrono::milliseconds(1);

using testo_condiviso = std::shared_ptr<const std::string>;
using richiesta = http::request<http::string_body>;

class sessione;

// Sessions by order of arrival, in the budget they count in.
using conti = std::map<uint64_t, sessione*>;

struct nucleo {
  // Before the io_context: the sessions it still holds when it goes take
  // themselves out of these.
  conti anonime, con_chiave, flussi;
  uint64_t arrivi = 0;
  net::io_context ioc{1};
  tcp::acceptor accettore{ioc};
  net::steady_timer orologio{ioc}, riprova{ioc};
  server_anteprima::impostazioni imp;
  regole_http regole;
  testo_condiviso dati = std::make_shared<const std::string>("{}");
  std::chrono::steady_clock::time_point ultimo_battito = std::chrono::steady_clock::now();
  bool fermo = false;
};

void limiti(http::request_parser<http::string_body>& p) {
  p.header_limit(kIntestazioneMassima);
  p.body_limit(kCorpoMassimo);
}

// The answer to a read that failed; 0 when there is none to give (the
// client went, or took too long).
int stato_guasto(beast::error_code ec) {
  if (ec == http::error::header_limit || ec == http::error::buffer_overflow) return 431;
  if (ec == http::error::body_limit) return 413;
  if (ec == http::error::end_of_stream || ec == beast::error::timeout ||
      ec == net::error::operation_aborted || ec == net::error::connection_reset ||
      ec == net::error::eof)
    return 0;
  return 400;
}

esame_http esamina_richiesta(const richiesta& q, const regole_http& r) {
  richiesta_http h;
  h.metodo = q.method_string();
  h.bersaglio = q.target();
  for (auto [i, fine] = q.equal_range(http::field::host); i != fine; ++i)
    h.host.push_back(i->value());
  for (auto [i, fine] = q.equal_range(http::field::origin); i != fine; ++i)
    h.origine.push_back(i->value());
  h.tipo = q[http::field::content_type];
  return esamina(h, r);
}

using risposta = http::response<http::string_body>;

// The page loads nothing and talks only to this server.
constexpr const char* kPoliticaPagina =
    "default-src 'none'; script-src 'unsafe-inline'; style-src 'unsafe-inline'; "
    "connect-src 'self'; img-src 'self' data:; base-uri 'none'; form-action 'none'; "
    "frame-ancestors 'none'";

// For HEAD the body goes and its length stays, as a GET would have it.
std::shared_ptr<risposta> crea_risposta(http::status st, unsigned versione, const char* tipo,
                                        std::string corpo, bool senza_corpo) {
  auto r = std::make_shared<risposta>(st, versione);
  r->set(http::field::content_type, tipo);
  r->set(http::field::cache_control, "no-store");
  r->set("X-Content-Type-Options", "nosniff");
  r->set("Referrer-Policy", "no-referrer");
  r->set("X-Frame-Options", "DENY");
  r->body() = std::move(corpo);
  r->prepare_payload();
  if (senza_corpo) r->body().clear();
  return r;
}

constexpr const char* kTestaFlusso =
    "HTTP/1.1 200 OK\r\nContent-Type: text/event-stream; charset=utf-8\r\n"
    "Cache-Control: no-store\r\nX-Content-Type-Options: nosniff\r\nConnection: close\r\n\r\n";

class sessione : public std::enable_shared_from_this<sessione> {
 public:
  sessione(tcp::socket s, nucleo& n) : stream_(std::move(s)), n_(n), numero_(++n.arrivi) {
    entra(n_.anonime);
  }
  ~sessione() { esci(); }
  void leggi();
  // One event down this stream; a client that lags gets only the newest.
  void spingi(const testo_condiviso& t);
  void chiudi();

 private:
  void letta(beast::error_code ec);
  void servi(const richiesta& q);
  void scrivi(const std::shared_ptr<risposta>& r, bool resta);
  void rifiuta(int stato, unsigned versione, const char* perche, bool senza_corpo = false,
               const char* ammessi = kMetodiAmmessi);
  void posto(const richiesta& q, bool senza_corpo);
  void modifica(const richiesta& q);
  void rispondi_dopo(int stato, std::string corpo, unsigned versione, bool resta);
  void scarta();
  void apri_flusso();
  void ascolta_flusso();
  void scrivi_coda();
  // Moves the session into a budget, closing the oldest there when it is full.
  void entra(conti& c);
  void esci();
  void mostra_chiave();

  beast::tcp_stream stream_;
  beast::flat_buffer buffer_{2 * kIntestazioneMassima};
  std::optional<http::request_parser<http::string_body>> parser_;
  nucleo& n_;
  const uint64_t numero_;
  conti* conto_ = nullptr;
  std::deque<testo_condiviso> coda_;
  bool scrive_ = false;
  std::array<char, 1024> scarto_{};
  net::steady_timer attesa_{stream_.get_executor()};
  bool in_attesa_ = false;
};

void sessione::entra(conti& c) {
  esci();
  const size_t massimo = &c == &n_.anonime  ? kAnonimeMassime
                         : &c == &n_.flussi ? kFlussiMassimi
                                            : kConnessioniMassime - n_.flussi.size();
  while (!c.empty() && c.size() >= massimo) c.begin()->second->chiudi();
  c[numero_] = this;
  conto_ = &c;
}

void sessione::esci() {
  if (conto_) conto_->erase(numero_);
  conto_ = nullptr;
}

void sessione::mostra_chiave() {
  if (conto_ == &n_.anonime) entra(n_.con_chiave);
}

void sessione::leggi() {
  parser_.emplace();
  limiti(*parser_);
  stream_.expires_after(conto_ == &n_.anonime ? kAttesaIntestazione : kAttesaRichiesta);
  http::async_read(stream_, buffer_, *parser_,
                   [self = shared_from_this()](beast::error_code ec, size_t) { self->letta(ec); });
}

void sessione::letta(beast::error_code ec) {
  if (n_.fermo || !conto_) return;
  if (!ec) return servi(parser_->get());
  const int stato = stato_guasto(ec);
  if (stato == 0) return chiudi();
  rifiuta(stato, 11, stato == 400 ? "richiesta non valida" : "richiesta troppo grande");
}

void sessione::servi(const richiesta& q) {
  const esame_http e = esamina_richiesta(q, n_.regole);
  if (e.chiave) mostra_chiave();
  if (e.stato != 200) return rifiuta(e.stato, q.version(), e.perche, e.senza_corpo, e.ammessi);
  switch (e.rotta) {
    case rotta_http::pagina: {
      auto r = crea_risposta(http::status::ok, q.version(), "text/html; charset=utf-8",
                             std::string(n_.imp.pagina), e.senza_corpo);
      r->set("Content-Security-Policy", kPoliticaPagina);
      return scrivi(r, q.keep_alive());
    }
    case rotta_http::dati:
      return scrivi(crea_risposta(http::status::ok, q.version(), "application/json; charset=utf-8",
                                  *n_.dati, e.senza_corpo),
                    q.keep_alive());
    case rotta_http::posto:
      return posto(q, e.senza_corpo);
    case rotta_http::modifica:
      return modifica(q);
    case rotta_http::eventi:
      if (!e.senza_corpo) return apri_flusso();
      // The stream's head alone.
      auto t = std::make_shared<const std::string>(kTestaFlusso);
      return net::async_write(
          stream_, net::buffer(*t),
          [self = shared_from_this(), t](beast::error_code, size_t) { self->chiudi(); });
  }
}

void sessione::scrivi(const std::shared_ptr<risposta>& r, bool resta) {
  r->keep_alive(resta);
  http::async_write(stream_, *r,
                    [self = shared_from_this(), r, resta](beast::error_code ec, size_t) {
                      if (ec || !resta) return self->chiudi();
                      self->leggi();
                    });
}

// An answer, then nothing more from this connection: what the client still
// sends is read and dropped for a while, so that it is not reset before it
// has read the answer.
void sessione::rifiuta(int stato, unsigned versione, const char* perche, bool senza_corpo,
                       const char* ammessi) {
  auto r = crea_risposta(static_cast<http::status>(stato), versione, "text/plain; charset=utf-8",
                         std::string(perche) + "\n", senza_corpo);
  if (stato == 405) r->set(http::field::allow, ammessi);
  r->keep_alive(false);
  http::async_write(stream_, *r, [self = shared_from_this(), r](beast::error_code ec, size_t) {
    if (ec) return self->chiudi();
    beast::error_code ignora;
    self->stream_.socket().shutdown(tcp::socket::shutdown_send, ignora);
    self->stream_.expires_after(kAttesaScarto);
    self->scarta();
  });
}

void sessione::posto(const richiesta& q, bool senza_corpo) {
  const std::string_view t = q.target();
  const size_t d = t.find('?');
  std::string j = n_.imp.posto ? n_.imp.posto(d == std::string_view::npos ? "" : t.substr(d + 1))
                               : std::string();
  if (j.empty()) return rifiuta(400, q.version(), "domanda non valida", senza_corpo);
  scrivi(crea_risposta(http::status::ok, q.version(), "application/json; charset=utf-8",
                       std::move(j), senza_corpo),
         q.keep_alive());
}

// The edit is handed on; its answer comes back on this thread, once, or a
// refusal when it takes too long. Nothing more is read meanwhile.
void sessione::modifica(const richiesta& q) {
  const unsigned v = q.version();
  const bool resta = q.keep_alive();
  in_attesa_ = true;
  if (!n_.imp.modifica)
    return rispondi_dopo(403, "{\"messaggio\":\"questa anteprima non modifica i sorgenti\"}", v,
                         resta);
  attesa_.expires_after(kAttesaModifica);
  attesa_.async_wait([self = shared_from_this(), v, resta](beast::error_code ec) {
    if (!ec)
      self->rispondi_dopo(
          504, "{\"messaggio\":\"nessuna risposta in tempo: modifica forse non fatta\"}", v, resta);
  });
  nucleo& n = n_;
  n_.imp.modifica(q.body(), [&n, self = shared_from_this(), v, resta](int stato, std::string j) {
    net::post(n.ioc, [self, stato, j = std::move(j), v, resta]() mutable {
      self->rispondi_dopo(stato, std::move(j), v, resta);
    });
  });
}

void sessione::rispondi_dopo(int stato, std::string corpo, unsigned versione, bool resta) {
  if (n_.fermo || !conto_ || !in_attesa_) return;
  in_attesa_ = false;
  attesa_.cancel();
  stream_.expires_after(kAttesaRichiesta);
  scrivi(crea_risposta(static_cast<http::status>(stato), versione,
                       "application/json; charset=utf-8", std::move(corpo), false),
         resta);
}

void sessione::scarta() {
  stream_.async_read_some(net::buffer(scarto_),
                          [self = shared_from_this()](beast::error_code ec, size_t) {
                            if (ec) return self->chiudi();
                            self->scarta();
                          });
}

void sessione::chiudi() {
  esci();
  beast::error_code ignora;
  stream_.socket().shutdown(tcp::socket::shutdown_both, ignora);
  stream_.socket().close(ignora);
}

// The stream's head, then events as they come. The body runs to the end of
// the connection: neither a length nor chunks.
void sessione::apri_flusso() {
  stream_.expires_never();
  entra(n_.flussi);
  spingi(std::make_shared<const std::string>(std::string(kTestaFlusso) +
                                             "retry: 1000\n: collegato\n\n"));
  ascolta_flusso();
}

// Nothing is expected from the client of a stream: a read that ends tells
// that it has gone.
void sessione::ascolta_flusso() {
  stream_.async_read_some(net::buffer(scarto_),
                          [self = shared_from_this()](beast::error_code ec, size_t) {
                            if (ec) return self->chiudi();
                            self->ascolta_flusso();
                          });
}

void sessione::spingi(const testo_condiviso& t) {
  // The one being written stays; one waiting is replaced by the newer.
  if (coda_.size() >= 2)
    coda_.back() = t;
  else
    coda_.push_back(t);
  if (!scrive_) scrivi_coda();
}

void sessione::scrivi_coda() {
  scrive_ = true;
  const testo_condiviso t = coda_.front();
  net::async_write(stream_, net::buffer(*t),
                   [self = shared_from_this(), t](beast::error_code ec, size_t) {
                     self->scrive_ = false;
                     self->coda_.pop_front();
                     if (ec) return self->chiudi();
                     if (!self->coda_.empty()) self->scrivi_coda();
                   });
}

void accetta(nucleo& n);

void accetta_dopo(nucleo& n, std::chrono::steady_clock::duration attesa) {
  n.riprova.expires_after(attesa);
  n.riprova.async_wait([&n](beast::error_code e) {
    if (!e) accetta(n);
  });
}

void accetta(nucleo& n) {
  n.accettore.async_accept([&n](beast::error_code ec, tcp::socket s) {
    if (n.fermo || ec == net::error::operation_aborted) return;
    if (ec) return accetta_dopo(n, kRiprovaAccetta);
    const bool pieno = n.anonime.size() >= kAnonimeMassime;
    std::make_shared<sessione>(std::move(s), n)->leggi();
    // A connection that took the place of another: the next waits a moment,
    // so that one reopened at once cannot close the newest in turn before
    // they have sent their request.
    if (pieno) return accetta_dopo(n, kPassoSgombero);
    accetta(n);
  });
}

void a_tutti(nucleo& n, const testo_condiviso& t) {
  // A copy: a failed write takes its stream out of the set.
  std::vector<std::shared_ptr<sessione>> flussi;
  for (const auto& [numero, f] : n.flussi) flussi.push_back(f->shared_from_this());
  for (const auto& f : flussi) f->spingi(t);
}

}  // namespace

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

esame_http esamina_byte(std::string_view byte, const regole_http& r) {
  http::request_parser<http::string_body> p;
  limiti(p);
  p.eager(true);
  beast::error_code ec;
  net::const_buffer b(byte.data(), byte.size());
  while (!p.is_done()) {
    // The head is parsed whole or not at all; the body as it comes.
    const size_t n = p.put(b, ec);
    b += n;
    if (ec == http::error::need_more && n > 0 && b.size() > 0) ec = {};
    if (ec || n == 0) break;
  }
  esame_http e;
  if (ec == http::error::need_more || (!ec && !p.is_done())) {
    e.stato = 0;
  } else if (ec) {
    e.stato = stato_guasto(ec);
    e.perche = "richiesta non valida o troppo grande";
  } else {
    e = esamina_richiesta(p.get(), r);
  }
  return e;
}

struct server_anteprima::stato {
  nucleo n;
};

server_anteprima::server_anteprima() : s_(std::make_unique<stato>()) {}
server_anteprima::~server_anteprima() = default;

bool server_anteprima::apri(const impostazioni& i, std::string& motivo) {
  nucleo& n = s_->n;
  n.imp = i;
  beast::error_code ec;
  const tcp::endpoint dove(net::ip::address_v4::loopback(), i.porta);
  n.accettore.open(dove.protocol(), ec);
  if (!ec) n.accettore.bind(dove, ec);
  if (!ec) n.accettore.listen(net::socket_base::max_listen_connections, ec);
  if (ec) {
    motivo =
        "impossibile ascoltare su 127.0.0.1:" + std::to_string(i.porta) + " (" + ec.message() + ")";
    return false;
  }
  const std::string p = std::to_string(porta());
  n.regole = {i.chiave, "127.0.0.1:" + p, "localhost:" + p};
  return true;
}

uint16_t server_anteprima::porta() const {
  beast::error_code ec;
  const tcp::endpoint e = s_->n.accettore.local_endpoint(ec);
  return ec ? 0 : e.port();
}

void server_anteprima::pubblica(std::string documento) {
  nucleo& n = s_->n;
  auto d = std::make_shared<const std::string>(std::move(documento));
  // Handed to the server's thread, which alone touches the streams.
  net::post(n.ioc, [&n, d] {
    n.dati = d;
    // A document is one line of JSON: one data line.
    a_tutti(n, std::make_shared<const std::string>("event: dati\ndata: " + *d + "\n\n"));
  });
}

void server_anteprima::esegui(std::chrono::milliseconds periodo,
                              const std::function<void()>& ogni) {
  nucleo& n = s_->n;
  const auto commento = std::make_shared<const std::string>(":\n\n");
  std::function<void()> passo = [&] {
    n.orologio.expires_after(periodo);
    n.orologio.async_wait([&](beast::error_code ec) {
      if (ec || n.fermo) return;
      ogni();
      const auto ora = std::chrono::steady_clock::now();
      if (ora - n.ultimo_battito >= kBattito) {
        n.ultimo_battito = ora;
        a_tutti(n, commento);
      }
      if (!n.fermo) passo();
    });
  };
  accetta(n);
  passo();
  n.ioc.run();
}

void server_anteprima::ferma() {
  nucleo& n = s_->n;
  n.fermo = true;
  beast::error_code ignora;
  n.accettore.close(ignora);
  n.orologio.cancel();
  n.ioc.stop();
}
