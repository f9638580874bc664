#include "platform/windows/interruzione.h"

#include <windows.h>

#include <atomic>
#include <mutex>
#include <vector>

#include "platform/interruzione.h"

namespace interruzione {
namespace {

struct posto {
  bool usato = false;
  std::wstring nome;
};

// The handler runs on a thread of its own while the run goes on: both sides
// hold the lock.
std::mutex m;
std::vector<posto> posti;

std::atomic<bool> trattenuta{false};
std::atomic<bool> notata{false};

BOOL WINAPI all_interruzione(DWORD evento) {
  if (evento != CTRL_C_EVENT && evento != CTRL_BREAK_EVENT && evento != CTRL_CLOSE_EVENT &&
      evento != CTRL_LOGOFF_EVENT && evento != CTRL_SHUTDOWN_EVENT)
    return FALSE;
  // A closed console ends the program whatever the handler says: only Ctrl-C
  // and Ctrl-Break can be held back.
  const bool da_tastiera = evento == CTRL_C_EVENT || evento == CTRL_BREAK_EVENT;
  if (trattenuta.load() && !notata.exchange(true) && da_tastiera) return TRUE;
  std::lock_guard<std::mutex> l(m);
  // Temporary files are opened with FILE_SHARE_DELETE: deleting one still
  // open leaves it to vanish when the process ends.
  for (const posto& p : posti)
    if (p.usato) DeleteFileW(p.nome.c_str());
  posti.clear();
  return FALSE;  // the system's own handler ends the program
}

}  // namespace

int registra(const std::wstring& nome) {
  std::lock_guard<std::mutex> l(m);
  for (size_t i = 0; i < posti.size(); ++i) {
    if (!posti[i].usato) {
      posti[i] = {true, nome};
      return static_cast<int>(i);
    }
  }
  posti.push_back({true, nome});
  return static_cast<int>(posti.size() - 1);
}

void libera(int posto) {
  std::lock_guard<std::mutex> l(m);
  if (posto >= 0 && static_cast<size_t>(posto) < posti.size()) posti[posto].usato = false;
}

void trattieni() {
  trattenuta.store(true);
}

bool chiesta() {
  return notata.load();
}

void installa() {
  SetConsoleCtrlHandler(all_interruzione, TRUE);
}

}  // namespace interruzione
