// The diagnostics of one compile of a pair, by document: the characters its
// code page lacks, a partner that cannot be read, the pending code with its
// notes, and the check's warnings.
#pragma once
#include <map>
#include <nlohmann/json.hpp>
#include <string>

#include "tool/comune/guasto.h"
#include "tool/server/lsp/coppia_lsp.h"

namespace lsp {

// Every document of the pair that has a URI gets its list, empty or not.
std::map<std::string, nlohmann::json> diagnosi_coppia(const coppia& c,
                                                      const esito<istantanea>& linea,
                                                      const esito<istantanea>& treno, bool disco);

}  // namespace lsp
