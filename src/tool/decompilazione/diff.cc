// scenario diff: what changed between two compiled versions of a scenario,
// as entries of their decompiled sources rather than as bytes.
#include <cstdio>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "model/regole.h"
#include "platform/testo.h"
#include "tool/comune/argomenti.h"
#include "tool/comune/json.h"
#include "tool/decompilazione/decompila.h"

namespace {

struct cambio {
  const char* come;  // "cambiata", "aggiunta", "tolta"
  const char* file;  // "linea", "treno"
  const voce_sorgente* a = nullptr;
  const voce_sorgente* b = nullptr;
  const voce_sorgente& voce() const { return a ? *a : *b; }
};

// Entries match by what they are, their position and, among equals, their
// order: a moved entry is one taken away and one added.
void confronta_voci(const char* file, const std::vector<voce_sorgente>& a,
                    const std::vector<voce_sorgente>& b, std::vector<cambio>& cambi) {
  auto chiavi = [](const std::vector<voce_sorgente>& v) {
    std::map<std::string, int> volte;
    std::vector<std::string> k;
    for (const auto& x : v) {
      std::string c = x.genere + "@" + std::to_string(x.posizione);
      k.push_back(c + "#" + std::to_string(volte[c]++));
    }
    return k;
  };
  const auto ka = chiavi(a), kb = chiavi(b);
  std::map<std::string, size_t> in_b;
  for (size_t i = 0; i < kb.size(); ++i) in_b[kb[i]] = i;
  std::map<std::string, bool> visto;
  for (size_t i = 0; i < ka.size(); ++i) {
    auto t = in_b.find(ka[i]);
    if (t == in_b.end()) {
      cambi.push_back({"tolta", file, &a[i], nullptr});
      continue;
    }
    visto[ka[i]] = true;
    if (a[i].campi != b[t->second].campi) cambi.push_back({"cambiata", file, &a[i], &b[t->second]});
  }
  for (size_t i = 0; i < kb.size(); ++i)
    if (!visto.count(kb[i])) cambi.push_back({"aggiunta", file, nullptr, &b[i]});
}

// Where an entry stands: its position and the kilometre its own version
// gives it.
struct luogo {
  std::string genere;
  std::optional<int64_t> posizione;
  std::string km;
};

luogo dove(const cambio& c, const std::vector<regole::tratto_km>& ka,
           const std::vector<regole::tratto_km>& kb) {
  const voce_sorgente& v = c.voce();
  luogo l{v.genere, std::nullopt, ""};
  if (v.posizione == kSenzaPosizione) return l;
  l.posizione = v.posizione;
  l.km = regole::testo_km(regole::progressiva(c.b ? kb : ka, v.posizione));
  return l;
}

std::string json_cambi(const std::vector<cambio>& cambi, const std::vector<differenza>& resto,
                       const std::vector<regole::tratto_km>& ka,
                       const std::vector<regole::tratto_km>& kb, bool uguali) {
  std::string s = "{\"uguali\":" + std::string(uguali ? "true" : "false") + ",\"cambi\":[";
  for (size_t i = 0; i < cambi.size(); ++i) {
    const cambio& c = cambi[i];
    const luogo l = dove(c, ka, kb);
    s += (i ? "," : "") + std::string("{\"cambio\":\"") + c.come + "\",\"file\":\"" + c.file +
         "\",\"genere\":" + json_testo(l.genere) +
         ",\"posizione\":" + (l.posizione ? std::to_string(*l.posizione) : "null") +
         (l.km.empty() ? "" : ",\"km\":" + json_testo(l.km));
    for (auto [lato, x] : {std::pair<const char*, const voce_sorgente*>{"a", c.a}, {"b", c.b}}) {
      if (!x) continue;
      s += std::string(",\"riga_") + lato + "\":" + std::to_string(x->riga) + ",\"testo_" + lato +
           "\":" + json_testo(testo::da_1252(x->testo));
    }
    s += "}";
  }
  s += "],\"differenze\":[";
  for (size_t i = 0; i < resto.size(); ++i)
    s += (i ? "," : "") + std::string("{\"file\":") + json_testo(resto[i].file) +
         ",\"dove\":" + json_testo(resto[i].dove) + ",\"a\":" + json_testo(resto[i].atteso) +
         ",\"b\":" + json_testo(resto[i].ottenuto) + "}";
  return s + "]}\n";
}

std::string testo_cambi(const std::vector<cambio>& cambi, const std::vector<differenza>& resto,
                        const std::vector<regole::tratto_km>& ka,
                        const std::vector<regole::tratto_km>& kb) {
  std::string s;
  int n_cambiate = 0, n_aggiunte = 0, n_tolte = 0;
  for (const cambio& c : cambi) {
    const char segno = c.a && c.b ? '~' : (c.b ? '+' : '-');
    (c.a && c.b ? n_cambiate : (c.b ? n_aggiunte : n_tolte))++;
    const luogo l = dove(c, ka, kb);
    s += std::string(1, segno) + " " + c.file + ": " + c.come + " " + l.genere;
    if (l.posizione) s += " a " + std::to_string(*l.posizione) + " m (" + l.km + ")";
    s += "\n";
    if (c.a)
      s += "    A riga " + std::to_string(c.a->riga) + ": " + testo::da_1252(c.a->testo) + "\n";
    if (c.b)
      s += "    B riga " + std::to_string(c.b->riga) + ": " + testo::da_1252(c.b->testo) + "\n";
  }
  if (!cambi.empty())
    return s + "voci cambiate: " + std::to_string(n_cambiate) +
           ", aggiunte: " + std::to_string(n_aggiunte) + ", tolte: " + std::to_string(n_tolte) +
           "\n";
  if (resto.empty()) return s + "le due versioni si compilano dalle stesse voci\n";
  s += "stesse voci, ma i file compilati differiscono in ciò che nessuna voce esprime:\n";
  for (const differenza& d : resto)
    s += "  " + d.file + ", " + d.dove + ": " + d.atteso + " in A, " + d.ottenuto + " in B\n";
  return s;
}

}  // namespace

int comando_diff(const argomenti& a) {
  argomenti_letti l;
  if (int s = leggi_argomenti("diff", a, {{"--json"}}, 4, "DIR_A DIR_B ROUTE TRAIN", l); s >= 0)
    return s;
  const bool json = l.ha("--json");
  const std::vector<std::string>& posizionali = l.posizionali;
  const std::string &linea = posizionali[2], &treno = posizionali[3];
  if (int s = nomi_scenario("diff", linea, treno); s >= 0) return s;
  scenario_compilato sa, sb;
  try {
    leggi_compilato(posizionali[0], linea, treno, sa);
    leggi_compilato(posizionali[1], linea, treno, sb);
  } catch (const file::errore_io& e) {
    if (json)
      std::printf("{\"uguali\":false,\"errore\":%s}\n", json_testo(e.what()).c_str());
    else
      std::fprintf(stderr, "scenario: %s\n", e.what());
    return kUscitaFallita;
  }
  const decompilazione da = decompila(sa), db = decompila(sb);
  std::vector<cambio> cambi;
  confronta_voci("linea", da.linea.voci, db.linea.voci, cambi);
  confronta_voci("treno", da.treno.voci, db.treno.voci, cambi);
  // Entries alike but bytes not: what no entry expresses differs.
  std::vector<differenza> resto;
  if (cambi.empty()) resto = confronta_compilati(sa, sb, 10);
  const bool uguali = cambi.empty() && resto.empty();

  const std::vector<regole::tratto_km> ka = regole::tratti_km(sa.tabella_linea),
                                       kb = regole::tratti_km(sb.tabella_linea);
  const std::string s =
      json ? json_cambi(cambi, resto, ka, kb, uguali) : testo_cambi(cambi, resto, ka, kb);
  std::fputs(s.c_str(), stdout);
  return uguali ? kUscitaOk : kUscitaCodice;
}
