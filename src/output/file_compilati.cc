#include "driver/form1.h"
void Form1::scrivi_file_compilati() {}
