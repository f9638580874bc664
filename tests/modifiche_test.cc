// The page's intents made into lines of the sources, on the built-in ones:
// what is written, where, in which layout, and what is refused.
#include "tool/server/anteprima/modifiche.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "aiuti.h"
#include "model/impaginazione.h"
#include "platform/testo.h"
#include "tool/compilazione/compila.h"
#include "tool/disegno/documento.h"
#include "tool/server/anteprima/servizio.h"
#include "tool/server/lsp/sorgenti_lsp.h"

namespace {

// The sources as a page would have been shown them.
struct mostrate : sorgenti_predefinite {
  sorgenti_mostrate s;
  mostrate() { rileggi(); }
  void rileggi() {
    s.file = {linea(), treno()};
    s.testo = {leggi_tutto(linea()), leggi_tutto(treno())};
    s.letto = {true, true};
    s.voci =
        compila_scenario(compilazione_anteprima(t.percorso, "FerziaPS-Calvorano", "24617")).voci;
    ++s.versione;
  }
  // The intent on line n of file k with its text as shown.
  intento su(genere_intento g, int k, int64_t n) const {
    intento i;
    i.genere = g;
    i.versione = s.versione;
    i.file = s.file[static_cast<size_t>(k)];
    i.riga = n;
    const std::vector<riga_testo> r = righe_di(s.testo[static_cast<size_t>(k)]);
    i.testo = s.testo[static_cast<size_t>(k)].substr(
        r[static_cast<size_t>(n - 1)].inizio,
        r[static_cast<size_t>(n - 1)].fine - r[static_cast<size_t>(n - 1)].inizio);
    return i;
  }
  // Applies the edit to its file and compiles again; the code left.
  int32_t applica(const modifica& m) {
    const std::string& f = s.file[static_cast<size_t>(m.file)];
    scrivi_tutto(f, applica_righe(s.testo[static_cast<size_t>(m.file)], m.righe));
    rileggi();
    return compila_scenario(compilazione_anteprima(t.percorso, "FerziaPS-Calvorano", "24617"))
        .codice_errore;
  }
  std::string riga(int k, int n) const {
    const std::vector<riga_testo> r = righe_di(s.testo[static_cast<size_t>(k)]);
    const riga_testo& x = r[static_cast<size_t>(n - 1)];
    return s.testo[static_cast<size_t>(k)].substr(x.inizio, x.fine - x.inizio);
  }
};

TEST(Modifiche, AMovedEntryKeepsItsLayoutAndStationsTheirOrder) {
  mostrate m;
  const std::string prima = m.s.testo[1];
  modifica x;
  rifiuto r;
  intento i = m.su(genere_intento::sposta, 1, 24);
  i.posizione = 21812;  // a station stands on a multiple of 50
  ASSERT_TRUE(prepara_modifica(i, m.s, x, r)) << r.perche;
  ASSERT_EQ(m.applica(x), 0);
  std::string atteso = prima;
  atteso.replace(atteso.find("   21600, 12,"), 13, "   21800, 12,");
  EXPECT_EQ(m.s.testo[1], atteso);

  // Past CORVELLA (26450): the line goes after it, the rest in place.
  i = m.su(genere_intento::sposta, 1, 24);
  i.posizione = 27800;
  ASSERT_TRUE(prepara_modifica(i, m.s, x, r)) << r.perche;
  ASSERT_EQ(m.applica(x), 0);
  EXPECT_EQ(m.riga(1, 24).substr(0, 17), "stazione,   26450");
  EXPECT_EQ(m.riga(1, 25),
            "stazione,   27800, 12,  300,  0, 0, 0,  1,1,0,  4,1,1,   40,  14,50,51, GRUZO");
  EXPECT_EQ(m.s.testo[1].size(), prima.size());

  // A signal, wider than before, eats the blanks before it; signals keep
  // their lines whatever their order.
  const int n = m.cambia(m.treno(), "segnale,     850,", "segnale,     850,");
  m.rileggi();
  i = m.su(genere_intento::sposta, 1, n);
  i.posizione = 36999;
  ASSERT_TRUE(prepara_modifica(i, m.s, x, r)) << r.perche;
  ASSERT_EQ(x.righe.size(), 1u);
  EXPECT_EQ(x.righe[0].righe[0].substr(0, 17), "segnale,   36999,");
  EXPECT_EQ(sostituisci_campo("a,   5, b", 5, 6, "12345"), "a, 12345, b");
}

TEST(Modifiche, TimeDeleteAddAndWhatIsRefused) {
  mostrate m;
  modifica x;
  rifiuto r;
  intento i = m.su(genere_intento::orario, 1, 24);
  i.ora = 14 * 3600 + 52 * 60;
  ASSERT_TRUE(prepara_modifica(i, m.s, x, r)) << r.perche;
  ASSERT_EQ(m.applica(x), 0);
  EXPECT_EQ(m.riga(1, 24),
            "stazione,   21600, 12,  300,  0, 0, 0,  1,1,0,  4,1,1,   40,  14,52, 0, GRUZO");

  // A board added at 12345 m stands among the boards in order, as the
  // formatter would write it.
  i = {};
  i.genere = genere_intento::aggiungi;
  i.versione = m.s.versione;
  i.posizione = 12345;
  i.oggetto = "indicatore";
  i.velocita = {1635, 0, 95};
  ASSERT_TRUE(prepara_modifica(i, m.s, x, r)) << r.perche;
  ASSERT_EQ(m.applica(x), 0);
  const auto nuova = std::find_if(m.s.voci.begin(), m.s.voci.end(), [](const voce_letta& v) {
    return v.chiave && v.campi.size() > 1 && v.campi[0] == "12345";
  });
  ASSERT_NE(nuova, m.s.voci.end());
  EXPECT_EQ(std::string(nuova->chiave->genere), "indicatori_vmax");
  const std::string& riga_nuova = nuova->dove.testo;
  const auto posizione = [&](int n) { return std::stoll(m.riga(0, n).substr(16)); };
  EXPECT_LT(posizione(nuova->dove.riga - 1), 12345);
  EXPECT_GT(posizione(nuova->dove.riga + 1), 12345);
  const std::string formattata = lsp::impagina(m.s.testo[0], formato::sorgente::linea, "\r\n");
  const riga_testo f = righe_di(formattata)[static_cast<size_t>(nuova->dove.riga - 1)];
  EXPECT_EQ(formattata.substr(f.inizio, f.fine - f.inizio), riga_nuova);

  const size_t righe = righe_di(m.s.testo[1]).size();
  ASSERT_TRUE(prepara_modifica(m.su(genere_intento::elimina, 1, 24), m.s, x, r));
  ASSERT_EQ(m.applica(x), 0);
  EXPECT_EQ(righe_di(m.s.testo[1]).size(), righe - 1);

  // Refused, with nothing prepared: another version, another text, a line
  // past the end, a line with no entry, a file that is no source shown.
  i = m.su(genere_intento::sposta, 1, 24);
  i.posizione = 1000;
  const auto rifiutato = [&](void (*cambia)(intento&, const mostrate&), int stato) {
    intento j = i;
    cambia(j, m);
    modifica y;
    rifiuto z;
    EXPECT_FALSE(prepara_modifica(j, m.s, y, z));
    EXPECT_EQ(z.stato, stato) << z.perche;
  };
  rifiutato([](intento& j, const mostrate&) { --j.versione; }, 409);
  rifiutato([](intento& j, const mostrate&) { j.testo += " "; }, 409);
  rifiutato([](intento& j, const mostrate&) { j.riga = 100000; }, 409);
  rifiutato([](intento& j, const mostrate& x) { j.riga = 1, j.testo = x.riga(1, 1); }, 409);
  rifiutato(
      [](intento& j, const mostrate& x) { j.file = x.t / "FerziaPS-Calvorano_24617_note.txt"; },
      400);
  rifiutato([](intento& j, const mostrate&) { j.posizione = -1; }, 400);
  for (const char* corpo : {"[]", "{\"intento\":\"rinomina\",\"versione\":1}",
                            "{\"intento\":\"sposta\",\"versione\":1,\"posizione\":\"1\"}", "{"}) {
    intento j;
    EXPECT_FALSE(leggi_intento(corpo, j, r)) << corpo;
    EXPECT_EQ(r.stato, 400);
  }
}

// A station dragged so that its stop lands on a signal's cell: the compile
// of the edited sources refuses it, naming the signal and where it stands,
// and the sources on the disk still compile; a move that compiles passes.
TEST(Modifiche, AnEditThatWouldNotCompileIsNeverWritten) {
  mostrate m;
  const opzioni_compilazione o =
      compilazione_anteprima(m.t.percorso, "FerziaPS-Calvorano", "24617");
  const std::string prima = m.s.testo[1];
  modifica x;
  rifiuto r;
  intento i = m.su(genere_intento::sposta, 1, 24);
  i.posizione = 23200;  // its stop falls on the cell of the signal at 23250
  ASSERT_TRUE(prepara_modifica(i, m.s, x, r)) << r.perche;
  EXPECT_FALSE(compila_modifica(x, m.s, 0, o, r));
  EXPECT_EQ(r.stato, 409);
  for (const char* parte : {"nulla scritto", "errore 16", "24617-.txt:44", "23250 m", "km "})
    EXPECT_NE(r.perche.find(parte), std::string::npos) << parte << " in " << r.perche;
  // A code the shown sources had already is not the edit's.
  EXPECT_TRUE(compila_modifica(x, m.s, 16, o, r));
  EXPECT_EQ(leggi_tutto(m.treno()), prima);
  EXPECT_EQ(compila_scenario(o).codice_errore, 0);

  i.posizione = 21812;
  ASSERT_TRUE(prepara_modifica(i, m.s, x, r)) << r.perche;
  EXPECT_TRUE(compila_modifica(x, m.s, 0, o, r)) << r.perche;
}

// A sign's text is what its field can carry, counted in the source's
// characters; the reader gives back what was asked, and a refusal says why.
TEST(Modifiche, ASignsTextIsWhatItsFieldCanCarry) {
  mostrate m;
  int64_t posizione = 12345;
  const auto cartello = [&](const std::string& scritta, modifica& x, rifiuto& r) {
    intento i;
    i.genere = genere_intento::aggiungi;
    i.versione = m.s.versione;
    i.posizione = posizione += 500;
    i.oggetto = "cartello";
    i.scritta = scritta;
    return prepara_modifica(i, m.s, x, r);
  };
  std::string a200;
  for (int k = 0; k < 200; ++k) a200 += "\xC3\x80";  // "À", two bytes of UTF-8
  for (const std::string& scritta : {a200, std::string("P.L. Km 3, 500")}) {
    modifica x;
    rifiuto r;
    ASSERT_TRUE(cartello(scritta, x, r)) << r.perche;
    ASSERT_EQ(m.applica(x), 0);
    EXPECT_TRUE(std::any_of(m.s.voci.begin(), m.s.voci.end(), [&](const voce_letta& v) {
      return v.chiave && v.campi.size() == 2 && v.campi[1] == testo::a_1252(scritta);
    })) << scritta;
  }
  const struct {
    std::string scritta, motivo;
  } rifiutate[] = {
      {"", "vuoto"},
      {std::string("a\0b", 3), "U+0000"},
      {"\x1b[2J", "U+001B"},
      {"a\tb", "U+0009"},
      {"a\r\nfine, 1", "U+000D"},
      {"\xC2\x81", "U+0081"},  // a byte Windows-1252 leaves unassigned
      {"\x7F", "U+007F"},
      {"Gy\xC5\x91r", "«\xC5\x91» al carattere 3"},
      {a200 + "\xC3\x80", "201 caratteri"},
      {"\"A, B\"", "virgolette"},
      {"\xFF", "UTF-8"},
  };
  for (const auto& c : rifiutate) {
    modifica x;
    rifiuto r;
    EXPECT_FALSE(cartello(c.scritta, x, r)) << c.motivo;
    EXPECT_EQ(r.stato, 400) << c.motivo;
    EXPECT_NE(r.perche.find(c.motivo), std::string::npos) << r.perche;
  }
}

// Each line whole: one of the other program's saves or one of the page's lines.
bool righe_intere(const std::string& t) {
  for (const riga_testo& r : righe_di(t)) {
    const std::string riga = t.substr(r.inizio, r.fine - r.inizio);
    if (r.inizio < t.size() && riga.rfind("altro ", 0) != 0 && riga.rfind("pagina ", 0) != 0)
      return false;
  }
  return t.size() >= 2 && t.substr(t.size() - 2) == "\r\n";
}

// The file as the preview reads it: shared with a program that renames over
// it meanwhile, as Windows would not let an ordinary read be.
std::string letto(const std::string& nome) {
  std::string dati;
  file::leggi_al_piu(nome, 1 << 20, dati);
  return dati;
}

bool salvato(const std::string& nome, const std::string& dati) {
  try {
    file::sostituisci(nome, dati);
    return true;
  } catch (const file::errore_io&) {
    return false;
  }
}

// Another program saves the source whole (by a rename, as editors do), over
// and over, while the page edits it: whatever the timing, none of its saves
// is lost to an edit and no file read is a mix. Each round ends with the
// other program's last save, under the page's edits made on it and nothing
// else. Also where the system cannot exchange two files.
TEST(ModificheSuDisco, AnotherProgramsSavesAreNeverLost) {
  for (const char* senza_scambio :
       {"COMPATTATORE_TEST_SENZA_SCAMBIO=", "COMPATTATORE_TEST_SENZA_SCAMBIO=1"}) {
    SCOPED_TRACE(senza_scambio);
    putenv(const_cast<char*>(senza_scambio));
    cartella_temporanea t;
    const std::string nome = t / "R_linea.txt";
    scrivi_tutto(nome, "altro 0 0\r\n");
    const std::unique_ptr<scrittore_sorgenti> pagina = scrittore_disco(false);
    int fatte = 0;
    for (int giro = 1; giro <= 20; ++giro) {
      std::atomic<bool> finito{false};
      std::string ultimo;
      // Windows refuses a rename over a file open elsewhere (the page reading
      // it): the other program, as editors do, saves again.
      std::thread altro([&] {
        for (int k = 1; k <= 20; ++k) {
          ultimo = "altro " + std::to_string(giro) + " " + std::to_string(k) + "\r\n";
          for (int prova = 0; !salvato(nome, ultimo); ++prova) {
            if (prova < 10000) continue;
            ADD_FAILURE() << "the other program never saved";
            break;
          }
        }
        finito = true;
      });
      for (bool dopo = false; !dopo;) {
        dopo = finito;
        stato_mostrato x;
        x.s.file[0] = nome;
        x.s.letto[0] = true;
        x.byte[0] = letto(nome);
        EXPECT_TRUE(righe_intere(x.byte[0])) << x.byte[0];
        modifica m;
        m.righe = {{0, 0, {"pagina " + std::to_string(fatte)}}};
        int stato = 0;
        pagina->applica(m, x, [&](int s, const std::string&) { stato = s; });
        fatte += stato == 200;
        // Nothing else writes now: the edit is made.
        if (dopo) {
          EXPECT_EQ(stato, 200);
        }
      }
      altro.join();
      const std::string fine = letto(nome);
      EXPECT_TRUE(righe_intere(fine)) << fine;
      ASSERT_GE(fine.size(), ultimo.size()) << fine;
      EXPECT_EQ(fine.find("altro"), fine.size() - ultimo.size()) << "giro " << giro << ": " << fine;
      EXPECT_EQ(fine.substr(fine.size() - ultimo.size()), ultimo) << fine;
    }
    EXPECT_EQ(file::elenco(t.percorso), std::vector<std::string>{"R_linea.txt"});
  }
  putenv(const_cast<char*>("COMPATTATORE_TEST_SENZA_SCAMBIO="));
}

}  // namespace
