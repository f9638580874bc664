// scenario decompile: the two sources back from the compiled files, written
// in the layout of the built-in ones and checked by compiling them again.
#include "tool/decompilazione/decompila.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstring>

#include "driver/form1.h"
#include "model/formato.h"
#include "model/numeri.h"
#include "model/regole.h"
#include "platform/file.h"
#include "platform/testo.h"
#include "tool/compilati/compilati.h"
#include "tool/compilazione/compila.h"
#include "tool/comune/argomenti.h"
#include "tool/comune/json.h"
#include "tool/decompilazione/decompila_interno.h"

namespace {

using std::to_string;

constexpr size_t kDifferenzeMostrate = 10;

}  // namespace

namespace {

// One entry a line, the columns of each section aligned, CR LF.
sorgente_decompilata componi(const std::vector<sezione_sorgente>& sezioni) {
  sorgente_decompilata out;
  int riga = 0;
  auto scrivi = [&](const std::string& s) {
    out.dati += s;
    out.dati += "\r\n";
    ++riga;
  };
  for (const sezione_sorgente& s : sezioni) {
    scrivi(s.testa);
    const std::vector<std::string> testi = allinea(s.righe);
    for (size_t i = 0; i < s.righe.size(); ++i) {
      const riga_sorgente& r = s.righe[i];
      std::string campi = r.chiave;
      for (const std::string& v : r.valori) campi += "," + v;
      scrivi(testi[i]);
      out.voci.push_back({r.genere, r.posizione, testi[i], campi, riga});
    }
  }
  return out;
}

}  // namespace

namespace {

// Header entries hold only what the readers put there, and the stamps.
void controlla_tabella(analisi& a) {
  const tabella& t = a.s.tabella_linea;
  for (int e = formato::kVoceProgressivaTre; e <= formato::kVoceRipetizione; ++e) {
    voce_linea v = t[static_cast<size_t>(e)];
    v.inizio = v.fine = v.posizione = 0;
    if (e == formato::kVoceLinea) v.parametro_1 = 0, v.orario = 0;
    if (e == formato::kVoceRipetizione)
      v.parametro_1 = v.parametro_4 = v.parametro_5 = v.parametro_6 = 0;
    if (e >= formato::kVoceLinea) v.nome.clear();
    if (!voce_libera(v)) a.nota("voce " + n(e) + ": campi che nessun lettore scrive");
  }
  Form1 f;
  f.tabella_linea = t;
  f.tabella_linea[formato::kVoceLinea].orario = 0;
  const voce_linea& linea = t[formato::kVoceLinea];
  if (linea.parametro_1 != formato::kTimbroTabella || linea.orario != f.codice_gara_st())
    a.nota("voce 85: timbro o codice st che la scrittura non dà (" + n(formato::kTimbroTabella) +
           " e " + n(f.codice_gara_st()) + ")");
  if (a.s.celle.size() > 1 &&
      (a.s.celle[formato::kCellaTimbri].valore_1 != formato::kTimbroPercorso ||
       a.s.celle[formato::kCellaTimbri].valore_2 != f.codice_gara_og()))
    a.nota("cella 1: timbro o codice og che la scrittura non dà (" + n(formato::kTimbroPercorso) +
           " e " + n(f.codice_gara_og()) + ")");
}

// A line read that stopped read no train: nothing of it may be there.
void controlla_treno_vuoto(analisi& a) {
  const tabella& t = a.s.tabella_linea;
  const voce_linea& treno = t[formato::kVoceTreno];
  const voce_linea& orologio = t[formato::kVoceRipetizione];
  bool pieno = treno.inizio || treno.posizione || orologio.parametro_1 || orologio.parametro_4 ||
               orologio.parametro_5 || orologio.parametro_6;
  for (int e = formato::kPrimaStazione; e <= formato::kPrimoCartello - a.cartelli; ++e)
    pieno = pieno || !voce_libera(t[static_cast<size_t>(e)]);
  const bool testata = a.linea == lettura_linea::ferma_testata;
  for (const cella_percorso& x : a.celle) {
    pieno = pieno || x.velocita_limite || x.aderenza || x.marcatore;
    if (testata) pieno = pieno || x.tipo || x.pendenza || x.montagna;
  }
  if (pieno)
    a.nota(testata ? "la lettura della linea si ferma nell'intestazione, ma le celle o il treno "
                     "hanno valori"
                   : "la lettura della linea si ferma nel corpo, ma il treno è stato letto");
}

// Every object in the cells comes from an entry.
void controlla_celle(analisi& a) {
  size_t restano = 0, prima = 0;
  for (size_t i = 0; i < a.celle.size(); ++i)
    if (a.celle[i].tipo != tipo_cella::libera && !a.spiegata[i] && restano++ == 0) prima = i;
  if (restano == 0) return;
  a.nota("cella " + n(static_cast<int64_t>(prima)) + ": oggetto di tipo " + n(a.celle[prima].tipo) +
         " che nessuna voce dà" +
         (restano > 1 ? " (e altre " + n(static_cast<int64_t>(restano - 1)) + " celle)" : ""));
}

}  // namespace

decompilazione decompila(const scenario_compilato& s) {
  decompilazione d;
  analisi a(s, d);
  controlla_tabella(a);
  analizza_lettura_linea(a);
  analizza_cartelli(a);
  if (a.linea == lettura_linea::intera) {
    analizza_stazioni(a);
    analizza_oggetti_treno(a);
  } else {
    controlla_treno_vuoto(a);
  }
  std::vector<sezione_sorgente> linea, treno;
  scrivi_linea(a, linea);
  scrivi_treno(a, treno);
  controlla_celle(a);
  d.linea = componi(linea);
  d.treno = componi(treno);
  return d;
}

// --- the subcommand ---

namespace {

// What the check compile's code says, as an author reads it.
std::string controllo(const esito_decompilazione& e) {
  if (e.controllo_fatale)
    return "la compilazione di controllo finisce con l'errore " + to_string(e.codice_controllo) +
           " e non scrive nulla";
  return "la compilazione di controllo lascia il codice " + to_string(e.codice_controllo) +
         " (posizione " + to_string(e.posizione_controllo) + " m)";
}

void stampa_json(const esito_decompilazione& e) {
  std::string s = "{\"files\":[";
  for (size_t i = 0; i < e.files.size(); ++i) s += (i ? "," : "") + json_testo(e.files[i]);
  s += "],\"identico\":" + std::string(e.identico ? "true" : "false") + ",\"differenze\":[";
  for (size_t i = 0; i < e.differenze.size(); ++i) {
    const differenza& d = e.differenze[i];
    s += (i ? "," : "") + std::string("{\"file\":") + json_testo(d.file) +
         ",\"dove\":" + json_testo(d.dove) + ",\"atteso\":" + json_testo(d.atteso) +
         ",\"ottenuto\":" + json_testo(d.ottenuto) + "}";
  }
  s += "],\"inesprimibili\":[";
  for (size_t i = 0; i < e.inesprimibili.size(); ++i)
    s += (i ? "," : "") + json_testo(e.inesprimibili[i]);
  s += "],\"non_ricostruiti\":[";
  for (size_t i = 0; i < e.non_ricostruite.size(); ++i)
    s += (i ? "," : "") + json_testo(e.non_ricostruite[i]);
  s += "],\"tracce\":[";
  for (size_t i = 0; i < e.tracce.size(); ++i) s += (i ? "," : "") + json_testo(e.tracce[i]);
  s += "]";
  if (e.codice_controllo != 0) s += ",\"controllo\":" + json_testo(controllo(e));
  s += "}\n";
  std::fputs(s.c_str(), stdout);
}

void stampa_testo(const esito_decompilazione& e) {
  for (const auto& f : e.files) std::printf("scritto %s\n", f.c_str());
  for (const auto& t : e.tracce) std::printf("%s\n", t.c_str());
  if (e.identico) {
    std::printf("andata e ritorno identica: i sorgenti scritti si compilano negli stessi byte\n");
    return;
  }
  std::printf("andata e ritorno diversa: i sorgenti scritti non danno gli stessi byte\n");
  if (e.codice_controllo != 0) std::printf("  %s\n", controllo(e).c_str());
  for (const differenza& d : e.differenze)
    std::printf("  %s, %s: %s nei file letti, %s dai sorgenti scritti\n", d.file.c_str(),
                d.dove.c_str(), d.atteso.c_str(), d.ottenuto.c_str());
  // A damaged file can hold thousands of them; --json lists them all.
  constexpr size_t kNoteMostrate = 20;
  for (size_t i = 0; i < e.inesprimibili.size() && i < kNoteMostrate; ++i)
    std::printf("  non esprimibile: %s\n", e.inesprimibili[i].c_str());
  for (const auto& x : e.non_ricostruite) std::printf("  non ricostruito: %s\n", x.c_str());
  if (e.inesprimibili.size() > kNoteMostrate)
    std::printf("  e altro ancora che nessun sorgente esprime (%zu in tutto; --json le elenca)\n",
                e.inesprimibili.size());
}

}  // namespace

namespace {

// The check compile of the sources written, in memory: each compiled file
// compared with the one read, byte for byte. Where they differ it runs once
// more, keeping what it writes, to name the first records that differ.
void controlla(const opzioni_decompilazione& o, const std::string& uscita, const std::string& linea,
               const std::string& treno, scenario_compilato& s, esito_decompilazione& e) {
  opzioni_compilazione c;
  c.cartella_sorgenti = uscita;
  c.linea = o.linea;
  c.treno = o.treno;
  c.planimetria = s.con_planimetria;
  c.testo_linea = &linea;
  c.testo_treno = &treno;
  c.utf8 = o.utf8;
  c.uscita = uscita_compilati::confronto;
  c.attesi[nome_tabella(o.linea, o.treno)] = s.byte_tabella;
  c.attesi[nome_percorso(o.linea, o.treno)] = s.byte_percorso;
  if (s.con_planimetria) c.attesi[nome_planimetria(o.linea)] = s.byte_planimetria;
  esito_compilazione r = compila_scenario(c);
  if (!r.errore_io.empty() || r.codifica)
    throw file::errore_io("compilazione di controllo non riuscita: " +
                          (r.codifica ? r.codifica->messaggio : r.errore_io));
  if (r.codice_fatale != 0) {
    e.codice_controllo = r.codice_fatale;
    e.controllo_fatale = true;
    return;
  }
  e.identico = true;
  for (const auto& [nome, atteso] : c.attesi) {
    (void)atteso;
    const confronto_compilato& x = r.confronti[nome];
    e.identico = e.identico && x.scritto && x.uguale;
  }
  // A plan where none was read.
  if (!s.con_planimetria && r.confronti[nome_planimetria(o.linea)].scritto) e.identico = false;
  if (e.identico) return;
  e.codice_controllo = r.codice_errore;
  e.posizione_controllo = r.posizione_errore;
  c.uscita = uscita_compilati::memoria;
  r = compila_scenario(c);
  scenario_compilato ritorno;
  compilato_da_memoria(r.compilati, o.linea, o.treno, ritorno);
  e.differenze = confronta_compilati(s, ritorno, kDifferenzeMostrate);
}

}  // namespace

esito_decompilazione decompila_cartella(const opzioni_decompilazione& o, file::disco& disco) {
  esito_decompilazione e;
  const std::string uscita = o.uscita.empty() ? o.cartella : o.uscita;
  scenario_compilato s;
  leggi_compilato(o.cartella, o.linea, o.treno, s);
  const decompilazione d = decompila(s);
  s.libera_planimetria();  // the check compares bytes: one plan-sized buffer is enough
  e.inesprimibili = d.inesprimibili;
  e.non_ricostruite = d.non_ricostruite;
  e.tracce = d.tracce;
  const std::string n_linea = file::percorso(uscita, nome_sorgente_linea(o.linea));
  const std::string n_treno = file::percorso(uscita, nome_sorgente_treno(o.linea, o.treno));
  for (const auto& n : {n_linea, n_treno})
    if (std::string x = ostacolo_sorgente(n, o.forza); !x.empty()) throw file::errore_io(x);
  if (!file::crea_cartelle(uscita)) throw file::errore_io("impossibile creare " + uscita);
  // The check compile reads what is written, in the encoding written.
  std::string u_linea, u_treno;
  if (o.utf8) {
    u_linea = testo::da_1252_esatto(d.linea.dati);
    u_treno = testo::da_1252_esatto(d.treno.dati);
  }
  const std::string& t_linea = o.utf8 ? u_linea : d.linea.dati;
  const std::string& t_treno = o.utf8 ? u_treno : d.treno.dati;
  file::sostituisci_coppia(disco, n_linea, t_linea, n_treno, t_treno);
  e.files = {n_linea, n_treno};
  controlla(o, uscita, t_linea, t_treno, s, e);
  return e;
}

int comando_decompile(const argomenti& a) {
  argomenti_letti l;
  if (int s = leggi_argomenti("decompile", a,
                              {{"--out", "una cartella"}, {"--force"}, {"--utf8"}, {"--json"}}, 3,
                              "DIR ROUTE TRAIN", l);
      s >= 0)
    return s;
  opzioni_decompilazione o;
  const bool json = l.ha("--json");
  o.uscita = l.valore("--out");
  o.forza = l.ha("--force");
  o.utf8 = l.ha("--utf8");
  o.cartella = l.posizionali[0];
  o.linea = l.posizionali[1];
  o.treno = l.posizionali[2];
  if (int s = nomi_scenario("decompile", o.linea, o.treno); s >= 0) return s;
  esito_decompilazione e;
  try {
    e = decompila_cartella(o);
  } catch (const file::errore_io& x) {
    if (json)
      std::printf("{\"files\":[],\"identico\":false,\"errore\":%s}\n",
                  json_testo(x.what()).c_str());
    else
      std::fprintf(stderr, "scenario: %s\n", x.what());
    return kUscitaFallita;
  }
  if (json)
    stampa_json(e);
  else
    stampa_testo(e);
  return e.identico ? kUscitaOk : kUscitaCodice;
}
