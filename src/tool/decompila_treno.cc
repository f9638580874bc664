// The train description back from the compiled records: train values,
// profiles, stations, slowdowns, signals and speed-reduction points.
#include <algorithm>
#include <string>
#include <vector>

#include "model/numeri.h"
#include "tool/decompila.h"

namespace {

using std::to_string;

constexpr int16_t kVelocitaMarca = 180;  // what the finishing walk writes
constexpr int kSenzaFermata = 25;
constexpr int64_t kSenzaAvviso = 1500;
constexpr int kAnticipoAvviso = 24;  // cells from the warning point to the start

std::string n(int64_t v) {
  return to_string(v);
}

riga_sorgente voce(std::string chiave, std::vector<std::string> valori,
                   int64_t posizione = kSenzaPosizione) {
  riga_sorgente r;
  r.genere = chiave;
  r.chiave = std::move(chiave);
  r.valori = std::move(valori);
  r.posizione = posizione;
  return r;
}

// Something that writes approach markers: a station or a signal.
struct scrittore {
  riga_sorgente riga;
  std::vector<std::pair<size_t, uint8_t>> marcatori;  // cell, value
  int stazione = 0;                                   // its entry, 0 for a signal
  int prima_di = 0;  // a signal that the stop cell of this station replaced
};

struct lavoro {
  std::vector<cella_percorso> celle;  // cell 1 without its stamps
  std::vector<bool> spiegata;         // the cell's object comes from an entry
  std::vector<std::string>& note;
  int ultima;
};

void stazioni(const scenario_compilato& c, lavoro& w, std::vector<scrittore>& s) {
  const tabella& t = c.tabella_linea;
  const int numero = numero_stazioni(t);
  for (int e = 1; e <= numero; ++e) {
    const voce_linea& r = t[static_cast<size_t>(e)];
    const int64_t p = r.posizione;
    const int tipo = r.tipo;
    int64_t l;
    int prolunga = 0;
    const std::string chi = "stazione " + n(e) + " (voce " + n(e) + ")";
    if (tipo == 5 || tipo == 6) {
      l = p - r.inizio;
      if (r.fine != p + 150) w.note.push_back(chi + ": fine della zona non ottenibile");
    } else if (tipo == 7 || tipo == 8) {
      l = p - r.inizio;
      if (r.fine != p + l) w.note.push_back(chi + ": fine della zona non ottenibile");
    } else {
      l = 2 * (p - r.inizio);
      const int64_t oltre = int64_t{r.fine} - (p + l / 2);
      if (oltre == 50) {
        prolunga = e == 1 ? 1 : r.prolunga_fine;
        if (prolunga == 0) w.note.push_back(chi + ": zona allungata senza prolunga_fine");
      } else {
        prolunga = r.prolunga_fine;
        if (oltre != 0 || prolunga != 0) w.note.push_back(chi + ": fine della zona non ottenibile");
      }
    }
    if ((tipo >= 5 && tipo <= 8 && r.prolunga_fine != 0) || (e == 1 && r.prolunga_fine != 0) ||
        ((l < 600 || e == 1) && r.opzione_2 != 0))
      w.note.push_back(chi + ": prolunga_fine o opzione_2 che il lettore azzera");
    if (p % 50 != 0 || l % 100 != 0)
      w.note.push_back(chi + ": posizione o lunghezza non ottenibili");
    const int64_t ore = r.orario / 3600, resto = r.orario % 3600;
    std::string nome;
    if (!testo_campo(r.nome, nome))
      w.note.push_back(chi + ": il nome non si può scrivere in un campo");
    scrittore x;
    x.stazione = e;
    x.riga =
        voce("stazione",
             {n(p), n(tipo), n(l), n(r.opzione_1), n(r.opzione_2), n(prolunga), n(r.parametro_1),
              n(r.parametro_2), n(r.parametro_3), n(r.parametro_4), n(r.parametro_5),
              n(r.parametro_6), n(r.parametro_7), n(ore), n(resto / 60), n(resto % 60), nome},
             p);
    const int64_t fine = r.fine;
    if (tipo < kSenzaFermata && tipo != 5 && tipo != 6) {
      for (int k = 1; k <= 4; ++k) {
        if (fine <= 50 * (int64_t{k} + 2)) continue;
        const int64_t cella = arrotonda(fine - 50 * (k + 1), 50);
        if (cella <= w.ultima) x.marcatori.push_back({static_cast<size_t>(cella), 80 + k});
      }
    }
    if (tipo < kSenzaFermata) {
      const int64_t cella = arrotonda(fine - 50, 50);
      if (cella >= 0 && cella <= w.ultima) {
        cella_percorso& f = w.celle[static_cast<size_t>(cella)];
        if (f.tipo == tipo_cella::fermata && f.valore_1 == e)
          w.spiegata[static_cast<size_t>(cella)] = true;
        else
          w.note.push_back(chi + ": la cella di fermata " + n(cella) + " non la contiene");
      }
    }
    s.push_back(std::move(x));
  }
}

void segnali(lavoro& w, std::vector<scrittore>& s) {
  for (size_t i = 0; i < w.celle.size(); ++i) {
    cella_percorso c = w.celle[i];
    int prima_di = 0;
    if (segnale_sotto_fermata(w.celle, i)) {
      // Its first values went with the stop cell.
      prima_di = c.valore_1;
      c.valore_1 = 0;
    } else if (c.tipo != tipo_cella::segnale) {
      continue;
    }
    w.spiegata[i] = true;
    const int64_t p = (static_cast<int64_t>(i) - 1) * 50;
    auto [rapp, r] = cifre(c.valore_4, 10);
    int64_t sx = r / 3, dx = r % 3;
    // Only a left-hand kind 2 keeps its time; times 1 to 100 are all read as 101.
    if (c.tempo != 0 && sx != 2) sx = 2, dx = r - 6;
    const int64_t tempo = c.tempo >= 1 && c.tempo <= 100 ? c.tempo + 256 : c.tempo;
    auto [s1, d1] = cifre(c.valore_1, 10);
    auto [s2, d2] = cifre(c.valore_2, 10);
    auto [s3, d3] = cifre(c.valore_3, 10);
    scrittore x;
    x.prima_di = prima_di;
    x.riga =
        voce("segnale",
             {n(p), n(sx), n(s1), n(s2), n(s3), n(rapp), n(dx), n(d1), n(d2), n(d3), n(tempo)}, p);
    for (int k = 1; k <= 4; ++k) {
      const int64_t m = static_cast<int64_t>(i) - 2 * k;
      if (m < 0) continue;
      x.marcatori.push_back({static_cast<size_t>(m), static_cast<uint8_t>(10 * r + k)});
    }
    s.push_back(std::move(x));
  }
}

// The order in which stations and signals write their markers, so that each
// cell ends with the marker it holds: built from the last writer back. Stations
// keep their own order; otherwise stations come first, then signals.
std::vector<size_t> ordine_marcatori(const std::vector<scrittore>& s, lavoro& w) {
  std::vector<bool> presa(w.celle.size(), false), fatto(s.size(), false);
  std::vector<size_t> inverso;
  int stazione_alta = 0;
  for (const auto& x : s) stazione_alta = std::max(stazione_alta, x.stazione);
  bool segnalato = false;
  for (size_t giro = 0; giro < s.size(); ++giro) {
    size_t scelto = s.size();
    for (size_t j = s.size(); j-- > 0;) {
      if (fatto[j]) continue;
      const scrittore& x = s[j];
      if (x.stazione != 0 && x.stazione != stazione_alta) continue;
      if (x.prima_di != 0 && stazione_alta >= x.prima_di) continue;
      bool va = true;
      for (auto [cella, valore] : x.marcatori)
        if (!presa[cella] && w.celle[cella].marcatore != valore) va = false;
      if (va) {
        scelto = j;
        break;
      }
    }
    if (scelto == s.size()) {
      if (!segnalato) w.note.push_back("marcatori che nessun ordine di stazioni e segnali dà");
      segnalato = true;
      for (size_t j = s.size(); j-- > 0;)
        if (!fatto[j] && (s[j].stazione == 0 || s[j].stazione == stazione_alta)) {
          scelto = j;
          break;
        }
    }
    fatto[scelto] = true;
    if (s[scelto].stazione != 0) --stazione_alta;
    for (auto [cella, valore] : s[scelto].marcatori) presa[cella] = true;
    inverso.push_back(scelto);
  }
  for (size_t i = 0; i < w.celle.size(); ++i)
    if (!presa[i] && w.celle[i].marcatore != 0) {
      w.note.push_back("cella " + n(static_cast<int64_t>(i)) + ": marcatore " +
                       n(w.celle[i].marcatore) + " che nessun segnale o stazione scrive");
      break;
    }
  return {inverso.rbegin(), inverso.rend()};
}

void rallentamenti(lavoro& w, sezione_sorgente& sez) {
  auto& c = w.celle;
  std::vector<bool> fine_presa(c.size(), false);
  for (size_t b = 0; b < c.size(); ++b) {
    const cella_percorso& x = c[b];
    if (x.tipo != tipo_cella::inizio_rallentamento) continue;
    w.spiegata[b] = true;
    const int64_t p = (static_cast<int64_t>(b) - 1) * 50;
    const int16_t v = x.valore_1, d_v = x.valore_2, f_tt = x.valore_3;
    int64_t l = 0;
    for (size_t e = b + 1; e < c.size(); ++e) {
      const cella_percorso& y = c[e];
      if (y.tipo == tipo_cella::fine_rallentamento && !fine_presa[e] && y.valore_1 == v &&
          y.valore_2 == d_v && y.valore_3 == f_tt) {
        fine_presa[e] = true;
        w.spiegata[e] = true;
        l = static_cast<int64_t>(e - b) * 50;
        break;
      }
    }
    int f_ta = 0;
    if (p > kSenzaAvviso) {
      const size_t a = b - kAnticipoAvviso;
      if (c[a].tipo == tipo_cella::avviso_rallentamento && c[a].valore_1 == v &&
          c[a].valore_2 == d_v)
        w.spiegata[a] = true;
      else
        w.note.push_back("cella " + n(static_cast<int64_t>(a)) +
                         ": manca l'avviso del rallentamento a " + n(p) + " m");
      bool tutti = a >= 4;
      for (size_t i = 0; tutti && i < 4; ++i) {
        const cella_percorso& y = c[a - 1 - i];
        tutti = y.tipo == tipo_cella::avvicinamento_avviso && y.valore_1 == int(i + 1) &&
                y.valore_2 == (d_v != 0 ? int(i + 1) : 0);
      }
      if (tutti) {
        f_ta = 1;
        for (size_t i = 0; i < 4; ++i) w.spiegata[a - 1 - i] = true;
      }
    }
    sez.righe.push_back(voce("rallentamento", {n(p), n(v), n(l), n(f_tt), n(f_ta), n(d_v)}, p));
  }
}

// The finishing walk run again over the compiled cells, deciding for each
// point of 180 km/h it meets whether the walk made it or the source gave it.
// The walk marks the first free cell it tries, so a point it tries is taken
// as its own; only inside a slow slowdown, where the count from the last mark
// matters, the choice looks at where the next mark stands.
class cammino_guidato {
 public:
  enum stato : uint8_t { occupata, libera, dubbia, punto };

  explicit cammino_guidato(const std::vector<cella_percorso>& c) : celle_(c), st_(c.size()) {
    for (size_t i = 0; i < c.size(); ++i) {
      const cella_percorso& x = c[i];
      if (x.tipo == tipo_cella::abbattimento)
        st_[i] = x.valore_1 == kVelocitaMarca ? dubbia : punto;
      else
        st_[i] = cella_libera(x) ? libera : occupata;
    }
    marcata_.assign(c.size(), false);
  }

  void esegui() {
    const int u = static_cast<int>(celle_.size()) - 1;
    for (int i = 1; i <= u - 2; ++i) {
      const uint8_t t = celle_[static_cast<size_t>(i)].tipo;
      if (t == tipo_cella::avviso_rallentamento) {
        for (int k = 1; k <= 20; ++k) {
          const int m = i - k;
          if (m < 3) break;
          if (!di_tipo(m, tipo_cella::segnale)) continue;
          if (!marca_se_libera(m - 1)) marca_se_libera(m - 2);
        }
      } else if (t == tipo_cella::inizio_rallentamento) {
        for (int vicino : {5, 11, 18}) {
          if (i <= vicino + 2) continue;
          for (int d = vicino; d <= vicino + 2; ++d)
            if (marca_se_libera(i - d)) break;
        }
        const int e = interno(i, u, celle_[static_cast<size_t>(i)].valore_1 < 110);
        const int fino = std::min(e + 12, u);
        for (int m = e; m <= fino; ++m) {
          if (!di_tipo(m, tipo_cella::segnale)) continue;
          if (!marca_se_libera(m - 1)) marca_se_libera(m - 2);
          break;
        }
      }
    }
  }

  // The walk put a point where the compiled cells have none.
  bool contraddetta = false;
  std::vector<bool> marcata_;

 private:
  bool esiste(int i) const { return i >= 0 && i < static_cast<int>(celle_.size()); }
  bool di_tipo(int i, uint8_t t) const {
    return esiste(i) && celle_[static_cast<size_t>(i)].tipo == t;
  }
  bool incerta(int i) const { return esiste(i) && st_[static_cast<size_t>(i)] == dubbia; }
  bool disponibile(int i) const {
    return esiste(i) &&
           (st_[static_cast<size_t>(i)] == libera || st_[static_cast<size_t>(i)] == dubbia);
  }
  void marca(int i) {
    if (st_[static_cast<size_t>(i)] == libera) contraddetta = true;
    st_[static_cast<size_t>(i)] = punto;
    marcata_[static_cast<size_t>(i)] = true;
  }
  bool marca_se_libera(int i) {
    if (!disponibile(i)) return false;
    marca(i);
    return true;
  }
  // Whether the step at n = 8 on cell t would mark a cell the compiled
  // cells have a point in (or mark nothing); the walk ends at `fine`.
  bool coerente(int t, int fine) const {
    if (t > fine) return true;
    for (int c : {t, t - 1, t + 1})
      if (disponibile(c)) return st_[static_cast<size_t>(c)] == dubbia;
    return true;
  }
  int interno(int i, int u, bool marca_punti) {
    int fine = i;
    while (fine < u && !di_tipo(fine + 1, tipo_cella::fine_rallentamento)) ++fine;
    fine = std::min(fine + 1, u);
    int k = i, n = 0;
    while (k < u) {
      ++k;
      ++n;
      if (marca_punti && n == 8) {
        // The walk marks k, or k - 1 when k is taken, or k + 1 when both are;
        // a point of 180 there may be the source's. Of the three ways, the
        // first whose next step (8 cells after its mark) agrees with the cells.
        const bool presa_k = !disponibile(k) || incerta(k);
        const bool presa_k1 = !disponibile(k - 1) || incerta(k - 1);
        int scelta = -1;
        if (incerta(k) && coerente(k + 8, fine))
          scelta = 0;
        else if (presa_k && incerta(k - 1) && coerente(k + 7, fine))
          scelta = 1;
        else if (presa_k && presa_k1 && incerta(k + 1) && coerente(k + 9, fine))
          scelta = 2;
        if (scelta >= 1 && disponibile(k)) st_[static_cast<size_t>(k)] = punto;
        if (scelta == 2 && disponibile(k - 1)) st_[static_cast<size_t>(k - 1)] = punto;
        if (disponibile(k)) {
          marca(k);
          n = 0;
        } else if (disponibile(k - 1)) {
          marca(k - 1);
          n = 1;
        } else if (disponibile(k + 1)) {
          marca(k + 1);
          n = -1;
        }
      }
      if (di_tipo(k, tipo_cella::fine_rallentamento)) break;
    }
    return k;
  }

  const std::vector<cella_percorso>& celle_;
  std::vector<stato> st_;
};

// Speed-reduction points: those of the source, not the ones the finishing
// walk adds (a source point the walk only lowered to 180 stays).
void abbattimenti(lavoro& w, sezione_sorgente& sez) {
  const auto& celle = w.celle;
  cammino_guidato g(celle);
  g.esegui();
  for (size_t i = 0; i < celle.size(); ++i) {
    const cella_percorso& x = celle[i];
    if (x.tipo != tipo_cella::abbattimento && x.tipo != tipo_cella::abbattimento_senza_velocita)
      continue;
    w.spiegata[i] = true;
    if (g.marcata_[i]) continue;
    const int64_t p = static_cast<int64_t>(i) * 50;
    int64_t valore = 0;
    if (x.tipo == tipo_cella::abbattimento)
      valore = x.valore_1 > 0 ? x.valore_1 : x.valore_1 + 65536;
    if (x.tipo == tipo_cella::abbattimento_senza_velocita && x.valore_1 != 0)
      w.note.push_back("cella " + n(static_cast<int64_t>(i)) +
                       ": abbattimento senza velocità con un valore");
    sez.righe.push_back(voce("abbattimento", {n(p), n(valore)}, p));
  }
  if (g.contraddetta)
    w.note.push_back(
        "le regole di rifinitura mettono punti di abbattimento dove i file compilati non ne hanno");
}

}  // namespace

void decompila_treno(const scenario_compilato& c, const std::vector<cella_percorso>& celle,
                     std::vector<sezione_sorgente>& sezioni, std::vector<std::string>& note) {
  const tabella& t = c.tabella_linea;
  lavoro w{celle, std::vector<bool>(celle.size(), false), note, static_cast<int>(celle.size()) - 1};

  sezioni.push_back({"[generale]", {}});
  auto& g = sezioni.back().righe;
  g.push_back(voce("numero vetture", {n(t[84].posizione)}));
  g.push_back(voce("percentuale massa frenata", {n(t[84].inizio)}));
  g.push_back(voce("sabbia", {n(t[86].parametro_1)}));
  // The clock's three numbers stand apart by blanks, as in the built-in file.
  g.push_back(voce("orologio", {n(t[86].parametro_4) + "  " + n(t[86].parametro_5) + "  " +
                                n(t[86].parametro_6)}));

  std::vector<int> v(w.celle.size());
  sezioni.push_back({"[aderenze]", {}});
  for (size_t i = 0; i < v.size(); ++i) v[i] = w.celle[i].aderenza;
  for (const punto_profilo& q : punti_profilo(v, w.ultima))
    sezioni.back().righe.push_back(voce("aderenza", {n(q.posizione), n(q.valore)}, q.posizione));
  sezioni.push_back({"[vel_limite]", {}});
  for (size_t i = 0; i < v.size(); ++i) v[i] = w.celle[i].velocita_limite;
  for (const punto_profilo& q : punti_profilo(v, w.ultima))
    sezioni.back().righe.push_back(
        voce("velocita", {n(q.posizione), n(q.valore * 5)}, q.posizione));

  std::vector<scrittore> scrittori;
  stazioni(c, w, scrittori);
  segnali(w, scrittori);
  const std::vector<size_t> ordine = ordine_marcatori(scrittori, w);
  // Signals that must write before a station stand among the stations.
  size_t ultima_stazione = 0;
  for (size_t i = 0; i < ordine.size(); ++i)
    if (scrittori[ordine[i]].stazione != 0) ultima_stazione = i + 1;
  sezioni.push_back({"[stazioni]", {}});
  for (size_t i = 0; i < ultima_stazione; ++i)
    sezioni.back().righe.push_back(scrittori[ordine[i]].riga);
  sezioni.push_back({"[rallentamenti]", {}});
  rallentamenti(w, sezioni.back());
  sezioni.push_back({"[segnali]", {}});
  for (size_t i = ultima_stazione; i < ordine.size(); ++i)
    sezioni.back().righe.push_back(scrittori[ordine[i]].riga);
  sezioni.push_back({"[codici]", {}});
  abbattimenti(w, sezioni.back());
  sezioni.push_back({"[fine]", {}});

  // Objects of the line description.
  for (size_t i = 0; i < w.celle.size(); ++i) {
    const uint8_t k = w.celle[i].tipo;
    if (k == tipo_cella::libera || k == tipo_cella::indicatori_v_max || k == tipo_cella::cartello ||
        k == tipo_cella::segno_montagna || w.spiegata[i])
      continue;
    note.push_back("cella " + n(static_cast<int64_t>(i)) + ": oggetto di tipo " + n(k) +
                   " che nessuna voce dà");
    break;
  }
}
