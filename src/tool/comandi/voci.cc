// scenario voci: the reference of every entry of the two sources, made from
// the key tables the readers use, so that it cannot say what they do not do.
// docs/voci.md is this text as it is printed.
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "model/formato.h"
#include "model/marcia.h"
#include "tool/comandi/comandi.h"
#include "tool/comune/argomenti.h"

namespace {

using formato::chiave_sorgente;

constexpr const char* kIntroduzione =
    "# Le voci dei sorgenti\n"
    "\n"
    "Scritto da `scenario voci` con le tabelle delle chiavi che il compilatore usa: non va\n"
    "cambiato a mano (`scenario voci > docs/voci.md` lo rifà, e un test lo confronta).\n"
    "`scenario voci CHIAVE` mostra una voce sola.\n"
    "\n"
    "Un sorgente si legge come una sequenza di campi, non riga per riga: un campo finisce a una\n"
    "virgola o alla fine della riga. Una voce è un campo che contiene la sua chiave, seguito dai\n"
    "suoi valori nell'ordine dato qui sotto; una virgola che manca fa leggere un campo della riga\n"
    "seguente come valore di questa voce (check lo segnala). Un numero è un intero con segno a 32\n"
    "bit (un campo vuoto vale 0; un testo o un numero più grande è l'errore 25) e finisce anche a\n"
    "uno spazio. Le intestazioni di sezione come [pendenze] non hanno significato: conta solo la\n"
    "chiave. L'ultimo campo del file non viene mai letto: i sorgenti finiscono con [fine].\n"
    "\n"
    "Le posizioni sono metri dall'inizio della linea; le celle sono di 50 m, dalla cella 0. Una\n"
    "linea lunga L ha celle fino a L + 7000 m: una posizione fino a L + 6900 m (per una stazione\n"
    "L + 6200 m) è accettata, oltre è l'errore 15; check segnala ogni posizione oltre L.\n";

// The words a token must hold to be one of the keys da..a: the first word of
// each, and the second of each where they differ.
std::string riconoscimento(const std::vector<chiave_sorgente>& v, size_t da, size_t a) {
  const chiave_sorgente& k = v[da];
  std::string r = a - da > 1 ? "si riconoscono in un campo che contiene"
                             : "si riconosce in un campo che contiene";
  r += std::string(" \"") + k.parole[0] + "\"";
  for (size_t i = da; i < a && k.parole[1]; ++i)
    r += std::string(i == da ? " e " : i + 1 == a ? " o " : ", ") + "\"" + v[i].parole[1] + "\"";
  return r + (k.esatte ? ", lettere esatte" : ", maiuscole o minuscole");
}

std::string maiuscola(std::string s) {
  if (!s.empty() && s[0] >= 'a' && s[0] <= 'z') s[0] = static_cast<char>(s[0] - 'a' + 'A');
  return s;
}

// The keys from `da` that share its values and note: one block.
size_t gruppo(const std::vector<chiave_sorgente>& v, size_t da) {
  size_t a = da + 1;
  while (a < v.size() && v[a].valori == v[da].valori && v[a].note == v[da].note) ++a;
  return a;
}

std::string blocco(const std::vector<chiave_sorgente>& v, size_t da, size_t a) {
  const chiave_sorgente& k = v[da];
  std::string s = "#### ";
  for (size_t i = da; i < a; ++i) s += std::string(i > da ? ", " : "") + "`" + v[i].chiave + "`";
  s += "\n\n";
  if (a - da == 1) {
    s += maiuscola(k.significato) + "; " + riconoscimento(v, da, a) + ".\n\n";
  } else {
    for (size_t i = da; i < a; ++i)
      s += std::string("- `") + v[i].chiave + "`: " + v[i].significato + "\n";
    s += "\n" + maiuscola(riconoscimento(v, da, a)) + ".\n\n";
  }
  for (size_t i = 0; i < k.n_valori; ++i) {
    const formato::valore_voce& x = k.valori[i];
    s += std::to_string(i + 1) + ". `" + x.nome + "` (" +
         (*x.unita ? std::string(x.unita) + "; " : "") + x.intervallo + "): " + x.significato +
         ".\n";
    if (*x.strani) s += "    Altrimenti: " + std::string(x.strani) + ".\n";
  }
  if (*k.note) s += "\n" + std::string(k.note) + "\n";
  return s + "\n";
}

std::string cifre(double x) {
  char b[32];
  std::snprintf(b, sizeof b, "%g", x);
  std::string r = b;
  for (char& c : r)
    if (c == '.') c = ',';
  return r;
}

// The train types the run is worked out for, from the rulebook's table.
std::string tipi_treno() {
  std::string s =
      "### Il tipo del treno, prima di [generale]\n\n"
      "#### `" +
      std::string(regole::kChiaveTipoTreno) +
      "`\n\n"
      "Una riga `tipo treno, NOME` prima di [generale], che la compilazione salta, sceglie il "
      "tipo\n"
      "per cui check, l'anteprima e la bozza calcolano la marcia del treno: da fermo a una "
      "stazione\n"
      "con orario fino a fermo alla successiva, con lo sforzo della locomotiva (limitato\n"
      "dall'aderenza all'avvio e dalla potenza sopra), contro la resistenza al moto A·m + B·m·v +\n"
      "C·v² (N; m in t, v in km/h) e le pendenze, frenando per ogni limite più basso davanti e "
      "per\n"
      "la fermata, mai sopra un limite finché una parte del treno vi si trova. Dal sorgente del\n"
      "treno vengono `numero vetture` e `percentuale massa frenata` (decelerazione di servizio\n"
      "0,005 m/s² per punto, da 0,2 a 0,8 m/s²); il resto dal tipo. Senza la riga, o con un nome\n"
      "che nessun tipo ha (check lo segnala), il tipo è il primo.\n\n"
      "| tipo | motrice (t, m) | vettura (t, m) | potenza (kW) | sforzo all'avvio (kN) | "
      "velocità (km/h) | A (N/t) | B (N/(t·km/h)) | C motrice, vettura (N/(km/h)²) | masse "
      "rotanti |\n"
      "|---|---|---|---|---|---|---|---|---|---|\n";
  for (const regole::tipo_treno& t : regole::kTipiTreno)
    s += std::string("| `") + t.nome + "` | " + cifre(t.massa_motrice) + ", " +
         cifre(t.lunghezza_motrice) + " | " + cifre(t.massa_vettura) + ", " +
         cifre(t.lunghezza_vettura) + " | " + cifre(t.potenza) + " | " +
         cifre(t.sforzo_avviamento) + " | " + cifre(t.velocita_massima) + " | " + cifre(t.davis_a) +
         " | " + cifre(t.davis_b) + " | " + cifre(t.davis_c_motrice) + ", " +
         cifre(t.davis_c_vettura) + " | " + cifre(t.masse_rotanti) + " |\n";
  s += "\n";
  for (const regole::tipo_treno& t : regole::kTipiTreno)
    s += std::string("- `") + t.nome + "`: " + t.descrizione + ".\n";
  return s + "\n";
}

struct parte {
  const char* titolo;
  const std::vector<chiave_sorgente>* chiavi;
};

// Every block, or those whose key, kind or token matches `cercata`.
std::string riferimento(const std::string& cercata, bool& trovata) {
  const parte parti[] = {
      {"## La linea: ROUTE_linea.txt\n\n### Intestazione, dopo [generale]\n\n",
       &formato::chiavi_testata()},
      {"### Corpo, dalla prima testa di sezione che non comincia con un trattino\n\n",
       &formato::chiavi_corpo()},
      {"## Il treno: ROUTE_TRAIN-.txt\n\n### Voci, dopo [generale]\n\n",
       &formato::chiavi(formato::sorgente::treno)}};
  std::string s = cercata.empty() ? std::string(kIntroduzione) + "\n" : "";
  trovata = cercata.empty();
  for (const parte& p : parti) {
    if (cercata.empty()) s += p.titolo;
    const std::vector<chiave_sorgente>& v = *p.chiavi;
    for (size_t i = 0; i < v.size();) {
      const size_t a = gruppo(v, i);
      bool scelta = cercata.empty();
      for (size_t j = i; j < a && !scelta; ++j)
        scelta = cercata == v[j].genere || std::string_view(v[j].chiave).rfind(cercata, 0) == 0 ||
                 formato::riconosce(v[j], cercata);
      if (scelta) s += blocco(v, i, a);
      trovata = trovata || scelta;
      i = a;
    }
  }
  if (cercata.empty() || std::string_view(regole::kChiaveTipoTreno).rfind(cercata, 0) == 0) {
    s += tipi_treno();
    trovata = true;
  }
  if (!s.empty()) s.pop_back();  // one newline at the end (none found: nothing)
  return s;
}

}  // namespace

int comando_voci(const argomenti& a) {
  // KEY may be left out: all the entries.
  size_t chiavi = 0;
  for (const std::string& x : a) chiavi += x.empty() || x[0] != '-' ? 1 : 0;
  argomenti_letti l;
  if (int s = leggi_argomenti("voci", a, {}, chiavi > 1 ? 1 : chiavi, "al più una CHIAVE", l);
      s >= 0)
    return s;
  const std::string cercata = l.posizionali.empty() ? "" : l.posizionali[0];
  bool trovata = false;
  const std::string s = riferimento(cercata, trovata);
  if (!trovata)
    return errore_uso("voci",
                      "nessuna voce per '" + cercata + "': 'scenario voci' le elenca tutte");
  std::fputs(s.c_str(), stdout);
  return kUscitaOk;
}
