#include "driver/form1.h"
void Form1::dati_note() {}
void Form1::dati_rallentamenti() {}
void Form1::dati_scheda() {}
