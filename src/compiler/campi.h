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

  // Where the last field read starts: line and column from 1, and the line's text.
  int riga() const { return riga_campo_; }
  int colonna() const { return static_cast<int>(inizio_campo_ - inizio_riga_campo_) + 1; }
  std::string_view testo_riga() const;

 private:
  static bool vuoto(char c) { return c == ' ' || c == '\t'; }
  bool fine_riga(size_t p) const { return p < dati_.size() && (dati_[p] == '\r' || dati_[p] == '\n'); }
  void inizia_campo();
  void salta_vuoti();
  // Consumes a comma or a line end at the current position, if there is one.
  void chiudi_campo();
  void salta_fine_riga();
  std::string_view quotato();

  std::string dati_;
  size_t pos_ = 0;
  int riga_ = 1;
  size_t inizio_riga_ = 0;
  int riga_campo_ = 0;
  size_t inizio_campo_ = 0;
  size_t inizio_riga_campo_ = 0;
};
