// Check codes tying the compiled files to the train number and route name.
#include <string>
#include <string_view>

#include "driver/form1.h"
#include "model/formato.h"
#include "platform/testo.h"

namespace {

constexpr std::string_view kRiempimento = "aabbccddeeffgghhiillmmnnoo";
constexpr size_t kCaratteri = 25;

// The 25 characters both codes are taken from: train number and route name,
// lower-cased, padded with the fill text.
std::string caratteri_gara(const tabella& t) {
  std::string s = testo::minuscolo(t[formato::kVoceRipetizione].nome + t[formato::kVoceLinea].nome);
  s += kRiempimento;
  s.resize(kCaratteri);
  return s;
}

int32_t codice(char c) {
  return static_cast<unsigned char>(c);
}

}  // namespace

int32_t Form1::codice_gara_st() {
  std::string s = caratteri_gara(tabella_linea);
  int32_t somma = 0;
  for (size_t p = 0; p < s.size(); ++p) somma += codice(s[p]) * static_cast<int32_t>(p + 1);
  return somma;
}

int32_t Form1::codice_gara_og() {
  std::string s = caratteri_gara(tabella_linea);
  int32_t somma = 0;
  for (char c : s) somma += codice(c);
  return somma;
}
