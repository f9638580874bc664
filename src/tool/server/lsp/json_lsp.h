// The client's JSON as the server takes it. nlohmann's parser walks any
// depth, but copying, printing and freeing a value recurse into it: a
// message a few ten thousand levels deep would end the server on its stack.
// So what lies deeper than the bound is dropped as it is parsed (the rest of
// the message, its id among it, is kept to answer), and what the handlers
// read of the parameters comes with the protocol's ranges, or as a failure
// with an Italian reason when it is not there.
#pragma once
#include <cstdint>
#include <nlohmann/json.hpp>
#include <string>

#include "tool/comune/guasto.h"

namespace lsp {

// Far deeper than any message of the protocol (a client's settings included).
constexpr int kProfonditaMassima = 128;
// The protocol's uinteger, which every line and character is.
constexpr int64_t kUintegerMassimo = 2147483647;

// Parses a message body. A lone UTF-16 surrogate escape ("\ud800"), which is
// no character and which the parser refuses, is first made U+FFFD in place,
// so that an edit that holds one is not lost. A body that is no JSON leaves
// `m` null; one nested past kProfonditaMassima leaves it with null where a
// value lay deeper, so that its id can still be answered.
riuscita leggi_json(std::string& corpo, nlohmann::json& m);

// The text of a value the server sends. A byte that is no UTF-8 (a path
// decoded from a URI may hold one) becomes U+FFFD instead of an exception.
std::string scrivi_json(const nlohmann::json& j);

// The parameters of a request, read with the protocol's ranges: what is
// missing or of another kind is a failure of the request, in Italian.
guasto parametro_errato(const std::string& perche);
// Member `nome` of object `o`.
esito<const nlohmann::json*> campo(const nlohmann::json& o, const char* nome);
// Whether `o` has member `nome`: the optional ones are read only when there.
bool ha_campo(const nlohmann::json& o, const char* nome);
esito<std::string> testo_campo(const nlohmann::json& o, const char* nome);
esito<long long> intero_campo(const nlohmann::json& o, const char* nome);
// params.textDocument.uri
esito<std::string> uri_documento(const nlohmann::json& parametri);
// A line or character: a whole number, taken into 0..kUintegerMassimo (a
// line past the text is its end, as for any line past the last).
esito<int64_t> posizione_campo(const nlohmann::json& o, const char* nome);
// {"line":..., "character":...} within the protocol's range.
nlohmann::json posizione_json(int64_t riga, int64_t carattere);

}  // namespace lsp
