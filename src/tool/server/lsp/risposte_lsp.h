// What the server answers about a document, each from the store: the hover,
// the outline, the completion list and the formatting, as the protocol's
// results (null for a document that is not open).
#pragma once
#include <cstdint>
#include <nlohmann/json.hpp>
#include <string>

#include "tool/comune/guasto.h"
#include "tool/server/lsp/documenti_lsp.h"

namespace lsp {

// At (riga, carattere), both from 0.
nlohmann::json risposta_descrizione(const documenti& d, const std::string& uri, int64_t riga,
                                    int64_t carattere);
nlohmann::json risposta_struttura(const documenti& d, const std::string& uri);
nlohmann::json risposta_completamento(const documenti& d, const std::string& uri);
// The edit that lays the document out, made only when its pair compiles to
// the same bytes after it: a failure says why it was not made.
esito<nlohmann::json> risposta_formattazione(const documenti& d, const std::string& uri);

}  // namespace lsp
