#include "tool/compila.h"

#include <stdlib.h>

#include <filesystem>
#include <system_error>

#include "driver/codici.h"
#include "driver/form1.h"
#include "platform/file.h"
#include "tool/comandi.h"

namespace fs = std::filesystem;

namespace {

// A temporary folder inside the output folder, so the compiled files reach
// their place by a rename on the same file system.
struct cartella_privata {
  std::string percorso;
  explicit cartella_privata(const std::string& dentro) {
    std::string modello = dentro + "/.scenario-XXXXXX";
    if (!mkdtemp(modello.data()))
      throw file::errore_scrittura("impossibile creare una cartella temporanea in " + dentro);
    percorso = modello;
  }
  ~cartella_privata() {
    std::error_code ec;
    fs::remove_all(percorso, ec);
  }
};

// A reader's file name in the private folder, as the author knows it.
void nome_autore(posizione_sorgente& p, const std::string& cartella) {
  if (p.file.empty()) return;
  p.file = (fs::path(cartella) / fs::path(p.file).filename()).string();
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
    std::error_code ec;
    if (o.conserva) {
      fs::create_directories(uscita, ec);
    } else {
      uscita = fs::temp_directory_path(ec).string();
      if (ec) throw file::errore_scrittura("nessuna cartella temporanea: " + ec.message());
    }
    cartella_privata tmp(uscita);

    Form1 f;
    f.con_finestra = false;
    f.cartella = tmp.percorso;
    f.nome_linea = o.linea;
    f.numero_treno = o.treno;
    const std::string nome_linea_txt = o.linea + "_linea.txt";
    const std::string nome_treno_txt = o.linea + "_" + o.treno + "-.txt";
    copia_se_esiste(o.cartella_sorgenti + "/" + nome_linea_txt,
                    tmp.percorso + "/" + nome_linea_txt);
    copia_se_esiste(o.cartella_sorgenti + "/" + nome_treno_txt,
                    tmp.percorso + "/" + nome_treno_txt);

    esito.file_linea = (fs::path(o.cartella_sorgenti) / nome_linea_txt).string();
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
      std::string da = tmp.percorso + "/" + nome;
      if (!file::esiste(da)) continue;
      std::string a = uscita + "/" + nome;
      fs::rename(da, a, ec);
      if (ec) throw file::errore_scrittura("impossibile scrivere " + a + ": " + ec.message());
      esito.files.push_back(nome);
    }
  } catch (const file::errore_scrittura& e) {
    esito.errore_io = e.what();
  }
  return esito;
}
