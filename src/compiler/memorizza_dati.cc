// memorizza_dati: reads the line description, then the train description,
// under one failure handler (code 25).
#include "compiler/campi.h"
#include "driver/codici.h"
#include "driver/form1.h"
#include "model/formato.h"
#include "platform/file.h"
#include "platform/testo.h"

namespace {

// Keeps note of where the reader was when the read ended, however it ended,
// and of the key of the entry it was in.
struct segna_posizione {
  Form1& t;
  const std::string nome;
  const lettore_campi& f;
  ~segna_posizione() {
    if (f.riga() == 0) return;  // nothing read from this file
    t.sorgente = posizione_campo(f, nome);
    t.voce_interrotta = posizione_campo(f, nome, t.lettura.chiave);
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
  voce_interrotta = posizione_sorgente{};
  tipo_occupante = 0;
  occupante = posizione_sorgente{};
  occupanti.clear();
  try {
    tabella_linea[formato::kVoceLinea].nome = testo::a_1252(nome_linea);
    tabella_linea[formato::kVoceRipetizione].nome = testo::a_1252(numero_treno);

    if (!disco->esiste(file_linea())) {
      codice_errore = codice::linea_mancante;
      return;
    }
    {
      lettore_campi linea = apri(*disco, file_linea(), sorgente);
      segna_posizione segno{*this, file_linea(), linea};
      if (leggi_linea(linea) == esito_voce::fine_lettura) return;
    }
    {
      lettore_campi treno = apri(*disco, file_treno(), sorgente);
      lettura.chiave = segno_campo{};  // the line's keys stand in the other file
      segna_posizione segno{*this, file_treno(), treno};
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

void Form1::occupa(int64_t cella) {
  if (!con_occupanti || cella < 0) return;
  if (occupanti.size() < celle_percorso.size()) occupanti.resize(celle_percorso.size());
  if (static_cast<size_t>(cella) < occupanti.size())
    occupanti[static_cast<size_t>(cella)] = {lettura.chiave.riga, lettura.treno};
}

void Form1::occupata(int64_t cella) {
  if (cella < 0 || static_cast<size_t>(cella) >= celle_percorso.size()) return;
  const auto c = static_cast<size_t>(cella);
  tipo_occupante = celle_percorso[c].tipo;
  if (c < occupanti.size() && occupanti[c].riga != 0)
    occupante = {occupanti[c].treno ? file_treno() : file_linea(), occupanti[c].riga, 0, ""};
}

void Form1::origine_al_campo(const lettore_campi& f, const segno_campo& s,
                             const std::string& file) {
  origine.codice = codice_errore;
  origine.posizione = posizione_errore;
  origine.dove = posizione_campo(f, file, s);
}
