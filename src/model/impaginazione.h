// The layout of a source as the built-in ones are written: one entry a
// line, each section's columns aligned. The decompile writes it, the
// language server's formatting and the page's edits keep it.
#pragma once
#include <cstdint>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

constexpr int64_t kSenzaPosizione = std::numeric_limits<int64_t>::min();

// One entry line before layout: its key, its values, and what `diff` matches by.
struct riga_sorgente {
  std::string chiave;
  std::vector<std::string> valori;
  std::string genere;
  int64_t posizione = kSenzaPosizione;
};

struct sezione_sorgente {
  std::string testa;  // "[generale]", "[curve]"...
  std::vector<riga_sorgente> righe;
};

// The entries of one section laid out as the built-in sources are: the keys
// padded to one width, each column of numbers right-aligned, a text last
// value (a station's name, a sign's text) as it is; no trailing blanks.
std::vector<std::string> allinea(const std::vector<riga_sorgente>& righe);
// Whether the entry's last value is a text.
bool ha_testo(const riga_sorgente& r);

// A text value as the field reader gives it back: quoted when it holds a
// comma or blanks at its ends. False when no field can give it.
bool testo_campo(const std::string& t, std::string& campo);

// The longest text the tools write into a source's text field for an author
// (a sign's text), in the source's characters: one byte each.
constexpr size_t kTestoScrittoMassimo = 200;
// A text given as UTF-8 (a sign's text from the page) as the field a source
// can carry: characters Windows-1252 has, no control character among them (a
// line end would split the entry, a NUL or an escape would reach the
// simulator's screen), one to kTestoScrittoMassimo of them, and a field the
// reader gives back whole (testo_campo). False with the reason, in Italian.
bool campo_di_testo(std::string_view utf8, std::string& campo, std::string& perche);

// The line with the field at bytes [da, a) written anew, the rest as it was:
// a number keeps its right edge, as a column of them is aligned, taking the
// blanks before it when it is wider (down to the one after the comma) and
// padding with blanks when it is narrower.
std::string sostituisci_campo(std::string_view riga, size_t da, size_t a, std::string_view valore);
