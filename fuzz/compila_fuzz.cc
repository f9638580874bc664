// The whole compile (memorizza_percorso with the plan switch on) from two
// sources made of the fuzzer's bytes, with what must hold after every input.
//
// Input: the line source, one 0xFF byte, the train source. Without a 0xFF the
// whole input is the line source and no train source is written. A leading
// 0xFE byte leaves out the line source (the rest still splits at 0xFF).
#include <dirent.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "driver/codici.h"
#include "driver/form1.h"
#include "model/numeri.h"
#include "platform/file.h"

namespace {

const char* const kLinea = "FerziaPS-Calvorano";
const char* const kTreno = "24617";

[[noreturn]] void violata(const char* cosa, const std::string& dettaglio = {}) {
  std::fprintf(stderr, "\n*** compila_fuzz: %s %s\n", cosa, dettaglio.c_str());
  std::abort();
}

void pretendi(bool vero, const char* cosa, const std::string& dettaglio = {}) {
  if (!vero) violata(cosa, dettaglio);
}

// One folder for the whole process, emptied before every input.
struct cartella_lavoro {
  std::string percorso;
  cartella_lavoro() {
    const char* tmp = std::getenv("TMPDIR");
    std::string modello = std::string(tmp && *tmp ? tmp : "/tmp") + "/compila_fuzz-XXXXXX";
    if (!mkdtemp(modello.data())) violata("mkdtemp non riuscito");
    percorso = modello;
  }
  ~cartella_lavoro() {
    svuota();
    ::rmdir(percorso.c_str());
  }
  std::vector<std::string> voci() const {
    std::vector<std::string> nomi;
    DIR* d = ::opendir(percorso.c_str());
    if (!d) violata("cartella di lavoro sparita", percorso);
    while (dirent* e = ::readdir(d)) {
      std::string n = e->d_name;
      if (n != "." && n != "..") nomi.push_back(n);
    }
    ::closedir(d);
    return nomi;
  }
  void svuota() const {
    for (const auto& n : voci()) ::unlink((percorso + "/" + n).c_str());
  }
  std::string operator/(const std::string& n) const { return percorso + "/" + n; }
};

cartella_lavoro& lavoro() {
  static cartella_lavoro c;
  return c;
}

// Little-endian reads over a compiled file, failing past its end.
struct lettore {
  const std::string& b;
  size_t p = 0;
  const char* file;
  void serve(size_t n) const {
    if (b.size() - p < n) violata("file compilato troncato", file);
  }
  uint8_t u8() {
    serve(1);
    return static_cast<uint8_t>(b[p++]);
  }
  uint16_t u16() {
    uint16_t v = u8();
    return static_cast<uint16_t>(v | u8() << 8);
  }
  int32_t i32() {
    uint32_t v = u16();
    v |= static_cast<uint32_t>(u16()) << 16;
    return static_cast<int32_t>(v);
  }
  void salta(size_t n) {
    serve(n);
    p += n;
  }
};

// Codes after which the line read ended before its plan was run out: the
// explicit line errors and the read failure (which may come from either half).
bool pianta_forse_incompleta(int32_t c) {
  switch (c) {
    case codice::lunghezza_eccessiva:
    case codice::ripetizione_inizio:
    case codice::ripetizione_fine:
    case codice::ripetizione_codici:
    case codice::cartello_occupato:
    case codice::indicatori_occupati:
    case codice::generale_mancante:
    case codice::curva_errata:
    case codice::lettura_fallita:
      return true;
    default:
      return false;
  }
}

// Codes that end the whole read inside the line source: the train source is
// then never opened and stays where it is.
bool treno_non_letto(int32_t c) {
  return c == codice::linea_mancante ||
         (pianta_forse_incompleta(c) && c != codice::lettura_fallita);
}

struct tabella_letta {
  int32_t lunghezza = 0;  // entry 84, fine
  int16_t timbro = 0;     // entry 85, parametro_1
  int32_t codice_st = 0;  // entry 85, orario
};

tabella_letta leggi_tabella(const std::string& b) {
  lettore r{b, 0, ".sim"};
  tabella_letta t;
  for (int e = 0; e < kVociTabella; ++e) {
    r.salta(5);
    int32_t fine = r.i32();
    r.salta(5);
    size_t n = r.u16();
    r.salta(n);
    int16_t parametro_1 = static_cast<int16_t>(r.u16());
    r.salta(12);
    int32_t orario = r.i32();
    if (e == 84) t.lunghezza = fine;
    if (e == 85) t.timbro = parametro_1, t.codice_st = orario;
  }
  pretendi(r.p == b.size(), "byte in piu in fondo al file .sim");
  return t;
}

// Each column of the plan holds `punti` tagged elements, the second with the
// same kinds as the first; a run-out plan has exactly the kinds a straight or
// bent line leaves.
void controlla_pianta(const std::string& b, int64_t punti, bool completa) {
  std::vector<uint8_t> generi(static_cast<size_t>(punti));
  const auto* d = reinterpret_cast<const unsigned char*>(b.data());
  size_t p = 0;
  for (int colonna = 0; colonna < 2; ++colonna) {
    for (size_t m = 0; m < generi.size(); ++m) {
      if (b.size() - p < 2) violata("planimetria troncata");
      const unsigned g = d[p] | d[p + 1] << 8;
      p += 2;
      if (g == genere_punto::intero) {
        p += 2;
      } else if (g == genere_punto::doppio) {
        p += 8;
      } else if (g != genere_punto::vuoto) {
        violata("genere sconosciuto nella planimetria", std::to_string(g));
      }
      if (p > b.size()) violata("planimetria troncata");
      if (colonna == 0) {
        generi[m] = static_cast<uint8_t>(g);
      } else if (generi[m] != g) {
        violata("le due colonne della planimetria non hanno gli stessi generi", std::to_string(m));
      }
    }
  }
  pretendi(p == b.size(), "byte in piu in fondo alla planimetria");
  if (!completa) return;
  const int64_t atteso = 2 * (12 + 10 * (punti - 4));
  pretendi(static_cast<int64_t>(b.size()) == atteso, "planimetria non portata fino in fondo",
           std::to_string(b.size()) + " invece di " + std::to_string(atteso));
}

void controlla(Form1& f, bool con_linea, bool con_treno, const std::string& treno, int32_t fatale) {
  cartella_lavoro& c = lavoro();
  const int32_t cod = f.codice_errore;
  const std::string dettaglio = "codice " + std::to_string(cod);
  pretendi(cod == codice::nessuno || !codice::significato(cod).empty(),
           "codice fuori dalla tabella", dettaglio);
  pretendi(fatale == 0 || fatale == codice::timbri_occupati || fatale == codice::codici_occupati,
           "fine del programma con un codice inatteso", std::to_string(fatale));
  pretendi((cod == codice::linea_mancante) == !con_linea, "codice 101 senza ragione", dettaglio);

  // Sources: the line source never stays; the train source only when the
  // read ended before it, and then exactly as written.
  const std::string linea_txt = std::string(kLinea) + "_linea.txt";
  const std::string treno_txt = std::string(kLinea) + "_" + kTreno + "-.txt";
  const std::string nomi_compilati[] = {std::string(kLinea) + "_linea.dat",
                                        std::string(kLinea) + "_" + kTreno + ".sim",
                                        std::string(kLinea) + "_" + kTreno + ".dat"};
  pretendi(!file::esiste(c / linea_txt), "la sorgente della linea e rimasta", dettaglio);
  const bool treno_resta = con_treno && treno_non_letto(cod);
  if (treno_resta) {
    std::string dati;
    pretendi(file::leggi(c / treno_txt, dati) && dati == treno,
             "la sorgente del treno non letta e cambiata o sparita", dettaglio);
  } else {
    pretendi(!file::esiste(c / treno_txt), "la sorgente del treno e rimasta", dettaglio);
  }

  // Nothing else in the folder: no temporary file left behind.
  int compilati = 0;
  for (const auto& n : c.voci()) {
    if (n == treno_txt && treno_resta) continue;
    bool noto = false;
    for (const auto& k : nomi_compilati) noto = noto || n == k;
    pretendi(noto, "file inatteso nella cartella", n);
    ++compilati;
  }

  const bool scritti = fatale == 0 && !f.celle_percorso.empty();
  pretendi(compilati == (scritti ? 3 : 0), "file compilati mancanti o di troppo",
           dettaglio + ", " + std::to_string(compilati) + " file");
  if (!scritti) return;

  std::string sim, dat, pianta;
  file::leggi(c / nomi_compilati[0], pianta);
  file::leggi(c / nomi_compilati[1], sim);
  file::leggi(c / nomi_compilati[2], dat);

  const tabella_letta t = leggi_tabella(sim);
  pretendi(t.lunghezza == f.tabella_linea[84].fine, "lunghezza diversa tra memoria e file .sim");
  pretendi(t.lunghezza >= 0 && t.lunghezza <= 1000000,
           "file compilati per una lunghezza fuori dai limiti", std::to_string(t.lunghezza));
  const int64_t ultima = arrotonda(int64_t{t.lunghezza} + 7000, 50);
  pretendi(static_cast<int64_t>(dat.size()) == 15 * (ultima + 1),
           "il file delle celle non corrisponde alla lunghezza",
           std::to_string(dat.size()) + " byte, lunghezza " + std::to_string(t.lunghezza));
  pretendi(dat.size() == 15 * f.celle_percorso.size(), "celle in memoria e su file diverse");

  lettore r{dat, 16, ".dat"};
  pretendi(r.u16() == 5121, "timbro del percorso mancante");
  pretendi(static_cast<int16_t>(r.u16()) == f.codice_gara_og(), "codice og errato");
  pretendi(t.timbro == 610, "timbro della tabella mancante");
  pretendi(t.codice_st == f.codice_gara_st(), "codice st errato");

  controlla_pianta(pianta, int64_t{t.lunghezza} + 7001, !pianta_forse_incompleta(cod));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* dati, size_t n) {
  cartella_lavoro& c = lavoro();
  c.svuota();
  std::string ingresso(reinterpret_cast<const char*>(dati), n);

  bool con_linea = true;
  if (!ingresso.empty() && static_cast<unsigned char>(ingresso[0]) == 0xFE) {
    con_linea = false;
    ingresso.erase(0, 1);
  }
  size_t taglio = ingresso.find('\xFF');
  const bool con_treno = taglio != std::string::npos;
  const std::string linea = ingresso.substr(0, taglio);
  const std::string treno = con_treno ? ingresso.substr(taglio + 1) : std::string();

  Form1 f;
  f.con_finestra = false;  // 1250 and 1251 are checked here, not shown
  f.cartella = c.percorso;
  f.nome_linea = kLinea;
  f.numero_treno = kTreno;
  // Half the inputs have even their shortest plan written while it is traced,
  // so the stream, and its way back to the arrays when the read stops
  // partway, meet every kind of source.
  if (ingresso.size() % 2 == 1) f.punti_in_flusso = 4;
  try {
    if (con_linea) file::sostituisci(f.file_linea(), linea);
    if (con_treno) file::sostituisci(f.file_treno(), treno);
  } catch (const file::errore_io& e) {
    violata("impossibile preparare le sorgenti:", e.what());
  }

  int32_t fatale = 0;
  int32_t j = 1;
  try {
    f.memorizza_percorso(j);
  } catch (const fine_programma& fine) {
    fatale = fine.codice;
  } catch (const file::errore_io& e) {
    // The harness's folder is its own: only the file system can make this happen.
    violata("scrittura fallita nella cartella di lavoro:", e.what());
  }
  controlla(f, con_linea, con_treno, treno, fatale);
  return 0;
}
