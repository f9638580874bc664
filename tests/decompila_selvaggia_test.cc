// The decompile against sources it did not write: wild ones drawn from the
// whole range the readers accept, the cases users met, and compiled files
// that no source gives, each with the reason.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <functional>
#include <limits>
#include <random>
#include <string>

#include "aiuti.h"
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
void torna_uguale(esito_compilazione& r, const std::string& caso,
                  std::vector<std::string>* tracce = nullptr) {
  SCOPED_TRACE(caso);
  scenario_compilato s;
  ASSERT_NO_THROW(compilato_da_memoria(r.compilati, "x", "7", s));
  const decompilazione d = decompila(s);
  if (tracce) *tracce = d.tracce;
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

bool traccia_di(const std::vector<std::string>& tracce, const std::string& stazione) {
  for (const auto& t : tracce)
    if (t.find("alla stazione della voce " + stazione + " ") != std::string::npos) return true;
  return false;
}

}  // namespace

// Hand-made acceptance cases kept in tests/dati/decompila: the train read
// stops inside a station entry with code 25.
TEST(DecompilaSelvaggia, StationsLeftHalfWrittenInTheAcceptanceCasesComeBack) {
  const std::string dati =
      (std::filesystem::path(__FILE__).parent_path() / "dati" / "decompila").string();
  const struct {
    const char *cartella, *linea, *treno, *stazione;
  } casi[] = {{"stazione-1", "Ardea_Calvorano", "26644", "4"},
              {"stazione-2", "ZenobiaC-Lunara", "IC_892", "6"}};
  for (const auto& c : casi) {
    const std::string d = file::percorso(dati, c.cartella);
    const std::string linea = leggi_tutto(file::percorso(d, std::string(c.linea) + "_linea.txt"));
    const std::string treno =
        leggi_tutto(file::percorso(d, std::string(c.linea) + "_" + c.treno + "-.txt"));
    ASSERT_FALSE(linea.empty() || treno.empty()) << d;
    esito_compilazione r = compila(linea, treno);
    EXPECT_EQ(r.codice_errore, 25) << c.cartella;
    std::vector<std::string> tracce;
    torna_uguale(r, c.cartella, &tracce);
    EXPECT_TRUE(traccia_di(tracce, c.stazione)) << c.cartella;
  }
}

namespace {

// A station entry whose read stops: its values, the last one stopping it.
struct fermata_in_stazione {
  std::string nome;
  std::vector<std::string> valori;
  bool fine_file = false;  // the file ends after the last value instead
};

// Every field of the entry with every way of stopping there, then the time
// and the zone that leave 32 bits; the values read before drawn from their
// whole fields.
std::vector<fermata_in_stazione> fermate_in_stazione() {
  constexpr int64_t m32 = std::numeric_limits<int32_t>::min(), M32 = -(m32 + 1);
  std::mt19937_64 g(7);
  auto tra = [&](int64_t a, int64_t b) {
    return a + static_cast<int64_t>(g() % static_cast<uint64_t>(b - a + 1));
  };
  // Field i (from 1 to 16) takes 32 bits (0), 8 bits unsigned (8) or 16 signed (16).
  const int bit[] = {0, 0, 8, 0, 8, 8, 8, 16, 16, 8, 16, 16, 16, 8, 0, 0, 0};
  auto campo = [&](int i, bool fuori) {  // zeros and edges, then anything; or past the edges
    const int64_t alto = bit[i] == 0 ? M32 : bit[i] == 8 ? 255 : 32767;
    const int64_t basso = bit[i] == 8 ? 0 : -alto - 1, x = tra(0, 3);
    if (fuori) return std::to_string(x < 2 ? alto + tra(1, 4 * M32) : basso - tra(1, 4 * M32));
    return std::to_string(x == 0 ? 0 : x == 1 ? (tra(0, 1) ? alto : basso) : tra(basso, alto));
  };
  auto valori = [&](int64_t p, int64_t l) {
    std::vector<std::string> v = {std::to_string(p), campo(2, false), std::to_string(l)};
    for (int i = 4; i <= 16; ++i)
      v.push_back(i >= 14 ? std::to_string(tra(0, 59)) : campo(i, false));
    v.push_back(tra(0, 1) ? "NOME" : "\"Nome, con virgola e \xe0\"");
    return v;
  };
  auto posizione = [&] { return 50 * (tra(0, 1) ? tra(1, 524) : -tra(1, -m32 / 50)); };
  std::vector<fermata_in_stazione> casi;
  const char* modi[] = {"il nome al posto di un numero", "un trattino", "un numero fuori dal campo",
                        "la fine del file"};
  for (int i = 1; i <= 17; ++i)
    for (int m = 0; m < 4; ++m) {
      if ((i == 17 && m != 3) || (i == 1 && m == 3)) continue;  // a name or no value takes no key
      std::vector<std::string> v = valori(posizione(), 100 * tra(m32 / 100, M32 / 100));
      v.resize(static_cast<size_t>(i - 1));
      if (m < 3) v.push_back(m == 0 ? "NOME" : m == 1 ? "-" : campo(i, true));
      casi.push_back({"campo " + std::to_string(i) + ", " + modi[m], v, m == 3});
    }
  std::vector<std::string> v = valori(posizione(), 0);
  v[13] = std::to_string(tra(0, 1) ? tra(M32 / 3600 + 1, M32) : tra(m32, m32 / 3600 - 1));
  casi.push_back({"orario oltre i 32 bit", v});
  // The zone's start (kinds 5 to 8 from the whole length, others from half), then its end.
  const int64_t su = 50 * tra(1, 524), giu = -50 * tra(21474837, -m32 / 50);
  const struct {
    const char* tipo;
    int64_t p, l;
  } zone[] = {{"5", su, -2147483600},          {"6", -su, 2147483600}, {"7", giu, 2147483600},
              {"8", su, -2147483600},          {"4", giu, 2147483600}, {"7", su, 2147483600},
              {"30", -1500000000, -2147483600}};
  for (const auto& z : zone) {
    v = valori(z.p, z.l);
    v[1] = z.tipo;
    casi.push_back({"zona oltre i 32 bit, tipo " + v[1] + ", " + v[0] + " m, " + v[2] + " m", v});
  }
  // Nothing but the name kept, as a sign's text would be.
  v.assign(16, "0");
  v[13] = "596524";
  v.push_back("NOME");
  casi.push_back({"orario oltre i 32 bit, nient'altro che il nome", v});
  return casi;
}

}  // namespace

// A read that stops at any field of a station entry, for any reason, with
// and without a station before: the record keeps what was read so far.
TEST(DecompilaSelvaggia, EveryStopInsideAStationEntryComesBack) {
  const std::string linea = sorgente({"[generale]", "lunghezza percorso, 20000", "[fine]"});
  for (const bool prima : {false, true})
    for (const fermata_in_stazione& c : fermate_in_stazione()) {
      const std::string nome = c.nome + (prima ? ", dopo un'altra stazione" : "");
      std::string treno = sorgente({"[generale]", "velocita, 0, 100", "aderenza, 0, 60"});
      if (prima) treno += "stazione, 2000, 4, 400, 1, 1, 1, 1, 2, 3, 4, 5, 6, 7, 8, 0, 0, A\r\n";
      treno += "stazione";
      for (const auto& x : c.valori) treno += ", " + x;
      if (!c.fine_file) treno += "\r\n[fine]\r\n";
      esito_compilazione r = compila(linea, treno);
      EXPECT_EQ(r.codice_errore, 25) << nome << "\n" << treno;
      std::vector<std::string> tracce;
      torna_uguale(r, nome, &tracce);
      // A position that cannot be read leaves nothing to show.
      if (c.nome.rfind("campo 1,", 0) != 0) {
        EXPECT_TRUE(traccia_di(tracce, prima ? "2" : "1")) << nome << "\n" << treno;
      }
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
  EXPECT_NO_THROW(compilato_da_memoria(r.compilati, "x", "7", s));
  compilati_modificabili m{s.tabella_linea, s.celle, std::string(s.byte_planimetria)};
  cambia(m);
  std::map<std::string, std::string> b = {{nome_tabella("x", "7"), immagine_tabella(m.t)},
                                          {nome_percorso("x", "7"), immagine_percorso(m.celle)},
                                          {nome_planimetria("x"), m.pianta}};
  scenario_compilato c;
  EXPECT_NO_THROW(compilato_da_memoria(b, "x", "7", c));
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
      {"a station stopped after its time takes its zone past 32 bits: none does at 35400 m", linea,
       treno, [](m& x) { x.t[11].inizio = x.t[11].fine = 0; },
       "valori che la lettura di una stazione non dà"},
      {"a position not a multiple of 50 stops the read before the kind", linea, treno,
       [](m& x) {
         x.t[11].posizione += 1;
         x.t[11].inizio = x.t[11].fine = 0;
       },
       "valori letti dopo la posizione che ferma la lettura"},
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
