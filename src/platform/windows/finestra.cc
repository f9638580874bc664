#include "platform/finestra.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <utility>

#include "platform/agganci.h"
#include "platform/windows/utf16.h"

struct finestra::nativa {
  HWND finestra = nullptr;
  HWND etichetta = nullptr;
};

namespace {

constexpr wchar_t kClasse[] = L"Form1";
constexpr wchar_t kTitolo[] = L"Form1";

// Paints what is pending and returns: the run has no event loop of its own.
void svuota_coda() {
  MSG m;
  while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&m);
    DispatchMessageW(&m);
  }
}

// The title a box gets when the program gives it none of its own: the
// program's name, without folder and extension.
std::wstring nome_programma() {
  wchar_t buf[MAX_PATH];
  DWORD n = GetModuleFileNameW(nullptr, buf, MAX_PATH);
  std::wstring p(buf, n < MAX_PATH ? n : 0);
  auto barra = p.find_last_of(L"\\/");
  if (barra != std::wstring::npos) p.erase(0, barra + 1);
  auto punto = p.rfind(L'.');
  if (punto != std::wstring::npos) p.erase(punto);
  return p.empty() ? std::wstring(L"compattatore") : p;
}

// Test hook: OK pressed on the box after a delay, so a test can check that a
// fatal run ends without a person at the screen.
BOOL CALLBACK premi_ok(HWND h, LPARAM) {
  wchar_t classe[16];
  if (GetClassNameW(h, classe, 16) && lstrcmpW(classe, L"#32770") == 0)
    PostMessageW(h, WM_COMMAND, IDOK, 0);
  return TRUE;
}
void CALLBACK scadenza_ok(HWND, UINT, UINT_PTR id, DWORD) {
  KillTimer(nullptr, id);
  EnumThreadWindows(GetCurrentThreadId(), premi_ok, 0);
}

void scrivi(FILE* f, const std::string& testo) {
  std::fputs(testo.c_str(), f);
  std::fputc('\n', f);
  std::fflush(f);
}

int scatola(HWND padre, const std::string& testo, UINT stile) {
  if (long ms = agganci::chiusura_scatola_ms())
    SetTimer(nullptr, 0, static_cast<UINT>(ms), scadenza_ok);
  return MessageBoxW(padre, utf16::da_utf8(testo).c_str(), nome_programma().c_str(),
                     stile | MB_SETFOREGROUND);
}

}  // namespace

void finestra::mostra(const std::string& etichetta) {
  scrivi(stdout, etichetta);
  HINSTANCE istanza = GetModuleHandleW(nullptr);
  WNDCLASSEXW c{};
  c.cbSize = sizeof c;
  c.lpfnWndProc = DefWindowProcW;
  c.hInstance = istanza;
  c.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_WAIT));
  c.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  c.lpszClassName = kClasse;
  RegisterClassExW(&c);  // already there on a second window: fine

  // Where no window can be made (no desktop), the run goes on without one.
  RECT r{0, 0, 240, 80};
  const DWORD stile = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
  AdjustWindowRectEx(&r, stile, FALSE, 0);
  HWND f = CreateWindowExW(0, kClasse, kTitolo, stile, CW_USEDEFAULT, CW_USEDEFAULT,
                           r.right - r.left, r.bottom - r.top, nullptr, nullptr, istanza, nullptr);
  if (!f) return;
  HWND e = CreateWindowExW(0, L"STATIC", utf16::da_utf8(etichetta).c_str(),
                           WS_CHILD | WS_VISIBLE | SS_CENTER | SS_CENTERIMAGE, 0, 0, 240, 80, f,
                           nullptr, istanza, nullptr);
  if (e) SendMessageW(e, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), 0);
  n = new nativa{f, e};
  ShowWindow(f, SW_SHOWNORMAL);
  UpdateWindow(f);
  svuota_coda();
  // Test hook: the window stays up a while, so a test can look at it.
  if (long ms = agganci::attesa_finestra_ms()) {
    const ULONGLONG fine = GetTickCount64() + static_cast<ULONGLONG>(ms);
    while (GetTickCount64() < fine) {
      svuota_coda();
      Sleep(20);
    }
  }
}

void finestra::messaggio(const std::string& testo) {
  scrivi(stderr, testo);
  scatola(n ? n->finestra : nullptr, testo, MB_OK);
}

void finestra::guasto(const std::string& testo) {
  scrivi(stderr, testo);
  scatola(n ? n->finestra : nullptr, testo, MB_OK | MB_ICONERROR);
}

void finestra::chiudi() {
  if (!n) return;
  DestroyWindow(n->finestra);
  svuota_coda();
  delete n;
  n = nullptr;
}
