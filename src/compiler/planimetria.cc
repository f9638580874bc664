#include "driver/form1.h"
void Form1::crea_planimetria() {}
void Form1::inizia_planimetria() {}
bool Form1::curva(int64_t, int64_t, int, bool) { return true; }
void Form1::fine_planimetria() {}
