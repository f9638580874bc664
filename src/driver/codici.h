// The error codes of a run. 0 means no error.
#pragma once
#include <cstdint>
#include <string_view>

namespace codice {
constexpr int32_t nessuno = 0;
constexpr int32_t lunghezza_eccessiva = 1;
constexpr int32_t progressive_non_multiple = 2;
constexpr int32_t ripetizione_inizio = 3;
constexpr int32_t ripetizione_fine = 4;
constexpr int32_t ripetizione_codici = 5;
constexpr int32_t cartello_occupato = 6;
constexpr int32_t abbattimento_occupato = 7;
constexpr int32_t stazione_posizione = 8;
constexpr int32_t stazione_lunghezza = 9;
constexpr int32_t troppe_stazioni = 10;
constexpr int32_t regola_segnale = 11;
constexpr int32_t regola_avvicinamento = 12;
constexpr int32_t regola_interno = 13;
constexpr int32_t oltre_le_celle = 15;
constexpr int32_t segnale_occupato = 16;
constexpr int32_t avviso_occupato = 17;
constexpr int32_t inizio_occupato = 18;
constexpr int32_t fine_occupata = 19;
constexpr int32_t avvicinamento_occupato = 20;
constexpr int32_t indicatori_occupati = 21;
constexpr int32_t stazioni_vicine = 22;
constexpr int32_t fermata_iniziale = 24;
constexpr int32_t lettura_fallita = 25;
constexpr int32_t linea_mancante = 101;
constexpr int32_t generale_mancante = 102;
constexpr int32_t curva_errata = 103;
constexpr int32_t timbri_occupati = 1250;
constexpr int32_t codici_occupati = 1251;

// Meaning of a code, in the system's language; empty for a code not in the table.
std::string_view significato(int32_t c);
}  // namespace codice
