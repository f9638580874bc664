// scenario generate --wild: sources drawn from the whole range the readers
// accept, for testing what reads compiled files back against cases a tidy
// generator never makes: positions at any metre, values anywhere in their
// fields (wrapping where the reader keeps low bits), negative lengths, counts
// at their limits, entries out of order, overlapping and interleaved.
//
// A map of the cells keeps most objects on free cells, so that most seeds
// compile with code 0; the rest end with a late code or a stopped read, which
// is a case of its own.
#include <algorithm>
#include <cctype>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "model/formato.h"
#include "model/numeri.h"
#include "model/records.h"
#include "model/regole.h"
#include "tool/generatori/genera.h"

namespace {

using std::to_string;

// The shared sequence, with the draws of values from a whole range.
struct caso : regole::caso {
  // Mostly from the small range, now and then an edge, sometimes anywhere in
  // the whole one.
  int64_t valore(int64_t a, int64_t b, int64_t min, int64_t max) {
    const int64_t x = tra(0, 99);
    if (x < 8) {
      const int64_t bordi[] = {min, max, 0, a, b, -1, 1};
      return std::clamp(bordi[tra(0, 6)], min, max);
    }
    if (x < 75) return tra(a, b);
    return tra(min, max);
  }
  int64_t q32(int64_t a, int64_t b) { return valore(a, b, INT32_MIN, INT32_MAX); }
};

// One entry line of a source, and the order it must keep among its kind.
struct voce {
  std::string testo;
};

std::string chiave(caso& r, const char* normale, std::initializer_list<const char*> altre) {
  if (!r.su(25) || altre.size() == 0) return normale;
  return *(altre.begin() + r.tra(0, static_cast<int64_t>(altre.size()) - 1));
}

// A text field: plain, quoted (commas, blanks at its ends), any byte of the
// code page but quotes and line ends.
std::string testo_libero(caso& r) {
  const int64_t n = r.su(6) ? 0 : r.tra(1, r.su(10) ? 60 : 16);
  std::string t;
  for (int64_t i = 0; i < n; ++i) {
    const int64_t x = r.tra(0, 99);
    char c;
    if (x < 55)
      c = static_cast<char>('A' + r.tra(0, 25));
    else if (x < 65)
      c = ' ';
    else if (x < 72)
      c = static_cast<char>('0' + r.tra(0, 9));
    else if (x < 76)
      c = ',';
    else if (x < 86)
      c = "()+-./'|_"[r.tra(0, 8)];
    else
      c = static_cast<char>(r.tra(0xA0, 0xFF));
    t += c;
  }
  const bool bordi =
      !t.empty() && (t.front() == ' ' || t.back() == ' ' || t.find(',') != std::string::npos);
  if (bordi || r.su(5)) return "\"" + t + "\"";
  while (!t.empty() && t.front() == ' ') t.erase(t.begin());
  return t;
}

// Entries of one kind in their order, merged with the others at random places.
void mescola(caso& r, std::vector<std::vector<voce>>& gruppi, std::string& out) {
  std::vector<size_t> prossima(gruppi.size(), 0);
  size_t restano = 0;
  for (const auto& g : gruppi) restano += g.size();
  while (restano > 0) {
    size_t k = static_cast<size_t>(r.tra(0, static_cast<int64_t>(gruppi.size()) - 1));
    while (prossima[k] >= gruppi[k].size()) k = (k + 1) % gruppi.size();
    out += gruppi[k][prossima[k]++].testo + "\r\n";
    --restano;
  }
}

// Most entries come in order of position, some anywhere.
void quasi_ordina(caso& r, std::vector<std::pair<int64_t, voce>>& v) {
  if (r.su(70))
    std::stable_sort(v.begin(), v.end(), [](auto& a, auto& b) { return a.first < b.first; });
  for (size_t i = 0; i < v.size() / 8 + 1 && v.size() > 1; ++i)
    std::swap(v[static_cast<size_t>(r.tra(0, static_cast<int64_t>(v.size()) - 1))],
              v[static_cast<size_t>(r.tra(0, static_cast<int64_t>(v.size()) - 1))]);
}

std::vector<voce> solo_voci(std::vector<std::pair<int64_t, voce>>& v) {
  std::vector<voce> out;
  for (auto& x : v) out.push_back(std::move(x.second));
  return out;
}

class selvaggio {
 public:
  explicit selvaggio(uint64_t seme) : r_{{seme}}, a_meta_{{~seme}} {}

  scenario_generato genera() {
    // Half the seeds lay out few objects: with many, the finishing walk often
    // finds no free cell (codes 11 to 13), a case of its own.
    rado_ = r_.su(50);
    lunghezza();
    intestazione();
    corpo_linea();
    treno();
    return std::move(g_);
  }

 private:
  // --- the line ---

  void lunghezza() {
    const int64_t x = r_.tra(0, 99);
    if (x < 60)
      l_ = r_.tra(0, 40000);
    else if (x < 90)
      l_ = r_.tra(40000, 150000);
    else if (x < 98)
      l_ = r_.tra(150000, 600000);
    else
      l_ = r_.tra(600000, formato::kLunghezzaMassima);
    ultima_ = formato::ultima_cella(l_);
    massimo15_ = formato::posizione_massima(ultima_);
    tipi_.assign(static_cast<size_t>(ultima_) + 1, 0);
  }

  // A position that passes the test against the cells, at any metre.
  int64_t posizione(int64_t da) { return r_.tra(da, massimo15_); }
  int64_t cella_dopo(int64_t p) const { return regole::cella_della_posizione(p, true); }
  bool dentro(int64_t c) const { return c >= 0 && c <= ultima_; }
  bool libera(int64_t c) const {
    return dentro(c) && (tipi_[static_cast<size_t>(c)] == 0 || tipi_[static_cast<size_t>(c)] == 11);
  }
  // Cell 1 holds the stamps: an object with a first value there ends the run.
  bool adatta(int64_t c) const { return c >= 2 && libera(c); }

  // A position whose object's cell (the cell after its own) is free.
  bool posto(int64_t da, int64_t& p) {
    for (int k = 0; k < 40; ++k) {
      p = posizione(da);
      if (adatta(cella_dopo(p))) return true;
    }
    return false;
  }

  void intestazione() {
    std::vector<std::string> righe;
    if (r_.su(5))
      righe.push_back("lunghezza percorso, " + to_string(r_.tra(0, formato::kLunghezzaMassima)));
    righe.push_back(
        chiave(r_, "lunghezza percorso", {"LUNGHEZZA PERCORSO", "Lunghezza del percorso"}) + ", " +
        to_string(l_));
    const char* numeri[] = {"uno", "due", "tre"};
    for (const char* n : numeri) {
      if (!r_.su(85)) continue;
      auto multiplo = [&] {
        return r_.su(92) ? formato::kMetriCella * r_.tra(-4000, 40000) : r_.q32(-1000, 200000);
      };
      const int64_t p = multiplo(), k = multiplo();
      const int64_t c = r_.su(75) ? r_.tra(0, 1) : r_.q32(-3, 3);
      righe.push_back("progressiva chilometrica " + std::string(n) + ", " + to_string(p) + ", " +
                      to_string(k) + ", " + to_string(c));
    }
    for (const char* n : numeri)
      if (r_.su(80)) righe.push_back("sfondo " + std::string(n) + ", " + to_string(r_.q32(0, 3)));
    if (r_.su(80)) {
      const char* chiavi[] = {"ripetizione segnali 4 codici", "ripetizione segnali 9 codici",
                              "ripetizione segnali 94 codici", "codici 9 ripetizione segnali"};
      const int64_t a =
          r_.su(97) ? formato::kMetriCella * r_.tra(-2000, 22000) : r_.tra(-100000, 1100000);
      const int64_t b = r_.su(20) ? 0 : formato::kMetriCella * r_.tra(-2000, 22000);
      righe.push_back(std::string(chiavi[r_.tra(0, 3)]) + ", " + to_string(a) + ", " +
                      to_string(b));
    }
    if (r_.su(15)) righe.push_back("-- note dell'autore");
    // A value that cannot be read stops the header (code 25).
    if (r_.su(2)) righe.push_back("sfondo due, 1.5");
    for (size_t i = righe.size(); i > 1; --i)
      std::swap(righe[i - 1], righe[static_cast<size_t>(r_.tra(0, static_cast<int64_t>(i) - 1))]);
    if (r_.su(10)) g_.linea += "prima del file, ignorato\r\n";
    g_.linea += "[generale]\r\n";
    for (const auto& x : righe) g_.linea += x + "\r\n";
  }

  void corpo_linea() {
    std::vector<std::vector<voce>> gruppi;
    gruppi.push_back(curve());
    gruppi.push_back(pendenze());
    gruppi.push_back(montagne());
    gruppi.push_back(indicatori());
    gruppi.push_back(cartelli());
    std::vector<voce> rumore;
    for (const char* t : {"[curve]", "[pendenze]", "[montagne]", "[cartelli]", "-- fine tratta"})
      if (r_.su(50)) rumore.push_back({t});
    if (r_.su(8)) rumore.push_back(arresto_linea());
    gruppi.push_back(rumore);
    g_.linea += "[curve]\r\n";
    mescola(r_, gruppi, g_.linea);
    g_.linea += "[fine]\r\n";
  }

  // An entry that ends the body's read where it stands, or, for a position
  // past the cells, ends the body and lets the train be read (code 15).
  voce arresto_linea() {
    const int64_t occupata = [&] {
      for (int64_t c = 2; c <= ultima_; ++c)
        if (tipi_[static_cast<size_t>(c)] == tipo_cella::indicatori_v_max ||
            tipi_[static_cast<size_t>(c)] == tipo_cella::cartello)
          return formato::kMetriCella * (c - 1);
      return int64_t{formato::kMetriCella};
    }();
    switch (r_.tra(0, 5)) {
      case 0:
        return {"cartello_indicatore, " + to_string(occupata) + ", DOPPIO"};  // code 6
      case 1:
        return {"indicatori_vmax, " + to_string(occupata) + ", 100, 100, 100, 0, , , , 0"};  // 21
      case 2:
        return {"curva senza classe, 100, 100"};  // code 103
      case 3:
        return {"pendenza, 12x, 0"};  // code 25
      case 4:
        return {"indicatori_vmax, 100, 2000, 0, 0, 0, 0, 0, 0, 0"};  // 25: a speed past 16 bits
      default:
        return {"pendenza, " + to_string(formato::kMetriCella * ultima_) + ", 0"};  // code 15
    }
  }

  std::vector<voce> curve() {
    std::vector<std::pair<int64_t, voce>> v;
    const int64_t n = r_.tra(0, std::min<int64_t>(l_ / (rado_ ? 1000 : 250) + 4, 3000));
    for (int64_t i = 0; i < n; ++i) {
      int64_t s = posizione(-2000);
      int64_t lung = r_.valore(0, 2000, -1500, 12000);
      // A plan past its last point is refused.
      if (s + lung > formato::kPuntoMassimo - 10) lung = formato::kPuntoMassimo - 10 - s;
      const char* chiavi[] = {"curvas", "curvad",          "CURVAS",         "Curva D",
                              "curva",  "curva sinistra ", "curva a destra "};
      const std::string k = chiavi[r_.tra(0, 6)] + to_string(r_.tra(1, 6));
      v.push_back({s, {k + ", " + to_string(s) + ", " + to_string(lung)}});
      ++g_.curve;
    }
    quasi_ordina(r_, v);
    return solo_voci(v);
  }

  std::vector<voce> pendenze() {
    std::vector<std::pair<int64_t, voce>> v;
    const int64_t n = r_.tra(0, std::min<int64_t>(l_ / 120 + 4, 4000));
    for (int64_t i = 0; i < n; ++i) {
      const int64_t p = posizione(-200);
      const int64_t g =
          r_.su(88) ? r_.tra(regole::kPendenzaMinima, regole::kPendenzaMassima) : r_.q32(-300, 300);
      v.push_back({p,
                   {chiave(r_, "pendenza", {"PENDENZA", "Pendenza in salita"}) + ", " +
                    to_string(p) + ", " + to_string(g)}});
      ++g_.pendenze;
    }
    quasi_ordina(r_, v);
    return solo_voci(v);
  }

  // Spans mark every fourth cell where it is free; the map keeps them so the
  // objects that come later can take those cells.
  std::vector<voce> montagne() {
    std::vector<voce> v;
    const int64_t n = r_.su(10) ? 80 : r_.tra(0, std::min<int64_t>(l_ / 2000 + 3, 80));
    for (int64_t i = 0; i < n; ++i) {
      const int64_t a = posizione(-3000);
      const int64_t b = a + r_.valore(0, 6000, -3000, 40000);
      const int64_t tipo = r_.su(70) ? r_.tra(0, 22) : r_.q32(-300, 300);
      if (tipo > 10) {
        const regole::celle_tratto celle = regole::celle_del_tratto(a, b);
        const int64_t ca = celle.da, cb = std::min(celle.a, ultima_);
        for (int64_t c = std::max<int64_t>(ca, 0); c <= cb; ++c)
          if ((c - ca + 1) % 4 == 0 && tipi_[static_cast<size_t>(c)] == 0)
            tipi_[static_cast<size_t>(c)] = 11;
      }
      v.push_back({chiave(r_, "montagna", {"MONTAGNA", "galleria o montagna"}) + ", " +
                   to_string(a) + ", " + to_string(b) + ", " + to_string(tipo)});
      ++g_.montagne;
    }
    return v;
  }

  std::vector<voce> indicatori() {
    std::vector<voce> v;
    const int64_t n = r_.tra(0, std::min<int64_t>(l_ / (rado_ ? 2400 : 600) + 3, 1500));
    for (int64_t i = 0; i < n; ++i) {
      int64_t p;
      if (!posto(-75, p)) continue;
      tipi_[static_cast<size_t>(cella_dopo(p))] = tipo_cella::indicatori_v_max;
      std::string t =
          chiave(r_, "indicatori_vmax", {"INDICATORI_VMAX", "indicatori_v"}) + ", " + to_string(p);
      const bool vuoto = r_.su(25);
      int64_t s[3], d[3];
      for (int k = 0; k < 3; ++k) {
        s[k] = r_.su(80) ? 5 * r_.tra(0, 40) : r_.tra(-1600, 1600);
        d[k] = vuoto ? 0 : (r_.su(80) ? 5 * r_.tra(0, 40) : r_.tra(-3000, 3000));
        const int64_t q = arrotonda(100 * s[k] + d[k], 5);
        if (q < -32768 || q > 32767) s[k] = 0;
      }
      const int64_t ss = r_.su(80) ? r_.tra(0, 3) : r_.q32(-5, 5);
      const int64_t sd = r_.su(80) ? r_.tra(0, 3) : r_.q32(-5, 5);
      for (int k = 0; k < 3; ++k) t += ", " + to_string(s[k]);
      t += ", " + to_string(ss);
      for (int k = 0; k < 3; ++k) t += vuoto ? ",  " : ", " + to_string(d[k]);
      t += ", " + to_string(sd);
      v.push_back({t});
      ++g_.indicatori;
    }
    return v;
  }

  std::vector<voce> cartelli() {
    std::vector<voce> v;
    const int64_t x = r_.tra(0, 99);
    const int64_t n = x < 6 ? 81 : x < 10 ? 80 : x < 14 ? 79 : r_.tra(0, 12);
    for (int64_t i = 0; i < n; ++i) {
      int64_t p;
      if (!posto(-75, p)) continue;
      tipi_[static_cast<size_t>(cella_dopo(p))] = tipo_cella::cartello;
      v.push_back({chiave(r_, "cartello_indicatore", {"CARTELLO INDICATORE", "cartello_indicat"}) +
                   ", " + to_string(p) + ", " + testo_libero(r_)});
      ++g_.cartelli;
    }
    return v;
  }

  // --- the train ---

  void treno() {
    std::string& t = g_.treno;
    if (r_.su(5)) t += "intestazione ignorata\r\n";
    t += r_.su(98) ? "[generale]\r\n" : "[generali]\r\n";
    std::vector<std::vector<voce>> gruppi;
    gruppi.push_back(generale());
    gruppi.push_back(profilo("velocita", {"VELOCITA", "velocit\xe0"}, 1277, g_.velocita));
    gruppi.push_back(profilo("aderenza", {"ADERENZA"}, INT32_MAX, g_.aderenze));
    // Stations, signals, slowdowns and points share the cells: laid out in
    // the order they will be read, each where its cells are still free.
    gruppi.push_back(oggetti_treno());
    mescola(r_, gruppi, t);
    t += "[fine]\r\n";
    // A station that the end of the file cuts short: the file ends with it.
    if (!tronca_.empty()) {
      const size_t dove = t.find(tronca_ + "\r\n");
      if (dove != std::string::npos) t.resize(dove + tronca_.size());
    }
  }

  std::vector<voce> generale() {
    std::vector<voce> v;
    auto vuoi = [&](const std::string& k, int64_t x) {
      if (r_.su(85)) v.push_back({k + ", " + to_string(x)});
    };
    vuoi("numero vetture", r_.q32(1, 12));
    vuoi("percentuale massa frenata", r_.q32(50, 150));
    vuoi("sabbia", r_.valore(0, 100, -32768, 32767));
    if (r_.su(85)) {
      const std::string sep = r_.su(50) ? "    " : ", ";
      v.push_back({"orologio, " + to_string(r_.valore(0, 23, -32768, 32767)) + sep +
                   to_string(r_.valore(0, 59, -32768, 32767)) + sep +
                   to_string(r_.valore(0, 59, -32768, 32767)) + " "});
    }
    return v;
  }

  std::vector<voce> profilo(const char* k, std::initializer_list<const char*> altre,
                            int64_t massimo, int& conta) {
    std::vector<std::pair<int64_t, voce>> v;
    const int64_t n = r_.tra(0, std::min<int64_t>(l_ / 400 + 3, 3000));
    for (int64_t i = 0; i < n; ++i) {
      const int64_t p = r_.su(10) ? r_.tra(-30, 30) : posizione(-200);
      const int64_t x = massimo == 1277 ? r_.valore(0, 200, -2, 1277) : r_.q32(0, 200);
      v.push_back({p, {chiave(r_, k, altre) + ", " + to_string(p) + ", " + to_string(x)}});
      ++conta;
    }
    quasi_ordina(r_, v);
    return solo_voci(v);
  }

  // One free cell for an object whose cell is `cella(p)`.
  template <typename F>
  bool cerca(F cella, int64_t da, int64_t& p) {
    for (int k = 0; k < 40; ++k) {
      p = posizione(da);
      if (adatta(cella(p))) return true;
    }
    return false;
  }

  std::vector<voce> oggetti_treno() {
    const int64_t limite = 80 - g_.cartelli;
    const int64_t x = r_.tra(0, 99);
    int64_t n_stazioni = r_.tra(0, std::min<int64_t>(limite - 2, l_ / 1500 + 2));
    if (x < 8) n_stazioni = limite - 2;
    if (x >= 8 && x < 11) n_stazioni = limite - 1;  // the last one ends the read with code 10
    const int64_t n_segnali = r_.tra(0, std::min<int64_t>(l_ / (rado_ ? 1500 : 300) + 3, 3000));
    const int64_t n_rall = r_.tra(0, std::min<int64_t>(l_ / (rado_ ? 10000 : 2500) + 2, 300));
    const int64_t n_abb = r_.tra(0, std::min<int64_t>(l_ / (rado_ ? 8000 : 2000) + 2, 300));
    std::vector<int> ordine;
    for (int64_t i = 0; i < n_stazioni; ++i) ordine.push_back(0);
    for (int64_t i = 0; i < n_segnali; ++i) ordine.push_back(1);
    for (int64_t i = 0; i < n_rall; ++i) ordine.push_back(2);
    for (int64_t i = 0; i < n_abb; ++i) ordine.push_back(3);
    for (size_t i = ordine.size(); i > 1; --i)
      std::swap(ordine[i - 1], ordine[static_cast<size_t>(r_.tra(0, static_cast<int64_t>(i) - 1))]);
    // Laid out on the cells in the order the reader will meet them.
    std::vector<voce> v;
    for (int k : ordine) {
      voce x;
      const bool fatto = k == 0   ? stazione(x)
                         : k == 1 ? segnale(x)
                         : k == 2 ? rallentamento(x)
                                  : abbattimento(x);
      if (fatto) v.push_back(std::move(x));
    }
    // Now and then an entry that ends the read wherever it stands.
    if (r_.su(12)) {
      const auto dove = static_cast<size_t>(r_.tra(0, static_cast<int64_t>(v.size())));
      v.insert(v.begin() + static_cast<std::ptrdiff_t>(dove), arresto_treno());
    }
    // Now and then a station that the read leaves half written, drawn apart
    // so that the seeds without one keep their sources.
    if (a_meta_.su(6)) {
      const auto dove = static_cast<size_t>(a_meta_.tra(0, static_cast<int64_t>(v.size())));
      v.insert(v.begin() + static_cast<std::ptrdiff_t>(dove), stazione_a_meta(a_meta_));
    }
    return v;
  }

  // A station that stops the read half written, or after its checks.
  voce arresto_treno() {
    const int64_t fondo = formato::posizione_massima(
        ultima_, formato::kMargineStazione);  // the farthest station position
    const std::string resto = ", 0, 0, 0, 1,1,0, 1,1,1, 0, 12, 0, 0, FERMA";
    switch (r_.tra(0, 6)) {
      case 0:
        return {"stazione, " +
                to_string(formato::kMetriCella * r_.tra(0, fondo / formato::kMetriCella) +
                          r_.tra(1, (formato::kMetriCella - 1)))};  // 8
      case 1:
        return {"stazione, " +
                to_string(formato::kMetriCella * r_.tra(0, fondo / formato::kMetriCella)) +
                ", 12, 150" + resto};  // 9
      case 2:
        return {"stazione, " + to_string(fondo + formato::kMetriCella * r_.tra(1, 40))};  // 15
      case 3:
        return {"stazione, 0, 4, 0" + resto};  // 24: its stop would be cell 0
      case 4:
        return {"stazione, " + to_string(fondo) + ", 4, 4000" + resto};  // 25: stop past the cells
      case 5:
        // 22: too close to the one before, if there was one.
        return {"stazione, " +
                to_string(std::max<int64_t>(0, fine_prima_ / formato::kMetriCella * formato::kMetriCella)) +
                ", 25, 0" + resto};
      default:
        return {"segnale, 2450, 1, 1, 1, 1, 0, 0, 0, 0, 0, 0"};  // 16 if its cell is taken
    }
  }

  // A station whose read stops inside its entry: its values drawn from their
  // whole fields up to one that cannot be read (a missing field, so that the
  // name comes early; a dash; a number past its field) or the end of the
  // file; or a whole entry whose time or zone leaves 32 bits.
  voce stazione_a_meta(caso& r) {
    const int64_t fondo = formato::posizione_massima(ultima_, formato::kMargineStazione);
    const int64_t p =
        formato::kMetriCella * (r.su(80) ? r.tra(-20, fondo / formato::kMetriCella)
                                         : r.tra(INT32_MIN / formato::kMetriCella, -1));
    const int64_t l = 100 * r.valore(0, 10, INT32_MIN / 100, INT32_MAX / 100);
    // The kind, then fields 4 to 13: 8 bits unsigned (8) or 16 signed (16).
    const int bit[] = {8, 8, 8, 8, 16, 16, 8, 16, 16, 16, 8};
    std::vector<std::string> v = {to_string(p)};
    for (int b : bit) {
      v.push_back(to_string(b == 8 ? r.valore(0, 4, 0, 255) : r.valore(0, 4, -32768, 32767)));
      if (v.size() == 2) v.push_back(to_string(l));
    }
    for (int i = 0; i < 3; ++i) v.push_back(to_string(r.valore(0, 59, -1000, 1000)));
    const std::string nome = testo_libero(r);
    v.push_back(nome);
    const int64_t campo = r.tra(1, 19);  // past the name, 18: the time, 19: the zone
    if (campo == 18) v[13] = to_string(r.tra(INT32_MAX / 3600 + 20, INT32_MAX));
    if (campo == 19) {
      // A zone from the position and the whole length: its start or its end past 32 bits.
      const bool fine = p > 0 && r.su(50);
      v[1] = to_string(fine ? r.tra(7, 8) : r.tra(5, 8));
      v[2] = to_string(p > 0 && !fine ? -2147483600 : 2147483600);
    }
    const int64_t modo = campo == 17 ? 3 : r.tra(0, 3);
    if (campo <= 17) {
      v.resize(static_cast<size_t>(campo - 1));
      const bool lettera = !nome.empty() && (std::isalpha(static_cast<unsigned char>(nome[0])) ||
                                             static_cast<unsigned char>(nome[0]) >= 0xA0);
      const bool trentadue = campo == 1 || campo == 3 || campo >= 14;
      if (modo == 0) v.push_back(lettera ? nome : "X");
      if (modo == 1) v.push_back(r.su(50) ? "-" : "--");
      if (modo == 2)
        v.push_back(to_string(
            (r.su(50) ? 1 : -1) *
            (trentadue ? r.tra(INT32_MAX + INT64_C(2), INT64_C(1) << 40) : r.tra(32768, 100000))));
    }
    std::string t = chiave(r, "stazione", {"STAZIONE", "Stazione di"});
    for (const std::string& x : v) t += ", " + x;
    if (campo <= 17 && modo == 3) tronca_ = t;
    return {t};
  }

  bool segnale(voce& v) {
    int64_t p;
    if (!cerca([&](int64_t q) { return cella_dopo(q); }, -75, p)) return false;
    tipi_[static_cast<size_t>(cella_dopo(p))] = tipo_cella::segnale;
    const bool ordinato = r_.su(55);
    auto cifra = [&](int64_t a, int64_t b) { return ordinato ? r_.tra(a, b) : r_.q32(-20, 40); };
    const int64_t sx = cifra(0, 2), s1 = cifra(0, 9), s2 = cifra(0, 9), s3 = cifra(0, 9);
    const int64_t rapp = cifra(0, 1), dx = cifra(0, 2), d1 = cifra(0, 9), d2 = cifra(0, 9),
                  d3 = cifra(0, 9);
    const int64_t tempo = ordinato ? (r_.su(70) ? 0 : r_.tra(0, 300)) : r_.q32(-20, 400);
    v.testo = chiave(r_, "segnale", {"SEGNALE", "Segnale di blocco"}) + ", " + to_string(p);
    for (int64_t x : {sx, s1, s2, s3, rapp, dx, d1, d2, d3, tempo}) v.testo += ", " + to_string(x);
    ++g_.segnali;
    return true;
  }

  bool rallentamento(voce& v) {
    for (int k = 0; k < 40; ++k) {
      const int64_t p = posizione(-500);
      const int64_t l = r_.valore(0, 3000, -3000, 8000);
      const int64_t f_ta = r_.su(45) ? 0 : r_.su(85) ? 1 : r_.q32(-3, 3);
      const bool avviso = p > 1500;
      const int64_t a = cella_dopo(p - 1200), b = cella_dopo(p), e = cella_dopo(p + l);
      if ((avviso && !adatta(a)) || !adatta(b) || !dentro(e) || !libera(e)) continue;
      if (e == 1) continue;
      tipi_[static_cast<size_t>(e)] = tipo_cella::fine_rallentamento;
      tipi_[static_cast<size_t>(b)] = tipo_cella::inizio_rallentamento;
      if (avviso) tipi_[static_cast<size_t>(a)] = tipo_cella::avviso_rallentamento;
      if (avviso && f_ta != 0) {
        const int64_t h = a - 1;
        bool libere = true;
        for (int i = 0; i < 4; ++i) libere = libere && adatta(h - i);
        if (!libere) continue;  // code 20 after its cells: rare, left to the reader
        for (int i = 0; i < 4; ++i)
          tipi_[static_cast<size_t>(h - i)] = tipo_cella::avvicinamento_avviso;
      }
      const bool ordinato = r_.su(60);
      const int64_t vel = ordinato ? 10 * r_.tra(1, 15) : r_.q32(-50, 300);
      const int64_t f_tt = ordinato ? r_.tra(0, 1) : r_.q32(-5, 5);
      const int64_t d_v = r_.su(60) ? 0 : r_.q32(-50, 300);
      v.testo = chiave(r_, "rallentamento", {"RALLENTAMENTO"}) + ", " + to_string(p) + ", " +
                to_string(vel) + ", " + to_string(l) + ", " + to_string(f_tt) + ", " +
                to_string(f_ta) + ", " + to_string(d_v);
      ++g_.rallentamenti;
      return true;
    }
    return false;
  }

  bool abbattimento(voce& v) {
    int64_t p;
    if (!cerca([](int64_t q) { return regole::cella_della_posizione(q, false); }, -25, p))
      return false;
    const int64_t r = r_.su(15) ? r_.tra(-5, 0) : r_.q32(60, 180);
    tipi_[static_cast<size_t>(regole::cella_della_posizione(p, false))] =
        r > 0 ? tipo_cella::abbattimento : tipo_cella::abbattimento_senza_velocita;
    v.testo =
        chiave(r_, "abbattimento", {"ABBATTIMENTO"}) + ", " + to_string(p) + ", " + to_string(r);
    ++g_.abbattimenti;
    return true;
  }

  bool stazione(voce& v) {
    for (int k = 0; k < 40; ++k) {
      const int64_t p =
          formato::kMetriCella *
          r_.tra(-20, (formato::posizione_massima(ultima_, formato::kMargineStazione)) /
                          formato::kMetriCella);
      const int64_t tipi[] = {4, 8, 12, 25, 26, 28, 5, 6, 7, 0, 1, 24, 30, 255};
      const int64_t tipo = r_.su(85) ? tipi[r_.tra(0, 13)] : r_.tra(0, 255);
      const int64_t l = 100 * r_.valore(0, 10, -10, 40);
      const int64_t prolunga = r_.su(60) ? 0 : r_.tra(0, 255);
      const auto [inizio, fine] =
          regole::zona_della_stazione(static_cast<int32_t>(tipo), p, l, prolunga != 0);
      if (stazioni_ > 0 && !regole::zone_distanti(fine_prima_, inizio)) continue;
      if (regole::con_fermata(static_cast<int32_t>(tipo))) {
        const std::optional<int64_t> c = regole::cella_fermata(fine);
        if (!c || *c > ultima_) continue;
        tipi_[static_cast<size_t>(*c)] = tipo_cella::fermata;
      }
      fine_prima_ = fine;
      ++stazioni_;
      const bool ordinato = r_.su(60);
      auto o8 = [&] { return ordinato ? r_.tra(0, 4) : r_.tra(0, 255); };
      auto p16 = [&] { return ordinato ? r_.tra(0, 4) : r_.tra(-32768, 32767); };
      std::string t = chiave(r_, "stazione", {"STAZIONE", "Stazione di"}) + ", " + to_string(p) +
                      ", " + to_string(tipo) + ", " + to_string(l);
      t += ", " + to_string(o8()) + ", " + to_string(o8()) + ", " + to_string(prolunga);
      t += ", " + to_string(p16()) + ", " + to_string(p16()) + ", " + to_string(o8());
      t += ", " + to_string(p16()) + ", " + to_string(p16()) + ", " + to_string(p16()) + ", " +
           to_string(o8());
      const int64_t ore = r_.valore(0, 23, -500, 500), minuti = r_.valore(0, 59, -30000, 30000),
                    secondi = r_.valore(0, 59, -1000000, 1000000);
      t += ", " + to_string(ore) + ", " + to_string(minuti) + ", " + to_string(secondi) + ", " +
           testo_libero(r_);
      v.testo = t;
      ++g_.stazioni;
      return true;
    }
    return false;
  }

  caso r_;
  caso a_meta_;  // the stations left half written
  scenario_generato g_;
  int64_t l_ = 0, ultima_ = 0, massimo15_ = 0;
  std::vector<uint8_t> tipi_;  // what the cells hold so far, as the readers will leave them
  int64_t stazioni_ = 0, fine_prima_ = 0;
  std::string tronca_;  // an entry after which the train file ends
  bool rado_ = false;
};

}  // namespace

scenario_generato genera_selvaggio(uint64_t seme) {
  return selvaggio(seme).genera();
}
