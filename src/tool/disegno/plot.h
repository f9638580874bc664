// `scenario plot`: the line as one SVG, or the preview page with its data.
#pragma once
#include <string>
#include <vector>

#include "model/records.h"
#include "tool/comune/argomenti.h"

// The line drawn as one self-contained SVG document: the plan from above with
// stations, signals and boards, and the gradient and speed-limit profiles.
std::string disegna_linea(const tabella& t, const std::vector<cella_percorso>& celle,
                          const planimetria_linea& p);

int comando_plot(const argomenti& a);
