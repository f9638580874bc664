// scenario generate: a synthetic line and train of any length up to 1000 km.
//
// Every point object is laid out on a map of the track cells before any text
// is written, so that no two objects share a cell and the finishing walk finds
// a free cell wherever it has to place a check point: the files compile
// without any error code.
#include "tool/generatori/genera.h"

#include <algorithm>
#include <charconv>
#include <cstdarg>
#include <cstdio>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "model/formato.h"
#include "model/regole.h"
#include "platform/file.h"
#include "tool/comune/argomenti.h"

namespace {

namespace r = formato::rifinitura;
// In the generator's int arithmetic.
constexpr int kMetri = static_cast<int>(formato::kMetriCella);
constexpr int kMargine = static_cast<int>(formato::kOltreLaFine);
constexpr int kMontagneGenerate = formato::kMontagneMassime - 10;  // room to spare

// The generator's draws on the shared sequence. Every draw takes a number,
// even from a range of one, so a seed keeps giving the same files.
struct caso {
  regole::caso r;
  // An integer from a to b, both included.
  int tra(int a, int b) {
    return a + static_cast<int>(r.prossimo() % static_cast<uint64_t>(b - a + 1));
  }
  bool su(int percento) { return tra(0, 99) < percento; }
  // A multiple of `passo` from a to b.
  int multiplo(int a, int b, int passo) { return tra(a / passo, b / passo) * passo; }
  template <typename T, size_t N>
  const T& uno(const T (&v)[N]) {
    return v[static_cast<size_t>(tra(0, static_cast<int>(N) - 1))];
  }
};

__attribute__((format(printf, 2, 3))) void riga(std::string& s, const char* formato, ...) {
  char buf[512];
  va_list ap;
  va_start(ap, formato);
  int n = std::vsnprintf(buf, sizeof buf, formato, ap);
  va_end(ap);
  if (n > 0) s.append(buf, std::min(static_cast<size_t>(n), sizeof buf - 1));
  s += "\r\n";
}

int arrotonda50(double m) {
  return static_cast<int>(m / kMetri + 0.5) * kMetri;
}

// Signals, boards, signs and slowdowns stand in the cell after the cell of
// their position; a speed-reduction point in the cell of its position.
int cella_dopo(int p) {
  return static_cast<int>(regole::cella_della_posizione(p, true));
}
int cella_di(int p) {
  return static_cast<int>(regole::cella_della_posizione(p, false));
}

// What each cell holds in the plan of the generator.
enum : uint8_t {
  kLibera = 0,
  kOggetto = 1,    // a point object
  kRiservata = 2,  // must stay free: the finishing walk may need it
};

struct mappa {
  std::vector<uint8_t> stato;
  std::vector<uint8_t> segnale;  // cells holding a signal
  std::vector<uint8_t> zona;     // cells already reached by a slowdown's rules
  int ultima = 0;

  explicit mappa(int u) : stato(u + 1, kLibera), segnale(u + 1, 0), zona(u + 1, 0), ultima(u) {}
  bool dentro(int c) const { return c >= 0 && c <= ultima; }
  bool libera(int c) const { return dentro(c) && stato[c] == kLibera; }
  bool oggetto(int c) const { return !dentro(c) || stato[c] == kOggetto; }
  void occupa(int c) { stato[c] = kOggetto; }
  void riserva(int c) {
    if (dentro(c) && stato[c] == kLibera) stato[c] = kRiservata;
  }
};

// Station zone and stop cell, as the station reader works them out.
struct stazione {
  int p = 0;
  int tipo = 0;
  int lunghezza = 0;
  int prolunga = 0;
  int inizio = 0;
  int fine = 0;
  int orario = 0;  // seconds after midnight, 0 for junctions
  std::string nome;

  void zona() {
    const regole::zona_stazione z = regole::zona_della_stazione(tipo, p, lunghezza, prolunga != 0);
    inizio = static_cast<int>(z.inizio);
    fine = static_cast<int>(z.fine);
  }
  bool ferma() const { return regole::con_fermata(tipo); }
  // Nothing when the zone ends too early for one.
  std::optional<int64_t> cella_fermata() const { return regole::cella_fermata(fine); }
};

struct rallentamento {
  int p, v, l, f_tt, f_ta, d_v;
};

const char* const kPrefissi[] = {"MONTE",  "VAL",   "POGGIO", "BORGO", "SAN",
                                 "CASTEL", "PONTE", "VILLA",  "PIANO", "COLLE"};
const char* const kSillabe[] = {"RA",  "VE",  "LO", "SA", "NO", "TI", "CO", "BER", "GAL", "MAR",
                                "TOR", "FIO", "PE", "DA", "RI", "SO", "LU", "GNA", "ZA",  "NE"};
const char* const kFinali[] = {"NO", "NA", "TO", "LE", "RO", "LLA", "NI"};

std::string nome_luogo(caso& r) {
  std::string s;
  if (r.su(40)) s = std::string(r.uno(kPrefissi)) + " ";
  int n = r.tra(1, 2);
  for (int i = 0; i < n; ++i) s += r.uno(kSillabe);
  s += r.uno(kFinali);
  return s;
}

// Lays out the whole scenario and writes its two texts.
class generatore {
 public:
  explicit generatore(const opzioni_generazione& o)
      : km_(std::clamp(o.km, 1, kKmMassimi)),
        l_(km_ * 1000),
        cartelli_(std::clamp(o.cartelli, 0, kStazioniPiuCartelli)),
        r_{{o.seme}},
        m_((l_ + kMargine) / kMetri) {}

  scenario_generato genera() {
    // Cell 1 carries the format stamp and a check code: nothing goes there.
    for (int c = 0; c <= 3; ++c) m_.riserva(c);
    segnali();
    rallentamenti();
    stazioni();
    velocita_e_indicatori();
    cartelli();
    abbattimenti();
    scrivi_linea();
    scrivi_treno();
    return std::move(g_);
  }

 private:
  void segnali() {
    for (int p = 1350; p <= l_; p += 1350) {
      int c = cella_dopo(p);
      m_.occupa(c);
      m_.segnale[c] = 1;
      // Rule 1 and rule 6 mark the cell just before a signal.
      m_.riserva(c - 1);
      int s1 = r_.tra(2, 5);
      int s2 = r_.tra(0, 6);
      int s3 = r_.su(30) ? r_.tra(1, 6) : 0;
      int rapp = r_.su(30) ? 1 : 0;
      int dx = r_.tra(0, 2);
      int d1 = dx ? r_.tra(1, 3) : 0;
      int tempo = r_.su(20) ? r_.tra(1, 100) : 0;
      riga(segnali_, "segnale, %8d,   2, %d, %d,  %d, %d,    %d,  %d,0,0, %d", p, s1, s2, s3, rapp,
           dx, d1, tempo);
      ++g_.segnali;
    }
  }

  // Evenly spread, at least 1250 m apart, each nudged by up to 300 m until its
  // stop cell is free and its zone keeps its distance from the one before.
  void stazioni() {
    const int massimo = kStazioniPiuCartelli - cartelli_;
    const int n = std::max(1, std::min(massimo, 1 + (l_ - 500) / 1250));
    const double passo = n > 1 ? double(l_ - 500) / (n - 1) : 0.0;
    int partenza = 6 * 3600 + r_.tra(0, 59) * 60;
    orologio_ = partenza - 10 * 60;
    for (int i = 0; i < n; ++i) {
      const stazione* prima = stazioni_.empty() ? nullptr : &stazioni_.back();
      stazione s;
      if (i == 0) {
        s.tipo = 8;
        s.lunghezza = 500;
      } else if (i == n - 1) {
        s.tipo = 4;
        s.lunghezza = 400;
      } else {
        static const int kTipi[] = {12, 12, 4, 25, 26, 28, 6};
        s.tipo = r_.uno(kTipi);
        s.lunghezza = r_.multiplo(200, s.tipo == 6 ? 400 : 600, 100);
        s.prolunga = s.tipo != 6 && r_.su(30) ? 1 : 0;
      }
      const int obiettivo = i == 0 ? 0 : arrotonda50(i * passo);
      if (!colloca(s, obiettivo, prima)) {
        s.tipo = 25;  // a junction needs no stop cell
        s.prolunga = 0;
        if (!colloca(s, obiettivo, prima)) continue;
      }
      if (s.ferma()) m_.occupa(static_cast<int>(*s.cella_fermata()));
      s.nome = s.tipo == 25 ? "BIVIO " + nome_luogo(r_) : nome_luogo(r_);
      if (s.ferma()) s.orario = partenza + s.p / 25 + 60 * i;
      stazioni_.push_back(std::move(s));
    }
    g_.stazioni = static_cast<int>(stazioni_.size());
  }

  bool colloca(stazione& s, int obiettivo, const stazione* prima) {
    for (int k = 0; k <= 12; ++k) {
      int spostamento = (k + 1) / 2 * kMetri * (k % 2 ? 1 : -1);
      s.p = obiettivo + spostamento;
      if (s.p < 0 || s.p > l_) continue;
      s.zona();
      if (prima && !regole::zone_distanti(prima->fine, s.inizio)) continue;
      if (s.ferma() && (!s.cella_fermata() || !m_.libera(static_cast<int>(*s.cella_fermata()))))
        continue;
      return true;
    }
    return false;
  }

  // Whether a slowdown at p fits among the signals: its own cells free, and a
  // cell that can stay free wherever the finishing walk will want a check
  // point. Only signals are laid out before the slowdowns.
  bool rallentamento_possibile(const rallentamento& x) const {
    if (x.p < 2500 || x.p + x.l > l_) return false;
    const int a = cella_dopo(x.p - static_cast<int>(formato::kAnticipoAvviso));  // warning point
    const int h = a - 1;                  // first approach cell
    const int b = cella_dopo(x.p);        // start
    const int e = cella_dopo(x.p + x.l);  // end
    // Rule 1 looks 20 cells behind the warning point, rule 6 up to 12 after
    // the end: slowdowns keep their reaches apart.
    const int da = h - 3 - (r::kAvvisoIndietro + 1);
    const int fino = e + r::kDopoFine + 2;
    if (da < 3 || fino > m_.ultima - 2) return false;
    for (int c = da; c <= fino; ++c)
      if (m_.zona[c]) return false;
    if (!m_.libera(a) || !m_.libera(b) || !m_.libera(e)) return false;
    if (x.f_ta)
      for (int i = 0; i < 4; ++i)
        if (!m_.libera(h - i)) return false;
    // Rules 2 to 4: one cell of each triple before the start.
    for (int d : r::kVicini) {
      if (b <= d + r::kVicinoLargo) continue;
      if (m_.oggetto(b - d) && m_.oggetto(b - d - 1) && m_.oggetto(b - d - 2)) return false;
    }
    // Rule 5: every eighth cell inside a slow slowdown, never the end itself.
    if (x.v < r::kVelocitaLenta) {
      if ((e - b) % r::kPasso == 0) return false;
      for (int k = b + r::kPasso; k < e; k += r::kPasso)
        if (m_.oggetto(k)) return false;
    }
    // Rule 6: a signal right after the end would leave only the end's
    // neighbour for its check point.
    return !m_.segnale[e + 1];
  }

  void rallentamenti() {
    static const int kVelocita[] = {30, 50, 60, 80, 100, 120, 130};
    for (int t = 3500; t + 1000 <= l_; t += r_.multiplo(15000, 25000, kMetri)) {
      rallentamento x{};
      x.v = r_.uno(kVelocita);
      x.l = r_.multiplo(400, 2000, kMetri);
      if ((x.l / kMetri) % 8 == 0) x.l += kMetri;
      x.f_tt = 1;
      x.f_ta = r_.su(80) ? 1 : 0;
      x.d_v = r_.su(25) ? x.v + 10 : 0;
      bool trovato = false;
      for (int k = 0; k < 100 && !trovato; ++k) {
        x.p = t + k * kMetri;
        trovato = rallentamento_possibile(x);
      }
      if (!trovato) continue;
      const int a = cella_dopo(x.p - static_cast<int>(formato::kAnticipoAvviso));
      const int h = a - 1;
      const int b = cella_dopo(x.p);
      const int e = cella_dopo(x.p + x.l);
      for (int c : {a, b, e}) m_.occupa(c);
      if (x.f_ta)
        for (int i = 0; i < 4; ++i) m_.occupa(h - i);
      // Keep free one cell of each triple of rules 2 to 4 and the cells of
      // rule 5; rule 1 and rule 6 use the cells kept free before signals.
      for (int d : r::kVicini) {
        if (b <= d + r::kVicinoLargo) continue;
        for (int k = d; k <= d + r::kVicinoLargo; ++k) {
          if (!m_.oggetto(b - k)) {
            m_.riserva(b - k);
            break;
          }
        }
      }
      if (x.v < r::kVelocitaLenta)
        for (int k = b + r::kPasso; k < e; k += r::kPasso) m_.riserva(k);
      for (int c = h - 3 - (r::kAvvisoIndietro + 1); c <= e + r::kDopoFine + 2; ++c) m_.zona[c] = 1;
      riga(rallentamenti_, "rallentamento, %8d, %3d, %5d, %d, %d, %d", x.p, x.v, x.l, x.f_tt,
           x.f_ta, x.d_v);
      ++g_.rallentamenti;
    }
  }

  // The first free cell for an object at p or up to `passi` cells after it.
  int posto_libero(int p, int passi, bool dopo) const {
    for (int k = 0; k <= passi; ++k) {
      int q = p + k * kMetri;
      if (q > l_) return -1;
      if (m_.libera(dopo ? cella_dopo(q) : cella_di(q))) return q;
    }
    return -1;
  }

  // Speed limits change every few km, each change announced by a board at
  // the same place.
  void velocita_e_indicatori() {
    int v = r_.multiplo(60, 120, 5);
    riga(velocita_, "velocita, %8d, %4d", 0, 30);
    riga(velocita_, "velocita, %8d, %4d", 0, v);
    g_.velocita = 2;
    for (int p = r_.multiplo(1000, 4000, kMetri); p <= l_ - 500;
         p += r_.multiplo(3000, 15000, kMetri)) {
      int q = posto_libero(p, 40, true);
      if (q < 0) continue;
      int nuova;
      do nuova = r_.multiplo(60, 160, 5);
      while (nuova == v);
      v = nuova;
      m_.occupa(cella_dopo(q));
      riga(velocita_, "velocita, %8d, %4d", q, v);
      ++g_.velocita;
      if (r_.su(50))
        riga(indicatori_, "indicatori_vmax, %8d, %d, %d, %d, %d, %d, %d, %d, %d", q, v, v + 5,
             v + 10, 0, v, v + 5, v + 10, 0);
      else
        riga(indicatori_, "indicatori_vmax, %8d, %d, %d, %d, %d,  ,  ,  , 0", q, v, v + 5, v + 10,
             r_.tra(0, 2));
      ++g_.indicatori;
      p = q;
    }
  }

  void cartelli() {
    std::vector<std::pair<int, std::string>> voci;
    for (int i = 0; i < cartelli_; ++i) {
      int obiettivo = arrotonda50(double(l_) * (i + 1) / (cartelli_ + 1));
      int q = posto_libero(std::max(obiettivo - 1000, 200), 200, true);
      if (q < 0) continue;
      m_.occupa(cella_dopo(q));
      std::string testo;
      switch (i % 3) {
        case 0:
          testo = "(1000 mt)(" + nome_luogo(r_) + ")";
          break;
        case 1:
          testo.resize(32);
          testo.resize(static_cast<size_t>(
              std::snprintf(testo.data(), testo.size(), "(P.L.Km)(%d+%03d)", q / 1000, q % 1000)));
          break;
        default:
          testo = r_.su(50) ? "(-----)(|_|_|)( / / )" : "(-----)(|_|_|)(  /  )";
          break;
      }
      voci.emplace_back(q, testo);
    }
    std::sort(voci.begin(), voci.end(),
              [](const auto& x, const auto& y) { return x.first < y.first; });
    for (const auto& [q, t] : voci)
      riga(cartelli_testo_, "cartello_indicatore, %8d,   %s", q, t.c_str());
    g_.cartelli = static_cast<int>(voci.size());
  }

  void abbattimenti() {
    for (int p = r_.multiplo(2000, 9000, kMetri); p <= l_ - 1000;
         p += r_.multiplo(30000, 70000, kMetri)) {
      int q = posto_libero(p, 40, false);
      if (q < 0 || m_.zona[cella_di(q)]) continue;
      m_.occupa(cella_di(q));
      int r = r_.su(20) ? 0 : r_.multiplo(60, 150, 10);
      riga(abbattimenti_, "abbattimento, %8d, %d", q, r);
      ++g_.abbattimenti;
    }
  }

  void scrivi_linea() {
    std::string& s = g_.linea;
    s.reserve(static_cast<size_t>(km_) * 120 + 4096);
    riga(s, "[generale]");
    riga(s, "lunghezza percorso,    %d", l_);
    const int base = r_.multiplo(0, 200000, kMetri);
    const int p1 = arrotonda50(l_ * 0.1), p2 = arrotonda50(l_ * 0.5), p3 = arrotonda50(l_ * 0.9);
    riga(s, "progressiva chilometrica uno,    %d,    %d,    1", p1, base + p1);
    riga(s, "progressiva chilometrica due,    %d,    %d,    0", p2, base + p2 - 10000);
    riga(s, "progressiva chilometrica tre,    %d,    %d,    1", p3, base + p3);
    riga(s, "sfondo uno,    %d", r_.tra(0, 1));
    riga(s, "sfondo due,    %d", r_.tra(0, 1));
    riga(s, "sfondo tre,    %d", r_.tra(0, 1));
    riga(s, "ripetizione segnali %d codici,    %d,    %d", r_.su(50) ? 4 : 9, arrotonda50(l_ * 0.2),
         arrotonda50(l_ * 0.8));

    // Curves one after another over most of the line, each arc inside it.
    // An arc reaching metre 1000000 is refused (code 103), so every arc ends
    // before the last metre.
    riga(s, "[curve]");
    static const int kArcoMassimo[] = {0, 1600, 1600, 1200, 1000, 700, 400};
    for (int p = r_.multiplo(200, 1000, kMetri);;) {
      int classe = r_.tra(1, 6);
      int n = r_.multiplo(100, kArcoMassimo[classe], kMetri);
      if (p + n >= l_) break;
      riga(s, "curva%c%d,  %d,  %d", r_.su(50) ? 's' : 'd', classe, p, n);
      ++g_.curve;
      p += n + r_.multiplo(50, 300, kMetri);
    }

    riga(s, "[pendenze]");
    for (int p = 0, g = 0; p <= l_; p += 500) {
      riga(s, "pendenza,  %d,   %d", p, g);
      ++g_.pendenze;
      g = std::clamp(g + r_.tra(-4, 4), -25, 25);
    }
    s += "\r\n";

    riga(s, "[montagne]");
    for (int p = r_.multiplo(500, 5000, kMetri); g_.montagne < kMontagneGenerate;) {
      int n = r_.multiplo(200, 3000, kMetri);
      if (p + n > l_) break;
      riga(s, "montagna,   %d,  %d,  %d", p, p + n, r_.tra(1, 3) + (r_.su(60) ? 10 : 0));
      ++g_.montagne;
      p += n + r_.multiplo(300, 25000, kMetri);
    }

    riga(s, "[cartelli]");
    s += indicatori_;
    riga(s, "[indicazioni]");
    s += cartelli_testo_;
    riga(s, "[fine]");
  }

  void scrivi_treno() {
    std::string& s = g_.treno;
    s.reserve(segnali_.size() + velocita_.size() + stazioni_.size() * 120 + 4096);
    riga(s, "[generale]");
    riga(s, "numero vetture,    %d", r_.tra(3, 12));
    riga(s, "percentuale massa frenata,    %d", r_.multiplo(80, 140, 5));
    riga(s, "sabbia,    %d", r_.multiplo(0, 60, 10));
    riga(s, "orologio,    %d              %d            %d ", orologio_ / 3600, orologio_ / 60 % 60,
         orologio_ % 60);

    riga(s, "[aderenze]");
    for (int p = 0; p <= l_; p += r_.multiplo(20000, 60000, kMetri)) {
      riga(s, "aderenza,  %8d,    %d", p, r_.tra(60, 100));
      ++g_.aderenze;
    }

    riga(s, "[vel_limite]");
    s += velocita_;

    riga(s, "[stazioni]");
    for (const stazione& x : stazioni_) {
      const bool ferma = x.ferma();
      const int t = x.orario;
      riga(s, "stazione, %8d, %2d, %4d,  %d, %d, %d,  %d,%d,0,  %d,%d,%d, %4d,  %2d,%2d,%2d, %s",
           x.p, x.tipo, x.lunghezza, ferma ? 1 : 0, x.lunghezza >= 600 ? 1 : 0, x.prolunga,
           ferma ? 4 : 0, ferma ? 1 : 0, ferma ? 2 : 0, ferma ? 1 : 0, ferma ? 1 : 0,
           ferma ? (x.p / 1000) % 100 : 0, t / 3600, t / 60 % 60, t % 60, x.nome.c_str());
    }

    riga(s, "[rallentamenti]");
    s += rallentamenti_;
    riga(s, "[segnali]");
    s += segnali_;
    riga(s, "[codici]");
    s += abbattimenti_;
    riga(s, "[fine]");
  }

  const int km_;
  const int l_;
  const int cartelli_;
  caso r_;
  mappa m_;
  scenario_generato g_;
  std::vector<stazione> stazioni_;
  int orologio_ = 0;
  std::string segnali_, rallentamenti_, velocita_, indicatori_, cartelli_testo_, abbattimenti_;
};

template <typename T>
bool numero(const std::string& s, T& v) {
  auto [fine, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
  return ec == std::errc{} && fine == s.data() + s.size();
}

}  // namespace

scenario_generato genera_scenario(const opzioni_generazione& o) {
  generatore g(o);
  return g.genera();
}

int comando_generate(const argomenti& a) {
  argomenti_letti l;
  if (int s = leggi_argomenti("generate", a,
                              {{"--km", "un numero intero da 1 a 1000"},
                               {"--seed", "un numero intero da 0 a 2^64-1"},
                               {"--wild"}},
                              3, "DIR ROUTE TRAIN", l);
      s >= 0)
    return s;
  opzioni_generazione o;
  const bool km = l.ha("--km"), selvaggio = l.ha("--wild");
  if (km && (!numero(l.valore("--km"), o.km) || o.km < 1 || o.km > kKmMassimi))
    return errore_uso("generate", "--km vuole un numero intero da 1 a 1000");
  if (l.ha("--seed") && !numero(l.valore("--seed"), o.seme))
    return errore_uso("generate", "--seed vuole un numero intero da 0 a 2^64-1");
  const std::vector<std::string>& posizionali = l.posizionali;
  if (!km && !selvaggio) return errore_uso("generate", "manca --km");
  if (km && selvaggio)
    return errore_uso("generate", "--wild sceglie da sé la lunghezza: niente --km");
  const std::string& cartella = posizionali[0];
  const std::string& linea = posizionali[1];
  const std::string& treno = posizionali[2];
  if (int s = nomi_scenario("generate", linea, treno); s >= 0) return s;

  scenario_generato g = selvaggio ? genera_selvaggio(o.seme) : genera_scenario(o);
  const std::string nome_linea = file::percorso(cartella, formato::nome_sorgente_linea(linea));
  const std::string nome_treno =
      file::percorso(cartella, formato::nome_sorgente_treno(linea, treno));
  try {
    file::crea_cartelle(cartella);
    file::sostituisci(nome_linea, g.linea);
    file::sostituisci(nome_treno, g.treno);
  } catch (const file::errore_io& e) {
    std::fprintf(stderr, "scenario: %s\n", e.what());
    return kUscitaFallita;
  }
  std::printf("scritto %s\nscritto %s\n", nome_linea.c_str(), nome_treno.c_str());
  std::printf(
      "linea%s: %d curve, %d pendenze, %d montagne, %d cartelli di velocita, "
      "%d cartelli indicatori; treno: %d stazioni, %d segnali, %d rallentamenti, "
      "%d abbattimenti, %d punti di velocita, %d punti di aderenza\n",
      selvaggio ? "" : (" di " + std::to_string(o.km) + " km").c_str(), g.curve, g.pendenze,
      g.montagne, g.indicatori, g.cartelli, g.stazioni, g.segnali, g.rallentamenti, g.abbattimenti,
      g.velocita, g.aderenze);
  return kUscitaOk;
}
