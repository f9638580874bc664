// The subcommands that need no room of their own: they write the built-in
// sources, compile, check and print compiled files. The others are declared
// by their rooms; scenario.cc names them all.
#pragma once
#include "tool/comune/argomenti.h"

int comando_sources(const argomenti& a);
int comando_compile(const argomenti& a);
int comando_check(const argomenti& a);
int comando_dump(const argomenti& a);
int comando_voci(const argomenti& a);

// Runs the tool with the arguments after its name.
int esegui_scenario(const argomenti& args);
