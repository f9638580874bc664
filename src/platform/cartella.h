#pragma once
#include <string>

// The folder that holds the running executable, without a trailing separator.
std::string cartella_programma();
