// The readers of compiled files in the authors' tool (dump, plot
// --from-compiled, decompile with its check, diff), fed three files that come
// from anywhere, with what must hold after every input: a result or a clear
// refusal (exit 0, 1 or 2), nothing written but the expected files into the
// output folder, the inputs untouched, a diff of an input with itself empty.
// Time and memory are bounded by the run's -timeout and -malloc_limit_mb.
//
// Input: one byte of options, three 32-bit little-endian lengths, then the
// table file (.sim), the track file (.dat) and the plan file (_linea.dat), in
// that order, each cut to what is left. A length of 0xFFFFFFFF leaves that
// file out.
#include <dirent.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "platform/file.h"
#include "tool/comandi/comandi.h"
#include "tool/decompilazione/decompila.h"
#include "tool/disegno/plot.h"

namespace {

const char* const kLinea = "L";
const char* const kTreno = "7";

[[noreturn]] void violata(const char* cosa, const std::string& dettaglio = {}) {
  std::fprintf(stderr, "\n*** compilati_fuzz: %s %s\n", cosa, dettaglio.c_str());
  std::abort();
}

std::vector<std::string> voci(const std::string& cartella) {
  std::vector<std::string> nomi;
  DIR* d = ::opendir(cartella.c_str());
  if (!d) violata("cartella sparita", cartella);
  while (dirent* e = ::readdir(d)) {
    std::string n = e->d_name;
    if (n != "." && n != "..") nomi.push_back(n);
  }
  ::closedir(d);
  return nomi;
}

void svuota(const std::string& cartella) {
  for (const auto& n : voci(cartella)) {
    std::string p = cartella + "/" + n;
    if (::unlink(p.c_str()) != 0) {
      svuota(p);
      ::rmdir(p.c_str());
    }
  }
}

// root/ holds in/ (the three inputs) and out/ (all a reader may write); the
// process's temporary folder is root/tmp, so a private compile stays inside.
struct lavoro {
  std::string radice, in, out, tmp;
  lavoro() {
    const char* t = std::getenv("TMPDIR");
    std::string modello = std::string(t && *t ? t : "/tmp") + "/compilati_fuzz-XXXXXX";
    if (!mkdtemp(modello.data())) violata("mkdtemp non riuscito");
    radice = modello;
    in = radice + "/in";
    out = radice + "/out";
    tmp = radice + "/tmp";
    for (const auto& d : {in, out, tmp}) ::mkdir(d.c_str(), 0700);
    ::setenv("TMPDIR", tmp.c_str(), 1);
    // The readers print a great deal; only the checks' own words matter.
    if (!std::freopen("/dev/null", "w", stdout)) violata("stdout");
  }
};

lavoro& cartelle() {
  static lavoro l;
  return l;
}

uint32_t u32(const uint8_t* p) {
  return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24;
}

int corri(int (*comando)(const argomenti&), const argomenti& a) {
  int stato = comando(a);
  if (stato != kUscitaOk && stato != kUscitaCodice && stato != kUscitaFallita)
    violata("stato inatteso", std::to_string(stato));
  return stato;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* dati, size_t n) {
  lavoro& l = cartelle();
  if (n < 13) return 0;
  const uint8_t opzioni = dati[0];
  const std::string nomi[3] = {std::string(kLinea) + "_" + kTreno + ".sim",
                               std::string(kLinea) + "_" + kTreno + ".dat",
                               std::string(kLinea) + "_linea.dat"};
  std::map<std::string, std::string> ingressi;
  size_t p = 13;
  for (int i = 0; i < 3; ++i) {
    uint32_t lunghezza = u32(dati + 1 + 4 * i);
    if (lunghezza == 0xFFFFFFFFu) continue;
    size_t k = std::min<size_t>(lunghezza, n - p);
    ingressi[nomi[i]] = std::string(reinterpret_cast<const char*>(dati + p), k);
    p += k;
  }
  for (const auto& [nome, b] : ingressi) file::sostituisci(l.in + "/" + nome, b);

  const std::string& in = l.in;
  const char* all = (opzioni & 1) ? "--all" : nullptr;
  for (const auto& [nome, _] : ingressi) {
    argomenti a{in + "/" + nome};
    if (all) a.push_back(all);
    if (opzioni & 2) a.push_back("--json");
    corri(comando_dump, a);
  }
  corri(comando_plot, {"--from-compiled", in, kLinea, kTreno, "-o", l.out + "/linea.svg"});
  // The sources come back into out/ and are compiled again there to check them.
  argomenti d{in, kLinea, kTreno, "--out", l.out, "--force"};
  if (opzioni & 2) d.push_back("--json");
  corri(comando_decompile, d);
  // The input against itself: the same entries, or the same refusal.
  if (corri(comando_diff, {in, in, kLinea, kTreno}) == kUscitaCodice)
    violata("diff vede differenze tra un ingresso e sé stesso");

  // Nothing but the inputs in in/, unchanged; in out/ only what the readers
  // write; nothing left in the temporary folder; nothing beside the three.
  std::vector<std::string> r = voci(l.radice);
  if (r.size() != 3) violata("file fuori dalle cartelle di lavoro");
  if (voci(l.in).size() != ingressi.size()) violata("file nuovi tra gli ingressi");
  for (const auto& [nome, b] : ingressi) {
    std::string letti;
    if (!file::leggi(l.in + "/" + nome, letti) || letti != b) violata("ingresso cambiato", nome);
  }
  for (const auto& n : voci(l.out))
    if (n != "linea.svg" && n != std::string(kLinea) + "_linea.txt" &&
        n != std::string(kLinea) + "_" + kTreno + "-.txt")
      violata("file inatteso tra le uscite", n);
  if (!voci(l.tmp).empty()) violata("file lasciati nella cartella temporanea", voci(l.tmp)[0]);
  for (const auto& d : {l.in, l.out}) svuota(d);
  return 0;
}
