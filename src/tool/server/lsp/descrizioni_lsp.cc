// Hover texts, the outline and the completion list of a source.
#include <cstdio>
#include <cstdlib>

#include "model/formato.h"
#include "model/numeri.h"
#include "platform/testo.h"
#include "tool/server/lsp/sorgenti_lsp.h"

namespace lsp {

namespace {

std::string u(std::string_view cp1252) {
  return testo::da_1252(cp1252);
}

const voce_riga* voce_a(const std::vector<voce_riga>& voci, int riga) {
  return riga >= 0 && static_cast<size_t>(riga) < voci.size() ? &voci[static_cast<size_t>(riga)]
                                                              : nullptr;
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

// The cell an entry's position falls in, as its reader takes it: objects
// that stand on a track cell take the cell after the one of their position.
std::string cella(std::string_view genere, long long p) {
  if (genere == "curva") return "punto " + std::to_string(p) + " della planimetria";
  const bool dopo = genere == "segnale" || genere == "rallentamento" ||
                    genere == "indicatori_vmax" || genere == "cartello_indicatore";
  return "cella " +
         std::to_string(arrotonda(p + (dopo ? formato::kMetriCella : 0), formato::kMetriCella));
}

std::string chilometro(long long p, const std::vector<riferimento>& km) {
  if (km.empty()) return "";
  riferimento r = km.front();
  for (const riferimento& x : km)
    if (x.posizione <= p) r = x;
  const long long m = r.progressiva + (p - r.posizione);
  char b[48];
  std::snprintf(b, sizeof b, "km %s%lld+%03lld", m < 0 ? "-" : "", std::llabs(m) / 1000,
                std::llabs(m) % 1000);
  return b;
}

std::string orario(long long h, long long m, long long s) {
  char b[64];
  std::snprintf(b, sizeof b, "orario %02lld:%02lld:%02lld (%lld s dalla mezzanotte)", h, m, s,
                h * 3600 + m * 60 + s);
  return b;
}

long long numero(const voce_riga& v, size_t i) {
  return i < v.campi.size() ? std::atoll(v.campi[i].testo.c_str()) : 0;
}

// What value i (from 1) of the entry compiles to, where it says more than its number.
std::string compilato(const voce_riga& v, size_t i, const std::vector<riferimento>& km) {
  const formato::valore_voce& x = v.chiave->valori[i - 1];
  const std::string_view g = v.chiave->genere, nome = x.nome;
  const long long n = numero(v, i);
  if (std::string_view(x.unita) == "m" && (nome == "posizione" || nome == "inizio") && !v.testata) {
    const std::string k = chilometro(n, km);
    return cella(g, n) + (k.empty() ? "" : ", " + k);
  }
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

std::string descrizione(const std::vector<voce_riga>& voci, int riga, int colonna,
                        const std::vector<riferimento>& km) {
  const voce_riga* v = voce_a(voci, riga);
  if (!v || v->campi.empty()) return "";
  const size_t c = static_cast<size_t>(std::max(colonna, 0));
  if (v->testa)
    return "**" + u(v->campi.front().testo) +
           "**: intestazione di sezione; per la lettura non ha significato, le voci si "
           "riconoscono dalla chiave";
  if (!v->chiave) return "";
  size_t i = 0;
  while (i + 1 < v->campi.size() && c > v->campi[i].fine) ++i;
  if (c < v->campi[i].inizio && i > 0) return "";
  if (i == 0) return testo_chiave(*v->chiave);
  if (i > v->chiave->n_valori)
    return "campo in più: " + std::string(v->chiave->chiave) + " ha " +
           std::to_string(v->chiave->n_valori) +
           " valori, la lettura prende questo come un campo a sé";
  const formato::valore_voce& x = v->chiave->valori[i - 1];
  std::string m = "**" + std::string(x.nome) + "**" + unita(x) + ", valore " + std::to_string(i) +
                  " di " + v->chiave->chiave + ": " + x.significato;
  const std::string dopo = compilato(*v, i, km);
  return dopo.empty() ? m : m + "\n\n" + dopo;
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

std::string nome_simbolo(const voce_riga& v) {
  const std::string_view g = v.chiave->genere;
  auto campo = [&](size_t i) { return i < v.campi.size() ? u(v.campi[i].testo) : ""; };
  if (g == "stazione") {
    std::string n = campo(17).empty() ? "stazione " + campo(1) + " m" : campo(17);
    const long long h = numero(v, 14), m = numero(v, 15), s = numero(v, 16);
    if (h || m || s) {
      char b[32];
      std::snprintf(b, sizeof b, " %02lld:%02lld:%02lld", h, m, s);
      n += b;
    }
    return n;
  }
  std::string n = u(v.campi.front().testo);
  if (v.chiave->n_valori == 0 || v.campi.size() < 2) return n;
  n += " " + campo(1);
  if (*v.chiave->valori[0].unita) n += std::string(" ") + v.chiave->valori[0].unita;
  if (g == "curva" || g == "montagna") n += ", " + campo(2) + " m";
  if (g == "cartello_indicatore") n += ": " + campo(2);
  return n;
}

}  // namespace

std::vector<simbolo> struttura(const std::vector<voce_riga>& voci) {
  std::vector<simbolo> out;
  simbolo* sezione = nullptr;
  for (const voce_riga& v : voci) {
    if (v.testa) {
      out.push_back({u(v.campi.front().testo), "sezione", 3, v.riga, v.riga, v.lunghezza, {}});
      sezione = &out.back();
      continue;
    }
    if (!v.chiave) continue;
    simbolo x{nome_simbolo(v),
              v.chiave->significato,
              genere_simbolo(v.chiave->genere),
              v.riga,
              v.riga,
              v.lunghezza,
              {}};
    if (sezione) {
      sezione->fine = v.riga;
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
