// scenario preview: the page of the line served on 127.0.0.1, compiled again
// in memory whenever a source changes and pushed to the page; with --edit the
// page's edits are written to the sources.
#include "tool/server/anteprima/anteprima.h"

#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/file.h"
#include "platform/interruzione.h"
#include "platform/osservazione.h"
#include "tool/bozza/bozza.h"
#include "tool/comune/argomenti.h"
#include "tool/server/anteprima/servizio.h"

int comando_preview(const argomenti& a) {
  argomenti_letti l;
  if (int s = leggi_argomenti("preview", a,
                              {{"--port", "un numero di porta"},
                               {"--utf8"},
                               {"--map", "una mappa"},
                               {"--edit"},
                               {"--pacchetto", "una cartella"}},
                              3, "SRCDIR ROUTE TRAIN", l);
      s >= 0)
    return s;
  impostazioni_anteprima imp;
  imp.utf8 = l.ha("--utf8");
  imp.linea = l.posizionali[1];
  imp.treno = l.posizionali[2];
  if (int n = nomi_scenario("preview", imp.linea, imp.treno); n >= 0) return n;
  if (l.ha("--port") && !leggi_porta(l.valore("--port"), imp.porta))
    return errore_uso("preview", "--port vuole un numero da 0 a 65535");
  // Absolute, so that the page's links open the files from anywhere.
  imp.cartella = file::assoluto(l.posizionali[0]);
  bozza::binari_mappa binari;
  if (l.ha("--map")) {
    std::string motivo;
    if (!bozza::leggi_binari(l.valore("--map"), binari, motivo)) {
      std::fprintf(stderr, "scenario preview: %s\n", motivo.c_str());
      return kUscitaFallita;
    }
    imp.binari = &binari;
  }
  const bool modifica = l.ha("--edit");
  if (modifica) imp.scrittore = scrittore_disco(imp.utf8);
  if (l.ha("--pacchetto") && !modifica) return errore_uso("preview", "--pacchetto vale con --edit");
  // The page's pack: where the author says, or beside the sources in a
  // folder of its own named after the scenario.
  if (modifica)
    imp.cartella_pacchetto = file::assoluto(
        l.valore("--pacchetto", file::percorso(imp.cartella, imp.linea + "_" + imp.treno)));
  if (modifica && file::stessa_voce(imp.cartella_pacchetto, imp.cartella))
    return errore_uso("preview", "il pacchetto non va scritto nella cartella dei sorgenti");
  imp.registro = [](const std::string& riga) {
    std::printf("%s\n", riga.c_str());
    std::fflush(stdout);
  };
  const std::string linea = imp.linea, treno = imp.treno,
                    cartella_pacchetto = imp.cartella_pacchetto;
  servizio_anteprima s(std::move(imp));
  std::string motivo;
  if (!s.apri(motivo)) {
    std::fprintf(stderr, "scenario preview: %s\n", motivo.c_str());
    return kUscitaFallita;
  }
  std::printf("Anteprima di %s, treno %s: %s\n", linea.c_str(), treno.c_str(),
              s.indirizzo().c_str());
  std::printf(modifica ? "Si aggiorna a ogni salvataggio dei sorgenti, e la pagina li modifica "
                         "(--edit); Ctrl-C la ferma.\n"
                       : "Si aggiorna a ogni salvataggio dei sorgenti; Ctrl-C la ferma.\n");
  if (modifica) std::printf("Il pacchetto della pagina va in %s\n", cartella_pacchetto.c_str());
  std::fflush(stdout);
  interruzione::trattieni();
  const bool fermo = s.esegui([&] {
    if (interruzione::chiesta()) s.ferma();
  });
  std::printf("Anteprima fermata.\n");
  std::fflush(stdout);
  if (!fermo) std::_Exit(kUscitaOk);
  return kUscitaOk;
}
