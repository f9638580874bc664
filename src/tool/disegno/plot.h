// `scenario plot`: the line as one SVG, or the preview page with its data.
#pragma once
#include "tool/comune/argomenti.h"

int comando_plot(const argomenti& a);
