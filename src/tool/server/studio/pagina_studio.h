// The studio's home page (pagina_studio.html), built into the program.
#pragma once
#include <string_view>

std::string_view pagina_studio();
