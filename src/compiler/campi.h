// The field reader shared by the line and the train reader.
//
// A source file is a stream of fields. A field ends at a comma or a line end
// (CR LF, or a lone CR or LF); blanks (space, tab) before a field are skipped,
// never across a line end. A text field runs to the comma or line end without
// the blanks around it; one that starts with a double quote runs to the
// closing quote, and what follows that quote up to the comma or line end is
// dropped. A numeric field also ends at a blank: further blanks are skipped,
// and a comma or line end right after them ends the field too. The end-of-file
// state is the one the readers test after each read: true once the delimiter
// of the last field has been consumed.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "compiler/stato_lettura.h"

// A read that cannot succeed: past the end of the file, a malformed number, a
// value that does not fit its field. The readers turn it into code 25.
struct errore_lettura {
  const char* motivo;
};

class lettore_campi {
 public:
  explicit lettore_campi(std::string dati) : dati_(std::move(dati)) {}

  bool fine() const { return pos_ >= dati_.size(); }
  std::string testo();
  int32_t numero();
  // A number that must fit the given range, else a read failure.
  int32_t numero(int64_t minimo, int64_t massimo);
  // A number for a record's 8-bit (unsigned) or 16-bit (signed) field.
  uint8_t numero8() { return static_cast<uint8_t>(numero(0, 255)); }
  int16_t numero16() { return static_cast<int16_t>(numero(INT16_MIN, INT16_MAX)); }

  // Where the last field read starts: line and column from 1, and the line's text.
  int riga() const { return riga_campo_; }
  int colonna() const { return static_cast<int>(inizio_campo_ - inizio_riga_campo_) + 1; }
  std::string_view testo_riga() const;

  // Where the last field read stands.
  luogo_campo luogo() const { return ultimo_; }

  // While set, every field read is added to it as written, with its place.
  voce_letta* registro = nullptr;

 private:
  static bool vuoto(char c) { return c == ' ' || c == '\t'; }
  bool fine_riga(size_t p) const {
    return p < dati_.size() && (dati_[p] == '\r' || dati_[p] == '\n');
  }
  void inizia_campo();
  void salta_vuoti();
  // Consumes a comma or a line end at the current position, if there is one.
  void chiudi_campo();
  void salta_fine_riga();
  std::string_view quotato();
  void annota(size_t da, size_t a, std::string_view testo);

  std::string dati_;
  size_t pos_ = 0;
  int riga_ = 1;
  size_t inizio_riga_ = 0;
  int riga_campo_ = 0;
  size_t inizio_campo_ = 0;
  size_t inizio_riga_campo_ = 0;
  luogo_campo ultimo_;
};

// Where the last field read stands, in the file named `file`.
posizione_sorgente posizione_campo(const lettore_campi& f, const std::string& file);

// While entries are noted (`voci` not null): the entry of key `k` whose key
// (the last field read) stands at `dove`, with the fields read until this goes.
class nota_voce {
 public:
  nota_voce(std::vector<voce_letta>* voci, lettore_campi& f, const formato::chiave_sorgente& k,
            const posizione_sorgente& dove, bool testata = false)
      : f_(f) {
    if (!voci) return;
    voci->push_back({&k, dove, {}, f.luogo(), {}, testata});
    f.registro = &voci->back();
  }
  ~nota_voce() { f_.registro = nullptr; }
  nota_voce(const nota_voce&) = delete;
  nota_voce& operator=(const nota_voce&) = delete;

 private:
  lettore_campi& f_;
};

// While entries are noted: a section head, the last field read, as an entry
// without a key.
void nota_testa(std::vector<voce_letta>* voci, const lettore_campi& f, const std::string& token,
                const std::string& file);

// A bracketed section head such as "[curve]": it names no entry.
bool testa_sezione(std::string_view t);

// Checks of `scenario check`; the readers call them only while warnings are
// collected. A field that no entry takes, noted once per line (`riga_ignorata`).
void campo_ignorato(std::vector<avviso>& avvisi, int& riga_ignorata, const posizione_sorgente& dove,
                    std::string_view campo);
// The file's last field, which the readers never handle.
void ultimo_campo(std::vector<avviso>& avvisi, const posizione_sorgente& dove,
                  std::string_view campo);
// A value that an 8-bit unsigned or a 16-bit signed field keeps only in part.
void controlla_8(std::vector<avviso>& avvisi, const posizione_sorgente& dove, std::string_view nome,
                 int64_t v);
void controlla_16(std::vector<avviso>& avvisi, const posizione_sorgente& dove,
                  std::string_view nome, int64_t v);
// A marker of an earlier signal or station that `chi` replaces with another.
void marcatore_sostituito(std::vector<avviso>& avvisi, const posizione_sorgente& dove,
                          std::string_view chi, int64_t cella, uint8_t vecchio, uint8_t nuovo);
