// The one file a .zip archive holds that ends in a given way (an SRTM tile
// in its archive), stored or deflated.
#pragma once
#include <string>
#include <string_view>

namespace bozza {

bool estrai_da_zip(std::string_view zip, std::string_view coda, std::string& nome,
                   std::string& dati, std::string& errore);

}  // namespace bozza
