#include "model/formato.h"

#include <vector>

#include "platform/testo.h"

namespace formato {

const std::array<campo<voce_linea>, 16> kCampiVoce = {{
    {"tipo", &voce_linea::tipo, "", "tipo della stazione"},
    {"inizio", &voce_linea::inizio, "m",
     "inizio della zona (stazione) o posizione (punto di "
     "riferimento, massa frenata %, sfondo uno, zona di "
     "ripetizione)"},
    {"fine", &voce_linea::fine, "m",
     "fine della zona (stazione), progressiva (punto di "
     "riferimento), lunghezza del percorso, sfondo tre, fine "
     "della zona di ripetizione"},
    {"posizione", &voce_linea::posizione, "m",
     "posizione della stazione, correzione (punto di "
     "riferimento), vetture, sfondo due, codici di "
     "ripetizione"},
    {"opzione_1", &voce_linea::opzione_1, "", "opzione della stazione"},
    {"nome", &voce_linea::nome, "",
     "nome della stazione, testo del cartello, nome della linea "
     "(voce 85) o numero del treno (voce 86)"},
    {"parametro_1", &voce_linea::parametro_1, "",
     "parametro della stazione; timbro 610 (voce "
     "85); sabbia (voce 86)"},
    {"parametro_2", &voce_linea::parametro_2, "", "parametro della stazione"},
    {"parametro_4", &voce_linea::parametro_4, "",
     "parametro della stazione; ore dell'orologio "
     "(voce 86)"},
    {"parametro_5", &voce_linea::parametro_5, "", "parametro della stazione; minuti (voce 86)"},
    {"parametro_6", &voce_linea::parametro_6, "", "parametro della stazione; secondi (voce 86)"},
    {"parametro_3", &voce_linea::parametro_3, "", "parametro della stazione"},
    {"parametro_7", &voce_linea::parametro_7, "", "parametro della stazione"},
    {"prolunga_fine", &voce_linea::prolunga_fine, "", "la zona finisce 50 m più in là"},
    {"opzione_2", &voce_linea::opzione_2, "", "opzione della stazione"},
    {"orario", &voce_linea::orario, "s",
     "orario della stazione in secondi dalla mezzanotte; "
     "codice st (voce 85)"},
}};

const std::array<campo<cella_percorso>, 11> kCampiCella = {{
    {"tipo", &cella_percorso::tipo, "", "oggetto nella cella (0 nessuno)"},
    {"valore_1", &cella_percorso::valore_1, "", "primo valore dell'oggetto"},
    {"valore_2", &cella_percorso::valore_2, "", "secondo valore dell'oggetto"},
    {"valore_3", &cella_percorso::valore_3, "", "terzo valore dell'oggetto"},
    {"valore_4", &cella_percorso::valore_4, "", "quarto valore dell'oggetto"},
    {"tempo", &cella_percorso::tempo, "", "tempo del segnale"},
    {"marcatore", &cella_percorso::marcatore, "",
     "marcatore di avvicinamento (segnali, "
     "stazioni)"},
    {"montagna", &cella_percorso::montagna, "",
     "tipo della montagna sulla cella (0 linea "
     "aperta)"},
    {"velocita_limite", &cella_percorso::velocita_limite, "km/h / 5", "velocità limite"},
    {"pendenza", &cella_percorso::pendenza, "per mille + 100", "pendenza"},
    {"aderenza", &cella_percorso::aderenza, "", "aderenza"},
}};

std::string nome_sorgente_linea(std::string_view linea) {
  return std::string(linea) + "_linea.txt";
}
std::string nome_sorgente_treno(std::string_view linea, std::string_view treno) {
  return std::string(linea) + "_" + std::string(treno) + "-.txt";
}
std::string nome_planimetria(std::string_view linea) {
  return std::string(linea) + "_linea.dat";
}
std::string nome_tabella(std::string_view linea, std::string_view treno) {
  return std::string(linea) + "_" + std::string(treno) + ".sim";
}
std::string nome_percorso(std::string_view linea, std::string_view treno) {
  return std::string(linea) + "_" + std::string(treno) + ".dat";
}
std::string nome_documento(std::string_view linea, std::string_view treno, const char* coda) {
  return std::string(linea) + "_" + std::string(treno) + "_" + coda;
}

namespace {

// Ranges and odd values that many entries share.
constexpr const char* kPosizione = "da 0 all'ultima posizione delle celle (L + 6900 m)";
constexpr const char* k32 = "intero a 32 bit";
constexpr const char* k16 = "da -32768 a 32767";
constexpr const char* k8 = "da 0 a 255";
constexpr const char* kFuori = "fuori: errore 25";
constexpr const char* kTronca16 = "fuori da -32768..32767 si tronca a 16 bit (check lo segnala)";

// --- the line ---

constexpr valore_voce kLunghezza[] = {
    {"lunghezza", "m",
     "lunghezza L della linea: crea le celle da 50 m fino a L + 7000 m e la planimetria, un "
     "punto per metro",
     "da 0 a 1000000",
     "oltre 1000000: errore 1; negativa: errore 25; una seconda voce scarta le celle della "
     "prima (check lo segnala)"}};
constexpr valore_voce kProgressiva[] = {
    {"posizione", "m", "posizione del punto lungo la linea", "multipla di 50",
     "non multipla di 50: errore 2, alla fine della lettura del treno"},
    {"progressiva", "m", "chilometrica della linea in quel punto, anche negativa", "multipla di 50",
     "non multipla di 50: errore 2, alla fine della lettura del treno"},
    {"correzione", "", "1: la progressiva cresce di 100 m", "0 o 1",
     "ogni altro valore non aggiunge nulla e resta com'è nella tabella (check lo segnala)"}};
constexpr valore_voce kSfondo[] = {
    {"sfondo", "", "interruttore dello scenario, memorizzato com'è nella voce 85", k32, ""}};
constexpr valore_voce kRipetizione[] = {
    {"inizio", "m", "inizio della zona di ripetizione in cabina", "multiplo di 50",
     "non multiplo di 50: errore 3"},
    {"fine", "m", "fine della zona (0: nessuna zona, e i codici diventano 0)",
     "multipla di 50, dopo l'inizio",
     "non multipla di 50: errore 4; prima dell'inizio è memorizzata com'è (check lo segnala)"}};
constexpr valore_voce kPendenza[] = {
    {"posizione", "m", "da dove vale la pendenza: la cella posizione / 50, arrotondata", kPosizione,
     "errore 15 oltre l'ultima posizione; dietro il punto precedente riempie comunque una cella "
     "(check lo segnala); a 25 m o prima non riempie nulla e dà solo la pendenza del primo "
     "tratto"},
    {"pendenza", "per mille", "salita positiva, discesa negativa", "da -100 a 155",
     "fuori si tronca a 8 bit: 170 diventa -86 (check lo segnala)"}};
constexpr valore_voce kCurva[] = {
    {"inizio", "m", "la curva piega dal punto dopo il metro inizio", kPosizione,
     "errore 15 oltre l'ultima posizione; prima del punto già tracciato piega subito, da lì "
     "(check lo segnala)"},
    {"lunghezza", "m", "metri di arco", "da 1",
     "0 o negativa: nessun arco; un arco si ferma alla fine della planimetria; una planimetria "
     "oltre il punto 1000000: errore 103"}};
constexpr valore_voce kMontagna[] = {
    {"inizio", "m", "inizio del tratto: la cella inizio / 50, arrotondata", kPosizione,
     "errore 15 oltre l'ultima posizione; entro 150 m dalla fine del tratto letto prima il tipo "
     "diventa 3 (check lo segnala)"},
    {"fine", "m", "fine del tratto, esclusa: l'ultima cella è fine / 50 - 1", "dopo l'inizio",
     "prima dell'inizio, o nella sua cella: nessuna cella segnata, ma il tratto conta per la "
     "regola dei 150 m (check lo segnala); oltre le celle si ferma all'ultima"},
    {"tipo", "", "tipo della montagna; sopra 10: tipo meno 10, con un segno ogni 200 m",
     "da 0 a 10, o da 11 a 265 con i segni",
     "si tronca a 8 bit (check lo segnala); i segni vanno solo sulle celle libere"}};
constexpr const char* kPrimoLato =
    "impacchettata con la velocità dell'altro lato come primo × 20 + secondo / 5 in 16 bit: "
    "oltre 1638 errore 25; non multipla di 5 non si ricostruisce (check lo segnala)";
constexpr const char* kSecondoLato =
    "impacchettata come sopra: da 100 in su si somma alla velocità del primo lato; non multipla "
    "di 5 non si ricostruisce (check lo segnala)";
constexpr const char* kStrisce =
    "impacchettate come strisces × 10 + strisced; fuori da 16 bit si troncano (check lo segnala)";
constexpr valore_voce kIndicatori[] = {
    {"posizione", "m", "posizione del cartello: prende la cella dopo quella della posizione",
     kPosizione,
     "errore 15 oltre l'ultima posizione; errore 21 se la cella ha già un oggetto (un segno di "
     "montagna non conta)"},
    {"vas", "km/h", "prima velocità del primo lato", "multipla di 5, da 0 a 1635", kPrimoLato},
    {"vbs", "km/h", "seconda velocità del primo lato", "multipla di 5, da 0 a 1635", kPrimoLato},
    {"vcs", "km/h", "terza velocità del primo lato", "multipla di 5, da 0 a 1635", kPrimoLato},
    {"strisces", "", "strisce del primo lato", "da 0 a 9", kStrisce},
    {"vad", "km/h", "prima velocità del secondo lato (vuoto: 0)", "multipla di 5, da 0 a 95",
     kSecondoLato},
    {"vbd", "km/h", "seconda velocità del secondo lato", "multipla di 5, da 0 a 95", kSecondoLato},
    {"vcd", "km/h", "terza velocità del secondo lato", "multipla di 5, da 0 a 95", kSecondoLato},
    {"strisced", "", "strisce del secondo lato", "da 0 a 9", kStrisce}};
constexpr valore_voce kCartello[] = {
    {"posizione", "m", "posizione del cartello: prende la cella dopo quella della posizione",
     kPosizione,
     "errore 15 oltre l'ultima posizione; errore 6 se la cella ha già un oggetto (un segno di "
     "montagna non conta)"},
    {"testo", "", "testo del cartello, fino alla fine della riga",
     "fino a 65535 byte; una virgola solo tra virgolette", "più lungo: errore 25"}};

// --- the train ---

constexpr const char* kPuntoProfilo =
    "errore 15 oltre l'ultima posizione; dietro il punto precedente riempie comunque una cella "
    "(check lo segnala); a 25 m o prima non riempie nulla: di due punti a 0 m vale l'ultimo";
constexpr valore_voce kMassa[] = {
    {"percentuale", "%", "percentuale di massa frenata, memorizzata com'è", k32, ""}};
constexpr valore_voce kVetture[] = {
    {"vetture", "", "numero delle vetture, memorizzato com'è", k32, ""}};
constexpr valore_voce kVelocita[] = {
    {"posizione", "m", "da dove vale la velocità: la cella posizione / 50, arrotondata", kPosizione,
     kPuntoProfilo},
    {"velocita", "km/h", "velocità limite, nella cella in unità di 5 km/h",
     "multipla di 5, da 0 a 1275",
     "arrotondata al multiplo di 5 più vicino (check lo segnala); oltre 1277 o sotto -2: errore "
     "25"}};
constexpr valore_voce kAderenza[] = {
    {"posizione", "m", "da dove vale l'aderenza: la cella posizione / 50, arrotondata", kPosizione,
     kPuntoProfilo},
    {"aderenza", "", "valore di aderenza", k8, "fuori si tronca a 8 bit (check lo segnala)"}};
constexpr valore_voce kOrologio[] = {{"ore", "h", "ora di partenza", k16, kFuori},
                                     {"minuti", "min", "minuti", k16, kFuori},
                                     {"secondi", "s", "secondi", k16, kFuori}};
constexpr valore_voce kSabbia[] = {{"sabbia", "", "scorta di sabbia", k16, kFuori}};
constexpr const char* kCifraSinistra =
    "impacchettata con la cifra destra come sinistra × 10 + destra";
constexpr const char* kCifraDestra = "impacchettata dopo quella sinistra: oltre 9 le si somma";
constexpr const char* kTipoLato =
    "impacchettato come rapp × 10 + sx × 3 + dx: fuori da 0..2 si confonde con gli altri";
constexpr valore_voce kSegnale[] = {
    {"posizione", "m",
     "prende la cella dopo quella della posizione; i marcatori vanno 100, 200, 300 e 400 m prima",
     kPosizione,
     "errore 15 oltre l'ultima posizione; errore 16 se la cella ha già un oggetto; entro 350 m "
     "dall'inizio ha meno marcatori; un marcatore sostituisce quello di prima (check lo "
     "segnala)"},
    {"sx", "", "tipo della parte sinistra; 2 tiene il tempo", "da 0 a 2", kTipoLato},
    {"s1", "", "prima cifra sinistra", "da 0 a 9", kCifraSinistra},
    {"s2", "", "seconda cifra sinistra", "da 0 a 9", kCifraSinistra},
    {"s3", "", "terza cifra sinistra", "da 0 a 9", kCifraSinistra},
    {"rapp", "", "cifra impacchettata con i due tipi", "da 0 a 9", kTronca16},
    {"dx", "", "tipo della parte destra", "da 0 a 2", kTipoLato},
    {"d1", "", "prima cifra destra", "da 0 a 9", kCifraDestra},
    {"d2", "", "seconda cifra destra", "da 0 a 9", kCifraDestra},
    {"d3", "", "terza cifra destra", "da 0 a 9", kCifraDestra},
    {"tempo", "", "tempo del segnale, tenuto solo con sx 2", "0, o da 101 a 255",
     "da 1 a 100 diventa 101 e con sx diverso da 2 diventa 0 (check segnala entrambi); oltre "
     "255 si tronca a 8 bit"}};
constexpr valore_voce kRallentamento[] = {
    {"posizione", "m",
     "inizio: prende la cella dopo quella della posizione; oltre 1500 m un avviso 1200 m prima",
     kPosizione,
     "errore 15 oltre l'ultima posizione; celle già occupate: errore 17 (avviso) o 18 (inizio)"},
    {"velocita", "km/h", "velocità del rallentamento", k16, kTronca16},
    {"lunghezza", "m", "la fine prende la cella dopo quella di posizione + lunghezza", "da 25",
     "sotto i 50 m inizio e fine possono cadere nella stessa cella, che resta un inizio; "
     "negativa: la fine viene prima dell'inizio (check segnala entrambi); fine su una cella "
     "occupata: errore 19; oltre le celle: errore 25"},
    {"f_tt", "", "valore delle celle di inizio e fine", k16, kTronca16},
    {"f_ta", "", "non 0: le quattro celle prima dell'avviso", "0 o 1",
     "ignorato fino a 1500 m, dove non c'è avviso (check lo segnala); celle occupate: errore 20"},
    {"d_v", "", "secondo valore accanto alla velocità (0: nessuno)", k16, kTronca16}};
constexpr valore_voce kAbbattimento[] = {
    {"posizione", "m",
     "prende la cella della sua posizione, una prima di quella di un segnale alla stessa "
     "posizione",
     kPosizione,
     "errore 15 oltre l'ultima posizione; errore 7 se la cella ha già un oggetto; sotto -25 m: "
     "errore 25"},
    {"velocita", "km/h", "velocità del punto (0 o meno: nessuna)", k16, kTronca16}};
constexpr const char* kPar16 = "parametro, memorizzato com'è (16 bit)";
constexpr const char* kPar8 = "parametro, memorizzato com'è (8 bit)";
constexpr valore_voce kStazione[] = {
    {"posizione", "m", "posizione della stazione", "multipla di 50, fino a L + 6200",
     "non multipla di 50: errore 8; oltre L + 6200 (l'ultima cella meno 800 m): errore 15"},
    {"tipo", "", "tipo della stazione (vedi sotto)", k8, kFuori},
    {"lunghezza", "m", "lunghezza della zona", "multipla di 100",
     "non multipla di 100: errore 9; negativa: la zona finisce prima di cominciare (check lo "
     "segnala)"},
    {"opzione_1", "", "opzione, memorizzata com'è", k8, kFuori},
    {"opzione_2", "", "opzione", k8,
     "azzerata per la prima stazione e sotto i 600 m di lunghezza (check segnala "
     "entrambi i casi); fuori: errore 25"},
    {"prolunga_fine", "", "non 0: la zona finisce 50 m più in là", "0 o 1",
     "azzerata per i tipi da 5 a 8, che non la usano, e per la prima stazione, che ne tiene però "
     "la zona più lunga (check segnala entrambi); fuori da 0..255: errore 25"},
    {"parametro_1", "", kPar16, k16, kFuori},
    {"parametro_2", "", kPar16, k16, kFuori},
    {"parametro_3", "", kPar8, k8, kFuori},
    {"parametro_4", "", kPar16, k16, kFuori},
    {"parametro_5", "", kPar16, k16, kFuori},
    {"parametro_6", "", kPar16, k16, kFuori},
    {"parametro_7", "", kPar8, k8, kFuori},
    {"ore", "h", "orario: ore (0 0 0: nessun orario, come per i bivi)", "da 0 a 23",
     "l'orario in secondi deve entrare in 32 bit, altrimenti errore 25; un orario prima di quello "
     "della stazione precedente, o più stretto della marcia del treno, check lo segnala"},
    {"minuti", "min", "orario: minuti", "da 0 a 59",
     "fuori si riportano sulle ore: 14, 75, 0 è 15:15:00 (check lo segnala)"},
    {"secondi", "s", "orario: secondi", "da 0 a 59",
     "fuori si riportano sui minuti (check lo segnala)"},
    {"nome", "", "nome della stazione, fino alla fine della riga", "fino a 65535 byte",
     "più lungo: errore 25"}};

template <size_t N>
constexpr size_t quanti(const valore_voce (&)[N]) {
  return N;
}
#define VALORI(v) v, quanti(v)

constexpr const char* kNotaProgressive =
    "I tre punti sono messi in ordine di posizione, la più grande nella voce 81. Se due hanno la "
    "stessa posizione più grande, tutti e tre diventano 0; se la somma delle tre posizioni è 0 li "
    "ordina la progressiva e, se nessuna è positiva, diventano 0 (check lo segnala). Il numero "
    "nella chiave va scritto in minuscolo: 'UNO' non è riconosciuto.";
constexpr const char* kNotaSfondo = "Il numero nella chiave va scritto in minuscolo.";

const std::vector<chiave_sorgente> kTestata = {
    {"lunghezza percorso",
     "lunghezza percorso",
     {"lunghezza", "percorso"},
     false,
     "lunghezza della linea",
     VALORI(kLunghezza),
     "Senza di essa non ci sono celle: la prima voce del corpo con una posizione, o la fine del "
     "file, dà l'errore 25."},
    {"progressiva chilometrica",
     "progressiva chilometrica tre",
     {"progressiva", "tre"},
     true,
     "punto di riferimento chilometrico (voce 81 prima dell'ordinamento)",
     VALORI(kProgressiva),
     kNotaProgressive},
    {"progressiva chilometrica",
     "progressiva chilometrica due",
     {"progressiva", "due"},
     true,
     "punto di riferimento chilometrico (voce 82 prima dell'ordinamento)",
     VALORI(kProgressiva),
     kNotaProgressive},
    {"progressiva chilometrica",
     "progressiva chilometrica uno",
     {"progressiva", "uno"},
     true,
     "punto di riferimento chilometrico (voce 83 prima dell'ordinamento)",
     VALORI(kProgressiva),
     kNotaProgressive},
    {"sfondo",
     "sfondo uno",
     {"sfondo", "uno"},
     true,
     "primo interruttore dello scenario",
     VALORI(kSfondo),
     kNotaSfondo},
    {"sfondo",
     "sfondo due",
     {"sfondo", "due"},
     true,
     "secondo interruttore dello scenario",
     VALORI(kSfondo),
     kNotaSfondo},
    {"sfondo",
     "sfondo tre",
     {"sfondo", "tre"},
     true,
     "terzo interruttore dello scenario",
     VALORI(kSfondo),
     kNotaSfondo},
    {"ripetizione segnali",
     "ripetizione segnali 4 codici",
     {"segnali", "ripetizione"},
     true,
     "zona di ripetizione dei segnali in cabina, a 4 o 9 codici (la cifra nella chiave)",
     VALORI(kRipetizione),
     "La chiave deve contenere la cifra 4 o la cifra 9, in qualunque punto: altrimenti errore "
     "5."},
};

const std::vector<chiave_sorgente> kCorpo = {
    {"pendenza",
     "pendenza",
     {"pendenza", nullptr},
     false,
     "punto del profilo di pendenza",
     VALORI(kPendenza),
     "Ogni pendenza vale dalla cella del suo punto fino a quella prima del punto seguente; prima "
     "del primo punto la linea è piana."},
    {"curva",
     "curvad1",
     {"curva", nullptr},
     false,
     "curva della planimetria: classe dalla prima cifra da 1 a 6, a sinistra con una s",
     VALORI(kCurva),
     "Le chiavi sono curvad1..curvad6 (a destra) e curvas1..curvas6 (a sinistra). La classe è "
     "la prima delle cifre da 1 a 6 nella chiave (nessuna: errore 103), con curvatura da 0,0001 "
     "a 0,003 radianti al metro; una s in qualunque punto, anche maiuscola, la fa piegare a "
     "sinistra. Con --no-plan le curve non sono chiavi."},
    {"montagna",
     "montagna",
     {"montagna", nullptr},
     false,
     "tratto in montagna o in galleria",
     VALORI(kMontagna),
     "Al più 80 tratti: l'81° è l'errore 25. Un tratto che ne copre un altro ne cambia il tipo "
     "dove si sovrappongono."},
    {"indicatori_vmax",
     "indicatori_vmax",
     {"indicatori_v", nullptr},
     false,
     "cartelli di velocità massima",
     VALORI(kIndicatori),
     "Un campo vuoto vale 0: un cartello con un solo lato lascia vuoti i quattro valori del "
     "secondo."},
    {"cartello_indicatore",
     "cartello_indicatore",
     {"cartello", "indicat"},
     false,
     "cartello indicatore con un testo",
     VALORI(kCartello),
     "I testi prendono le voci della tabella dall'80 in giù: ogni cartello toglie un posto alle "
     "stazioni (78 in tutto, insieme). Più di 81 cartelli: errore 25."},
};

const std::vector<chiave_sorgente> kTreno = {
    {"percentuale massa frenata",
     "percentuale massa frenata",
     {"massa", "frenata"},
     false,
     "massa frenata del treno",
     VALORI(kMassa),
     ""},
    {"numero vetture",
     "numero vetture",
     {"vetture", nullptr},
     false,
     "vetture del treno",
     VALORI(kVetture),
     ""},
    {"velocita",
     "velocita",
     {"velocit", nullptr},
     false,
     "punto del profilo di velocità limite",
     VALORI(kVelocita),
     "Ogni velocità vale dalla cella del suo punto fino a quella prima del punto seguente."},
    {"aderenza",
     "aderenza",
     {"aderenza", nullptr},
     false,
     "punto del profilo di aderenza",
     VALORI(kAderenza),
     "Ogni aderenza vale dalla cella del suo punto fino a quella prima del punto seguente."},
    {"orologio",
     "orologio",
     {"orologio", nullptr},
     false,
     "ora di partenza",
     VALORI(kOrologio),
     ""},
    {"sabbia", "sabbia", {"sabbia", nullptr}, false, "sabbia", VALORI(kSabbia), ""},
    {"segnale",
     "segnale",
     {"segnale", nullptr},
     false,
     "segnale",
     VALORI(kSegnale),
     "Con un errore 15 della linea in sospeso la lettura del treno si ferma al primo segnale o "
     "rallentamento."},
    {"rallentamento",
     "rallentamento",
     {"rallentamento", nullptr},
     false,
     "rallentamento",
     VALORI(kRallentamento),
     "Le celle di avviso, inizio e fine sono provate tutte prima di scriverne una; quelle prima "
     "dell'avviso dopo."},
    {"abbattimento",
     "abbattimento",
     {"abbattimento", nullptr},
     false,
     "punto di abbattimento della velocità",
     VALORI(kAbbattimento),
     ""},
    {"stazione",
     "stazione",
     {"stazione", nullptr},
     false,
     "stazione dell'orario",
     VALORI(kStazione),
     "Le stazioni prendono le voci 1, 2, 3... della tabella nell'ordine del file: al più 78 meno "
     "i cartelli indicatori (errore 10). La zona: tipi 5 e 6 da posizione - lunghezza a posizione "
     "+ 150, con la cella di fermata ma senza marcatori; tipi 7 e 8 da posizione - lunghezza a "
     "posizione + lunghezza; da 25 in su (bivi e fermate) nessuna cella di fermata né marcatori; "
     "gli altri una zona di quella lunghezza centrata sulla posizione. La fermata prende la cella "
     "fine / 50 - 1, qualunque oggetto avesse; nella cella 1 o prima: errore 24. Una zona che "
     "inizia meno di 350 m dopo la fine della precedente: errore 22."},
};

#undef VALORI

}  // namespace

const std::vector<chiave_sorgente>& chiavi_testata() {
  return kTestata;
}
const std::vector<chiave_sorgente>& chiavi_corpo() {
  return kCorpo;
}
const std::vector<chiave_sorgente>& chiavi(sorgente s) {
  static const std::vector<chiave_sorgente> linea = [] {
    std::vector<chiave_sorgente> v = kTestata;
    v.insert(v.end(), kCorpo.begin(), kCorpo.end());
    return v;
  }();
  return s == sorgente::linea ? linea : kTreno;
}

bool riconosce(const chiave_sorgente& k, std::string_view token) {
  for (const char* p : k.parole) {
    if (!p) continue;
    if (k.esatte ? !testo::contiene(token, p) : !testo::contiene_nc(token, p)) return false;
  }
  return true;
}

const chiave_sorgente* chiave(std::string_view chiave_scritta) {
  for (sorgente s : {sorgente::linea, sorgente::treno})
    for (const chiave_sorgente& k : chiavi(s))
      if (chiave_scritta == k.chiave) return &k;
  return nullptr;
}

}  // namespace formato
