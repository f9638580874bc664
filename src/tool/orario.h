// The timetable against the line: the fastest run the speed limits allow
// between two places, and the warnings where a scheduled time is shorter.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "compiler/stato_lettura.h"
#include "model/records.h"

// Seconds of the fastest run from metre `da` to metre `a`: over every cell,
// its length between them over its limit. A cell without a limit adds
// nothing, so the run is a lower bound.
double corsa_minima(const std::vector<cella_percorso>& celle, int64_t da, int64_t a);

// "14:05:09" for seconds after midnight; "8 min 4 s" for a length of time.
std::string ora_testo(int64_t secondi);
std::string durata_testo(int64_t secondi);

// A warning on the later station wherever the time between two stations
// with a time, taken in order of position, is shorter than the fastest run
// between them. `voci` are the entries read: the k-th station entry is the
// k-th station of the table.
void avvisi_orario(const tabella& t, const std::vector<cella_percorso>& celle,
                   const std::vector<voce_letta>& voci, std::vector<avviso>& avvisi);
