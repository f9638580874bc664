// A message of the client's, as the dispatch and the handlers see it.
#pragma once
#include <nlohmann/json.hpp>
#include <string>

#include "tool/server/lsp/server_lsp.h"

namespace lsp {

struct server::richiesta {
  std::string metodo;
  nlohmann::json id;  // a number or a text; only with ha_id
  bool ha_id = false;
  nlohmann::json parametri;
};

}  // namespace lsp
