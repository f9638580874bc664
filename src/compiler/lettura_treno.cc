#include "compiler/campi.h"
#include "driver/form1.h"
void Form1::leggi_treno(lettore_campi&) {}
