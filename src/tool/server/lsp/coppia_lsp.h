// The two sources of a scenario are one compile: a document's pair, found by
// the sources' name scheme in its folder, and the compile of a pair's texts
// as the server holds them.
#pragma once
#include <string>
#include <tuple>
#include <vector>

#include "tool/compilazione/compila.h"
#include "tool/comune/guasto.h"
#include "tool/server/lsp/testo_lsp.h"

namespace lsp {

// A pair to compile: the folder and the names the compile reads.
struct coppia {
  std::string cartella, linea, treno;  // route and train names
  std::string uri_linea, uri_treno;    // "" where no such file is known
  bool operator<(const coppia& o) const {
    return std::tie(cartella, linea, treno) < std::tie(o.cartella, o.linea, o.treno);
  }
};

// The pair of the document at `uri`. A line source's train is the first by
// name among `aperti` (the names open in its folder), else among the files
// of the folder when `disco`. No folder or no name of the scheme: no names.
coppia coppia_del_nome(const std::string& uri, std::vector<std::string> aperti, bool disco);

// A source as the compile takes it, at one moment.
struct istantanea {
  bool aperto = false;  // open in the editor
  bool dato = false;    // its text is given to the compile: open, or read here from the disk
  long long versione = 0;
  std::string testo;  // Windows-1252
  std::vector<fuori_pagina> fuori;
};

// A source that is not open, from the disk: read here, bounded and without
// waiting on what stands at its name, so that the compile never reads it
// itself (a missing one is left to the compile, which says so). A failure:
// what stands there cannot be read.
esito<istantanea> dal_disco(const std::string& uri, bool disco);

// The compile of a pair's two sources in memory. A source not given is read
// by the compile from the disk when `disco` (only a missing one is), else it
// is empty.
esito_compilazione compila_coppia(const coppia& c, const istantanea& linea, const istantanea& treno,
                                  bool disco, uscita_compilati u);

}  // namespace lsp
