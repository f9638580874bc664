#include "driver/form1.h"

#include "driver/predefiniti.h"
#include "model/formato.h"
#include "platform/file.h"

void Form1::Form_Load() {
  nome_linea = kNomeLineaPredefinito;
  numero_treno = kNumeroTrenoPredefinito;
  schermo.mostra(Label1);

  dati_linea();
  dati_treno();
  dati_note();
  dati_rallentamenti();
  dati_scheda();

  int32_t piano = 1;
  memorizza_percorso(piano);

  schermo.chiudi();
}

void Form1::errore(const std::string& a) {
  if (con_finestra) {
    schermo.messaggio(" Errore n. " + a);
    schermo.chiudi();
  }
  throw fine_programma{1, static_cast<int32_t>(std::stol(a))};
}

std::string Form1::nel_programma(const std::string& nome) const {
  return file::percorso(cartella, nome);
}
std::string Form1::file_linea() const {
  return nel_programma(formato::nome_sorgente_linea(nome_linea));
}
std::string Form1::file_treno() const {
  return nel_programma(formato::nome_sorgente_treno(nome_linea, numero_treno));
}
