// An entry as the compile read it, back as one source line before layout:
// what the formatter aligns and what an edit of the page writes.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "compiler/stato_lettura.h"
#include "model/impaginazione.h"

// The entry of `riga` (its line's text) as its key and values, or false when
// it is not alone on one line. Values a field holds apart by blanks (the
// clock's three) stay in one value, two blanks between each, as decompile
// writes them.
bool riga_della_voce(const voce_letta& v, std::string_view riga, riga_sorgente& r);

// A number field as the reader reads it (empty is 0, a leading + allowed);
// 0 past the fields read.
int64_t numero_campo(const std::vector<std::string>& campi, size_t i);
// Which value of its key an entry's value `nome` is ("posizione", "ore"),
// from the key table; -1 when the key has none.
int indice_valore(const formato::chiave_sorgente& k, std::string_view nome);
