// The program's own process: its arguments and its console.
#pragma once
#include <string>
#include <vector>

namespace processo {

// The arguments after the program's name, as UTF-8 text whatever the system's
// code page.
std::vector<std::string> argomenti(int argc, char** argv);
// Readies standard output and error for UTF-8 text.
void prepara_console();

}  // namespace processo
