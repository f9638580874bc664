#include "tool/compilazione/messaggi.h"

#include <optional>
#include <vector>

#include "driver/codici.h"
#include "model/formato.h"
#include "model/regole.h"
#include "platform/file.h"
#include "platform/testo.h"
#include "tool/comune/json.h"

namespace {

// The pending code: the message, extra lines to print under it, and a second
// place that explains it.
struct errore_spiegato {
  diagnosi principale;
  std::vector<std::string> spiegazione;
  std::optional<diagnosi> nota;
};

int32_t codice_di(const esito_compilazione& e) {
  return regole::codice_rimasto(e.codice_fatale, e.codice_errore);
}

// Codes whose posizione_errore says where along the line the fault is.
bool con_posizione(int32_t c) {
  switch (c) {
    case codice::cartello_occupato:
    case codice::abbattimento_occupato:
    case codice::stazione_posizione:
    case codice::stazione_lunghezza:
    case codice::oltre_le_celle:
    case codice::segnale_occupato:
    case codice::avviso_occupato:
    case codice::inizio_occupato:
    case codice::fine_occupata:
    case codice::avvicinamento_occupato:
    case codice::indicatori_occupati:
    case codice::stazioni_vicine:
      return true;
    default:
      return false;
  }
}

// Codes for a cell an earlier entry had taken.
bool cella_presa(int32_t c) {
  return c == codice::cartello_occupato || c == codice::abbattimento_occupato ||
         (c >= codice::segnale_occupato && c <= codice::indicatori_occupati);
}

// What a code's position does not say: the limit it went past, what holds
// the cell it wanted.
std::string dettaglio(const esito_compilazione& e, int32_t c) {
  if (c == codice::oltre_le_celle && e.origine.codice == c && e.origine.ultima != 0)
    return ": la linea è lunga " + std::to_string(e.origine.lunghezza) +
           " m e per questa voce le celle arrivano a " + std::to_string(e.origine.ultima) + " m";
  if (!cella_presa(c) || e.tipo_occupante == 0) return "";
  std::string m = "; la cella ha già " + regole::oggetto_cella(e.tipo_occupante);
  if (!e.occupante.file.empty())
    m += ": voce di " + e.occupante.file + ":" + std::to_string(e.occupante.riga);
  return m;
}

// The files beside the missing source `file` that may be it misspelt.
std::string vicini(const esito_compilazione& e, const std::string& file) {
  const auto n = e.nomi_vicini.find(file);
  if (n == e.nomi_vicini.end() || n->second.empty()) return "";
  const std::vector<std::string>& v = n->second;
  const bool uno = v.size() == 1;
  std::string m = uno ? "; nella cartella c'è " : "; nella cartella ci sono ";
  for (size_t i = 0; i < v.size(); ++i) m += (i ? ", " : "") + v[i];
  return m + (uno ? ": forse è questo, con il nome sbagliato" : ": forse è uno di questi");
}

std::string intestazione(int32_t c) {
  std::string m = "errore " + std::to_string(c);
  std::string_view significato = codice::significato(c);
  if (!significato.empty()) m += ": " + std::string(significato);
  return m;
}

errore_spiegato spiega(const esito_compilazione& e) {
  const int32_t c = codice_di(e);
  errore_spiegato r;
  std::string& m = r.principale.messaggio;
  m = intestazione(c);

  if (c == codice::timbri_occupati || c == codice::codici_occupati) {
    r.spiegazione.push_back(
        c == codice::timbri_occupati
            ? "la cella 1 del percorso ha già un oggetto con un primo valore: un segnale, un "
              "cartello o un rallentamento a meno di 25 m dall'inizio della linea, un abbattimento "
              "tra 25 e 75 m, o un punto aggiunto prima di un rallentamento vicino all'inizio"
            : "la cella 1 del percorso ha già un oggetto con un secondo valore: un segnale, un "
              "indicatore di velocità o un rallentamento a meno di 25 m dall'inizio della linea");
    r.spiegazione.push_back("nessun file compilato è stato scritto");
    return r;
  }
  if (c == codice::regola_segnale || c == codice::regola_avvicinamento ||
      c == codice::regola_interno) {
    // Found while finishing the track: no source line, only the cell.
    m += " (cella " + std::to_string(e.posizione_errore / formato::kMetriCella) + ", posizione " +
         std::to_string(e.posizione_errore) + " m)";
    return r;
  }
  if (c == codice::linea_mancante || (c == codice::generale_mancante && e.sorgente.file.empty())) {
    r.principale.dove.file = e.file_linea;
    if (c == codice::linea_mancante) m += vicini(e, e.file_linea);
    return r;
  }

  int32_t posizione = e.posizione_errore;
  if (e.origine.codice == c && e.origine.dove.riga != 0) {
    // The read went on past the entry that stored the code.
    r.principale.dove = e.origine.dove;
    posizione = e.origine.posizione;
    if (posizione != e.posizione_errore)
      r.nota =
          diagnosi{e.sorgente, "nota: con il codice " + std::to_string(c) +
                                   " in sospeso la lettura del treno si ferma qui, alla prima voce "
                                   "segnale o rallentamento (posizione " +
                                   std::to_string(e.posizione_errore) + " m)"};
  } else {
    r.principale.dove = e.sorgente;
  }
  if (con_posizione(c))
    m += " (posizione " + std::to_string(posizione) + " m" + dettaglio(e, c) + ")";
  if (c == codice::lettura_fallita && r.principale.dove.riga == 0 &&
      !r.principale.dove.file.empty())
    m = "errore 25: lettura fallita: il file non esiste o non si può leggere" +
        vicini(e, r.principale.dove.file);
  else if (c == codice::lettura_fallita && !e.motivo.empty())
    m += " (" + e.motivo + ")";
  // A field of a later line read as a value of this entry.
  if (c == codice::lettura_fallita && e.voce.riga != 0 && e.voce.file == e.sorgente.file &&
      e.voce.riga < r.principale.dove.riga)
    r.nota = diagnosi{e.voce, "nota: la voce comincia qui e prende i suoi valori fino alla riga " +
                                  std::to_string(r.principale.dove.riga) +
                                  ": su questa riga ne ha meno del previsto (manca una virgola?)"};
  return r;
}

// Spaces up to the field's column, tabs kept so that the caret lines up
// however they are shown.
std::string cursore(const posizione_sorgente& p) {
  std::string c;
  for (int i = 0; i + 1 < p.colonna && i < static_cast<int>(p.testo.size()); ++i)
    c += p.testo[static_cast<size_t>(i)] == '\t' ? '\t' : ' ';
  return c + "^";
}

// The place, the message, then the source line and a caret under the field.
std::string scrivi(const diagnosi& d, std::string_view genere) {
  std::string out;
  if (!d.dove.file.empty()) {
    out += d.dove.file;
    if (d.dove.riga > 0) out += ":" + std::to_string(d.dove.riga);
    out += ": ";
  }
  if (!genere.empty()) out += std::string(genere) + ": ";
  out += d.messaggio + "\n";
  if (d.dove.riga > 0) out += testo::da_1252(d.dove.testo) + "\n" + cursore(d.dove) + "\n";
  return out;
}

std::string json(const diagnosi& d) {
  std::string out;
  if (!d.dove.file.empty()) out += ",\"file\":" + json_testo(d.dove.file);
  if (d.dove.riga > 0)
    out += ",\"riga\":" + std::to_string(d.dove.riga) +
           ",\"colonna\":" + std::to_string(d.dove.colonna);
  out += ",\"messaggio\":" + json_testo(d.messaggio);
  return out;
}

}  // namespace

std::string testo_errore(const esito_compilazione& e) {
  if (e.codifica) return scrivi({e.codifica->dove, e.codifica->messaggio}, "errore");
  const int32_t c = codice_di(e);
  if (c == 0) return {};
  const errore_spiegato r = spiega(e);
  std::string out;
  if (e.codice_fatale != 0) {
    // The system's own message, then what it means.
    out = " Errore n. " + std::to_string(c) + "\n  " + std::string(codice::significato(c));
    for (const auto& riga : r.spiegazione) out += ";\n  " + riga;
    return out + "\n";
  }
  out = scrivi(r.principale, "");
  if (r.nota) out += scrivi(*r.nota, "");
  return out;
}

std::vector<diagnosi> diagnosi_errore(const esito_compilazione& e) {
  if (codice_di(e) == 0) return {};
  errore_spiegato r = spiega(e);
  for (const auto& riga : r.spiegazione) r.principale.messaggio += "; " + riga;
  std::vector<diagnosi> d{r.principale};
  if (r.nota) d.push_back(*r.nota);
  return d;
}

std::string json_errore(const esito_compilazione& e) {
  if (e.codifica)
    return ",\"errore\":" + json_testo(e.codifica->messaggio) +
           json({e.codifica->dove, e.codifica->messaggio});
  if (codice_di(e) == 0) return {};
  errore_spiegato r = spiega(e);
  for (const auto& riga : r.spiegazione) r.principale.messaggio += "; " + riga;
  return json(r.principale);
}

errore_in_riga errore_principale(const esito_compilazione& e) {
  errore_in_riga r;
  r.codice = codice_di(e);
  errore_spiegato s;
  if (e.codifica) {
    // A source that could not be made Windows-1252: no code, nothing compiled.
    s.principale = {e.codifica->dove, e.codifica->messaggio};
  } else if (r.codice == 0) {
    return r;
  } else {
    s = spiega(e);
  }
  r.messaggio = s.principale.messaggio;
  for (const auto& riga : s.spiegazione) r.messaggio += "; " + riga;
  const posizione_sorgente& d = s.principale.dove;
  r.file = d.file;
  if (d.riga > 0) {
    r.riga = d.riga;
    r.colonna = d.colonna;
    r.testo = testo::da_1252(d.testo);
    r.caret = cursore(d);
  }
  return r;
}

std::string testo_avviso(const avviso& a) {
  return scrivi({a.dove, a.messaggio}, "avviso");
}

std::string rapporto_check(const esito_compilazione& e) {
  std::string r;
  for (const avviso& a : e.avvisi) r += testo_avviso(a);
  r += testo_errore(e);
  const size_t n = e.avvisi.size();
  const int32_t c = regole::codice_rimasto(e.codice_fatale, e.codice_errore);
  const std::string esito = e.codifica ? "sorgente non convertibile in Windows-1252"
                            : c == 0   ? "nessun errore"
                                       : "errore " + std::to_string(c);
  return r + std::to_string(n) + (n == 1 ? " avviso, " : " avvisi, ") + esito + "\n";
}

std::string rapporto_compile(const esito_compilazione& e, const std::string& cartella) {
  const std::string come = e.codice_errore == 0
                               ? "scritto "
                               : "scritto nonostante l'errore " + std::to_string(e.codice_errore) +
                                     ", con ciò che "
                                     "è stato letto prima: ";
  std::string r;
  for (const auto& f : e.files) r += come + file::percorso(cartella, f) + "\n";
  return r;
}

std::string json_avviso(const avviso& a) {
  std::string out = json({a.dove, a.messaggio});
  out[0] = '{';  // the first key's comma
  return out + "}";
}
