#include <windows.h>

#include <cstdint>
#include <vector>

#include "aiuti.h"
#include "platform/windows/utf16.h"

namespace {

// Removes a folder with all it holds, read-only files included.
void rimuovi_albero(const std::wstring& cartella) {
  WIN32_FIND_DATAW d;
  HANDLE h = FindFirstFileW((cartella + L"\\*").c_str(), &d);
  if (h != INVALID_HANDLE_VALUE) {
    do {
      std::wstring nome = d.cFileName;
      if (nome == L"." || nome == L"..") continue;
      std::wstring p = cartella + L"\\" + nome;
      SetFileAttributesW(p.c_str(), FILE_ATTRIBUTE_NORMAL);
      if (d.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        rimuovi_albero(p);
      else
        DeleteFileW(p.c_str());
    } while (FindNextFileW(h, &d));
    FindClose(h);
  }
  RemoveDirectoryW(cartella.c_str());
}

}  // namespace

cartella_temporanea::cartella_temporanea() {
  for (unsigned prova = 0;; ++prova) {
    std::string nome =
        file::percorso(file::cartella_temporanea_sistema(),
                       "compattatore-" + std::to_string(GetCurrentProcessId()) + "-" +
                           std::to_string(GetTickCount64()) + "-" + std::to_string(prova));
    if (CreateDirectoryW(utf16::da_utf8(nome).c_str(), nullptr)) {
      percorso = nome;
      return;
    }
  }
}

cartella_temporanea::~cartella_temporanea() {
  rimuovi_albero(utf16::da_utf8(percorso));
}

bool esiste_file(const std::string& nome) {
  return GetFileAttributesW(utf16::da_utf8(nome).c_str()) != INVALID_FILE_ATTRIBUTES;
}

const std::string kCompattatore = "compattatore.exe";

// The build names its programs by their Unix paths; under Wine the root of
// the Unix file system is drive Z:.
std::string programma(const char* bin) {
  std::string p = bin;
  if (p.empty() || p[0] != '/') return p;
  for (char& c : p)
    if (c == '/') c = '\\';
  return "Z:" + p;
}

namespace {

std::vector<std::string> parole(const std::string& s) {
  std::vector<std::string> v;
  std::string w;
  bool in_parola = false, virgolette = false;
  for (char c : s) {
    if (c == '"') {
      virgolette = !virgolette;
      in_parola = true;
    } else if (!virgolette && (c == ' ' || c == '\t')) {
      if (in_parola) v.push_back(w);
      w.clear();
      in_parola = false;
    } else {
      w += c;
      in_parola = true;
    }
  }
  if (in_parola) v.push_back(w);
  return v;
}

std::wstring argomento(const std::string& a) {
  std::wstring w = utf16::da_utf8(a);
  if (!w.empty() && w.find_first_of(L" \t\"") == std::wstring::npos) return w;
  std::wstring q = L"\"";
  for (wchar_t c : w) {
    if (c == L'"') q += L'\\';
    q += c;
  }
  return q + L"\"";
}

HANDLE apri(const std::string& nome, SECURITY_ATTRIBUTES& sa) {
  std::string n = nome == "/dev/null" ? "NUL" : nome;
  return CreateFileW(utf16::da_utf8(n).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                     &sa, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
}

}  // namespace

int esegui(const std::string& comando, std::string* uscita) {
  SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
  HANDLE lettura = nullptr, scrittura = nullptr;
  if (!CreatePipe(&lettura, &scrittura, &sa, 0)) return -1;
  SetHandleInformation(lettura, HANDLE_FLAG_INHERIT, 0);
  HANDLE errore = GetStdHandle(STD_ERROR_HANDLE);
  HANDLE out = scrittura, err = errore;
  std::vector<HANDLE> aperti;
  std::vector<std::string> args;
  // Redirections left to right, as a shell does them.
  std::vector<std::string> w = parole(comando);
  for (size_t i = 0; i < w.size(); ++i) {
    const std::string& p = w[i];
    if (p == "2>&1") {
      err = out;
    } else if (p.rfind("2>", 0) == 0 || p.rfind(">", 0) == 0) {
      bool e = p[0] == '2';
      std::string nome = p.substr(e ? 2 : 1);
      if (nome.empty() && i + 1 < w.size()) nome = w[++i];
      HANDLE h = apri(nome, sa);
      if (h == INVALID_HANDLE_VALUE) return -1;
      aperti.push_back(h);
      (e ? err : out) = h;
    } else if (p == "|" || p == "<") {
      return 127;
    } else {
      args.push_back(p);
    }
  }
  if (args.empty()) return 127;
  std::wstring linea;
  for (const auto& a : args) linea += (linea.empty() ? L"" : L" ") + argomento(a);
  STARTUPINFOW si{};
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESTDHANDLES;
  si.hStdInput = nullptr;
  si.hStdOutput = out;
  si.hStdError = err;
  PROCESS_INFORMATION pi{};
  BOOL ok =
      CreateProcessW(nullptr, linea.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi);
  CloseHandle(scrittura);
  for (HANDLE h : aperti) CloseHandle(h);
  std::string testo;
  if (ok) {
    char buf[4096];
    DWORD n = 0;
    while (ReadFile(lettura, buf, sizeof buf, &n, nullptr) && n > 0) testo.append(buf, n);
  }
  CloseHandle(lettura);
  if (!ok) return 127;
  WaitForSingleObject(pi.hProcess, INFINITE);
  DWORD stato = 1;
  GetExitCodeProcess(pi.hProcess, &stato);
  CloseHandle(pi.hProcess);
  CloseHandle(pi.hThread);
  // Text as a shell pipe gives it on Linux: line ends without CR.
  std::string senza_cr;
  for (char c : testo)
    if (c != '\r') senza_cr += c;
  if (uscita) *uscita = senza_cr;
  return static_cast<int>(stato);
}

unsigned long numero_finito() {
  // A process of its own that ends at once: its number is free afterwards.
  wchar_t riga[] = L"cmd.exe /c exit 0";
  STARTUPINFOW si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  if (!CreateProcessW(nullptr, riga, nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr,
                      &si, &pi))
    return 0;
  WaitForSingleObject(pi.hProcess, INFINITE);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  return pi.dwProcessId;
}
