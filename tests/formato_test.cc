// The format's field and key tables, through what they drive: the compiled
// files' encoders and decoders, and the source readers.
#include "model/formato.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "output/immagini.h"
#include "tool/compilati/compilati.h"
#include "tool/generatori/genera.h"

namespace {

using formato::campo;

// splitmix64, so that a failure names a seed that gives it again.
struct caso {
  uint64_t s;
  uint64_t operator()() {
    uint64_t z = (s += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
  }
};

// Every number field from its whole range; one record in eight has each at
// one end of it, where a wrong width or sign shows first.
template <typename R, size_t N>
R a_caso(const std::array<campo<R>, N>& campi, caso& c) {
  R r{};
  const uint64_t estremi = c() % 8;
  for (const campo<R>& f : campi) {
    if (f.testo()) continue;
    const int bit = static_cast<int>(8 * f.larghezza());
    int64_t v = static_cast<int64_t>(c());
    if (estremi == 0) v = f.con_segno() ? -(int64_t{1} << (bit - 1)) : 0;
    if (estremi == 1) v = f.con_segno() ? (int64_t{1} << (bit - 1)) - 1 : (int64_t{1} << bit) - 1;
    f.metti(r, v);
  }
  return r;
}

// Names of any bytes, now and then longer than a short string holds.
std::string nome_a_caso(caso& c) {
  std::string t(c() % 4 == 0 ? c() % 600 : c() % 20, '\0');
  for (char& b : t) b = static_cast<char>(c());
  return t;
}

template <typename R, size_t N>
void uguali(const std::array<campo<R>, N>& campi, const R& a, const R& b, const std::string& dove) {
  for (const campo<R>& f : campi) {
    if (!f.testo()) {
      EXPECT_EQ(f.valore(a), f.valore(b)) << dove << " " << f.nome;
    }
  }
}

}  // namespace

TEST(Formato, EveryTableFieldComesBackFromTheFile) {
  for (uint64_t seme = 1; seme <= 40; ++seme) {
    caso c{seme};
    tabella t;
    for (auto& v : t) {
      v = a_caso(formato::kCampiVoce, c);
      v.nome = nome_a_caso(c);
    }
    const std::string b = immagine_tabella(t);
    tabella letta;
    ASSERT_NO_THROW(decodifica_tabella(b, letta, ""));
    for (size_t e = 0; e < t.size(); ++e) {
      const std::string dove = "seed " + std::to_string(seme) + " entry " + std::to_string(e);
      uguali(formato::kCampiVoce, t[e], letta[e], dove);
      EXPECT_EQ(t[e].nome, letta[e].nome) << dove;
    }
  }
}

// The track is written by hand for speed: the same bytes as its field table
// gives, and back field by field.
TEST(Formato, EveryCellFieldComesBackAndTheHandWrittenEncoderAgrees) {
  caso c{7};
  std::vector<cella_percorso> celle(5000);
  for (auto& x : celle) x = a_caso(formato::kCampiCella, c);
  const std::string b = immagine_percorso(celle);
  std::string dal_campo(celle.size() * formato::kCella, '\0');
  char* p = dal_campo.data();
  for (const auto& x : celle) p = formato::codifica_record(formato::kCampiCella, x, p);
  ASSERT_EQ(p, dal_campo.data() + dal_campo.size());
  ASSERT_TRUE(b == dal_campo) << "the hand-written track encoder and the field table disagree";
  std::vector<cella_percorso> lette;
  ASSERT_NO_THROW(decodifica_percorso(b, lette, ""));
  ASSERT_EQ(lette.size(), celle.size());
  for (size_t i = 0; i < celle.size(); ++i)
    uguali(formato::kCampiCella, celle[i], lette[i], "cell " + std::to_string(i));
}

// What decompile and generate write for a key is read back as that key
// alone: no key before it in the reader's order, nor any after it, takes
// that spelling too.
TEST(Formato, EveryKeyAsWrittenIsReadAsItself) {
  const std::vector<const std::vector<formato::chiave_sorgente>*> elenchi = {
      &formato::chiavi_testata(), &formato::chiavi_corpo(),
      &formato::chiavi(formato::sorgente::treno)};
  for (const auto* elenco : elenchi)
    for (const auto& k : *elenco) {
      const formato::chiave_sorgente* trovata = formato::chiave(k.chiave);
      ASSERT_NE(trovata, nullptr) << k.chiave;
      EXPECT_STREQ(trovata->genere, k.genere) << k.chiave;
      for (const auto& altra : *elenco)
        EXPECT_EQ(formato::riconosce(altra, k.chiave), &altra == &k)
            << "\"" << k.chiave << "\" read by the key \"" << altra.chiave << "\"";
    }
}

// Every key of both sources reaches the readers in the wild round trips:
// the wild generator writes each of them in some spelling.
TEST(Formato, TheWildSourcesHoldEveryKey) {
  std::set<const formato::chiave_sorgente*> viste;
  auto guarda = [&](const std::string& dati, const std::vector<formato::chiave_sorgente>& v) {
    size_t i = 0;
    while (i < dati.size()) {
      size_t f = dati.find('\n', i);
      if (f == std::string::npos) f = dati.size();
      const std::string riga = dati.substr(i, f - i);
      for (const auto& k : v)
        if (formato::riconosce(k, riga)) viste.insert(&k);
      i = f + 1;
    }
  };
  for (uint64_t seme = 1; seme <= 60; ++seme) {
    const scenario_generato g = genera_selvaggio(seme);
    guarda(g.linea, formato::chiavi(formato::sorgente::linea));
    guarda(g.treno, formato::chiavi(formato::sorgente::treno));
  }
  for (formato::sorgente s : {formato::sorgente::linea, formato::sorgente::treno})
    for (const auto& k : formato::chiavi(s))
      EXPECT_TRUE(viste.count(&k)) << "no wild source writes \"" << k.chiave << "\"";
}
