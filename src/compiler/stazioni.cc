#include "compiler/campi.h"
#include "driver/form1.h"
void Form1::stazione(lettore_campi&, bool&) {}
