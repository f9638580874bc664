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

unsigned long numero() {
  return GetCurrentProcessId();
}

bool in_vita(unsigned long n) {
  HANDLE h =
      OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, static_cast<DWORD>(n));
  if (!h) {
    // A process this user may not open is there all the same.
    return GetLastError() == ERROR_ACCESS_DENIED;
  }
  // A process that has ended but whose handle someone still holds is no
  // longer running: its files were closed when it ended.
  const bool vivo = WaitForSingleObject(h, 0) == WAIT_TIMEOUT;
  CloseHandle(h);
  return vivo;
}

// A console answers GetConsoleMode; a file, a pipe or a terminal emulator's
// pipe does not.
bool errore_a_terminale() {
  DWORD modo = 0;
  const HANDLE h = GetStdHandle(STD_ERROR_HANDLE);
  return h != nullptr && h != INVALID_HANDLE_VALUE && GetConsoleMode(h, &modo) != 0;
}

// A prompt shares its console: two processes on it at least.
bool console_propria() {
  DWORD processi[2];
  return GetConsoleProcessList(processi, 2) == 1;
}

bool apri_nel_browser(const std::string& indirizzo) {
  const std::wstring w = utf16::da_utf8(indirizzo);
  const auto r = reinterpret_cast<INT_PTR>(
      ShellExecuteW(nullptr, L"open", w.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
  return r > 32;
}

}  // namespace processo
