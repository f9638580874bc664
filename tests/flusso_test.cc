// The plan file written while the plan is traced gives the same bytes as the
// plan written whole at the end, and leaves nothing behind when the run does
// not get that far.
#include <gtest/gtest.h>

#include "aiuti.h"
#include "driver/form1.h"
#include "output/flusso_planimetria.h"
#include "platform/file.h"
#include "tool/generatori/genera.h"

namespace {

struct compilato {
  int32_t codice = 0;
  std::string pianta, tabella, percorso;
  std::vector<std::string> elenco;
};

// A run of route "L", train 3, in folder t.
void prepara(Form1& f, const cartella_temporanea& t) {
  f.cartella = t.percorso;
  f.nome_linea = "L";
  f.numero_treno = "3";
}

// Compiles the sources with plans of `soglia` points or more streamed.
compilato compila(const std::string& linea, const std::string& treno, size_t soglia) {
  cartella_temporanea t;
  Form1 f;
  prepara(f, t);
  f.punti_in_flusso = soglia;
  file::sostituisci(f.file_linea(), linea);
  file::sostituisci(f.file_treno(), treno);
  int32_t j = 1;
  f.memorizza_percorso(j);
  compilato c;
  c.codice = f.codice_errore;
  c.pianta = leggi_tutto(t / "L_linea.dat");
  c.tabella = leggi_tutto(t / "L_3.sim");
  c.percorso = leggi_tutto(t / "L_3.dat");
  c.elenco = file::elenco(t.percorso);
  return c;
}

constexpr size_t kMai = ~size_t{0};

TEST(FlussoPlanimetria, SameBytesAsThePlanWrittenWhole) {
  struct caso {
    int km;
    uint64_t seme;
    const char* ritocco;  // a line put in the line source before its end
  };
  const caso casi[] = {
      {1, 1, nullptr},
      {37, 7, nullptr},
      {140, 12345, nullptr},  // above the bound the program streams from
      // A read that stops partway leaves the plan traced in part: the layout
      // differs from the one the stream reckoned with.
      {60, 3, "curva_x, 30000, 400\r\n"},
      {60, 3, "pendenza, abc\r\n"},
  };
  for (const caso& c : casi) {
    SCOPED_TRACE(std::to_string(c.km) + " km, seed " + std::to_string(c.seme));
    scenario_generato g = genera_scenario({c.km, c.seme, 4});
    if (c.ritocco) {
      // Halfway through the body: far enough for the stream to have begun.
      const size_t dove = g.linea.find("\r\n", g.linea.size() / 2) + 2;
      g.linea.insert(dove, c.ritocco);
    }
    const compilato intero = compila(g.linea, g.treno, kMai);
    ASSERT_FALSE(intero.pianta.empty());
    for (size_t soglia : {size_t{4}, kPuntiInFlusso}) {
      const compilato flusso = compila(g.linea, g.treno, soglia);
      EXPECT_EQ(flusso.codice, intero.codice);
      EXPECT_TRUE(flusso.pianta == intero.pianta) << "plan file differs, bound " << soglia;
      EXPECT_EQ(flusso.tabella, intero.tabella);
      EXPECT_EQ(flusso.percorso, intero.percorso);
      EXPECT_EQ(flusso.elenco, intero.elenco);  // no temporary file either
    }
    if (c.ritocco) {
      EXPECT_NE(intero.codice, 0);
    }
  }
}

// A board in cell 1 takes a stamp slot: the run ends with 1250 where the
// files are written, after the plan was streamed whole.
TEST(FlussoPlanimetria, RunEndedBeforeTheWriteLeavesThePlanInItsArrays) {
  cartella_temporanea t;
  Form1 f;
  f.con_finestra = false;
  prepara(f, t);
  f.punti_in_flusso = 4;
  scenario_generato g = genera_scenario({20, 9, 4});
  g.linea.insert(g.linea.find("cartello_indicatore"), "cartello_indicatore, 10, (uno)\r\n");
  file::sostituisci(f.file_linea(), g.linea);
  file::sostituisci(f.file_treno(), g.treno);
  scrivi_tutto(t / "L_linea.dat", "vecchio");
  int32_t j = 1;
  EXPECT_THROW(f.memorizza_percorso(j), fine_programma);
  EXPECT_EQ(leggi_tutto(t / "L_linea.dat"), "vecchio");
  EXPECT_EQ(file::elenco(t.percorso), std::vector<std::string>{"L_linea.dat"});
  // The same points as a read that keeps them in the arrays.
  Form1 r;
  prepara(r, t);
  r.j = 1;
  file::sostituisci(r.file_linea(), g.linea);
  file::sostituisci(r.file_treno(), g.treno);
  r.memorizza_dati();
  ASSERT_EQ(f.planimetria.punti(), r.planimetria.punti());
  EXPECT_TRUE(f.planimetria.genere == r.planimetria.genere);
  for (size_t m = 0; m + 2 < r.planimetria.punti(); ++m) {
    ASSERT_EQ(f.planimetria.x[m], r.planimetria.x[m]) << m;
    ASSERT_EQ(f.planimetria.y[m], r.planimetria.y[m]) << m;
  }
}

TEST(FlussoPlanimetria, NotFinishedLeavesTheOldFile) {
  cartella_temporanea t;
  const std::string nome = t / "L_linea.dat";
  scrivi_tutto(nome, "vecchio");
  planimetria_linea p;
  p.crea(200000);
  for (size_t m = 0; m < 2; ++m) {
    p.genere[m] = genere_punto::intero;
    p.x[m] = 0;
    p.y[m] = static_cast<double>(m);
  }
  {
    flusso_planimetria f(file::disco_reale(), nome, p);
    // The target, and the temporary file where it has a name while written.
    EXPECT_LE(file::elenco(t.percorso).size(), 2u);
    f.qx += 10 * f.spazio;
    f.qy += 10 * f.spazio;
    f.punti += f.spazio;
    f.consegna();
    EXPECT_FALSE(f.completo(p));
  }
  EXPECT_EQ(leggi_tutto(nome), "vecchio");
  EXPECT_EQ(file::elenco(t.percorso), std::vector<std::string>{"L_linea.dat"});
}

}  // namespace
