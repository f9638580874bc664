#include "tool/server/lsp/cornice.h"

#include <cctype>

namespace lsp {

namespace {

// The value of the last "Content-Length:" in the block (any case, anywhere in
// a line, so that the rest of a cut message before it does not hide it);
// false when there is none or it is no plain decimal below the limit.
bool lunghezza(std::string_view blocco, size_t& n, bool& troppo) {
  static constexpr std::string_view kNome = "content-length:";
  size_t trovato = std::string_view::npos;
  for (size_t i = 0; i + kNome.size() <= blocco.size(); ++i) {
    size_t k = 0;
    while (k < kNome.size() && std::tolower(static_cast<unsigned char>(blocco[i + k])) == kNome[k])
      ++k;
    if (k == kNome.size()) trovato = i + k;
  }
  if (trovato == std::string_view::npos) return false;
  size_t i = trovato;
  while (i < blocco.size() && (blocco[i] == ' ' || blocco[i] == '\t')) ++i;
  size_t v = 0, cifre = 0;
  troppo = false;
  for (; i < blocco.size() && std::isdigit(static_cast<unsigned char>(blocco[i])); ++i, ++cifre) {
    v = v * 10 + static_cast<size_t>(blocco[i] - '0');
    if (v > kMessaggioMassimo) troppo = true, v = kMessaggioMassimo + 1;
  }
  while (i < blocco.size() && (blocco[i] == ' ' || blocco[i] == '\t')) ++i;
  if (cifre == 0 || (i < blocco.size() && blocco[i] != '\r' && blocco[i] != '\n')) return false;
  n = v;
  return !troppo;
}

}  // namespace

void cornice::aggiungi(std::string_view b) {
  if (pos_ > 0 && pos_ * 2 > buf_.size()) {
    buf_.erase(0, pos_);
    pos_ = 0;
  }
  buf_.append(b);
}

bool cornice::prossimo(std::string& corpo, std::string& guasto) {
  corpo.clear();
  guasto.clear();
  if (in_corpo_) {
    if (buf_.size() - pos_ < atteso_) return false;
    corpo = buf_.substr(pos_, atteso_);
    pos_ += atteso_;
    in_corpo_ = false;
    return true;
  }
  const size_t fine = buf_.find("\r\n\r\n", pos_);
  if (fine == std::string::npos) {
    if (buf_.size() - pos_ <= kTestataMassima) return false;
    // Keep the last bytes: they may be the start of the next header.
    pos_ = buf_.size() - 3;
    guasto = "intestazione più lunga di " + std::to_string(kTestataMassima) +
             " byte senza riga vuota: scartata";
    return true;
  }
  const std::string_view blocco(buf_.data() + pos_, fine - pos_);
  pos_ = fine + 4;
  size_t n = 0;
  bool troppo = false;
  if (!lunghezza(blocco, n, troppo)) {
    guasto = troppo ? "messaggio più grande di " + std::to_string(kMessaggioMassimo) +
                          " byte: scartato, si cerca l'intestazione seguente"
                    : "intestazione senza un Content-Length valido: scartata";
    return true;
  }
  atteso_ = n;
  in_corpo_ = true;
  return prossimo(corpo, guasto);
}

std::string incornicia(std::string_view corpo) {
  std::string out = "Content-Length: " + std::to_string(corpo.size()) + "\r\n\r\n";
  out.append(corpo);
  return out;
}

}  // namespace lsp
