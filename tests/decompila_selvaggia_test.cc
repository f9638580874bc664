// The decompile against sources it did not write: wild ones drawn from the
// whole range the readers accept, the cases users met, and compiled files
// that no source gives, each with the reason.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>

#include "driver/form1.h"
#include "output/immagini.h"
#include "platform/disco_memoria.h"
#include "tool/compilazione/compila.h"
#include "tool/decompilazione/decompila.h"
#include "tool/generatori/genera.h"

namespace {

// The built-in sources, as their writers write them.
std::string predefinito(bool linea) {
  file::disco_memoria d;
  Form1 f;
  f.disco = &d;
  f.cartella = "m";
  f.nome_linea = "x";
  f.numero_treno = "7";
  f.dati_linea();
  f.dati_treno();
  return d.file[linea ? f.file_linea() : f.file_treno()];
}

// Compiles two sources in memory.
esito_compilazione compila(const std::string& linea, const std::string& treno,
                           uscita_compilati u = uscita_compilati::memoria,
                           const scenario_compilato* attesi = nullptr) {
  opzioni_compilazione o;
  o.cartella_sorgenti = "memoria";
  o.linea = "x";
  o.treno = "7";
  o.testo_linea = &linea;
  o.testo_treno = &treno;
  o.uscita = u;
  if (attesi) {
    o.planimetria = attesi->con_planimetria;
    o.attesi[nome_tabella("x", "7")] = attesi->byte_tabella;
    o.attesi[nome_percorso("x", "7")] = attesi->byte_percorso;
    if (attesi->con_planimetria) o.attesi[nome_planimetria("x")] = attesi->byte_planimetria;
  }
  return compila_scenario(o);
}

// Decompiles the compiled files of `r` and compiles the result again: the
// bytes must come back, with nothing said to be beyond any source.
void torna_uguale(esito_compilazione& r, const std::string& caso) {
  SCOPED_TRACE(caso);
  scenario_compilato s;
  std::string motivo;
  ASSERT_TRUE(compilato_da_memoria(r.compilati, "x", "7", s, motivo)) << motivo;
  const decompilazione d = decompila(s);
  for (const auto& x : d.inesprimibili) ADD_FAILURE() << "non esprimibile: " << x;
  for (const auto& x : d.non_ricostruite) ADD_FAILURE() << "non ricostruito: " << x;
  esito_compilazione c = compila(d.linea.dati, d.treno.dati, uscita_compilati::confronto, &s);
  for (const auto& [nome, x] : c.confronti)
    EXPECT_TRUE(x.scritto && x.uguale) << nome << " differisce dal byte " << x.primo_diverso << "\n"
                                       << d.linea.dati << d.treno.dati;
}

std::string sorgente(const std::vector<std::string>& righe) {
  std::string s;
  for (const auto& r : righe) s += r + "\r\n";
  return s;
}

}  // namespace

TEST(DecompilaSelvaggia, WildSourcesComeBackByteForByte) {
  // The full run over thousands of seeds is bench/andata_ritorno_selvaggia.sh.
  int con_file = 0;
  for (uint64_t seme = 1; seme <= 300; ++seme) {
    const scenario_generato g = genera_selvaggio(seme);
    esito_compilazione r = compila(g.linea, g.treno);
    if (r.compilati.empty()) continue;  // a read that stopped before any cell
    ++con_file;
    torna_uguale(r, "seme " + std::to_string(seme));
  }
  EXPECT_GT(con_file, 280);
}

// What users met: each compiles with code 0 and comes back.
TEST(DecompilaSelvaggia, CasesFoundByAnIndependentImplementationComeBack) {
  const std::string linea = predefinito(true), treno = predefinito(false);
  auto con = [&](const std::string& dove, const std::string& prima, const std::string& riga) {
    std::string t = treno;
    t.insert(t.find(dove), riga + "\r\n");
    if (!prima.empty()) t.erase(t.find(prima), prima.size() + 2);
    return t;
  };
  std::string molti;  // 81 named signs: entries 80 down to 0
  for (int i = 0; i < 81; ++i)
    molti += "cartello_indicatore, " + std::to_string(1000 + 100 * i) + ", C" + std::to_string(i) +
             "\r\n";
  const struct {
    const char* nome;
    std::string linea, treno;
  } casi[] = {
      {"slowdown at 25 m past a multiple of 50 with approach cells", linea,
       con("[segnali]", "", "rallentamento,  5025,  60,  1000,  1,  1,  0")},
      {"signal whose left kind is 9", linea,
       con("[codici]", "segnale,    1950,   2, 2, 5,  6, 1,    0,  0,0,0, 0",
           "segnale, 1950, 9, 2, 5, 6, 1, 0, 0,0,0, 0")},
      {"slowdown of negative length", linea,
       con("[segnali]", "", "rallentamento,  5000,  60,  -1000,  1,  0,  0")},
      {"81 named signs",
       sorgente({"[generale]", "lunghezza percorso, 20000", "[indicazioni]"}) + molti +
           "[fine]\r\n",
       sorgente({"[generale]", "[fine]"})},
  };
  for (const auto& c : casi) {
    esito_compilazione r = compila(c.linea, c.treno);
    ASSERT_EQ(r.codice_errore, 0) << c.nome;
    torna_uguale(r, c.nome);
  }
}

namespace {

struct compilati_modificabili {
  tabella t;
  std::vector<cella_percorso> celle;
  std::string pianta;
};

// The decompile of compiled files changed by hand.
decompilazione dopo(const std::string& linea, const std::string& treno,
                    const std::function<void(compilati_modificabili&)>& cambia) {
  esito_compilazione r = compila(linea, treno);
  scenario_compilato s;
  std::string motivo;
  EXPECT_TRUE(compilato_da_memoria(r.compilati, "x", "7", s, motivo)) << motivo;
  compilati_modificabili m{s.tabella_linea, s.celle, std::string(s.byte_planimetria)};
  cambia(m);
  std::map<std::string, std::string> b = {{nome_tabella("x", "7"), immagine_tabella(m.t)},
                                          {nome_percorso("x", "7"), immagine_percorso(m.celle)},
                                          {nome_planimetria("x"), m.pianta}};
  scenario_compilato c;
  EXPECT_TRUE(compilato_da_memoria(b, "x", "7", c, motivo)) << motivo;
  return decompila(c);
}

void metti_doppio(std::string& b, size_t pos, double v) {
  std::memcpy(b.data() + pos, &v, sizeof v);
}

}  // namespace

// Each kind of claim, with why no source gives it.
TEST(DecompilaSelvaggia, InexpressibleOnlyWhereNoReaderStoresIt) {
  const std::string linea = predefinito(true), treno = predefinito(false);
  std::string con_rallentamento = treno;
  con_rallentamento.insert(con_rallentamento.find("[segnali]"),
                           "rallentamento, 8000, 60, 1000, 1, 1, 0\r\n");
  const std::string senza_stazioni = sorgente({"[generale]", "[fine]"});
  std::string fermata = linea;  // the body's read stops after the signs
  fermata.insert(fermata.find("[fine]"), "pendenza, X, 0\r\n");
  using m = compilati_modificabili;
  const struct {
    const char* perche;
    std::string linea, treno;
    std::function<void(m&)> cambia;
    const char* affermazione;
  } casi[] = {
      {"the writer always stamps 610", linea, treno, [](m& x) { x.t[85].parametro_1 = 611; },
       "timbro o codice st"},
      {"no reader writes the kind of entry 84", linea, treno, [](m& x) { x.t[84].tipo = 3; },
       "campi che nessun lettore scrive"},
      {"the sort puts the largest position in entry 81", linea, treno,
       [](m& x) { std::swap(x.t[81], x.t[83]); }, "l'ordinamento per posizione non dà"},
      {"the repetition codes are 4, 9 or 0", linea, treno, [](m& x) { x.t[86].posizione = 7; },
       "zona di ripetizione"},
      {"every plan starts at the integers (0, 0) and (0, 1)", linea, treno,
       [](m& x) { x.pianta[2] = 5; }, "i primi due punti"},
      {"every point is a straight or a curved step from the two before", linea, treno,
       [](m& x) { metti_doppio(x.pianta, 8 + 10 * 998 + 2, 12345.5); },
       "non segue né un rettilineo né una curva"},
      {"no entry gives kind 9", linea, treno, [](m& x) { x.celle[500].tipo = 9; },
       "oggetto di tipo 9"},
      {"a sign's cell names an entry from 80 down", linea, treno,
       [](m& x) { x.celle[326].valore_1 = 85; }, "cartello della voce 85"},
      {"a sign's text comes with a cell that only a stop cell replaces", linea, senza_stazioni,
       [](m& x) { x.celle[326] = cella_percorso{}; }, "testo di cartello senza una cella"},
      {"a zone is the position and the length", linea, treno, [](m& x) { x.t[5].fine += 50; },
       "fine della zona"},
      {"the reader clears opzione_2 of the first station", linea, treno,
       [](m& x) { x.t[1].opzione_2 = 1; }, "opzione_2"},
      {"markers come from signals 2 to 8 cells after, or stations", linea, treno,
       [](m& x) { x.celle[600].marcatore = 99; }, "che nessun segnale o stazione scrive"},
      {"a slowdown beyond 1525 m has its warning 24 cells before", linea, treno,
       [](m& x) {
         x.celle[300] = {tipo_cella::inizio_rallentamento, 60};
       },
       "senza il suo avviso"},
      {"an end of a slowdown comes with its start", linea, treno,
       [](m& x) {
         x.celle[300] = {tipo_cella::fine_rallentamento, 60, 0, 7};
       },
       "senza un inizio"},
      {"a point without a speed keeps no value", linea, treno,
       [](m& x) {
         x.celle[300] = {tipo_cella::abbattimento_senza_velocita, 5};
       },
       "punto di abbattimento con valori"},
      {"a span marker has no values", linea, treno, [](m& x) { x.celle[15].valore_2 = 1; },
       "segno di montagna con dei valori"},
      {"the finishing rules mark the first free cell", linea, con_rallentamento,
       [](m& x) {
         for (auto& c : x.celle)
           if (c.tipo == tipo_cella::abbattimento) {
             c = cella_percorso{
                 0,          0,         0, 0, 0, 0, c.marcatore, c.montagna, c.velocita_limite,
                 c.pendenza, c.aderenza};
             break;
           }
       },
       "le regole di rifinitura non danno"},
      {"a board has no time", linea, treno, [](m& x) { x.celle[19].tempo = 3; },
       "cartello di velocità con un tempo"},
      {"a line read that stops reads no train", fermata, treno, [](m& x) { x.t[84].posizione = 6; },
       "ma il treno è stato letto"},
      {"stations stop two entries short of the signs", linea, treno,
       [](m& x) {
         for (int e = 12; e <= 72; ++e) x.t[static_cast<size_t>(e)] = x.t[11];
       },
       "la tabella ne tiene"},
      {"an object's position passes (p + 100) / 50 <= last cell", linea, treno,
       [](m& x) {
         x.celle[880] = {tipo_cella::segnale, 50};
       },
       "segnale nell'ultima cella"},
  };
  for (const auto& c : casi) {
    SCOPED_TRACE(c.perche);
    const decompilazione d = dopo(c.linea, c.treno, c.cambia);
    std::string tutte;
    for (const auto& x : d.inesprimibili) tutte += x + "\n";
    for (const auto& x : d.non_ricostruite) tutte += "(non ricostruito) " + x + "\n";
    EXPECT_NE(tutte.find(c.affermazione), std::string::npos) << tutte;
  }
}
