// scenario plot: a well-formed, self-contained SVG with one name per station.
#include "tool/disegno/plot.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <string_view>
#include <vector>

#include "aiuti.h"
#include "model/records.h"
#include "tool/compilati/compilati.h"
#include "tool/disegno/pagina.h"

namespace fs = std::filesystem;

namespace {

bool contiene(const std::string& testo, const std::string& parte) {
  return testo.find(parte) != std::string::npos;
}

size_t conta(const std::string& testo, const std::string& parte) {
  size_t n = 0;
  for (size_t p = testo.find(parte); p != std::string::npos; p = testo.find(parte, p + 1)) ++n;
  return n;
}

// An '&' must open one of the five named entities or a character reference.
bool entita_valida(std::string_view s, size_t p) {
  for (std::string_view e : {"&amp;", "&lt;", "&gt;", "&quot;", "&apos;"})
    if (s.substr(p, e.size()) == e) return true;
  if (s.substr(p, 2) != "&#") return false;
  size_t f = s.find(';', p);
  return f != std::string_view::npos && f > p + 2;
}

bool utf8_valido(std::string_view s) {
  for (size_t i = 0; i < s.size();) {
    auto c = static_cast<unsigned char>(s[i]);
    size_t n = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
    if (n == 0 || i + n > s.size()) return false;
    for (size_t k = 1; k < n; ++k)
      if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
    i += n;
  }
  return true;
}

// A careful structural check: one <svg> root, balanced tags, quoted
// attributes, every '&' an entity, no raw '<' or '>' in text or values, no
// control characters, valid UTF-8, nothing fetched from outside.
std::string controlla_xml(const std::string& s) {
  if (!utf8_valido(s)) return "UTF-8 non valido";
  if (s.rfind("<?xml ", 0) != 0) return "manca la dichiarazione";
  size_t p = s.find("?>");
  std::vector<std::string> pila;
  int radici = 0;
  for (p += 2; p < s.size();) {
    auto c = static_cast<unsigned char>(s[p]);
    if (c < 0x20 && c != '\n' && c != '\t' && c != '\r') return "carattere di controllo";
    if (c == '&') {
      if (!entita_valida(s, p)) return "& non escapato a " + std::to_string(p);
      ++p;
    } else if (c == '>') {
      return "> nel testo a " + std::to_string(p);
    } else if (c != '<') {
      if (pila.empty() && c != '\n' && c != ' ') return "testo fuori dalla radice";
      ++p;
    } else if (s.compare(p, 2, "</") == 0) {
      size_t f = s.find('>', p);
      if (f == std::string::npos) return "tag non chiuso";
      std::string nome = s.substr(p + 2, f - p - 2);
      if (pila.empty() || pila.back() != nome) return "chiusura </" + nome + "> sbilanciata";
      pila.pop_back();
      p = f + 1;
    } else {
      size_t q = p + 1;
      while (q < s.size() && (std::isalnum(static_cast<unsigned char>(s[q])) || s[q] == '-')) ++q;
      std::string nome = s.substr(p + 1, q - p - 1);
      if (nome.empty()) return "nome di tag vuoto a " + std::to_string(p);
      if (pila.empty() && ++radici > 1) return "più di una radice";
      if (pila.empty() && nome != "svg") return "la radice non è <svg>";
      // Attributes: name="value", values without '<', '>' or a raw '"'.
      for (;;) {
        while (q < s.size() && (s[q] == ' ' || s[q] == '\n')) ++q;
        if (q >= s.size()) return "tag <" + nome + "> non chiuso";
        if (s[q] == '>' || s.compare(q, 2, "/>") == 0) break;
        size_t uguale = s.find('=', q);
        if (uguale == std::string::npos || s[uguale + 1] != '"')
          return "attributo senza virgolette";
        size_t fine = s.find('"', uguale + 2);
        if (fine == std::string::npos) return "valore non chiuso";
        std::string_view v(s.data() + uguale + 2, fine - uguale - 2);
        if (v.find_first_of("<>") != std::string_view::npos) return "< o > in un attributo";
        for (size_t a = v.find('&'); a != std::string_view::npos; a = v.find('&', a + 1))
          if (!entita_valida(v, a)) return "& non escapato in un attributo";
        if (std::string(s, q, uguale - q) == "href") return "riferimento esterno";
        q = fine + 1;
      }
      if (s[q] == '>') {
        pila.push_back(nome);
        p = q + 1;
      } else {
        p = q + 2;
      }
    }
  }
  if (!pila.empty()) return "<" + pila.back() + "> non chiuso";
  if (radici != 1) return "nessuna radice";
  return "";
}

// xmllint's verdict where it is installed; true where it is not.
bool xmllint_accetta(const std::string& file, bool& provato) {
  provato = esegui("command -v xmllint >/dev/null 2>&1") == 0;
  return !provato || esegui("xmllint --noout " + file + " >/dev/null 2>&1") == 0;
}

const char* const kStazioni[] = {
    "FERZIA PORTA SOLVENTRA", "BIVIO ROVENELLO", "BIVIO SCADO", "FERZIA VELSANTE",
    "GASPIELLO-FONTIA",       "VESSIRE",         "GRUZO",       "CORVELLA",
    "PELSANO D&apos;OSTA",    "Bivio Tascolo",   "CALVORANO"};

}  // namespace

TEST(Plot, BuiltInLineFromSourcesAndFromCompiledFiles) {
  cartella_temporanea t;
  ASSERT_EQ(esegui_scenario("sources " + (t / "src")), 0);
  std::string u;
  ASSERT_EQ(
      esegui_scenario("plot " + (t / "src") + " FerziaPS-Calvorano 24617 -o " + (t / "a.svg"), &u),
      0)
      << u;
  const std::string svg = leggi_tutto(t / "a.svg");
  EXPECT_EQ(controlla_xml(svg), "");
  bool provato;
  EXPECT_TRUE(xmllint_accetta(t / "a.svg", provato));
  if (!provato) std::printf("xmllint missing: structural check only\n");

  EXPECT_EQ(conta(svg, "<text class=\"stazione\""), 11u);
  for (auto n : kStazioni) EXPECT_EQ(conta(svg, std::string("</tspan> ") + n + "</text>"), 1u) << n;
  EXPECT_EQ(conta(svg, "class=\"numero-stazione\""), 11u);
  EXPECT_EQ(conta(svg, "class=\"binario\""), 1u);
  EXPECT_EQ(conta(svg, "class=\"velocita\""), 1u);
  EXPECT_EQ(conta(svg, "class=\"pendenza\""), 1u);
  EXPECT_EQ(conta(svg, "class=\"rallentamento\""), 0u);  // none on the built-in line
  // 21 signals on the track.
  size_t g = svg.find("<g class=\"segnali\"");
  ASSERT_NE(g, std::string::npos);
  EXPECT_EQ(conta(svg.substr(g, svg.find("</g>", g) - g), "<circle"), 21u);
  // 8 named signs, each with its text; the length with a decimal comma.
  g = svg.find("<g class=\"cartelli\"");
  ASSERT_NE(g, std::string::npos);
  EXPECT_EQ(conta(svg.substr(g, svg.find("</g>", g) - g), "</title></path>"), 8u);
  EXPECT_TRUE(contiene(svg, "  37,0 km</text>"));
  // The SVG and the preview page name the same things alike.
  for (const char* nome :
       {">stazione<", ">segnale<", ">indicatore di velocità<", ">cartello indicatore<",
        ">abbattimento<", ">rallentamento<", ">salita<", ">discesa<", ">velocità massima<",
        "posizione sulla linea (km)<", "Pendenza (‰)"}) {
    EXPECT_TRUE(contiene(svg, nome)) << nome;
    EXPECT_TRUE(contiene(std::string(pagina_anteprima()), nome)) << nome;
  }

  // The compile happened elsewhere: the source folder holds the five sources only.
  size_t n = 0;
  for ([[maybe_unused]] const auto& e : fs::directory_iterator(t / "src")) ++n;
  EXPECT_EQ(n, 5u);

  // The same drawing from the program's own compiled files.
  fs::copy_file(programma(COMPATTATORE_BIN), t / kCompattatore);
  ASSERT_EQ(esegui(t / kCompattatore + " >/dev/null 2>&1"), 0);
  ASSERT_EQ(esegui_scenario("plot --from-compiled " + t.percorso + " FerziaPS-Calvorano 24617 -o " +
                            (t / "b.svg")),
            0);
  EXPECT_EQ(leggi_tutto(t / "b.svg"), svg);
}

// Names with markup characters, control bytes and 1252 letters; a crowded
// square plan; a slowdown with and one without its end.
TEST(Plot, EscapesNamesAndStaysWellFormedOnOddRecords) {
  tabella t;
  const char* nomi[] = {"A & B", "<C>", "\"D\" 'E'", "F\x01G", "Citt\xe0", "", "H]]>I"};
  for (int k = 0; k < 7; ++k) {
    t[static_cast<size_t>(k + 1)].nome = nomi[k];
    t[static_cast<size_t>(k + 1)].posizione = 100 + 150 * k;
    t[static_cast<size_t>(k + 1)].tipo = 12;
  }
  t[80].nome = "cartello";
  t[84].fine = 1200;
  t[85].nome = "L<&>";
  t[86].nome = "9\"9";
  std::vector<cella_percorso> c(40);
  for (auto& x : c) x.velocita_limite = 20, x.pendenza = 90;
  c[5].tipo = tipo_cella::inizio_rallentamento;
  c[5].valore_1 = 30;
  c[12].tipo = tipo_cella::fine_rallentamento;
  c[20].tipo = tipo_cella::inizio_rallentamento;
  c[30].tipo = tipo_cella::inizio_rallentamento;  // past the line's end: not drawn
  c[8].tipo = tipo_cella::segnale;
  c[9].tipo = tipo_cella::indicatori_v_max;
  c[10].tipo = tipo_cella::cartello;
  c[10].valore_1 = 80;
  c[11].tipo = tipo_cella::abbattimento;
  planimetria_linea p;
  p.crea(1301);
  for (size_t m = 0; m < p.punti(); ++m) {  // a circle: the track comes back to its start
    double a = static_cast<double>(m) / 1200 * 6.2;
    p.genere[m] = genere_punto::doppio;
    p.x[m] = 190 * std::cos(a);
    p.y[m] = 190 * std::sin(a);
  }
  p.genere[1300] = genere_punto::vuoto;

  const std::string svg = disegna_linea(t, c, p);
  EXPECT_EQ(controlla_xml(svg), "");
  cartella_temporanea d;
  scrivi_tutto(d / "s.svg", svg);
  bool provato;
  EXPECT_TRUE(xmllint_accetta(d / "s.svg", provato));
  EXPECT_EQ(conta(svg, "<text class=\"stazione\""), 7u);
  for (const char* n : {"A &amp; B", "&lt;C&gt;", "&quot;D&quot; &apos;E&apos;", "F?G",
                        "Citt\xc3\xa0", "stazione 6", "H]]&gt;I"})
    EXPECT_TRUE(contiene(svg, std::string("</tspan> ") + n + "</text>")) << n;
  // A sign's text is its mark's tooltip, not a station.
  EXPECT_FALSE(contiene(svg, "</tspan> cartello"));
  EXPECT_EQ(conta(svg, "<title>cartello</title></path>"), 1u);
  EXPECT_EQ(conta(svg, "h9l-4.5 7.5z\"/>"), 1u + 1u);  // the legend's and the point's
  EXPECT_TRUE(contiene(svg, "<title>L&lt;&amp;&gt; - treno 9&quot;9</title>"));
  EXPECT_EQ(conta(svg, "class=\"rallentamento\""), 2u);
  EXPECT_EQ(conta(svg, "class=\"velocita-rallentamento\""), 2u);
  EXPECT_TRUE(contiene(svg, "fill=\"#a05f00\">30</text>"));

  // Nothing at all still gives a document.
  const std::string vuoto = disegna_linea(tabella{}, {}, planimetria_linea{});
  EXPECT_EQ(controlla_xml(vuoto), "");
  EXPECT_TRUE(contiene(vuoto, "nessuna planimetria"));
}

TEST(Plot, BadArgumentsFailedCompileAndBadFiles) {
  cartella_temporanea t;
  std::string u;
  const std::string out = t / "x.svg";
  EXPECT_EQ(esegui_scenario("plot", &u), 64);
  EXPECT_TRUE(contiene(u, "uso: scenario plot")) << u;
  EXPECT_EQ(esegui_scenario("plot a b c", &u), 64);  // no -o
  EXPECT_EQ(esegui_scenario("plot a b -o " + out, &u), 64);
  EXPECT_EQ(esegui_scenario("plot a b c -o", &u), 64);
  EXPECT_EQ(esegui_scenario("plot a b c --wat -o " + out, &u), 64);
  EXPECT_EQ(esegui_scenario("plot a ../b c -o " + out, &u), 64);

  // Sources missing: the compile leaves a code and nothing is drawn.
  fs::create_directory(t / "vuota");
  EXPECT_EQ(esegui_scenario("plot " + (t / "vuota") + " R 1 -o " + out, &u), 1);
  EXPECT_TRUE(contiene(u, "errore 101")) << u;
  EXPECT_FALSE(esiste_file(out));

  // Compiled files missing or cut short.
  EXPECT_EQ(esegui_scenario("plot --from-compiled " + (t / "vuota") + " R 1 -o " + out, &u), 2);
  EXPECT_TRUE(contiene(u, "R_1.sim")) << u;
  fs::copy_file(programma(COMPATTATORE_BIN), t / kCompattatore);
  ASSERT_EQ(esegui(t / kCompattatore + " >/dev/null 2>&1"), 0);
  std::string traccia = leggi_tutto(t / "FerziaPS-Calvorano_24617.dat");
  scrivi_tutto(t / "FerziaPS-Calvorano_24617.dat", traccia.substr(0, 1000));
  EXPECT_EQ(esegui_scenario(
                "plot --from-compiled " + t.percorso + " FerziaPS-Calvorano 24617 -o " + out, &u),
            2);
  EXPECT_TRUE(contiene(u, "multiplo di 15")) << u;
  EXPECT_FALSE(esiste_file(out));

  // An output that cannot be written.
  scrivi_tutto(t / "FerziaPS-Calvorano_24617.dat", traccia);
  EXPECT_EQ(esegui_scenario("plot --from-compiled " + t.percorso + " FerziaPS-Calvorano 24617 -o " +
                                (t / "manca/x.svg"),
                            &u),
            2);
}
