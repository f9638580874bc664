// Record by record comparison of two compiled scenarios.
#include "tool/decompilazione/confronto.h"

#include <algorithm>

#include "model/formato.h"
#include "model/records.h"
#include "platform/testo.h"
#include "tool/comune/json.h"

using std::to_string;

namespace {

std::string punto(const vista_planimetria& p, size_t m, bool y) {
  if (p.genere(m) == genere_punto::vuoto) return "vuoto";
  return numero_esatto(y ? p.y(m) : p.x(m)) +
         (p.genere(m) == genere_punto::intero ? " (intero)" : "");
}

}  // namespace

std::vector<differenza> confronta_compilati(const scenario_compilato& a,
                                            const scenario_compilato& b, size_t massimo) {
  std::vector<differenza> d;
  auto aggiungi = [&](differenza x) {
    if (d.size() < massimo) d.push_back(std::move(x));
  };
  const std::string ft = "tabella", fp = "percorso", fl = "planimetria";
  if (a.byte_tabella != b.byte_tabella) {
    for (int e = 0; e < kVociTabella && d.size() < massimo; ++e) {
      const voce_linea& x = a.tabella_linea[static_cast<size_t>(e)];
      const voce_linea& y = b.tabella_linea[static_cast<size_t>(e)];
      const std::string dove = "voce " + to_string(e) + " campo ";
      if (x.nome != y.nome)
        aggiungi({ft, dove + "nome", json_testo(testo::da_1252(x.nome)),
                  json_testo(testo::da_1252(y.nome))});
      auto cx = campi_voce(x), cy = campi_voce(y);
      for (size_t i = 0; i < cx.size(); ++i)
        if (cx[i].valore != cy[i].valore)
          aggiungi({ft, dove + cx[i].nome, to_string(cx[i].valore), to_string(cy[i].valore)});
    }
  }
  if (a.byte_percorso != b.byte_percorso) {
    if (a.celle.size() != b.celle.size())
      aggiungi({fp, "numero di celle", to_string(a.celle.size()), to_string(b.celle.size())});
    const size_t n = std::min(a.celle.size(), b.celle.size());
    for (size_t i = 0; i < n && d.size() < massimo; ++i) {
      auto cx = campi_cella(a.celle[i]), cy = campi_cella(b.celle[i]);
      for (size_t k = 0; k < cx.size(); ++k)
        if (cx[k].valore != cy[k].valore)
          aggiungi({fp,
                    "cella " + to_string(i) + " (" + to_string(i * formato::kMetriCella) +
                        " m) campo " + cx[k].nome,
                    to_string(cx[k].valore), to_string(cy[k].valore)});
    }
  }
  if (a.con_planimetria != b.con_planimetria) {
    aggiungi({fl, "file", a.con_planimetria ? "presente" : "assente",
              b.con_planimetria ? "presente" : "assente"});
  } else if (a.con_planimetria && a.byte_planimetria != b.byte_planimetria) {
    const vista_planimetria &p = a.pianta, &q = b.pianta;
    if (p.punti() != q.punti())
      aggiungi({fl, "numero di punti", to_string(p.punti()), to_string(q.punti())});
    const size_t n = std::min(p.punti(), q.punti());
    for (size_t m = 0; m < n && d.size() < massimo; ++m) {
      for (bool y : {false, true}) {
        const std::string u = punto(p, m, y), v = punto(q, m, y);
        if (u != v) aggiungi({fl, "punto " + to_string(m) + (y ? " y" : " x"), u, v});
      }
    }
  }
  return d;
}
