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

// --- the line ---

constexpr valore_voce kLunghezza[] = {{"lunghezza", "m", "lunghezza della linea, fino a 1000000"}};
constexpr valore_voce kProgressiva[] = {
    {"posizione", "m", "posizione del punto lungo la linea, multipla di 50"},
    {"progressiva", "m", "chilometrica della linea in quel punto, multipla di 50"},
    {"correzione", "", "1: la progressiva cresce di 100 m"}};
constexpr valore_voce kSfondo[] = {{"sfondo", "", "interruttore dello scenario"}};
constexpr valore_voce kRipetizione[] = {
    {"inizio", "m", "inizio della zona, multiplo di 50"},
    {"fine", "m", "fine della zona, multipla di 50 (0: nessuna zona)"}};
constexpr valore_voce kPendenza[] = {
    {"posizione", "m", "da dove vale la pendenza"},
    {"pendenza", "per mille", "salita positiva, discesa negativa (da -100 a 155)"}};
constexpr valore_voce kCurva[] = {{"inizio", "m", "dove la curva comincia a piegare"},
                                  {"lunghezza", "m", "metri di curva"}};
constexpr valore_voce kMontagna[] = {
    {"inizio", "m", "inizio del tratto"},
    {"fine", "m", "fine del tratto"},
    {"tipo", "", "tipo della montagna; sopra 10: tipo meno 10 con i segni ogni 200 m"}};
constexpr valore_voce kIndicatori[] = {
    {"posizione", "m", "posizione del cartello"},
    {"vas", "km/h", "prima velocità del primo lato"},
    {"vbs", "km/h", "seconda velocità del primo lato"},
    {"vcs", "km/h", "terza velocità del primo lato"},
    {"strisces", "", "strisce del primo lato"},
    {"vad", "km/h", "prima velocità del secondo lato (vuoto: 0)"},
    {"vbd", "km/h", "seconda velocità del secondo lato"},
    {"vcd", "km/h", "terza velocità del secondo lato"},
    {"strisced", "", "strisce del secondo lato"}};
constexpr valore_voce kCartello[] = {{"posizione", "m", "posizione del cartello"},
                                     {"testo", "", "testo del cartello (fino alla riga seguente)"}};

// --- the train ---

constexpr valore_voce kMassa[] = {{"percentuale", "%", "percentuale di massa frenata"}};
constexpr valore_voce kVetture[] = {{"vetture", "", "numero delle vetture"}};
constexpr valore_voce kVelocita[] = {
    {"posizione", "m", "da dove vale la velocità"},
    {"velocita", "km/h", "velocità limite, arrotondata a un multiplo di 5 (fino a 1277)"}};
constexpr valore_voce kAderenza[] = {{"posizione", "m", "da dove vale l'aderenza"},
                                     {"aderenza", "", "valore di aderenza (da 0 a 255)"}};
constexpr valore_voce kOrologio[] = {
    {"ore", "h", "ora di partenza"}, {"minuti", "min", "minuti"}, {"secondi", "s", "secondi"}};
constexpr valore_voce kSabbia[] = {{"sabbia", "", "scorta di sabbia"}};
constexpr valore_voce kSegnale[] = {
    {"posizione", "m", "posizione del segnale"},
    {"sx", "", "tipo della parte sinistra (da 0 a 2; 2 tiene il tempo)"},
    {"s1", "", "prima cifra sinistra"},
    {"s2", "", "seconda cifra sinistra"},
    {"s3", "", "terza cifra sinistra"},
    {"rapp", "", "cifra unita ai tipi"},
    {"dx", "", "tipo della parte destra (da 0 a 2)"},
    {"d1", "", "prima cifra destra"},
    {"d2", "", "seconda cifra destra"},
    {"d3", "", "terza cifra destra"},
    {"tempo", "", "tempo del segnale (da 1 a 100 vale 101)"}};
constexpr valore_voce kRallentamento[] = {
    {"posizione", "m", "inizio del rallentamento"},
    {"velocita", "km/h", "velocità del rallentamento"},
    {"lunghezza", "m", "lunghezza del rallentamento"},
    {"f_tt", "", "valore delle celle di inizio e fine"},
    {"f_ta", "", "non 0: le quattro celle prima dell'avviso"},
    {"d_v", "", "secondo valore accanto alla velocità (0: nessuno)"}};
constexpr valore_voce kAbbattimento[] = {
    {"posizione", "m", "posizione del punto"},
    {"velocita", "km/h", "velocità del punto (0 o meno: nessuna)"}};
constexpr valore_voce kStazione[] = {
    {"posizione", "m", "posizione della stazione, multipla di 50"},
    {"tipo", "", "tipo (da 25 in su: bivi e fermate senza cella di fermata)"},
    {"lunghezza", "m", "lunghezza della zona, multipla di 100"},
    {"opzione_1", "", "opzione"},
    {"opzione_2", "", "opzione (azzerata sotto i 600 m e per la prima)"},
    {"prolunga_fine", "", "non 0: la zona finisce 50 m più in là"},
    {"parametro_1", "", "parametro"},
    {"parametro_2", "", "parametro"},
    {"parametro_3", "", "parametro"},
    {"parametro_4", "", "parametro"},
    {"parametro_5", "", "parametro"},
    {"parametro_6", "", "parametro"},
    {"parametro_7", "", "parametro"},
    {"ore", "h", "orario: ore"},
    {"minuti", "min", "orario: minuti"},
    {"secondi", "s", "orario: secondi"},
    {"nome", "", "nome della stazione (fino alla riga seguente)"}};

template <size_t N>
constexpr size_t quanti(const valore_voce (&)[N]) {
  return N;
}
#define VALORI(v) v, quanti(v)

const std::vector<chiave_sorgente> kTestata = {
    {"lunghezza percorso",
     "lunghezza percorso",
     {"lunghezza", "percorso"},
     false,
     "lunghezza della linea",
     VALORI(kLunghezza)},
    {"progressiva chilometrica",
     "progressiva chilometrica tre",
     {"progressiva", "tre"},
     true,
     "punto di riferimento chilometrico (voce 81 prima dell'ordinamento)",
     VALORI(kProgressiva)},
    {"progressiva chilometrica",
     "progressiva chilometrica due",
     {"progressiva", "due"},
     true,
     "punto di riferimento chilometrico (voce 82 prima dell'ordinamento)",
     VALORI(kProgressiva)},
    {"progressiva chilometrica",
     "progressiva chilometrica uno",
     {"progressiva", "uno"},
     true,
     "punto di riferimento chilometrico (voce 83 prima dell'ordinamento)",
     VALORI(kProgressiva)},
    {"sfondo",
     "sfondo uno",
     {"sfondo", "uno"},
     true,
     "primo interruttore dello scenario",
     VALORI(kSfondo)},
    {"sfondo",
     "sfondo due",
     {"sfondo", "due"},
     true,
     "secondo interruttore dello scenario",
     VALORI(kSfondo)},
    {"sfondo",
     "sfondo tre",
     {"sfondo", "tre"},
     true,
     "terzo interruttore dello scenario",
     VALORI(kSfondo)},
    {"ripetizione segnali",
     "ripetizione segnali 4 codici",
     {"segnali", "ripetizione"},
     true,
     "zona di ripetizione dei segnali in cabina, a 4 o 9 codici (la cifra nella chiave)",
     VALORI(kRipetizione)},
};

const std::vector<chiave_sorgente> kCorpo = {
    {"pendenza",
     "pendenza",
     {"pendenza", nullptr},
     false,
     "punto del profilo di pendenza",
     VALORI(kPendenza)},
    {"curva",
     "curvad1",
     {"curva", nullptr},
     false,
     "curva della planimetria: classe dalla prima cifra da 1 a 6, a sinistra con una s",
     VALORI(kCurva)},
    {"montagna",
     "montagna",
     {"montagna", nullptr},
     false,
     "tratto in montagna o in galleria",
     VALORI(kMontagna)},
    {"indicatori_vmax",
     "indicatori_vmax",
     {"indicatori_v", nullptr},
     false,
     "cartelli di velocità massima",
     VALORI(kIndicatori)},
    {"cartello_indicatore",
     "cartello_indicatore",
     {"cartello", "indicat"},
     false,
     "cartello indicatore con un testo",
     VALORI(kCartello)},
};

const std::vector<chiave_sorgente> kTreno = {
    {"percentuale massa frenata",
     "percentuale massa frenata",
     {"massa", "frenata"},
     false,
     "massa frenata del treno",
     VALORI(kMassa)},
    {"numero vetture",
     "numero vetture",
     {"vetture", nullptr},
     false,
     "vetture del treno",
     VALORI(kVetture)},
    {"velocita",
     "velocita",
     {"velocit", nullptr},
     false,
     "punto del profilo di velocità limite",
     VALORI(kVelocita)},
    {"aderenza",
     "aderenza",
     {"aderenza", nullptr},
     false,
     "punto del profilo di aderenza",
     VALORI(kAderenza)},
    {"orologio", "orologio", {"orologio", nullptr}, false, "ora di partenza", VALORI(kOrologio)},
    {"sabbia", "sabbia", {"sabbia", nullptr}, false, "sabbia", VALORI(kSabbia)},
    {"segnale", "segnale", {"segnale", nullptr}, false, "segnale", VALORI(kSegnale)},
    {"rallentamento",
     "rallentamento",
     {"rallentamento", nullptr},
     false,
     "rallentamento",
     VALORI(kRallentamento)},
    {"abbattimento",
     "abbattimento",
     {"abbattimento", nullptr},
     false,
     "punto di abbattimento della velocità",
     VALORI(kAbbattimento)},
    {"stazione",
     "stazione",
     {"stazione", nullptr},
     false,
     "stazione dell'orario",
     VALORI(kStazione)},
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
