// Benchmarks of the compile: the field reader, the whole compile, the reading
// half alone, the byte images and the writing of the compiled files.
//
// Argument 0 is the built-in scenario (37 km); any other argument is a
// generated line of that many km (seed 1, four named signs).
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <filesystem>
#include <map>
#include <sstream>
#include <stdexcept>
#include <string>

#include "compiler/campi.h"
#include "driver/form1.h"
#include "driver/predefiniti.h"
#include "model/formato.h"
#include "output/immagini.h"
#include "platform/file.h"
#include "tool/compilazione/compila.h"
#include "tool/decompilazione/decompila.h"
#include "tool/generatori/genera.h"

namespace {

struct cartella_temporanea {
  std::string percorso;
  cartella_temporanea() {
    std::string modello =
        (std::filesystem::temp_directory_path() / "compattatore-bench-XXXXXX").string();
    if (!mkdtemp(modello.data())) throw std::runtime_error("mkdtemp");
    percorso = modello;
  }
  ~cartella_temporanea() {
    std::error_code ec;
    std::filesystem::remove_all(percorso, ec);
  }
};

struct sorgenti {
  std::string nome_linea;
  std::string numero_treno;
  std::string linea;
  std::string treno;
};

// Built once per argument and kept: generating is not what is measured.
const sorgenti& sorgenti_di(int km) {
  static std::map<int, sorgenti> fatte;
  auto trovata = fatte.find(km);
  if (trovata != fatte.end()) return trovata->second;
  sorgenti s;
  if (km == 0) {
    cartella_temporanea t;
    Form1 f;
    f.cartella = t.percorso;
    f.nome_linea = kNomeLineaPredefinito;
    f.numero_treno = kNumeroTrenoPredefinito;
    f.dati_linea();
    f.dati_treno();
    file::leggi(f.file_linea(), s.linea);
    file::leggi(f.file_treno(), s.treno);
    s.nome_linea = f.nome_linea;
    s.numero_treno = f.numero_treno;
  } else {
    scenario_generato g = genera_scenario({km, 1, 4});
    s.linea = std::move(g.linea);
    s.treno = std::move(g.treno);
    s.nome_linea = "gen";
    s.numero_treno = "1";
  }
  return fatte.emplace(km, std::move(s)).first->second;
}

// A run object over a folder with the two sources in place.
void prepara(Form1& f, const std::string& cartella, const sorgenti& s) {
  f.cartella = cartella;
  f.nome_linea = s.nome_linea;
  f.numero_treno = s.numero_treno;
  file::sostituisci(f.file_linea(), s.linea);
  file::sostituisci(f.file_treno(), s.treno);
}

// The records of a finished compile, before anything is written.
struct compilato {
  cartella_temporanea t;
  Form1 f;
  explicit compilato(int km) {
    prepara(f, t.percorso, sorgenti_di(km));
    f.j = 1;
    f.memorizza_dati();
    f.rifinisci_percorso();
  }
};

// The plan file's bytes whole, as the writer hands them in pieces.
std::string immagine_planimetria(const planimetria_linea& p) {
  std::string r;
  planimetria_a_pezzi(p, size_t{1} << 20, [&](uint64_t, std::string_view pezzo) { r += pezzo; });
  return r;
}

void etichetta(benchmark::State& st, int km) {
  st.SetLabel(km == 0 ? "built-in 37 km" : std::to_string(km) + " km generated");
}

// Every field of the 1000 km sources read as text, as the readers read tokens.
void BM_lettore_campi_testo(benchmark::State& st) {
  const sorgenti& s = sorgenti_di(1000);
  const std::string testo = s.linea + s.treno;
  int64_t campi = 0;
  for (auto _ : st) {
    lettore_campi f(testo);
    while (!f.fine()) {
      benchmark::DoNotOptimize(f.testo());
      ++campi;
    }
  }
  st.SetBytesProcessed(st.iterations() * static_cast<int64_t>(testo.size()));
  st.counters["campi/s"] =
      benchmark::Counter(static_cast<double>(campi), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_lettore_campi_testo);

// Keys and their numbers, as the readers read entries: the gradient points of
// the 1000 km line (2 numbers each) and its signals (11 numbers each).
void BM_lettore_campi_voci(benchmark::State& st) {
  const sorgenti& s = sorgenti_di(1000);
  std::string testo;
  std::istringstream in(s.linea + s.treno);
  std::string riga;
  while (std::getline(in, riga))
    if (riga.rfind("pendenza", 0) == 0 || riga.rfind("segnale", 0) == 0) testo += riga + "\n";
  int64_t campi = 0;
  for (auto _ : st) {
    lettore_campi f(testo);
    while (!f.fine()) {
      std::string chiave = f.testo();
      int n = chiave[0] == 'p' ? 2 : 11;
      for (int i = 0; i < n; ++i) benchmark::DoNotOptimize(f.numero());
      campi += n + 1;
    }
  }
  st.SetBytesProcessed(st.iterations() * static_cast<int64_t>(testo.size()));
  st.counters["campi/s"] =
      benchmark::Counter(static_cast<double>(campi), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_lettore_campi_voci);

// The whole compile in a temporary folder: the two sources written, read,
// finished, stamped and the three compiled files written.
void BM_compilazione(benchmark::State& st) {
  const int km = static_cast<int>(st.range(0));
  const sorgenti& s = sorgenti_di(km);
  cartella_temporanea t;
  for (auto _ : st) {
    Form1 f;
    prepara(f, t.percorso, s);
    int32_t j = 1;
    f.memorizza_percorso(j);
    if (f.codice_errore != 0) st.SkipWithError("the compile left an error code");
  }
  etichetta(st, km);
}
BENCHMARK(BM_compilazione)->Arg(0)->Arg(100)->Arg(1000)->Unit(benchmark::kMillisecond);

// check against compile: one compile in memory, without and with check's
// warnings (the runs of the train between timed stations among them).
void BM_controllo(benchmark::State& st) {
  const int km = static_cast<int>(st.range(0));
  const sorgenti& s = sorgenti_di(km);
  opzioni_compilazione o;
  o.cartella_sorgenti = ".";
  o.linea = s.nome_linea;
  o.treno = s.numero_treno;
  o.testo_linea = &s.linea;
  o.testo_treno = &s.treno;
  o.uscita = uscita_compilati::memoria;
  o.avvisi = st.range(1) != 0;
  for (auto _ : st) {
    const esito_compilazione e = compila_scenario(o);
    if (e.codice_errore != 0) st.SkipWithError("the compile left an error code");
  }
  st.SetLabel(std::string(o.avvisi ? "check, " : "compile, ") +
              (km == 0 ? "built-in 37 km" : std::to_string(km) + " km generated"));
}
BENCHMARK(BM_controllo)
    ->Args({0, 0})
    ->Args({0, 1})
    ->Args({1000, 0})
    ->Args({1000, 1})
    ->Unit(benchmark::kMillisecond);

// The reading half alone (sources written, then read with the plan traced).
void BM_lettura(benchmark::State& st) {
  const int km = static_cast<int>(st.range(0));
  const sorgenti& s = sorgenti_di(km);
  cartella_temporanea t;
  for (auto _ : st) {
    Form1 f;
    prepara(f, t.percorso, s);
    f.j = 1;
    f.memorizza_dati();
    benchmark::DoNotOptimize(f.planimetria.x.data());
  }
  etichetta(st, km);
}
BENCHMARK(BM_lettura)->Arg(0)->Arg(100)->Arg(1000)->Unit(benchmark::kMillisecond);

// The byte images of the three compiled files, in memory only.
void BM_immagini(benchmark::State& st) {
  const int km = static_cast<int>(st.range(0));
  compilato c(km);
  int64_t byte = 0;
  for (auto _ : st) {
    std::string a = immagine_planimetria(c.f.planimetria);
    std::string b = immagine_tabella(c.f.tabella_linea);
    std::string d = immagine_percorso(c.f.celle_percorso);
    byte += static_cast<int64_t>(a.size() + b.size() + d.size());
    benchmark::DoNotOptimize(a.data());
    benchmark::DoNotOptimize(b.data());
    benchmark::DoNotOptimize(d.data());
  }
  st.SetBytesProcessed(byte);
  etichetta(st, km);
}
BENCHMARK(BM_immagini)->Arg(0)->Arg(100)->Arg(1000)->Unit(benchmark::kMillisecond);

// The plan file encoded in pieces, both columns, nothing written: what the
// encoding costs beside the write.
void BM_codifica_planimetria(benchmark::State& st) {
  const int km = static_cast<int>(st.range(0));
  compilato c(km);
  int64_t byte = 0;
  for (auto _ : st) {
    planimetria_a_pezzi(c.f.planimetria, size_t{1} << 20, [&](uint64_t, std::string_view d) {
      benchmark::DoNotOptimize(d.data());
      byte += static_cast<int64_t>(d.size());
    });
  }
  st.SetBytesProcessed(byte);
  etichetta(st, km);
}
BENCHMARK(BM_codifica_planimetria)->Arg(1000)->Unit(benchmark::kMillisecond);

// The writing of the compiled files alone, as the compile does it: stamps,
// check codes, the plan written in pieces, the table and the track.
void BM_scrittura_file(benchmark::State& st) {
  const int km = static_cast<int>(st.range(0));
  compilato c(km);
  const size_t byte = immagine_planimetria(c.f.planimetria).size() +
                      immagine_tabella(c.f.tabella_linea).size() +
                      immagine_percorso(c.f.celle_percorso).size();
  for (auto _ : st) {
    st.PauseTiming();  // a fresh copy of the records, unstamped, with the plan
    Form1 f;
    f.con_finestra = false;
    f.cartella = c.f.cartella;
    f.nome_linea = c.f.nome_linea;
    f.numero_treno = c.f.numero_treno;
    f.j = 1;
    f.tabella_linea = c.f.tabella_linea;
    f.celle_percorso = c.f.celle_percorso;
    f.planimetria = c.f.planimetria;
    st.ResumeTiming();
    f.scrivi_file_compilati();
  }
  st.SetBytesProcessed(st.iterations() * static_cast<int64_t>(byte));
  etichetta(st, km);
}
BENCHMARK(BM_scrittura_file)->Arg(0)->Arg(100)->Arg(1000)->Unit(benchmark::kMillisecond);

// The same bytes, already built, replacing the same files: the floor of the
// writing inside the process.
void BM_solo_scrittura(benchmark::State& st) {
  const int km = static_cast<int>(st.range(0));
  compilato c(km);
  Form1& f = c.f;
  const std::string a = immagine_planimetria(f.planimetria);
  const std::string b = immagine_tabella(f.tabella_linea);
  const std::string d = immagine_percorso(f.celle_percorso);
  for (auto _ : st) {
    file::sostituisci(f.nel_programma(formato::nome_planimetria(f.nome_linea)), a);
    file::sostituisci(f.nel_programma(formato::nome_tabella(f.nome_linea, f.numero_treno)), b);
    file::sostituisci(f.nel_programma(formato::nome_percorso(f.nome_linea, f.numero_treno)), d);
  }
  st.SetBytesProcessed(st.iterations() * static_cast<int64_t>(a.size() + b.size() + d.size()));
  etichetta(st, km);
}
BENCHMARK(BM_solo_scrittura)->Arg(0)->Arg(100)->Arg(1000)->Unit(benchmark::kMillisecond);

// The whole decompile of a compiled line, its check included: the three files
// read, the two sources written, compiled again and compared. The goal is at
// most ten times BM_compilazione of the same line.
void BM_decompilazione(benchmark::State& st) {
  const int km = static_cast<int>(st.range(0));
  const sorgenti& s = sorgenti_di(km);
  cartella_temporanea t;
  {
    Form1 f;
    prepara(f, t.percorso, s);
    int32_t j = 1;
    f.memorizza_percorso(j);
  }
  opzioni_decompilazione o;
  o.cartella = t.percorso;
  o.linea = s.nome_linea;
  o.treno = s.numero_treno;
  o.forza = true;
  for (auto _ : st) {
    esito_decompilazione e = decompila_cartella(o);
    if (!e.identico) st.SkipWithError("the round trip is not identical");
  }
  etichetta(st, km);
}
BENCHMARK(BM_decompilazione)->Arg(0)->Arg(100)->Arg(1000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
