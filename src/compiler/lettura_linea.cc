// The line description reader: header values, track cells, gradients, spans,
// speed boards, named signs and the curves of the plan.
#include <cstdint>
#include <string_view>

#include "compiler/campi.h"
#include "driver/codici.h"
#include "driver/form1.h"
#include "model/numeri.h"
#include "platform/file.h"
#include "platform/testo.h"

namespace {

using testo::contiene;
using testo::contiene_nc;

constexpr int64_t kLunghezzaMassima = 1000000;
constexpr int64_t kOltreLaFine = 7000;  // room past the last metre for objects and walks
// The table file keeps a text's length in 16 bits.
constexpr size_t kTestoCartelloMassimo = 65535;

// Reference-point keys, in the order they are tested, and their entries.
struct progressiva {
  const char* parola;
  size_t voce;
};
constexpr progressiva kProgressive[] = {{"tre", 81}, {"due", 82}, {"uno", 83}};

// How a handler leaves the reader.
enum class esito {
  continua,    // go on with the next handler or token
  fine_corpo,  // code 15: stop the body, the end-of-file steps still run
  errore,      // explicit error: file deleted, the whole read ends
};

// Whether position p lies beyond the cells: (p + 100) / 50 above the last cell.
bool oltre_le_celle(const Form1& f, int64_t p) {
  if (f.celle_percorso.empty()) throw errore_lettura{"nessuna cella: manca la lunghezza"};
  return p + 100 > 50 * int64_t{f.lettura.ultima_cella};
}

// The train read follows a code 15: keep where it came from.
esito fuori(Form1& t, const lettore_campi& f, int64_t p) {
  t.codice_errore = codice::oltre_le_celle;
  t.posizione_errore = static_cast<int32_t>(p);
  t.origine = {t.codice_errore, t.posizione_errore, posizione_campo(f, t.file_linea())};
  return esito::fine_corpo;
}

// One gradient store into the next cell. A store past the last cell is dropped;
// the index then stops one past it, which every later test treats alike.
void memo_pendenza(Form1& f) {
  stato_lettura& l = f.lettura;
  if (f.celle_percorso.empty()) throw errore_lettura{"nessuna cella: manca la lunghezza"};
  if (l.indice_pendenza > l.ultima_cella) return;
  f.celle_percorso[static_cast<size_t>(l.indice_pendenza)].pendenza =
      basso8(int64_t{l.pendenza_precedente} + 100);
  ++l.indice_pendenza;
}

// Cell of an object at position p: the cell after the cell of p. Outside the
// cells it cannot be stored at all.
size_t cella_oggetto(const Form1& f, int64_t p) {
  int64_t c = arrotonda(p + 50, 50);
  if (c < 0 || c > f.lettura.ultima_cella) throw errore_lettura{"oggetto fuori dalle celle"};
  return static_cast<size_t>(c);
}

// Check mode: a gradient point behind the one before it, or a gradient that
// wraps in its 8-bit field (stored as gradient + 100).
void controlla_pendenza(Form1& t, const lettore_campi& f, int64_t p, int64_t g) {
  stato_lettura& l = t.lettura;
  if (p < l.ultima_pendenza)
    t.avvisi->push_back({l.voce, "punto di pendenza a " + std::to_string(p) + " m dopo uno a " +
                                     std::to_string(l.ultima_pendenza) +
                                     " m: i punti vanno in ordine di posizione"});
  l.ultima_pendenza = p;
  if (g < -100 || g > 155)
    t.avvisi->push_back(
        {posizione_campo(f, t.file_linea()), "pendenza " + std::to_string(g) +
                                                 " per mille fuori da -100..155: diventa " +
                                                 std::to_string(int{basso8(g + 100)} - 100)});
}

// Class of a curve token: the first of the digits 1 to 6 it holds, 0 for none.
int classe_curva(std::string_view t) {
  for (char c = '1'; c <= '6'; ++c)
    if (t.find(c) != std::string_view::npos) return c - '0';
  return 0;
}

// A bracketed token that does not start with a dash closes the header.
bool chiude_intestazione(std::string_view t) {
  if (!contiene(t, "[") || !contiene(t, "]")) return false;
  size_t i = t.find_first_not_of(" \t");
  return i == std::string_view::npos || t[i] != '-';
}

// Whether a header token names an entry (the tests of the header loop).
bool chiave_intestazione(std::string_view t) {
  return (contiene_nc(t, "lunghezza") && contiene_nc(t, "percorso")) ||
         (contiene(t, "progressiva") &&
          (contiene(t, "tre") || contiene(t, "due") || contiene(t, "uno"))) ||
         (contiene(t, "sfondo") &&
          (contiene(t, "uno") || contiene(t, "due") || contiene(t, "tre"))) ||
         (contiene(t, "segnali") && contiene(t, "ripetizione"));
}

// Whether a body token names an entry (the tests of the body handlers).
bool chiave_corpo(std::string_view t, bool curve) {
  return contiene_nc(t, "pendenza") || (curve && contiene_nc(t, "curva")) ||
         contiene_nc(t, "montagna") || contiene_nc(t, "indicatori_v") ||
         (contiene_nc(t, "cartello") && contiene_nc(t, "indicat"));
}

// Where a reference point's value stands when it is not a multiple of 50.
void segna_progressiva(Form1& t, const lettore_campi& f, size_t voce, int32_t valore) {
  posizione_sorgente& p = t.lettura.progressive_errate[voce - 81];
  if (valore % 50 != 0 && p.riga == 0) p = posizione_campo(f, t.file_linea());
}

}  // namespace

void Form1::leggi_linea(lettore_campi& f, bool& avanti) {
  stato_lettura& l = lettura;
  // Cells and plan belong to this read alone.
  celle_percorso.clear();
  planimetria.libera();
  l.ultima_cella = -1;

  auto esci = [&](int32_t codice) {
    disco->cancella(file_linea());
    codice_errore = codice;
    avanti = false;
  };

  // Everything up to the first "[generale]" is passed over.
  for (;;) {
    if (f.fine()) return esci(codice::generale_mancante);
    riga = f.testo();
    if (f.fine()) return esci(codice::generale_mancante);
    if (contiene_nc(riga, "[generale]")) break;
  }

  voce_linea& generale = tabella_linea[84];
  voce_linea& sfondi = tabella_linea[85];
  voce_linea& ripetizione = tabella_linea[86];

  // Header.
  for (;;) {
    if (f.fine()) break;
    riga = f.testo();
    if (f.fine()) {
      if (avvisi) ultimo_campo(*avvisi, posizione_campo(f, file_linea()), riga);
      break;
    }
    for (int k = 0; k < 10; ++k)
      if (contiene(riga, "-")) riga = f.testo();
    if (avvisi && !contiene(riga, "-") && !chiave_intestazione(riga) && !chiude_intestazione(riga))
      campo_ignorato(*avvisi, l.riga_ignorata, posizione_campo(f, file_linea()), riga);

    if (contiene_nc(riga, "lunghezza") && contiene_nc(riga, "percorso")) {
      int32_t lunghezza = f.numero();
      if (lunghezza < 0) throw errore_lettura{"lunghezza negativa"};
      l.lunghezza_percorso = lunghezza;
      generale.fine = lunghezza;
      if (lunghezza > kLunghezzaMassima) {
        // Cells of an earlier length line would no longer match the length
        // stored in the table: no compiled file may come from them.
        celle_percorso.clear();
        planimetria.libera();
        l.ultima_cella = -1;
        return esci(codice::lunghezza_eccessiva);
      }
      l.lunghezza_estesa = lunghezza + kOltreLaFine;
      l.ultima_cella = static_cast<int32_t>(arrotonda(l.lunghezza_estesa, 50));
      celle_percorso.assign(static_cast<size_t>(l.ultima_cella) + 1, cella_percorso{});
      crea_planimetria();
    }
    if (contiene(riga, "progressiva")) {
      for (const progressiva& pk : kProgressive) {
        if (!contiene(riga, pk.parola)) continue;
        voce_linea& v = tabella_linea[pk.voce];
        l.progressive_errate[pk.voce - 81] = posizione_sorgente{};
        v.inizio = f.numero();
        segna_progressiva(*this, f, pk.voce, v.inizio);
        v.fine = f.numero();
        segna_progressiva(*this, f, pk.voce, v.fine);
        v.posizione = f.numero();
      }
    }
    if (contiene(riga, "sfondo")) {
      if (contiene(riga, "uno")) sfondi.inizio = f.numero();
      if (contiene(riga, "due")) sfondi.posizione = f.numero();
      if (contiene(riga, "tre")) sfondi.fine = f.numero();
    }
    if (contiene(riga, "segnali") && contiene(riga, "ripetizione")) {
      ripetizione.inizio = f.numero();
      ripetizione.fine = f.numero();
      if (ripetizione.inizio % 50 != 0) return esci(codice::ripetizione_inizio);
      if (ripetizione.fine % 50 != 0) return esci(codice::ripetizione_fine);
      if (contiene(riga, "4")) {
        ripetizione.posizione = 4;
      } else if (contiene(riga, "9")) {
        ripetizione.posizione = 9;
      } else {
        return esci(codice::ripetizione_codici);
      }
      if (ripetizione.fine == 0) ripetizione.posizione = 0;
    }
    if (chiude_intestazione(riga)) break;
  }

  progressive_ordina();
  l.numero_montagne = 0;
  l.prossimo_cartello = 80;
  l.indice_pendenza = 0;
  l.pendenza_precedente = 0;
  inizia_planimetria();

  // Body: every handler whose key the token holds, in a fixed order.
  auto gestisci = [&]() -> esito {
    if (contiene_nc(riga, "pendenza")) {
      int32_t p = f.numero();
      int32_t g = f.numero();
      if (oltre_le_celle(*this, p)) return fuori(*this, f, p);
      if (avvisi) controlla_pendenza(*this, f, p, g);
      int64_t n = arrotonda(p, 50);
      if (n > 0) {
        do memo_pendenza(*this);
        while (l.indice_pendenza < n);
      }
      l.pendenza_precedente = g;
    }
    if (j != 0 && contiene_nc(riga, "curva")) {
      int32_t s = f.numero();
      int32_t n = f.numero();
      if (oltre_le_celle(*this, s)) return fuori(*this, f, s);
      int classe = classe_curva(riga);
      if (avvisi && s + 1 < l.indice_planimetria)
        avvisi->push_back({l.voce, "la curva inizia a " + std::to_string(s) +
                                       " m, prima del punto già tracciato (" +
                                       std::to_string(l.indice_planimetria - 1) +
                                       " m): piega solo da lì"});
      if (classe == 0 || !curva(s, n, classe, contiene_nc(riga, "s"))) {
        esci(codice::curva_errata);
        return esito::errore;
      }
    }
    if (contiene_nc(riga, "montagna")) {
      int32_t inizio = f.numero();
      int32_t fine = f.numero();
      int32_t tipo = f.numero();
      if (oltre_le_celle(*this, inizio)) return fuori(*this, f, inizio);
      memo_montagna(inizio, fine, tipo);
    }
    if (contiene_nc(riga, "indicatori_v")) {
      int32_t posizione = f.numero();
      int32_t v[8];
      for (int32_t& x : v) x = f.numero();
      if (oltre_le_celle(*this, posizione)) return fuori(*this, f, posizione);
      memo_indicatori_v_max(posizione, v[0], v[1], v[2], v[3], v[4], v[5], v[6], v[7]);
      if (codice_errore > 0) {
        esci(codice_errore);
        posizione_errore = posizione;
        return esito::errore;
      }
    }
    if (contiene_nc(riga, "cartello") && contiene_nc(riga, "indicat")) {
      int32_t p = f.numero();
      riga = f.testo();
      if (riga.size() > kTestoCartelloMassimo)
        throw errore_lettura{"testo del cartello troppo lungo"};
      if (oltre_le_celle(*this, p)) return fuori(*this, f, p);
      cella_percorso& c = celle_percorso[cella_oggetto(*this, p)];
      if (!cella_libera(c)) {
        esci(codice::cartello_occupato);
        posizione_errore = p;
        return esito::errore;
      }
      if (l.prossimo_cartello < 0) throw errore_lettura{"troppi cartelli"};
      c.tipo = tipo_cella::cartello;
      c.valore_1 = static_cast<int16_t>(l.prossimo_cartello);
      tabella_linea[static_cast<size_t>(l.prossimo_cartello)].nome = riga;
      --l.prossimo_cartello;
    }
    return esito::continua;
  };

  // The read that reaches the end of the file leaves its field unhandled.
  auto alla_fine = [&]() {
    if (!f.fine()) return false;
    if (avvisi) ultimo_campo(*avvisi, posizione_campo(f, file_linea()), riga);
    return true;
  };
  for (;;) {
    if (f.fine()) break;
    riga = f.testo();
    if (alla_fine()) break;
    if (contiene(riga, "-")) {
      riga = f.testo();
      if (alla_fine()) break;
      if (contiene(riga, "-")) {
        riga = f.testo();
        if (alla_fine()) break;
      }
    }
    if (avvisi) {
      l.voce = posizione_campo(f, file_linea());
      if (!contiene(riga, "-") && !chiave_corpo(riga, j != 0))
        campo_ignorato(*avvisi, l.riga_ignorata, l.voce, riga);
    }
    esito e = gestisci();
    if (e == esito::errore) return;
    if (e == esito::fine_corpo) break;
  }

  // End of the file, or a position beyond the cells.
  disco->cancella(file_linea());
  do memo_pendenza(*this);
  while (l.indice_pendenza < int64_t{l.ultima_cella} - 2);
  fine_planimetria();
  l.limite_stazioni = l.prossimo_cartello;
}
