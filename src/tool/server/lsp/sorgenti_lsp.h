// What the editor shows of a source besides its diagnostics: the entries as
// the compile reads them (its recording mode, the one grammar of the
// sources), what a key or value means, the outline, the keys to complete and
// the built-in layout. Works on the text in Windows-1252, where a byte column
// is the editor's character column.
#pragma once
#include <string>
#include <string_view>
#include <vector>

#include "compiler/stato_lettura.h"
#include "model/formato.h"
#include "model/regole.h"

namespace lsp {

// The entries of a source in reading order, section heads among them: a line
// source read on its own, a train source against a stand-in line as long as a
// line can be, so that its entries are read whatever its partner holds. A
// read that stops leaves the rest of the file unread, as the compile does.
std::vector<voce_letta> leggi_voci(std::string_view testo, formato::sorgente s);
// The chainage of a line source, from its compiled reference points.
std::vector<regole::tratto_km> chilometri(std::string_view linea);
// " (m)" for a value with a unit, "" for one without.
std::string unita_di(const formato::valore_voce& v);
// Value i (from 1) of the entry as a number; 0 for an empty field.
long long numero_di(const voce_letta& v, size_t i);

// Markdown for what stands at (riga, colonna), both from 0; "" for nothing.
std::string descrizione(const std::vector<voce_letta>& voci, int riga, int colonna,
                        const std::vector<regole::tratto_km>& km);

// The outline: sections with their entries. Each symbol has its name, a
// detail, the protocol's kind, its lines (from 0) and the end of the last.
struct simbolo {
  std::string nome, dettaglio;
  int genere = 0;
  int riga = 0, fine = 0;
  size_t lunghezza = 0;
  std::vector<simbolo> figli;
};
std::vector<simbolo> struttura(const std::vector<voce_letta>& voci, std::string_view testo);

// Completion: each section head and key, with a snippet of its values.
struct proposta {
  std::string etichetta, dettaglio, documentazione, inserto;
  int genere = 0;
};
std::vector<proposta> proposte(formato::sorgente s);

// The text laid out as the built-in sources are, with the line break given:
// every line that holds one whole entry, aligned with its section's others.
std::string impagina(std::string_view testo, formato::sorgente s, std::string_view a_capo);

}  // namespace lsp
