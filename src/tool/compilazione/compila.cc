#include "tool/compilazione/compila.h"

#include "driver/form1.h"
#include "model/formato.h"
#include "model/regole.h"
#include "platform/disco_memoria.h"
#include "platform/file.h"
#include "platform/testo.h"
#include "tool/comune/argomenti.h"

namespace {

// A source from the author's folder, or given; a missing one stays missing
// (the compile reports it).
void metti_sorgente(file::disco_memoria& d, const std::string& nome, const std::string* testo) {
  if (testo) {
    d.file[nome] = *testo;
    return;
  }
  std::string dati;
  const file::lettura l = file::leggi_al_piu(nome, kSorgenteMassimo, dati);
  if (l.esito == file::esito_lettura::mancante) return;
  if (l.esito != file::esito_lettura::letto)
    throw file::errore_io("impossibile leggere " + nome + ": " + l.motivo);
  d.file[nome] = std::move(dati);
}

// A source as the compile reads it: made Windows-1252 when it is UTF-8, or
// looked over for UTF-8 text when warnings are wanted. False when it cannot
// be converted.
bool prepara_sorgente(file::disco_memoria& d, const std::string& nome, const std::string* testo,
                      const opzioni_compilazione& o, esito_compilazione& esito) {
  metti_sorgente(d, nome, testo);
  auto s = d.file.find(nome);
  if (s == d.file.end()) return true;
  if (o.utf8)
    esito.codifica = da_utf8(nome, s->second);
  else if (o.avvisi)
    avvisi_codifica(esito.avvisi, nome, s->second);
  return !esito.codifica;
}

// The files in the sources' folder that may be the missing source `atteso`
// misspelt, with their folder.
std::vector<std::string> nomi_vicini(const std::string& cartella, const std::string& atteso) {
  std::vector<std::string> vicini;
  for (const std::string& n : file::elenco(cartella.empty() ? "." : cartella))
    if (regole::nome_vicino(atteso, n)) vicini.push_back(file::percorso(cartella, n));
  return vicini;
}

// The train the timetable is judged for: its type as its source names it
// (a name no type has is a warning, and the default stands), its coaches and
// braking from the table.
regole::treno_marcia treno_giudicato(const tabella& t, const std::string& file,
                                     const regole::tipo_scritto& scritto,
                                     std::vector<avviso>* avvisi) {
  const regole::tipo_treno* tipo = regole::tipo_treno_di(scritto.nome);
  if (!tipo) {
    tipo = &regole::kTipiTreno[0];
    if (avvisi && !scritto.nome.empty()) {
      std::string nomi;
      for (const regole::tipo_treno& k : regole::kTipiTreno)
        nomi += std::string(nomi.empty() ? "" : ", ") + k.nome;
      avvisi->push_back({{file, scritto.riga, 1, scritto.testo},
                         "tipo treno sconosciuto \"" + testo::da_1252(scritto.nome) +
                             "\": i tempi di marcia sono quelli del tipo " + tipo->nome +
                             " (tipi: " + nomi + ")"});
    }
  }
  return regole::treno_della_tabella(t, *tipo);
}

// A warning on the later station of every run the timetable gets wrong, at
// its entry: the k-th station entry read is the k-th station of the table.
void avvisi_orario(const tabella& t, const std::vector<cella_percorso>& celle,
                   const regole::treno_marcia& treno, const std::vector<voce_letta>& voci,
                   std::vector<avviso>& avvisi) {
  std::vector<const posizione_sorgente*> righe;
  for (const voce_letta& v : voci)
    if (v.chiave && std::string_view(v.chiave->genere) == "stazione") righe.push_back(&v.dove);
  const std::vector<regole::stazione_linea> st = regole::stazioni_linea(t);
  for (const regole::marcia& m : regole::marce(st, celle, treno)) {
    if (m.esito == regole::giudizio::in_orario) continue;
    avvisi.push_back(
        {m.a < righe.size() ? *righe[m.a] : posizione_sorgente{}, regole::testo_giudizio(m, st)});
  }
}

regole::tipo_scritto tipo_scritto_in(const file::disco_memoria& d, const std::string& nome) {
  const auto s = d.file.find(nome);
  return s == d.file.end() ? regole::tipo_scritto{} : regole::tipo_da_sorgente(s->second);
}

// What the run object's compile left: its code and where the read stopped.
void prendi_stato(const Form1& f, esito_compilazione& esito) {
  esito.codice_errore = f.codice_errore;
  esito.posizione_errore = f.posizione_errore;
  esito.sorgente = f.sorgente;
  esito.origine = f.origine;
  if (f.motivo_lettura) esito.motivo = f.motivo_lettura;
  esito.voce = f.voce_interrotta;
  esito.tipo_occupante = f.tipo_occupante;
  esito.occupante = f.occupante;
}

}  // namespace

int esito_compilazione::stato() const {
  if (codice_fatale != 0 || !errore_io.empty() || codifica) return kUscitaFallita;
  return codice_errore == 0 ? kUscitaOk : kUscitaCodice;
}

esito_compilazione compila_scenario(const opzioni_compilazione& o) {
  esito_compilazione esito;
  try {
    file::disco_memoria d;
    Form1 f;
    f.disco = &d;
    f.con_finestra = false;
    f.cartella = o.cartella_sorgenti;
    f.nome_linea = o.linea;
    f.numero_treno = o.treno;
    esito.file_linea = f.file_linea();
    if (!prepara_sorgente(d, f.file_linea(), o.testo_linea, o, esito) ||
        !prepara_sorgente(d, f.file_treno(), o.testo_treno, o, esito))
      return esito;
    // A source neither given nor on disk: perhaps it is there under a near name.
    for (const std::string& nome :
         {formato::nome_sorgente_linea(o.linea), formato::nome_sorgente_treno(o.linea, o.treno)})
      if (!d.file.count(file::percorso(o.cartella_sorgenti, nome)))
        esito.nomi_vicini[file::percorso(o.cartella_sorgenti, nome)] =
            nomi_vicini(o.cartella_sorgenti, nome);

    const std::string nomi[] = {formato::nome_planimetria(o.linea),
                                formato::nome_tabella(o.linea, o.treno),
                                formato::nome_percorso(o.linea, o.treno)};
    const std::string uscita = o.cartella_uscita.empty() ? o.cartella_sorgenti : o.cartella_uscita;
    if (o.uscita == uscita_compilati::cartella && !file::crea_cartelle(uscita))
      throw file::errore_io("impossibile creare la cartella " + uscita);
    for (const std::string& n : nomi) {
      const std::string dentro = file::percorso(o.cartella_sorgenti, n);
      if (o.uscita == uscita_compilati::cartella) d.su_disco[dentro] = file::percorso(uscita, n);
      if (o.uscita == uscita_compilati::nessuna) d.scarta.insert(dentro);
      if (o.uscita == uscita_compilati::confronto) {
        auto a = o.attesi.find(n);
        d.confronti[dentro].atteso = a == o.attesi.end() ? std::string_view() : a->second;
      }
    }

    if (o.avvisi) f.avvisi = &esito.avvisi;
    f.con_occupanti = true;
    // The timetable's warnings place themselves by the station entries.
    if (o.avvisi || o.voci) f.voci_lette = &esito.voci;
    // The compile takes the sources from the disk in memory: what the
    // train's source says of its type is read before.
    const regole::tipo_scritto scritto = tipo_scritto_in(d, f.file_treno());
    int32_t j = o.planimetria ? 1 : 0;
    try {
      f.memorizza_percorso(j);
    } catch (const fine_programma& fine) {
      esito.codice_fatale = fine.codice;
    }
    esito.treno = treno_giudicato(f.tabella_linea, f.file_treno(), scritto,
                                  o.avvisi ? &esito.avvisi : nullptr);
    if (o.avvisi && esito.codice_fatale == 0 && f.codice_errore == 0)
      avvisi_orario(f.tabella_linea, f.celle_percorso, esito.treno, esito.voci, esito.avvisi);
    if (o.voci)
      esito.tabella_linea = f.tabella_linea;
    else
      esito.voci.clear();
    prendi_stato(f, esito);

    for (const std::string& n : nomi) {
      const std::string dentro = file::percorso(o.cartella_sorgenti, n);
      for (const std::string& s : d.scritti)
        if (s == dentro && o.uscita == uscita_compilati::cartella) esito.files.push_back(n);
      if (o.uscita == uscita_compilati::memoria && d.file.count(dentro))
        esito.compilati[n] = std::move(d.file[dentro]);
      if (o.uscita == uscita_compilati::confronto) {
        const auto& c = d.confronti[dentro];
        esito.confronti[n] = {c.scritto, c.uguale, c.primo_diverso};
      }
    }
  } catch (const file::errore_io& e) {
    esito.errore_io = e.what();
  }
  return esito;
}
