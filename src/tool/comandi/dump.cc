// scenario dump: the three compiled files read back and printed for a person
// or, with --json, for other tools.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

#include "model/formato.h"
#include "model/regole.h"
#include "platform/file.h"
#include "platform/testo.h"
#include "tool/comandi/comandi.h"
#include "tool/compilati/compilati.h"
#include "tool/comune/argomenti.h"
#include "tool/comune/json.h"

namespace {

std::string numero_json(double v) {
  return std::isfinite(v) ? numero_esatto(v) : "null";
}

std::string testo_json(const std::string& cp1252) {
  return json_testo(testo::da_1252(cp1252));
}

struct uscita_dump {
  std::string nome;
  size_t byte = 0;
  bool tutto = false;
  bool json = false;
  std::string s;

  void operator+=(const std::string& t) { s += t; }
};

// --- line table ---

bool voce_vuota(const voce_linea& v) {
  if (!v.nome.empty()) return false;
  for (const auto& c : campi_voce(v))
    if (c.valore != 0) return false;
  return true;
}

// What the header entries hold; their fields keep the record's names.
const char* ruolo_voce(int e) {
  switch (e) {
    case formato::kVoceProgressivaTre:
    case formato::kVoceProgressivaDue:
    case formato::kVoceProgressivaUno:
      return "punto di riferimento: inizio = posizione, fine = progressiva, posizione = correzione";
    case formato::kVoceTreno:
      return "inizio = massa frenata %, fine = lunghezza del percorso, posizione = vetture";
    case formato::kVoceLinea:
      return "sfondi, nome della linea, parametro_1 = timbro, orario = codice st";
    case formato::kVoceRipetizione:
      return "ripetizione segnali, numero del treno, parametro_1 = sabbia, 4-6 = orologio";
    default:
      return nullptr;
  }
}

// A station's time where it reads as one (up to a week; the clock wraps daily).
std::string ora(int32_t s) {
  if (s < 0 || s >= 7 * regole::kGiorno) return "";
  return regole::ora_testo(s);
}

// The first line: with --all nothing but the bytes' own description, so
// that the listing of the same bytes is the same whatever the file is called
// (git hands a converter a temporary name).
void intestazione(uscita_dump& u, const std::string& descrizione) {
  u += (u.tutto ? "" : u.nome + ": ") + descrizione + "\n";
}

void tabella_testo(uscita_dump& u, const tabella& t) {
  intestazione(u, "tabella della linea, 87 voci, " + std::to_string(u.byte) + " byte");
  // Stations also show the kilometre of their position.
  const int stazioni = static_cast<int>(regole::stazioni_linea(t).size());
  const std::vector<regole::tratto_km> km = regole::tratti_km(t);
  for (int e = 0; e < kVociTabella;) {
    const voce_linea& v = t[static_cast<size_t>(e)];
    if (!u.tutto && voce_vuota(v)) {
      int f = e;
      while (f + 1 < kVociTabella && voce_vuota(t[static_cast<size_t>(f + 1)])) ++f;
      u += f == e ? "voce " + std::to_string(e) + ": vuota\n"
                  : "voci " + std::to_string(e) + "-" + std::to_string(f) + ": vuote\n";
      e = f + 1;
      continue;
    }
    // One entry a line with --all, for a line-by-line comparison.
    u += "voce " + std::to_string(e) + ":";
    if (const char* r = ruolo_voce(e)) u += std::string(" (") + r + ")";
    u += (u.tutto ? " " : "\n  ") + std::string("nome=") + json_testo(testo::da_1252(v.nome)) +
         (u.tutto ? "" : "\n ");
    for (const auto& c : campi_voce(v))
      u += std::string(" ") + c.nome + "=" + std::to_string(c.valore);
    std::string nota;
    if (e >= 1 && e <= 80 && v.orario != 0 && !ora(v.orario).empty()) nota = ora(v.orario);
    if (e >= 1 && e <= stazioni)
      nota += (nota.empty() ? "" : ", ") + regole::testo_km(regole::progressiva(km, v.posizione));
    if (!nota.empty()) u += " (" + nota + ")";
    u += "\n";
    ++e;
  }
}

void tabella_json(uscita_dump& u, const tabella& t) {
  u += "{\"file\":" + json_testo(u.nome) +
       ",\"genere\":\"tabella\",\"byte\":" + std::to_string(u.byte) + ",\"voci\":[";
  bool primo = true;
  for (int e = 0; e < kVociTabella; ++e) {
    const voce_linea& v = t[static_cast<size_t>(e)];
    if (!u.tutto && voce_vuota(v)) continue;
    u += primo ? "\n" : ",\n";
    primo = false;
    u += "{\"voce\":" + std::to_string(e) + ",\"nome\":" + testo_json(v.nome);
    for (const auto& c : campi_voce(v))
      u += std::string(",\"") + c.nome + "\":" + std::to_string(c.valore);
    u += "}";
  }
  u += "]}\n";
}

// --- track ---

// A cell worth listing by default: an object or its values (cell 1 carries
// the stamps with no object), a marker or a span.
bool cella_notevole(const cella_percorso& c) {
  return c.tipo != 0 || c.valore_1 != 0 || c.valore_2 != 0 || c.valore_3 != 0 || c.valore_4 != 0 ||
         c.tempo != 0 || c.marcatore != 0 || c.montagna != 0;
}

struct tratto {
  size_t da, a;  // cells, inclusive
  uint8_t velocita_limite, pendenza, aderenza;
};

std::vector<tratto> profilo(const std::vector<cella_percorso>& celle) {
  std::vector<tratto> r;
  for (size_t i = 0; i < celle.size(); ++i) {
    const auto& c = celle[i];
    if (!r.empty() && r.back().velocita_limite == c.velocita_limite &&
        r.back().pendenza == c.pendenza && r.back().aderenza == c.aderenza) {
      r.back().a = i;
    } else {
      r.push_back({i, i, c.velocita_limite, c.pendenza, c.aderenza});
    }
  }
  return r;
}

std::string con_segno(int v) {
  return (v > 0 ? "+" : "") + std::to_string(v);
}

// Where the entry that put an object on cell i was written: the cell's
// start is not that position ("" for an object no one position places).
std::string posizioni_voce(uint8_t tipo, size_t i) {
  const char* chi = "voce";
  int64_t spostamento = 0;  // what the entry adds to its position to land here
  switch (tipo) {
    case tipo_cella::segnale:
    case tipo_cella::indicatori_v_max:
    case tipo_cella::cartello:
    case tipo_cella::abbattimento:
    case tipo_cella::abbattimento_senza_velocita:
      break;
    case tipo_cella::inizio_rallentamento:
      chi = "rallentamento";
      break;
    case tipo_cella::fine_rallentamento:
      chi = "fine del rallentamento (posizione + lunghezza)";
      break;
    case tipo_cella::avviso_rallentamento:
      chi = "rallentamento";
      spostamento = -formato::kAnticipoAvviso;
      break;
    case tipo_cella::fermata:
      chi = "fine della zona della stazione";
      spostamento = -formato::kMetriCella;  // the stop cell is the one before the zone's end
      break;
    default:
      return "";
  }
  const bool dopo = tipo != tipo_cella::abbattimento &&
                    tipo != tipo_cella::abbattimento_senza_velocita && tipo != tipo_cella::fermata;
  const regole::posizioni_cella p = regole::posizioni_della_cella(static_cast<int64_t>(i), dopo);
  return std::string(" (") + chi + " a " + std::to_string(p.da - spostamento) + "-" +
         std::to_string(p.a - spostamento) + " m)";
}

void percorso_testo(uscita_dump& u, const std::vector<cella_percorso>& celle) {
  std::string d = "percorso, " + std::to_string(celle.size()) + " celle";
  if (!celle.empty()) d += " (0-" + std::to_string(celle.size() - 1) + ", 50 m l'una)";
  intestazione(u, d + ", " + std::to_string(u.byte) + " byte");
  for (size_t i = 0; i < celle.size(); ++i) {
    const auto& c = celle[i];
    if (!u.tutto && !cella_notevole(c)) continue;
    u += "cella " + std::to_string(i) + " (" + std::to_string(i * formato::kMetriCella) + " m) " +
         regole::nome_tipo_cella(c.tipo) + posizioni_voce(c.tipo, i) + ":";
    for (const auto& f : campi_cella(c))
      u += std::string(" ") + f.nome + "=" + std::to_string(f.valore);
    u += "\n";
  }
  if (u.tutto) return;  // every cell is there already
  u += "profilo (tratti di velocita_limite, pendenza e aderenza uguali):\n";
  for (const auto& t : profilo(celle)) {
    u += "  celle " + std::to_string(t.da) + "-" + std::to_string(t.a) + " (" +
         std::to_string(t.da * formato::kMetriCella) + "-" +
         std::to_string((t.a + 1) * formato::kMetriCella) +
         " m): velocita_limite=" + std::to_string(t.velocita_limite) + " (" +
         std::to_string(regole::velocita_dei_passi(t.velocita_limite)) +
         " km/h) pendenza=" + std::to_string(t.pendenza) + " (" +
         con_segno(regole::pendenza_del_campo(t.pendenza)) +
         " per mille) aderenza=" + std::to_string(t.aderenza) + "\n";
  }
}

void percorso_json(uscita_dump& u, const std::vector<cella_percorso>& celle) {
  u += "{\"file\":" + json_testo(u.nome) +
       ",\"genere\":\"percorso\",\"byte\":" + std::to_string(u.byte) +
       ",\"numero_celle\":" + std::to_string(celle.size()) + ",\"celle\":[";
  bool primo = true;
  for (size_t i = 0; i < celle.size(); ++i) {
    const auto& c = celle[i];
    if (!u.tutto && !cella_notevole(c)) continue;
    u += primo ? "\n" : ",\n";
    primo = false;
    u += "{\"cella\":" + std::to_string(i) +
         ",\"metri\":" + std::to_string(i * formato::kMetriCella);
    for (const auto& f : campi_cella(c))
      u += std::string(",\"") + f.nome + "\":" + std::to_string(f.valore);
    u += "}";
  }
  u += "],\"profilo\":[";
  primo = true;
  for (const auto& t : profilo(celle)) {
    u += primo ? "\n" : ",\n";
    primo = false;
    u += "{\"da_cella\":" + std::to_string(t.da) + ",\"a_cella\":" + std::to_string(t.a) +
         ",\"velocita_limite\":" + std::to_string(t.velocita_limite) +
         ",\"pendenza\":" + std::to_string(t.pendenza) +
         ",\"aderenza\":" + std::to_string(t.aderenza) + "}";
  }
  u += "]}\n";
}

// --- plan ---

const char* nome_genere(uint8_t g) {
  switch (g) {
    case genere_punto::intero:
      return "intero";
    case genere_punto::doppio:
      return "doppio";
    default:
      return "vuoto";
  }
}

struct riassunto_planimetria {
  size_t vuoti = 0, interi = 0, doppi = 0;
  bool riquadro = false;  // false: no point has coordinates
  double x_min = 0, x_max = 0, y_min = 0, y_max = 0;
};

riassunto_planimetria riassumi(const planimetria_linea& p) {
  riassunto_planimetria r;
  for (size_t m = 0; m < p.punti(); ++m) {
    uint8_t g = p.genere[m];
    if (g == genere_punto::vuoto) {
      ++r.vuoti;
      continue;
    }
    ++(g == genere_punto::intero ? r.interi : r.doppi);
    double x = p.x[m], y = p.y[m];
    if (!std::isfinite(x) || !std::isfinite(y)) continue;
    if (!r.riquadro) {
      r.x_min = r.x_max = x;
      r.y_min = r.y_max = y;
      r.riquadro = true;
    }
    r.x_min = std::min(r.x_min, x);
    r.x_max = std::max(r.x_max, x);
    r.y_min = std::min(r.y_min, y);
    r.y_max = std::max(r.y_max, y);
  }
  return r;
}

constexpr size_t kPassoCampioni = 500;

void planimetria_testo(uscita_dump& u, const planimetria_linea& p) {
  std::string d = "planimetria, " + std::to_string(p.punti()) + " punti";
  if (p.punti() > 0) d += " (metri 0-" + std::to_string(p.punti() - 1) + ")";
  intestazione(u, d + ", " + std::to_string(u.byte) + " byte");
  riassunto_planimetria r = riassumi(p);
  u += "generi per colonna: vuoto (0) " + std::to_string(r.vuoti) + ", intero (2) " +
       std::to_string(r.interi) + ", doppio (5) " + std::to_string(r.doppi) + "\n";
  if (r.riquadro)
    u += "riquadro: x da " + numero_esatto(r.x_min) + " a " + numero_esatto(r.x_max) + ", y da " +
         numero_esatto(r.y_min) + " a " + numero_esatto(r.y_max) + "\n";
  else
    u += "riquadro: nessun punto con coordinate\n";
  u += u.tutto ? "ogni punto:\n" : "un punto ogni " + std::to_string(kPassoCampioni) + ":\n";
  const size_t passo = u.tutto ? 1 : kPassoCampioni;
  for (size_t m = 0; m < p.punti(); m += passo) {
    u += "punto " + std::to_string(m) + ": " + nome_genere(p.genere[m]);
    if (p.genere[m] != genere_punto::vuoto)
      u += " x=" + numero_esatto(p.x[m]) + " y=" + numero_esatto(p.y[m]);
    u += "\n";
  }
}

void planimetria_json(uscita_dump& u, const planimetria_linea& p) {
  riassunto_planimetria r = riassumi(p);
  u += "{\"file\":" + json_testo(u.nome) +
       ",\"genere\":\"planimetria\",\"byte\":" + std::to_string(u.byte) +
       ",\"punti\":" + std::to_string(p.punti()) +
       ",\"generi\":{\"vuoto\":" + std::to_string(r.vuoti) +
       ",\"intero\":" + std::to_string(r.interi) + ",\"doppio\":" + std::to_string(r.doppi) + "}";
  if (r.riquadro)
    u += ",\"riquadro\":{\"x_min\":" + numero_esatto(r.x_min) +
         ",\"x_max\":" + numero_esatto(r.x_max) + ",\"y_min\":" + numero_esatto(r.y_min) +
         ",\"y_max\":" + numero_esatto(r.y_max) + "}";
  else
    u += ",\"riquadro\":null";
  u += ",\"passo\":" + std::to_string(u.tutto ? 1 : kPassoCampioni) + ",\"campioni\":[";
  const size_t passo = u.tutto ? 1 : kPassoCampioni;
  for (size_t m = 0; m < p.punti(); m += passo) {
    u += m == 0 ? "\n" : ",\n";
    u += "{\"punto\":" + std::to_string(m) + ",\"genere\":" + std::to_string(p.genere[m]);
    if (p.genere[m] == genere_punto::vuoto)
      u += ",\"x\":null,\"y\":null}";
    else
      u += ",\"x\":" + numero_json(p.x[m]) + ",\"y\":" + numero_json(p.y[m]) + "}";
  }
  u += "]}\n";
}

}  // namespace

int comando_dump(const argomenti& a) {
  argomenti_letti l;
  if (int s = leggi_argomenti("dump", a, {{"--all"}, {"--json"}}, 1, "un file compilato", l);
      s >= 0)
    return s;
  uscita_dump u;
  u.tutto = l.ha("--all");
  u.json = l.ha("--json");
  u.nome = l.posizionali[0];
  genere_file g = riconosci_file(u.nome);
  if (g == genere_file::nessuno)
    return errore_uso("dump", "'" + u.nome +
                                  "' non è il nome di un file compilato (ROUTE_linea.dat, "
                                  "ROUTE_TRAIN.sim o ROUTE_TRAIN.dat)");
  try {
    const file::mappatura m(u.nome);
    const std::string_view b = m.dati();
    u.byte = b.size();
    switch (g) {
      case genere_file::tabella: {
        tabella t;
        decodifica_tabella(b, t, u.nome);
        (u.json ? tabella_json : tabella_testo)(u, t);
        break;
      }
      case genere_file::percorso: {
        std::vector<cella_percorso> c;
        decodifica_percorso(b, c, u.nome);
        (u.json ? percorso_json : percorso_testo)(u, c);
        break;
      }
      case genere_file::planimetria: {
        planimetria_linea p;
        decodifica_planimetria(b, p, u.nome);
        (u.json ? planimetria_json : planimetria_testo)(u, p);
        break;
      }
      case genere_file::nessuno:
        break;
    }
  } catch (const file::errore_io& e) {
    std::fprintf(stderr, "scenario: %s\n", e.what());
    return kUscitaFallita;
  }
  std::fwrite(u.s.data(), 1, u.s.size(), stdout);
  return std::fflush(stdout) == 0 ? kUscitaOk : kUscitaFallita;
}
