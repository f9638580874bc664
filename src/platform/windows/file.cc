#include "platform/file.h"

// clang-format off
#include <windows.h>
#include <aclapi.h>
// clang-format on

#include <algorithm>
#include <atomic>
#include <cstdint>

#include "platform/agganci.h"
#include "platform/avanzi.h"
#include "platform/windows/interruzione.h"
#include "platform/windows/utf16.h"

namespace file {
namespace {

[[noreturn]] void fallisci(const std::string& nome, DWORD err) {
  throw errore_io("impossibile scrivere " + nome + ": " + utf16::motivo(err));
}

// Six letters that no other name made now, by this or another process, is
// likely to share; a clash is caught by CREATE_NEW and retried.
std::string suffisso() {
  static std::atomic<uint64_t> contatore{0};
  uint64_t v = GetTickCount64() ^ (uint64_t{GetCurrentProcessId()} << 32) ^
               (contatore.fetch_add(1) * 0x9E3779B97F4A7C15ull);
  v ^= v >> 29;
  v *= 0xBF58476D1CE4E5B9ull;
  v ^= v >> 32;
  static const char lettere[] = "abcdefghijklmnopqrstuvwxyz0123456789";
  std::string s;
  for (int i = 0; i < 6; ++i, v /= 36) s += lettere[v % 36];
  return s;
}

bool cartella_esiste(const std::wstring& w) {
  DWORD a = GetFileAttributesW(w.c_str());
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace

const char separatore[] = "\\";

std::string percorso(const std::string& cartella, const std::string& nome) {
  return cartella + separatore + nome;
}

bool esiste(const std::string& nome) {
  DWORD a = GetFileAttributesW(utf16::da_utf8(nome).c_str());
  return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

genere_voce che_cosa(const std::string& nome) {
  const std::wstring w = utf16::da_utf8(nome);
  DWORD a = GetFileAttributesW(w.c_str());
  if (a == INVALID_FILE_ATTRIBUTES) {
    const DWORD err = GetLastError();
    return err == ERROR_FILE_NOT_FOUND || err == ERROR_PATH_NOT_FOUND ? genere_voce::nessuna
                                                                      : genere_voce::altro;
  }
  if (a & FILE_ATTRIBUTE_DIRECTORY) return genere_voce::cartella;
  if (a & FILE_ATTRIBUTE_REPARSE_POINT) {
    // A link: a file only if it leads to one.
    HANDLE h = CreateFileW(w.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return genere_voce::altro;
    CloseHandle(h);
  }
  return genere_voce::file;
}

namespace {

// The volume and the index of the file or folder at a name.
bool identita(const std::string& nome, BY_HANDLE_FILE_INFORMATION& i) {
  HANDLE h = CreateFileW(utf16::da_utf8(nome).c_str(), 0,
                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  const bool ok = GetFileInformationByHandle(h, &i) != 0;
  CloseHandle(h);
  return ok;
}

}  // namespace

bool stessa_voce(const std::string& a, const std::string& b) {
  BY_HANDLE_FILE_INFORMATION ia, ib;
  return identita(a, ia) && identita(b, ib) && ia.dwVolumeSerialNumber == ib.dwVolumeSerialNumber &&
         ia.nFileIndexHigh == ib.nFileIndexHigh && ia.nFileIndexLow == ib.nFileIndexLow;
}

namespace {

// A name that stands for a device whatever the folder: CON, NUL, COM1... (with
// any extension), or one in the device space (\\.\pipe\x).
bool nome_di_dispositivo(const std::string& nome) {
  if (nome.rfind("\\\\.\\", 0) == 0 || nome.rfind("//./", 0) == 0 ||
      nome.rfind("\\\\?\\", 0) == 0) {
    // \\?\C:\x and \\?\UNC\host\x are plain paths, written long.
    const std::string resto = nome.substr(4);
    return !(resto.size() >= 2 && resto[1] == ':') && resto.rfind("UNC\\", 0) != 0;
  }
  const size_t barra = nome.find_last_of("\\/:");
  std::string n = nome.substr(barra == std::string::npos ? 0 : barra + 1);
  n = n.substr(0, n.find('.'));
  while (!n.empty() && n.back() == ' ') n.pop_back();
  for (char& c : n) c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c);
  if (n == "CON" || n == "PRN" || n == "AUX" || n == "NUL" || n == "CONIN$" || n == "CONOUT$")
    return true;
  return n.size() == 4 && (n.rfind("COM", 0) == 0 || n.rfind("LPT", 0) == 0) && n[3] >= '0' &&
         n[3] <= '9';
}

const char* non_file(DWORD tipo) {
  if (tipo == FILE_TYPE_PIPE) return "è una pipe, non un file";
  return "è un dispositivo, non un file";
}

// A file opened for reading that others may go on writing, renaming or
// deleting meanwhile (an editor saving it).
HANDLE apri_file(const std::wstring& w) {
  return CreateFileW(w.c_str(), GENERIC_READ,
                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                     FILE_ATTRIBUTE_NORMAL, nullptr);
}

// Up to `massimo` bytes of the file; false on a read error (GetLastError).
bool leggi_handle(HANDLE h, uint64_t massimo, std::string& dati) {
  char buf[1 << 16];
  while (dati.size() < massimo) {
    const DWORD chiesti = static_cast<DWORD>(std::min<uint64_t>(sizeof buf, massimo - dati.size()));
    DWORD n = 0;
    if (!ReadFile(h, buf, chiesti, &n, nullptr)) return false;
    if (n == 0) break;
    dati.append(buf, n);
  }
  return true;
}

lettura troppo_grande(uint64_t dimensione, uint64_t massimo) {
  return {esito_lettura::troppo_grande, dimensione,
          "è di " + std::to_string(dimensione) + " byte, più dei " + std::to_string(massimo) +
              " accettati"};
}

// An open file looked at again (what is there now may not be what was
// looked at before) and read.
lettura leggi_aperto(HANDLE h, uint64_t massimo, std::string& dati) {
  const DWORD tipo = GetFileType(h);
  if (tipo != FILE_TYPE_DISK) return {esito_lettura::non_file, 0, non_file(tipo)};
  LARGE_INTEGER dim{};
  if (!GetFileSizeEx(h, &dim))
    return {esito_lettura::illeggibile, 0, utf16::motivo(GetLastError())};
  if (static_cast<uint64_t>(dim.QuadPart) > massimo)
    return troppo_grande(static_cast<uint64_t>(dim.QuadPart), massimo);
  dati.reserve(static_cast<size_t>(dim.QuadPart));
  if (!leggi_handle(h, massimo + 1, dati))
    return {esito_lettura::illeggibile, 0, utf16::motivo(GetLastError())};
  if (dati.size() <= massimo) return {esito_lettura::letto, dati.size(), ""};
  // Grown past the bound while it was read: its size now.
  if (GetFileSizeEx(h, &dim) && static_cast<uint64_t>(dim.QuadPart) > massimo)
    return troppo_grande(static_cast<uint64_t>(dim.QuadPart), massimo);
  return troppo_grande(dati.size(), massimo);
}

bool mancante(DWORD err) {
  return err == ERROR_FILE_NOT_FOUND || err == ERROR_PATH_NOT_FOUND;
}

}  // namespace

bool leggi(const std::string& nome, std::string& dati) {
  if (nome_di_dispositivo(nome)) return false;
  HANDLE h = CreateFileW(utf16::da_utf8(nome).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  dati.clear();
  bool ok = GetFileType(h) == FILE_TYPE_DISK;
  LARGE_INTEGER dim;
  if (ok && GetFileSizeEx(h, &dim) && dim.QuadPart > 0)
    dati.reserve(static_cast<size_t>(dim.QuadPart));
  if (ok) ok = leggi_handle(h, UINT64_MAX, dati);
  CloseHandle(h);
  return ok;
}

lettura leggi_al_piu(const std::string& nome, uint64_t massimo, std::string& dati) {
  dati.clear();
  if (nome_di_dispositivo(nome))
    return {esito_lettura::non_file, 0, "è un dispositivo, non un file"};
  const std::wstring w = utf16::da_utf8(nome);
  WIN32_FILE_ATTRIBUTE_DATA a;
  if (!GetFileAttributesExW(w.c_str(), GetFileExInfoStandard, &a)) {
    const DWORD err = GetLastError();
    if (mancante(err)) return {};
    return {esito_lettura::illeggibile, 0, utf16::motivo(err)};
  }
  if (a.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
    return {esito_lettura::non_file, 0, "è una cartella, non un file"};
  if (a.dwFileAttributes & FILE_ATTRIBUTE_DEVICE)
    return {esito_lettura::non_file, 0, "è un dispositivo, non un file"};
  const uint64_t dichiarata = (static_cast<uint64_t>(a.nFileSizeHigh) << 32) | a.nFileSizeLow;
  if (dichiarata > massimo) return troppo_grande(dichiarata, massimo);
  HANDLE h = apri_file(w);
  if (h == INVALID_HANDLE_VALUE) {
    const DWORD err = GetLastError();
    if (mancante(err)) return {};
    return {esito_lettura::illeggibile, 0, utf16::motivo(err)};
  }
  lettura r = leggi_aperto(h, massimo, dati);
  CloseHandle(h);
  if (r.esito != esito_lettura::letto) dati.clear();
  return r;
}

lettura lettore::apri(const std::string& nome) {
  if (nome_di_dispositivo(nome))
    return {esito_lettura::non_file, 0, "è un dispositivo, non un file"};
  const std::wstring w = utf16::da_utf8(nome);
  auto perche = [](DWORD err) {
    return mancante(err) ? lettura{} : lettura{esito_lettura::illeggibile, 0, utf16::motivo(err)};
  };
  WIN32_FILE_ATTRIBUTE_DATA a;
  if (!GetFileAttributesExW(w.c_str(), GetFileExInfoStandard, &a)) return perche(GetLastError());
  if (a.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
    return {esito_lettura::non_file, 0, "è una cartella, non un file"};
  if (a.dwFileAttributes & FILE_ATTRIBUTE_DEVICE)
    return {esito_lettura::non_file, 0, "è un dispositivo, non un file"};
  HANDLE h = apri_file(w);
  if (h == INVALID_HANDLE_VALUE) return perche(GetLastError());
  const DWORD tipo = GetFileType(h);
  LARGE_INTEGER dim{};
  lettura r{esito_lettura::letto, 0, ""};
  if (tipo != FILE_TYPE_DISK)
    r = {esito_lettura::non_file, 0, non_file(tipo)};
  else if (!GetFileSizeEx(h, &dim))
    r = perche(GetLastError());
  if (r.esito != esito_lettura::letto) {
    CloseHandle(h);
    return r;
  }
  if (h_) CloseHandle(h_);
  h_ = h, n_ = static_cast<uint64_t>(dim.QuadPart), nome_ = nome;
  r.dimensione = n_;
  return r;
}

lettore::~lettore() {
  if (h_) CloseHandle(h_);
}

// ReadFile at an offset: a handle opened for plain reads takes it from the
// OVERLAPPED and waits for the bytes.
size_t lettore::leggi(uint64_t da, char* dove, size_t n) {
  size_t fatti = 0;
  while (fatti < n) {
    const uint64_t a = da + fatti;
    OVERLAPPED o{};
    o.Offset = static_cast<DWORD>(a & 0xFFFFFFFFu);
    o.OffsetHigh = static_cast<DWORD>(a >> 32);
    const DWORD chiesti = static_cast<DWORD>(std::min<size_t>(n - fatti, size_t{1} << 30));
    DWORD letti = 0;
    if (!ReadFile(h_, dove + fatti, chiesti, &letti, &o)) {
      const DWORD err = GetLastError();
      if (err == ERROR_HANDLE_EOF) break;
      throw errore_io("impossibile leggere " + nome_ + ": " + utf16::motivo(err));
    }
    if (letti == 0) break;
    fatti += letti;
  }
  return fatti;
}

mappatura::mappatura(const std::string& nome) {
  auto manca = [&](DWORD err) {
    throw errore_io("impossibile leggere " + nome + ": " + utf16::motivo(err));
  };
  HANDLE f = CreateFileW(utf16::da_utf8(nome).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (f == INVALID_HANDLE_VALUE) manca(GetLastError());
  LARGE_INTEGER dim;
  if (!GetFileSizeEx(f, &dim)) {
    const DWORD err = GetLastError();
    CloseHandle(f);
    manca(err);
  }
  n_ = static_cast<size_t>(dim.QuadPart);
  if (n_ > 0) {
    HANDLE m = CreateFileMappingW(f, nullptr, PAGE_READONLY, 0, 0, nullptr);
    const void* p = m ? MapViewOfFile(m, FILE_MAP_READ, 0, 0, 0) : nullptr;
    if (!p) {
      const DWORD err = GetLastError();
      if (m) CloseHandle(m);
      CloseHandle(f);
      n_ = 0;
      manca(err);
    }
    p_ = p;
    h_ = m;
  }
  CloseHandle(f);  // the mapping keeps the file open
}

mappatura::~mappatura() {
  if (p_) UnmapViewOfFile(p_);
  if (h_) CloseHandle(static_cast<HANDLE>(h_));
}

namespace {

// The file a name leads to through symbolic links and junctions (and, under
// Wine, the links of the Unix file system), so that a replacement writes that
// file and the links stay; a name that leads to no file yet is itself.
std::string bersaglio(const std::string& nome) {
  HANDLE h = CreateFileW(utf16::da_utf8(nome).c_str(), 0,
                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return nome;
  std::wstring vero(32768, L'\0');
  const DWORD n = GetFinalPathNameByHandleW(h, vero.data(), static_cast<DWORD>(vero.size()),
                                            FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
  CloseHandle(h);
  if (n == 0 || n >= vero.size()) return nome;
  vero.resize(n);
  return utf16::a_utf8(vero);
}

}  // namespace

// A named file, for Windows has no unnamed ones: a run killed outright
// leaves it, and a later run removes it once its owner has ended (when a
// process ends, Windows closes its handles, so nothing holds the file open
// any more; one deleted while another still holds it open with
// FILE_SHARE_DELETE vanishes when that handle closes).
sostituzione::sostituzione(const std::string& nome) : nome_(nome), vero_(bersaglio(nome)) {
  avanzi::rimuovi_morti(vero_);
  for (int prova = 0; prova < 100; ++prova) {
    temp_ = avanzi::prefisso(vero_) + suffisso();
    const std::wstring temp = utf16::da_utf8(temp_);
    // Known to an interruption before it exists; shared for deletion, so the
    // console handler can remove it while it is still open.
    posto_ = interruzione::registra(temp);
    HANDLE h = CreateFileW(temp.c_str(), GENERIC_WRITE | WRITE_DAC, FILE_SHARE_DELETE, nullptr,
                           CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h != INVALID_HANDLE_VALUE) {
      h_ = h;
      agganci::prima_di_scrivere();
      return;
    }
    interruzione::libera(posto_);
    posto_ = -1;
    DWORD err = GetLastError();
    if (err != ERROR_FILE_EXISTS && err != ERROR_ALREADY_EXISTS) fallisci(nome, err);
  }
  fallisci(nome, ERROR_FILE_EXISTS);
}

sostituzione::~sostituzione() {
  if (h_) {
    CloseHandle(h_);
    DeleteFileW(utf16::da_utf8(temp_).c_str());
  }
  interruzione::libera(posto_);
}

void sostituzione::scrivi(std::string_view dati) {
  const char* p = dati.data();
  size_t resto = dati.size();
  while (resto > 0) {
    DWORD pezzo = resto > (1u << 30) ? (1u << 30) : static_cast<DWORD>(resto);
    DWORD n = 0;
    if (!WriteFile(h_, p, pezzo, &n, nullptr)) fallisci(nome_, GetLastError());
    p += n;
    resto -= n;
  }
}

// An OVERLAPPED offset on a handle opened for plain writes: the write goes to
// that place, and each call is one request of its own, so two threads may
// write their own ranges at once. scrivi() is never mixed with it on one file.
void sostituzione::scrivi_a(uint64_t offset, std::string_view dati) {
  const char* p = dati.data();
  size_t resto = dati.size();
  while (resto > 0) {
    DWORD pezzo = resto > (1u << 30) ? (1u << 30) : static_cast<DWORD>(resto);
    OVERLAPPED o{};
    o.Offset = static_cast<DWORD>(offset);
    o.OffsetHigh = static_cast<DWORD>(offset >> 32);
    DWORD n = 0;
    if (!WriteFile(h_, p, pezzo, &n, &o)) fallisci(nome_, GetLastError());
    p += n;
    offset += n;
    resto -= n;
  }
}

void sostituzione::riserva(uint64_t byte) {
  FILE_ALLOCATION_INFO a{};
  a.AllocationSize.QuadPart = static_cast<LONGLONG>(byte);
  SetFileInformationByHandle(h_, FileAllocationInfo, &a, sizeof a);
}

// The new file takes the old one's attributes and, where it has them, access
// rules of its own; one with other hard links is not replaced. A new file
// keeps what the folder gives it.
void sostituzione::come_il_vecchio() {
  HANDLE v = CreateFileW(utf16::da_utf8(vero_).c_str(), READ_CONTROL | FILE_READ_ATTRIBUTES,
                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (v == INVALID_HANDLE_VALUE) return;
  BY_HANDLE_FILE_INFORMATION i{};
  if (GetFileInformationByHandle(v, &i) && i.nNumberOfLinks > 1) {
    CloseHandle(v);
    throw errore_io("impossibile scrivere " + nome_ + ": ha " + std::to_string(i.nNumberOfLinks) +
                    " collegamenti fisici, che sostituirlo separerebbe");
  }
  // A file made private has rules that the folder does not give it: the
  // new one takes them. (Wine shows every file's rules as its own, drawn
  // from the Unix mode, never as protected.)
  PACL dacl = nullptr;
  PSECURITY_DESCRIPTOR sd = nullptr;
  SECURITY_DESCRIPTOR_CONTROL c = 0;
  DWORD revisione = 0;
  if (GetSecurityInfo(v, SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, &dacl,
                      nullptr, &sd) == ERROR_SUCCESS) {
    if (GetSecurityDescriptorControl(sd, &c, &revisione) && (c & SE_DACL_PROTECTED))
      SetSecurityInfo(h_, SE_FILE_OBJECT,
                      DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION, nullptr,
                      nullptr, dacl, nullptr);
    LocalFree(sd);
  }
  CloseHandle(v);
  // Read-only stays out: the file could not be put in place over it.
  const DWORD tenuti = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE |
                       FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
  FILE_BASIC_INFO b{};
  b.FileAttributes =
      (i.dwFileAttributes & tenuti) ? i.dwFileAttributes & tenuti : FILE_ATTRIBUTE_NORMAL;
  SetFileInformationByHandle(h_, FileBasicInfo, &b, sizeof b);
}

void sostituzione::chiudi() {
  come_il_vecchio();
  HANDLE h = h_;
  h_ = nullptr;
  const std::wstring temp = utf16::da_utf8(temp_);
  if (!CloseHandle(h)) {
    DWORD err = GetLastError();
    DeleteFileW(temp.c_str());
    fallisci(nome_, err);
  }
  if (!MoveFileExW(temp.c_str(), utf16::da_utf8(vero_).c_str(),
                   MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    DWORD err = GetLastError();
    DeleteFileW(temp.c_str());
    fallisci(nome_, err);
  }
  interruzione::libera(posto_);
  posto_ = -1;
}

namespace {

bool gia_li(DWORD err) {
  return err == ERROR_ALREADY_EXISTS || err == ERROR_FILE_EXISTS;
}

// Whether the file at `nome` holds exactly `atteso`.
bool contiene(const std::string& nome, std::string_view atteso) {
  std::string dati;
  return leggi_al_piu(nome, atteso.size(), dati).esito == esito_lettura::letto && dati == atteso;
}

}  // namespace

// Windows cannot exchange two files: the target is moved aside (its name
// stays free a moment) and looked at there; the new file, or the target
// itself when it is not the version expected, goes back to the name only if
// no other save has taken it meanwhile (a move that replaces nothing).
bool sostituzione::chiudi_se(std::string_view atteso) {
  const std::wstring vero = utf16::da_utf8(vero_), temp = utf16::da_utf8(temp_);
  const DWORD a = GetFileAttributesW(vero.c_str());
  if (a == INVALID_FILE_ATTRIBUTES) {
    const DWORD err = GetLastError();
    if (mancante(err)) return false;
    fallisci(nome_, err);
  }
  if (a & FILE_ATTRIBUTE_READONLY)
    throw errore_io("impossibile scrivere " + nome_ + ": è in sola lettura");
  come_il_vecchio();
  HANDLE h = h_;
  h_ = nullptr;
  if (!CloseHandle(h)) {
    const DWORD err = GetLastError();
    DeleteFileW(temp.c_str());
    fallisci(nome_, err);
  }
  // A name no run removes: a run killed here leaves the author's file in it.
  std::string parte;
  for (int prova = 0;; ++prova) {
    parte = avanzi::prefisso_conservato(vero_) + suffisso();
    if (MoveFileExW(vero.c_str(), utf16::da_utf8(parte).c_str(), MOVEFILE_WRITE_THROUGH)) break;
    const DWORD err = GetLastError();
    if (gia_li(err) && prova < 100) continue;
    DeleteFileW(temp.c_str());
    if (mancante(err)) return false;
    fallisci(nome_, err);
  }
  const bool uguale = contiene(parte, atteso);
  const std::string& torna = uguale ? temp_ : parte;
  const bool messo =
      MoveFileExW(utf16::da_utf8(torna).c_str(), vero.c_str(), MOVEFILE_WRITE_THROUGH);
  const DWORD err = GetLastError();
  if (!messo && !gia_li(err))
    throw errore_io("impossibile scrivere " + nome_ + ": " + utf16::motivo(err) +
                    "; il file che c'era è ora " + parte);
  DeleteFileW(temp.c_str());
  DeleteFileW(utf16::da_utf8(parte).c_str());
  interruzione::libera(posto_);
  posto_ = -1;
  return uguale && messo;
}

void cancella(const std::string& nome) {
  if (!DeleteFileW(utf16::da_utf8(nome).c_str())) {
    DWORD err = GetLastError();
    if (err != ERROR_FILE_NOT_FOUND && err != ERROR_PATH_NOT_FOUND)
      throw errore_io("impossibile cancellare " + nome + ": " + utf16::motivo(err));
  }
}

void rinomina(const std::string& da, const std::string& a) {
  if (!MoveFileExW(utf16::da_utf8(da).c_str(), utf16::da_utf8(a).c_str(),
                   MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
    fallisci(a, GetLastError());
}

bool crea_cartelle(const std::string& cartella) {
  const std::wstring w = utf16::da_utf8(cartella);
  // Each folder from the top down; the drive ("C:") or share ("\\host\share")
  // that starts the path is never created.
  size_t inizio = 0;
  if (w.size() >= 2 && w[1] == L':') inizio = 2;
  if (w.rfind(L"\\\\", 0) == 0) {
    inizio = w.find_first_of(L"\\/", 2);
    inizio = inizio == std::wstring::npos ? w.size() : w.find_first_of(L"\\/", inizio + 1);
    if (inizio == std::wstring::npos) inizio = w.size();
  }
  for (size_t i = inizio + 1; i <= w.size(); ++i) {
    if (i == w.size() || w[i] == L'\\' || w[i] == L'/') {
      std::wstring parte = w.substr(0, i);
      if (!cartella_esiste(parte)) CreateDirectoryW(parte.c_str(), nullptr);
    }
  }
  return cartella_esiste(w);
}

std::vector<std::string> elenco(const std::string& cartella) {
  std::vector<std::string> nomi;
  WIN32_FIND_DATAW d;
  HANDLE h = FindFirstFileW((utf16::da_utf8(cartella) + L"\\*").c_str(), &d);
  if (h == INVALID_HANDLE_VALUE) return nomi;
  do {
    std::wstring nome = d.cFileName;
    if (nome != L"." && nome != L"..") nomi.push_back(utf16::a_utf8(nome));
  } while (FindNextFileW(h, &d));
  FindClose(h);
  return nomi;
}

std::string cartella_temporanea_sistema() {
  wchar_t buf[MAX_PATH + 2];
  DWORD n = GetTempPathW(MAX_PATH + 2, buf);
  if (n == 0 || n > MAX_PATH + 1) return ".";
  std::wstring w(buf, n);
  while (w.size() > 3 && (w.back() == L'\\' || w.back() == L'/')) w.pop_back();
  return utf16::a_utf8(w);
}

}  // namespace file
