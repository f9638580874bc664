// Heights from SRTM tiles (.hgt of 1 or 3 arc-seconds, alone or inside a
// .zip) and the line's gradients drawn from them.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "tool/bozza/geodesia.h"

namespace bozza {

struct tessera {
  std::string nome;            // the file, as the author named it
  int lat0 = 0, lon0 = 0;      // its south-west corner, degrees
  int lato = 0;                // posts a side: 1201 or 3601
  std::vector<int16_t> quote;  // rows from the north, -32768 for a void
};

// Reads a tile from its bytes: the corner from the name (N50E011.hgt, or the
// .hgt inside the .zip), the resolution from the size. False with the reason
// in Italian.
bool leggi_tessera(const std::string& nome, const std::string& dati, tessera& t,
                   std::string& errore);
// The same from a file, its size looked at before anything is read.
bool leggi_file_tessera(const std::string& nome, tessera& t, std::string& errore);

enum class esito_quota : uint8_t { trovata, vuoto, fuori };

// The height at a point, bilinear between the four posts around it.
esito_quota quota(const std::vector<tessera>& tessere, coordinate c, double& metri);

}  // namespace bozza
