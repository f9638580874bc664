// The window: the console copy in every mode, and the real window under Xvfb.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstring>
#include <list>
#include <map>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "aiuti.h"

#ifdef COMPATTATORE_X11
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>
#endif

extern char** environ;

namespace {

using std::chrono::milliseconds;
using std::chrono::steady_clock;

// How long a test waits for a run to end or a window to show: far more than
// any takes (on a machine loaded three times over a box took 4 s to show),
// so that only a run that hangs reaches it.
constexpr int kLimite = 30000;

// The demo program run with some variables changed (an empty value unsets).
struct processo {
  pid_t pid = -1;
  int stato = -1;
  std::string uscita, errori;  // files of its standard output and error

  processo(const cartella_temporanea& t, const std::vector<std::string>& argomenti,
           const std::map<std::string, std::string>& variabili) {
    static int numero = 0;
    ++numero;
    uscita = t / ("stdout" + std::to_string(numero));
    errori = t / ("stderr" + std::to_string(numero));
    std::vector<std::string> amb;
    for (char** e = environ; *e; ++e) {
      std::string v = *e;
      if (!variabili.count(v.substr(0, v.find('=')))) amb.push_back(v);
    }
    for (const auto& [k, v] : variabili)
      if (!v.empty()) amb.push_back(k + "=" + v);
    std::vector<char*> argv{const_cast<char*>(FINESTRA_DEMO_BIN)}, envp;
    for (const auto& a : argomenti) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    for (auto& v : amb) envp.push_back(v.data());
    envp.push_back(nullptr);
    pid = fork();
    if (pid == 0) {
      int o = open(uscita.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      int e = open(errori.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      dup2(o, 1);
      dup2(e, 2);
      execve(argv[0], argv.data(), envp.data());
      _exit(127);
    }
  }
  // Collects the exit status if the process has ended.
  bool finito() {
    int w;
    if (stato < 0 && waitpid(pid, &w, WNOHANG) == pid)
      stato = WIFEXITED(w) ? WEXITSTATUS(w) : 128 + WTERMSIG(w);
    return stato >= 0;
  }
  // The exit status, or -1 (and the process killed) when it does not end in time.
  int attendi(int ms) {
    auto fine = steady_clock::now() + milliseconds(ms);
    while (!finito()) {
      if (steady_clock::now() > fine) {
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
        stato = 128 + SIGKILL;
        return -1;
      }
      std::this_thread::sleep_for(milliseconds(20));
    }
    return stato;
  }
  // For failure messages: how it ended and what it wrote.
  std::string descrivi() {
    return (finito() ? "ended with " + std::to_string(stato) : std::string("still running")) +
           "; stdout: " + leggi_tutto(uscita) + "; stderr: " + leggi_tutto(errori);
  }
  ~processo() {
    if (pid > 0) attendi(0);
  }
  processo(const processo&) = delete;
  processo& operator=(const processo&) = delete;
};

TEST(Finestra, WithoutADisplayTheConsoleStandsInAtOnce) {
  cartella_temporanea t;
  // The test hooks belong to the real window: headless runs ignore them (a
  // run that kept the window's wait, a minute, would reach the limit).
  for (std::string display : {"", ":987"}) {
    std::map<std::string, std::string> v{{"DISPLAY", display},
                                         {"COMPATTATORE_TEST_ATTESA_MS", "60000"}};
    processo ok(t, {}, v);
    EXPECT_EQ(ok.attendi(kLimite), 0) << display;
    EXPECT_EQ(leggi_tutto(ok.uscita), "Attendere\n");
    EXPECT_EQ(leggi_tutto(ok.errori), "");
    processo ko(t, {"errore"}, v);
    EXPECT_EQ(ko.attendi(kLimite), 1) << display;
    EXPECT_EQ(leggi_tutto(ko.uscita), "Attendere\n");
    EXPECT_EQ(leggi_tutto(ko.errori), " Errore n. 1250\n");
  }
}

// Most of a short run is the loader's work: libX11 and the five libraries
// behind it are loaded only for a window, and the C++ runtime is linked in.
TEST(Finestra, NeitherProgramNeedsLibX11ToStart) {
  for (const char* bin : {COMPATTATORE_BIN, SCENARIO_BIN}) {
    std::string dinamica;
    ASSERT_EQ(esegui(std::string("readelf -d ") + bin, &dinamica), 0) << bin;
    ASSERT_NE(dinamica.find("(NEEDED)"), std::string::npos) << dinamica;
    EXPECT_EQ(dinamica.find("libX11"), std::string::npos) << bin << "\n" << dinamica;
#if defined(__GNUC__) && !defined(__clang__) && !defined(__SANITIZE_ADDRESS__)
    EXPECT_EQ(dinamica.find("libstdc++"), std::string::npos) << bin << "\n" << dinamica;
#endif
  }
}

#ifdef COMPATTATORE_X11

bool presente(const std::string& programma) {
  return esegui("command -v " + programma + " >/dev/null 2>&1") == 0;
}

// The screen as 0xRRGGBB pixels.
struct immagine {
  int w = 0, h = 0;
  std::vector<uint32_t> px;
  uint32_t at(int x, int y) const { return px[static_cast<size_t>(y) * w + x]; }
};

// Bounding box of the pixels of one colour.
struct area {
  int x0 = 1 << 30, y0 = 1 << 30, x1 = -1, y1 = -1;
  int w() const { return x1 - x0 + 1; }
  int h() const { return y1 - y0 + 1; }
};

uint32_t be32(const std::string& b, size_t o) {
  uint32_t v = 0;
  for (size_t i = 0; i < 4; ++i) v = v << 8 | static_cast<unsigned char>(b[o + i]);
  return v;
}

// 24-bit TrueColor screens at 32 bits per pixel, as the Xvfb below makes them.
immagine da_xwd(const std::string& b) {
  immagine im;
  if (b.size() < 100) return im;
  uint32_t campo[25];
  for (size_t i = 0; i < 25; ++i) campo[i] = be32(b, 4 * i);
  if (campo[11] != 32) return im;
  size_t inizio = campo[0] + 12 * static_cast<size_t>(campo[19]);
  int w = static_cast<int>(campo[4]), h = static_cast<int>(campo[5]);
  size_t riga = campo[12];
  if (b.size() < inizio + riga * h) return im;
  auto sposta = [](uint32_t m) { return m ? __builtin_ctz(m) : 0; };
  im.w = w;
  im.h = h;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const unsigned char* p =
          reinterpret_cast<const unsigned char*>(b.data()) + inizio + riga * y + 4 * x;
      uint32_t v = campo[7] == 0 ? (p[0] | p[1] << 8 | p[2] << 16 | uint32_t(p[3]) << 24)
                                 : (uint32_t(p[0]) << 24 | p[1] << 16 | p[2] << 8 | p[3]);
      uint32_t r = (v & campo[14]) >> sposta(campo[14]), g = (v & campo[15]) >> sposta(campo[15]),
               bl = (v & campo[16]) >> sposta(campo[16]);
      im.px.push_back(r << 16 | g << 8 | bl);
    }
  return im;
}

std::optional<area> cerca(const immagine& im, uint32_t colore) {
  area a;
  for (int y = 0; y < im.h; ++y)
    for (int x = 0; x < im.w; ++x)
      if (im.at(x, y) == colore) {
        a.x0 = std::min(a.x0, x), a.y0 = std::min(a.y0, y);
        a.x1 = std::max(a.x1, x), a.y1 = std::max(a.y1, y);
      }
  if (a.x1 < 0) return std::nullopt;
  return a;
}

int scuri(const immagine& im, const area& a) {
  int n = 0;
  for (int y = a.y0; y <= a.y1; ++y)
    for (int x = a.x0; x <= a.x1; ++x) {
      uint32_t c = im.at(x, y);
      n += ((c >> 16 & 255) + (c >> 8 & 255) + (c & 255)) < 3 * 80;
    }
  return n;
}

constexpr uint32_t grigio = 0xF0F0F0, bianco = 0xFFFFFF, tasto = 0x0078D7;

class FinestraX11 : public testing::Test {
 protected:
  cartella_temporanea t;
  pid_t server = -1;
  std::string display;
  Display* d = nullptr;

  void SetUp() override {
    if (!presente("Xvfb") || !presente("xwd")) GTEST_SKIP() << "Xvfb or xwd not installed";
    avvia_server();
  }
  void avvia_server() {
    int p[2];
    ASSERT_EQ(pipe(p), 0);
    server = fork();
    if (server == 0) {
      close(p[0]);
      int nulla = open("/dev/null", O_WRONLY);
      dup2(nulla, 1);
      dup2(nulla, 2);
      std::string fd = std::to_string(p[1]);
      execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "640x480x24", "-br",
             "-nolisten", "tcp", "-noreset", static_cast<char*>(nullptr));
      _exit(127);
    }
    close(p[1]);
    // Xvfb writes the display number it took once it is ready, then a newline;
    // the pipe must stay open until that too has come, or Xvfb gives up.
    std::string numero;
    pollfd attesa{p[0], POLLIN, 0};
    char c;
    while (numero.find('\n') == std::string::npos && poll(&attesa, 1, 10000) == 1 &&
           read(p[0], &c, 1) == 1)
      numero += c;
    display.clear();
    if (numero.find('\n') != std::string::npos) display = ":" + numero.substr(0, numero.find('\n'));
    close(p[0]);
    ASSERT_FALSE(display.empty()) << "Xvfb did not start";
    d = XOpenDisplay(display.c_str());
    ASSERT_NE(d, nullptr);
  }
  void TearDown() override {
    if (d) XCloseDisplay(d);
    ferma_server();
  }
  void ferma_server() {
    if (server > 0) {
      kill(server, SIGTERM);
      waitpid(server, nullptr, 0);
      server = -1;
    }
  }

  processo avvia(std::vector<std::string> argomenti, std::string aggancio = "",
                 std::string ms = "") {
    std::map<std::string, std::string> v{{"DISPLAY", display},
                                         {"COMPATTATORE_TEST_ATTESA_MS", ""},
                                         {"COMPATTATORE_TEST_CHIUDI_MS", ""}};
    if (!aggancio.empty()) v[aggancio] = ms;
    return processo(t, argomenti, v);
  }

  immagine foto() {
    if (esegui("xwd -root -silent -display " + display + " > " + (t / "schermo.xwd")) != 0)
      return {};
    return da_xwd(leggi_tutto(t / "schermo.xwd"));
  }
  // The screen once a patch of the colour at least w x h shows; `visto` says
  // what the screenshots showed when it does not.
  std::string visto;
  std::optional<immagine> aspetta(uint32_t colore, int w, int h) {
    auto fine = steady_clock::now() + milliseconds(kLimite);
    for (int n = 1; steady_clock::now() < fine; ++n) {
      immagine im = foto();
      auto a = cerca(im, colore);
      if (a && a->w() >= w && a->h() >= h) return im;
      visto = std::to_string(n) + " screenshots, last " +
              (im.w == 0 ? "unreadable"
               : a       ? std::to_string(a->w()) + "x" + std::to_string(a->h())
                         : "without the colour");
      std::this_thread::sleep_for(milliseconds(50));
    }
    return std::nullopt;
  }

  // The demos' top-level windows: the message box is named after the
  // program, and every window of a demo has the program as its class name.
  std::vector<Window> finestre_demo(bool solo_scatole) {
    Window radice, genitore, *figli = nullptr;
    unsigned n = 0;
    std::vector<Window> trovate;
    XQueryTree(d, DefaultRootWindow(d), &radice, &genitore, &figli, &n);
    for (unsigned i = 0; i < n; ++i) {
      char* nome = nullptr;
      XClassHint ch{};
      bool demo = false;
      if (solo_scatole && XFetchName(d, figli[i], &nome) && nome)
        demo = std::string(nome) == "finestra_demo";
      if (!solo_scatole && XGetClassHint(d, figli[i], &ch))
        demo = ch.res_name && std::string(ch.res_name) == "finestra_demo";
      if (nome) XFree(nome);
      if (ch.res_name) XFree(ch.res_name);
      if (ch.res_class) XFree(ch.res_class);
      if (demo) trovate.push_back(figli[i]);
    }
    if (figli) XFree(figli);
    return trovate;
  }
  Window scatola() {
    const std::vector<Window> f = finestre_demo(true);
    return f.empty() ? None : f.back();
  }
  void clic(Window w, int x, int y) {
    for (int tipo : {ButtonPress, ButtonRelease}) {
      XEvent e{};
      e.xbutton.type = tipo;
      e.xbutton.window = w;
      e.xbutton.x = x;
      e.xbutton.y = y;
      e.xbutton.button = Button1;
      e.xbutton.same_screen = True;
      XSendEvent(d, w, False, tipo == ButtonPress ? ButtonPressMask : ButtonReleaseMask, &e);
    }
    XFlush(d);
  }
};

TEST_F(FinestraX11, WindowTitledForm1ShowsTheLabelUntilTheRunEnds) {
  processo p = avvia({}, "COMPATTATORE_TEST_ATTESA_MS", "6000");
  auto im = aspetta(grigio, 200, 60);
  ASSERT_TRUE(im) << "no window on the screen (" << visto << "); demo " << p.descrivi();
  area finestra = *cerca(*im, grigio);
  EXPECT_LT(finestra.w(), 400);  // a small window
  EXPECT_GT(scuri(*im, finestra), 30) << "label not drawn";
  std::string alberi;
  if (presente("xwininfo") && esegui("xwininfo -root -tree -display " + display, &alberi) == 0) {
    EXPECT_NE(alberi.find("\"Form1\""), std::string::npos) << alberi;
  }

  EXPECT_EQ(p.attendi(kLimite), 0);
  EXPECT_EQ(leggi_tutto(p.uscita), "Attendere\n");
  EXPECT_FALSE(cerca(foto(), grigio)) << "window left on the screen";
}

TEST_F(FinestraX11, MessageBoxShowsTheErrorThenTheProgramEnds) {
  processo p = avvia({"errore"}, "COMPATTATORE_TEST_CHIUDI_MS", "6000");
  auto im = aspetta(tasto, 60, 20);
  ASSERT_TRUE(im) << "no message box on the screen (" << visto << "); demo " << p.descrivi();
  area corpo = *cerca(*im, bianco);
  EXPECT_GT(corpo.w(), 100);
  EXPECT_GT(scuri(*im, corpo), 60) << "message or OK not drawn";
  EXPECT_EQ(p.attendi(kLimite), 1);
  EXPECT_EQ(leggi_tutto(p.errori), " Errore n. 1250\n");
  EXPECT_FALSE(cerca(foto(), tasto));
}

TEST_F(FinestraX11, EnterClosesTheBox) {
  processo p = avvia({"errore"});
  ASSERT_TRUE(aspetta(tasto, 60, 20)) << visto << "; demo " << p.descrivi();
  Window w = scatola();
  ASSERT_NE(w, None);
  XEvent e{};
  e.xkey.type = KeyPress;
  e.xkey.window = w;
  e.xkey.keycode = XKeysymToKeycode(d, XK_Return);
  e.xkey.same_screen = True;
  XSendEvent(d, w, False, KeyPressMask, &e);
  XFlush(d);
  EXPECT_EQ(p.attendi(kLimite), 1);
}

TEST_F(FinestraX11, OnlyAClickOnOkClosesTheBox) {
  processo p = avvia({"errore"});
  auto im = aspetta(tasto, 60, 20);
  ASSERT_TRUE(im) << visto << "; demo " << p.descrivi();
  Window w = scatola();
  ASSERT_NE(w, None);
  XWindowAttributes a;
  ASSERT_TRUE(XGetWindowAttributes(d, w, &a));
  clic(w, 5, 5);  // on the text area
  // The box reads its events in order: once it has drawn itself again on
  // an Expose sent after the click, it has seen the click.
  GC gc = XCreateGC(d, w, 0, nullptr);
  XSetForeground(d, gc, BlackPixel(d, DefaultScreen(d)));
  XFillRectangle(d, w, gc, 0, 0, static_cast<unsigned>(a.width), static_cast<unsigned>(a.height));
  XFreeGC(d, gc);
  XEvent e{};
  e.xexpose.type = Expose;
  e.xexpose.window = w;
  e.xexpose.width = a.width;
  e.xexpose.height = a.height;
  XSendEvent(d, w, False, ExposureMask, &e);
  XSync(d, False);
  ASSERT_TRUE(aspetta(tasto, 60, 20)) << "the box did not draw itself again: " << visto;
  EXPECT_FALSE(p.finito());
  area ok = *cerca(*im, tasto);
  clic(w, (ok.x0 + ok.x1) / 2 - a.x, (ok.y0 + ok.y1) / 2 - a.y);
  EXPECT_EQ(p.attendi(kLimite), 1);
}

// Losing the display must neither stop the run nor leave it waiting.
TEST_F(FinestraX11, LostDisplayLetsTheRunGoOn) {
  // The box first, seen on the screen before the other window can cover it.
  processo errore = avvia({"errore"});
  ASSERT_TRUE(aspetta(tasto, 60, 20)) << visto << "; demo " << errore.descrivi();
  processo lavoro = avvia({}, "COMPATTATORE_TEST_ATTESA_MS", "6000");
  auto fine = steady_clock::now() + milliseconds(kLimite);
  while (finestre_demo(false).size() < 2 && steady_clock::now() < fine)
    std::this_thread::sleep_for(milliseconds(20));
  ASSERT_EQ(finestre_demo(false).size(), 2u) << "demo " << lavoro.descrivi();
  XCloseDisplay(d);
  d = nullptr;
  ferma_server();
  EXPECT_EQ(lavoro.attendi(kLimite), 0);
  EXPECT_EQ(errore.attendi(kLimite), 1);
  EXPECT_EQ(leggi_tutto(errore.errori), " Errore n. 1250\n");
}

// A display lost at any moment of a window's start, even while it is being
// opened, must not end the run through Xlib's own exit (status 1).
TEST_F(FinestraX11, DisplayLostWhileWindowsOpenLetsEveryRunGoOn) {
  for (int giro = 0; giro < 10; ++giro) {
    if (giro > 0) {
      ASSERT_NO_FATAL_FAILURE(avvia_server());
    }
    std::list<processo> demo;
    for (int k = 0; k < 6; ++k)
      demo.emplace_back(t, std::vector<std::string>{},
                        std::map<std::string, std::string>{{"DISPLAY", display},
                                                           {"COMPATTATORE_TEST_ATTESA_MS", ""},
                                                           {"COMPATTATORE_TEST_CHIUDI_MS", ""}});
    std::this_thread::sleep_for(milliseconds(2 + 4 * giro));
    XCloseDisplay(d);
    d = nullptr;
    ferma_server();
    for (processo& p : demo)
      EXPECT_EQ(p.attendi(kLimite), 0) << "round " << giro << ": " << p.descrivi();
  }
}

// A server that does not answer (here: grabbed, as a window manager does while
// the user places a window) must not hold the run up.
TEST_F(FinestraX11, AServerThatDoesNotAnswerNeverHoldsTheRunUp) {
  XGrabServer(d);
  XSync(d, False);
  processo lavoro = avvia({});
  processo errore = avvia({"errore"});
  EXPECT_EQ(lavoro.attendi(kLimite), 0) << lavoro.descrivi();
  EXPECT_EQ(errore.attendi(kLimite), 1) << errore.descrivi();
  EXPECT_EQ(leggi_tutto(lavoro.uscita), "Attendere\n");
  EXPECT_EQ(leggi_tutto(errore.errori), " Errore n. 1250\n");
  XUngrabServer(d);
  XSync(d, False);
}

#else

TEST(FinestraX11, NeedsX11) {
  GTEST_SKIP() << "built without X11: console stand-in only";
}

#endif

}  // namespace
