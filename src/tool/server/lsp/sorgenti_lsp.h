// What the editor shows of a source besides its diagnostics: the entries of
// each line as the readers take them, what a key or value means, the
// outline, the keys to complete and the built-in layout. Works on the text in
// Windows-1252, where a byte column is the editor's character column.
#pragma once
#include <string>
#include <string_view>
#include <vector>

#include "model/formato.h"

namespace lsp {

// One field of a line: the bytes from inizio to fine (blanks around it left
// out) and its text.
struct campo_riga {
  size_t inizio = 0, fine = 0;
  std::string testo;
};

// A line of a source: a section head, an entry (its key's table row and its
// fields, the key first), or something the readers pass over.
struct voce_riga {
  int riga = 0;  // from 0
  size_t lunghezza = 0;
  bool testa = false;
  bool testata = false;  // in the line's header ("[generale]")
  const formato::chiave_sorgente* chiave = nullptr;
  std::vector<campo_riga> campi;
};

std::vector<voce_riga> analizza(std::string_view testo, formato::sorgente s);

// The line's kilometric reference points as its header gives them, for the
// kilometre of a position: the last point at or before it, plus the metres
// since (a point with correction 1 adds 100 m to its chainage).
struct riferimento {
  long long posizione = 0, progressiva = 0;
};
std::vector<riferimento> riferimenti(const std::vector<voce_riga>& linea);

// Markdown for what stands at (riga, colonna); "" for nothing.
std::string descrizione(const std::vector<voce_riga>& voci, int riga, int colonna,
                        const std::vector<riferimento>& km);

// The outline: sections with their entries. Each symbol has its name, a
// detail, the protocol's kind, its line and the lines of what it holds.
struct simbolo {
  std::string nome, dettaglio;
  int genere = 0;
  int riga = 0, fine = 0;
  size_t lunghezza = 0;
  std::vector<simbolo> figli;
};
std::vector<simbolo> struttura(const std::vector<voce_riga>& voci);

// Completion: each section head and key, with a snippet of its values.
struct proposta {
  std::string etichetta, dettaglio, documentazione, inserto;
  int genere = 0;
};
std::vector<proposta> proposte(formato::sorgente s);

// The text laid out as the built-in sources are, with the line break given.
std::string impagina(std::string_view testo, formato::sorgente s, std::string_view a_capo);

}  // namespace lsp
