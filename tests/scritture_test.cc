// Writes that fail or are cut short: what a failed write leaves, and what a
// later run removes of the temporary files a run killed outright left.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "aiuti.h"
#include "driver/form1.h"
#include "model/formato.h"
#include "platform/avanzi.h"
#include "platform/disco_memoria.h"
#include "platform/processo.h"

namespace {

const std::string kLinea = "FerziaPS-Calvorano", kTreno = "24617";

std::set<std::string> nomi(const std::string& cartella) {
  auto v = file::elenco(cartella);
  return {v.begin(), v.end()};
}

// The built-in run's steps (without its window) through a disk of files in
// memory.
void corsa(Form1& f, file::disco& d) {
  f.disco = &d;
  f.con_finestra = false;
  f.cartella = "programma";
  f.nome_linea = kLinea;
  f.numero_treno = kTreno;
  f.dati_linea();
  f.dati_treno();
  f.dati_note();
  f.dati_rallentamenti();
  f.dati_scheda();
  int32_t piano = 1;
  f.memorizza_percorso(piano);
}

}  // namespace

TEST(Avanzi, TheirNamesCarryTheOwner) {
  const struct {
    const char* voce;
    bool nostro;
    unsigned long numero;
  } casi[] = {
      {"L_linea.dat.tmp-4711-a1B2c3", true, 4711},
      {"L_linea.dat.tmp-1-zzzzzz", true, 1},
      {"L_linea.dat.tmp-4294967295-000000", true, 4294967295ul},
      {"L_linea.dat.tmp-a1B2c3", false, 0},        // the scheme without an owner
      {"L_linea.dat.tmp-4711-a1B2c", false, 0},    // five letters
      {"L_linea.dat.tmp-4711-a1B2c3d", false, 0},  // seven
      {"L_linea.dat.tmp--a1B2c3", false, 0},
      {"L_linea.dat.tmp-47x1-a1B2c3", false, 0},
      {"L_linea.dat.tmp-4711-a1.2c3", false, 0},
      {"L_linea.dat", false, 0},
      {"X_linea.dat.tmp-4711-a1B2c3", false, 0},  // another file's
      {"L_linea.datx.tmp-4711-a1B2c3", false, 0},
  };
  for (const auto& c : casi) {
    unsigned long n = 0;
    EXPECT_EQ(avanzi::proprietario(c.voce, "L_linea.dat", n), c.nostro) << c.voce;
    if (c.nostro) {
      EXPECT_EQ(n, c.numero) << c.voce;
    }
  }
  unsigned long n = 0;
  const std::string mio = avanzi::prefisso("L_linea.dat") + "abc123";
  EXPECT_TRUE(avanzi::proprietario(mio, "L_linea.dat", n)) << mio;
  EXPECT_EQ(n, processo::numero());
}

// A run removes the temporary files of its own files whose owner has ended,
// and nothing else: not those of a run still going, not other names.
TEST(Avanzi, ARunRemovesWhatDeadRunsLeftOnly) {
  const unsigned long morto = numero_finito(), vivo = processo::numero();
  ASSERT_NE(morto, 0u);
  ASSERT_FALSE(processo::in_vita(morto));
  ASSERT_TRUE(processo::in_vita(vivo));
  const std::string compilato = formato::nome_planimetria(kLinea);
  const std::string documento = formato::nome_documento(kLinea, kTreno, "note.txt");
  const std::string sorgente = formato::nome_sorgente_linea(kLinea);
  auto avanzo = [](const std::string& di, unsigned long n) {
    return di + ".tmp-" + std::to_string(n) + "-a1B2c3";
  };
  const std::vector<std::string> via = {avanzo(compilato, morto), avanzo(documento, morto),
                                        avanzo(sorgente, morto)};
  const std::vector<std::string> restano = {avanzo(compilato, vivo), compilato + ".tmp-a1B2c3",
                                            avanzo("altro.dat", morto),
                                            avanzo(compilato, morto) + "x"};

  cartella_temporanea t;
  std::filesystem::copy_file(programma(COMPATTATORE_BIN), t / kCompattatore);
  for (const auto& n : via) scrivi_tutto(t / n, "avanzo");
  for (const auto& n : restano) scrivi_tutto(t / n, "altro");
  ASSERT_EQ(esegui(t / kCompattatore + " >/dev/null 2>&1"), 0);
  const std::set<std::string> dopo = nomi(t.percorso);
  for (const auto& n : via) EXPECT_FALSE(dopo.count(n)) << n;
  for (const auto& n : restano) EXPECT_TRUE(dopo.count(n)) << n;

  // The tool's compile, the same.
  cartella_temporanea s;
  ASSERT_EQ(esegui(programma(SCENARIO_BIN) + " sources " + s.percorso + " >/dev/null"), 0);
  scrivi_tutto(s / avanzo(compilato, morto), "avanzo");
  scrivi_tutto(s / avanzo(compilato, vivo), "altro");
  ASSERT_EQ(esegui(programma(SCENARIO_BIN) + " compile " + s.percorso + " " + kLinea + " " +
                   kTreno + " >/dev/null"),
            0);
  EXPECT_FALSE(esiste_file(s / avanzo(compilato, morto)));
  EXPECT_TRUE(esiste_file(s / avanzo(compilato, vivo)));
}

// Each write of the built-in run fails in turn (the disk in memory fails it):
// the run ends with the file's name, and every file in the folder is either
// the one that was there or the whole new one; no other name.
TEST(ScrittureFallite, EachWriteOfTheRunInTurnLeavesWholeFilesOnly) {
  file::disco_memoria rif;
  disco_guasto conta(rif);
  Form1 f;
  corsa(f, conta);
  ASSERT_EQ(f.codice_errore, 0);
  const int scritture = conta.scritture;
  ASSERT_GT(scritture, 8);
  // The documents and compiled files go to a real folder; the sources, read
  // back by the run, stay in memory.
  std::vector<std::string> su_disco = {formato::nome_planimetria(kLinea),
                                       formato::nome_tabella(kLinea, kTreno),
                                       formato::nome_percorso(kLinea, kTreno)};
  for (const char* coda : formato::kDocumenti)
    su_disco.push_back(formato::nome_documento(kLinea, kTreno, coda));

  for (int n = 1; n <= scritture; ++n) {
    SCOPED_TRACE(n);
    cartella_temporanea t;
    file::disco_memoria d;
    for (const auto& nome : su_disco) {
      scrivi_tutto(t / nome, "la versione di prima");
      d.su_disco[file::percorso("programma", nome)] = t / nome;
    }
    disco_guasto g_d(d);
    g_d.guasto_alla_scrittura = n;
    Form1 g;
    try {
      corsa(g, g_d);
      ADD_FAILURE() << "the run went on past the failed write";
    } catch (const file::errore_io& e) {
      EXPECT_NE(std::string(e.what()).find("disco pieno"), std::string::npos) << e.what();
    }
    const std::set<std::string> dopo = nomi(t.percorso);
    EXPECT_EQ(dopo, std::set<std::string>(su_disco.begin(), su_disco.end()));
    for (const auto& nome : su_disco) {
      const std::string dati = leggi_tutto(t / nome);
      EXPECT_TRUE(dati == "la versione di prima" ||
                  dati == rif.file.at(file::percorso("programma", nome)))
          << nome << " is neither the old file nor the whole new one";
    }
  }
}
