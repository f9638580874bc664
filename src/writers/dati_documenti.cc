// The driver's side documents: notes, slowdown list and timetable sheet.
// Nothing reads them back.
#include <iterator>
#include <string>
#include <vector>

#include "driver/form1.h"
#include "model/formato.h"
#include "writers/documenti.h"
#include "writers/righe.h"

namespace {

// One source line per file line; the wrapped paragraphs break where the file does.
// clang-format off
const char* const kNote[] = {
    "Autori dello scenario:  progetto compattatore (autori@example.invalid, scenari@example.invalid)",
    "                  gruppo linee compattatore (linee@example.invalid)",
    "                  gruppo treni compattatore (treni@example.invalid)",
    "",
    "N.ro scenario: 4",
    "",
    "",
    "***NOTE SUL TRENO 24617***",
    "Il treno regionale 24617 circola con lo stesso percorso negli orari ufficiali dell'impresa ferroviaria per un",
    "intero periodo di validità dell'orario; come nella realtà, parte da Ferzia Porta Solventra e arriva a Calvorano.",
    "La composizione è di sei vetture, da immaginare come carrozze a due piani, per una massa complessiva del treno di",
    "300 tonnellate, esclusa la locomotiva.",
    "Il treno parte da Ferzia Porta Solventra con sette minuti di ritardo, che si può recuperare lungo il percorso: la",
    "marcia comprende infatti 12,5 minuti di tempo di recupero obbligatorio. Il treno ferma in tutte le stazioni e in",
    "nessun tratto è richiesto un rallentamento, perciò la corsa risulta facile.",
    "Arrivare a Calvorano in anticipo è possibile.",
    "Tra Bivio Rovenello e Bivio Scado occorre inoltre mantenere una velocità costante di 60 km/h, come impone la realtà.",
    "CONDIZIONI DI ADERENZA: Buone",
    "N.RO RALLENTAMENTI: 0",
    "",
    "",
    "***NOTE SULLA LINEA FERZIA-CALVORANO***",
    "La planimetria della linea corrisponde per il 90 per cento a quella reale: la guastano soltanto alcuni errori nella posizione delle curve.",
    "Le posizioni delle stazioni corrispondono a quelle reali, e così pure il profilo altimetrico.",
    "Il segnalamento è conforme alle norme di segnalamento pubblicate dall'impresa ferroviaria.",
    // One line, however long.
    "Nella realtà il primo segnale che si incontra dopo il segnale di partenza di Ferzia Porta "
    "Solventra si trova a 660 metri di distanza; per esigenze del simulatore è stato collocato "
    "al punto chilometrico 0+850. Sempre nella realtà la stazione di partenza si trova già in "
    "galleria; per esigenze grafiche, invece, la galleria comincia qualche metro dopo, oltre "
    "la fine del marciapiede. La planimetria del tratto compreso tra Ferzia Porta Solventra e "
    "Ferzia Velsante non è molto precisa, dato che mancava materiale di riferimento "
    "sufficiente per ricostruirla con esattezza.",
};
// clang-format on
static_assert(std::size(kNote) == 26);

const char* const kRallentamenti[] = {
    "",
    "",
    "",
    "          NESSUN RALLENTAMENTO",
};
static_assert(std::size(kRallentamenti) == 4);

// A fixed-width drawing: every line keeps its own length and blanks.
const char* const kScheda[] = {
    "",
    "",
    "  ___________________                                               ______________",
    " |                   |                    SCHEDA                   |              |",
    " |   TRENO n.24617   |                   da: FERZIA P.S.           |    V140 B    |",
    " |___________________|                    a: CALVORANO             |     110%     |",
    "                                                                   |______________|",
    "  ___________________                ___________________",
    " |  CLASSIFICAZIONE  |              |  MASSA BLOCCATA   |       ",
    " |         R         |              |      300T         |",
    " |___________________|              |___________________|",
    "",
    "  ________________________________________________________________________________",
    " | Vel.| Vel.| Progr Km |  No |   Localita' di  Servizio   |     Orario     | Rec |",
    " | Lim.|Marc.|          |  Rs |                            |                |     |",
    " |_____|_____|__________|_____|____________________________|________________|_____|",
    " |  30 |  30 |    0.000 |  30 | FERZIA P.SOL.              |          14.18 |     |",
    " | 105 |  60 |          | 105 |     C.C.Km.0,900           |                |     |",
    " |  60 |     |    2.050 |  60 | BIVIO ROVENELLO            |      14.21     |     |",
    " |  85 |  80 |    3.250 |  85 | BIVIO SCADO                |      14.24     | 1.0 |",
    " |     |     |    5.750 |     |                            |                |     |",
    " |     |     |          |     |                            |                |     |",
    " |     |     |    3.250 |     | FERZIA VELSANTE            | 14.28    14.30 | 1.0 |",
    " |     |     |    3.750 |     |                            |                |     |",
    " |     |     |          |     |                            |                |     |",
    " | 140 |  90 |          | 120 |     Cippo Km.6,000         |                |     |",
    " | 105 |     |          | 105 |     Cippo Km.10,000        |                |     |",
    " | 140 |     |   12.250 | 120 | GASPIELLO F.               | 14.39    14.40 | 3.0 |",
    " |     |  85 |   15.900 |     | Vessire                    | 14.44+   14.45 | 1.0 |",
    " |     |     |   19.600 |     | GRUZO                      | 14.50    14.51 | 1.0 |",
    " |     |  90 |   24.450 |     | Corvella                   | 14.56+   14.57 | 1.0 |",
    " |     |     |   27.000 |     | PELSANO D'OSTA             | 15.01+   15.02 | 1.5 |",
    " |     |     |   31.550 |     | BIVIO TASCOLO              |      15.05     | 0.5 |",
    " |     |     |   33.500 |  65 | CALVORANO                  | 15.10          | 2.5 |",
    " |_____|_____|__________|_____|____________________________|________________|_____|",
    "",
};
static_assert(std::size(kScheda) == 36);
static_assert(std::size(kScheda) == documenti::kPrimaRigaOrario + documenti::kRigheOrario + 2);

}  // namespace

namespace documenti {

std::span<const char* const> note() {
  return kNote;
}
std::span<const char* const> rallentamenti() {
  return kRallentamenti;
}
std::span<const char* const> scheda() {
  return kScheda;
}

}  // namespace documenti

void Form1::dati_note() {
  scrivi_righe(
      nel_programma(formato::nome_documento(nome_linea, numero_treno, formato::kDocumenti[0])),
      tabella_righe(kNote));
}

void Form1::dati_rallentamenti() {
  scrivi_righe(
      nel_programma(formato::nome_documento(nome_linea, numero_treno, formato::kDocumenti[1])),
      tabella_righe(kRallentamenti));
}

void Form1::dati_scheda() {
  scrivi_righe(
      nel_programma(formato::nome_documento(nome_linea, numero_treno, formato::kDocumenti[2])),
      tabella_righe(kScheda));
}
