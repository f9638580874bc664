#include "tool/pacchetto/pacchetto.h"

#include <cstdio>

#include "driver/form1.h"
#include "model/formato.h"
#include "model/regole.h"
#include "platform/disco_memoria.h"
#include "platform/file.h"
#include "tool/compilati/compilati.h"
#include "tool/compilazione/messaggi.h"
#include "writers/righe.h"

namespace pacchetto {

namespace {

// A document's bytes as the built-in writers write theirs.
std::string come_documento(std::vector<std::string> righe) {
  file::disco_memoria d;
  Form1 f;
  f.disco = &d;
  f.con_finestra = false;
  righe.push_back(kFineFile);
  f.scrivi_righe("documento", righe);
  return d.file["documento"];
}

guasto guasto_compilazione(const esito_compilazione& e) {
  if (!e.errore_io.empty()) return guasto_di(genere_guasto::io, e.errore_io);
  if (e.codifica) return guasto_di(genere_guasto::ingresso, testo_errore(e));
  guasto g = guasto_di(genere_guasto::codice, testo_errore(e));
  g.codice = regole::codice_rimasto(e.codice_fatale, e.codice_errore);
  g.posizione = e.posizione_errore;
  return g;
}

scenario compilato(const richiesta& r, const esito_compilazione& e) {
  scenario s;
  s.linea = r.linea;
  s.treno = r.treno;
  s.marcia = e.treno;
  const std::string n_tabella = formato::nome_tabella(r.linea, r.treno);
  const std::string n_percorso = formato::nome_percorso(r.linea, r.treno);
  decodifica_tabella(e.compilati.at(n_tabella), s.t, n_tabella);
  decodifica_percorso(e.compilati.at(n_percorso), s.celle, n_percorso);
  for (const std::string& n :
       {formato::nome_sorgente_linea(r.linea), formato::nome_sorgente_treno(r.linea, r.treno)}) {
    std::string testo;
    file::leggi_al_piu(file::percorso(r.cartella_sorgenti, n), kSorgenteMassimo, testo);
    for (std::string& c : crediti_sorgente(testo, r.utf8)) s.crediti.push_back(std::move(c));
  }
  return s;
}

}  // namespace

esito<std::vector<file_pacchetto>> componi(const richiesta& r, esito_compilazione& e) {
  opzioni_compilazione o;
  o.cartella_sorgenti = r.cartella_sorgenti;
  o.linea = r.linea;
  o.treno = r.treno;
  o.utf8 = r.utf8;
  o.uscita = uscita_compilati::memoria;
  e = compila_scenario(o);
  if (e.stato() != kUscitaOk) return guasto_compilazione(e);
  std::vector<file_pacchetto> files;
  try {
    const scenario s = compilato(r, e);
    // The compile's bytes, moved: a 1000 km line's plan is 20 MB.
    for (const std::string& n :
         {formato::nome_planimetria(r.linea), formato::nome_tabella(r.linea, r.treno),
          formato::nome_percorso(r.linea, r.treno)})
      files.push_back({n, std::move(e.compilati.at(n)), false});
    std::vector<std::string> (*const fai[])(const scenario&) = {righe_note, righe_rallentamenti,
                                                                righe_scheda};
    for (size_t i = 0; i < formato::kDocumenti.size(); ++i) {
      file_pacchetto f{formato::nome_documento(r.linea, r.treno, formato::kDocumenti[i]), "", true};
      if (!file::leggi(file::percorso(r.cartella_sorgenti, f.nome), f.dati)) {
        f.dati = come_documento(fai[i](s));
        f.dai_sorgenti = false;
      }
      files.push_back(std::move(f));
    }
  } catch (const file::errore_io& x) {
    return guasto_di(genere_guasto::io, x.what());
  }
  return files;
}

riuscita scrivi_cartella(const std::string& cartella, const std::vector<file_pacchetto>& files) {
  if (!file::crea_cartelle(cartella))
    return guasto_di(genere_guasto::io, "impossibile creare la cartella " + cartella);
  std::vector<file::file_da_scrivere> w;
  for (const file_pacchetto& f : files) w.push_back({file::percorso(cartella, f.nome), f.dati});
  try {
    file::sostituisci_insieme(file::disco_reale(), w);
  } catch (const file::errore_io& x) {
    return guasto_di(genere_guasto::io, x.what());
  }
  return fatto{};
}

riuscita scrivi_zip(const std::string& nome, const std::vector<file_pacchetto>& files) {
  try {
    file::disco_reale().sostituisci(nome, zip(files));
  } catch (const file::errore_io& x) {
    return guasto_di(genere_guasto::io, x.what());
  }
  return fatto{};
}

}  // namespace pacchetto
