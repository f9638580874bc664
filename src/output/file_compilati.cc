// Stamps the format marks and check codes, then writes the compiled files.
#include <string>

#include "driver/codici.h"
#include "driver/form1.h"
#include "model/formato.h"
#include "output/immagini.h"
#include "platform/file.h"

void Form1::scrivi_file_compilati() {
  // Cell 1 carries two of the slots; without it there is nothing to stamp.
  if (celle_percorso.size() < 2) return;
  voce_linea& intestazione = tabella_linea[formato::kVoceLinea];
  cella_percorso& timbri = celle_percorso[formato::kCellaTimbri];

  if (intestazione.parametro_1 != 0 || timbri.valore_1 != 0)
    errore(std::to_string(codice::timbri_occupati));
  intestazione.parametro_1 = formato::kTimbroTabella;
  timbri.valore_1 = formato::kTimbroPercorso;

  if (intestazione.orario != 0 || timbri.valore_2 != 0)
    errore(std::to_string(codice::codici_occupati));
  intestazione.orario = codice_gara_st();
  timbri.valore_2 = static_cast<int16_t>(codice_gara_og());

  if (j != 0 && planimetria.punti() > 0) {
    if (flusso && flusso->completo(planimetria)) {
      flusso->finisci(planimetria);
    } else {
      // A short plan, or one the read left traced only in part, whose layout
      // is known only now.
      planimetria_dal_flusso();
      std::unique_ptr<file::scrittura> f =
          disco->sostituzione(nel_programma(formato::nome_planimetria(nome_linea)));
      f->riserva(2 * immagini::byte_colonna(planimetria));
      planimetria_a_pezzi(planimetria, size_t{1} << 20,
                          [&](uint64_t o, std::string_view d) { f->scrivi_a(o, d); });
      f->chiudi();
    }
    flusso.reset();
    planimetria.libera();  // the largest record; not needed any more
  }
  disco->sostituisci(nel_programma(formato::nome_tabella(nome_linea, numero_treno)),
                     immagine_tabella(tabella_linea));
  disco->sostituisci(nel_programma(formato::nome_percorso(nome_linea, numero_treno)),
                     immagine_percorso(celle_percorso));
}
