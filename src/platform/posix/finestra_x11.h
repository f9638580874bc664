// The X11 side of `finestra`. Built without X11, or run without a reachable
// display or without libX11.so.6 (loaded at run time, by the first window),
// every function here does nothing and leaves `s` null.
#pragma once
#include <string>

#include "platform/finestra.h"

namespace finestra_x11 {

// Opens the display and shows a window titled `titolo` whose only content is
// the label; the server keeps it painted without an event loop. Waits for it
// half a second at most.
void mostra(finestra::nativa*& s, const std::string& titolo, const std::string& etichetta);
// Modal box with the text and one OK button; returns when it is closed (Enter,
// Escape, space, a click on OK, the window manager's close), when the display
// is lost, or when the box could not get on the screen within a few seconds.
void messaggio(finestra::nativa*& s, const std::string& testo);
// Closes the window and the display (waiting half a second at most); `s`
// becomes null.
void chiudi(finestra::nativa*& s);

}  // namespace finestra_x11
