// One "stazione" entry of the train description: its table record, its zone,
// its stop cell and approach markers.
#include <limits>
#include <optional>

#include "compiler/campi.h"
#include "driver/codici.h"
#include "driver/form1.h"
#include "model/formato.h"
#include "model/numeri.h"
#include "model/regole.h"
#include "platform/testo.h"

namespace {

int32_t in32(int64_t v) {
  if (v < std::numeric_limits<int32_t>::min() || v > std::numeric_limits<int32_t>::max())
    throw errore_lettura{"valore fuori dai 32 bit"};
  return static_cast<int32_t>(v);
}

// Where the values that messages are about were read.
struct campi_stazione {
  segno_campo posizione, lunghezza, opzione_2, prolunga_fine;
  int64_t orario[3] = {};  // hours, minutes, seconds as written
  segno_campo segni_orario[3];
};

// The values after the kind and the length, straight into the record; the
// time comes back in seconds after midnight.
void leggi_resto(voce_linea& r, lettore_campi& f, campi_stazione& dove) {
  r.opzione_1 = f.numero8();
  r.opzione_2 = f.numero8();
  dove.opzione_2 = f.segno();
  r.prolunga_fine = f.numero8();
  dove.prolunga_fine = f.segno();
  r.parametro_1 = f.numero16();
  r.parametro_2 = f.numero16();
  r.parametro_3 = f.numero8();
  r.parametro_4 = f.numero16();
  r.parametro_5 = f.numero16();
  r.parametro_6 = f.numero16();
  r.parametro_7 = f.numero8();
  for (size_t i = 0; i < 3; ++i) {
    dove.orario[i] = f.numero();
    dove.segni_orario[i] = f.segno();
  }
  const int64_t ore = dove.orario[0], minuti = dove.orario[1], secondi = dove.orario[2];
  std::string nome = f.testo();
  if (nome.size() > formato::kTestoMassimo) throw errore_lettura{"nome di stazione troppo lungo"};
  r.nome = std::move(nome);
  r.orario = in32((ore * 60 + minuti) * 60 + secondi);
}

// The zone from the position and the length, by kind; then the options the
// reader clears (this after the zone: the first station's extension counts).
void zona(voce_linea& r, int64_t l, bool prima) {
  const regole::zona_stazione z =
      regole::zona_della_stazione(r.tipo, r.posizione, l, r.prolunga_fine != 0);
  r.inizio = in32(z.inizio);
  r.fine = in32(z.fine);
  if (regole::zona_propria(r.tipo)) r.prolunga_fine = 0;
  if (!regole::opzione_2_tenuta(l, false)) r.opzione_2 = 0;
  if (prima) {
    r.prolunga_fine = 0;
    r.opzione_2 = 0;
  }
}

// Check mode: the options the zone cleared, at their fields.
void azzerate(Form1& t, const lettore_campi& f, const voce_linea& scritta, const voce_linea& r,
              const campi_stazione& dove, int64_t l) {
  auto avvisa = [&](const segno_campo& s, const std::string& m) {
    t.avvisi->push_back({posizione_campo(f, t.file_treno(), s), m});
  };
  // The built-in first station has one too: its source is not changed, and
  // check says so there as anywhere.
  if (scritta.opzione_2 != 0 && r.opzione_2 == 0)
    avvisa(dove.opzione_2,
           "opzione_2 " + std::to_string(scritta.opzione_2) + " diventa 0: " +
               (l < 600 ? "la zona è lunga meno di 600 m" : "la prima stazione non la tiene"));
  if (scritta.prolunga_fine != 0 && r.prolunga_fine == 0)
    avvisa(dove.prolunga_fine,
           "prolunga_fine " + std::to_string(scritta.prolunga_fine) + " diventa 0: " +
               (regole::zona_propria(r.tipo) ? "i tipi da 5 a 8 non la usano"
                                             : "la prima stazione non la tiene, ma la sua zona "
                                               "finisce comunque 50 m più in là"));
  if (l < 0)
    avvisa(dove.lunghezza, "lunghezza " + std::to_string(l) +
                               " m: la zona della stazione finisce prima di cominciare");
}

// Check mode: minutes or seconds that carry into the next unit.
void controlla_orario(Form1& t, const lettore_campi& f, const campi_stazione& dove) {
  for (size_t i = 0; i < 2; ++i) {
    const int64_t v = dove.orario[i + 1];
    if (v >= 0 && v < 60) continue;
    t.avvisi->push_back({posizione_campo(f, t.file_treno(), dove.segni_orario[i + 1]),
                         std::string(i == 0 ? "minuti " : "secondi ") + std::to_string(v) +
                             " fuori da 0..59: l'orario diventa " +
                             regole::ora_testo(regole::secondi_del_giorno(
                                 dove.orario[0], dove.orario[1], dove.orario[2]))});
  }
}

// Markers 81 to 84 on the four cells before the stop cell, 81 nearest.
void marcatori(Form1& t, const voce_linea& r, const std::string& chi) {
  const int64_t fine = r.fine;
  for (int k = 1; k <= formato::kMarcatori; ++k) {
    const std::optional<int64_t> cella = regole::cella_marcatore(fine, k);
    if (!cella) continue;
    const int64_t c = *cella;
    if (c > t.lettura.ultima_cella) continue;  // markers past the track are dropped
    uint8_t& marcatore = t.celle_percorso[static_cast<size_t>(c)].marcatore;
    const auto nuovo = static_cast<uint8_t>(formato::kMarcatoreStazione + k);
    if (t.avvisi) marcatore_sostituito(*t.avvisi, t.lettura.voce, chi, c, marcatore, nuovo);
    marcatore = nuovo;
  }
}

// The stop cell takes the station's entry, whatever the cell held.
esito_voce fermata(Form1& t, int32_t n, const voce_linea& r, const std::string& chi) {
  const int64_t fine = r.fine;
  const std::optional<int64_t> cella = regole::cella_fermata(fine);
  if (!cella) {
    t.codice_errore = codice::fermata_iniziale;
    return esito_voce::fine_lettura;
  }
  const int64_t c = *cella;
  if (c > t.lettura.ultima_cella) throw errore_lettura{"fermata fuori dalle celle"};
  cella_percorso& s = t.celle_percorso[static_cast<size_t>(c)];
  if (t.avvisi && !cella_libera(s))
    t.avvisi->push_back({t.lettura.voce, chi + ": la fermata sostituisce " +
                                             regole::oggetto_cella(s.tipo) + " nella cella " +
                                             std::to_string(c)});
  t.occupa(c);
  s.tipo = tipo_cella::fermata;
  s.valore_1 = static_cast<int16_t>(n);
  return esito_voce::avanti;
}

// The position and the length, each with its check: code 15 leaves the loop
// (the end-of-read steps follow), codes 8 and 9 end the read.
esito_voce posizione_e_lunghezza(Form1& t, lettore_campi& f, voce_linea& r, int64_t& l,
                                 campi_stazione& dove) {
  r.posizione = f.numero();
  dove.posizione = f.segno();
  const int64_t p = r.posizione;
  const int64_t ultima =
      formato::posizione_massima(t.lettura.ultima_cella, formato::kMargineStazione);
  if (p > ultima) {
    t.codice_errore = codice::oltre_le_celle;
    t.posizione_errore = r.posizione;
    t.origine_al_campo(f, dove.posizione, t.file_treno());
    t.origine.lunghezza = t.lettura.lunghezza_percorso;
    t.origine.ultima = ultima;
    return esito_voce::fine_ciclo;
  }
  if (t.avvisi)
    oltre_la_linea(*t.avvisi, posizione_campo(f, t.file_treno()), "posizione", p,
                   t.lettura.lunghezza_percorso, ultima);
  if (p % formato::kMetriCella != 0) {
    t.codice_errore = codice::stazione_posizione;
    t.posizione_errore = r.posizione;
    return esito_voce::fine_lettura;
  }
  r.tipo = f.numero8();
  l = f.numero();
  dove.lunghezza = f.segno();
  if (l % (2 * formato::kMetriCella) != 0) {
    t.codice_errore = codice::stazione_lunghezza;
    t.posizione_errore = r.posizione;
    return esito_voce::fine_lettura;
  }
  return esito_voce::avanti;
}

}  // namespace

// Reads the entry after its key into the next station record: values go in
// as they are read, before any test.
esito_voce Form1::stazione(lettore_campi& f) {
  const int32_t n = lettura.indice_stazione;
  // Entries above the limit hold the named signs' texts.
  if (n > lettura.limite_stazioni) {
    codice_errore = codice::troppe_stazioni;
    return esito_voce::fine_lettura;
  }
  if (lettura.ultima_cella < 0) throw errore_lettura{"nessuna cella"};
  voce_linea& r = tabella_linea[static_cast<size_t>(n)];
  int64_t l = 0;
  campi_stazione dove;
  if (esito_voce e = posizione_e_lunghezza(*this, f, r, l, dove); e != esito_voce::avanti) return e;
  leggi_resto(r, f, dove);
  const voce_linea scritta = avvisi ? r : voce_linea{};
  zona(r, l, n == formato::kPrimaStazione);
  if (avvisi) {
    azzerate(*this, f, scritta, r, dove, l);
    controlla_orario(*this, f, dove);
  }

  const std::string chi = avvisi ? "la stazione " + testo::da_1252(r.nome) : std::string();
  if (regole::con_marcatori(r.tipo)) marcatori(*this, r, chi);
  if (regole::con_fermata(r.tipo) && fermata(*this, n, r, chi) == esito_voce::fine_lettura) {
    origine_al_campo(f, dove.posizione, file_treno());
    return esito_voce::fine_lettura;
  }
  if (n > formato::kPrimaStazione &&
      !regole::zone_distanti(tabella_linea[static_cast<size_t>(n - 1)].fine, r.inizio)) {
    codice_errore = codice::stazioni_vicine;
    posizione_errore = r.posizione;
    origine_al_campo(f, dove.posizione, file_treno());
    return esito_voce::fine_lettura;
  }
  lettura.indice_stazione = n + 1;
  if (lettura.indice_stazione >= lettura.limite_stazioni) {
    codice_errore = codice::troppe_stazioni;
    return esito_voce::fine_lettura;
  }
  return esito_voce::avanti;
}
