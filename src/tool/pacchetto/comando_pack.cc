// `scenario pack SRCDIR ROUTE TRAIN (--out DIR | --zip FILE.zip) [--utf8] [--force]`.
#include <cstdio>
#include <string>
#include <vector>

#include "platform/file.h"
#include "tool/compilazione/messaggi.h"
#include "tool/pacchetto/pacchetto.h"

namespace {

// The folder a file's name lies in: what comes before its last separator.
std::string cartella_di(const std::string& nome) {
  const size_t i = nome.find_last_of(std::string("/") + file::separatore);
  if (i == std::string::npos) return ".";
  return i == 0 ? nome.substr(0, 1) : nome.substr(0, i);
}

void stampa_scritti(const std::string& dove, const std::vector<pacchetto::file_pacchetto>& files,
                    bool in_zip) {
  for (const pacchetto::file_pacchetto& f : files)
    std::printf("scritto %s%s (%s)\n", in_zip ? (dove + ": ").c_str() : "",
                in_zip ? f.nome.c_str() : file::percorso(dove, f.nome).c_str(),
                f.dai_sorgenti ? "preso dai sorgenti" : "dallo scenario compilato");
}

}  // namespace

int comando_pack(const argomenti& a) {
  argomenti_letti l;
  if (int s = leggi_argomenti(
          "pack", a, {{"--out", "una cartella"}, {"--zip", "un file"}, {"--utf8"}, {"--force"}}, 3,
          "SRCDIR ROUTE TRAIN", l);
      s >= 0)
    return s;
  pacchetto::richiesta r{l.posizionali[0], l.posizionali[1], l.posizionali[2], l.ha("--utf8")};
  if (int s = nomi_scenario("pack", r.linea, r.treno); s >= 0) return s;
  if (l.ha("--out") == l.ha("--zip"))
    return errore_uso("pack", "serve --out DIR oppure --zip FILE.zip (uno solo dei due)");
  const bool in_zip = l.ha("--zip");
  const std::string dove = in_zip ? l.valore("--zip") : l.valore("--out");
  if (file::stessa_voce(in_zip ? cartella_di(dove) : dove, r.cartella_sorgenti))
    return errore_uso("pack", "il pacchetto non va scritto nella cartella dei sorgenti " +
                                  r.cartella_sorgenti + ": si scelga un'altra cartella");
  esito_compilazione e;
  auto p = pacchetto::componi(r, e);
  if (!p) {
    const guasto& g = p.errore();
    if (g.genere == genere_guasto::codice || e.codifica)
      std::fputs(g.testo.c_str(), stderr);
    else
      std::fprintf(stderr, "scenario: %s\n", g.messaggio().c_str());
    std::fprintf(stderr, "scenario: pack: nessun file scritto\n");
    return e.stato() != kUscitaOk ? e.stato() : stato_uscita(g);
  }
  // What is already there is an author's, an earlier pack's or not: replaced
  // only when asked, and nothing written while one of them stands in the way.
  std::vector<std::string> bersagli;
  if (in_zip)
    bersagli.push_back(dove);
  else
    for (const pacchetto::file_pacchetto& f : *p) bersagli.push_back(file::percorso(dove, f.nome));
  for (const std::string& b : bersagli)
    if (std::string perche = ostacolo_sorgente(b, l.ha("--force")); !perche.empty()) {
      std::fprintf(stderr, "scenario: pack: %s\nscenario: pack: nessun file scritto\n",
                   perche.c_str());
      return kUscitaFallita;
    }
  riuscita w = in_zip ? pacchetto::scrivi_zip(dove, *p) : pacchetto::scrivi_cartella(dove, *p);
  if (!w) {
    std::fprintf(stderr, "scenario: %s\nscenario: pack: nessun file scritto\n",
                 w.errore().messaggio().c_str());
    return stato_uscita(w.errore());
  }
  stampa_scritti(dove, *p, in_zip);
  return kUscitaOk;
}
