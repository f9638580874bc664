#include "driver/form1.h"
void Form1::dati_treno() {}
