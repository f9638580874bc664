// Writes a text writer's line table as one file.
#include <string>
#include <vector>

#include "driver/form1.h"
#include "platform/file.h"
#include "platform/testo.h"
#include "writers/righe.h"

void Form1::scrivi_righe(const std::string& nome_file, const std::vector<std::string>& righe) {
  // Built whole in memory and replaced in one step, so a failed write leaves
  // the old file as it was. A table without an end marker stops at its last slot.
  std::string dati;
  for (const std::string& r : righe) {
    if (r == kFineFile) break;
    dati += testo::a_1252(r);
    dati += "\r\n";
  }
  disco->sostituisci(nome_file, dati);
}
