// A message of the client's, as the server's handlers see it.
#pragma once
#include <nlohmann/json.hpp>
#include <string>

#include "tool/server/lsp/server_lsp.h"

namespace lsp {

// The protocol's code for parameters a method cannot take.
constexpr int kInvalidParams = -32602;

struct server::richiesta {
  std::string metodo;
  nlohmann::json id;  // a number or a text; only with ha_id
  bool ha_id = false;
  nlohmann::json parametri;
};

}  // namespace lsp
