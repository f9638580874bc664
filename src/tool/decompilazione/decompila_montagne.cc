// The mountain spans back from the cells: span entries whose kinds give each
// cell's `montagna` and whose markers give every span marker (kind 11).
//
// A span with markers puts one on every fourth cell from its first, where the
// cell is still plain track; a later span overwrites the kinds but never a
// marker. So the markers come first: one span with markers for each run of
// markers four cells apart that no plain cell breaks (a cell that holds an
// object at the end may have been a marker: it does not break a run). Then
// spans without markers paint the kinds over them, as few as the painting
// allows (the strange printer's recurrence). A span less than 150 m after
// the one read before it becomes kind 3: an empty span far behind stands in
// between where that would change a kind.
#include <algorithm>
#include <cstdint>
#include <limits>
#include <vector>

#include "model/formato.h"
#include "model/numeri.h"
#include "model/regole.h"
#include "tool/decompilazione/decompila_interno.h"

namespace {

using formato::kMontagneMassime;
// The printer's recurrence takes the cube of the runs: beyond this many
// (far beyond what 80 spans make) each run gets a span of its own.
constexpr size_t kCorseMassime = 500;
constexpr int64_t kDistanzaUnite = formato::kDistanzaMontagneUnite;
constexpr int64_t kFineVuota = -1000000;  // the end of a span that covers nothing

struct tratto {
  int64_t a, b;  // first and last cell
  int tipo;      // the kind it paints (low 8 bits)
  bool segni;
};

// What a span entry reads as: its metres and its kind value.
struct voce_montagna {
  int64_t inizio, fine, tipo;
};

voce_montagna come_voce(const tratto& t) {
  int64_t tipo;
  if (t.segni)
    tipo = t.tipo == 0 ? 266 : t.tipo + 10;  // above 10: markers, and kind minus 10
  else
    tipo = t.tipo <= 10 ? t.tipo : t.tipo - 256;  // kept to its low 8 bits
  return {t.a * formato::kMetriCella, (t.b + 1) * formato::kMetriCella, tipo};
}

// The reader's work on the cells, for the check of what was found.
struct pittura {
  std::vector<int> tipo;
  std::vector<uint8_t> segno;
};

pittura dipingi(const std::vector<voce_montagna>& v, int64_t ultima) {
  pittura p{std::vector<int>(static_cast<size_t>(ultima) + 1, 0),
            std::vector<uint8_t>(static_cast<size_t>(ultima) + 1, 0)};
  int64_t fine_prima = 0;
  for (size_t i = 0; i < v.size(); ++i) {
    int64_t tipo = v[i].tipo;
    bool segni = false;
    if (tipo > 10) tipo -= 10, segni = true;
    if (i > 0 && v[i].inizio - fine_prima <= kDistanzaUnite) tipo = formato::kTipoMontagneUnite;
    fine_prima = v[i].fine;
    const regole::celle_tratto celle = regole::celle_del_tratto(v[i].inizio, v[i].fine);
    const int64_t a = celle.da;
    const int64_t b = std::min(celle.a, ultima);
    for (int64_t c = std::max<int64_t>(a, 0); c <= b; ++c) {
      p.tipo[static_cast<size_t>(c)] = static_cast<int>(tipo & 0xFF);
      if (segni && (c - a + 1) % 4 == 0) p.segno[static_cast<size_t>(c)] = 1;
    }
  }
  return p;
}

// Runs of equal kind over the cells.
struct corsa {
  int64_t da, a;
  int tipo;
};

// The fewest spans that paint runs [i, j] when each span may cover any runs:
// the strange printer. scelta[i][j] is -1 for run i painted alone, else the
// run k of the same kind that the span of run i reaches to.
class stampante {
 public:
  explicit stampante(const std::vector<corsa>& c) : c_(c), n_(c.size()) {
    f_.assign(n_ * n_, 0);
    scelta_.assign(n_ * n_, -1);
    for (size_t l = 1; l <= n_; ++l)
      for (size_t i = 0; i + l <= n_; ++i) {
        const size_t j = i + l - 1;
        int best = 1 + f(i + 1, j);
        int k_best = -1;
        for (size_t k = i + 1; k <= j; ++k)
          if (c_[k].tipo == c_[i].tipo) {
            const int v = f(i + 1, k - 1) + f(k, j);
            if (v < best) best = v, k_best = static_cast<int>(k);
          }
        f_[i * n_ + j] = best;
        scelta_[i * n_ + j] = k_best;
      }
  }

  int f(size_t i, size_t j) const {
    if (i > j || j >= n_) return 0;
    return f_[i * n_ + j];
  }

  // The spans for runs [i, j], each after the spans it overlaps.
  void tratti(size_t i, size_t j, std::vector<tratto>& out) const {
    if (i > j || j >= n_) return;
    size_t fine = i;
    std::vector<std::pair<size_t, size_t>> dentro;
    for (;;) {
      const int k = scelta_[fine * n_ + j];
      if (k < 0) break;
      dentro.push_back({fine + 1, static_cast<size_t>(k) - 1});
      fine = static_cast<size_t>(k);
    }
    out.push_back({c_[i].da, c_[fine].a, c_[i].tipo, false});
    for (auto [x, y] : dentro)
      if (x <= y) tratti(x, y, out);
    if (fine + 1 <= j) tratti(fine + 1, j, out);
  }

 private:
  const std::vector<corsa>& c_;
  size_t n_;
  std::vector<int> f_, scelta_;
};

// The spans that paint the kinds, as few as the printer finds; runs of open
// line (kind 0) need none.
std::vector<tratto> piano(const std::vector<int>& m, int64_t ultima) {
  std::vector<corsa> c;
  for (size_t i = 0; i < m.size();) {
    size_t j = i;
    while (j < m.size() && m[j] == m[i]) ++j;
    c.push_back({static_cast<int64_t>(i), static_cast<int64_t>(j) - 1, m[i]});
    i = j;
  }
  std::vector<tratto> out;
  if (c.size() > kCorseMassime) {
    for (const corsa& x : c)
      if (x.tipo != 0) out.push_back({x.da, x.a, x.tipo, false});
    return out;
  }
  const stampante s(c);
  const size_t n = c.size();
  std::vector<int> g(n + 1, 0), taglio(n + 1, -1);
  for (size_t i = n; i-- > 0;) {
    g[i] = std::numeric_limits<int>::max();
    if (c[i].tipo == 0) g[i] = g[i + 1], taglio[i] = -1;
    for (size_t j = i; j < n; ++j) {
      const int v = s.f(i, j) + g[j + 1];
      if (v < g[i]) g[i] = v, taglio[i] = static_cast<int>(j);
    }
  }
  for (size_t i = 0; i < n;) {
    if (taglio[i] < 0) {
      ++i;
      continue;
    }
    s.tratti(i, static_cast<size_t>(taglio[i]), out);
    i = static_cast<size_t>(taglio[i]) + 1;
  }
  // No span may start past cell ultima - 2 (the reader's test on its start):
  // the last cells get spans from there, each shorter one painted after the
  // longer ones.
  const int64_t t = ultima - 2;
  if (std::none_of(out.begin(), out.end(), [&](const tratto& x) { return x.a > t; })) return out;
  out.erase(std::remove_if(out.begin(), out.end(), [&](const tratto& x) { return x.a > t; }),
            out.end());
  for (int64_t fine = ultima; fine >= t; --fine) {
    const int tipo = m[static_cast<size_t>(fine)];
    if (fine == ultima || tipo != m[static_cast<size_t>(fine + 1)])
      out.push_back({t, fine, tipo, false});
  }
  return out;
}

// A span may carry markers when no cell of its step of four is plain track
// in the end; it then gives every marker on that step.
void segna(const analisi& a, std::vector<tratto>& p, std::vector<uint8_t>& coperta) {
  for (tratto& x : p) {
    bool utile = false, possibile = true;
    for (int64_t c = x.a + 3; c <= std::min<int64_t>(x.b, a.ultima) && possibile; c += 4) {
      if (c < 0) continue;
      const uint8_t k = a.cella(c).tipo;
      possibile = k != tipo_cella::libera;
      utile = utile || k == tipo_cella::segno_montagna;
    }
    if (!possibile || !utile) continue;
    x.segni = true;
    for (int64_t c = x.a + 3; c <= std::min<int64_t>(x.b, a.ultima); c += 4)
      if (c >= 0) coperta[static_cast<size_t>(c)] = 1;
  }
}

// Spans of open line (kind 0) for the markers no span of the plan gives: one
// per run of them four cells apart that no plain cell breaks. They come
// first, and the plan paints over them.
std::vector<tratto> tratti_segnati(const analisi& a, const std::vector<uint8_t>& coperta) {
  std::vector<tratto> t;
  const int64_t u = a.ultima;
  for (int64_t resto = 0; resto < 4; ++resto) {
    int64_t primo = -1, ultimo = -1;
    auto chiudi = [&] {
      if (primo >= 0) t.push_back({primo - 3, ultimo, 0, true});
      primo = ultimo = -1;
    };
    for (int64_t c = resto; c <= u; c += 4) {
      const uint8_t k = a.cella(c).tipo;
      if (k == tipo_cella::libera) {
        chiudi();
      } else if (k == tipo_cella::segno_montagna && !coperta[static_cast<size_t>(c)]) {
        if (primo < 0) primo = c;
        ultimo = c;
      }
    }
    chiudi();
  }
  return t;
}

// The entries in reading order: each span after the one it lies in and after
// the spans of open line it paints over; among those free to come next, one
// that starts more than 150 m after the last one's end, so that the joining
// rule leaves its kind; where none does, an empty span far behind first.
std::vector<voce_montagna> in_ordine(const std::vector<tratto>& segnati,
                                     const std::vector<tratto>& p) {
  std::vector<tratto> t = segnati;
  const size_t primi = t.size();
  for (const tratto& x : p) t.push_back(x);
  if (t.size() > 4 * kCorseMassime) {
    // Far more than a reader keeps: in the order found, which paints right.
    std::vector<voce_montagna> v;
    for (const tratto& x : t) {
      const voce_montagna y = come_voce(x);
      if (!v.empty() && y.inizio - v.back().fine <= kDistanzaUnite && x.tipo != 3)
        v.push_back({0, kFineVuota, 0});
      v.push_back(y);
    }
    return v;
  }
  std::vector<std::vector<size_t>> dopo(t.size());
  std::vector<int> attese(t.size(), 0);
  // The plan lists its spans in an order that paints right: of two that
  // overlap, the later one comes after.
  for (size_t i = primi; i < t.size(); ++i)
    for (size_t k = 0; k < i; ++k)
      if (t[k].a <= t[i].b && t[i].a <= t[k].b) dopo[k].push_back(i), ++attese[i];
  std::vector<voce_montagna> v;
  std::vector<uint8_t> fatto(t.size(), 0);
  for (size_t giro = 0; giro < t.size(); ++giro) {
    size_t scelto = t.size();
    bool lontano = false;
    for (size_t i = 0; i < t.size(); ++i) {
      if (fatto[i] || attese[i] != 0) continue;
      const voce_montagna y = come_voce(t[i]);
      const bool ok = v.empty() || y.inizio - v.back().fine > kDistanzaUnite || t[i].tipo == 3;
      if (scelto == t.size() || (ok && !lontano) || (ok == lontano && t[i].a < t[scelto].a)) {
        if (!(lontano && !ok)) scelto = i, lontano = ok;
      }
    }
    const voce_montagna y = come_voce(t[scelto]);
    if (!lontano) v.push_back({0, kFineVuota, 0});
    v.push_back(y);
    fatto[scelto] = 1;
    for (size_t j : dopo[scelto]) --attese[j];
  }
  return v;
}

}  // namespace

void montagne(analisi& a, sezione_sorgente& s) {
  const size_t celle = a.celle.size();
  std::vector<int> m(celle);
  bool qualcosa = false;
  for (size_t i = 0; i < celle; ++i) {
    const cella_percorso& x = a.celle[i];
    m[i] = x.montagna;
    qualcosa = qualcosa || x.montagna != 0 || x.tipo == tipo_cella::segno_montagna;
    if (x.tipo != tipo_cella::segno_montagna) continue;
    a.spiegata[i] = 1;
    if (x.valore_1 || x.valore_2 || x.valore_3 || x.valore_4 || x.tempo)
      a.nota("cella " + n(static_cast<int64_t>(i)) + ": segno di montagna con dei valori");
  }
  if (!qualcosa) return;
  std::vector<tratto> p = piano(m, a.ultima);
  std::vector<uint8_t> coperta(celle, 0);
  segna(a, p, coperta);
  const std::vector<voce_montagna> v = in_ordine(tratti_segnati(a, coperta), p);

  // The reader's own work must give the cells back.
  const pittura dip = dipingi(v, a.ultima);
  for (size_t i = 0; i < celle; ++i) {
    const uint8_t k = a.celle[i].tipo;
    const bool segno = k == tipo_cella::segno_montagna;
    if (dip.tipo[i] != m[i] || (segno && !dip.segno[i]) ||
        (k == tipo_cella::libera && dip.segno[i])) {
      a.limite("cella " + n(static_cast<int64_t>(i)) +
               ": montagne e segni che il decompilatore non ricostruisce");
      break;
    }
  }
  if (v.size() > kMontagneMassime)
    a.limite(n(static_cast<int64_t>(v.size())) +
             " voci di montagna per dare le celle: il lettore "
             "ne tiene 80 (il decompilatore non ne trova meno)");
  for (const voce_montagna& x : v) {
    const bool vuota = x.fine == kFineVuota;
    s.righe.push_back(
        voce("montagna", {n(x.inizio), n(x.fine), n(x.tipo)}, vuota ? kSenzaPosizione : x.inizio));
  }
}
