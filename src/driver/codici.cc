#include "driver/codici.h"

namespace codice {
namespace {

struct voce {
  int32_t codice;
  std::string_view testo;
};

constexpr voce kTabella[] = {
    {lunghezza_eccessiva, "lunghezza della linea oltre 1000000 m"},
    {progressive_non_multiple,
     "una posizione o progressiva dei punti chilometrici non è multipla di 50 m"},
    {ripetizione_inizio, "inizio della ripetizione segnali non multiplo di 50 m"},
    {ripetizione_fine, "fine della ripetizione segnali non multipla di 50 m"},
    {ripetizione_codici, "la ripetizione segnali non indica né 4 né 9 codici"},
    {cartello_occupato, "un cartello indicatore cade su una cella già occupata"},
    {abbattimento_occupato, "un punto di abbattimento cade su una cella occupata"},
    {stazione_posizione, "posizione di stazione non multipla di 50 m"},
    {stazione_lunghezza, "lunghezza di stazione non multipla di 100 m"},
    {troppe_stazioni, "troppe stazioni per lo spazio rimasto nella tabella della linea"},
    {regola_segnale,
     "nessuna cella libera prima di un segnale davanti a un avviso di rallentamento"},
    {regola_avvicinamento, "nessuna cella libera prima dell'inizio di un rallentamento"},
    {regola_interno,
     "nessuna cella libera per un punto di controllo nel rallentamento o prima del segnale "
     "successivo"},
    {oltre_le_celle, "una posizione cade oltre la fine del percorso"},
    {segnale_occupato, "un segnale cade su una cella occupata"},
    {avviso_occupato, "la cella di avviso di un rallentamento è occupata"},
    {inizio_occupato, "la cella di inizio di un rallentamento è occupata"},
    {fine_occupata, "la cella di fine di un rallentamento è occupata"},
    {avvicinamento_occupato,
     "una delle quattro celle prima dell'avviso di rallentamento è occupata"},
    {indicatori_occupati, "un indicatore di velocità massima cade su una cella occupata"},
    {stazioni_vicine, "una zona di stazione inizia meno di 350 m dopo la fine della precedente"},
    {fermata_iniziale, "il punto di fermata di una stazione cadrebbe nella cella 1 o prima"},
    {lettura_fallita,
     "lettura fallita: il file finisce dentro una voce, o un valore non entra nel suo campo"},
    {linea_mancante, "il file di descrizione della linea non esiste"},
    {generale_mancante, "il file di descrizione della linea non ha la sezione [generale]"},
    {curva_errata, "curva senza classe da 1 a 6, o planimetria oltre 1000000 m"},
    {timbri_occupati, "posti dei timbri di formato già occupati"},
    {codici_occupati, "posti dei codici di controllo già occupati"},
};

}  // namespace

std::string_view significato(int32_t c) {
  for (const auto& v : kTabella)
    if (v.codice == c) return v.testo;
  return {};
}

}  // namespace codice
