// How much markup is still open at the end of the XML given so far: from the
// '<' or '&' that opened it, through comments, processing instructions, CDATA
// sections, tags with their quoted values and declarations with their
// brackets. expat before 2.6 scans open markup again from its start at every
// piece it is given, so a compressed map is given in pieces at least as long
// as what is open: a long comment then costs time in proportion to it.
#pragma once
#include <cstdint>
#include <string_view>

namespace bozza {

class markup_xml {
 public:
  void leggi(std::string_view pezzo) {
    for (char c : pezzo) {
      passo(c);
      ++letti_;
    }
  }
  uint64_t aperto() const { return stato_ == fuori ? 0 : letti_ - inizio_; }

 private:
  enum stato_markup : uint8_t {
    fuori,
    minore,       // "<"
    esclamativo,  // "<!"
    trattino,     // "<!-"
    commento,
    commento_1,  // "-" in a comment
    commento_2,  // "--" in a comment
    istruzione,
    istruzione_q,  // "?" in an instruction
    cdata,
    cdata_1,  // "]" in CDATA
    cdata_2,  // "]]" in CDATA
    elemento,
    dichiarazione,
    riferimento,
  };

  void apri(stato_markup s) {
    stato_ = s;
    inizio_ = letti_;
  }
  // A tag or a declaration: '>' closes it outside quotes (and, in a
  // declaration, outside brackets).
  void tra_virgolette(char c) {
    if (virgolette_ != 0) {
      if (c == virgolette_) virgolette_ = 0;
    } else if (c == '"' || c == '\'') {
      virgolette_ = c;
    } else if (c == '[' && stato_ == dichiarazione) {
      ++parentesi_;
    } else if (c == ']' && stato_ == dichiarazione && parentesi_ > 0) {
      --parentesi_;
    } else if (c == '>' && parentesi_ == 0) {
      stato_ = fuori;
    }
  }
  // After "]]" in CDATA, "--" in a comment or "?" in an instruction: '>'
  // closes, one more of the same keeps it so.
  void dopo_coppia(char c, char coppia, stato_markup dentro) {
    if (c == '>')
      stato_ = fuori;
    else if (c != coppia)
      stato_ = dentro;
  }

  void passo(char c) {
    switch (stato_) {
      case fuori:
        if (c == '<') apri(minore);
        if (c == '&') apri(riferimento);
        return;
      case minore:
        if (c == '!') stato_ = esclamativo;
        if (c == '?') stato_ = istruzione;
        if (c == '!' || c == '?') return;
        stato_ = elemento;
        return tra_virgolette(c);
      case esclamativo:
        if (c == '-') stato_ = trattino;
        if (c == '[') stato_ = cdata;  // "<![CDATA[": its name is passed over as its text
        if (c == '-' || c == '[') return;
        stato_ = dichiarazione;
        return tra_virgolette(c);
      case trattino:
        stato_ = c == '-' ? commento : dichiarazione;
        if (c != '-') tra_virgolette(c);
        return;
      case commento:
        if (c == '-') stato_ = commento_1;
        return;
      case commento_1:
        stato_ = c == '-' ? commento_2 : commento;
        return;
      case commento_2:
        return dopo_coppia(c, '-', commento);
      case istruzione:
        if (c == '?') stato_ = istruzione_q;
        return;
      case istruzione_q:
        return dopo_coppia(c, '?', istruzione);
      case cdata:
        if (c == ']') stato_ = cdata_1;
        return;
      case cdata_1:
        stato_ = c == ']' ? cdata_2 : cdata;
        return;
      case cdata_2:
        return dopo_coppia(c, ']', cdata);
      case elemento:
      case dichiarazione:
        return tra_virgolette(c);
      case riferimento:
        if (c == ';') stato_ = fuori;
        return;
    }
  }

  stato_markup stato_ = fuori;
  char virgolette_ = 0;
  uint64_t parentesi_ = 0;
  uint64_t letti_ = 0, inizio_ = 0;
};

}  // namespace bozza
