#include "platform/finestra_x11.h"

#ifndef COMPATTATORE_X11

// Built without X11: the console stands in alone.
namespace finestra_x11 {
void mostra(finestra::schermo_x*&, const std::string&, const std::string&) {}
void messaggio(finestra::schermo_x*&, const std::string&) {}
void chiudi(finestra::schermo_x*&) {}
}  // namespace finestra_x11

#else

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>
#include <errno.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <time.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <thread>

#include "platform/testo.h"

struct finestra::schermo_x {
  Display* d = nullptr;
  bool perso = false;  // connection lost: only XCloseDisplay is left to do
  int n = 0;           // screen
  XFontStruct* font = nullptr;
  GC gc = nullptr;
  unsigned long grigio = 0, bianco = 0, nero = 0, bordo = 0, bordo_attivo = 0, premuto = 0;
  Window principale = None;
};

namespace {

using schermo_x = finestra::schermo_x;

// Longest wait a test hook may ask for.
constexpr long attesa_massima_ms = 60000;

int ignora_errore(Display*, XErrorEvent*) {
  return 0;
}
int ignora_errore_io(Display*) {
  return 0;
}
// Replaces Xlib's exit on a lost connection: the run goes on without the window.
void connessione_persa(Display*, void* dati) {
  static_cast<schermo_x*>(dati)->perso = true;
}

// A write to a connection the server has closed raises SIGPIPE, which would end
// the run; keep it blocked while talking to the server and drop any it left.
struct senza_sigpipe {
  sigset_t vecchia;
  bool gia_pendente;
  senza_sigpipe() {
    sigset_t pendenti;
    sigpending(&pendenti);
    gia_pendente = sigismember(&pendenti, SIGPIPE) == 1;
    sigset_t s = solo_sigpipe();
    pthread_sigmask(SIG_BLOCK, &s, &vecchia);
  }
  ~senza_sigpipe() {
    if (!gia_pendente && sigismember(&vecchia, SIGPIPE) != 1) {
      sigset_t s = solo_sigpipe();
      timespec zero{};
      while (sigtimedwait(&s, nullptr, &zero) == SIGPIPE) {
      }
    }
    pthread_sigmask(SIG_SETMASK, &vecchia, nullptr);
  }
  senza_sigpipe(const senza_sigpipe&) = delete;
  senza_sigpipe& operator=(const senza_sigpipe&) = delete;
  static sigset_t solo_sigpipe() {
    sigset_t s;
    sigemptyset(&s);
    sigaddset(&s, SIGPIPE);
    return s;
  }
};

// Milliseconds from a test hook variable; 0 when unset or not a positive number.
long millisecondi(const char* nome) {
  const char* v = std::getenv(nome);
  if (!v || !*v) return 0;
  char* fine = nullptr;
  errno = 0;
  long ms = std::strtol(v, &fine, 10);
  if (errno != 0 || *fine != '\0' || ms <= 0) return 0;
  return std::min(ms, attesa_massima_ms);
}

const char* nome_programma() {
  return program_invocation_short_name && *program_invocation_short_name
             ? program_invocation_short_name
             : "compattatore";
}

unsigned long colore(const schermo_x& s, const char* nome, unsigned long riserva) {
  Colormap mappa = DefaultColormap(s.d, s.n);
  XColor c;
  if (XParseColor(s.d, mappa, nome, &c) && XAllocColor(s.d, mappa, &c)) return c.pixel;
  return riserva;
}

// Null when there is no display, or it cannot be used.
schermo_x* apri() {
  XSetErrorHandler(ignora_errore);
  XSetIOErrorHandler(ignora_errore_io);
  Display* d = XOpenDisplay(nullptr);
  if (!d) return nullptr;
  auto* s = new schermo_x;
  s->d = d;
  XSetIOErrorExitHandler(d, connessione_persa, s);
  s->n = DefaultScreen(d);
  // "fixed" exists on every server; the others only look better.
  for (const char* nome : {"-*-helvetica-medium-r-normal--12-*-*-*-*-*-iso8859-1",
                           "-*-*-medium-r-normal--13-*-*-*-p-*-iso8859-1", "fixed"}) {
    if ((s->font = XLoadQueryFont(d, nome))) break;
  }
  if (!s->font || s->perso) {
    if (s->font && !s->perso) XFreeFont(d, s->font);
    XCloseDisplay(d);
    delete s;
    return nullptr;
  }
  unsigned long bianco = WhitePixel(d, s->n), nero = BlackPixel(d, s->n);
  s->grigio = colore(*s, "#F0F0F0", bianco);
  s->bianco = bianco;
  s->nero = nero;
  s->bordo = colore(*s, "#ADADAD", nero);
  s->bordo_attivo = colore(*s, "#0078D7", nero);
  s->premuto = colore(*s, "#CCE4F7", bianco);
  s->gc = XCreateGC(d, RootWindow(d, s->n), 0, nullptr);
  XSetFont(d, s->gc, s->font->fid);
  return s;
}

int larghezza(const schermo_x& s, const std::string& t) {
  return XTextWidth(s.font, t.data(), static_cast<int>(t.size()));
}
int altezza(const schermo_x& s) {
  return s.font->ascent + s.font->descent;
}

// A fixed-size top-level window centred on the screen, with its name and class.
Window crea(schermo_x& s, int w, int h, unsigned long sfondo, const std::string& titolo) {
  int x = std::max(0, (DisplayWidth(s.d, s.n) - w) / 2);
  int y = std::max(0, (DisplayHeight(s.d, s.n) - h) / 2);
  XSetWindowAttributes a{};
  a.background_pixel = sfondo;
  Window win = XCreateWindow(s.d, RootWindow(s.d, s.n), x, y, static_cast<unsigned>(w),
                             static_cast<unsigned>(h), 0, CopyFromParent, InputOutput,
                             CopyFromParent, CWBackPixel, &a);

  std::string latino = testo::a_1252(titolo);  // WM_NAME is Latin-1
  XStoreName(s.d, win, latino.c_str());
  XChangeProperty(s.d, win, XInternAtom(s.d, "_NET_WM_NAME", False),
                  XInternAtom(s.d, "UTF8_STRING", False), 8, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(titolo.data()),
                  static_cast<int>(titolo.size()));

  std::string classe_nome = nome_programma(), classe = "Compattatore";
  XClassHint ch{classe_nome.data(), classe.data()};
  XSetClassHint(s.d, win, &ch);

  if (XSizeHints* sh = XAllocSizeHints()) {
    sh->flags = PPosition | PSize | PMinSize | PMaxSize;
    sh->x = x;
    sh->y = y;
    sh->width = sh->min_width = sh->max_width = w;
    sh->height = sh->min_height = sh->max_height = h;
    XSetWMNormalHints(s.d, win, sh);
    XFree(sh);
  }
  if (XWMHints* wh = XAllocWMHints()) {
    wh->flags = InputHint | StateHint;
    wh->input = True;
    wh->initial_state = NormalState;
    XSetWMHints(s.d, win, wh);
    XFree(wh);
  }
  return win;
}

void atomo(schermo_x& s, Window win, const char* proprieta, const char* valore) {
  Atom v = XInternAtom(s.d, valore, False);
  XChangeProperty(s.d, win, XInternAtom(s.d, proprieta, False), XA_ATOM, 32, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(&v), 1);
}

// Layout of the message box.
struct scatola {
  int w = 0, h = 0;
  int testo_x = 0, testo_y = 0;  // baseline of the text
  int fascia_y = 0;              // top of the grey band that holds the button
  int tasto_x = 0, tasto_y = 0, tasto_w = 0, tasto_h = 0;
};

scatola misura(const schermo_x& s, const std::string& t) {
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

void disegna(schermo_x& s, Window win, const scatola& b, const std::string& t, bool giu) {
  XSetForeground(s.d, s.gc, s.grigio);
  XFillRectangle(s.d, win, s.gc, 0, b.fascia_y, static_cast<unsigned>(b.w),
                 static_cast<unsigned>(b.h - b.fascia_y));
  XSetForeground(s.d, s.gc, s.nero);
  XDrawString(s.d, win, s.gc, b.testo_x, b.testo_y, t.data(), static_cast<int>(t.size()));

  XSetForeground(s.d, s.gc, giu ? s.premuto : s.bianco);
  XFillRectangle(s.d, win, s.gc, b.tasto_x, b.tasto_y, static_cast<unsigned>(b.tasto_w),
                 static_cast<unsigned>(b.tasto_h));
  // The only button is the default one: its border shows it.
  XSetForeground(s.d, s.gc, s.bordo_attivo);
  XDrawRectangle(s.d, win, s.gc, b.tasto_x, b.tasto_y, static_cast<unsigned>(b.tasto_w - 1),
                 static_cast<unsigned>(b.tasto_h - 1));
  XDrawRectangle(s.d, win, s.gc, b.tasto_x + 1, b.tasto_y + 1, static_cast<unsigned>(b.tasto_w - 3),
                 static_cast<unsigned>(b.tasto_h - 3));
  XSetForeground(s.d, s.gc, s.nero);
  int ok_x = b.tasto_x + (b.tasto_w - larghezza(s, "OK")) / 2;
  int ok_y = b.tasto_y + (b.tasto_h - altezza(s)) / 2 + s.font->ascent;
  XDrawString(s.d, win, s.gc, ok_x, ok_y, "OK", 2);
}

bool sul_tasto(const scatola& b, int x, int y) {
  return x >= b.tasto_x && x < b.tasto_x + b.tasto_w && y >= b.tasto_y && y < b.tasto_y + b.tasto_h;
}

}  // namespace

namespace finestra_x11 {

void mostra(schermo_x*& s, const std::string& titolo, const std::string& etichetta) {
  senza_sigpipe guardia;
  if (!s) s = apri();
  if (!s || s->perso) return;
  if (s->principale != None) XDestroyWindow(s->d, s->principale);

  std::string t = testo::a_1252(etichetta);
  int w = std::max(240, larghezza(*s, t) + 80), h = 96;
  s->principale = crea(*s, w, h, s->grigio, titolo);

  // The label is drawn into the window's background: the server repaints it on
  // every exposure by itself, while the run works without an event loop.
  Pixmap sfondo =
      XCreatePixmap(s->d, s->principale, static_cast<unsigned>(w), static_cast<unsigned>(h),
                    static_cast<unsigned>(DefaultDepth(s->d, s->n)));
  XSetForeground(s->d, s->gc, s->grigio);
  XFillRectangle(s->d, sfondo, s->gc, 0, 0, static_cast<unsigned>(w), static_cast<unsigned>(h));
  XSetForeground(s->d, s->gc, s->nero);
  XDrawString(s->d, sfondo, s->gc, (w - larghezza(*s, t)) / 2,
              (h - altezza(*s)) / 2 + s->font->ascent, t.data(), static_cast<int>(t.size()));
  XSetWindowBackgroundPixmap(s->d, s->principale, sfondo);
  XFreePixmap(s->d, sfondo);

  XMapRaised(s->d, s->principale);
  XSync(s->d, False);

  // Test hook: keep the window up a while so that it can be photographed.
  if (long ms = millisecondi("COMPATTATORE_TEST_ATTESA_MS"))
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

void messaggio(schermo_x*& s, const std::string& testo_messaggio) {
  senza_sigpipe guardia;
  if (!s) s = apri();
  if (!s || s->perso) return;
  Display* d = s->d;

  std::string t = testo::a_1252(testo_messaggio);
  scatola b = misura(*s, t);
  // No caption of its own: the application's name stands as the title.
  Window box = crea(*s, b.w, b.h, s->bianco, nome_programma());
  if (s->principale != None) XSetTransientForHint(d, box, s->principale);
  atomo(*s, box, "_NET_WM_WINDOW_TYPE", "_NET_WM_WINDOW_TYPE_DIALOG");
  atomo(*s, box, "_NET_WM_STATE", "_NET_WM_STATE_MODAL");
  Atom chiusura = XInternAtom(d, "WM_DELETE_WINDOW", False);
  XSetWMProtocols(d, box, &chiusura, 1);
  XSelectInput(
      d, box,
      ExposureMask | KeyPressMask | ButtonPressMask | ButtonReleaseMask | StructureNotifyMask);
  XMapRaised(d, box);
  XFlush(d);

  // Test hook: close the box by itself after a while, as if OK were pressed.
  long ms = millisecondi("COMPATTATORE_TEST_CHIUDI_MS");
  auto scadenza = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);

  bool chiuso = false, giu = false;
  while (!chiuso && !s->perso) {
    while (!chiuso && !s->perso && XPending(d) > 0) {
      XEvent e;
      XNextEvent(d, &e);
      if (e.xany.window != box) continue;
      switch (e.type) {
        case Expose:
          if (e.xexpose.count == 0) disegna(*s, box, b, t, giu);
          break;
        case MapNotify:
          // Without a window manager nobody else gives the box the keyboard.
          XSetInputFocus(d, box, RevertToParent, CurrentTime);
          break;
        case KeyPress: {
          KeySym k = XLookupKeysym(&e.xkey, 0);
          chiuso = k == XK_Return || k == XK_KP_Enter || k == XK_Escape || k == XK_space;
          break;
        }
        case ButtonPress:
          if (e.xbutton.button == Button1 && sul_tasto(b, e.xbutton.x, e.xbutton.y)) {
            giu = true;
            disegna(*s, box, b, t, giu);
          }
          break;
        case ButtonRelease:
          if (e.xbutton.button == Button1 && giu) {
            giu = false;
            chiuso = sul_tasto(b, e.xbutton.x, e.xbutton.y);
            if (!chiuso) disegna(*s, box, b, t, giu);
          }
          break;
        case ClientMessage:
          chiuso = e.xclient.format == 32 && static_cast<Atom>(e.xclient.data.l[0]) == chiusura;
          break;
        default:
          break;
      }
    }
    if (chiuso || s->perso) break;

    int attesa = -1;
    if (ms > 0) {
      auto resta = std::chrono::duration_cast<std::chrono::milliseconds>(
          scadenza - std::chrono::steady_clock::now());
      if (resta.count() <= 0) break;
      attesa = static_cast<int>(resta.count()) + 1;
    }
    XFlush(d);
    pollfd p{ConnectionNumber(d), POLLIN, 0};
    int pronti = poll(&p, 1, attesa);
    if (pronti < 0 && errno != EINTR) break;
    // A hang-up with nothing to read: XPending above finds the loss next time.
  }

  if (!s->perso) {
    XDestroyWindow(d, box);
    XSync(d, False);
  }
}

void chiudi(schermo_x*& s) {
  if (!s) return;
  senza_sigpipe guardia;
  if (!s->perso) {
    if (s->principale != None) XDestroyWindow(s->d, s->principale);
    XFreeGC(s->d, s->gc);
    XFreeFont(s->d, s->font);
  }
  XCloseDisplay(s->d);
  delete s;
  s = nullptr;
}

}  // namespace finestra_x11

#endif
