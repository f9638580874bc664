// What Ctrl-C or the closing of the console cleans up: the temporary files
// alive at that moment.
#pragma once
#include <string>

namespace interruzione {

int registra(const std::wstring& nome);
void libera(int posto);
// The console's control handler.
void installa();

}  // namespace interruzione
