// Documents are named by file URIs; the compile reads paths. Only "file:"
// URIs have a folder, and so a partner and a compile.
#pragma once
#include <string>

namespace lsp {

// "file:///d/x%20y.txt" -> "/d/x y.txt"; on Windows "file:///C:/d/x.txt" ->
// "C:\d\x.txt". False for another scheme or a bad escape.
bool percorso_di(const std::string& uri, std::string& percorso);
// The URI up to its last "/" (the folder) and the decoded name after it.
bool divide(const std::string& uri, std::string& cartella_uri, std::string& nome);
// A folder's URI and a name joined, the name escaped.
std::string unisci(const std::string& cartella_uri, const std::string& nome);
// A line source by its name (the sources' scheme) or, when the name says
// nothing, by the editor's language.
bool e_linea(const std::string& uri, const std::string& lingua);

}  // namespace lsp
