// What Ctrl-C or the closing of the console cleans up: the temporary files
// and the private folders alive at that moment.
#pragma once
#include <string>

namespace interruzione {

int registra(const std::wstring& nome, bool cartella);
void libera(int posto);
// Removes a folder with all it holds, read-only files included.
void rimuovi_albero(const std::wstring& cartella);
// The console's control handler.
void installa();

}  // namespace interruzione
