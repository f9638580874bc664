#include "tool/bozza/percorso.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <map>
#include <queue>

#include "platform/testo.h"
#include "tool/bozza/testi.h"

namespace bozza {

namespace {

// Letters of U+00C0 to U+017F without their accents; '*' for the ones that
// become two letters.
constexpr char kLatino1[] = "aaaaaa*ceeeeiiiidnooooo ouuuuy**aaaaaa*ceeeeiiiidnooooo ouuuuy*y";
constexpr char kLatinoEsteso[] =
    "aaaaaaccccccccddddeeeeeeeeeegggggggghhhhiiiiiiiiii**jjkkkllllllllllnnnnnnnnnoooooo**rrrrrrss"
    "sssssstttttttuuuuuuuuuuuuwwyyyzzzzzzs";

std::string senza_accento(char32_t c) {
  if (c < 0x80) return std::string(1, testo::minuscola(static_cast<char>(c)));
  if (c >= 0xC0 && c <= 0xFF) {
    const char b = kLatino1[c - 0xC0];
    if (b != '*') return std::string(1, b);
    if (c == 0xC6 || c == 0xE6) return "ae";
    if (c == 0xDF) return "ss";
    return "th";
  }
  if (c >= 0x100 && c <= 0x17F) {
    const char b = kLatinoEsteso[c - 0x100];
    if (b != '*') return std::string(1, b);
    return c < 0x140 ? "ij" : "oe";
  }
  return " ";
}

}  // namespace

std::string nome_confrontabile(const std::string& utf8) {
  std::string r;
  for (size_t i = 0; i < utf8.size();) {
    char32_t c;
    size_t n = testo::sequenza_utf8(utf8, i, c);
    if (n == 0) {
      c = static_cast<unsigned char>(utf8[i]);  // a stray byte: read as Windows-1252
      n = 1;
    }
    i += n;
    for (char b : senza_accento(c)) {
      const bool alnum = (b >= 'a' && b <= 'z') || (b >= '0' && b <= '9');
      if (alnum)
        r += b;
      else if (!r.empty() && r.back() != ' ')
        r += ' ';
    }
  }
  while (!r.empty() && r.back() == ' ') r.pop_back();
  return r;
}

std::vector<const fermata_osm*> fermate_ferroviarie(const mappa_osm& m) {
  std::vector<const fermata_osm*> r;
  for (const fermata_osm& f : m.fermate)
    if (di_treni(f)) r.push_back(&f);
  return r;
}

namespace {

size_t distanza_nomi(const std::string& a, const std::string& b) {
  std::vector<size_t> riga(b.size() + 1);
  for (size_t j = 0; j <= b.size(); ++j) riga[j] = j;
  for (size_t i = 1; i <= a.size(); ++i) {
    size_t diagonale = riga[0];
    riga[0] = i;
    for (size_t j = 1; j <= b.size(); ++j) {
      const size_t su = riga[j];
      riga[j] = std::min({riga[j] + 1, riga[j - 1] + 1, diagonale + (a[i - 1] != b[j - 1])});
      diagonale = su;
    }
  }
  return riga[b.size()];
}

std::string elenco(const std::vector<std::string>& nomi) {
  std::string r;
  for (size_t i = 0; i < nomi.size(); ++i) r += (i ? ", «" : "«") + nomi[i] + "»";
  return r;
}

// The map's stop names (first spelling of each), by their compared form.
std::map<std::string, std::string> nomi_fermate(const mappa_osm& m) {
  std::map<std::string, std::string> r;
  for (const fermata_osm* f : fermate_ferroviarie(m))
    r.emplace(nome_confrontabile(f->nome), f->nome);
  return r;
}

bool scegli_nome(const mappa_osm& m, const std::string& chiesto, std::string& scelto,
                 std::string& errore) {
  const std::map<std::string, std::string> nomi = nomi_fermate(m);
  const std::string c = nome_confrontabile(chiesto);
  if (nomi.count(c)) {
    scelto = c;
    return true;
  }
  std::vector<std::string> parti;
  for (const auto& [k, v] : nomi)
    if (!c.empty() && k.find(c) != std::string::npos) parti.push_back(k);
  if (parti.size() == 1) {
    scelto = parti[0];
    return true;
  }
  std::vector<std::string> mostra;
  if (parti.size() > 1) {
    for (const std::string& k : parti) mostra.push_back(nomi.at(k));
    errore = "«" + chiesto + "» è parte di più nomi di fermata: " + elenco(mostra);
    return false;
  }
  std::vector<std::pair<size_t, std::string>> vicini;
  for (const auto& [k, v] : nomi) vicini.push_back({distanza_nomi(c, k), v});
  std::sort(vicini.begin(), vicini.end());
  for (size_t i = 0; i < vicini.size() && i < 5; ++i) mostra.push_back(vicini[i].second);
  errore = "nessuna fermata si chiama «" + chiesto + "»" +
           (mostra.empty() ? std::string(": la mappa non ha fermate con un nome")
                           : "; i nomi più vicini: " + elenco(mostra));
  return false;
}

// Stops farther apart than this are two places of one name.
constexpr double kRaggioLuogo = 2500;
// A station or halt node off the rails stands for the rail nodes this near it.
constexpr double kRaggioStazione = 300;

double distanza(const mappa_osm& m, uint32_t a, uint32_t b) {
  const punto d = scarto_locale(m.nodi[a].dove(), m.nodi[b].dove());
  return std::sqrt(d.x * d.x + d.y * d.y);
}

std::vector<bool> sui_binari(const mappa_osm& m) {
  std::vector<bool> r(m.nodi.size());
  for (const via_osm& v : m.vie)
    for (uint32_t n : v.nodi) r[n] = true;
  return r;
}

std::string dove_testo(const mappa_osm& m, uint32_t n) {
  const nodo_osm& x = m.nodi[n];
  return "nodo " + std::to_string(x.id) + " a " + testo_decimale(x.lat7, 7) + ", " +
         testo_decimale(x.lon7, 7);
}

// Nodes in square cells of a side, to find the ones near a node without
// looking at every one. A degree is taken as short as it is anywhere on the
// map (east at its highest latitude, north at the equator), so two nodes
// within the side, as distanza() measures, are never more than a cell apart.
struct celle {
  const mappa_osm& m;
  double lato, est = 0, nord = 0;  // metres; metres a degree at least
  std::map<std::pair<int64_t, int64_t>, std::vector<uint32_t>> dentro;

  celle(const mappa_osm& m_, double lato_) : m(m_), lato(lato_ * 1.001) {
    double alta = 0;
    for (const nodo_osm& n : m.nodi) alta = std::max(alta, std::fabs(n.dove().lat));
    est = scarto_locale({alta, 0}, {alta, 1}).x;
    nord = scarto_locale({-0.5, 0}, {0.5, 0}).y;
  }
  std::pair<int64_t, int64_t> cella(uint32_t n) const {
    const coordinate c = m.nodi[n].dove();
    return {static_cast<int64_t>(std::floor(c.lon * est / lato)),
            static_cast<int64_t>(std::floor(c.lat * nord / lato))};
  }
  void metti(uint32_t n, uint32_t valore) { dentro[cella(n)].push_back(valore); }
  // The values put at the nine cells around the node's.
  template <typename F>
  void intorno(uint32_t n, F&& f) const {
    const auto [x, y] = cella(n);
    for (int64_t dx = -1; dx <= 1; ++dx)
      for (int64_t dy = -1; dy <= 1; ++dy)
        if (auto i = dentro.find({x + dx, y + dy}); i != dentro.end())
          for (uint32_t v : i->second) f(v);
  }
};

// The stops of one name by place: each place from its first stop, a stop
// in the first place (in order of their first stops) within kRaggioLuogo
// of it; named by its first station off the rails, else by its first stop.
struct luoghi {
  struct gruppo {
    uint32_t primo, nome_da;
    bool stazione = false;
    std::vector<uint32_t> binari;   // its stops on the rails
    std::vector<uint32_t> accanto;  // its stations, halts and platforms off them
    std::string grafia;
  };
  const mappa_osm& m;
  const std::vector<bool>& sui_binari;
  std::vector<gruppo> gruppi;
  celle primi;  // the groups by their first stops

  luoghi(const mappa_osm& m_, const std::vector<bool>& b)
      : m(m_), sui_binari(b), primi(m_, kRaggioLuogo) {}

  void aggiungi(const fermata_osm& f) {
    size_t g = gruppi.size();
    primi.intorno(f.nodo, [&](uint32_t k) {
      if (k < g && distanza(m, gruppi[k].primo, f.nodo) <= kRaggioLuogo) g = k;
    });
    if (g == gruppi.size()) {
      gruppi.push_back({f.nodo, f.nodo, false, {}, {}, f.nome});
      primi.metti(f.nodo, static_cast<uint32_t>(g));
    }
    gruppo& x = gruppi[g];
    if (sui_binari[f.nodo] && f.genere != genere_fermata::banchina) {
      x.binari.push_back(f.nodo);
      return;
    }
    if (!x.stazione && f.genere != genere_fermata::banchina) x.nome_da = f.nodo, x.stazione = true;
    x.accanto.push_back(f.nodo);
  }
};

// A name's places named in an error: a few, and how many others.
constexpr size_t kLuoghiMostrati = 10;
// Tracks this much farther from a station than its nearest are still its
// own (the other tracks of its platforms).
constexpr double kAltriBinari = 30;
// A point this near a node of the way is that node.
constexpr double kStessoPunto = 1;

// The nearest point of a way's segment to a place off the rails.
struct piede {
  uint32_t via = 0;
  size_t j = 0;  // the segment from the way's node j to j + 1
  double t = 0;  // how far along it, 0 to 1
  double d = 0;  // metres from the place
  double l = 0;  // the segment's length
};

// Each way's nearest point to q within r metres, those on the tracks nearest it.
std::vector<piede> piedi(const mappa_osm& m, coordinate q, double r) {
  const double dlat = r / 110000, dlon = r / (110000 * std::max(0.01, coseno(radianti(q.lat))));
  std::vector<piede> tutti;
  double vicino = HUGE_VAL;
  for (uint32_t w = 0; w < m.vie.size(); ++w) {
    const via_osm& v = m.vie[w];
    piede meglio;
    meglio.d = HUGE_VAL;
    for (size_t j = 0; j + 1 < v.nodi.size(); ++j) {
      const coordinate a = m.nodi[v.nodi[j]].dove(), b = m.nodi[v.nodi[j + 1]].dove();
      if (std::min(a.lat, b.lat) > q.lat + dlat || std::max(a.lat, b.lat) < q.lat - dlat ||
          std::min(a.lon, b.lon) > q.lon + dlon || std::max(a.lon, b.lon) < q.lon - dlon)
        continue;
      const punto pa = scarto_locale(q, a), pb = scarto_locale(q, b);
      const punto ab = {pb.x - pa.x, pb.y - pa.y};
      const double l2 = ab.x * ab.x + ab.y * ab.y;
      const double t = l2 > 0 ? std::clamp(-(pa.x * ab.x + pa.y * ab.y) / l2, 0.0, 1.0) : 0;
      const double d = std::hypot(pa.x + t * ab.x, pa.y + t * ab.y);
      if (d < meglio.d) meglio = {w, j, t, d, std::sqrt(l2)};
    }
    if (meglio.d > r) continue;
    tutti.push_back(meglio);
    vicino = std::min(vicino, meglio.d);
  }
  std::erase_if(tutti, [&](const piede& p) { return p.d > vicino + kAltriBinari; });
  return tutti;
}

// The node at a point beside a place: the way's own where one is that near,
// else a new one put in the way between the two.
uint32_t nodo_del_piede(mappa_osm& m, const piede& p) {
  via_osm& v = m.vie[p.via];
  if (p.t * p.l < kStessoPunto) return v.nodi[p.j];
  if ((1 - p.t) * p.l < kStessoPunto) return v.nodi[p.j + 1];
  const nodo_osm& a = m.nodi[v.nodi[p.j]];
  const nodo_osm& b = m.nodi[v.nodi[p.j + 1]];
  const uint32_t n = nodo_aggiunto(m, {a.dove().lat + p.t * (b.dove().lat - a.dove().lat),
                                       a.dove().lon + p.t * (b.dove().lon - a.dove().lon)});
  if (n != UINT32_MAX) v.nodi.insert(v.nodi.begin() + static_cast<std::ptrdiff_t>(p.j + 1), n);
  return n;
}

// Where a place off the rails is: a node, or the middle of a platform drawn
// as a way of its name.
std::vector<coordinate> riferimenti(const mappa_osm& m, const luoghi::gruppo& g) {
  std::vector<coordinate> r;
  for (uint32_t n : g.accanto) r.push_back(m.nodi[n].dove());
  if (g.accanto.empty()) return r;
  const std::string nome = nome_confrontabile(g.grafia);
  for (const banchina_osm& b : m.banchine) {
    if (b.nodi.empty() || nome_confrontabile(b.nome) != nome) continue;
    coordinate c;
    for (uint32_t n : b.nodi) c.lat += m.nodi[n].dove().lat, c.lon += m.nodi[n].dove().lon;
    c.lat /= static_cast<double>(b.nodi.size()), c.lon /= static_cast<double>(b.nodi.size());
    const punto d = scarto_locale(m.nodi[g.primo].dove(), c);
    if (std::hypot(d.x, d.y) <= kRaggioLuogo) r.push_back(c);
  }
  return r;
}

// Each place off the rails made the nodes of the nearest points beside it.
void nodi_accanto(mappa_osm& m, const luoghi::gruppo& g, luogo& l) {
  for (const coordinate& q : riferimenti(m, g)) {
    std::vector<piede> v = piedi(m, q, kRaggioStazione);
    // Later segments of a way first: a node put in keeps the earlier ones' places.
    std::sort(v.begin(), v.end(), [](const piede& a, const piede& b) {
      return a.via != b.via ? a.via < b.via : a.j > b.j;
    });
    for (const piede& p : v)
      if (const uint32_t n = nodo_del_piede(m, p); n != UINT32_MAX) l.accanto.push_back(n);
  }
}

}  // namespace

uint32_t nodo_aggiunto(mappa_osm& m, coordinate c) {
  if (m.nodi.empty() || m.nodi.back().id == INT64_MAX || m.nodi.size() >= UINT32_MAX - 1)
    return UINT32_MAX;
  // Beyond every id of the file, so the nodes stay sorted by id.
  m.nodi.push_back({m.nodi.back().id + 1, static_cast<int32_t>(std::lround(c.lat * 1e7)),
                    static_cast<int32_t>(std::lround(c.lon * 1e7))});
  return static_cast<uint32_t>(m.nodi.size() - 1);
}

bool trova_luogo(mappa_osm& m, const std::string& nome, luogo& l, std::string& errore) {
  std::string chiave;
  if (!scegli_nome(m, nome, chiave, errore)) return false;
  const std::vector<bool> binari = sui_binari(m);
  luoghi q(m, binari);
  for (const fermata_osm& f : m.fermate)
    if (!f.stradale && nome_confrontabile(f.nome) == chiave) q.aggiungi(f);
  // A platform alone is no place: it only tells where a station's track is.
  std::erase_if(q.gruppi, [](const luoghi::gruppo& g) { return g.binari.empty() && !g.stazione; });
  if (q.gruppi.size() > 1) {
    errore = "«" + nome + "» indica " + std::to_string(q.gruppi.size()) + " luoghi:";
    for (size_t g = 0; g < q.gruppi.size() && g < kLuoghiMostrati; ++g)
      errore += (g ? "; " : " ") + dove_testo(m, q.gruppi[g].nome_da);
    if (q.gruppi.size() > kLuoghiMostrati)
      errore += "; e altri " + std::to_string(q.gruppi.size() - kLuoghiMostrati);
    return false;
  }
  luoghi::gruppo g = q.gruppi[0];
  std::sort(g.binari.begin(), g.binari.end());
  l = {};
  l.nome = g.grafia;
  l.nodo = g.nome_da;
  nodi_accanto(m, g, l);
  std::sort(l.accanto.begin(), l.accanto.end());
  l.accanto.erase(std::unique(l.accanto.begin(), l.accanto.end()), l.accanto.end());
  l.nodi = g.binari;
  l.nodi.insert(l.nodi.end(), l.accanto.begin(), l.accanto.end());
  std::sort(l.nodi.begin(), l.nodi.end());
  l.nodi.erase(std::unique(l.nodi.begin(), l.nodi.end()), l.nodi.end());
  // A stop of the map's own on the rails is no point beside.
  std::erase_if(l.accanto, [&](uint32_t n) {
    return std::binary_search(g.binari.begin(), g.binari.end(), n);
  });
  if (l.nodi.empty()) {
    errore = "«" + l.nome + "» non ha binari vicini (" + dove_testo(m, g.nome_da) + ")";
    return false;
  }
  return true;
}

namespace {

// The lines of trains through each stop: those that list it or one of its ways.
std::map<uint32_t, std::vector<std::string>> linee_delle_fermate(const mappa_osm& m) {
  std::map<uint32_t, std::vector<std::string>> r;
  for (const fermata_osm* f : fermate_ferroviarie(m)) r[f->nodo];
  for (const linea_osm& l : m.linee) {
    const std::string nome = l.ref.empty() ? l.nome : l.ref;
    if (nome.empty()) continue;
    auto metti = [&](uint32_t n) {
      if (auto i = r.find(n); i != r.end()) i->second.push_back(nome);
    };
    for (uint32_t n : l.fermate) metti(n);
    for (uint32_t w : l.vie)
      for (uint32_t n : m.vie[w].nodi) metti(n);
  }
  for (auto& [n, v] : r) {
    std::sort(v.begin(), v.end());
    v.erase(std::unique(v.begin(), v.end()), v.end());
  }
  return r;
}

}  // namespace

bool elenca_fermate(mappa_osm& m, const std::string& vicino_a, std::vector<fermata_elencata>& r,
                    std::string& errore) {
  r.clear();
  luogo l;
  if (!vicino_a.empty() && !trova_luogo(m, vicino_a, l, errore)) return false;
  std::map<uint32_t, std::vector<std::string>> linee = linee_delle_fermate(m);
  for (const fermata_osm* f : fermate_ferroviarie(m)) {
    fermata_elencata x;
    x.f = f;
    x.linee = linee[f->nodo];
    if (!vicino_a.empty()) x.distanza = distanza(m, l.nodo, f->nodo);
    r.push_back(std::move(x));
  }
  if (vicino_a.empty()) {
    std::stable_sort(r.begin(), r.end(), [](const fermata_elencata& a, const fermata_elencata& b) {
      return nome_confrontabile(a.f->nome) < nome_confrontabile(b.f->nome);
    });
    return true;
  }
  std::stable_sort(r.begin(), r.end(), [](const fermata_elencata& a, const fermata_elencata& b) {
    return a.distanza < b.distanza;
  });
  if (r.size() > kFermateVicine) r.resize(kFermateVicine);
  return true;
}

namespace {

// Cost of a metre by the way's use: service tracks and crossovers are taken
// only where they save much, so a route keeps to the line's own track.
constexpr double kCostoServizio = 4.0;
constexpr double kCostoSenzaUso = 1.25;
constexpr double kCostoControSenso = 1.5;
constexpr double kIngressoScambio = 250;  // metres added on entering a crossover
// A switch is not a place to turn back: the next step may turn at most this
// much (its cosine) from the last.
constexpr double kSvoltaMassima = -0.17;

// The rails as directed steps: step 2s runs segment s along its way, 2s + 1
// against it.
struct grafo {
  struct segmento {
    uint32_t via, da, a;  // nodes da -> a along the way
    punto d;              // metres east, north from da to a
    double lunghezza;
  };
  std::vector<segmento> segmenti;
  std::vector<std::vector<uint32_t>> uscite;  // steps leaving each node

  explicit grafo(const mappa_osm& m) : uscite(m.nodi.size()) {
    for (uint32_t w = 0; w < m.vie.size(); ++w) {
      const via_osm& v = m.vie[w];
      for (size_t j = 0; j + 1 < v.nodi.size(); ++j) {
        const uint32_t a = v.nodi[j], b = v.nodi[j + 1];
        if (a == b) continue;
        const punto d = scarto_locale(m.nodi[a].dove(), m.nodi[b].dove());
        const uint32_t s = static_cast<uint32_t>(segmenti.size());
        segmenti.push_back({w, a, b, d, std::sqrt(d.x * d.x + d.y * d.y)});
        uscite[a].push_back(2 * s);
        uscite[b].push_back(2 * s + 1);
      }
    }
  }
  uint32_t coda(uint32_t e) const { return e % 2 ? segmenti[e / 2].a : segmenti[e / 2].da; }
  uint32_t testa(uint32_t e) const { return e % 2 ? segmenti[e / 2].da : segmenti[e / 2].a; }
  punto verso(uint32_t e) const {
    const punto d = segmenti[e / 2].d;
    return e % 2 ? punto{-d.x, -d.y} : d;
  }
  bool svolta_ammessa(uint32_t da, uint32_t a) const {
    if (testa(a) == coda(da)) return false;
    const punto u = verso(da), v = verso(a);
    const double lu = segmenti[da / 2].lunghezza, lv = segmenti[a / 2].lunghezza;
    return u.x * v.x + u.y * v.y > kSvoltaMassima * lu * lv;
  }
  double costo(const mappa_osm& m, uint32_t da, uint32_t e) const {
    const segmento& s = segmenti[e / 2];
    const via_osm& v = m.vie[s.via];
    double c = s.lunghezza;
    if (v.uso == uso_via::servizio) c *= kCostoServizio;
    if (v.uso == uso_via::altro) c *= kCostoSenzaUso;
    const int senso = e % 2 ? -1 : 1;
    if (v.senso_preferito != 0 && v.senso_preferito != senso) c *= kCostoControSenso;
    if (v.uso == uso_via::scambio && (da == UINT32_MAX || segmenti[da / 2].via != s.via))
      c += kIngressoScambio;
    return c;
  }
};

// A route starts or ends at a point beside a station as if it were this much
// longer: a stop the map has on the track is taken first where there is one.
constexpr double kCostoAccanto = 2 * kRaggioStazione;

struct ricerca {
  const mappa_osm& m;
  const grafo& g;
  const std::vector<luogo>& tappe;
  size_t passi;  // directed steps
  std::vector<double> costo;
  std::vector<uint32_t> prima;  // the state before, UINT32_MAX at a start
  size_t tratta_massima = 0;    // the furthest leg reached

  ricerca(const mappa_osm& m_, const grafo& g_, const std::vector<luogo>& t)
      : m(m_), g(g_), tappe(t), passi(2 * g_.segmenti.size()) {
    const size_t n = passi * (t.size() - 1);
    costo.assign(n, HUGE_VAL);
    prima.assign(n, UINT32_MAX);
  }

  // The state reached at the last place, or UINT32_MAX.
  uint32_t cerca();
  bool in_tappa(uint32_t nodo, size_t k) const {
    return std::binary_search(tappe[k].nodi.begin(), tappe[k].nodi.end(), nodo);
  }
  double aggiunta(uint32_t nodo, size_t k) const {
    return std::binary_search(tappe[k].accanto.begin(), tappe[k].accanto.end(), nodo)
               ? kCostoAccanto
               : 0;
  }
};

uint32_t ricerca::cerca() {
  using voce = std::pair<double, uint32_t>;
  std::priority_queue<voce, std::vector<voce>, std::greater<voce>> coda;
  auto metti = [&](uint32_t s, double c, uint32_t da) {
    if (c >= costo[s]) return;
    costo[s] = c;
    prima[s] = da;
    coda.push({c, s});
  };
  for (uint32_t n : tappe[0].nodi)
    for (uint32_t e : g.uscite[n]) metti(e, aggiunta(n, 0) + g.costo(m, UINT32_MAX, e), UINT32_MAX);
  const size_t ultima = tappe.size() - 2;  // legs are numbered from 0
  double migliore = HUGE_VAL;
  uint32_t arrivo = UINT32_MAX;
  while (!coda.empty()) {
    const auto [c, s] = coda.top();
    coda.pop();
    if (c >= migliore) break;
    if (c > costo[s]) continue;
    const uint32_t e = static_cast<uint32_t>(s % passi);
    const size_t tratta = s / passi;
    tratta_massima = std::max(tratta_massima, tratta);
    if (in_tappa(g.testa(e), tratta + 1)) {
      const double fine = c + aggiunta(g.testa(e), tratta + 1);
      if (tratta == ultima) {
        if (fine < migliore) migliore = fine, arrivo = s;
      } else {
        metti(static_cast<uint32_t>(s + passi), fine, s);
      }
    }
    for (uint32_t f : g.uscite[g.testa(e)])
      if (g.svolta_ammessa(e, f))
        metti(static_cast<uint32_t>(tratta * passi + f), c + g.costo(m, e, f), s);
  }
  return arrivo;
}

// The route run on past its last node along the rails, the same way first,
// else the cheapest step that does not turn back, until `oltre` metres or
// the rails' end; the last step cut at a node of its own.
void prolunga(mappa_osm& m, const grafo& g, uint32_t e, double oltre, percorso& p) {
  double fatti = 0;
  std::vector<bool> visto(g.segmenti.size());
  while (fatti < oltre) {
    visto[e / 2] = true;
    uint32_t scelto = UINT32_MAX;
    for (uint32_t f : g.uscite[g.testa(e)]) {
      if (!g.svolta_ammessa(e, f) || visto[f / 2]) continue;
      const bool stessa = g.segmenti[f / 2].via == g.segmenti[e / 2].via;
      if (scelto == UINT32_MAX || (stessa && g.segmenti[scelto / 2].via != g.segmenti[e / 2].via) ||
          (stessa == (g.segmenti[scelto / 2].via == g.segmenti[e / 2].via) &&
           g.costo(m, e, f) < g.costo(m, e, scelto)))
        scelto = f;
    }
    if (scelto == UINT32_MAX) return;
    e = scelto;
    const double l = g.segmenti[e / 2].lunghezza;
    uint32_t n = g.testa(e);
    if (fatti + l > oltre + kStessoPunto) {
      const double t = (oltre - fatti) / l;
      const coordinate a = m.nodi[g.coda(e)].dove(), b = m.nodi[n].dove();
      const uint32_t x =
          nodo_aggiunto(m, {a.lat + t * (b.lat - a.lat), a.lon + t * (b.lon - a.lon)});
      if (x != UINT32_MAX) n = x;
    }
    p.nodi.push_back(n);
    p.vie.push_back(g.segmenti[e / 2].via);
    p.avanti.push_back(e % 2 == 0);
    fatti += l;
  }
}

}  // namespace

bool cerca_percorso(mappa_osm& m, const std::vector<luogo>& tappe, double oltre, percorso& p,
                    std::string& errore) {
  for (size_t k = 1; k < tappe.size(); ++k)
    if (tappe[k].nome == tappe[k - 1].nome) {
      errore = "«" + tappe[k].nome + "» compare due volte di seguito nel percorso";
      return false;
    }
  const grafo g(m);
  ricerca r(m, g, tappe);
  uint32_t s = r.cerca();
  if (s == UINT32_MAX) {
    const size_t k = r.tratta_massima;
    errore = "nessun percorso sui binari da «" + tappe[k].nome + "» a «" + tappe[k + 1].nome +
             "» (senza tornare indietro a uno scambio)";
    return false;
  }
  // Each step with its leg; a place is met where the leg changes on one step.
  std::vector<std::pair<uint32_t, size_t>> stati;
  for (; s != UINT32_MAX; s = r.prima[s])
    stati.push_back({static_cast<uint32_t>(s % r.passi), s / r.passi});
  std::reverse(stati.begin(), stati.end());
  p = {};
  p.nodi.push_back(g.coda(stati[0].first));
  p.tappe.push_back(0);
  std::vector<uint32_t> passi;
  for (const auto& [e, tratta] : stati) {
    if (passi.empty() || passi.back() != e) {
      passi.push_back(e);
      p.nodi.push_back(g.testa(e));
      p.vie.push_back(g.segmenti[e / 2].via);
      p.avanti.push_back(e % 2 == 0);
    }
    while (p.tappe.size() < tratta + 1) p.tappe.push_back(p.nodi.size() - 1);
  }
  p.tappe.push_back(p.nodi.size() - 1);
  prolunga(m, g, passi.back(), oltre, p);
  return true;
}

double lunghezza_percorso(const mappa_osm& m, const percorso& p) {
  double l = 0;
  for (size_t k = 0; k < p.tappe.back(); ++k) l += distanza(m, p.nodi[k], p.nodi[k + 1]);
  return l;
}

double distanza_diretta(const mappa_osm& m, const percorso& p) {
  double l = 0;
  for (size_t k = 1; k < p.tappe.size(); ++k)
    l += distanza(m, p.nodi[p.tappe[k - 1]], p.nodi[p.tappe[k]]);
  return l;
}

}  // namespace bozza
