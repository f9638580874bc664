// The report of a draft, for the author (Italian) or as one JSON line.
#pragma once
#include <string>
#include <vector>

#include "tool/bozza/stesura.h"

namespace bozza {

std::string resoconto_testo(const esito_bozza& e, const std::vector<std::string>& files);
std::string resoconto_json(const esito_bozza& e, const std::vector<std::string>& files);

}  // namespace bozza
