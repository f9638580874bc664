// The train description back from the compiled records: the stations and
// the named signs' entries of the table, the train's values and profiles,
// and the layout of all its entries in the order they must be read.
#include <algorithm>
#include <iterator>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "model/formato.h"
#include "model/numeri.h"
#include "model/regole.h"
#include "tool/decompilazione/decompila_interno.h"

namespace {

using formato::kPrimoCartello;

// Stations fill the entries from 1 without a gap, and every one has a kind or
// a zone end that is not 0: a kind below 25 needs a zone end above 100.
int blocco_stazioni(const tabella& t) {
  int n = 0;
  while (n < kPrimoCartello && !numeri_zero(t[static_cast<size_t>(n + 1)])) ++n;
  return n;
}

// A read that stops inside a station entry leaves the record as far as it
// got: the values stored as they were read, nothing of the zone. Fields count
// as in the entry, from 1 (the position) to 17 (the name); past the name the
// read stops where the time, the zone's start or its end leaves 32 bits.
constexpr int kFermoOrario = 18;
constexpr int kFermoInizio = 19;
constexpr int kFermoFine = 20;
constexpr int64_t kLunghezzaEstrema = 2147483600;  // the largest multiple of 100 in 32 bits

// The first field the record does not show read: the one after the last
// value that is not 0 (a 0 read and a value never read look the same).
int primo_non_letto(const voce_linea& r) {
  if (r.inizio != 0) return kFermoFine;
  if (r.orario != 0) return kFermoInizio;
  if (!r.nome.empty()) return kFermoOrario;
  // Field 3, the length, is never stored.
  const int64_t v[] = {r.posizione,   r.tipo,        0,
                       r.opzione_1,   r.opzione_2,   r.prolunga_fine,
                       r.parametro_1, r.parametro_2, r.parametro_3,
                       r.parametro_4, r.parametro_5, r.parametro_6,
                       r.parametro_7};
  for (int i = static_cast<int>(std::size(v)); i >= 1; --i)
    if (v[i - 1] != 0) return i + 1;
  return 1;
}

bool in_32(int64_t v) {
  return v >= std::numeric_limits<int32_t>::min() && v <= std::numeric_limits<int32_t>::max();
}

// A length that stops the zone at `campo` (its start or its end leaving 32
// bits) with the start the record holds; false for none.
bool lunghezza_che_esce(const voce_linea& r, int campo, int64_t& l) {
  const int64_t p = r.posizione;
  const int tipo = r.tipo;
  std::vector<int64_t> prove = {kLunghezzaEstrema, -kLunghezzaEstrema};
  if (campo == kFermoFine) prove = {tipo == 7 || tipo == 8 ? p - r.inizio : 2 * (p - r.inizio)};
  for (int64_t x : prove) {
    if (!in_32(x) || x % 100 != 0) continue;
    const auto [inizio, fine] = regole::zona_della_stazione(tipo, p, x, r.prolunga_fine != 0);
    const bool ok = campo == kFermoInizio ? !in_32(inizio) : inizio == r.inizio && !in_32(fine);
    if (ok) {
      l = x;
      return true;
    }
  }
  return false;
}

// Whether the reader left the record half written: a whole entry has a zone
// that ends at 0 only with position and length 0 (and no extension), or with
// a start that the end's 32 bits keep.
bool scritta_a_meta(const voce_linea& r) {
  if (r.fine != 0) return false;
  int64_t l;
  if (r.inizio != 0) return lunghezza_che_esce(r, kFermoFine, l);
  if (r.posizione != 0) return true;
  return r.tipo == 5 || r.tipo == 6 || r.opzione_2 != 0 || r.prolunga_fine != 0;
}

// The entry as far as the read got, then what stops it there: a value that
// cannot be read, or values whose time or zone leaves 32 bits.
riga_sorgente riga_fermata(const voce_linea& r, int campo, int64_t l, const std::string& nome) {
  std::vector<std::string> v = {n(r.posizione),   n(r.tipo),        n(l),
                                n(r.opzione_1),   n(r.opzione_2),   n(r.prolunga_fine),
                                n(r.parametro_1), n(r.parametro_2), n(r.parametro_3),
                                n(r.parametro_4), n(r.parametro_5), n(r.parametro_6),
                                n(r.parametro_7)};
  if (campo < kFermoOrario) {
    v.resize(static_cast<size_t>(campo - 1));
    v.push_back("X");
  } else if (campo == kFermoOrario) {
    const int64_t ore = std::numeric_limits<int32_t>::max() / 3600 + 1;
    for (int64_t x : {ore, int64_t{0}, int64_t{0}}) v.push_back(n(x));
    v.push_back(nome);
  } else {
    const int64_t resto = r.orario % 3600;
    for (int64_t x : {int64_t{r.orario / 3600}, resto / 60, resto % 60}) v.push_back(n(x));
    v.push_back(nome);
  }
  return voce("stazione", std::move(v), r.posizione);
}

// A station entry that stopped the read with code 25 after its kind.
void fermata_25(analisi& a, int e, int campo, oggetto_treno& x) {
  const voce_linea& r = a.s.tabella_linea[static_cast<size_t>(e)];
  const std::string chi = "stazione della voce " + n(e);
  int64_t l = 0;
  if (campo == kFermoInizio && !lunghezza_che_esce(r, campo, l)) campo = kFermoFine;
  if (campo == kFermoFine && !lunghezza_che_esce(r, campo, l))
    a.nota(chi + ": valori che la lettura di una stazione non dà");
  std::string nome;
  if (!testo_campo(r.nome, nome)) a.nota(chi + ": nome che nessun campo può dare");
  x.riga = riga_fermata(r, campo, l, nome);
  const formato::chiave_sorgente* k = formato::chiave("stazione");
  const std::string letta = campo == kFermoOrario   ? "al nome, poi un orario"
                            : campo == kFermoInizio ? "all'orario, poi un inizio della zona"
                            : campo == kFermoFine ? "all'inizio della zona, poi una fine della zona"
                                                  : std::string("a ") + k->valori[campo - 2].nome +
                                                        ", poi un valore che non si legge";
  a.tracce.push_back("la lettura del treno si è fermata alla stazione della voce " + n(e) +
                     " (codice 25), scritta a metà: i file la mostrano letta fino " + letta +
                     (campo < kFermoOrario ? "" : " che esce dai 32 bit") +
                     "; il sorgente scritto finisce con la stessa voce, fermata lì");
}

// A record the reader left half written when it stopped at it: only its
// position (codes 15 and 8), its position and kind (code 9), or what it read
// before a value it could not read or keep (code 25).
bool stazione_parziale(analisi& a, int e, oggetto_treno& x) {
  const voce_linea& r = a.s.tabella_linea[static_cast<size_t>(e)];
  if (!scritta_a_meta(r)) return false;
  const std::string chi = "stazione della voce " + n(e);
  if (e != a.stazioni) a.nota(chi + ": scritta a metà, ma altre stazioni la seguono");
  const int campo = primo_non_letto(r);
  const int64_t p = r.posizione;
  int32_t codice;
  if (p > formato::posizione_massima(a.ultima, formato::kMargineStazione))
    codice = 15;
  else if (p % formato::kMetriCella != 0)
    codice = 8;
  else if (campo <= 3)
    codice = 9;
  else
    codice = 25;
  a.stazione_finale = e;
  a.codice_finale = codice;
  if (codice == 25) {
    fermata_25(a, e, campo, x);
    return true;
  }
  if (codice != 9 && campo > 2)
    a.nota(chi + ": valori letti dopo la posizione che ferma la lettura");
  x.riga = codice == 9 ? voce("stazione", {n(p), n(r.tipo), "1"}, p) : voce("stazione", {n(p)}, p);
  a.tracce.push_back("la lettura del treno si è fermata alla stazione della voce " + n(e) +
                     " (codice " + n(codice) +
                     "), scritta a metà; il sorgente scritto finisce "
                     "con la stessa voce");
  return true;
}

// The entry's length and zone-end switch from the zone the reader worked out.
struct zona {
  int64_t lunghezza = 0;
  int prolunga = 0;
};

zona dalla_zona(analisi& a, int e, const voce_linea& r) {
  const int64_t p = r.posizione;
  const int tipo = r.tipo;
  const std::string chi = "stazione della voce " + n(e);
  zona z;
  if (regole::zona_propria(tipo)) {
    z.lunghezza = p - r.inizio;
    const int64_t fine = regole::zona_della_stazione(tipo, p, z.lunghezza, false).fine;
    if (r.fine != fine) a.nota(chi + ": fine della zona che posizione e lunghezza non danno");
    if (r.prolunga_fine != 0)
      a.nota(chi + ": prolunga_fine, che il lettore azzera per il tipo " + n(tipo));
  } else {
    z.lunghezza = 2 * (p - r.inizio);
    const int64_t oltre = int64_t{r.fine} - (p + z.lunghezza / 2);
    // The first station's switch still lengthens its zone, then is cleared.
    z.prolunga = e == 1 ? (oltre == 50 ? 1 : 0) : r.prolunga_fine;
    if (e == 1 && r.prolunga_fine != 0)
      a.nota(chi + ": prolunga_fine, che il lettore azzera per la prima stazione");
    if (oltre != (z.prolunga != 0 ? 50 : 0))
      a.nota(chi + ": fine della zona che posizione, lunghezza e prolunga_fine non danno");
  }
  if (z.lunghezza % 100 != 0 || p % formato::kMetriCella != 0)
    a.nota(chi + ": posizione non multipla di 50 o lunghezza non multipla di 100");
  if ((z.lunghezza < 600 || e == 1) && r.opzione_2 != 0)
    a.nota(chi + ": opzione_2, che il lettore azzera con lunghezze sotto 600 m o per la prima");
  return z;
}

// Which check ended the read at this station, 0 when none did.
int32_t codice_della_stazione(const analisi& a, int e, const voce_linea& r) {
  const tabella& t = a.s.tabella_linea;
  if (regole::con_fermata(r.tipo)) {
    const std::optional<int64_t> c = regole::cella_fermata(r.fine);
    if (!c) return 24;
    if (*c > a.ultima) return 25;
  }
  if (e > 1 && !regole::zone_distanti(t[static_cast<size_t>(e - 1)].fine, r.inizio)) return 22;
  if (e + 1 >= kPrimoCartello - a.cartelli) return 10;
  return 0;
}

void stazione(analisi& a, int e) {
  const voce_linea& r = a.s.tabella_linea[static_cast<size_t>(e)];
  oggetto_treno x;
  x.stazione = e;
  if (stazione_parziale(a, e, x)) {
    a.stazioni_trovate.push_back(std::move(x));
    return;
  }
  const std::string chi = "stazione della voce " + n(e);
  const int64_t p = r.posizione;
  if (p > formato::posizione_massima(a.ultima, formato::kMargineStazione))
    a.nota(chi + ": posizione oltre le celle");
  const zona z = dalla_zona(a, e, r);
  std::string nome;
  if (!testo_campo(r.nome, nome)) a.nota(chi + ": nome che nessun campo può dare");
  const int64_t ore = r.orario / 3600, resto = r.orario % 3600;
  x.riga = voce(
      "stazione",
      {n(p), n(r.tipo), n(z.lunghezza), n(r.opzione_1), n(r.opzione_2), n(z.prolunga),
       n(r.parametro_1), n(r.parametro_2), n(r.parametro_3), n(r.parametro_4), n(r.parametro_5),
       n(r.parametro_6), n(r.parametro_7), n(ore), n(resto / 60), n(resto % 60), nome},
      p);
  const int64_t fine = r.fine;
  if (regole::con_marcatori(r.tipo))
    for (int k = 1; k <= formato::kMarcatori; ++k) {
      const std::optional<int64_t> c = regole::cella_marcatore(fine, k);
      if (c && *c <= a.ultima)
        x.marcatori.push_back({static_cast<size_t>(*c), formato::kMarcatoreStazione + k});
    }
  const int32_t codice = codice_della_stazione(a, e, r);
  if (codice != 0) {
    if (e != a.stazioni)
      a.nota(chi + ": la lettura si ferma qui (codice " + n(codice) +
             "), ma altre stazioni la "
             "seguono");
    a.stazione_finale = e;
    a.codice_finale = codice;
    a.tracce.push_back("la lettura del treno si è fermata alla stazione della voce " + n(e) +
                       " (codice " + n(codice) +
                       "); il sorgente scritto finisce con la stessa "
                       "voce");
  }
  const std::optional<int64_t> cella = regole::cella_fermata(fine);
  if (regole::con_fermata(r.tipo) && cella && codice != 24 && codice != 25) {
    const auto c = static_cast<size_t>(*cella);
    a.fermata[c] = e;
    if (a.fermata_prima[c] == 0) a.fermata_prima[c] = e;
  }
  a.stazioni_trovate.push_back(std::move(x));
}

// A station at position 0 that kept only its name (kind and length 0, code
// 24; or a time past 32 bits) looks like a sign's text. It is the station
// where the signs from its entry to 80 would lack more cells than there are
// stop cells to have replaced them.
bool stazione_solo_nome(const analisi& a, int blocco) {
  const int e = blocco + 1;
  if (a.linea != lettura_linea::intera || e > kPrimoCartello) return false;
  const voce_linea& v = a.s.tabella_linea[static_cast<size_t>(e)];
  if (v.nome.empty() || !numeri_zero(v) || a.cella_cartello[static_cast<size_t>(e)] >= 0)
    return false;
  int senza_cella = 0;
  for (int x = e; x <= kPrimoCartello; ++x)
    if (a.cella_cartello[static_cast<size_t>(x)] < 0) ++senza_cella;
  return senza_cella > blocco;
}

}  // namespace

void analizza_cartelli(analisi& a) {
  const tabella& t = a.s.tabella_linea;
  int blocco = blocco_stazioni(t);
  int piu_bassa = formato::kPrimoCartello + 1;  // no sign
  for (size_t i = 0; i < a.celle.size(); ++i) {
    const cella_percorso& x = a.celle[i];
    if (x.tipo != tipo_cella::cartello) continue;
    const int e = x.valore_1;
    const std::string chi = "cella " + n(static_cast<int64_t>(i));
    if (x.valore_2 || x.valore_3 || x.valore_4 || x.tempo)
      a.nota(chi + ": cartello con valori oltre la sua voce");
    if (e < 0 || e > kPrimoCartello || (e >= 1 && e <= blocco)) {
      a.nota(chi + ": cartello della voce " + n(e) + ", che non può contenerne");
      continue;
    }
    if (a.cella_cartello[static_cast<size_t>(e)] >= 0)
      a.nota(chi + ": la voce " + n(e) + " ha già il cartello di un'altra cella");
    a.cella_cartello[static_cast<size_t>(e)] = static_cast<int64_t>(i);
    piu_bassa = std::min(piu_bassa, e);
  }
  if (stazione_solo_nome(a, blocco)) ++blocco;
  a.stazioni = blocco;
  for (int e = blocco == 0 ? 0 : blocco + 1; e <= kPrimoCartello; ++e)
    if (!t[static_cast<size_t>(e)].nome.empty() && numeri_zero(t[static_cast<size_t>(e)]))
      piu_bassa = std::min(piu_bassa, e);
  a.cartelli = formato::kPrimoCartello + 1 - piu_bassa;
  for (int e = 0; e <= kPrimoCartello; ++e) {
    const voce_linea& v = t[static_cast<size_t>(e)];
    const bool segno = e >= piu_bassa;
    const bool stazione = e >= 1 && e <= blocco;
    if (segno && !numeri_zero(v)) a.nota("voce " + n(e) + ": valori oltre il testo del cartello");
    if (!segno && !stazione && !voce_libera(v))
      a.nota("voce " + n(e) + ": né una stazione né il testo di un cartello");
  }
  // The station that brings the count to the limit (80 less the signs) is
  // stored, then ends the read; with 80 signs or more none is stored.
  const int limite = kPrimoCartello - a.cartelli;
  const int massimo = limite >= 1 ? std::max(1, limite - 1) : 0;
  if (blocco > massimo)
    a.nota(n(blocco) + " stazioni con " + n(a.cartelli) + " cartelli: la tabella ne tiene " +
           n(massimo));
}

void analizza_stazioni(analisi& a) {
  if (a.cartelli >= 80) a.stazioni = 0;  // no room: entries above 0 are signs
  for (int e = 1; e <= a.stazioni; ++e) stazione(a, e);
  // A stop cell holds the entry of the last station that wrote it.
  for (size_t c = 0; c < a.celle.size(); ++c) {
    if (a.fermata[c] == 0) continue;
    const cella_percorso& x = a.celle[c];
    if (x.tipo != tipo_cella::fermata || x.valore_1 != a.fermata[c])
      a.nota("cella " + n(static_cast<int64_t>(c)) + ": la fermata della stazione della voce " +
             n(a.fermata[c]) + " non c'è");
    else
      a.spiegata[c] = 1;
  }
}

namespace {

void generale(const analisi& a, sezione_sorgente& s) {
  const voce_linea& treno = a.s.tabella_linea[formato::kVoceTreno];
  const voce_linea& orologio = a.s.tabella_linea[formato::kVoceRipetizione];
  s.righe.push_back(voce("numero vetture", {n(treno.posizione)}));
  s.righe.push_back(voce("percentuale massa frenata", {n(treno.inizio)}));
  s.righe.push_back(voce("sabbia", {n(orologio.parametro_1)}));
  // The clock's three numbers stand apart by blanks, as in the built-in file.
  s.righe.push_back(voce("orologio", {n(orologio.parametro_4) + "  " + n(orologio.parametro_5) +
                                      "  " + n(orologio.parametro_6)}));
}

void profilo(const analisi& a, sezione_sorgente& s, const char* chiave, int fattore,
             uint8_t cella_percorso::*campo) {
  std::vector<int> v(a.celle.size());
  for (size_t i = 0; i < v.size(); ++i) v[i] = a.celle[i].*campo;
  for (const punto_profilo& q : punti_profilo(v, a.ultima, !a.treno_senza_coda()))
    s.righe.push_back(voce(chiave, {n(q.posizione), n(q.valore * fattore)}, q.posizione));
}

void aggiungi(sezione_sorgente& s, const std::vector<oggetto_treno>& v, int prima_di) {
  for (const oggetto_treno& x : v)
    if (x.prima_di == prima_di) s.righe.push_back(x.riga);
}

}  // namespace

void scrivi_treno(analisi& a, std::vector<sezione_sorgente>& sezioni) {
  if (a.linea != lettura_linea::intera) {
    // The line read stopped: the train was never read.
    sezioni.push_back({"[generale]", {}});
    sezioni.push_back({"[fine]", {}});
    return;
  }
  sezioni.push_back({"[generale]", {}});
  generale(a, sezioni.back());
  sezioni.push_back({"[aderenze]", {}});
  profilo(a, sezioni.back(), "aderenza", 1, &cella_percorso::aderenza);
  sezioni.push_back({"[vel_limite]", {}});
  profilo(a, sezioni.back(), "velocita", 5, &cella_percorso::velocita_limite);

  // Stations with what must be read before them; the station that ended the
  // read comes last of all.
  size_t ultima = 0;
  for (size_t i = 0; i < a.oggetti.size(); ++i) {
    const int e = a.oggetti[i].stazione;
    if (e != 0 && e != a.stazione_finale) ultima = i + 1;
  }
  sezioni.push_back({"[stazioni]", {}});
  size_t i = 0;
  for (; i < ultima; ++i) {
    const oggetto_treno& x = a.oggetti[i];
    if (x.stazione != 0) {
      aggiungi(sezioni.back(), a.rallentamenti, x.stazione);
      aggiungi(sezioni.back(), a.abbattimenti, x.stazione);
    }
    sezioni.back().righe.push_back(x.riga);
  }
  sezioni.push_back({"[rallentamenti]", {}});
  aggiungi(sezioni.back(), a.rallentamenti, 0);
  sezioni.push_back({"[segnali]", {}});
  const oggetto_treno* finale = nullptr;
  for (; i < a.oggetti.size(); ++i) {
    if (a.oggetti[i].stazione == a.stazione_finale && a.stazione_finale != 0)
      finale = &a.oggetti[i];
    else
      sezioni.back().righe.push_back(a.oggetti[i].riga);
  }
  sezioni.push_back({"[codici]", {}});
  aggiungi(sezioni.back(), a.abbattimenti, 0);
  if (finale) {
    aggiungi(sezioni.back(), a.rallentamenti, finale->stazione);
    aggiungi(sezioni.back(), a.abbattimenti, finale->stazione);
    sezioni.back().righe.push_back(finale->riga);
  }
  sezioni.push_back({"[fine]", {}});
}
