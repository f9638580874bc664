#include "tool/server/lsp/json_lsp.h"

#include <algorithm>
#include <string_view>

namespace lsp {

using json = nlohmann::json;

namespace {

int cifra_esadecimale(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The value of a "\uXXXX" escape at byte i; false for anything else.
bool escape_u(std::string_view t, size_t i, unsigned& v) {
  if (i + 6 > t.size() || t[i] != '\\' || t[i + 1] != 'u') return false;
  v = 0;
  for (size_t k = i + 2; k < i + 6; ++k) {
    const int c = cifra_esadecimale(t[k]);
    if (c < 0) return false;
    v = v * 16 + static_cast<unsigned>(c);
  }
  return true;
}

// Every surrogate escape that is not half of a pair becomes "\uFFFD" (the
// same six bytes long). Only escapes inside strings are looked at.
void ripara_surrogati(std::string& t) {
  bool in_testo = false;
  for (size_t i = 0; i < t.size(); ++i) {
    if (t[i] == '"') in_testo = !in_testo;
    if (!in_testo || t[i] != '\\') continue;
    unsigned v = 0, w = 0;
    if (!escape_u(t, i, v)) {
      ++i;  // the escaped byte, a quote maybe
      continue;
    }
    if (v >= 0xD800 && v <= 0xDBFF && escape_u(t, i + 6, w) && w >= 0xDC00 && w <= 0xDFFF) {
      i += 11;
      continue;
    }
    if (v >= 0xD800 && v <= 0xDFFF) t.replace(i, 6, "\\uFFFD");
    i += 5;
  }
}

// The library's own tree builder, with a depth count in front: a container
// that would open past the bound is given to it as null, and what it holds
// is only counted until it closes.
class lettore {
 public:
  explicit lettore(json& m) : dom_(m, false) {}
  bool troncato = false;

  bool null() { return salta_ > 0 || dom_.null(); }
  bool boolean(bool v) { return salta_ > 0 || dom_.boolean(v); }
  bool number_integer(json::number_integer_t v) { return salta_ > 0 || dom_.number_integer(v); }
  bool number_unsigned(json::number_unsigned_t v) { return salta_ > 0 || dom_.number_unsigned(v); }
  bool number_float(json::number_float_t v, const std::string& s) {
    return salta_ > 0 || dom_.number_float(v, s);
  }
  bool string(std::string& v) { return salta_ > 0 || dom_.string(v); }
  bool binary(json::binary_t& v) { return salta_ > 0 || dom_.binary(v); }
  bool key(std::string& v) { return salta_ > 0 || dom_.key(v); }
  bool start_object(size_t n) { return apri() || dom_.start_object(n); }
  bool start_array(size_t n) { return apri() || dom_.start_array(n); }
  bool end_object() { return chiudi() || dom_.end_object(); }
  bool end_array() { return chiudi() || dom_.end_array(); }
  bool parse_error(size_t pos, const std::string& t, const nlohmann::detail::exception& e) {
    return dom_.parse_error(pos, t, e);
  }

 private:
  // True when the event is only counted.
  bool apri() {
    if (salta_ > 0 || profondita_ == kProfonditaMassima) {
      if (salta_++ == 0) {
        troncato = true;
        dom_.null();
      }
      return true;
    }
    ++profondita_;
    return false;
  }
  bool chiudi() {
    if (salta_ > 0) {
      --salta_;
      return true;
    }
    --profondita_;
    return false;
  }

  nlohmann::detail::json_sax_dom_parser<json> dom_;
  int profondita_ = 0;
  size_t salta_ = 0;
};

}  // namespace

riuscita leggi_json(std::string& corpo, json& m) {
  ripara_surrogati(corpo);
  m = json();
  lettore l(m);
  if (!json::sax_parse(corpo, &l)) {
    m = json();
    return guasto_di(genere_guasto::illeggibile, "messaggio che non è JSON valido");
  }
  if (l.troncato)
    return guasto_di(
        genere_guasto::irregolare,
        "messaggio annidato oltre " + std::to_string(kProfonditaMassima) + " livelli: scartato");
  return fatto{};
}

std::string scrivi_json(const json& j) {
  return j.dump(-1, ' ', false, json::error_handler_t::replace);
}

guasto parametro_errato(const std::string& perche) {
  return guasto_di(genere_guasto::uso, "parametri non validi: " + perche);
}

esito<const json*> campo(const json& o, const char* nome) {
  const auto i = o.is_object() ? o.find(nome) : o.end();
  if (!o.is_object() || i == o.end())
    return parametro_errato(std::string("manca il campo «") + nome + "»");
  return &*i;
}

bool ha_campo(const json& o, const char* nome) {
  return o.is_object() && o.contains(nome);
}

esito<std::string> testo_campo(const json& o, const char* nome) {
  const esito<const json*> v = campo(o, nome);
  if (!v) return v.errore();
  if (!(*v)->is_string())
    return parametro_errato(std::string("«") + nome + "» deve essere un testo");
  return (*v)->get<std::string>();
}

esito<long long> intero_campo(const json& o, const char* nome) {
  const esito<const json*> v = campo(o, nome);
  if (!v) return v.errore();
  if (!(*v)->is_number())
    return parametro_errato(std::string("«") + nome + "» deve essere un numero");
  return (*v)->get<long long>();
}

esito<std::string> uri_documento(const json& parametri) {
  const esito<const json*> d = campo(parametri, "textDocument");
  if (!d) return d.errore();
  return testo_campo(**d, "uri");
}

esito<int64_t> posizione_campo(const json& o, const char* nome) {
  const esito<const json*> v = campo(o, nome);
  if (!v) return v.errore();
  if ((*v)->is_number_unsigned())
    return static_cast<int64_t>(std::min<uint64_t>((*v)->get<uint64_t>(), kUintegerMassimo));
  if ((*v)->is_number_integer()) return int64_t{0};  // below the range: its start
  return parametro_errato(std::string("«") + nome + "» deve essere un numero intero");
}

json posizione_json(int64_t riga, int64_t carattere) {
  return {{"line", std::clamp<int64_t>(riga, 0, kUintegerMassimo)},
          {"character", std::clamp<int64_t>(carattere, 0, kUintegerMassimo)}};
}

}  // namespace lsp
