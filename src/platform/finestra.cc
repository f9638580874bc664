// What the window is on every platform: one owner of the native window.
#include "platform/finestra.h"

#include <utility>

finestra::~finestra() {
  chiudi();
}

finestra::finestra(finestra&& altra) noexcept : n(std::exchange(altra.n, nullptr)) {}

finestra& finestra::operator=(finestra&& altra) noexcept {
  if (this != &altra) {
    chiudi();
    n = std::exchange(altra.n, nullptr);
  }
  return *this;
}
