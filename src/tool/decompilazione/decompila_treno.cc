// The train description back from the compiled records: the stations and
// the named signs' entries of the table, the train's values and profiles,
// and the layout of all its entries in the order they must be read.
#include <algorithm>
#include <string>
#include <vector>

#include "model/formato.h"
#include "model/numeri.h"
#include "tool/decompilazione/decompila_interno.h"

namespace {

using formato::kDistanzaZone;
using formato::kPrimoCartello;
constexpr int kSenzaFermata = formato::kTipoSenzaFermata;

// Stations fill the entries from 1 without a gap, and every one has a kind or
// a zone end that is not 0: a kind below 25 needs a zone end above 100.
int blocco_stazioni(const tabella& t) {
  int n = 0;
  while (n < kPrimoCartello && !numeri_zero(t[static_cast<size_t>(n + 1)])) ++n;
  return n;
}

bool ha_fermata(int tipo) {
  return tipo < kSenzaFermata;
}
bool ha_marcatori(int tipo) {
  return tipo < kSenzaFermata && tipo != 5 && tipo != 6;
}

// A record the reader left half written when it stopped at it: only its
// position (codes 15 and 8), or its position and kind (code 9).
bool stazione_parziale(analisi& a, int e, oggetto_treno& x) {
  const voce_linea& r = a.s.tabella_linea[static_cast<size_t>(e)];
  // A whole entry has this zone only at position 0 with length 0.
  if (r.inizio != 0 || r.fine != 0 || r.posizione == 0) return false;
  voce_linea resto = r;
  resto.posizione = 0;
  resto.tipo = 0;
  const std::string chi = "stazione della voce " + n(e);
  if (!voce_libera(resto)) a.nota(chi + ": valori che la lettura di una stazione non dà");
  if (e != a.stazioni) a.nota(chi + ": scritta a metà, ma altre stazioni la seguono");
  const int64_t p = r.posizione;
  int32_t codice;
  if (p > formato::posizione_massima(a.ultima, formato::kMargineStazione))
    codice = 15;
  else if (p % 50 != 0)
    codice = 8;
  else
    codice = 9;
  if (codice != 9 && r.tipo != 0) a.nota(chi + ": un tipo letto dopo la posizione che ferma");
  x.riga = codice == 9 ? voce("stazione", {n(p), n(r.tipo), "1"}, p) : voce("stazione", {n(p)}, p);
  a.stazione_finale = e;
  a.codice_finale = codice;
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
  if (tipo == 5 || tipo == 6 || tipo == 7 || tipo == 8) {
    z.lunghezza = p - r.inizio;
    const int64_t fine = tipo <= 6 ? p + 150 : p + z.lunghezza;
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
  if (z.lunghezza % 100 != 0 || p % 50 != 0)
    a.nota(chi + ": posizione non multipla di 50 o lunghezza non multipla di 100");
  if ((z.lunghezza < 600 || e == 1) && r.opzione_2 != 0)
    a.nota(chi + ": opzione_2, che il lettore azzera con lunghezze sotto 600 m o per la prima");
  return z;
}

// Which check ended the read at this station, 0 when none did.
int32_t codice_della_stazione(const analisi& a, int e, const voce_linea& r) {
  const tabella& t = a.s.tabella_linea;
  if (ha_fermata(r.tipo) && r.fine <= 100) return 24;
  if (ha_fermata(r.tipo) && arrotonda(int64_t{r.fine} - 50, 50) > a.ultima) return 25;
  if (e > 1 && int64_t{r.inizio} - kDistanzaZone < t[static_cast<size_t>(e - 1)].fine) return 22;
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
  if (ha_marcatori(r.tipo))
    for (int k = 1; k <= 4; ++k) {
      if (fine <= 50 * (int64_t{k} + 2)) continue;
      const int64_t c = arrotonda(fine - 50 * (k + 1), 50);
      if (c <= a.ultima)
        x.marcatori.push_back({static_cast<size_t>(c), formato::kMarcatoreStazione + k});
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
  if (ha_fermata(r.tipo) && codice != 24 && codice != 25) {
    const auto c = static_cast<size_t>(arrotonda(fine - 50, 50));
    a.fermata[c] = e;
    if (a.fermata_prima[c] == 0) a.fermata_prima[c] = e;
  }
  a.stazioni_trovate.push_back(std::move(x));
}

}  // namespace

void analizza_cartelli(analisi& a) {
  const tabella& t = a.s.tabella_linea;
  const int blocco = blocco_stazioni(t);
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
  a.stazioni = blocco_stazioni(a.s.tabella_linea);
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
