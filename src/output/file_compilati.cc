// Stamps the format marks and check codes, then writes the compiled files.
#include <exception>
#include <string>
#include <system_error>
#include <thread>

#include "driver/codici.h"
#include "driver/form1.h"
#include "output/immagini.h"
#include "platform/file.h"

namespace {

constexpr int16_t kTimbroTabella = 610;
constexpr int16_t kTimbroPercorso = 5121;

// Below this many points a second thread costs more than it saves.
constexpr size_t kPuntiPerDueFili = size_t{1} << 17;

void scrivi_colonna(file::sostituzione& f, const planimetria_linea& p, int colonna) {
  colonna_a_pezzi(p, colonna, 1 << 18, [&](uint64_t o, std::string_view d) { f.scrivi_a(o, d); });
}

// A long plan has its two columns encoded and written at once, each at its
// own place in the file: the second on a thread of its own. A failure on
// either side is thrown here once both are done, so the temporary file is
// removed only when nothing writes to it any more.
void scrivi_planimetria(file::sostituzione& f, const planimetria_linea& p) {
  std::thread seconda;
  std::exception_ptr fallita;
  if (p.punti() >= kPuntiPerDueFili) {
    try {
      seconda = std::thread([&] {
        try {
          scrivi_colonna(f, p, 1);
        } catch (...) {
          fallita = std::current_exception();
        }
      });
    } catch (const std::system_error&) {
      // no thread to be had: the second column follows the first
    }
  }
  try {
    scrivi_colonna(f, p, 0);
  } catch (...) {
    if (seconda.joinable()) seconda.join();
    throw;
  }
  if (seconda.joinable()) {
    seconda.join();
    if (fallita) std::rethrow_exception(fallita);
  } else {
    scrivi_colonna(f, p, 1);
  }
}

}  // namespace

void Form1::scrivi_file_compilati() {
  // Cell 1 carries two of the slots; without it there is nothing to stamp.
  if (celle_percorso.size() < 2) return;
  voce_linea& intestazione = tabella_linea[85];
  cella_percorso& timbri = celle_percorso[1];

  if (intestazione.parametro_1 != 0 || timbri.valore_1 != 0)
    errore(std::to_string(codice::timbri_occupati));
  intestazione.parametro_1 = kTimbroTabella;
  timbri.valore_1 = kTimbroPercorso;

  if (intestazione.orario != 0 || timbri.valore_2 != 0)
    errore(std::to_string(codice::codici_occupati));
  intestazione.orario = codice_gara_st();
  timbri.valore_2 = static_cast<int16_t>(codice_gara_og());

  if (j != 0 && planimetria.punti() > 0) {
    file::sostituzione f(nome_file("_linea.dat"));
    scrivi_planimetria(f, planimetria);
    f.chiudi();
    planimetria.libera();  // the largest record; not needed any more
  }
  file::sostituisci(nome_file("_" + numero_treno + ".sim"), immagine_tabella(tabella_linea));
  file::sostituisci(nome_file("_" + numero_treno + ".dat"), immagine_percorso(celle_percorso));
}
