#include "platform/processo.h"

#include <windows.h>
// after windows.h
#include <shellapi.h>

#include <cstdlib>

#include "platform/windows/interruzione.h"
#include "platform/windows/utf16.h"

namespace processo {

// The narrow argv is in the system's code page and loses what it lacks; the
// wide command line has every character of a path.
std::vector<std::string> argomenti(int argc, char** argv) {
  std::vector<std::string> a;
  int n = 0;
  LPWSTR* w = CommandLineToArgvW(GetCommandLineW(), &n);
  if (!w) return std::vector<std::string>(argv + 1, argv + argc);
  for (int i = 1; i < n; ++i) a.push_back(utf16::a_utf8(w[i]));
  LocalFree(w);
  return a;
}

namespace {
UINT pagina_originale = 0;
void ripristina() {
  SetConsoleOutputCP(pagina_originale);
}
}  // namespace

void prepara() {
  interruzione::installa();
  pagina_originale = GetConsoleOutputCP();
  if (pagina_originale != 0 && pagina_originale != CP_UTF8 && SetConsoleOutputCP(CP_UTF8))
    std::atexit(ripristina);
}

}  // namespace processo
