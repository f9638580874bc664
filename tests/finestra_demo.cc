// Shows the run's window, then with the argument "errore" raises error 1250 the
// way the run does. The window tests drive it.
#include <string>

#include "driver/form1.h"

int main(int argc, char** argv) {
  Form1 form;
  form.schermo.mostra(form.Label1);
  if (argc > 1 && std::string(argv[1]) == "errore") {
    try {
      form.errore("1250");
    } catch (const fine_programma& fine) {
      return fine.stato;
    }
  }
  form.schermo.chiudi();
  return 0;
}
