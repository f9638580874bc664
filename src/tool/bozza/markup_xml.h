// How much markup is still open at the end of the XML given so far: from the
// '<' or '&' that opened it, through comments, processing instructions, CDATA
// sections, tags with their quoted values and declarations with their
// brackets. expat before 2.6 scans open markup again from its start at every
// piece it is given, so a compressed map is given in pieces at least as long
// as what is open: a long comment then costs time in proportion to it.
#pragma once
#include <algorithm>
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
    sezione,      // a comment, a CDATA section or an instruction, to its closing
    elemento,
    dichiarazione,
    riferimento,
  };

  void apri(stato_markup s) {
    stato_ = s;
    inizio_ = letti_;
  }
  // A comment closes at "-->", CDATA at "]]>", an instruction at "?>".
  void apri_sezione(char chiude, int quanti) {
    stato_ = sezione;
    chiude_ = chiude, servono_ = quanti, visti_ = 0;
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

  void passo(char c) {
    switch (stato_) {
      case fuori:
        if (c == '<') apri(minore);
        if (c == '&') apri(riferimento);
        return;
      case minore:
        if (c == '!') stato_ = esclamativo;
        if (c == '?') apri_sezione('?', 1);
        if (c == '!' || c == '?') return;
        stato_ = elemento;
        return tra_virgolette(c);
      case esclamativo:
        if (c == '-') stato_ = trattino;
        if (c == '[') apri_sezione(']', 2);  // "<![CDATA[": its name is passed over as its text
        if (c == '-' || c == '[') return;
        stato_ = dichiarazione;
        return tra_virgolette(c);
      case trattino:
        if (c == '-') return apri_sezione('-', 2);
        stato_ = dichiarazione;
        return tra_virgolette(c);
      case sezione:
        if (c == '>' && visti_ >= servono_) stato_ = fuori;
        visti_ = c == chiude_ ? std::min(visti_ + 1, servono_) : 0;
        return;
      case elemento:
      case dichiarazione:
        return tra_virgolette(c);
      case riferimento:
        if (c == ';') stato_ = fuori;
        return;
    }
  }

  stato_markup stato_ = fuori;
  char virgolette_ = 0, chiude_ = 0;
  int servono_ = 0, visti_ = 0;
  uint64_t parentesi_ = 0;
  uint64_t letti_ = 0, inizio_ = 0;
};

}  // namespace bozza
