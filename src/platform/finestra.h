// The program's window: a label shown while the run works, and a modal message box.
#pragma once
#include <string>

struct finestra {
  // Shows the window with its label and paints it once.
  void mostra(const std::string& etichetta);
  // Modal box with one OK button; returns when it is closed.
  void messaggio(const std::string& testo);
  void chiudi();
};
