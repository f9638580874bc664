// memorizza_dati: reads the line description, then the train description,
// under one failure handler (code 25).
#include "compiler/campi.h"
#include "driver/codici.h"
#include "driver/form1.h"
#include "model/formato.h"
#include "platform/file.h"
#include "platform/testo.h"

namespace {

// Keeps note of where the reader was when the read ended, however it ended.
struct segna_posizione {
  posizione_sorgente& sorgente;
  const std::string nome;
  const lettore_campi& f;
  ~segna_posizione() {
    if (f.riga() == 0) return;  // nothing read from this file
    sorgente.file = nome;
    sorgente.riga = f.riga();
    sorgente.colonna = f.colonna();
    sorgente.testo = std::string(f.testo_riga());
  }
};

// A source that cannot be read leaves the reader at the file as a whole.
lettore_campi apri(file::disco& d, const std::string& nome, posizione_sorgente& sorgente) {
  std::string dati;
  if (!d.leggi(nome, dati)) {
    sorgente = posizione_sorgente{nome, 0, 0, ""};
    throw errore_lettura{"file mancante o non leggibile"};
  }
  return lettore_campi(std::move(dati));
}

}  // namespace

void Form1::memorizza_dati() {
  lettura = stato_lettura{};
  sorgente = posizione_sorgente{};
  origine = origine_codice{};
  motivo_lettura = nullptr;
  try {
    tabella_linea[formato::kVoceLinea].nome = testo::a_1252(nome_linea);
    tabella_linea[formato::kVoceRipetizione].nome = testo::a_1252(numero_treno);

    if (!disco->esiste(file_linea())) {
      codice_errore = codice::linea_mancante;
      return;
    }
    {
      lettore_campi linea = apri(*disco, file_linea(), sorgente);
      segna_posizione segno{sorgente, file_linea(), linea};
      if (leggi_linea(linea) == esito_voce::fine_lettura) return;
    }
    {
      lettore_campi treno = apri(*disco, file_treno(), sorgente);
      segna_posizione segno{sorgente, file_treno(), treno};
      leggi_treno(treno);
    }
  } catch (const errore_lettura& e) {
    // Whatever the explicit checks did not catch: drop both sources, code 25.
    disco->cancella(file_linea());
    disco->cancella(file_treno());
    codice_errore = codice::lettura_fallita;
    motivo_lettura = e.motivo;
  }
}
