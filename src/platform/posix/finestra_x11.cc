#include "platform/posix/finestra_x11.h"

#ifndef COMPATTATORE_X11

// Built without X11: the console stands in alone.
struct finestra::nativa {};

namespace finestra_x11 {
void mostra(finestra::nativa*&, const std::string&, const std::string&) {}
void messaggio(finestra::nativa*&, const std::string&) {}
void chiudi(finestra::nativa*&) {}
}  // namespace finestra_x11

#else

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>
#include <dlfcn.h>
#include <errno.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>

#include "platform/agganci.h"
#include "platform/testo.h"

// Every X call happens on a thread of its own: a server that does not answer
// (grabbed by a window manager, stopped, far away) then holds up only that
// thread, and the run waits for it no longer than the bounds below.
namespace {

using std::chrono::milliseconds;
using std::chrono::steady_clock;

// How long the run waits for the window to be on the screen before it works.
constexpr milliseconds attesa_finestra{500};
// How long a message box may take to appear before the run gives up on it.
constexpr milliseconds attesa_scatola{5000};
// How long closing may take before the run leaves it to the window's thread.
constexpr milliseconds attesa_chiusura{500};

// What the run and the window's thread share, under `m`.
struct condiviso {
  std::mutex m;
  std::condition_variable cv;
  bool pronta = false;                   // the window is on the screen
  bool terminata = false;                // the thread has ended: no display, or closed
  std::optional<std::string> messaggio;  // box asked for, not yet taken
  bool scatola_visibile = false, scatola_chiusa = false;
  bool chiudi = false;
};

// Every Xlib function this file calls. libX11 (and libxcb and the rest behind
// it) is loaded only when a window is about to be made: every run without a
// display, and every `scenario` run, starts without the cost of loading them,
// and a machine without libX11 runs the console stand-in alone. The headers
// still give the types, the constants and the macros that only read `Display`.
#define FUNZIONI_XLIB(F)        \
  F(XAllocColor)                \
  F(XAllocSizeHints)            \
  F(XAllocWMHints)              \
  F(XChangeProperty)            \
  F(XCloseDisplay)              \
  F(XCreateGC)                  \
  F(XCreatePixmap)              \
  F(XCreateWindow)              \
  F(XDestroyWindow)             \
  F(XDrawRectangle)             \
  F(XDrawString)                \
  F(XFillRectangle)             \
  F(XFlush)                     \
  F(XFree)                      \
  F(XFreeFont)                  \
  F(XFreeGC)                    \
  F(XFreePixmap)                \
  F(XInternAtom)                \
  F(XLoadQueryFont)             \
  F(XLookupKeysym)              \
  F(XMapRaised)                 \
  F(XNextEvent)                 \
  F(XOpenDisplay)               \
  F(XParseColor)                \
  F(XPending)                   \
  F(XSelectInput)               \
  F(XSetClassHint)              \
  F(XSetErrorHandler)           \
  F(XSetFont)                   \
  F(XSetForeground)             \
  F(XSetIOErrorExitHandler)     \
  F(XSetIOErrorHandler)         \
  F(XSetInputFocus)             \
  F(XSetTransientForHint)       \
  F(XSetWMHints)                \
  F(XSetWMNormalHints)          \
  F(XSetWMProtocols)            \
  F(XSetWindowBackgroundPixmap) \
  F(XStoreName)                 \
  F(XSync)                      \
  F(XTextWidth)

struct libreria_x {
#define PUNTATORE(nome) decltype(&::nome) nome = nullptr;
  FUNZIONI_XLIB(PUNTATORE)
#undef PUNTATORE
};

// libX11 with all of the functions above, loaded once per process by the first
// window's thread (a later window's thread may start while an earlier one is
// still held up by its server: the static's initialisation is thread-safe);
// null when the library or one of them is missing, as with a libX11 older than
// the lost-connection handler the run relies on. Never unloaded: a window's
// thread that `chiudi` left to finish by itself may still be inside it.
const libreria_x* carica_libreria_x() {
  static const libreria_x* const caricata = []() -> const libreria_x* {
    void* libreria = dlopen("libX11.so.6", RTLD_NOW | RTLD_LOCAL);
    if (!libreria) return nullptr;
    static libreria_x x;
#define CERCA(nome) \
  if (!(x.nome = reinterpret_cast<decltype(&::nome)>(dlsym(libreria, #nome)))) return nullptr;
    FUNZIONI_XLIB(CERCA)
#undef CERCA
    return &x;
  }();
  return caricata;
}

// The X side, touched only by the window's thread.
struct x11 {
  const libreria_x* x = nullptr;
  Display* d = nullptr;
  bool perso = false;  // connection lost: only XCloseDisplay is left to do
  int n = 0;           // screen
  XFontStruct* font = nullptr;
  GC gc = nullptr;
  unsigned long grigio = 0, bianco = 0, nero = 0, bordo_attivo = 0, premuto = 0;
  Window principale = None;
};

int ignora_errore(Display*, XErrorEvent*) {
  return 0;
}
// Set on a window's thread once its display has the exit handler below.
thread_local bool uscita_sostituita = false;

int ignora_errore_io(Display*) {
  // Lost while the display was still being opened, before the handler below
  // was on it: Xlib would end the process as soon as this returns. The thread
  // stays here instead, like one held up by a server that does not answer,
  // and the run waits for it no longer than its bounds.
  while (!uscita_sostituita) std::this_thread::sleep_for(std::chrono::hours(1));
  return 0;
}
// Replaces Xlib's exit on a lost connection: the run goes on without the window.
void connessione_persa(Display*, void* dati) {
  static_cast<x11*>(dati)->perso = true;
}

const char* nome_programma() {
  return program_invocation_short_name && *program_invocation_short_name
             ? program_invocation_short_name
             : "compattatore";
}

unsigned long colore(const x11& s, const char* nome, unsigned long riserva) {
  Colormap mappa = DefaultColormap(s.d, s.n);
  XColor c;
  if (s.x->XParseColor(s.d, mappa, nome, &c) && s.x->XAllocColor(s.d, mappa, &c)) return c.pixel;
  return riserva;
}

bool apri(x11& s) {
  if (!(s.x = carica_libreria_x())) return false;
  s.x->XSetErrorHandler(ignora_errore);
  s.x->XSetIOErrorHandler(ignora_errore_io);
  s.d = s.x->XOpenDisplay(nullptr);
  if (!s.d) return false;
  s.x->XSetIOErrorExitHandler(s.d, connessione_persa, &s);
  uscita_sostituita = true;
  s.n = DefaultScreen(s.d);
  // "fixed" exists on every server; the others only look better.
  for (const char* nome : {"-*-helvetica-medium-r-normal--12-*-*-*-*-*-iso8859-1",
                           "-*-*-medium-r-normal--13-*-*-*-p-*-iso8859-1", "fixed"}) {
    if ((s.font = s.x->XLoadQueryFont(s.d, nome))) break;
  }
  if (!s.font || s.perso) return false;
  s.bianco = WhitePixel(s.d, s.n);
  s.nero = BlackPixel(s.d, s.n);
  s.grigio = colore(s, "#F0F0F0", s.bianco);
  s.bordo_attivo = colore(s, "#0078D7", s.nero);
  s.premuto = colore(s, "#CCE4F7", s.bianco);
  s.gc = s.x->XCreateGC(s.d, RootWindow(s.d, s.n), 0, nullptr);
  s.x->XSetFont(s.d, s.gc, s.font->fid);
  return !s.perso;
}

void chiudi_display(x11& s) {
  if (!s.d) return;
  // Safe on a lost connection too: the requests go nowhere, the memory is freed.
  if (s.principale != None) s.x->XDestroyWindow(s.d, s.principale);
  if (s.gc) s.x->XFreeGC(s.d, s.gc);
  if (s.font) s.x->XFreeFont(s.d, s.font);
  s.x->XCloseDisplay(s.d);
  s.d = nullptr;
}

int larghezza(const x11& s, const std::string& t) {
  return s.x->XTextWidth(s.font, t.data(), static_cast<int>(t.size()));
}
int altezza(const x11& s) {
  return s.font->ascent + s.font->descent;
}

// A fixed-size top-level window centred on the screen, with its name and class.
Window crea(x11& s, int w, int h, unsigned long sfondo, const std::string& titolo) {
  int x = std::max(0, (DisplayWidth(s.d, s.n) - w) / 2);
  int y = std::max(0, (DisplayHeight(s.d, s.n) - h) / 2);
  XSetWindowAttributes a{};
  a.background_pixel = sfondo;
  Window win = s.x->XCreateWindow(s.d, RootWindow(s.d, s.n), x, y, static_cast<unsigned>(w),
                                  static_cast<unsigned>(h), 0, CopyFromParent, InputOutput,
                                  CopyFromParent, CWBackPixel, &a);

  std::string latino = testo::a_1252(titolo);  // WM_NAME is Latin-1
  s.x->XStoreName(s.d, win, latino.c_str());
  s.x->XChangeProperty(s.d, win, s.x->XInternAtom(s.d, "_NET_WM_NAME", False),
                       s.x->XInternAtom(s.d, "UTF8_STRING", False), 8, PropModeReplace,
                       reinterpret_cast<const unsigned char*>(titolo.data()),
                       static_cast<int>(titolo.size()));

  std::string classe_nome = nome_programma(), classe = "Compattatore";
  XClassHint ch{classe_nome.data(), classe.data()};
  s.x->XSetClassHint(s.d, win, &ch);

  if (XSizeHints* sh = s.x->XAllocSizeHints()) {
    // A position of our own choosing, so that no window manager asks the user
    // to place the window (and holds the server meanwhile).
    sh->flags = USPosition | PPosition | PSize | PMinSize | PMaxSize;
    sh->x = x;
    sh->y = y;
    sh->width = sh->min_width = sh->max_width = w;
    sh->height = sh->min_height = sh->max_height = h;
    s.x->XSetWMNormalHints(s.d, win, sh);
    s.x->XFree(sh);
  }
  if (XWMHints* wh = s.x->XAllocWMHints()) {
    wh->flags = InputHint | StateHint;
    wh->input = True;
    wh->initial_state = NormalState;
    s.x->XSetWMHints(s.d, win, wh);
    s.x->XFree(wh);
  }
  return win;
}

void atomo(x11& s, Window win, const char* proprieta, const char* valore) {
  Atom v = s.x->XInternAtom(s.d, valore, False);
  s.x->XChangeProperty(s.d, win, s.x->XInternAtom(s.d, proprieta, False), XA_ATOM, 32,
                       PropModeReplace, reinterpret_cast<const unsigned char*>(&v), 1);
}

// Reads the events of `win` until `fatto` says stop, the connection is lost or
// `scadenza` passes; false on the last two.
template <typename Gestore>
bool eventi(x11& s, Window win, std::optional<steady_clock::time_point> scadenza, Gestore&& fatto) {
  while (!s.perso) {
    while (!s.perso && s.x->XPending(s.d) > 0) {
      XEvent e;
      s.x->XNextEvent(s.d, &e);
      if (e.xany.window == win && fatto(e)) return true;
    }
    if (s.perso) break;
    int attesa = -1;
    if (scadenza) {
      auto resta = std::chrono::duration_cast<milliseconds>(*scadenza - steady_clock::now());
      if (resta.count() <= 0) return false;
      attesa = static_cast<int>(resta.count()) + 1;
    }
    s.x->XFlush(s.d);
    pollfd p{ConnectionNumber(s.d), POLLIN, 0};
    if (poll(&p, 1, attesa) < 0 && errno != EINTR) return false;
  }
  return false;
}

// Shows the main window and returns once it is mapped (or after a short while).
void finestra_principale(x11& s, const std::string& titolo, const std::string& etichetta) {
  std::string t = testo::a_1252(etichetta);
  int w = std::max(240, larghezza(s, t) + 80), h = 96;
  s.principale = crea(s, w, h, s.grigio, titolo);

  // The label is drawn into the window's background: the server repaints it on
  // every exposure by itself, while the run works without an event loop.
  Pixmap sfondo =
      s.x->XCreatePixmap(s.d, s.principale, static_cast<unsigned>(w), static_cast<unsigned>(h),
                         static_cast<unsigned>(DefaultDepth(s.d, s.n)));
  s.x->XSetForeground(s.d, s.gc, s.grigio);
  s.x->XFillRectangle(s.d, sfondo, s.gc, 0, 0, static_cast<unsigned>(w), static_cast<unsigned>(h));
  s.x->XSetForeground(s.d, s.gc, s.nero);
  s.x->XDrawString(s.d, sfondo, s.gc, (w - larghezza(s, t)) / 2,
                   (h - altezza(s)) / 2 + s.font->ascent, t.data(), static_cast<int>(t.size()));
  s.x->XSetWindowBackgroundPixmap(s.d, s.principale, sfondo);
  s.x->XFreePixmap(s.d, sfondo);

  s.x->XSelectInput(s.d, s.principale, StructureNotifyMask);
  s.x->XMapRaised(s.d, s.principale);
  eventi(s, s.principale, steady_clock::now() + attesa_finestra,
         [](const XEvent& e) { return e.type == MapNotify; });
  // Nothing reads its events from here on.
  s.x->XSelectInput(s.d, s.principale, NoEventMask);
  s.x->XSync(s.d, False);
}

// Layout of the message box.
struct scatola {
  int w = 0, h = 0;
  int testo_x = 0, testo_y = 0;  // baseline of the text
  int fascia_y = 0;              // top of the grey band that holds the button
  int tasto_x = 0, tasto_y = 0, tasto_w = 0, tasto_h = 0;
};

scatola misura(const x11& s, const std::string& t) {
  constexpr int margine = 24, fascia = 44;
  scatola b;
  b.tasto_w = std::max(75, larghezza(s, "OK") + 24);
  b.tasto_h = std::max(23, altezza(s) + 8);
  b.w = std::max({larghezza(s, t) + 2 * margine, b.tasto_w + 2 * margine, 200});
  b.fascia_y = altezza(s) + 2 * margine;
  b.h = b.fascia_y + std::max(fascia, b.tasto_h + 20);
  b.testo_x = margine;
  b.testo_y = margine + s.font->ascent;
  b.tasto_x = b.w - b.tasto_w - 12;
  b.tasto_y = b.fascia_y + (b.h - b.fascia_y - b.tasto_h) / 2;
  return b;
}

void disegna(x11& s, Window win, const scatola& b, const std::string& t, bool giu) {
  s.x->XSetForeground(s.d, s.gc, s.grigio);
  s.x->XFillRectangle(s.d, win, s.gc, 0, b.fascia_y, static_cast<unsigned>(b.w),
                      static_cast<unsigned>(b.h - b.fascia_y));
  s.x->XSetForeground(s.d, s.gc, s.nero);
  s.x->XDrawString(s.d, win, s.gc, b.testo_x, b.testo_y, t.data(), static_cast<int>(t.size()));

  s.x->XSetForeground(s.d, s.gc, giu ? s.premuto : s.bianco);
  s.x->XFillRectangle(s.d, win, s.gc, b.tasto_x, b.tasto_y, static_cast<unsigned>(b.tasto_w),
                      static_cast<unsigned>(b.tasto_h));
  // The only button is the default one: its border shows it.
  s.x->XSetForeground(s.d, s.gc, s.bordo_attivo);
  s.x->XDrawRectangle(s.d, win, s.gc, b.tasto_x, b.tasto_y, static_cast<unsigned>(b.tasto_w - 1),
                      static_cast<unsigned>(b.tasto_h - 1));
  s.x->XDrawRectangle(s.d, win, s.gc, b.tasto_x + 1, b.tasto_y + 1,
                      static_cast<unsigned>(b.tasto_w - 3), static_cast<unsigned>(b.tasto_h - 3));
  s.x->XSetForeground(s.d, s.gc, s.nero);
  int ok_x = b.tasto_x + (b.tasto_w - larghezza(s, "OK")) / 2;
  int ok_y = b.tasto_y + (b.tasto_h - altezza(s)) / 2 + s.font->ascent;
  s.x->XDrawString(s.d, win, s.gc, ok_x, ok_y, "OK", 2);
}

bool sul_tasto(const scatola& b, int x, int y) {
  return x >= b.tasto_x && x < b.tasto_x + b.tasto_w && y >= b.tasto_y && y < b.tasto_y + b.tasto_h;
}

// The modal box: returns when it is closed or the display is lost; `visibile`
// is called once it is on the screen.
template <typename Avviso>
void mostra_scatola(x11& s, const std::string& testo_messaggio, Avviso&& visibile) {
  std::string t = testo::a_1252(testo_messaggio);
  scatola b = misura(s, t);
  // No caption of its own: the application's name stands as the title.
  Window box = crea(s, b.w, b.h, s.bianco, nome_programma());
  if (s.principale != None) s.x->XSetTransientForHint(s.d, box, s.principale);
  atomo(s, box, "_NET_WM_WINDOW_TYPE", "_NET_WM_WINDOW_TYPE_DIALOG");
  atomo(s, box, "_NET_WM_STATE", "_NET_WM_STATE_MODAL");
  Atom chiusura = s.x->XInternAtom(s.d, "WM_DELETE_WINDOW", False);
  s.x->XSetWMProtocols(s.d, box, &chiusura, 1);
  s.x->XSelectInput(
      s.d, box,
      ExposureMask | KeyPressMask | ButtonPressMask | ButtonReleaseMask | StructureNotifyMask);
  s.x->XMapRaised(s.d, box);

  // Test hook: close the box by itself after a while, as if OK were pressed.
  std::optional<steady_clock::time_point> scadenza;
  if (long ms = agganci::chiusura_scatola_ms()) scadenza = steady_clock::now() + milliseconds(ms);

  bool giu = false;
  eventi(s, box, scadenza, [&](const XEvent& e) {
    switch (e.type) {
      case Expose:
        if (e.xexpose.count == 0) disegna(s, box, b, t, giu);
        return false;
      case MapNotify:
        // Without a window manager nobody else gives the box the keyboard.
        s.x->XSetInputFocus(s.d, box, RevertToParent, CurrentTime);
        visibile();
        return false;
      case KeyPress: {
        KeySym k = s.x->XLookupKeysym(const_cast<XKeyEvent*>(&e.xkey), 0);
        return k == XK_Return || k == XK_KP_Enter || k == XK_Escape || k == XK_space;
      }
      case ButtonPress:
        if (e.xbutton.button == Button1 && sul_tasto(b, e.xbutton.x, e.xbutton.y)) {
          giu = true;
          disegna(s, box, b, t, giu);
        }
        return false;
      case ButtonRelease:
        if (e.xbutton.button != Button1 || !giu) return false;
        giu = false;
        if (sul_tasto(b, e.xbutton.x, e.xbutton.y)) return true;
        disegna(s, box, b, t, giu);
        return false;
      case ClientMessage:
        return e.xclient.format == 32 && static_cast<Atom>(e.xclient.data.l[0]) == chiusura;
      default:
        return false;
    }
  });

  if (!s.perso) {
    s.x->XDestroyWindow(s.d, box);
    s.x->XSync(s.d, False);
  }
}

// The window's thread: opens the display, shows the window if asked to, then
// shows boxes on request until asked to close.
void vita(std::shared_ptr<condiviso> c, bool con_finestra, std::string titolo,
          std::string etichetta) {
  // A write to a connection the server has closed raises SIGPIPE, which would
  // end the run; on this thread it stays blocked.
  sigset_t solo_sigpipe;
  sigemptyset(&solo_sigpipe);
  sigaddset(&solo_sigpipe, SIGPIPE);
  pthread_sigmask(SIG_BLOCK, &solo_sigpipe, nullptr);

  x11 s;
  bool aperta = apri(s);
  if (aperta && con_finestra) finestra_principale(s, titolo, etichetta);

  std::unique_lock<std::mutex> l(c->m);
  c->pronta = aperta && !s.perso;
  c->cv.notify_all();
  while (aperta && !s.perso) {
    c->cv.wait(l, [&] { return c->chiudi || c->messaggio; });
    if (c->chiudi) break;
    std::string t = std::move(*c->messaggio);
    c->messaggio.reset();
    l.unlock();
    mostra_scatola(s, t, [&] {
      std::lock_guard<std::mutex> g(c->m);
      c->scatola_visibile = true;
      c->cv.notify_all();
    });
    l.lock();
    c->scatola_chiusa = true;
    c->cv.notify_all();
  }
  l.unlock();
  chiudi_display(s);
  l.lock();
  c->terminata = true;
  c->cv.notify_all();
}

}  // namespace

struct finestra::nativa {
  std::shared_ptr<condiviso> c = std::make_shared<condiviso>();
  std::thread t;
};

namespace finestra_x11 {

namespace {

// Starts the window's thread and waits a little for the window; null when
// there is no display.
finestra::nativa* avvia(bool con_finestra, const std::string& titolo,
                        const std::string& etichetta) {
  const char* display = std::getenv("DISPLAY");
  if (!display || !*display) return nullptr;
  auto* s = new finestra::nativa;
  try {
    s->t = std::thread(vita, s->c, con_finestra, titolo, etichetta);
  } catch (const std::system_error&) {
    delete s;
    return nullptr;
  }
  std::unique_lock<std::mutex> l(s->c->m);
  s->c->cv.wait_for(l, attesa_finestra, [&] { return s->c->pronta || s->c->terminata; });
  if (s->c->terminata) {
    l.unlock();
    s->t.join();
    delete s;
    return nullptr;
  }
  return s;
}

}  // namespace

void mostra(finestra::nativa*& s, const std::string& titolo, const std::string& etichetta) {
  chiudi(s);
  s = avvia(true, titolo, etichetta);
  bool pronta = false;
  if (s) {
    std::lock_guard<std::mutex> g(s->c->m);
    pronta = s->c->pronta;
  }
  // Test hook: keep the window up a while so that it can be photographed.
  if (long ms = pronta ? agganci::attesa_finestra_ms() : 0)
    std::this_thread::sleep_for(milliseconds(ms));
}

void messaggio(finestra::nativa*& s, const std::string& testo_messaggio) {
  if (!s) s = avvia(false, "", "");
  if (!s) return;
  condiviso& c = *s->c;
  std::unique_lock<std::mutex> l(c.m);
  if (c.terminata) return;
  c.messaggio = testo_messaggio;
  c.scatola_visibile = c.scatola_chiusa = false;
  c.cv.notify_all();
  // A box that cannot get on the screen is not waited for; one that is there
  // waits for the user.
  if (!c.cv.wait_for(l, attesa_scatola,
                     [&] { return c.scatola_visibile || c.scatola_chiusa || c.terminata; }))
    return;
  c.cv.wait(l, [&] { return c.scatola_chiusa || c.terminata; });
}

void chiudi(finestra::nativa*& s) {
  if (!s) return;
  bool finita;
  {
    std::unique_lock<std::mutex> l(s->c->m);
    s->c->chiudi = true;
    s->c->cv.notify_all();
    finita = s->c->cv.wait_for(l, attesa_chiusura, [&] { return s->c->terminata; });
  }
  // A thread still held up by the server finishes by itself, or with the process.
  if (finita)
    s->t.join();
  else
    s->t.detach();
  delete s;
  s = nullptr;
}

}  // namespace finestra_x11

#endif
