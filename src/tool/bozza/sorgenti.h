// The two sources of a draft, laid out as the built-in ones (Windows-1252).
#pragma once
#include <string>

#include "tool/bozza/stesura.h"

namespace bozza {

void scrivi_sorgenti(bozza_linea& b, const scelte_bozza& s, std::string& linea, std::string& treno);

}  // namespace bozza
