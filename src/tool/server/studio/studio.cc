// scenario studio: the scenarios of a folder served on 127.0.0.1 by the
// preview's server, each with its check's verdict, and the page's actions
// run by the same functions as the subcommands. It writes only what those
// functions write for a pair of names the model accepts, inside the folder.
#include "tool/server/studio/studio.h"

#include <algorithm>
#include <cstdio>
#include <mutex>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "model/formato.h"
#include "model/regole.h"
#include "platform/cartella.h"
#include "platform/file.h"
#include "platform/interruzione.h"
#include "platform/osservazione.h"
#include "platform/processo.h"
#include "tool/compilazione/compila.h"
#include "tool/compilazione/messaggi.h"
#include "tool/server/anteprima/server_http.h"
#include "tool/server/studio/pagina_studio.h"

namespace {

using json = nlohmann::json;

struct coppia {
  std::string linea, treno;
};

// Every train source whose line source is beside it, by name.
std::vector<coppia> coppie(const std::string& cartella) {
  std::vector<std::string> nomi = file::elenco(cartella);
  std::sort(nomi.begin(), nomi.end());
  std::vector<coppia> c;
  for (const std::string& n : nomi) {
    const auto s = regole::nomi_da_file(n);
    if (s && !s->sorgente_linea &&
        file::esiste(file::percorso(cartella, formato::nome_sorgente_linea(s->linea))))
      c.push_back({s->linea, s->treno});
  }
  return c;
}

esito_compilazione compila(const std::string& cartella, const coppia& c, uscita_compilati u) {
  opzioni_compilazione o;
  o.cartella_sorgenti = cartella;
  o.linea = c.linea;
  o.treno = c.treno;
  o.uscita = u;
  o.avvisi = u == uscita_compilati::nessuna;
  return compila_scenario(o);
}

int codice(const esito_compilazione& e) {
  return regole::codice_rimasto(e.codice_fatale, e.codice_errore);
}

std::string testo_json(const json& j) {
  return j.dump(-1, ' ', false, json::error_handler_t::replace);
}

// The listing the page reads: each pair with its check's verdict.
std::string elenco(const std::string& cartella) {
  json s = json::array();
  for (const coppia& c : coppie(cartella)) {
    const esito_compilazione e = compila(cartella, c, uscita_compilati::nessuna);
    s.push_back({{"linea", c.linea},
                 {"treno", c.treno},
                 {"codice", codice(e)},
                 {"avvisi", e.avvisi.size()},
                 {"errore_io", e.errore_io}});
  }
  return testo_json({{"cartella", cartella}, {"scenari", s}});
}

// An action of the page: its report, or why it was refused.
int azione(const std::string& cartella, const std::string& corpo, std::string& risposta) {
  const json q = json::parse(corpo, nullptr, false);
  auto rifiuta = [&](const std::string& perche) {
    risposta = testo_json({{"messaggio", perche}});
    return 400;
  };
  if (!q.is_object() || !q.contains("azione") || !q["azione"].is_string())
    return rifiuta("richiesta non valida");
  const std::string a = q["azione"];
  if (a == "elenco") {
    risposta = elenco(cartella);
    return 200;
  }
  if (!q.contains("linea") || !q["linea"].is_string() || !q.contains("treno") ||
      !q["treno"].is_string())
    return rifiuta("manca lo scenario");
  const coppia c{q["linea"], q["treno"]};
  // Only a pair the folder holds: its names are the model's, and every file
  // the action writes is named from them beside the sources.
  const std::vector<coppia> tutte = coppie(cartella);
  if (std::none_of(tutte.begin(), tutte.end(),
                   [&](const coppia& x) { return x.linea == c.linea && x.treno == c.treno; }))
    return rifiuta("nessuno scenario " + c.linea + " " + c.treno + " nella cartella");
  std::string rapporto;
  esito_compilazione e;
  if (a == "check") {
    e = compila(cartella, c, uscita_compilati::nessuna);
    rapporto = rapporto_check(e);
  } else if (a == "compile") {
    e = compila(cartella, c, uscita_compilati::cartella);
    rapporto = testo_errore(e) + rapporto_compile(e, cartella);
  } else {
    return rifiuta("azione sconosciuta: " + a);
  }
  if (!e.errore_io.empty()) rapporto = e.errore_io + "\n" + rapporto;
  risposta = testo_json({{"rapporto", rapporto}, {"codice", codice(e)}});
  return 200;
}

void stampa_indirizzo(const std::string& indirizzo) {
  std::printf("Studio: %s\nCtrl-C lo ferma.\n", indirizzo.c_str());
  std::fflush(stdout);
}

void apri_dal_desktop(const std::string& indirizzo) {
  std::printf("Studio: %s\nChiudere questa finestra ferma lo studio.\n", indirizzo.c_str());
  if (!processo::apri_nel_browser(indirizzo))
    std::printf("Il browser non si è aperto: apri l'indirizzo qui sopra.\n");
  std::fflush(stdout);
}

}  // namespace

int esegui_studio(const std::string& cartella, uint16_t porta,
                  void (*indirizzo)(const std::string&)) {
  server_anteprima server;
  server_anteprima::impostazioni imp;
  imp.porta = porta;
  if (!nuova_chiave(imp.chiave)) {
    std::fprintf(stderr, "scenario studio: il sistema non dà byte casuali per la chiave\n");
    return kUscitaFallita;
  }
  imp.pagina = pagina_studio();
  // One action at a time: two compiles of a pair would write the same files.
  std::mutex uno;
  imp.modifica = [&](std::string corpo, server_anteprima::risposta fatto) {
    std::string r;
    int stato = 0;
    {
      std::lock_guard<std::mutex> l(uno);
      stato = azione(cartella, corpo, r);
    }
    fatto(stato, std::move(r));
    server.pubblica(elenco(cartella));
  };
  std::string motivo;
  if (!server.apri(imp, motivo)) {
    std::fprintf(stderr, "scenario studio: %s\n", motivo.c_str());
    return kUscitaFallita;
  }
  server.pubblica(elenco(cartella));
  indirizzo("http://127.0.0.1:" + std::to_string(server.porta()) + "/?t=" + imp.chiave);
  interruzione::trattieni();
  server.esegui(std::chrono::milliseconds(200), [&] {
    if (interruzione::chiesta()) server.ferma();
  });
  std::printf("Studio fermato.\n");
  return kUscitaOk;
}

int comando_studio(const argomenti& a) {
  // DIR may be left out: the current folder.
  argomenti_letti l;
  if (int s = leggi_argomenti("studio", a, {{"--port", "un numero di porta"}}, 0, "[DIR]", l, 1);
      s >= 0)
    return s;
  uint16_t porta = 0;
  if (l.ha("--port") && !leggi_porta(l.valore("--port"), porta))
    return errore_uso("studio", "--port vuole un numero da 0 a 65535");
  const std::string cartella = file::assoluto(l.posizionali.empty() ? "." : l.posizionali[0]);
  return esegui_studio(cartella, porta, stampa_indirizzo);
}

int studio_dal_desktop() {
  return esegui_studio(cartella_programma(), 0, apri_dal_desktop);
}
