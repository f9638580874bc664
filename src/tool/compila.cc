#include "tool/compila.h"

#include "driver/codici.h"
#include "driver/form1.h"
#include "platform/file.h"
#include "tool/comandi.h"

namespace {

// A reader's file name in the private folder, as the author knows it.
void nome_autore(posizione_sorgente& p, const std::string& cartella) {
  if (p.file.empty()) return;
  auto fine = p.file.rfind(file::separatore);
  p.file = file::percorso(cartella, fine == std::string::npos ? p.file : p.file.substr(fine + 1));
}

void copia_se_esiste(const std::string& da, const std::string& a) {
  std::string dati;
  if (!file::esiste(da)) return;  // the compile reports the missing source
  if (!file::leggi(da, dati)) throw file::errore_scrittura("impossibile leggere " + da);
  file::sostituisci(a, dati);
}

}  // namespace

int esito_compilazione::stato() const {
  if (codice_fatale != 0 || !errore_io.empty()) return kUscitaFallita;
  return codice_errore == 0 ? kUscitaOk : kUscitaCodice;
}

esito_compilazione compila_scenario(const opzioni_compilazione& o) {
  esito_compilazione esito;
  try {
    std::string uscita = o.cartella_uscita.empty() ? o.cartella_sorgenti : o.cartella_uscita;
    if (o.conserva)
      file::crea_cartelle(uscita);
    else
      uscita = file::cartella_temporanea_sistema();
    // Inside the output folder, so the compiled files reach their place by a
    // rename on the same file system.
    file::cartella_privata tmp(uscita);

    Form1 f;
    f.con_finestra = false;
    f.cartella = tmp.percorso;
    f.nome_linea = o.linea;
    f.numero_treno = o.treno;
    const std::string nome_linea_txt = o.linea + "_linea.txt";
    const std::string nome_treno_txt = o.linea + "_" + o.treno + "-.txt";
    copia_se_esiste(file::percorso(o.cartella_sorgenti, nome_linea_txt),
                    file::percorso(tmp.percorso, nome_linea_txt));
    copia_se_esiste(file::percorso(o.cartella_sorgenti, nome_treno_txt),
                    file::percorso(tmp.percorso, nome_treno_txt));

    esito.file_linea = file::percorso(o.cartella_sorgenti, nome_linea_txt);
    if (o.avvisi) f.avvisi = &esito.avvisi;
    int32_t j = o.planimetria ? 1 : 0;
    try {
      f.memorizza_percorso(j);
    } catch (const fine_programma& fine) {
      esito.codice_fatale = fine.codice;
    }
    esito.codice_errore = f.codice_errore;
    esito.posizione_errore = f.posizione_errore;
    esito.sorgente = f.sorgente;
    esito.origine = f.origine;
    if (f.motivo_lettura) esito.motivo = f.motivo_lettura;
    // Name the author's files, not the private copies.
    nome_autore(esito.sorgente, o.cartella_sorgenti);
    nome_autore(esito.origine.dove, o.cartella_sorgenti);
    for (avviso& a : esito.avvisi) nome_autore(a.dove, o.cartella_sorgenti);
    if (esito.codice_fatale != 0 || !o.conserva) return esito;

    const std::string compilati[] = {o.linea + "_linea.dat", o.linea + "_" + o.treno + ".sim",
                                     o.linea + "_" + o.treno + ".dat"};
    for (const auto& nome : compilati) {
      std::string da = file::percorso(tmp.percorso, nome);
      if (!file::esiste(da)) continue;
      file::rinomina(da, file::percorso(uscita, nome));
      esito.files.push_back(nome);
    }
  } catch (const file::errore_scrittura& e) {
    esito.errore_io = e.what();
  }
  return esito;
}
