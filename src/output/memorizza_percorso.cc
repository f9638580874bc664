#include "driver/form1.h"
void Form1::memorizza_percorso(int32_t& j) { this->j = j; codice_errore = 0; memorizza_dati(); }
void Form1::rifinisci_percorso() {}
