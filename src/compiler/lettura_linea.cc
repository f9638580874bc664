#include "compiler/campi.h"
#include "driver/form1.h"
void Form1::leggi_linea(lettore_campi&, bool&) {}
