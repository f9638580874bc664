// The two sources of a draft, laid out as the built-in ones (Windows-1252).
#pragma once
#include <string>
#include <vector>

#include "tool/bozza/stesura.h"

namespace bozza {

// The warnings are what the writing met (a name the code page lacks); the
// caller keeps those of the writing it gives out.
std::vector<avviso_bozza> scrivi_sorgenti(const bozza_linea& b, const scelte_bozza& s,
                                          std::string& linea, std::string& treno);

}  // namespace bozza
