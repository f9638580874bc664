#include "output/flusso_planimetria.h"

#include <new>
#include <string_view>

#include "output/immagini.h"
#include "platform/memoria.h"

namespace {

// Bytes of a piece: its points as doubles, and room for the two empty points
// that close the plan.
constexpr size_t kBytePezzo = (flusso_planimetria::kPuntiPezzo + 2) * 10;

}  // namespace

flusso_planimetria::flusso_planimetria(file::disco& d, const std::string& nome,
                                       const planimetria_linea& p)
    : f_(d.sostituzione(nome)) {
  // Points 0 and 1 are 16-bit integers, the last two empty, all the others
  // doubles: 2 + 2, 2 and 2 + 8 bytes each.
  const uint64_t n = p.punti();
  colonna_ = 2 * 4 + (n - 4) * 10 + 2 * 2;
  f_->riserva(2 * colonna_);
  pezzi_.reset(static_cast<char*>(memoria::alloca_pagine(2 * kBytePezzo)));
  if (!pezzi_) throw std::bad_alloc();
  qx = pezzi_.get();
  qy = pezzi_.get() + kBytePezzo;
  spazio = kPuntiPezzo;
  qx = immagini::codifica_colonna(p.genere.data(), p.x.data(), 0, 2, qx);
  qy = immagini::codifica_colonna(p.genere.data(), p.y.data(), 0, 2, qy);
  spazio -= 2;
  punti = 2;
  ultimi[0] = p.x[0];
  ultimi[1] = p.y[0];
  ultimi[2] = p.x[1];
  ultimi[3] = p.y[1];
}

void flusso_planimetria::libera_blocco::operator()(char* p) const {
  memoria::libera_pagine(p, 2 * kBytePezzo);
}

void flusso_planimetria::scrivi_pezzi() {
  char* bx = pezzi_.get();
  char* by = bx + kBytePezzo;
  // Both columns share the kinds of their points, so their pieces hold the
  // same number of bytes.
  const auto n = static_cast<size_t>(qx - bx);
  if (!fallita_) {
    try {
      f_->scrivi_a(fatto_, std::string_view(bx, n));
      f_->scrivi_a(colonna_ + fatto_, std::string_view(by, n));
    } catch (const file::errore_io&) {
      fallita_ = std::current_exception();
    }
  }
  fatto_ += n;
  qx = bx;
  qy = by;
}

void flusso_planimetria::consegna() {
  scrivi_pezzi();
  spazio = kPuntiPezzo;
}

bool flusso_planimetria::completo(const planimetria_linea& p) const {
  return p.x.size() == p.punti() && p.y.size() == p.punti() && punti + 2 == p.punti() &&
         fatto_ + static_cast<uint64_t>(qx - pezzi_.get()) + 2 * 2 == colonna_;
}

void flusso_planimetria::finisci(const planimetria_linea& p) {
  qx = immagini::codifica_colonna(p.genere.data(), p.x.data(), punti, p.punti(), qx);
  qy = immagini::codifica_colonna(p.genere.data(), p.y.data(), punti, p.punti(), qy);
  punti = p.punti();
  scrivi_pezzi();
  spazio = 0;
  if (fallita_) std::rethrow_exception(fallita_);
  f_->chiudi();
}
