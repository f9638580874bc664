#include "tool/compilazione/codifica.h"

#include <cstdio>

#include "platform/testo.h"

namespace {

constexpr std::string_view kBom = "\xEF\xBB\xBF";
constexpr std::string_view kRimedio = " (salvare il file in Windows-1252, o compilare con --utf8)";

bool fine_riga(char c) {
  return c == '\r' || c == '\n';
}

// Where the line that holds byte `i` ends.
size_t fine_di(std::string_view s, size_t i) {
  while (i < s.size() && !fine_riga(s[i])) ++i;
  return i;
}

// What ends a field: the text a warning quotes runs between them.
bool separa(char c) {
  return c == ' ' || c == '\t' || c == ',' || c == '"';
}

// The first multi-byte UTF-8 sequence of a line, looked for from byte `da`,
// quoted with the rest of its word and every later word up to the last one.
void controlla_riga(std::vector<avviso>& avvisi, const std::string& file, int n,
                    std::string_view riga, size_t da) {
  size_t primo = std::string_view::npos, ultimo = 0;
  for (size_t i = da; i < riga.size();) {
    char32_t c = 0;
    const size_t k =
        static_cast<unsigned char>(riga[i]) < 0x80 ? 1 : testo::sequenza_utf8(riga, i, c);
    if (k >= 2) {
      if (primo == std::string_view::npos) primo = i;
      ultimo = i + k;
    }
    i += k ? k : 1;
  }
  if (primo == std::string_view::npos) return;
  size_t a = primo, b = ultimo;
  while (a > da && !separa(riga[a - 1])) --a;
  while (b < riga.size() && !separa(riga[b])) ++b;
  const std::string_view parte = riga.substr(a, b - a);
  const int colonna = static_cast<int>(primo) + 1;
  avvisi.push_back({{file, n, colonna, std::string(riga)},
                    "testo UTF-8 alla colonna " + std::to_string(colonna) +
                        ": il simulatore mostrerà \"" + testo::da_1252(parte) +
                        "\", forse si intendeva \"" + testo::utf8_valido(parte) + "\"" +
                        std::string(kRimedio)});
}

// The line of a UTF-8 text that holds byte `p`, as single-byte text with one
// byte for each character (a stray byte stays itself), and the column of `p`.
posizione_sorgente riga_utf8(const std::string& file, std::string_view s, size_t p) {
  size_t inizio = p;
  while (inizio > 0 && !fine_riga(s[inizio - 1])) --inizio;
  posizione_sorgente dove{file, 1, 1, {}};
  for (size_t i = 0; i < inizio; ++i)
    if (s[i] == '\n' || (s[i] == '\r' && s[i + 1] != '\n')) ++dove.riga;
  const size_t fine = fine_di(s, p);
  for (size_t i = inizio; i < fine;) {
    char32_t c = 0;
    const size_t k = testo::sequenza_utf8(s, i, c);
    dove.testo += k ? testo::a_1252(s.substr(i, k)) : std::string(1, s[i]);
    if (i < p) ++dove.colonna;
    i += k ? k : 1;
  }
  return dove;
}

std::string perche(std::string_view s, size_t p, int colonna) {
  char32_t c = 0;
  const size_t k = testo::sequenza_utf8(s, p, c);
  char numero[16];
  if (k == 0) {
    std::snprintf(numero, sizeof numero, "0x%02X", static_cast<unsigned char>(s[p]));
    return "il byte " + std::string(numero) + " alla colonna " + std::to_string(colonna) +
           " non è UTF-8 valido: il file è forse già in Windows-1252 (da compilare senza --utf8)";
  }
  std::snprintf(numero, sizeof numero, "U+%04X", static_cast<unsigned>(c));
  return "il carattere \"" + std::string(s.substr(p, k)) + "\" (" + numero + ") alla colonna " +
         std::to_string(colonna) +
         " non ha posto in Windows-1252, la codifica dei testi del simulatore";
}

}  // namespace

void avvisi_codifica(std::vector<avviso>& avvisi, const std::string& file, std::string_view dati) {
  const bool bom = dati.substr(0, kBom.size()) == kBom;
  int n = 1;
  for (size_t i = 0;; ++n) {
    const size_t f = fine_di(dati, i);
    const std::string_view riga = dati.substr(i, f - i);
    if (n == 1 && bom)
      avvisi.push_back({{file, 1, 1, std::string(riga)},
                        "il file comincia con il segno UTF-8 EF BB BF (BOM), che il simulatore "
                        "legge come \"" +
                            testo::da_1252(kBom) + "\" all'inizio del primo campo" +
                            std::string(kRimedio)});
    controlla_riga(avvisi, file, n, riga, n == 1 && bom ? kBom.size() : 0);
    if (f == dati.size()) break;
    i = f + (dati[f] == '\r' && f + 1 < dati.size() && dati[f + 1] == '\n' ? 2 : 1);
  }
}

std::optional<errore_codifica> da_utf8(const std::string& file, std::string& dati) {
  std::string_view s = dati;
  if (s.substr(0, kBom.size()) == kBom) s.remove_prefix(kBom.size());
  std::string uscita;
  const size_t p = testo::a_1252_esatto(s, uscita);
  if (p == std::string::npos) {
    dati = std::move(uscita);
    return std::nullopt;
  }
  errore_codifica e{riga_utf8(file, s, p), {}};
  e.messaggio = perche(s, p, e.dove.colonna);
  return e;
}
