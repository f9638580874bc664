#include "tool/server/anteprima/server_http.h"

#include <array>
#include <boost/asio.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <deque>
#include <optional>
#include <set>

namespace net = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
using tcp = net::ip::tcp;

namespace {

// A request is a GET of a few hundred bytes: far more than that is no
// browser's, and is refused before it is read whole.
constexpr size_t kIntestazioneMassima = 8192;
constexpr size_t kCorpoMassimo = 4096;
constexpr size_t kConnessioniMassime = 32;
constexpr auto kAttesaRichiesta = std::chrono::seconds(15);
// A refused request is read on for this long before the connection goes, so
// that the client sees the answer rather than a reset.
constexpr auto kAttesaScarto = std::chrono::seconds(2);
// A comment down every event stream this often: a client gone is noticed.
constexpr auto kBattito = std::chrono::seconds(15);

using testo_condiviso = std::shared_ptr<const std::string>;

class sessione;

struct nucleo {
  // Before the io_context: the sessions it still holds when it goes count down here.
  size_t connessioni = 0;
  net::io_context ioc{1};
  tcp::acceptor accettore{ioc};
  net::steady_timer orologio{ioc};
  server_anteprima::impostazioni imp;
  std::string host_ip, host_nome;  // "127.0.0.1:PORT", "localhost:PORT"
  testo_condiviso dati = std::make_shared<const std::string>("{}");
  std::set<std::shared_ptr<sessione>> flussi;
  std::chrono::steady_clock::time_point ultimo_battito = std::chrono::steady_clock::now();
  bool fermo = false;

  ~nucleo() { flussi.clear(); }
};

enum class rotta { pagina, dati, eventi };

struct esame {
  http::status stato = http::status::ok;
  rotta r = rotta::pagina;
  const char* perche = "";
};

// Equal texts in a time that does not depend on where they differ.
bool uguali(std::string_view a, std::string_view b) {
  if (b.empty()) return false;
  unsigned char d = a.size() == b.size() ? 0 : 1;
  for (size_t i = 0; i < a.size(); ++i) d |= static_cast<unsigned char>(a[i] ^ b[i % b.size()]);
  return d == 0;
}

// The value of parameter t in the query, "" when it is not there.
std::string_view chiave_di(std::string_view query) {
  while (!query.empty()) {
    const size_t e = query.find('&');
    const std::string_view p = query.substr(0, e);
    if (p.substr(0, 2) == "t=") return p.substr(2);
    if (e == std::string_view::npos) break;
    query.remove_prefix(e + 1);
  }
  return {};
}

// The Host first (a page elsewhere that reached here by a name of its own
// shows it), then the key, the method and the route.
esame esamina(const http::request<http::string_body>& q, const nucleo& n) {
  const std::string_view host = q[http::field::host];
  if (q.count(http::field::host) != 1 || (host != n.host_ip && !beast::iequals(host, n.host_nome)))
    return {http::status::forbidden, rotta::pagina, "host non ammesso"};
  const std::string_view bersaglio = q.target();
  const size_t domanda = bersaglio.find('?');
  const std::string_view percorso = bersaglio.substr(0, domanda);
  const std::string_view query =
      domanda == std::string_view::npos ? std::string_view() : bersaglio.substr(domanda + 1);
  if (!uguali(chiave_di(query), n.imp.chiave))
    return {http::status::forbidden, rotta::pagina, "chiave mancante o errata"};
  if (q.method() != http::verb::get)
    return {http::status::method_not_allowed, rotta::pagina, "metodo non ammesso: solo GET"};
  if (percorso == "/") return {http::status::ok, rotta::pagina, ""};
  if (percorso == "/dati") return {http::status::ok, rotta::dati, ""};
  if (percorso == "/eventi") return {http::status::ok, rotta::eventi, ""};
  return {http::status::not_found, rotta::pagina, "non trovato"};
}

using risposta = http::response<http::string_body>;

// The page loads nothing and talks only to this server.
constexpr const char* kPoliticaPagina =
    "default-src 'none'; script-src 'unsafe-inline'; style-src 'unsafe-inline'; "
    "connect-src 'self'; img-src 'self' data:; base-uri 'none'; form-action 'none'; "
    "frame-ancestors 'none'";

std::shared_ptr<risposta> crea_risposta(http::status st, unsigned versione, const char* tipo,
                                        std::string corpo) {
  auto r = std::make_shared<risposta>(st, versione);
  r->set(http::field::content_type, tipo);
  r->set(http::field::cache_control, "no-store");
  r->set("X-Content-Type-Options", "nosniff");
  r->set("Referrer-Policy", "no-referrer");
  r->set("X-Frame-Options", "DENY");
  r->body() = std::move(corpo);
  r->prepare_payload();
  return r;
}

class sessione : public std::enable_shared_from_this<sessione> {
 public:
  sessione(tcp::socket s, nucleo& n) : stream_(std::move(s)), n_(n) { ++n_.connessioni; }
  ~sessione() { --n_.connessioni; }
  void leggi();
  // One event down this stream; a client that lags gets only the newest.
  void spingi(const testo_condiviso& t);
  void chiudi();

 private:
  void letta(beast::error_code ec);
  void servi(const http::request<http::string_body>& q);
  void scrivi(const std::shared_ptr<risposta>& r, bool resta);
  void rifiuta(http::status st, unsigned versione, const char* perche);
  void scarta();
  void apri_flusso();
  void ascolta_flusso();
  void scrivi_coda();

  beast::tcp_stream stream_;
  beast::flat_buffer buffer_{2 * kIntestazioneMassima};
  std::optional<http::request_parser<http::string_body>> parser_;
  nucleo& n_;
  std::deque<testo_condiviso> coda_;
  bool scrive_ = false;
  std::array<char, 1024> scarto_{};
};

void sessione::leggi() {
  parser_.emplace();
  parser_->header_limit(kIntestazioneMassima);
  parser_->body_limit(kCorpoMassimo);
  stream_.expires_after(kAttesaRichiesta);
  http::async_read(stream_, buffer_, *parser_,
                   [self = shared_from_this()](beast::error_code ec, size_t) { self->letta(ec); });
}

void sessione::letta(beast::error_code ec) {
  if (n_.fermo) return;
  if (ec == http::error::header_limit || ec == http::error::buffer_overflow)
    return rifiuta(http::status::request_header_fields_too_large, 11, "richiesta troppo grande");
  if (ec == http::error::body_limit)
    return rifiuta(http::status::payload_too_large, 11, "richiesta troppo grande");
  if (ec == http::error::end_of_stream || ec == beast::error::timeout ||
      ec == net::error::operation_aborted || ec == net::error::connection_reset ||
      ec == net::error::eof)
    return chiudi();
  if (ec) return rifiuta(http::status::bad_request, 11, "richiesta non valida");
  servi(parser_->get());
}

void sessione::servi(const http::request<http::string_body>& q) {
  const esame e = esamina(q, n_);
  if (e.stato != http::status::ok) return rifiuta(e.stato, q.version(), e.perche);
  switch (e.r) {
    case rotta::pagina: {
      auto r = crea_risposta(http::status::ok, q.version(), "text/html; charset=utf-8",
                             std::string(n_.imp.pagina));
      r->set("Content-Security-Policy", kPoliticaPagina);
      return scrivi(r, q.keep_alive());
    }
    case rotta::dati:
      return scrivi(
          crea_risposta(http::status::ok, q.version(), "application/json; charset=utf-8", *n_.dati),
          q.keep_alive());
    case rotta::eventi:
      return apri_flusso();
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
void sessione::rifiuta(http::status st, unsigned versione, const char* perche) {
  auto r = crea_risposta(st, versione, "text/plain; charset=utf-8", std::string(perche) + "\n");
  r->keep_alive(false);
  http::async_write(stream_, *r, [self = shared_from_this(), r](beast::error_code ec, size_t) {
    if (ec) return self->chiudi();
    beast::error_code ignora;
    self->stream_.socket().shutdown(tcp::socket::shutdown_send, ignora);
    self->stream_.expires_after(kAttesaScarto);
    self->scarta();
  });
}

void sessione::scarta() {
  stream_.async_read_some(net::buffer(scarto_),
                          [self = shared_from_this()](beast::error_code ec, size_t) {
                            if (ec) return self->chiudi();
                            self->scarta();
                          });
}

void sessione::chiudi() {
  n_.flussi.erase(shared_from_this());
  beast::error_code ignora;
  stream_.socket().shutdown(tcp::socket::shutdown_both, ignora);
  stream_.socket().close(ignora);
}

// The stream's head, then events as they come. The body runs to the end of
// the connection: neither a length nor chunks.
void sessione::apri_flusso() {
  stream_.expires_never();
  n_.flussi.insert(shared_from_this());
  spingi(std::make_shared<const std::string>(
      "HTTP/1.1 200 OK\r\nContent-Type: text/event-stream; charset=utf-8\r\n"
      "Cache-Control: no-store\r\nX-Content-Type-Options: nosniff\r\nConnection: close\r\n\r\n"
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

void accetta(nucleo& n) {
  n.accettore.async_accept([&n](beast::error_code ec, tcp::socket s) {
    if (ec || n.fermo) return;
    // Beyond the bound a connection is closed at once; those open go on.
    if (n.connessioni >= kConnessioniMassime) {
      beast::error_code ignora;
      s.close(ignora);
    } else {
      std::make_shared<sessione>(std::move(s), n)->leggi();
    }
    accetta(n);
  });
}

void a_tutti(nucleo& n, const testo_condiviso& t) {
  // A copy: a failed write takes its stream out of the set.
  const std::vector<std::shared_ptr<sessione>> flussi(n.flussi.begin(), n.flussi.end());
  for (const auto& f : flussi) f->spingi(t);
}

}  // namespace

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
  n.host_ip = "127.0.0.1:" + p;
  n.host_nome = "localhost:" + p;
  return true;
}

uint16_t server_anteprima::porta() const {
  beast::error_code ec;
  const tcp::endpoint e = s_->n.accettore.local_endpoint(ec);
  return ec ? 0 : e.port();
}

void server_anteprima::pubblica(std::string documento) {
  nucleo& n = s_->n;
  n.dati = std::make_shared<const std::string>(std::move(documento));
  // A document is one line of JSON: one data line.
  a_tutti(n, std::make_shared<const std::string>("event: dati\ndata: " + *n.dati + "\n\n"));
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
  n.flussi.clear();
}

void server_anteprima::ferma() {
  nucleo& n = s_->n;
  n.fermo = true;
  beast::error_code ignora;
  n.accettore.close(ignora);
  n.orologio.cancel();
  n.ioc.stop();
}
