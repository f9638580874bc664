#include "tool/comandi.h"

#include <cstdio>

#include "driver/form1.h"
#include "driver/predefiniti.h"
#include "platform/file.h"
#include "platform/testo.h"
#include "tool/compila.h"
#include "tool/json.h"
#include "tool/messaggi.h"

bool nome_valido(const std::string& nome) {
  return !nome.empty() && nome.find('/') == std::string::npos &&
         nome.find('\\') == std::string::npos && nome != "." && nome != ".." &&
         nome.find('\0') == std::string::npos;
}

int comando_sources(const argomenti& a) {
  if (a.size() != 1) return errore_uso("sources", "sources vuole una cartella");
  file::crea_cartelle(a[0]);
  Form1 f;
  f.cartella = a[0];
  f.nome_linea = kNomeLineaPredefinito;
  f.numero_treno = kNumeroTrenoPredefinito;
  try {
    f.dati_linea();
    f.dati_treno();
    f.dati_note();
    f.dati_rallentamenti();
    f.dati_scheda();
  } catch (const file::errore_scrittura& e) {
    std::fprintf(stderr, "scenario: %s\n", e.what());
    return kUscitaFallita;
  }
  return kUscitaOk;
}

namespace {

void stampa_json(const esito_compilazione& e) {
  std::string out =
      "{\"codice_errore\":" + std::to_string(e.codice_fatale ? e.codice_fatale : e.codice_errore) +
      ",\"posizione_errore\":" + std::to_string(e.posizione_errore) + ",\"files\":[";
  for (size_t i = 0; i < e.files.size(); ++i) out += (i ? "," : "") + json_testo(e.files[i]);
  out += "]";
  if (!e.errore_io.empty()) out += ",\"errore\":" + json_testo(e.errore_io);
  out += json_errore(e) + "}\n";
  std::fputs(out.c_str(), stdout);
}

void stampa_testo(const esito_compilazione& e) {
  if (!e.errore_io.empty()) {
    std::fprintf(stderr, "scenario: %s\n", e.errore_io.c_str());
    return;
  }
  std::fputs(testo_errore(e).c_str(), stderr);
  for (const auto& f : e.files) std::printf("scritto %s\n", f.c_str());
}

}  // namespace

int comando_compile(const argomenti& a) {
  opzioni_compilazione o;
  bool json = false;
  std::vector<std::string> posizionali;
  for (size_t i = 0; i < a.size(); ++i) {
    if (a[i] == "--out") {
      if (i + 1 >= a.size()) return errore_uso("compile", "--out vuole una cartella");
      o.cartella_uscita = a[++i];
    } else if (a[i] == "--no-plan") {
      o.planimetria = false;
    } else if (a[i] == "--json") {
      json = true;
    } else if (a[i].size() > 1 && a[i][0] == '-') {
      return errore_uso("compile", "opzione sconosciuta '" + a[i] + "'");
    } else {
      posizionali.push_back(a[i]);
    }
  }
  if (posizionali.size() != 3) return errore_uso("compile", "compile vuole SRCDIR ROUTE TRAIN");
  o.cartella_sorgenti = posizionali[0];
  o.linea = posizionali[1];
  o.treno = posizionali[2];
  if (!nome_valido(o.linea) || !nome_valido(o.treno))
    return errore_uso("compile", "ROUTE e TRAIN devono essere nomi semplici, senza '/'");
  esito_compilazione e = compila_scenario(o);
  if (json)
    stampa_json(e);
  else
    stampa_testo(e);
  return e.stato();
}
