#include "model/regole.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <limits>

#include "model/formato.h"
#include "model/numeri.h"
#include "platform/testo.h"

namespace regole {

bool nome_valido(std::string_view nome) {
  return !nome.empty() && nome.find('/') == std::string_view::npos &&
         nome.find('\\') == std::string_view::npos && nome != "." && nome != ".." &&
         nome.find('\0') == std::string_view::npos;
}

bool carattere_da_sorgente(char32_t c) {
  return c >= 0x20 && !(c >= 0x7F && c <= 0x9F);
}

namespace {

// A file name without what nome_vicino lets differ.
std::string nucleo_nome(std::string_view n) {
  std::string r;
  for (char c : n.substr(0, n.find('.'))) {
    if (c == '-' || c == '_' || c == ' ') continue;
    r += static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  }
  return r;
}

}  // namespace

bool nome_vicino(std::string_view atteso, std::string_view trovato) {
  if (trovato == atteso) return false;
  std::string estensione(trovato.substr(std::min(trovato.rfind('.'), trovato.size())));
  for (char& c : estensione) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  if (estensione == ".dat" || estensione == ".sim") return false;
  return nucleo_nome(trovato) == nucleo_nome(atteso);
}

std::optional<nomi_scenario> nomi_da_file(std::string_view nome) {
  constexpr std::string_view kLinea = "_linea.txt", kTreno = "-.txt";
  nomi_scenario n;
  if (nome.size() > kLinea.size() && nome.ends_with(kLinea)) {
    n.linea = nome.substr(0, nome.size() - kLinea.size());
    n.sorgente_linea = true;
  } else if (nome.ends_with(kTreno)) {
    const std::string_view s = nome.substr(0, nome.size() - kTreno.size());
    const size_t u = s.rfind('_');
    if (u == std::string_view::npos || u == 0 || u + 1 == s.size()) return std::nullopt;
    n.linea = s.substr(0, u);
    n.treno = s.substr(u + 1);
  } else {
    return std::nullopt;
  }
  if (!nome_valido(n.linea) || (!n.sorgente_linea && !nome_valido(n.treno))) return std::nullopt;
  return n;
}

std::string ora_testo(int64_t s) {
  s = ((s % kGiorno) + kGiorno) % kGiorno;
  char b[16];
  std::snprintf(b, sizeof b, "%02d:%02d:%02d", static_cast<int>(s / 3600),
                static_cast<int>(s / 60 % 60), static_cast<int>(s % 60));
  return b;
}

std::string ora_scheda(int64_t s) {
  s = ((s % kGiorno) + kGiorno) % kGiorno;
  char b[16];
  std::snprintf(b, sizeof b, "%d.%02d%s", static_cast<int>(s / 3600), static_cast<int>(s / 60 % 60),
                s % 60 >= 30 ? "+" : "");
  return b;
}

std::string durata_testo(int64_t s) {
  if (s < 60) return std::to_string(s) + " s";
  std::string r = std::to_string(s / 60) + " min";
  if (s % 60) r += " " + std::to_string(s % 60) + " s";
  return r;
}

std::vector<tratto_km> tratti_km(const tabella& t) {
  std::vector<tratto_km> r;
  // Entry 83 holds the smallest position, 81 the largest.
  for (int e :
       {formato::kVoceProgressivaUno, formato::kVoceProgressivaDue, formato::kVoceProgressivaTre}) {
    const voce_linea& v = t[static_cast<size_t>(e)];
    r.push_back({v.inizio, v.fine});
  }
  std::stable_sort(r.begin(), r.end(),
                   [](const tratto_km& a, const tratto_km& b) { return a.da < b.da; });
  return r;
}

int64_t progressiva(const std::vector<tratto_km>& tratti, int64_t p) {
  if (tratti.empty()) return p;
  const tratto_km* r = &tratti.front();
  for (const tratto_km& x : tratti)
    if (x.da <= p) r = &x;
  return r->progressiva + (p - r->da);
}

namespace {

// Kilometres and metres of a chainage, parted by `separatore`.
std::string chilometri(int64_t m, char separatore) {
  const long long a = std::llabs(static_cast<long long>(m));
  char b[48];
  std::snprintf(b, sizeof b, "%s%lld%c%03lld", m < 0 ? "-" : "", a / 1000, separatore, a % 1000);
  return b;
}

}  // namespace

std::string testo_progressiva(int64_t m) {
  return chilometri(m, '+');
}

std::string testo_km(int64_t m) {
  return "km " + testo_progressiva(m);
}

std::string km_scheda(int64_t m) {
  return chilometri(m, '.');
}

bool con_fermata(int32_t tipo) {
  return tipo < formato::kTipoSenzaFermata;
}
bool con_marcatori(int32_t tipo) {
  return con_fermata(tipo) && tipo != 5 && tipo != 6;
}
bool zona_propria(int32_t tipo) {
  return tipo >= 5 && tipo <= 8;
}

namespace {

// Kinds 5 and 6 end their zone this far past their position.
constexpr int64_t kFineZonaCorta = 150;
// A zone shorter than this clears opzione_2.
constexpr int64_t kZonaOpzione2 = 600;

}  // namespace

zona_stazione zona_della_stazione(int32_t tipo, int64_t p, int64_t l, bool prolunga_fine) {
  if (tipo == 5 || tipo == 6) return {p - l, p + kFineZonaCorta};
  if (tipo == 7 || tipo == 8) return {p - l, p + l};
  return {arrotonda(2 * p - l, 2),
          arrotonda(2 * p + l + (prolunga_fine ? 2 * formato::kMetriCella : 0), 2)};
}

bool zone_distanti(int64_t fine_prima, int64_t inizio) {
  return inizio - formato::kDistanzaZone >= fine_prima;
}

std::optional<int64_t> cella_fermata(int64_t fine) {
  if (fine <= 2 * formato::kMetriCella) return std::nullopt;
  return arrotonda(fine - formato::kMetriCella, formato::kMetriCella);
}

std::optional<int64_t> cella_marcatore(int64_t fine, int k) {
  // fine / 50 - k - 1 > 1, on the exact quotient
  if (fine <= formato::kMetriCella * (int64_t{k} + 2)) return std::nullopt;
  return arrotonda(fine - formato::kMetriCella * (k + 1), formato::kMetriCella);
}

namespace {

bool vuota(const voce_linea& v) {
  return v.nome.empty() && v.tipo == 0 && v.inizio == 0 && v.fine == 0 && v.posizione == 0 &&
         v.opzione_1 == 0 && v.parametro_1 == 0 && v.parametro_2 == 0 && v.parametro_4 == 0 &&
         v.parametro_5 == 0 && v.parametro_6 == 0 && v.parametro_3 == 0 && v.parametro_7 == 0 &&
         v.prolunga_fine == 0 && v.opzione_2 == 0 && v.orario == 0;
}

}  // namespace

std::vector<stazione_linea> stazioni_linea(const tabella& t) {
  std::vector<stazione_linea> r;
  // Stations fill entries from 1 upward; the first wholly empty entry ends
  // them (sign texts stand further up, after a gap).
  for (int e = formato::kPrimaStazione; e <= formato::kPrimoCartello; ++e) {
    const voce_linea& v = t[static_cast<size_t>(e)];
    if (vuota(v)) break;
    std::string nome = v.nome.empty() ? "stazione " + std::to_string(e) : testo::da_1252(v.nome);
    r.push_back({e, nome, v.tipo, v.posizione, v.inizio, v.fine, v.orario});
  }
  return r;
}

std::vector<rallentamento_linea> rallentamenti_linea(const std::vector<cella_percorso>& c) {
  std::vector<rallentamento_linea> r;
  size_t e = 0;  // the first end cell after the current start
  for (size_t i = 0; i < c.size(); ++i) {
    if (c[i].tipo != tipo_cella::inizio_rallentamento) continue;
    if (e <= i) {
      e = i + 1;
      while (e < c.size() && c[e].tipo != tipo_cella::fine_rallentamento) ++e;
    }
    size_t a = e < c.size() ? e : i;  // no end cell: the start alone
    r.push_back({static_cast<int32_t>(i * formato::kMetriCella),
                 static_cast<int32_t>(a * formato::kMetriCella), c[i].valore_1});
  }
  return r;
}

int32_t lunghezza_linea(const tabella& t, const std::vector<cella_percorso>& c) {
  const int32_t l = t[formato::kVoceTreno].fine;
  if (l > 0) return l;
  return static_cast<int32_t>(std::max<size_t>(c.size(), 1) * formato::kMetriCella);
}

std::string oggetto_cella(uint8_t tipo) {
  switch (tipo) {
    case tipo_cella::segnale:
      return "un segnale";
    case tipo_cella::fine_rallentamento:
      return "la fine di un rallentamento";
    case tipo_cella::inizio_rallentamento:
      return "l'inizio di un rallentamento";
    case tipo_cella::avviso_rallentamento:
      return "l'avviso di un rallentamento";
    case tipo_cella::avvicinamento_avviso:
      return "un punto prima dell'avviso di un rallentamento";
    case tipo_cella::indicatori_v_max:
      return "un indicatore di velocità massima";
    case tipo_cella::fermata:
      return "la fermata di una stazione";
    case tipo_cella::abbattimento:
    case tipo_cella::abbattimento_senza_velocita:
      return "un punto di abbattimento";
    case tipo_cella::cartello:
      return "un cartello indicatore";
    default:
      return "un oggetto di tipo " + std::to_string(tipo);
  }
}

bool nella_cella_dopo(std::string_view genere) {
  return genere == "segnale" || genere == "rallentamento" || genere == "indicatori_vmax" ||
         genere == "cartello_indicatore";
}

posizioni_cella posizioni_della_cella(int64_t cella, bool cella_dopo) {
  // Cell c takes (p / 50) rounded == c: p from 50c - 25 to 50c + 25, the
  // halves only when c is even; one cell further for objects.
  const int64_t centro = formato::kMetriCella * (cella - (cella_dopo ? 1 : 0));
  const int64_t mezzo = formato::kMetriCella / 2;
  const int64_t dentro = cella % 2 == 0 ? 0 : 1;
  return {centro - mezzo + dentro, centro + mezzo - dentro};
}

int64_t posizione_ammessa(std::string_view genere, int64_t p) {
  if (genere != "stazione") return p;
  return formato::kMetriCella * cella_della_posizione(p, false);
}

bool velocita_cartello_esatta(int64_t v) {
  return v >= 0 && v % kPassoVelocita == 0 && v <= kVelocitaCartelloMassima;
}

int64_t passi_velocita(int64_t kmh) {
  return arrotonda(kmh, kPassoVelocita);
}

int64_t velocita_per_difetto(int64_t kmh) {
  return std::max(kPassoVelocita, kmh / kPassoVelocita * kPassoVelocita);
}

int64_t pendenza_memorizzata(int64_t g) {
  return pendenza_del_campo(basso8(g - kPendenzaMinima));
}

std::array<int64_t, 4> celle_marcatori_stazione(int64_t fine) {
  std::array<int64_t, 4> r{};
  for (int k = 1; k <= 4; ++k)
    r[static_cast<size_t>(k - 1)] = cella_marcatore(fine, k).value_or(-1);
  return r;
}

std::array<int64_t, 4> celle_marcatori_segnale(int64_t cella) {
  std::array<int64_t, 4> r{};
  for (int64_t k = 1; k <= 4; ++k)
    r[static_cast<size_t>(k - 1)] = cella - 2 * k < 0 ? -1 : cella - 2 * k;
  return r;
}

bool opzione_2_tenuta(int64_t lunghezza, bool prima) {
  return lunghezza >= kZonaOpzione2 && !prima;
}

bool in_ordine_di_posizione(std::string_view genere) {
  return genere == "pendenza" || genere == "curva" || genere == "velocita" ||
         genere == "aderenza" || genere == "stazione";
}

const char* nome_tipo_cella(uint8_t t) {
  switch (t) {
    case tipo_cella::libera:
      return "libera";
    case tipo_cella::segnale:
      return "segnale";
    case tipo_cella::fine_rallentamento:
      return "fine_rallentamento";
    case tipo_cella::inizio_rallentamento:
      return "inizio_rallentamento";
    case tipo_cella::avviso_rallentamento:
      return "avviso_rallentamento";
    case tipo_cella::avvicinamento_avviso:
      return "avvicinamento_avviso";
    case tipo_cella::indicatori_v_max:
      return "indicatori_v_max";
    case tipo_cella::fermata:
      return "fermata";
    case tipo_cella::segno_montagna:
      return "segno_montagna";
    case tipo_cella::abbattimento:
      return "abbattimento";
    case tipo_cella::abbattimento_senza_velocita:
      return "abbattimento_senza_velocita";
    case tipo_cella::cartello:
      return "cartello";
    default:
      return "sconosciuto";
  }
}

}  // namespace regole
