// `scenario lsp`: the language server on standard input and output.
#pragma once
#include "tool/comune/argomenti.h"

int comando_lsp(const argomenti& a);
