#include "tool/comune/argomenti.h"

#include <charconv>
#include <cstdio>

#include "model/regole.h"
#include "platform/file.h"

std::string ostacolo_sorgente(const std::string& nome, bool forza) {
  switch (file::che_cosa(nome)) {
    case file::genere_voce::nessuna:
      return "";
    case file::genere_voce::file:
      return forza ? "" : nome + " esiste già: --force per sostituirlo";
    case file::genere_voce::cartella:
      return "al posto di " + nome + " c'è una cartella: nessun sorgente scritto";
    case file::genere_voce::altro:
      return nome + " non è un file: nessun sorgente scritto";
  }
  return "";
}

int leggi_argomenti(const char* nome, const argomenti& a,
                    std::initializer_list<opzione_comando> opzioni, size_t posizionali,
                    const char* cosa, argomenti_letti& letti, size_t facoltativi) {
  bool solo_posizionali = false;
  for (size_t i = 0; i < a.size(); ++i) {
    const std::string& x = a[i];
    if (solo_posizionali || x.size() < 2 || x[0] != '-') {
      letti.posizionali.push_back(x);
      continue;
    }
    if (x == "--") {
      solo_posizionali = true;
      continue;
    }
    if (x == "--help" || x == "-h") {
      stampa_uso(nome, stdout);
      return kUscitaOk;
    }
    const opzione_comando* o = nullptr;
    for (const opzione_comando& c : opzioni)
      if (x == c.nome || (c.breve && x == c.breve)) o = &c;
    if (!o) return errore_uso(nome, "opzione sconosciuta '" + x + "'");
    if (letti.ha(o->nome) && !o->ripetibile)
      return errore_uso(nome, "opzione ripetuta '" + x + "'");
    std::string valore;
    if (o->valore) {
      if (i + 1 >= a.size()) return errore_uso(nome, x + " vuole " + o->valore);
      valore = a[++i];
    }
    letti.opzioni[o->nome] = valore;
    if (o->ripetibile) letti.ripetute[o->nome].push_back(valore);
  }
  if (letti.posizionali.size() < posizionali ||
      letti.posizionali.size() > posizionali + facoltativi)
    return errore_uso(nome, std::string(nome) + " vuole " + cosa);
  return -1;
}

int nomi_scenario(const char* nome, const std::string& linea, const std::string& treno) {
  if (regole::nome_valido(linea) && regole::nome_valido(treno)) return -1;
  return errore_uso(nome, "ROUTE e TRAIN devono essere nomi semplici, senza '/'");
}

bool leggi_porta(const std::string& t, uint16_t& porta) {
  unsigned v = 0;
  const auto r = std::from_chars(t.data(), t.data() + t.size(), v);
  if (r.ec != std::errc() || r.ptr != t.data() + t.size() || v > 65535) return false;
  porta = static_cast<uint16_t>(v);
  return true;
}
