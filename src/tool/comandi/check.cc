// scenario check: the compile's report and its warnings, writing nothing.
#include <cstdio>

#include "model/regole.h"
#include "tool/comandi/comandi.h"
#include "tool/compilazione/compila.h"
#include "tool/compilazione/messaggi.h"
#include "tool/comune/argomenti.h"
#include "tool/comune/json.h"

namespace {

void stampa_json(const esito_compilazione& e) {
  std::string out = "{\"codice_errore\":" +
                    std::to_string(regole::codice_rimasto(e.codice_fatale, e.codice_errore)) +
                    ",\"posizione_errore\":" + std::to_string(e.posizione_errore);
  if (!e.errore_io.empty()) out += ",\"errore\":" + json_testo(e.errore_io);
  out += json_errore(e) + ",\"avvisi\":[";
  for (size_t i = 0; i < e.avvisi.size(); ++i) out += (i ? "," : "") + json_avviso(e.avvisi[i]);
  out += "]}\n";
  std::fputs(out.c_str(), stdout);
}

void stampa_testo(const esito_compilazione& e) {
  if (!e.errore_io.empty()) {
    std::fprintf(stderr, "scenario: %s\n", e.errore_io.c_str());
    return;
  }
  std::fputs(rapporto_check(e).c_str(), stdout);
}

}  // namespace

int comando_check(const argomenti& a) {
  argomenti_letti l;
  if (int s = leggi_argomenti("check", a, {{"--utf8"}, {"--json"}}, 3, "SRCDIR ROUTE TRAIN", l);
      s >= 0)
    return s;
  opzioni_compilazione o;
  o.uscita = uscita_compilati::nessuna;
  o.avvisi = true;
  o.utf8 = l.ha("--utf8");
  const bool json = l.ha("--json");
  o.cartella_sorgenti = l.posizionali[0];
  o.linea = l.posizionali[1];
  o.treno = l.posizionali[2];
  if (int s = nomi_scenario("check", o.linea, o.treno); s >= 0) return s;
  const esito_compilazione e = compila_scenario(o);
  if (json)
    stampa_json(e);
  else
    stampa_testo(e);
  return e.stato();
}
