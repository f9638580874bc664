// compattatore: writes the built-in scenario's text files into the program
// folder, compiles them and writes the compiled files beside them.
#include <cstdio>

#include "driver/codici.h"
#include "driver/form1.h"
#include "platform/cartella.h"
#include "platform/file.h"
#include "platform/processo.h"

int main() {
  processo::prepara();
  Form1 form;
  form.cartella = cartella_programma();
  try {
    form.Form_Load();
  } catch (const fine_programma& fine) {
    return fine.stato;
  } catch (const file::errore_io& e) {
    form.schermo.guasto(std::string("compattatore: ") + e.what());
    return 1;
  }
  if (form.codice_errore != codice::nessuno) {
    std::fprintf(stderr, "compattatore: codice errore %d, posizione %d m: %.*s\n",
                 form.codice_errore, form.posizione_errore,
                 static_cast<int>(codice::significato(form.codice_errore).size()),
                 codice::significato(form.codice_errore).data());
    return 1;
  }
  return 0;
}
