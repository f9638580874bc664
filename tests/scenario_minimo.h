// A small run object with cells and a plan, ready for the compiled-file writer.
#pragma once
#include <string>

#include "aiuti.h"
#include "driver/form1.h"

struct scenario_minimo {
  cartella_temporanea dir;
  Form1 f;
  scenario_minimo() {
    f.cartella = dir.percorso;
    f.nome_linea = "Linea";
    f.numero_treno = "12";
    f.tabella_linea[85].nome = "Linea";
    f.tabella_linea[86].nome = "12";
    f.celle_percorso.resize(150);
    f.planimetria.crea(3);
    f.planimetria.genere = {genere_punto::intero, genere_punto::doppio, genere_punto::vuoto};
    f.planimetria.x = {3, 0.5, 0};
    f.planimetria.y = {-4, 2.25, 0};
    f.j = 1;
  }
  std::string piano() const { return dir / "Linea_linea.dat"; }
  std::string tabella_file() const { return dir / "Linea_12.sim"; }
  std::string percorso() const { return dir / "Linea_12.dat"; }
};

// A long plan with a few short elements inside, so that the second column's
// place is not 10 bytes a point.
inline void pianta_lunga(planimetria_linea& p) {
  p.crea(300000);
  for (size_t m = 0; m < p.punti(); ++m) {
    const bool intero = m % 997 == 0;  // 16-bit values: kept whole
    p.genere[m] = intero ? genere_punto::intero : genere_punto::doppio;
    p.x[m] = intero ? static_cast<double>(m / 997) : static_cast<double>(m) * 0.5;
    p.y[m] = -p.x[m];
  }
  p.genere[p.punti() - 1] = genere_punto::vuoto;
}
