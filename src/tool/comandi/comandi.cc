#include "tool/comandi/comandi.h"

#include <cstdio>

#include "driver/form1.h"
#include "driver/predefiniti.h"
#include "model/formato.h"
#include "model/regole.h"
#include "platform/file.h"
#include "platform/testo.h"
#include "tool/compilazione/compila.h"
#include "tool/compilazione/messaggi.h"
#include "tool/comune/argomenti.h"
#include "tool/comune/json.h"

int comando_sources(const argomenti& a) {
  argomenti_letti l;
  if (int s = leggi_argomenti("sources", a, {}, 1, "una cartella", l); s >= 0) return s;
  file::crea_cartelle(l.posizionali[0]);
  Form1 f;
  f.cartella = l.posizionali[0];
  f.nome_linea = kNomeLineaPredefinito;
  f.numero_treno = kNumeroTrenoPredefinito;
  try {
    f.dati_linea();
    f.dati_treno();
    f.dati_note();
    f.dati_rallentamenti();
    f.dati_scheda();
  } catch (const file::errore_io& e) {
    std::fprintf(stderr, "scenario: %s\n", e.what());
    return kUscitaFallita;
  }
  std::vector<std::string> scritti = {f.file_linea(), f.file_treno()};
  for (const char* coda : formato::kDocumenti)
    scritti.push_back(f.nel_programma(formato::nome_documento(f.nome_linea, f.numero_treno, coda)));
  for (const std::string& n : scritti) std::printf("scritto %s\n", n.c_str());
  return kUscitaOk;
}

namespace {

void stampa_json(const esito_compilazione& e) {
  std::string out = "{\"codice_errore\":" +
                    std::to_string(regole::codice_rimasto(e.codice_fatale, e.codice_errore)) +
                    ",\"posizione_errore\":" + std::to_string(e.posizione_errore) + ",\"files\":[";
  for (size_t i = 0; i < e.files.size(); ++i) out += (i ? "," : "") + json_testo(e.files[i]);
  out += "]";
  if (!e.errore_io.empty()) out += ",\"errore\":" + json_testo(e.errore_io);
  out += json_errore(e) + "}\n";
  std::fputs(out.c_str(), stdout);
}

// The files written, with their folder; a pending code says first that
// they hold only what was read before it.
void stampa_testo(const esito_compilazione& e, const std::string& cartella) {
  if (!e.errore_io.empty()) {
    std::fprintf(stderr, "scenario: %s\n", e.errore_io.c_str());
    return;
  }
  std::fputs(testo_errore(e).c_str(), stderr);
  std::fputs(rapporto_compile(e, cartella).c_str(), stdout);
}

}  // namespace

int comando_compile(const argomenti& a) {
  argomenti_letti l;
  if (int s = leggi_argomenti("compile", a,
                              {{"--out", "una cartella"}, {"--no-plan"}, {"--utf8"}, {"--json"}}, 3,
                              "SRCDIR ROUTE TRAIN", l);
      s >= 0)
    return s;
  opzioni_compilazione o;
  const bool json = l.ha("--json");
  o.cartella_uscita = l.valore("--out");
  o.planimetria = !l.ha("--no-plan");
  o.utf8 = l.ha("--utf8");
  o.cartella_sorgenti = l.posizionali[0];
  o.linea = l.posizionali[1];
  o.treno = l.posizionali[2];
  if (int s = nomi_scenario("compile", o.linea, o.treno); s >= 0) return s;
  esito_compilazione e = compila_scenario(o);
  if (json)
    stampa_json(e);
  else
    stampa_testo(e, o.cartella_uscita.empty() ? o.cartella_sorgenti : o.cartella_uscita);
  return e.stato();
}
