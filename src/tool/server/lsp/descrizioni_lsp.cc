// Hover texts, the outline and the completion list of a source.
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "model/formato.h"
#include "model/numeri.h"
#include "platform/testo.h"
#include "tool/server/lsp/sorgenti_lsp.h"
#include "tool/server/lsp/testo_lsp.h"

namespace lsp {

namespace {

std::string u(std::string_view cp1252) {
  return testo::da_1252(cp1252);
}

std::string unita(const formato::valore_voce& v) {
  return *v.unita ? std::string(" (") + v.unita + ")" : "";
}

std::string testo_chiave(const formato::chiave_sorgente& k) {
  std::string m = "**" + std::string(k.chiave) + "**: " + k.significato + "\n\n";
  for (size_t i = 0; i < k.n_valori; ++i)
    m += std::to_string(i + 1) + ". `" + k.valori[i].nome + "`" + unita(k.valori[i]) + ": " +
         k.valori[i].significato + "\n";
  return m;
}

// The cell an entry's position falls in, as its reader takes it; a curve's
// is a point of the plan.
std::string cella(std::string_view genere, long long p) {
  if (genere == "curva") return "punto " + std::to_string(p) + " della planimetria";
  return "cella " +
         std::to_string(regole::cella_della_posizione(p, regole::nella_cella_dopo(genere)));
}

std::string orario(long long h, long long m, long long s) {
  const int64_t t = regole::secondi_del_giorno(h, m, s);
  return "orario " + regole::ora_testo(t) + " (" + std::to_string(t) + " s dalla mezzanotte)";
}

// Value i (from 1) of the entry as a number; 0 for an empty field.
long long numero(const voce_letta& v, size_t i) {
  return i >= 1 && i <= v.campi.size() ? std::atoll(v.campi[i - 1].c_str()) : 0;
}

// What value i (from 1) of the entry compiles to, where it says more than its number.
std::string compilato(const voce_letta& v, size_t i, const std::vector<regole::tratto_km>& km) {
  const formato::valore_voce& x = v.chiave->valori[i - 1];
  const std::string_view g = v.chiave->genere, nome = x.nome;
  const long long n = numero(v, i);
  if (std::string_view(x.unita) == "m" && (nome == "posizione" || nome == "inizio") && !v.testata)
    return cella(g, n) + ", " + regole::testo_km(regole::progressiva(km, n));
  if (g == "velocita" && nome == "velocita")
    return "memorizzata come " + std::to_string(arrotonda(n, 5)) + " (" +
           std::to_string(arrotonda(n, 5) * 5) + " km/h)";
  if ((g == "stazione" || g == "orologio") &&
      (nome == "ore" || nome == "minuti" || nome == "secondi")) {
    const size_t ore = i - (nome == "minuti" ? 1 : nome == "secondi" ? 2 : 0);
    return orario(numero(v, ore), numero(v, ore + 1), numero(v, ore + 2));
  }
  return "";
}

}  // namespace

namespace {

// The field of an entry at (riga, colonna), from 1 and from 0: 0 for the key,
// i for value i; -1 for none.
int campo_a(const voce_letta& v, int64_t riga, int c) {
  auto dentro = [&](const luogo_campo& l) { return l.riga == riga && c >= l.da && c <= l.a; };
  if (dentro(v.luogo_chiave) && v.dove.riga == riga) return 0;
  for (size_t i = 0; i < v.luoghi.size(); ++i)
    if (dentro(v.luoghi[i])) return static_cast<int>(i + 1);
  return -1;
}

}  // namespace

std::string descrizione(const std::vector<voce_letta>& voci, int riga, int colonna,
                        const std::vector<regole::tratto_km>& km) {
  for (const voce_letta& v : voci) {
    // The protocol's lines count from 0; the largest it sends stays past every line.
    const int i = campo_a(v, int64_t{riga} + 1, std::max(colonna, 0));
    if (i < 0) continue;
    if (!v.chiave)
      return "**" + u(v.campi.front()) +
             "**: intestazione di sezione; per la lettura non ha significato, le voci si "
             "riconoscono dalla chiave";
    if (i == 0) return testo_chiave(*v.chiave);
    const formato::valore_voce& x = v.chiave->valori[static_cast<size_t>(i) - 1];
    std::string m = "**" + std::string(x.nome) + "**" + unita(x) + ", valore " + std::to_string(i) +
                    " di " + v.chiave->chiave + ": " + x.significato;
    const std::string dopo = compilato(v, static_cast<size_t>(i), km);
    return dopo.empty() ? m : m + "\n\n" + dopo;
  }
  return "";
}

}  // namespace lsp

namespace lsp {

namespace {

int genere_simbolo(std::string_view g) {
  if (g == "stazione") return 24;                                       // Event
  if (g == "segnale") return 14;                                        // Constant
  if (g == "curva") return 12;                                          // Function
  if (g == "cartello_indicatore" || g == "indicatori_vmax") return 15;  // String
  if (g == "rallentamento" || g == "abbattimento") return 25;           // Operator
  return 8;                                                             // Field
}

std::string nome_simbolo(const voce_letta& v) {
  const std::string_view g = v.chiave->genere;
  auto campo = [&](size_t i) { return i >= 1 && i <= v.campi.size() ? u(v.campi[i - 1]) : ""; };
  if (g == "stazione") {
    std::string n = campo(17).empty() ? "stazione " + campo(1) + " m" : campo(17);
    const long long h = numero(v, 14), m = numero(v, 15), s = numero(v, 16);
    if (h || m || s) n += " " + regole::ora_testo(regole::secondi_del_giorno(h, m, s));
    return n;
  }
  const luogo_campo& k = v.luogo_chiave;
  std::string n =
      u(std::string_view(v.dove.testo)
            .substr(static_cast<size_t>(std::min<int>(k.da, static_cast<int>(v.dove.testo.size()))),
                    static_cast<size_t>(k.a - k.da)));
  if (v.chiave->n_valori == 0 || v.campi.empty()) return n;
  n += " " + campo(1);
  if (*v.chiave->valori[0].unita) n += std::string(" ") + v.chiave->valori[0].unita;
  if (g == "curva" || g == "montagna") n += ", " + campo(2) + " m";
  if (g == "cartello_indicatore") n += ": " + campo(2);
  return n;
}

}  // namespace

std::vector<simbolo> struttura(const std::vector<voce_letta>& voci, std::string_view testo) {
  std::vector<size_t> lunghezze;
  per_riga(testo, [&](size_t a, size_t b) { lunghezze.push_back(b - a); });
  auto lunga = [&](int riga) {
    return riga >= 1 && static_cast<size_t>(riga) <= lunghezze.size()
               ? lunghezze[static_cast<size_t>(riga) - 1]
               : 0;
  };
  std::vector<simbolo> out;
  simbolo* sezione = nullptr;
  for (const voce_letta& v : voci) {
    const int riga = v.dove.riga;
    if (!v.chiave) {
      out.push_back({u(v.campi.front()), "sezione", 3, riga - 1, riga - 1, lunga(riga), {}});
      sezione = &out.back();
      continue;
    }
    const int ultima = v.luoghi.empty() ? riga : std::max(riga, v.luoghi.back().riga);
    simbolo x{nome_simbolo(v),
              v.chiave->significato,
              genere_simbolo(v.chiave->genere),
              riga - 1,
              ultima - 1,
              lunga(ultima),
              {}};
    if (sezione) {
      sezione->fine = x.fine;
      sezione->lunghezza = x.lunghezza;
      sezione->figli.push_back(std::move(x));
    } else {
      out.push_back(std::move(x));
    }
  }
  return out;
}

std::vector<proposta> proposte(formato::sorgente s) {
  static const char* const kTesteLinea[] = {
      "[generale]", "[curve]", "[pendenze]", "[montagne]", "[cartelli]", "[indicazioni]", "[fine]"};
  static const char* const kTesteTreno[] = {"[generale]", "[aderenze]",      "[vel_limite]",
                                            "[stazioni]", "[rallentamenti]", "[segnali]",
                                            "[codici]",   "[fine]"};
  std::vector<proposta> out;
  if (s == formato::sorgente::linea)
    for (const char* t : kTesteLinea) out.push_back({t, "sezione", "", t, 9});
  else
    for (const char* t : kTesteTreno) out.push_back({t, "sezione", "", t, 9});
  for (const formato::chiave_sorgente& k : formato::chiavi(s)) {
    std::string inserto = std::string(k.chiave) + ",";
    std::string doc = std::string(k.significato) + "\n\n";
    for (size_t i = 0; i < k.n_valori; ++i) {
      inserto +=
          std::string(i ? ", " : " ") + "${" + std::to_string(i + 1) + ":" + k.valori[i].nome + "}";
      doc += std::string("- ") + k.valori[i].nome + unita(k.valori[i]) + ": " +
             k.valori[i].significato + "\n";
    }
    out.push_back({k.chiave, k.genere, doc, inserto, 15});
  }
  return out;
}

}  // namespace lsp
