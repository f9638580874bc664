// The one file a .zip archive holds that ends in a given way (an SRTM tile
// in its archive), stored or deflated.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

namespace bozza {

// Why a file of this many bytes is not the one wanted; empty when it may be.
using perche_no = std::string (*)(uint64_t byte);

// An entry whose declared size `misura` refuses is refused with its reason
// before anything is inflated.
bool estrai_da_zip(std::string_view zip, std::string_view coda, perche_no misura, std::string& nome,
                   std::string& dati, std::string& errore);

}  // namespace bozza
