// scenario plot: the compiled line drawn as one self-contained SVG, the plan
// from above and, under it, the gradient and speed-limit profiles.
#include "tool/disegno/plot.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "driver/codici.h"
#include "model/formato.h"
#include "model/regole.h"
#include "platform/file.h"
#include "platform/osservazione.h"
#include "platform/testo.h"
#include "tool/compilati/compilati.h"
#include "tool/compilazione/compila.h"
#include "tool/compilazione/messaggi.h"
#include "tool/comune/argomenti.h"
#include "tool/disegno/documento.h"

namespace {

// --- SVG text ---

// Text for XML content and attribute values. Control characters are not
// allowed in XML 1.0 at all, so they become '?'.
std::string xml(const std::string& utf8) {
  std::string out;
  out.reserve(utf8.size());
  for (char ch : utf8) {
    auto c = static_cast<unsigned char>(ch);
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '\'':
        out += "&apos;";
        break;
      default:
        if (c < 0x20 && c != '\t')
          out += '?';
        else
          out += ch;
    }
  }
  return out;
}

// Single-byte record text to SVG text.
std::string xml_1252(const std::string& cp1252) {
  return xml(testo::da_1252(cp1252));
}

std::string f1(double v) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.1f", std::isfinite(v) ? v : 0.0);
  return buf;
}

const char* const kFont = "DejaVu Sans, Arial, Helvetica, sans-serif";

// Width of a text in px, by a generous per-character estimate.
double larghezza_testo(const std::string& utf8, double corpo) {
  double w = 0;
  for (size_t i = 0; i < utf8.size(); ++i) {
    auto c = static_cast<unsigned char>(utf8[i]);
    if ((c & 0xC0) == 0x80) continue;  // UTF-8 continuation
    if (c == ' ' || c == '-')
      w += 0.36;
    else if (c == 'I' || c == 'i' || c == 'l' || c == 'j' || c == '.' || c == '\'' || c == ',')
      w += 0.32;
    else if (c >= 'a' && c <= 'z')
      w += 0.6;
    else if (c == 'M' || c == 'W' || c == 'm' || c == 'w')
      w += 0.9;
    else
      w += 0.7;
  }
  return w * corpo;
}

struct scatola {
  double x0, y0, x1, y1;
  bool tocca(const scatola& o, double margine) const {
    return x0 < o.x1 + margine && o.x0 < x1 + margine && y0 < o.y1 + margine && o.y0 < y1 + margine;
  }
  bool dentro(const scatola& o) const {
    return x0 >= o.x0 && x1 <= o.x1 && y0 >= o.y0 && y1 <= o.y1;
  }
};

struct punto2 {
  double x, y;
};

// --- layout ---

constexpr double kLarghezza = 1400;
constexpr double kSinistra = 70;
constexpr double kDestra = 40;
constexpr double kCorpoStazione = 12;

struct disegno {
  std::string s;
  void operator+=(const std::string& t) { s += t; }
};

// The plan: the track from metre 0 to the line's end, turned so that its
// longer extent runs across the page.
struct pianta {
  const planimetria_linea& p;
  size_t ultimo = 0;    // last metre drawn
  bool vuota = true;    // no point to draw
  bool girata = false;  // plan y runs to the right
  double scala = 1, ox = 0, oy = 0;
  double min_a = 0, max_a = 0, min_b = 0, max_b = 0;
  // For each metre, the drawable metre at or before it and at or after it.
  static constexpr size_t kNessuno = static_cast<size_t>(-1);
  std::vector<size_t> prima, dopo;

  explicit pianta(const planimetria_linea& pl) : p(pl) {}

  bool valido(size_t m) const {
    return m < p.punti() && p.genere[m] != genere_punto::vuoto && std::isfinite(p.x[m]) &&
           std::isfinite(p.y[m]);
  }
  // Page axes before scaling: a across, b down.
  punto2 ab(size_t m) const { return girata ? punto2{p.y[m], p.x[m]} : punto2{p.x[m], -p.y[m]}; }
  punto2 schermo(size_t m) const {
    punto2 q = ab(m);
    return {ox + (q.x - min_a) * scala, oy + (q.y - min_b) * scala};
  }
  // The nearest drawable metre to m, the earlier one on a tie.
  bool vicino(int64_t m, size_t& out) const {
    if (vuota) return false;
    size_t c = static_cast<size_t>(std::clamp<int64_t>(m, 0, static_cast<int64_t>(ultimo)));
    size_t a = prima[c], b = dopo[c];
    if (a == kNessuno) return out = b, true;
    if (b == kNessuno) return out = a, true;
    return out = (c - a <= b - c) ? a : b, true;
  }

  void misura(int32_t lunghezza, double largo, double alto_massimo) {
    if (p.punti() == 0) return;
    size_t fine = lunghezza > 0 ? static_cast<size_t>(lunghezza) : p.punti() - 1;
    ultimo = std::min(fine, p.punti() - 1);
    double xmin = 0, xmax = 0, ymin = 0, ymax = 0;
    for (size_t m = 0; m <= ultimo; ++m) {
      if (!valido(m)) continue;
      if (vuota) {
        xmin = xmax = p.x[m];
        ymin = ymax = p.y[m];
        vuota = false;
      }
      xmin = std::min(xmin, p.x[m]);
      xmax = std::max(xmax, p.x[m]);
      ymin = std::min(ymin, p.y[m]);
      ymax = std::max(ymax, p.y[m]);
    }
    if (vuota) return;
    prima.assign(ultimo + 1, kNessuno);
    dopo.assign(ultimo + 1, kNessuno);
    for (size_t m = 0, u = kNessuno; m <= ultimo; ++m) prima[m] = u = valido(m) ? m : u;
    for (size_t m = ultimo + 1, u = kNessuno; m-- > 0;) dopo[m] = u = valido(m) ? m : u;
    girata = (ymax - ymin) > (xmax - xmin);
    min_a = girata ? ymin : xmin;
    max_a = girata ? ymax : xmax;
    min_b = girata ? xmin : -ymax;
    max_b = girata ? xmax : -ymin;
    double da = std::max(max_a - min_a, 1.0), db = std::max(max_b - min_b, 1.0);
    scala = std::min(largo / da, alto_massimo / db);
    ox = kSinistra + (largo - (max_a - min_a) * scala) / 2;
  }
  double altezza() const { return vuota ? 0 : (max_b - min_b) * scala; }
};

struct etichetta {
  scatola box;
  punto2 da;  // the station's dot
  bool linea;
  std::string numero;
};

constexpr double kAltoEtichetta = kCorpoStazione * 1.3;

// Where a leader line from the dot `da` meets its name's box: the box's
// nearest point.
punto2 fine_linea(const punto2& da, const scatola& box) {
  return {std::clamp(da.x, box.x0, box.x1), std::clamp(da.y, box.y0, box.y1)};
}

// The track as small boxes, one about every 3 px, the last metre always.
std::vector<scatola> ostacoli_binario(const pianta& pt) {
  std::vector<scatola> ostacoli;
  punto2 prec{-1e9, -1e9};
  for (size_t m = 0; m <= pt.ultimo; ++m) {
    if (!pt.valido(m)) continue;
    punto2 q = pt.schermo(m);
    if (std::hypot(q.x - prec.x, q.y - prec.y) < 3 && m != pt.ultimo) continue;
    ostacoli.push_back({q.x - 2.5, q.y - 2.5, q.x + 2.5, q.y + 2.5});
    prec = q;
  }
  return ostacoli;
}

// Each station's dot on the page; a station off the plan goes to the area's
// corner so that its name is still placed.
std::vector<punto2> punti_stazioni(const pianta& pt, const std::vector<regole::stazione_linea>& st,
                                   const scatola& area) {
  std::vector<punto2> punti;
  for (const auto& s : st) {
    size_t m;
    punti.push_back(pt.vicino(s.posizione, m) ? pt.schermo(m) : punto2{area.x0, area.y0});
  }
  return punti;
}

// Normal to the track at the metre `posizione`, pointing up the page.
punto2 normale_binario(const pianta& pt, int32_t posizione) {
  size_t a, b;
  punto2 n{0, -1};
  if (pt.vicino(int64_t{posizione} - 40, a) && pt.vicino(int64_t{posizione} + 40, b)) {
    punto2 qa = pt.schermo(a), qb = pt.schermo(b);
    double tx = qb.x - qa.x, ty = qb.y - qa.y, l = std::hypot(tx, ty);
    if (l > 0.5) n = {ty / l, -tx / l};
    if (n.y > 0) n = {-n.x, -n.y};
  }
  return n;
}

// What the names must keep clear of while they are placed, and those placed.
struct campo_etichette {
  scatola area;
  std::vector<scatola> ostacoli;  // the track and the dots
  std::vector<etichetta> messe;

  // A box is free when it clears the track, the dots, the names and their
  // leader lines; with `linea` its own leader line from P must cross no name
  // either.
  bool libera(const scatola& c, const punto2& P, bool linea) const {
    if (!c.dentro(area)) return false;
    for (const auto& o : ostacoli)
      if (c.tocca(o, 2)) return false;
    for (const auto& e : messe) {
      if (c.tocca(e.box, 4)) return false;
      if (e.linea) {
        punto2 fine = fine_linea(e.da, e.box);
        for (double t = 0.1; t < 1; t += 0.1) {
          double x = e.da.x + (fine.x - e.da.x) * t, y = e.da.y + (fine.y - e.da.y) * t;
          if (x > c.x0 - 2 && x < c.x1 + 2 && y > c.y0 - 2 && y < c.y1 + 2) return false;
        }
      }
    }
    if (linea) {
      punto2 fine = fine_linea(P, c);
      for (double t = 0.15; t < 0.9; t += 0.05) {
        double x = P.x + (fine.x - P.x) * t, y = P.y + (fine.y - P.y) * t;
        for (const auto& e : messe)
          if (x > e.box.x0 - 1 && x < e.box.x1 + 1 && y > e.box.y0 - 1 && y < e.box.y1 + 1)
            return false;
      }
    }
    return true;
  }
};

// Boxes of width w at the point A, off the dot in the direction D: over or
// under A when D is mostly upright, beside it otherwise, then shifted a little
// either way.
std::vector<scatola> caselle_intorno(const punto2& A, const punto2& D, double w) {
  const double alto = kAltoEtichetta;
  std::vector<scatola> prove;
  if (std::abs(D.y) >= 0.5 * std::abs(D.x)) {
    double y0 = D.y < 0 ? A.y - alto : A.y;
    for (double sp : {0.0, w / 2 - 6, -w / 2 + 6})
      prove.push_back({A.x - w / 2 + sp, y0, A.x + w / 2 + sp, y0 + alto});
  } else {
    double x0 = D.x > 0 ? A.x : A.x - w;
    for (double sp : {0.0, -alto * 0.8, alto * 0.8})
      prove.push_back({x0, A.y - alto / 2 + sp, x0 + w, A.y + alto / 2 + sp});
  }
  return prove;
}

// Along the normal n on both sides of the dot P, further out step by step,
// the first side given by `pari` so that neighbours alternate; places the name
// in the first free box.
bool colloca_vicino(campo_etichette& campo, const punto2& P, const punto2& n, double w, bool pari,
                    const std::string& numero) {
  const double lati[2] = {pari ? 1.0 : -1.0, pari ? -1.0 : 1.0};
  for (double d = 9; d < 400; d += d < 40 ? 8 : 16) {
    for (double lato : lati) {
      punto2 A{P.x + lato * n.x * d, P.y + lato * n.y * d};
      punto2 D{lato * n.x, lato * n.y};
      for (const auto& c : caselle_intorno(A, D, w)) {
        // A line when the name stands off or to the side of its dot.
        bool linea = d > 12 || P.x < c.x0 - 4 || P.x > c.x0 + (c.x1 - c.x0) * 0.85;
        if (campo.libera(c, P, linea)) {
          campo.messe.push_back({c, P, linea, numero});
          return true;
        }
      }
    }
  }
  return false;
}

// Crowded: the clear place nearest to the dot anywhere in the area, first
// with a leader line that crosses no name, then with any.
bool colloca_ovunque(campo_etichette& campo, const punto2& P, double w, const std::string& numero) {
  const double alto = kAltoEtichetta;
  const scatola& area = campo.area;
  for (bool attraversa : {false, true}) {
    double migliore = 1e18;
    scatola scelta{};
    for (double y = area.y0; y + alto <= area.y1; y += alto / 2) {
      for (double x = area.x0; x + w <= area.x1; x += 8) {
        scatola c{x, y, x + w, y + alto};
        double dx = std::max({c.x0 - P.x, 0.0, P.x - c.x1});
        double dy = std::max({c.y0 - P.y, 0.0, P.y - c.y1});
        double dist = dx * dx + dy * dy;
        if (dist < migliore && campo.libera(c, P, !attraversa)) {
          migliore = dist;
          scelta = c;
        }
      }
    }
    if (migliore < 1e18) {
      campo.messe.push_back({scelta, P, true, numero});
      return true;
    }
  }
  return false;
}

// Places each station's name near its dot, clear of the track, the dots and
// the names already placed; further out with a leader line when crowded.
std::vector<etichetta> colloca_etichette(const pianta& pt,
                                         const std::vector<regole::stazione_linea>& st,
                                         const scatola& area) {
  campo_etichette campo{area, ostacoli_binario(pt), {}};
  const std::vector<punto2> punti = punti_stazioni(pt, st, area);
  for (const punto2& q : punti) campo.ostacoli.push_back({q.x - 5, q.y - 5, q.x + 5, q.y + 5});
  for (size_t k = 0; k < st.size(); ++k) {
    const punto2 P = punti[k];
    std::string numero = std::to_string(k + 1);
    const double w = larghezza_testo(numero + " " + st[k].nome, kCorpoStazione) + 4;
    const punto2 n = normale_binario(pt, st[k].posizione);
    if (colloca_vicino(campo, P, n, w, k % 2 == 0, numero)) continue;
    if (colloca_ovunque(campo, P, w, numero)) continue;
    // No room at all: the name still appears, at the area's foot.
    scatola c{area.x0, area.y1 - kAltoEtichetta, area.x0 + w, area.y1};
    campo.messe.push_back({c, P, true, numero});
  }
  return std::move(campo.messe);
}

// A number as Italian text: a decimal comma, as the preview page writes it.
std::string virgola(std::string n) {
  for (char& c : n)
    if (c == '.') c = ',';
  return n;
}

std::string km(double metri) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%g", metri / 1000);
  return virgola(buf);
}

// A round step for axis ticks: the smallest of 1, 2, 5 × 10^k not below `minimo`.
double passo_tondo(double minimo) {
  double p = 1;
  while (p * 10 <= minimo) p *= 10;
  while (p < minimo) p *= 10;
  for (double f : {0.1, 0.2, 0.5})
    if (p * f >= minimo) return p * f;
  return p;
}

void testo_svg(disegno& d, double x, double y, const std::string& t, double corpo,
               const char* extra = "") {
  d += "<text x=\"" + f1(x) + "\" y=\"" + f1(y) + "\" font-size=\"" + f1(corpo) + "\"" + extra +
       ">" + t + "</text>\n";
}

// The marks of the plan's objects, at (x, y), as the preview page draws them.
std::string segno_stazione(double x, double y) {
  return "<circle cx=\"" + f1(x) + "\" cy=\"" + f1(y) +
         "\" r=\"4.5\" fill=\"#ffffff\" stroke=\"#000000\" stroke-width=\"1.8\"/>";
}
std::string segno_segnale(double x, double y) {
  return "<circle cx=\"" + f1(x) + "\" cy=\"" + f1(y) + "\" r=\"3.2\"/>";
}
std::string segno_indicatore(double x, double y) {
  return "<rect x=\"" + f1(x - 3) + "\" y=\"" + f1(y - 3) + "\" width=\"6\" height=\"6\"/>";
}
std::string segno_cartello(double x, double y) {
  return "<path d=\"M" + f1(x) + " " + f1(y - 4.6) + "l4.6 4.6-4.6 4.6-4.6-4.6z\"/>";
}
std::string segno_abbattimento(double x, double y) {
  return "<path d=\"M" + f1(x - 4.5) + " " + f1(y - 3.5) + "h9l-4.5 7.5z\"/>";
}

// Each object's group: its class, its fill, its name in the legend.
struct genere_pianta {
  const char* classe;
  const char* colore;
  const char* nome;
  std::string (*segno)(double, double);
};
constexpr genere_pianta kGeneri[] = {
    {"segnali", "#d62728", "segnale", segno_segnale},
    {"indicatori", "#1f5fbf", "indicatore di velocità", segno_indicatore},
    {"cartelli", "#7b4fa0", "cartello indicatore", segno_cartello},
    {"abbattimenti", "#c77c00", "abbattimento", segno_abbattimento},
};

void legenda_pianta(disegno& d, double y0) {
  double lx = kSinistra + 150;
  const double ly = y0 - 11;
  d += segno_stazione(lx, ly) + "\n";
  testo_svg(d, lx + 9, ly + 4, "stazione", 11);
  lx += 9 + larghezza_testo("stazione", 11) + 24;
  for (const genere_pianta& g : kGeneri) {
    d += "<g fill=\"" + std::string(g.colore) + "\">" + g.segno(lx, ly) + "</g>\n";
    testo_svg(d, lx + 9, ly + 4, g.nome, 11);
    lx += 9 + larghezza_testo(g.nome, 11) + 24;
  }
}

void cornice_pianta(disegno& d, double largo, double y0, double fine) {
  d += "<rect x=\"" + f1(kSinistra - 10) + "\" y=\"" + f1(y0) + "\" width=\"" + f1(largo + 20) +
       "\" height=\"" + f1(fine - y0) + "\" fill=\"#f7f7f2\" stroke=\"#cccccc\"/>\n";
}

// The track, sampled about every 2 px.
void disegna_binario(disegno& d, const pianta& pt) {
  // A plan spread over an absurd extent (a damaged file) gives a step past
  // the last point: clamp before the conversion, which would overflow.
  const double voluto = 2 / pt.scala;
  const size_t passo = voluto >= 1 && voluto < static_cast<double>(pt.ultimo)
                           ? static_cast<size_t>(voluto)
                           : (voluto >= 1 ? std::max<size_t>(1, pt.ultimo) : 1);
  std::string percorso;
  bool aperto = false;
  for (size_t m = 0;; m = std::min(m + passo, pt.ultimo)) {
    if (pt.valido(m)) {
      punto2 q = pt.schermo(m);
      percorso += (aperto ? " L" : " M") + f1(q.x) + " " + f1(q.y);
      aperto = true;
    } else {
      aperto = false;
    }
    if (m == pt.ultimo) break;
  }
  d += "<path class=\"binario\" d=\"" + percorso +
       "\" fill=\"none\" stroke=\"#333333\" stroke-width=\"2.5\" stroke-linejoin=\"round\"/>\n";
}

// Which of kGeneri a cell's object is; -1 for none drawn on the plan.
int genere_cella(uint8_t tipo) {
  switch (tipo) {
    case tipo_cella::segnale:
      return 0;
    case tipo_cella::indicatori_v_max:
      return 1;
    case tipo_cella::cartello:
      return 2;
    case tipo_cella::abbattimento:
    case tipo_cella::abbattimento_senza_velocita:
      return 3;
    default:
      return -1;
  }
}

// Signals, boards, named signs (their text as a tooltip) and speed-reduction
// points on the track.
void disegna_segnali(disegno& d, const pianta& pt, const tabella& t,
                     const std::vector<cella_percorso>& celle) {
  std::string gruppi[std::size(kGeneri)];
  for (size_t i = 0; i < celle.size(); ++i) {
    size_t m;
    const int g = genere_cella(celle[i].tipo);
    if (g < 0 || static_cast<int64_t>(i) * formato::kMetriCella > static_cast<int64_t>(pt.ultimo) ||
        !pt.vicino(static_cast<int64_t>(i) * formato::kMetriCella, m))
      continue;
    const punto2 q = pt.schermo(m);
    std::string segno = kGeneri[g].segno(q.x, q.y);
    const int voce = celle[i].valore_1;
    if (celle[i].tipo == tipo_cella::cartello && voce >= 0 && voce < kVociTabella) {
      segno.resize(segno.size() - 2);  // "/>": the path gets its text as a tooltip
      segno += "><title>" + xml_1252(t[static_cast<size_t>(voce)].nome) + "</title></path>";
    }
    gruppi[g] += segno;
  }
  for (size_t g = 0; g < std::size(kGeneri); ++g)
    d += "<g class=\"" + std::string(kGeneri[g].classe) + "\" fill=\"" + kGeneri[g].colore +
         "\" stroke=\"#ffffff\" stroke-width=\"0.8\">" + gruppi[g] + "</g>\n";
}

// Stations: leader lines, then dots over them, then names.
// Each name carries its kilometre as a tooltip.
void disegna_stazioni_pianta(disegno& d, const std::vector<etichetta>& et,
                             const std::vector<regole::stazione_linea>& st,
                             const std::vector<regole::tratto_km>& km) {
  for (const auto& e : et) {
    if (!e.linea) continue;
    punto2 fine = fine_linea(e.da, e.box);
    d += "<line x1=\"" + f1(e.da.x) + "\" y1=\"" + f1(e.da.y) + "\" x2=\"" + f1(fine.x) +
         "\" y2=\"" + f1(fine.y) + "\" stroke=\"#888888\" stroke-width=\"0.8\"/>\n";
  }
  for (const auto& e : et)
    d += "<circle cx=\"" + f1(e.da.x) + "\" cy=\"" + f1(e.da.y) +
         "\" r=\"4.5\" fill=\"#ffffff\" stroke=\"#000000\" stroke-width=\"1.8\"/>\n";
  for (size_t k = 0; k < et.size(); ++k) {
    const auto& e = et[k];
    std::string nome = xml(st[k].nome);
    d += "<text class=\"stazione\" x=\"" + f1(e.box.x0 + 2) + "\" y=\"" +
         f1(e.box.y1 - kCorpoStazione * 0.32) + "\" font-size=\"" + f1(kCorpoStazione) +
         "\"><title>" + nome + ", " + regole::testo_km(regole::progressiva(km, st[k].posizione)) +
         "</title><tspan font-weight=\"bold\" fill=\"#1f5fbf\">" + e.numero + "</tspan> " + nome +
         "</text>\n";
  }
}

// Direction of the plan axes, as the plan is turned.
void disegna_assi(disegno& d, const pianta& pt, double largo, double fine) {
  double ax = kSinistra + largo - 60, ay = fine - 22;
  std::string ex = pt.girata ? "y" : "x", ey = pt.girata ? "x" : "y";
  d += "<g class=\"assi\" stroke=\"#777777\" stroke-width=\"1.2\" fill=\"none\">"
       "<path d=\"M" +
       f1(ax) + " " + f1(ay) +
       " h30 m-5 -3 l5 3 l-5 3\"/>"
       "<path d=\"M" +
       f1(ax) + " " + f1(ay) + (pt.girata ? " v12 m-3 -5 l3 5 l3 -5" : " v-12 m-3 5 l3 -5 l3 5") +
       "\"/></g>\n";
  testo_svg(d, ax + 34, ay + 4, ex, 11, " fill=\"#777777\"");
  testo_svg(d, ax + 4, pt.girata ? ay + 18 : ay - 10, ey, 11, " fill=\"#777777\"");
}

// A scale bar: the shortest round length that is at least 80 px long.
void disegna_barra_scala(disegno& d, const pianta& pt, double fine) {
  double metri = passo_tondo(80 / pt.scala);
  double x0 = kSinistra, yb = fine - 14, w = metri * pt.scala;
  d += "<path d=\"M" + f1(x0) + " " + f1(yb - 4) + " v4 h" + f1(w) + " v-4\" fill=\"none\" " +
       "stroke=\"#555555\" stroke-width=\"1.2\"/>\n";
  testo_svg(d, x0 + w + 6, yb + 1, km(metri) + " km", 11, " fill=\"#555555\"");
}

// Draws the plan panel from y0 down; returns its bottom. The track and the
// names are laid out first and the panel is cut to what they use.
double disegna_pianta(disegno& d, pianta& pt, const std::vector<regole::stazione_linea>& st,
                      const std::vector<regole::tratto_km>& km, const tabella& t,
                      const std::vector<cella_percorso>& celle, double largo, double y0) {
  testo_svg(d, kSinistra, y0 - 6, "Planimetria", 15, " font-weight=\"bold\"");
  legenda_pianta(d, y0);
  if (pt.vuota) {
    cornice_pianta(d, largo, y0, y0 + 80);
    testo_svg(d, kSinistra + largo / 2, y0 + 45, "nessuna planimetria", 14,
              " text-anchor=\"middle\" fill=\"#888888\"");
    return y0 + 80;
  }
  // Laid out with the track's top at 0, then moved into place.
  pt.oy = 0;
  const double h = pt.altezza();
  scatola area{kSinistra - 6, -300, kSinistra + largo + 6, h + 300};
  std::vector<etichetta> et = colloca_etichette(pt, st, area);
  double alto = 0, basso = h;
  for (const auto& e : et) {
    alto = std::min(alto, e.box.y0);
    basso = std::max(basso, e.box.y1);
  }
  const double dy = y0 + 14 - alto;
  const double fine = dy + basso + 44;
  cornice_pianta(d, largo, y0, fine);
  d += "<g transform=\"translate(0 " + f1(dy) + ")\">\n";
  disegna_binario(d, pt);
  disegna_segnali(d, pt, t, celle);
  disegna_stazioni_pianta(d, et, st, km);
  d += "</g>\n";
  disegna_assi(d, pt, largo, fine);
  disegna_barra_scala(d, pt, fine);
  return fine;
}

// Where the profiles stand on the page and how metres, gradients and speeds
// map onto it.
struct profili {
  int32_t lunghezza = 0;   // metres
  double largo = 0;        // px across
  size_t celle_linea = 0;  // cells within the line's length
  double y_titolo = 0, y_km = 0, altezza = 0;
  double y_pend = 0, h_pend = 150, y_vel = 0, h_vel = 170;
  int passo_p = 5, basso_p = 0, alto_p = 0;  // per mille
  int passo_v = 10, alto_v = 0;              // km/h

  double xm(double metri) const { return kSinistra + metri / lunghezza * largo; }
  double yp(double v) const {
    return y_pend + h_pend - (v - basso_p) / (alto_p - basso_p) * h_pend;
  }
  double yv(double v) const { return y_vel + h_vel - v / alto_v * h_vel; }
};

// Station numbers over the profiles: a second row where they crowd.
std::vector<int> file_numeri(const std::vector<regole::stazione_linea>& st, const profili& pr) {
  std::vector<int> file;
  double ultimo_x[2] = {-1e9, -1e9};
  for (const auto& s : st) {
    double x = pr.xm(std::clamp<double>(s.posizione, 0, pr.lunghezza));
    int fila = (x - ultimo_x[0] >= 20) ? 0 : (x - ultimo_x[1] >= 20) ? 1 : 0;
    ultimo_x[fila] = x;
    file.push_back(fila);
  }
  return file;
}

// The panels from under the plan down, taller over them when the station
// numbers take two rows.
void impagina_profili(profili& pr, double fine_pianta, bool due_file) {
  pr.y_titolo = fine_pianta + 40;
  pr.y_pend = pr.y_titolo + (due_file ? 50 : 30);
  pr.y_vel = pr.y_pend + pr.h_pend + 50;
  pr.y_km = pr.y_vel + pr.h_vel;
  pr.altezza = pr.y_km + 60;
}

// Round ranges for both charts, with room for a zero line and for the
// slowdowns' speeds.
void scale_profili(profili& pr, const std::vector<cella_percorso>& celle,
                   const std::vector<regole::rallentamento_linea>& rall) {
  pr.celle_linea = std::min(celle.size(), static_cast<size_t>((static_cast<int64_t>(pr.lunghezza) +
                                                               (formato::kMetriCella - 1)) /
                                                              formato::kMetriCella));
  int pmin = 0, pmax = 0, vmax = 0;
  for (size_t i = 0; i < pr.celle_linea; ++i) {
    pmin = std::min(pmin, regole::pendenza_cella(celle[i]));
    pmax = std::max(pmax, regole::pendenza_cella(celle[i]));
    vmax = std::max(vmax, regole::velocita_cella(celle[i]));
  }
  for (const auto& r : rall) vmax = std::max(vmax, r.velocita);
  pr.passo_p = (pmax - pmin) > 40 ? 20 : (pmax - pmin) > 16 ? 10 : 5;
  pr.basso_p = -((-pmin + pr.passo_p - 1) / pr.passo_p) * pr.passo_p - (pmin == 0 ? pr.passo_p : 0);
  pr.alto_p = ((pmax + pr.passo_p - 1) / pr.passo_p) * pr.passo_p + (pmax == 0 ? pr.passo_p : 0);
  pr.passo_v = vmax > 200 ? 50 : vmax > 80 ? 20 : 10;
  pr.alto_v = std::max(pr.passo_v, ((vmax + pr.passo_v - 1) / pr.passo_v) * pr.passo_v);
}

// The document's head: the SVG element, its title, the white page and the
// line's name, train and length over everything.
void intestazione(disegno& d, const tabella& t, int32_t lunghezza, double altezza) {
  const std::string& nome = t[formato::kVoceLinea].nome;
  std::string linea = nome.empty() ? "linea" : xml_1252(nome);
  std::string treno = xml_1252(t[formato::kVoceRipetizione].nome);
  d += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
  d += "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + f1(kLarghezza) + "\" height=\"" +
       f1(altezza) + "\" viewBox=\"0 0 " + f1(kLarghezza) + " " + f1(altezza) +
       "\" font-family=\"" + kFont + "\">\n";
  d += "<title>" + linea + (treno.empty() ? "" : " - treno " + treno) + "</title>\n";
  d += "<rect x=\"0\" y=\"0\" width=\"" + f1(kLarghezza) + "\" height=\"" + f1(altezza) +
       "\" fill=\"#ffffff\"/>\n";
  char lung[64];
  std::snprintf(lung, sizeof lung, "%.1f km", lunghezza / 1000.0);
  testo_svg(d, kSinistra, 34,
            "<tspan font-weight=\"bold\">" + linea + "</tspan>" +
                (treno.empty() ? "" : "  ·  treno " + treno) + "  ·  " + virgola(lung),
            20);
}

// A chart's frame, its grid lines from `da` to `a` with their values, and the
// unit up its left side; y_di maps a value onto the page.
void disegna_griglia(disegno& d, const profili& pr, double y0, double h, int da, int a, int passo,
                     double (profili::*y_di)(double) const, const char* unita) {
  d += "<rect x=\"" + f1(kSinistra) + "\" y=\"" + f1(y0) + "\" width=\"" + f1(pr.largo) +
       "\" height=\"" + f1(h) + "\" fill=\"#fbfbfb\" stroke=\"#999999\"/>\n";
  for (int v = da; v <= a; v += passo) {
    double y = (pr.*y_di)(v);
    d += "<line x1=\"" + f1(kSinistra) + "\" y1=\"" + f1(y) + "\" x2=\"" +
         f1(kSinistra + pr.largo) + "\" y2=\"" + f1(y) + "\" stroke=\"" +
         (v == 0 ? "#888888" : "#e2e2e2") + "\"/>\n";
    testo_svg(d, kSinistra - 6, y + 4, std::to_string(v), 11,
              " text-anchor=\"end\" fill=\"#444444\"");
  }
  testo_svg(d, 16, y0 + h / 2, unita, 11,
            (" text-anchor=\"middle\" fill=\"#444444\" transform=\"rotate(-90 16 " +
             f1(y0 + h / 2) + ")\"")
                .c_str());
}

// Station zones across both charts.
void disegna_zone_stazioni(disegno& d, const profili& pr,
                           const std::vector<regole::stazione_linea>& st) {
  for (const auto& s : st) {
    double x0 = pr.xm(std::clamp<double>(s.inizio, 0, pr.lunghezza));
    double x1 = pr.xm(std::clamp<double>(s.fine, 0, pr.lunghezza));
    for (auto [y0, h] : {std::pair{pr.y_pend, pr.h_pend}, std::pair{pr.y_vel, pr.h_vel}})
      if (x1 > x0)
        d += "<rect x=\"" + f1(x0) + "\" y=\"" + f1(y0) + "\" width=\"" + f1(x1 - x0) +
             "\" height=\"" + f1(h) + "\" fill=\"#1f5fbf\" fill-opacity=\"0.10\"/>\n";
  }
}

// Station lines across both charts, numbered as in the plan.
void disegna_numeri_stazioni(disegno& d, const profili& pr,
                             const std::vector<regole::stazione_linea>& st,
                             const std::vector<int>& file) {
  for (size_t k = 0; k < st.size(); ++k) {
    double x = pr.xm(std::clamp<double>(st[k].posizione, 0, pr.lunghezza));
    d += "<line class=\"linea-stazione\" x1=\"" + f1(x) + "\" y1=\"" + f1(pr.y_pend - 4) +
         "\" x2=\"" + f1(x) + "\" y2=\"" + f1(pr.y_vel + pr.h_vel) +
         "\" stroke=\"#1f5fbf\" stroke-width=\"0.8\" stroke-dasharray=\"3 3\"/>\n";
    double cy = pr.y_pend - 13 - file[k] * 19;
    d += "<circle cx=\"" + f1(x) + "\" cy=\"" + f1(cy) +
         "\" r=\"8.5\" fill=\"#ffffff\" stroke=\"#1f5fbf\" stroke-width=\"1.2\"/>\n";
    testo_svg(d, x, cy + 4, std::to_string(k + 1), 10.5,
              " class=\"numero-stazione\" text-anchor=\"middle\" font-weight=\"bold\" "
              "fill=\"#1f5fbf\"");
  }
}

// Gradient: filled steps around zero, climbs and falls in two colours.
void disegna_pendenza(disegno& d, const profili& pr, const std::vector<cella_percorso>& celle) {
  std::string su, giu, traccia;
  for (size_t i = 0; i < pr.celle_linea;) {
    size_t f = i;
    while (f + 1 < pr.celle_linea && celle[f + 1].pendenza == celle[i].pendenza) ++f;
    int v = regole::pendenza_cella(celle[i]);
    double x0 = pr.xm(i * double(formato::kMetriCella)),
           x1 = pr.xm(std::min<double>((f + 1) * double(formato::kMetriCella), pr.lunghezza));
    traccia += (traccia.empty() ? "M" : " L") + f1(x0) + " " + f1(pr.yp(v)) + " L" + f1(x1) + " " +
               f1(pr.yp(v));
    if (v != 0) {
      std::string r = "<rect x=\"" + f1(x0) + "\" y=\"" + f1(std::min(pr.yp(v), pr.yp(0))) +
                      "\" width=\"" + f1(x1 - x0) + "\" height=\"" +
                      f1(std::abs(pr.yp(v) - pr.yp(0))) + "\"/>";
      (v > 0 ? su : giu) += r;
    }
    i = f + 1;
  }
  d += "<g class=\"salite\" fill=\"#e8927c\" fill-opacity=\"0.55\">" + su + "</g>\n";
  d += "<g class=\"discese\" fill=\"#7cb98e\" fill-opacity=\"0.55\">" + giu + "</g>\n";
  d += "<path class=\"pendenza\" d=\"" + traccia +
       "\" fill=\"none\" stroke=\"#8a3b12\" stroke-width=\"1.5\"/>\n";
}

// Slowdowns: a band over their extent and their speed.
void disegna_rallentamenti(disegno& d, const profili& pr,
                           const std::vector<regole::rallentamento_linea>& rall) {
  for (const auto& r : rall) {
    if (r.da > pr.lunghezza) continue;  // in the margin past the line's end
    double x0 = pr.xm(std::clamp<double>(r.da, 0, pr.lunghezza));
    double x1 = std::max(x0 + 2, pr.xm(std::clamp<double>(r.a, 0, pr.lunghezza)));
    double y = pr.yv(std::clamp(r.velocita, 0, pr.alto_v));
    d += "<g class=\"rallentamento\"><rect x=\"" + f1(x0) + "\" y=\"" + f1(pr.y_vel) +
         "\" width=\"" + f1(x1 - x0) + "\" height=\"" + f1(pr.h_vel) +
         "\" fill=\"#f2a900\" fill-opacity=\"0.25\"/><line x1=\"" + f1(x0) + "\" y1=\"" + f1(y) +
         "\" x2=\"" + f1(x1) + "\" y2=\"" + f1(y) +
         "\" stroke=\"#c77c00\" stroke-width=\"2\" stroke-dasharray=\"5 3\"/></g>\n";
    // Its speed under the dashed line; the legend says what the band is.
    std::string nota = std::to_string(r.velocita);
    double mezzo = larghezza_testo(nota, 10) / 2;
    testo_svg(d, std::clamp((x0 + x1) / 2, kSinistra + mezzo, kSinistra + pr.largo - mezzo),
              std::min(y + 13, pr.y_vel + pr.h_vel - 3), nota, 10,
              " class=\"velocita-rallentamento\" text-anchor=\"middle\" font-weight=\"bold\" "
              "fill=\"#a05f00\"");
  }
}

// Speed limit as steps, each wide one with its value.
void disegna_velocita(disegno& d, const profili& pr, const std::vector<cella_percorso>& celle) {
  std::string traccia;
  for (size_t i = 0; i < pr.celle_linea;) {
    size_t f = i;
    while (f + 1 < pr.celle_linea && celle[f + 1].velocita_limite == celle[i].velocita_limite) ++f;
    double v = regole::velocita_cella(celle[i]);
    double x0 = pr.xm(i * double(formato::kMetriCella)),
           x1 = pr.xm(std::min<double>((f + 1) * double(formato::kMetriCella), pr.lunghezza));
    traccia += (traccia.empty() ? "M" : " L") + f1(x0) + " " + f1(pr.yv(v)) + " L" + f1(x1) + " " +
               f1(pr.yv(v));
    if (x1 - x0 > 26)
      testo_svg(d, (x0 + x1) / 2, pr.yv(v) - 4, std::to_string(static_cast<int>(v)), 10,
                " text-anchor=\"middle\" fill=\"#1a4d8f\"");
    i = f + 1;
  }
  d += "<path class=\"velocita\" d=\"" + traccia +
       "\" fill=\"none\" stroke=\"#1a4d8f\" stroke-width=\"2\"/>\n";
}

// Kilometre scale: numbered ticks at least 45 px apart, short ones between.
void disegna_scala_km(disegno& d, const profili& pr) {
  const int32_t lunghezza = pr.lunghezza;
  double passo =
      passo_tondo(1000.0 * std::max(1.0, std::ceil(45.0 / (pr.largo / lunghezza * 1000))));
  double fine_passo = passo_tondo(lunghezza / 150.0 > 1000 ? lunghezza / 150.0 : 1000);
  if (fine_passo > passo) fine_passo = passo;
  d += "<g class=\"scala\" stroke=\"#444444\">";
  d += "<line x1=\"" + f1(kSinistra) + "\" y1=\"" + f1(pr.y_km) + "\" x2=\"" +
       f1(kSinistra + pr.largo) + "\" y2=\"" + f1(pr.y_km) + "\"/>";
  for (double m = 0; m <= lunghezza + 0.5; m += fine_passo) {
    bool grande = std::fmod(m, passo) < 0.5;
    d += "<line x1=\"" + f1(pr.xm(m)) + "\" y1=\"" + f1(pr.y_km) + "\" x2=\"" + f1(pr.xm(m)) +
         "\" y2=\"" + f1(pr.y_km + (grande ? 8 : 4)) + "\"/>";
  }
  d += "</g>\n";
  for (double m = 0; m <= lunghezza + 0.5; m += passo)
    testo_svg(d, pr.xm(m), pr.y_km + 22, km(m), 11, " text-anchor=\"middle\" fill=\"#333333\"");
  testo_svg(d, kSinistra + pr.largo, pr.y_km + 44, "posizione sulla linea (km)", 12,
            " text-anchor=\"end\" fill=\"#333333\"");
}

void legenda_profili(disegno& d, const profili& pr) {
  double lx = kSinistra + 420, ly = pr.y_titolo;
  d += "<rect x=\"" + f1(lx) + "\" y=\"" + f1(ly - 9) +
       "\" width=\"14\" height=\"10\" fill=\"#e8927c\" fill-opacity=\"0.55\"/>\n";
  testo_svg(d, lx + 19, ly, "salita", 11);
  d += "<rect x=\"" + f1(lx + 70) + "\" y=\"" + f1(ly - 9) +
       "\" width=\"14\" height=\"10\" fill=\"#7cb98e\" fill-opacity=\"0.55\"/>\n";
  testo_svg(d, lx + 89, ly, "discesa", 11);
  d += "<line x1=\"" + f1(lx + 150) + "\" y1=\"" + f1(ly - 4) + "\" x2=\"" + f1(lx + 168) +
       "\" y2=\"" + f1(ly - 4) + "\" stroke=\"#1a4d8f\" stroke-width=\"2\"/>\n";
  testo_svg(d, lx + 173, ly, "velocità massima", 11);
  d += "<rect x=\"" + f1(lx + 280) + "\" y=\"" + f1(ly - 9) +
       "\" width=\"14\" height=\"10\" fill=\"#f2a900\" fill-opacity=\"0.35\"/>\n";
  testo_svg(d, lx + 299, ly, "rallentamento", 11);
  d += "<rect x=\"" + f1(lx + 390) + "\" y=\"" + f1(ly - 9) +
       "\" width=\"14\" height=\"10\" fill=\"#1f5fbf\" fill-opacity=\"0.15\"/>\n";
  testo_svg(d, lx + 409, ly, "zona di stazione (numero come in pianta)", 11);
}

// Both charts under the plan, in drawing order: later parts lie over earlier.
void disegna_profili(disegno& d, const profili& pr, const std::vector<regole::stazione_linea>& st,
                     const std::vector<int>& file, const std::vector<cella_percorso>& celle,
                     const std::vector<regole::rallentamento_linea>& rall) {
  testo_svg(d, kSinistra, pr.y_titolo, "Pendenza (‰) e velocità massima (km/h)", 15,
            " font-weight=\"bold\"");
  disegna_griglia(d, pr, pr.y_pend, pr.h_pend, pr.basso_p, pr.alto_p, pr.passo_p, &profili::yp,
                  "pendenza (‰)");
  disegna_griglia(d, pr, pr.y_vel, pr.h_vel, 0, pr.alto_v, pr.passo_v, &profili::yv,
                  "velocità massima (km/h)");
  disegna_zone_stazioni(d, pr, st);
  disegna_numeri_stazioni(d, pr, st, file);
  disegna_pendenza(d, pr, celle);
  disegna_rallentamenti(d, pr, rall);
  disegna_velocita(d, pr, celle);
  disegna_scala_km(d, pr);
  legenda_profili(d, pr);
}

}  // namespace

std::string disegna_linea(const tabella& t, const std::vector<cella_percorso>& celle,
                          const planimetria_linea& pl) {
  const std::vector<regole::stazione_linea> st = regole::stazioni_linea(t);
  const std::vector<regole::rallentamento_linea> rall = regole::rallentamenti_linea(celle);
  const int32_t lunghezza = regole::lunghezza_linea(t, celle);
  const double largo = kLarghezza - kSinistra - kDestra;

  // The plan first: its height sets where the profiles start.
  pianta pt(pl);
  pt.misura(lunghezza, largo, 560);
  const double y_pianta = 70;
  disegno piano;
  const double fine_pianta =
      disegna_pianta(piano, pt, st, regole::tratti_km(t), t, celle, largo, y_pianta);

  profili pr;
  pr.lunghezza = lunghezza;
  pr.largo = largo;
  const std::vector<int> file = file_numeri(st, pr);
  impagina_profili(pr, fine_pianta, std::count(file.begin(), file.end(), 1) > 0);
  scale_profili(pr, celle, rall);

  disegno d;
  intestazione(d, t, lunghezza, pr.altezza);
  d += piano.s;
  disegna_profili(d, pr, st, file, celle, rall);
  d += "</svg>\n";
  return d.s;
}

namespace {

// A compile in memory that may be drawn: nothing is written beside the
// sources or anywhere. Returns -1 to go on, else the exit status after the
// reason was printed.
int compila_per_disegno(const opzioni_compilazione& o, esito_compilazione& e) {
  e = compila_scenario(o);
  if (!e.errore_io.empty()) {
    std::fprintf(stderr, "scenario: %s\n", e.errore_io.c_str());
    return kUscitaFallita;
  }
  if (e.codifica) {
    std::fputs(testo_errore(e).c_str(), stderr);
    return kUscitaFallita;
  }
  if (e.codice_fatale != 0) {
    std::fprintf(stderr, " Errore n. %d\n", e.codice_fatale);
    return kUscitaFallita;
  }
  if (e.codice_errore != 0) {
    // A compile that stopped early leaves a partial line: drawing it would mislead.
    std::string senso(codice::significato(e.codice_errore));
    std::fprintf(stderr,
                 "scenario: la compilazione ha lasciato l'errore %d%s%s (posizione %d m); "
                 "nessun disegno. 'scenario compile' mostra dove.\n",
                 e.codice_errore, senso.empty() ? "" : ": ", senso.c_str(), e.posizione_errore);
    return kUscitaCodice;
  }
  return -1;
}

int scrivi_disegno(const std::string& uscita, const std::string& testo) {
  try {
    file::sostituisci(uscita, testo);
  } catch (const file::errore_io& e) {
    std::fprintf(stderr, "scenario: %s\n", e.what());
    return kUscitaFallita;
  }
  return kUscitaOk;
}

// The preview page with the data of the sources built in: the entries link
// to the sources' lines by their absolute paths.
int pagina_statica(const std::string& cartella, const std::string& linea, const std::string& treno,
                   bool utf8, const std::string& uscita) {
  esito_compilazione e;
  opzioni_compilazione o = compilazione_anteprima(file::assoluto(cartella), linea, treno);
  o.utf8 = utf8;
  if (int s = compila_per_disegno(o, e); s >= 0) return s;
  return scrivi_disegno(uscita, pagina_con_dati(documento_anteprima(e, linea, treno, 1)));
}

int svg(const std::string& cartella, const std::string& linea, const std::string& treno,
        bool compilati, bool utf8, const std::string& uscita) {
  scenario_compilato s;
  try {
    if (compilati) {
      leggi_compilato(cartella, linea, treno, s);
    } else {
      opzioni_compilazione o;
      o.cartella_sorgenti = cartella;
      o.linea = linea;
      o.treno = treno;
      o.planimetria = true;
      o.uscita = uscita_compilati::memoria;
      o.utf8 = utf8;
      esito_compilazione e;
      if (int stato = compila_per_disegno(o, e); stato >= 0) return stato;
      compilato_da_memoria(e.compilati, linea, treno, s);
    }
  } catch (const file::errore_io& x) {
    std::fprintf(stderr, "scenario: %s\n", x.what());
    return kUscitaFallita;
  }
  if (!s.con_planimetria) {
    std::fprintf(stderr, "scenario: impossibile leggere %s: senza la planimetria non c'è disegno\n",
                 file::percorso(cartella, nome_planimetria(linea)).c_str());
    return kUscitaFallita;
  }
  return scrivi_disegno(uscita, disegna_linea(s.tabella_linea, s.celle, s.planimetria()));
}

}  // namespace

int comando_plot(const argomenti& a) {
  argomenti_letti l;
  if (int s = leggi_argomenti(
          "plot", a,
          {{"--output", "un nome di file", "-o"}, {"--from-compiled"}, {"--html"}, {"--utf8"}}, 3,
          "SRCDIR (o --from-compiled DIR) ROUTE TRAIN", l);
      s >= 0)
    return s;
  const bool compilati = l.ha("--from-compiled");
  const bool html = l.ha("--html");
  const std::string uscita = l.valore("--output");
  if (uscita.empty())
    return errore_uso("plot", html ? "plot vuole -o FILE.html" : "plot vuole -o FILE.svg");
  const std::string& cartella = l.posizionali[0];
  const std::string& linea = l.posizionali[1];
  const std::string& treno = l.posizionali[2];
  if (int s = nomi_scenario("plot", linea, treno); s >= 0) return s;
  if (html && compilati)
    return errore_uso("plot",
                      "--html vuole i sorgenti (SRCDIR): la pagina lega ogni voce alla sua riga");
  const bool utf8 = l.ha("--utf8");
  if (compilati && utf8)
    return errore_uso("plot", "--utf8 vale per i sorgenti, non con --from-compiled");
  if (html) return pagina_statica(cartella, linea, treno, utf8, uscita);
  return svg(cartella, linea, treno, compilati, utf8, uscita);
}
