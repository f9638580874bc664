#include "driver/form1.h"
void Form1::progressive_ordina() {}
void Form1::memo_montagna(int32_t&, int32_t&, int32_t&) {}
void Form1::memo_indicatori_v_max(int32_t, int32_t&, int32_t&, int32_t&, int32_t&, int32_t&,
                                  int32_t&, int32_t&, int32_t&) {}
