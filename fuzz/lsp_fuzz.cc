// The language server's message reader and document edits from the fuzzer's
// bytes. Two documents of one pair are open from the start (small sources,
// so the compile after each change stays quick); the input is a list of
// operations split at 0xFF bytes, each one byte of kind and its data:
//   'r' raw bytes for the channel, framed messages or not;
//   'c' a change: four 16-bit numbers (start line and character, end line
//       and character), then the new text;
//   'C' the same with four 64-bit numbers, far past the protocol's range;
//   'h', 's', 'k', 'f' hover at two 16-bit numbers, outline, completion,
//       formatting of the document chosen by the first data byte;
//   'u' a line source opened under a URI of the data (its escapes may
//       decode to bytes that are no UTF-8) and its outline asked for;
//   'n' a request whose params (first data byte odd: whose id) hold the
//       rest of the data inside as many arrays as the next two bytes say.
// What must hold: nothing the client sends ends the server or breaks an
// answer (every message it sends is valid JSON with "jsonrpc": "2.0", and
// every position in it a uinteger of the protocol), and the documents keep
// answering.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <nlohmann/json.hpp>
#include <string>
#include <string_view>
#include <vector>

#include "platform/testo.h"
#include "tool/server/lsp/cornice.h"
#include "tool/server/lsp/server_lsp.h"

namespace {

using nlohmann::json;

const char* const kLinea = "file:///non-esiste/cartella/R_linea.txt";
const char* const kTreno = "file:///non-esiste/cartella/R_1-.txt";

const char* const kTestoLinea =
    "[generale]\r\nlunghezza percorso, 3000\r\n[curve]\r\ncurvad1, 500, 200\r\n"
    "pendenza, 100, 5\r\n[fine]\r\n";
const char* const kTestoTreno =
    "[generale]\r\nnumero vetture, 3\r\nvelocita, 0, 60\r\n[stazioni]\r\n"
    "stazione, 0, 8, 500, 1, 1, 0, 4,1,0, 2,1,1, 1, 14,25, 0, PRIMA\r\n[fine]\r\n";

uint64_t numero64(std::string_view d, size_t i) {
  uint64_t v = 0;
  for (size_t k = 0; k < 8 && i + k < d.size(); ++k)
    v |= uint64_t{static_cast<uint8_t>(d[i + k])} << (8 * k);
  return v;
}

int numero(std::string_view d, size_t i) {
  if (i + 1 >= d.size()) return 0;
  return static_cast<int16_t>(static_cast<uint8_t>(d[i]) | (static_cast<uint8_t>(d[i + 1]) << 8));
}

json posizione(int riga, int carattere) {
  return {{"line", riga}, {"character", carattere}};
}

std::string annidato(std::string_view d) {
  const size_t livelli = d.size() >= 3 ? static_cast<uint16_t>(numero(d, 1)) : 0;
  const std::string dentro(d.substr(std::min<size_t>(d.size(), 3)));
  return std::string(livelli, '[') + (dentro.empty() ? "1" : dentro) + std::string(livelli, ']');
}

struct prova {
  std::vector<std::string> mandati;
  lsp::server s{[this](const std::string& m) { mandati.push_back(m); }};
  int id = 0;

  void manda(const json& m) { s.tratta(m.dump()); }
  void chiedi(const std::string& metodo, json parametri) {
    manda({{"jsonrpc", "2.0"}, {"id", ++id}, {"method", metodo}, {"params", std::move(parametri)}});
  }
  void avvisa(const std::string& metodo, json parametri) {
    manda({{"jsonrpc", "2.0"}, {"method", metodo}, {"params", std::move(parametri)}});
  }
  void apri(const char* uri, const char* testo) {
    avvisa(
        "textDocument/didOpen",
        {{"textDocument", {{"uri", uri}, {"languageId", "x"}, {"version", 1}, {"text", testo}}}});
  }
  void operazione(char genere, std::string_view d) {
    const char* uri = !d.empty() && (d[0] & 1) ? kTreno : kLinea;
    const json doc = {{"uri", uri}};
    if (genere == 'c' && d.size() >= 8) {
      const json r = {{"start", posizione(numero(d, 0), numero(d, 2))},
                      {"end", posizione(numero(d, 4), numero(d, 6))}};
      avvisa("textDocument/didChange",
             {{"textDocument", {{"uri", uri}, {"version", ++id}}},
              {"contentChanges", {{{"range", r}, {"text", testo::utf8_valido(d.substr(8))}}}}});
    } else if (genere == 'C' && d.size() >= 32) {
      const json r = {{"start", {{"line", numero64(d, 0)}, {"character", numero64(d, 8)}}},
                      {"end", {{"line", numero64(d, 16)}, {"character", numero64(d, 24)}}}};
      avvisa("textDocument/didChange",
             {{"textDocument", {{"uri", uri}, {"version", ++id}}},
              {"contentChanges", {{{"range", r}, {"text", testo::utf8_valido(d.substr(32))}}}}});
    } else if (genere == 'u') {
      const std::string u = "file:///" + testo::utf8_valido(d) + "_linea.txt";
      apri(u.c_str(), kTestoLinea);
      chiedi("textDocument/documentSymbol", {{"textDocument", {{"uri", u}}}});
    } else if (genere == 'n') {
      const std::string a = annidato(d);
      s.tratta(!d.empty() && (d[0] & 1)
                   ? R"({"jsonrpc":"2.0","method":"textDocument/hover","id":)" + a + "}"
                   : R"({"jsonrpc":"2.0","method":"textDocument/hover","id":1,"params":)" + a +
                         "}");
    } else if (genere == 'h') {
      chiedi("textDocument/hover",
             {{"textDocument", doc}, {"position", posizione(numero(d, 1), numero(d, 3))}});
    } else if (genere == 's') {
      chiedi("textDocument/documentSymbol", {{"textDocument", doc}});
    } else if (genere == 'k') {
      chiedi("textDocument/completion", {{"textDocument", doc}, {"position", posizione(0, 0)}});
    } else if (genere == 'f') {
      chiedi("textDocument/formatting", {{"textDocument", doc}, {"options", json::object()}});
    }
  }
};

// Every line and character in what the server sends (its own messages, a
// few levels deep).
bool posizioni_valide(const json& j) {
  if (j.is_array())
    return std::all_of(j.begin(), j.end(), [](const json& x) { return posizioni_valide(x); });
  if (!j.is_object()) return true;
  for (const auto& [k, v] : j.items()) {
    if ((k == "line" || k == "character") &&
        (!v.is_number_unsigned() || v.get<uint64_t>() > uint64_t{2147483647}))
      return false;
    if (!posizioni_valide(v)) return false;
  }
  return true;
}

void controlla(const std::vector<std::string>& mandati) {
  for (const std::string& m : mandati) {
    const json j = json::parse(m, nullptr, false);
    if (j.is_discarded() || !j.is_object() || j.value("jsonrpc", "") != "2.0" ||
        !posizioni_valide(j)) {
      std::fprintf(stderr, "\n*** lsp_fuzz: messaggio non valido: %.200s\n", m.c_str());
      std::abort();
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* dati, size_t n) {
  prova p;
  p.s.disco = false;
  p.s.sincrono = true;
  p.chiedi("initialize", {{"capabilities", json::object()}});
  p.apri(kLinea, kTestoLinea);
  p.apri(kTreno, kTestoTreno);
  lsp::cornice c;
  const std::string_view tutto(reinterpret_cast<const char*>(dati), n);
  size_t i = 0;
  while (i < tutto.size()) {
    size_t fine = tutto.find('\xFF', i);
    if (fine == std::string_view::npos) fine = tutto.size();
    const std::string_view op = tutto.substr(i, fine - i);
    i = fine + 1;
    if (op.empty()) continue;
    if (op[0] == 'r') {
      c.aggiungi(op.substr(1));
      std::string corpo, guasto;
      while (c.prossimo(corpo, guasto))
        if (guasto.empty()) p.s.tratta(corpo);
    } else {
      p.operazione(op[0], op.substr(1));
    }
    if (p.s.finito()) break;
  }
  // The documents still answer, whatever came before.
  if (!p.s.finito()) p.operazione('s', "");
  controlla(p.mandati);
  return 0;
}
