// The built-in train description: the train half of the scenario source.
#include <iterator>
#include <string>
#include <vector>

#include "driver/form1.h"
#include "writers/righe.h"

namespace {

// The clock line keeps its trailing space.
const char* const kTreno[] = {
    "[generale]",
    "numero vetture,    6",
    "percentuale massa frenata,    110",
    "sabbia,    30",
    "orologio,    14              24            50 ",
    "[aderenze]",
    "aderenza,       0,    90",
    "[vel_limite]",
    "velocita,   0,    30",
    "velocita,       0,    65",
    "velocita,     900,   105",
    "velocita,    1950,    60",
    "velocita,    3150,    85",
    "velocita,    7900,   140",
    "velocita,   11900,   105",
    "velocita,   14500,   140",
    "[stazioni]",
    // clang-format off
    "stazione,       0,  8,  500,  1, 1, 0,  4,1,0,  2,1,1,    1,  14,25, 0, FERZIA PORTA SOLVENTRA",
    // clang-format on
    "stazione,    2050, 25,  200,  0, 0, 0,  0,0,0,  0,0,0,    0,   0, 0, 0, BIVIO ROVENELLO",
    "stazione,    3500, 25,  200,  0, 0, 0,  0,0,0,  0,0,0,    0,   0, 0, 0, BIVIO SCADO",
    "stazione,    5750,  4,  700,  1, 1, 0,  4,1,0,  2,1,1,   80,  14,31, 7, FERZIA VELSANTE",
    "stazione,   14250, 12,  300,  0, 0, 0,  1,1,0,  4,1,1,   60,  14,39,51, GASPIELLO-FONTIA",
    "stazione,   17900, 28,  400,  0, 0, 0,  0,0,0,  0,0,0,   55,  14,45, 0, VESSIRE",
    "stazione,   21600, 12,  300,  0, 0, 0,  1,1,0,  4,1,1,   40,  14,50,51, GRUZO",
    "stazione,   26450, 26,  400,  0, 0, 0,  0,0,0,  0,0,0,   45,  14,56,30, CORVELLA",
    "stazione,   29000, 12,  400,  0, 0, 0,  1,1,0,  4,1,1,   43,  15, 1,15, PELSANO D'OSTA",
    "stazione,   33550, 25,  200,  0, 0, 0,  0,0,0,  0,0,0,    0,   0, 0, 0, Bivio Tascolo",
    "stazione,   35400,  4,  400,  1, 0, 0,  1,1,0,  2,1,1,    0,  15,10, 0, CALVORANO",
    "[rallentamenti]",
    "[segnali]",
    "segnale,     850,   2, 5, 6,  1, 0,    0,  0,0,0, 0",
    "segnale,    1950,   2, 2, 5,  6, 1,    0,  0,0,0, 0",
    "segnale,    3000,   2, 2, 3,  4, 1,    0,  0,0,0, 0",
    "segnale,    4700,   2, 2, 3,  1, 0,    0,  0,0,0, 0",
    "segnale,    7600,   2, 4, 0,  0, 0,    0,  0,0,0, 0",
    "segnale,    9100,   2, 4, 0,  0, 0,    0,  0,0,0, 0",
    "segnale,   10300,   2, 4, 0,  0, 0,    0,  0,0,0, 0",
    "segnale,   11400,   2, 4, 1,  0, 0,    2,  2,0,0, 0",
    "segnale,   12600,   2, 3, 1,  1, 0,    2,  2,0,0, 0",
    "segnale,   15800,   2, 4, 0,  0, 0,    2,  1,0,0, 0",
    "segnale,   17250,   2, 4, 0,  0, 0,    0,  0,0,0, 0",
    "segnale,   18850,   2, 4, 1,  0, 0,    1,  3,0,0, 0",
    "segnale,   20200,   2, 3, 1,  0, 0,    2,  2,0,0, 0",
    "segnale,   23250,   2, 4, 0,  0, 0,    1,  1,0,0, 0",
    "segnale,   24750,   2, 4, 0,  0, 0,    0,  0,0,0, 0",
    "segnale,   26250,   2, 4, 1,  0, 0,    1,  3,0,0, 0",
    "segnale,   27550,   2, 3, 1,  0, 0,    2,  2,0,0, 0",
    "segnale,   30700,   2, 4, 0,  0, 0,    0,  0,0,0, 0",
    "segnale,   32050,   2, 5, 1,  0, 0,    0,  0,0,0, 0",
    "segnale,   33300,   2, 3, 4,  0, 0,    0,  0,0,0, 0",
    "segnale,   34400,   2, 2, 3,  0, 0,    0,  0,0,0, 0",
    "[codici]",
    "[fine]",
};
static_assert(std::size(kTreno) == 53);

}  // namespace

void Form1::dati_treno() {
  scrivi_righe(file_treno(), tabella_righe(kTreno));
}
