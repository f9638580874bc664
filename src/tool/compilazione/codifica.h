// The sources' encoding: the simulator reads Windows-1252, while most editors
// save UTF-8 unless told otherwise.
#pragma once
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "compiler/stato_lettura.h"

// Warnings for a source read as Windows-1252, as `file`: a UTF-8 byte-order
// mark at its start, and on each line the first well-formed multi-byte UTF-8
// sequence, with the text as the simulator shows it and as it was meant.
void avvisi_codifica(std::vector<avviso>& avvisi, const std::string& file, std::string_view dati);

// Why a source saved as UTF-8 cannot become Windows-1252, and where (the
// column counts characters, as the compile of the converted text does).
struct errore_codifica {
  posizione_sorgente dove;
  std::string messaggio;  // UTF-8
};

// A source saved as UTF-8 made Windows-1252, a leading byte-order mark
// dropped. On a byte that is not UTF-8 or a character the code page lacks,
// `dati` stays as it was.
std::optional<errore_codifica> da_utf8(const std::string& file, std::string& dati);
