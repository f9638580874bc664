// The preview page (pagina.html), built into the program.
#pragma once
#include <string_view>

std::string_view pagina_anteprima();
