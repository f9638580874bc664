// The program's window: a label shown while the run works, and a modal message box.
// The label always goes to standard output and the message to standard error
// too, so runs without a display, and the scripts that read them, see the same
// texts. With a display the window is real (X11 on Linux, Win32 on Windows).
#pragma once
#include <string>

struct finestra {
  finestra() = default;
  ~finestra();
  finestra(const finestra&) = delete;
  finestra& operator=(const finestra&) = delete;
  finestra(finestra&& altra) noexcept;
  finestra& operator=(finestra&& altra) noexcept;

  // Shows the window with its label and paints it once.
  void mostra(const std::string& etichetta);
  // Modal box with one OK button; returns when it is closed.
  void messaggio(const std::string& testo);
  void chiudi();
  // Reports a failure that ends the run (a file that cannot be written) where
  // the user sees it: standard error, and on Windows, which gives the program no
  // console, a message box.
  void guasto(const std::string& testo);

  // The platform's open window; null when the console stands in.
  struct nativa;
  nativa* n = nullptr;
};
