// scenario pack: the six files the simulator reads, into a folder or a zip.
#include "tool/pacchetto/pacchetto.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "aiuti.h"
#include "platform/disco_memoria.h"
#include "platform/file.h"
#include "writers/documenti.h"

namespace fs = std::filesystem;

namespace {

const char* const kSei[] = {"FerziaPS-Calvorano_linea.dat",
                            "FerziaPS-Calvorano_24617.sim",
                            "FerziaPS-Calvorano_24617.dat",
                            "FerziaPS-Calvorano_24617_note.txt",
                            "FerziaPS-Calvorano_24617_rallentamenti.txt",
                            "FerziaPS-Calvorano_24617_scheda_treno.txt"};

// Every file of a folder with its bytes.
std::map<std::string, std::string> contenuto(const std::string& cartella) {
  std::map<std::string, std::string> r;
  for (const auto& v : fs::directory_iterator(cartella))
    r[v.path().filename().string()] = leggi_tutto(v.path().string());
  return r;
}

uint32_t le(const std::string& b, size_t i, int n) {
  uint32_t v = 0;
  for (int k = n - 1; k >= 0; --k) v = (v << 8) | static_cast<unsigned char>(b[i + k]);
  return v;
}

uint32_t crc_bit_per_bit(const std::string& b) {
  uint32_t c = 0xFFFFFFFFu;
  for (unsigned char x : b) {
    c ^= x;
    for (int k = 0; k < 8; ++k) c = (c >> 1) ^ (0xEDB88320u & (0u - (c & 1)));
  }
  return ~c;
}

// The entries of a stored zip, from its central directory, each checked
// against its local header and its CRC.
std::map<std::string, std::string> voci_zip(const std::string& z) {
  std::map<std::string, std::string> r;
  const size_t fine = z.size() - 22;
  EXPECT_EQ(le(z, fine, 4), 0x06054b50u);
  size_t c = le(z, fine + 16, 4);
  for (uint32_t n = le(z, fine + 10, 2); n > 0; --n) {
    EXPECT_EQ(le(z, c, 4), 0x02014b50u);
    const uint32_t crc = le(z, c + 16, 4), byte = le(z, c + 24, 4), l = le(z, c + 28, 2);
    const size_t locale = le(z, c + 42, 4);
    const std::string nome = z.substr(c + 46, l);
    EXPECT_EQ(le(z, locale, 4), 0x04034b50u);
    EXPECT_EQ(le(z, locale + 8, 2), 0u) << "stored";
    const std::string dati = z.substr(locale + 30 + le(z, locale + 26, 2), byte);
    EXPECT_EQ(crc_bit_per_bit(dati), crc) << nome;
    r[nome] = dati;
    c += 46 + l + le(z, c + 30, 2) + le(z, c + 32, 2);
  }
  return r;
}

// The lines of a document, each ended by CR LF.
std::vector<std::string> righe(const std::string& b) {
  std::vector<std::string> r;
  for (size_t i = 0; i < b.size();) {
    const size_t f = b.find("\r\n", i);
    EXPECT_NE(f, std::string::npos) << "a line without CR LF";
    if (f == std::string::npos) break;
    r.push_back(b.substr(i, f - i));
    i = f + 2;
  }
  return r;
}

}  // namespace

// The folder `sources` writes packs into the compactor's own six files, in a
// folder or in a zip, and the sources stay as they were; into their own
// folder it is refused.
TEST(ScenarioPack, TheBuiltInSourcesGiveTheCompactorsSixFiles) {
  cartella_temporanea t;
  fs::create_directory(t / "prog");
  fs::copy_file(programma(COMPATTATORE_BIN), t / ("prog/" + kCompattatore));
  ASSERT_EQ(esegui(t / ("prog/" + kCompattatore) + " >/dev/null 2>&1"), 0);
  ASSERT_EQ(esegui_scenario("sources " + (t / "src")), 0);
  const auto prima = contenuto(t / "src");
  std::string uscita;
  ASSERT_EQ(esegui_scenario(
                "pack " + (t / "src") + " FerziaPS-Calvorano 24617 --out " + (t / "out"), &uscita),
            0)
      << uscita;
  ASSERT_EQ(
      esegui_scenario("pack " + (t / "src") + " FerziaPS-Calvorano 24617 --zip " + (t / "s.zip")),
      0);
  const auto fatti = contenuto(t / "out");
  const auto nello_zip = voci_zip(leggi_tutto(t / "s.zip"));
  EXPECT_EQ(fatti.size(), 6u);
  EXPECT_EQ(nello_zip.size(), 6u);
  for (const char* n : kSei) {
    const std::string atteso = leggi_tutto(t / (std::string("prog/") + n));
    EXPECT_TRUE(fatti.count(n) && fatti.at(n) == atteso) << n;
    EXPECT_TRUE(nello_zip.count(n) && nello_zip.at(n) == atteso) << n;
  }
  EXPECT_EQ(contenuto(t / "src"), prima);
  // What is there already is replaced only when asked.
  EXPECT_EQ(
      esegui_scenario("pack " + (t / "src") + " FerziaPS-Calvorano 24617 --zip " + (t / "s.zip")),
      2);
  EXPECT_EQ(
      esegui_scenario("pack " + (t / "src") + " FerziaPS-Calvorano 24617 --out " + (t / "out")), 2);
  EXPECT_EQ(contenuto(t / "out"), fatti);
  EXPECT_EQ(esegui_scenario("pack " + (t / "src") + " FerziaPS-Calvorano 24617 --out " +
                            (t / "out") + " --force"),
            0);
  EXPECT_EQ(
      esegui_scenario("pack " + (t / "src") + " FerziaPS-Calvorano 24617 --out " + (t / "src/.")),
      64);
  EXPECT_EQ(esegui_scenario("pack " + (t / "src") + " FerziaPS-Calvorano 24617 --zip " +
                            (t / "src/p.zip")),
            64);
  EXPECT_EQ(esegui_scenario("pack " + (t / "src") + " FerziaPS-Calvorano 24617"), 64);
  EXPECT_EQ(contenuto(t / "src"), prima);
}

// A code the compile leaves is refused with compile's own message, and
// nothing is written.
TEST(ScenarioPack, ASourceWithACodeIsRefused) {
  sorgenti_predefinite s;
  s.cambia(s.linea(), "lunghezza percorso,    37000", "lunghezza percorso,    3000");
  cartella_temporanea t;
  const std::string comando = programma(SCENARIO_BIN) + " %s " + s.t.percorso +
                              " FerziaPS-Calvorano 24617 --out " + (t / "%s") + " 2>" +
                              (t / "errore") + " >/dev/null";
  auto esegui_con = [&](const char* sotto, const char* out, std::string& errore) {
    std::string c = comando;
    c.replace(c.find("%s"), 2, sotto);
    c.replace(c.find("%s"), 2, out);
    const int stato = esegui(c);
    errore = leggi_tutto(t / "errore");
    return stato;
  };
  std::string compilato, pacchetto;
  ASSERT_EQ(esegui_con("compile", "c", compilato), 1);
  ASSERT_NE(compilato.find("errore 15"), std::string::npos) << compilato;
  EXPECT_EQ(esegui_con("pack", "p", pacchetto), 1);
  EXPECT_EQ(pacchetto.substr(0, compilato.size()), compilato);
  EXPECT_NE(pacchetto.find("nessun file scritto"), std::string::npos) << pacchetto;
  EXPECT_EQ(
      esegui_scenario("pack " + s.t.percorso + " FerziaPS-Calvorano 24617 --zip " + (t / "p.zip")),
      1);
  EXPECT_FALSE(esiste_file(t / "p"));
  EXPECT_FALSE(esiste_file(t / "p.zip"));
}

// Documents the folder lacks are made from the compiled scenario, in the
// built-in's layout: the slowdown list of a train without slowdowns is the
// built-in's, the sheet has its frame and a row of each station with its time.
TEST(ScenarioPack, MissingDocumentsAreMadeFromTheCompiledScenario) {
  sorgenti_predefinite s;
  const std::string rallentamenti = leggi_tutto(s.t / kSei[4]);
  for (int i = 3; i < 6; ++i) fs::remove(s.t / kSei[i]);
  esito_compilazione e;
  auto p = pacchetto::componi({s.t.percorso, "FerziaPS-Calvorano", "24617"}, e);
  ASSERT_TRUE(p) << p.errore().messaggio();
  ASSERT_EQ(p->size(), 6u);
  for (int i = 3; i < 6; ++i) EXPECT_FALSE((*p)[i].dai_sorgenti);
  EXPECT_EQ((*p)[4].dati, rallentamenti);
  const std::vector<std::string> scheda = righe((*p)[5].dati);
  const auto base = documenti::scheda();
  ASSERT_EQ(scheda.size(), base.size());
  for (size_t i : {0, 1, 2, 3, 6, 7, 8, 10, 11, 12, 13, 14, 15, 34, 35})
    EXPECT_EQ(scheda[i], base[i]) << i;
  for (size_t i = 3; i < 35; ++i)
    EXPECT_EQ(scheda[i].size(), std::string(base[i]).size()) << scheda[i];
  EXPECT_NE(scheda[4].find("TRENO n.24617"), std::string::npos);
  // Each station of the built-in train on a row of its own, in order, with
  // its time where it has one.
  const struct {
    const char* nome;
    const char* ora;
  } stazioni[] = {{"FERZIA PORTA SOLVENTRA", "14.25"},
                  {"BIVIO ROVENELLO", ""},
                  {"CORVELLA", "14.56+"},
                  {"CALVORANO", "15.10"}};
  size_t riga = documenti::kPrimaRigaOrario;
  for (const auto& x : stazioni) {
    while (riga < 34 && scheda[riga].find(x.nome) == std::string::npos) ++riga;
    ASSERT_LT(riga, 34u) << x.nome;
    if (*x.ora) {
      EXPECT_NE(scheda[riga].find(x.ora), std::string::npos) << scheda[riga];
    }
  }
  const std::string note = (*p)[3].dati;
  EXPECT_NE(note.find("***NOTE SUL TRENO 24617***\r\n"), std::string::npos);
  EXPECT_NE(note.find("N.RO RALLENTAMENTI: 0\r\n"), std::string::npos);
  EXPECT_NE(note.find("\xE8"), std::string::npos) << "è in Windows-1252";
}

// The six files appear together or not at all: a rename refused part way
// gives every file placed before it its old bytes back.
TEST(ScenarioPack, FilesAppearTogetherOrNotAtAll) {
  cartella_temporanea t;
  scrivi_tutto(t / "a", "vecchio");
  std::vector<file::file_da_scrivere> w;
  for (const char* n : {"a", "b", "c", "d", "e", "f"}) w.push_back({t / n, n});
  for (int n = 1; n <= 6; ++n) {
    disco_guasto g(file::disco_reale());
    g.guasto_alla_chiusura = n;
    EXPECT_THROW(file::sostituisci_insieme(g, w), file::errore_io);
    EXPECT_EQ(contenuto(t.percorso), (std::map<std::string, std::string>{{"a", "vecchio"}})) << n;
  }
  file::sostituisci_insieme(file::disco_reale(), w);
  EXPECT_EQ(contenuto(t.percorso).size(), 6u);
}
