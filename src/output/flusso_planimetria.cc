#include "output/flusso_planimetria.h"

#include <new>
#include <string_view>

#include "output/immagini.h"
#include "platform/memoria.h"

namespace {

// Bytes of a piece: its points as doubles, and room for the two empty points
// that close the plan.
constexpr size_t kBytePezzo = (flusso_planimetria::kPuntiPezzo + 2) * 10;
// Pieces in memory: enough to keep the writer busy, few enough that the
// plan's arrays stay the largest thing the compile holds.
constexpr size_t kPezzi = 8;

}  // namespace

flusso_planimetria::flusso_planimetria(const std::string& nome, const planimetria_linea& p)
    : f_(nome) {
  // Points 0 and 1 are 16-bit integers, the last two empty, all the others
  // doubles: 2 + 2, 2 and 2 + 8 bytes each.
  const uint64_t n = p.punti();
  colonna_ = 2 * 4 + (n - 4) * 10 + 2 * 2;
  f_.riserva(2 * colonna_);
  pezzi_.reset(static_cast<char*>(memoria::alloca_pagine(kPezzi * kBytePezzo)));
  if (!pezzi_) throw std::bad_alloc();
  liberi_.reserve(kPezzi);
  for (size_t k = kPezzi; k-- > 0;) liberi_.push_back(pezzi_.get() + k * kBytePezzo);
  prendi_pezzi();
  qx = immagini::codifica_colonna(p.genere.data(), p.x.data(), 0, 2, qx);
  qy = immagini::codifica_colonna(p.genere.data(), p.y.data(), 0, 2, qy);
  spazio -= 2;
  punti = 2;
  ultimi[0] = p.x[0];
  ultimi[1] = p.y[0];
  ultimi[2] = p.x[1];
  ultimi[3] = p.y[1];
  scrittore_ = std::thread([this] { scrivi(); });
}

flusso_planimetria::~flusso_planimetria() {
  if (scrittore_.joinable()) {
    {
      std::lock_guard l(m_);
      annullato_ = true;
      chiuso_ = true;
    }
    cv_.notify_all();
    scrittore_.join();
  }
}

void flusso_planimetria::libera_blocco::operator()(char* p) const {
  memoria::libera_pagine(p, kPezzi * kBytePezzo);
}

void flusso_planimetria::prendi_pezzi() {
  std::unique_lock l(m_);
  cv_.wait(l, [&] { return liberi_.size() >= 2; });
  bx_ = liberi_.back();
  liberi_.pop_back();
  by_ = liberi_.back();
  liberi_.pop_back();
  qx = bx_;
  qy = by_;
  spazio = kPuntiPezzo;
}

void flusso_planimetria::accoda_pezzi() {
  // Both columns share the kinds of their points, so their pieces hold the
  // same number of bytes.
  const size_t n = static_cast<size_t>(qx - bx_);
  {
    std::lock_guard l(m_);
    coda_.push_back({bx_, fatto_, n});
    coda_.push_back({by_, colonna_ + fatto_, n});
  }
  cv_.notify_all();
  fatto_ += n;
  qx = qy = bx_ = by_ = nullptr;
  spazio = 0;
}

void flusso_planimetria::consegna() {
  accoda_pezzi();
  prendi_pezzi();
}

bool flusso_planimetria::completo(const planimetria_linea& p) const {
  return p.x.size() == p.punti() && p.y.size() == p.punti() && punti + 2 == p.punti() &&
         fatto_ + static_cast<uint64_t>(qx - bx_) + 2 * 2 == colonna_;
}

void flusso_planimetria::finisci(const planimetria_linea& p) {
  qx = immagini::codifica_colonna(p.genere.data(), p.x.data(), punti, p.punti(), qx);
  qy = immagini::codifica_colonna(p.genere.data(), p.y.data(), punti, p.punti(), qy);
  punti = p.punti();
  accoda_pezzi();
  {
    std::lock_guard l(m_);
    chiuso_ = true;
  }
  cv_.notify_all();
  scrittore_.join();
  if (fallita_) std::rethrow_exception(fallita_);
  f_.chiudi();
}

void flusso_planimetria::scrivi() {
  std::unique_lock l(m_);
  for (;;) {
    cv_.wait(l, [&] { return !coda_.empty() || chiuso_; });
    if (coda_.empty()) return;
    pezzo p = std::move(coda_.front());
    coda_.pop_front();
    // After a failure nothing more is written; the pieces still go back, so
    // the trace never waits for one in vain.
    const bool salta = annullato_ || fallita_;
    l.unlock();
    if (!salta) {
      try {
        f_.scrivi_a(p.offset, std::string_view(p.b, p.n));
      } catch (...) {
        l.lock();
        fallita_ = std::current_exception();
        l.unlock();
      }
    }
    l.lock();
    liberi_.push_back(p.b);
    cv_.notify_all();
  }
}
