#include "tool/bozza/orari_gtfs.h"

#include <zlib.h>

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <functional>
#include <map>
#include <memory>
#include <new>
#include <string_view>
#include <unordered_set>

#include "model/regole.h"
#include "platform/file.h"
#include "platform/testo.h"
#include "tool/bozza/percorso.h"
#include "tool/bozza/testi.h"

namespace bozza {

namespace {

// Bounds against a hostile feed: a file kept whole in memory, one record, the
// fields of one, a trip's calls, the calls kept while trips are looked for.
constexpr uint64_t kGtfsFileTenuto = uint64_t{1} << 30;
constexpr size_t kGtfsRecord = size_t{1} << 16;
constexpr size_t kGtfsCampi = 256;
constexpr size_t kGtfsPassaggiCorsa = size_t{1} << 16;
constexpr size_t kGtfsPassaggiCercati = size_t{1} << 24;
constexpr uint64_t kGtfsIndiceZip = uint64_t{1} << 24;
constexpr size_t kGtfsPezzo = size_t{1} << 18;

guasto errato(const std::string& file, int64_t riga, std::string testo) {
  return guasto_di(genere_guasto::ingresso, std::move(testo), {file, riga, 0, ""});
}

// A record of a CSV file (RFC 4180: quoted fields with "" inside and line
// breaks, CR LF or LF, a UTF-8 byte order mark) is handed on as its fields;
// `riga` is the line it starts on.
using su_record =
    std::function<std::string(const std::vector<std::string>& campi, size_t n, int64_t riga)>;

class lettore_csv {
 public:
  lettore_csv(std::string file, su_record r) : file_(std::move(file)), r_(std::move(r)) {}
  bool dai(const char* p, size_t n);
  bool fine();
  guasto errore;

 private:
  enum class stato : uint8_t { campo, semplice, virgolette, chiusa };
  bool fallisci(std::string testo) {
    errore = errato(file_, inizio_, std::move(testo));
    return false;
  }
  bool aggiungi(const char* p, size_t n);
  size_t semplici(const char* p, size_t n);
  bool nuovo_campo();
  bool chiudi_record();
  std::string file_;
  su_record r_;
  std::vector<std::string> campi_ = std::vector<std::string>(1);
  size_t n_ = 1, byte_ = 0, bom_ = 0;
  int64_t riga_ = 1, inizio_ = 1;
  stato s_ = stato::campo;
};

bool lettore_csv::aggiungi(const char* p, size_t n) {
  if ((byte_ += n) > kGtfsRecord)
    return fallisci("record più lungo di " + std::to_string(kGtfsRecord) + " byte");
  campi_[n_ - 1].append(p, n);
  return true;
}

// How many bytes from p on are a field's plain text, taken at once: up to a
// separator or the end of a line outside quotes, up to a quote inside.
size_t lettore_csv::semplici(const char* p, size_t n) {
  size_t j = 0;
  if (s_ == stato::semplice)
    while (j < n && p[j] != ',' && p[j] != '\n' && p[j] != '\r') ++j;
  else if (s_ == stato::virgolette)
    for (; j < n && p[j] != '"'; ++j) riga_ += p[j] == '\n';
  return j;
}

bool lettore_csv::nuovo_campo() {
  if (n_ == kGtfsCampi) return fallisci("più di " + std::to_string(kGtfsCampi) + " campi");
  if (n_ == campi_.size()) campi_.emplace_back();
  campi_[n_++].clear();
  s_ = stato::campo;
  return true;
}

bool lettore_csv::chiudi_record() {
  if (n_ > 1 || !campi_[0].empty())  // an empty line is no record
    if (std::string e = r_(campi_, n_, inizio_); !e.empty()) return fallisci(std::move(e));
  campi_[0].clear();
  n_ = 1, byte_ = 0;
  inizio_ = riga_;
  s_ = stato::campo;
  return true;
}

bool lettore_csv::dai(const char* p, size_t n) {
  for (size_t i = 0; i < n; ++i) {
    const char c = p[i];
    if (bom_ < 3) {  // the byte order mark, only at the very start
      if (c == "\xEF\xBB\xBF"[bom_]) {
        ++bom_;
        continue;
      }
      bom_ = 3;
    }
    if (const size_t k = semplici(p + i, n - i); k > 0) {
      if (!aggiungi(p + i, k)) return false;
      i += k - 1;
      continue;
    }
    if (c == '\n') ++riga_;
    bool ok = true;
    switch (s_) {
      case stato::campo:
      case stato::semplice:
      case stato::chiusa:
        if (c == ',')
          ok = nuovo_campo();
        else if (c == '\n')
          ok = chiudi_record();
        else if (c == '\r')
          continue;
        else if (s_ == stato::chiusa && c == '"')
          s_ = stato::virgolette, ok = aggiungi(&c, 1);
        else if (s_ == stato::chiusa)
          ok = fallisci("testo dopo le virgolette che chiudono un campo");
        else if (s_ == stato::campo && c == '"')
          s_ = stato::virgolette;
        else
          s_ = stato::semplice, ok = aggiungi(&c, 1);
        break;
      case stato::virgolette:
        s_ = stato::chiusa;  // the only byte semplici() leaves here is a quote
        break;
    }
    if (!ok) return false;
  }
  return true;
}

bool lettore_csv::fine() {
  if (s_ == stato::virgolette) return fallisci("virgolette aperte fino alla fine del file");
  return chiudi_record();
}

// A table by its header: the values of the columns asked for, in their
// order ("" for a column the file lacks and a short row); a required column
// missing is refused on the header's line.
struct colonna {
  const char* nome;
  bool richiesta = true;
};
using su_riga = std::function<std::string(const std::vector<std::string_view>& v, int64_t riga)>;

su_record tabella(std::vector<colonna> colonne, su_riga su) {
  auto dove = std::make_shared<std::vector<int>>();
  auto v = std::make_shared<std::vector<std::string_view>>(colonne.size());
  return [=](const std::vector<std::string>& campi, size_t n, int64_t riga) -> std::string {
    if (dove->empty()) {
      for (const colonna& c : colonne) {
        int i = -1;
        for (size_t k = 0; k < n && i < 0; ++k) {
          std::string_view x = campi[k];
          while (!x.empty() && x.back() == ' ') x.remove_suffix(1);
          while (!x.empty() && x.front() == ' ') x.remove_prefix(1);
          if (x == c.nome) i = static_cast<int>(k);
        }
        if (i < 0 && c.richiesta) return std::string("manca la colonna ") + c.nome;
        dove->push_back(i);
      }
      return "";
    }
    for (size_t k = 0; k < colonne.size(); ++k) {
      const int i = (*dove)[k];
      (*v)[k] = i >= 0 && static_cast<size_t>(i) < n ? std::string_view(campi[i]) : "";
    }
    return su(*v, riga);
  };
}

uint32_t le(const char* b, int byte) {
  uint32_t v = 0;
  for (int k = byte - 1; k >= 0; --k) v = (v << 8) | static_cast<unsigned char>(b[k]);
  return v;
}

// Reads exactly n bytes at `da`, or false.
bool leggi_esatti(file::lettore& l, uint64_t da, char* dove, size_t n) {
  return da <= l.dimensione() && n <= l.dimensione() - da && l.leggi(da, dove, n) == n;
}

// The archive's entries, from its central directory.
esito<std::vector<voce_feed>> indice_zip(file::lettore& l, const std::string& nome) {
  const guasto non_zip = errato(nome, 0, "non è un archivio zip leggibile");
  const uint64_t n = l.dimensione();
  if (n < 22) return non_zip;
  const uint64_t coda = std::min<uint64_t>(n, 22 + 0xFFFF);
  std::string b(coda, '\0');
  if (!leggi_esatti(l, n - coda, b.data(), coda)) return non_zip;
  size_t e = b.size() - 22 + 1;
  while (e-- > 0 && le(&b[e], 4) != 0x06054b50) {
  }
  if (e == static_cast<size_t>(-1)) return non_zip;
  const uint64_t voci = le(&b[e + 10], 2), misura = le(&b[e + 12], 4), da = le(&b[e + 16], 4);
  if (voci == 0xFFFF || da == 0xFFFFFFFF)
    return errato(nome, 0, "archivio zip64: si leggono archivi fino a 4 GB");
  if (misura > kGtfsIndiceZip || da + misura > n) return non_zip;
  std::string d(misura, '\0');
  if (!leggi_esatti(l, da, d.data(), misura)) return non_zip;
  std::vector<voce_feed> r;
  for (uint64_t p = 0, k = 0; k < voci; ++k) {
    if (p + 46 > d.size() || le(&d[p], 4) != 0x02014b50) return non_zip;
    const uint64_t lung = le(&d[p + 28], 2), extra = le(&d[p + 30], 2), nota = le(&d[p + 32], 2);
    if (p + 46 + lung > d.size()) return non_zip;
    voce_feed v;
    v.nome = d.substr(p + 46, lung);
    v.metodo = static_cast<uint16_t>(le(&d[p + 10], 2));
    v.crc = le(&d[p + 16], 4);
    v.compressa = le(&d[p + 20], 4), v.piena = le(&d[p + 24], 4), v.inizio = le(&d[p + 42], 4);
    if (v.compressa == 0xFFFFFFFF || v.piena == 0xFFFFFFFF)
      return errato(nome, 0, "archivio zip64: si leggono file fino a 4 GB");
    r.push_back(std::move(v));
    p += 46 + lung + extra + nota;
  }
  return r;
}

// The entry of that name, in the archive's top folder or one below it.
const voce_feed* voce_di(const std::vector<voce_feed>& voci, const std::string& nome) {
  const voce_feed* r = nullptr;
  for (const voce_feed& v : voci) {
    const size_t barra = v.nome.find('/');
    if (v.nome == nome) return &v;
    if (barra != std::string::npos && v.nome.substr(barra + 1) == nome) r = &v;
  }
  return r;
}

struct flusso_zip {
  z_stream z{};
  bool aperto = false;
  ~flusso_zip() {
    if (aperto) inflateEnd(&z);
  }
};

// The entry's bytes, inflated as they are read, handed to `c`; its size and
// CRC checked at the end.
riuscita versa_voce(file::lettore& l, const voce_feed& v, const std::string& archivio,
                    lettore_csv& c) {
  const std::string dove = archivio + " (" + v.nome + ")";
  const guasto rovinato = errato(dove, 0, "l'archivio zip è rovinato");
  char h[30];
  if (!leggi_esatti(l, v.inizio, h, 30) || le(h, 4) != 0x04034b50) return rovinato;
  uint64_t p = v.inizio + 30 + le(h + 26, 2) + le(h + 28, 2);
  if (p > l.dimensione() || v.compressa > l.dimensione() - p) return rovinato;
  if (v.metodo != 0 && v.metodo != 8)
    return errato(dove, 0, "compressione zip non letta (metodo " + std::to_string(v.metodo) + ")");
  if (v.metodo == 0 && v.compressa != v.piena) return rovinato;
  std::vector<char> in(kGtfsPezzo), out(kGtfsPezzo);
  flusso_zip f;
  if (v.metodo == 8 && !(f.aperto = inflateInit2(&f.z, -MAX_WBITS) == Z_OK))
    return guasto_di(genere_guasto::memoria, "memoria esaurita aprendo " + dove);
  uint64_t resto = v.compressa, usciti = 0;
  bool letto = true;
  uLong crc = crc32(0, nullptr, 0);
  for (bool finito = false; !finito;) {
    if (f.z.avail_in == 0 && resto > 0) {
      const size_t n = static_cast<size_t>(std::min<uint64_t>(resto, in.size()));
      if (!leggi_esatti(l, p, in.data(), n)) return rovinato;
      p += n, resto -= n;
      f.z.next_in = reinterpret_cast<Bytef*>(in.data());
      f.z.avail_in = static_cast<uInt>(n);
    }
    size_t dati = 0;
    const char* da = out.data();
    if (v.metodo == 0) {
      da = in.data(), dati = f.z.avail_in, f.z.avail_in = 0;
      finito = resto == 0;
    } else {
      f.z.next_out = reinterpret_cast<Bytef*>(out.data());
      f.z.avail_out = static_cast<uInt>(out.size());
      const int r = inflate(&f.z, Z_NO_FLUSH);
      dati = out.size() - f.z.avail_out;
      finito = r == Z_STREAM_END;
      if (!finito && ((r != Z_OK && r != Z_BUF_ERROR) || (dati == 0 && resto == 0)))
        return rovinato;
    }
    usciti += dati;
    if (usciti > v.piena) return rovinato;
    crc = crc32(crc, reinterpret_cast<const Bytef*>(da), static_cast<uInt>(dati));
    // After a row that cannot be read the entry is inflated to its end all
    // the same: a damaged archive is told as one, not as its garbled rows.
    letto = letto && c.dai(da, dati);
  }
  if (usciti != v.piena || crc != v.crc) return rovinato;
  if (!letto || !c.fine()) return c.errore;
  return fatto{};
}

// A plain file of the folder, in pieces.
riuscita versa_file(const std::string& nome, lettore_csv& c) {
  file::lettore l;
  const file::lettura e = l.apri(nome);
  if (e.esito != file::esito_lettura::letto)
    return guasto_di(genere_guasto::io,
                     nome + ": " + (e.motivo.empty() ? "non si apre" : e.motivo));
  std::vector<char> b(kGtfsPezzo);
  for (uint64_t p = 0; p < l.dimensione();) {
    const size_t n = l.leggi(p, b.data(), b.size());
    if (n == 0) break;
    p += n;
    if (!c.dai(b.data(), n)) return c.errore;
  }
  if (!c.fine()) return c.errore;
  return fatto{};
}

// Where a feed's files are read from.
struct sorgente_feed {
  std::string percorso;
  bool zip = false;
  file::lettore archivio;
  std::vector<voce_feed> voci;
};

std::string nome_in(const sorgente_feed& s, const std::string& file) {
  return s.zip ? s.percorso + " (" + file + ")" : file::percorso(s.percorso, file);
}

// The file's size, or -1 when the feed lacks it.
int64_t misura_di(const sorgente_feed& s, const std::string& file) {
  if (s.zip) {
    const voce_feed* v = voce_di(s.voci, file);
    return v ? static_cast<int64_t>(v->piena) : -1;
  }
  const std::string n = file::percorso(s.percorso, file);
  if (file::che_cosa(n) != file::genere_voce::file) return -1;
  file::lettore l;
  return l.apri(n).esito == file::esito_lettura::letto ? static_cast<int64_t>(l.dimensione()) : -1;
}

// One table of the feed read through, row by row. A file the feed lacks is
// refused when required, else read as empty; one to be kept in memory is
// refused by its size before it is read.
riuscita leggi_tabella(sorgente_feed& s, const std::string& file, bool richiesto,
                       std::vector<colonna> colonne, su_riga su, bool tenuto = true) {
  const int64_t misura = misura_di(s, file);
  if (misura < 0) {
    if (!richiesto) return fatto{};
    return errato(s.percorso, 0, "il feed non ha " + file);
  }
  if (tenuto && static_cast<uint64_t>(misura) > kGtfsFileTenuto)
    return errato(nome_in(s, file), 0,
                  "è di " + std::to_string(misura) + " byte: se ne leggono al più " +
                      std::to_string(kGtfsFileTenuto));
  lettore_csv c(nome_in(s, file), tabella(std::move(colonne), std::move(su)));
  if (s.zip) return versa_voce(s.archivio, *voce_di(s.voci, file), s.percorso, c);
  return versa_file(file::percorso(s.percorso, file), c);
}

std::string copia(std::string_view v) {
  return std::string(v);
}

// A name as the tool shows it: the draft's one rule, blanks run together.
std::string nome_pulito(std::string_view grezzo) {
  return nome_sicuro(grezzo, true);
}

bool numero(std::string_view v, int64_t& x) {
  if (v.empty() || v.size() > 12) return false;
  const auto [p, e] = std::from_chars(v.data(), v.data() + v.size(), x);
  return e == std::errc() && p == v.data() + v.size() && x >= 0;
}

bool decimale(std::string_view v, double min, double max, double& x) {
  while (!v.empty() && v.front() == ' ') v.remove_prefix(1);
  while (!v.empty() && v.back() == ' ') v.remove_suffix(1);
  if (v.empty() || v.size() > 32) return false;
  const auto [p, e] = std::from_chars(v.data(), v.data() + v.size(), x);
  return e == std::errc() && p == v.data() + v.size() && x >= min && x <= max;
}

// "YYYYMMDD", a day that is, as days since 1/1/1970.
bool data(std::string_view v, int32_t& giorno) {
  int64_t x = 0;
  if (v.size() != 8 || !numero(v, x)) return false;
  using namespace std::chrono;
  const year_month_day d{year(static_cast<int>(x / 10000)),
                         month(static_cast<unsigned>(x / 100 % 100)),
                         day(static_cast<unsigned>(x % 100))};
  if (!d.ok()) return false;
  giorno = static_cast<int32_t>(sys_days(d).time_since_epoch().count());
  return true;
}

// "H:MM:SS" or "HH:MM:SS", hours past 24 for the days after; "" is no time (-1).
bool ora(std::string_view v, int64_t& t) {
  while (!v.empty() && v.front() == ' ') v.remove_prefix(1);
  while (!v.empty() && v.back() == ' ') v.remove_suffix(1);
  t = -1;
  if (v.empty()) return true;
  int64_t h = 0, m = 0, s = 0;
  const size_t a = v.find(':');
  if (a == std::string_view::npos || a < 1 || a > 3 || v.size() != a + 6 || v[a + 3] != ':')
    return false;
  if (!numero(v.substr(0, a), h) || !numero(v.substr(a + 1, 2), m) ||
      !numero(v.substr(a + 4, 2), s) || m > 59 || s > 59)
    return false;
  t = regole::secondi_del_giorno(h, m, s);
  return true;
}

std::string non_valido(std::string_view campo, std::string_view v, const char* cosa) {
  return std::string(campo) + " '" + nome_pulito(v) + "' non è " + cosa;
}

}  // namespace

namespace {

struct lettura_feed {
  sorgente_feed s;
  orari_feed f;
  std::unordered_map<std::string, uint32_t> servizi, linee;
  std::vector<std::pair<std::string, int64_t>> madri;  // each stop's parent_station, its line

  uint32_t servizio(std::string_view id) {
    const auto [i, nuovo] = servizi.emplace(std::string(id), f.servizi.size());
    if (nuovo) f.servizi.emplace_back().id = id;
    return i->second;
  }
};

riuscita leggi_fermate(lettura_feed& l) {
  auto su = [&l](const std::vector<std::string_view>& v, int64_t riga) -> std::string {
    fermata_feed x;
    x.id = copia(v[0]), x.nome = nome_pulito(v[1]);
    int64_t tipo = 0;
    if (!v[5].empty() && (!numero(v[5], tipo) || tipo > 4))
      return non_valido("location_type", v[5], "un tipo di fermata (da 0 a 4)");
    x.tipo = static_cast<int>(tipo);
    const bool posto = tipo <= 2 || !v[2].empty() || !v[3].empty();
    if (posto && !decimale(v[2], -90, 90, x.lat))
      return non_valido("stop_lat", v[2], "una latitudine");
    if (posto && !decimale(v[3], -180, 180, x.lon))
      return non_valido("stop_lon", v[3], "una longitudine");
    if (x.id.empty()) return "stop_id vuoto";
    if (!l.f.per_fermata.emplace(x.id, l.f.fermate.size()).second)
      return "stop_id " + nome_pulito(x.id) + " ripetuto";
    l.f.fermate.push_back(std::move(x));
    l.madri.emplace_back(copia(v[4]), riga);
    return "";
  };
  if (riuscita r = leggi_tabella(l.s, "stops.txt", true,
                                 {{"stop_id"},
                                  {"stop_name"},
                                  {"stop_lat", false},
                                  {"stop_lon", false},
                                  {"parent_station", false},
                                  {"location_type", false}},
                                 su);
      !r)
    return r;
  for (size_t i = 0; i < l.madri.size(); ++i) {
    if (l.madri[i].first.empty()) continue;
    const auto m = l.f.per_fermata.find(l.madri[i].first);
    if (m == l.f.per_fermata.end() || m->second == i)
      return errato(nome_in(l.s, "stops.txt"), l.madri[i].second,
                    "parent_station " + nome_pulito(l.madri[i].first) + " non è una fermata");
    l.f.fermate[i].stazione = m->second;
  }
  return fatto{};
}

riuscita leggi_linee(lettura_feed& l) {
  auto su = [&l](const std::vector<std::string_view>& v, int64_t) -> std::string {
    if (!l.linee.emplace(copia(v[0]), l.f.linee.size()).second)
      return "route_id " + nome_pulito(v[0]) + " ripetuto";
    l.f.linee.push_back({copia(v[0]), nome_pulito(v[1]), nome_pulito(v[2])});
    return "";
  };
  return leggi_tabella(l.s, "routes.txt", false,
                       {{"route_id"}, {"route_short_name", false}, {"route_long_name", false}}, su);
}

riuscita leggi_calendario(lettura_feed& l) {
  static const char* const giorni[] = {"monday", "tuesday",  "wednesday", "thursday",
                                       "friday", "saturday", "sunday"};
  auto su = [&l](const std::vector<std::string_view>& v, int64_t) -> std::string {
    servizio_feed& s = l.f.servizi[l.servizio(v[0])];
    if (s.settimana) return "service_id " + nome_pulito(v[0]) + " ripetuto";
    s.settimana = true;
    for (int g = 0; g < 7; ++g) {
      if (v[1 + g] != "0" && v[1 + g] != "1") return non_valido(giorni[g], v[1 + g], "0 o 1");
      if (v[1 + g] == "1") s.giorni |= static_cast<uint8_t>(1 << g);
    }
    if (!data(v[8], s.dal)) return non_valido("start_date", v[8], "una data (AAAAMMGG)");
    if (!data(v[9], s.al)) return non_valido("end_date", v[9], "una data (AAAAMMGG)");
    return "";
  };
  std::vector<colonna> c = {{"service_id"}};
  for (const char* g : giorni) c.push_back({g});
  c.push_back({"start_date"});
  c.push_back({"end_date"});
  if (riuscita r = leggi_tabella(l.s, "calendar.txt", false, c, su); !r) return r;
  auto eccezioni = [&l](const std::vector<std::string_view>& v, int64_t) -> std::string {
    servizio_feed& s = l.f.servizi[l.servizio(v[0])];
    int32_t d = 0;
    if (!data(v[1], d)) return non_valido("date", v[1], "una data (AAAAMMGG)");
    if (v[2] != "1" && v[2] != "2") return non_valido("exception_type", v[2], "1 o 2");
    (v[2] == "1" ? s.aggiunti : s.tolti).push_back(d);
    return "";
  };
  return leggi_tabella(l.s, "calendar_dates.txt", false,
                       {{"service_id"}, {"date"}, {"exception_type"}}, eccezioni);
}

riuscita leggi_corse(lettura_feed& l) {
  const bool con_linee = misura_di(l.s, "routes.txt") >= 0;
  auto su = [&l, con_linee](const std::vector<std::string_view>& v, int64_t) -> std::string {
    corsa_feed c;
    c.id = copia(v[2]);
    if (c.id.empty()) return "trip_id vuoto";
    if (const auto i = l.linee.find(copia(v[0])); i != l.linee.end())
      c.linea = i->second;
    else if (con_linee)
      return "route_id " + nome_pulito(v[0]) + " non è in routes.txt";
    c.servizio = l.servizio(v[1]);
    if (!l.f.per_corsa.emplace(c.id, l.f.corse.size()).second)
      return "trip_id " + nome_pulito(c.id) + " ripetuto";
    l.f.corse.push_back(std::move(c));
    return "";
  };
  return leggi_tabella(l.s, "trips.txt", true, {{"route_id"}, {"service_id"}, {"trip_id"}}, su);
}

// Who published the feed, for the credit: feed_info's publisher, or the
// agencies' names.
riuscita leggi_editore(lettura_feed& l) {
  auto info = [&l](const std::vector<std::string_view>& v, int64_t) -> std::string {
    if (l.f.editore.empty()) l.f.editore = nome_pulito(v[0]), l.f.sito = nome_pulito(v[1]);
    return "";
  };
  if (riuscita r = leggi_tabella(l.s, "feed_info.txt", false,
                                 {{"feed_publisher_name"}, {"feed_publisher_url", false}}, info);
      !r || !l.f.editore.empty())
    return r;
  std::vector<std::string> nomi;
  auto agenzia = [&nomi](const std::vector<std::string_view>& v, int64_t) -> std::string {
    const std::string n = nome_pulito(v[0]);
    if (std::find(nomi.begin(), nomi.end(), n) == nomi.end()) nomi.push_back(n);
    return "";
  };
  if (riuscita r = leggi_tabella(l.s, "agency.txt", false, {{"agency_name"}}, agenzia); !r)
    return r;
  for (size_t i = 0; i < nomi.size() && i < 3; ++i) l.f.editore += (i ? ", " : "") + nomi[i];
  if (nomi.size() > 3) l.f.editore += " e altri " + std::to_string(nomi.size() - 3);
  return fatto{};
}

// Opens the feed: a folder, or an archive whose directory is read.
riuscita apri_feed(sorgente_feed& s, const std::string& percorso) {
  s.percorso = percorso;
  const file::genere_voce g = file::che_cosa(percorso);
  if (g == file::genere_voce::cartella) return fatto{};
  if (g == file::genere_voce::nessuna)
    return guasto_di(genere_guasto::ingresso, "il feed " + percorso + " non esiste");
  const file::lettura e = s.archivio.apri(percorso);
  if (e.esito != file::esito_lettura::letto)
    return guasto_di(genere_guasto::io, percorso + ": " + e.motivo);
  s.zip = true;
  esito<std::vector<voce_feed>> v = indice_zip(s.archivio, percorso);
  if (!v) return v.errore();
  s.voci = std::move(*v);
  return fatto{};
}

// A guasto for what the reading threw: a read the system failed, memory.
template <class F>
auto al_riparo(F&& f) -> decltype(f()) {
  try {
    return f();
  } catch (const file::errore_io& e) {
    return guasto_di(genere_guasto::io, e.what());
  } catch (const std::bad_alloc&) {
    return guasto_di(genere_guasto::memoria, "memoria esaurita leggendo il feed");
  }
}

}  // namespace

esito<orari_feed> leggi_feed(const std::string& percorso) {
  return al_riparo([&]() -> esito<orari_feed> {
    lettura_feed l;
    if (riuscita r = apri_feed(l.s, percorso); !r) return r.errore();
    if (misura_di(l.s, "stop_times.txt") < 0)
      return errato(percorso, 0, "il feed non ha stop_times.txt");
    for (auto passo : {leggi_fermate, leggi_linee, leggi_calendario, leggi_corse, leggi_editore})
      if (riuscita r = passo(l); !r) return r.errore();
    for (servizio_feed& s : l.f.servizi) {
      std::sort(s.aggiunti.begin(), s.aggiunti.end());
      std::sort(s.tolti.begin(), s.tolti.end());
    }
    l.f.percorso = percorso;
    l.f.zip = l.s.zip;
    if (l.s.zip) l.f.orari = *voce_di(l.s.voci, "stop_times.txt");
    return std::move(l.f);
  });
}

namespace {

// Every row of stop_times.txt: the trip's id, the stop's, the call.
using su_orario = std::function<std::string(std::string_view corsa, std::string_view fermata,
                                            const passaggio_feed& p, int64_t riga)>;

riuscita scorri_orari(const orari_feed& f, su_orario su) {
  auto riga = [&su](const std::vector<std::string_view>& v, int64_t n) -> std::string {
    passaggio_feed p;
    if (!ora(v[1], p.arrivo)) return non_valido("arrival_time", v[1], "un'ora (HH:MM:SS)");
    if (!ora(v[2], p.partenza)) return non_valido("departure_time", v[2], "un'ora (HH:MM:SS)");
    if (!numero(v[4], p.sequenza)) return non_valido("stop_sequence", v[4], "un numero");
    if (p.arrivo < 0) p.arrivo = p.partenza;
    if (p.partenza < 0) p.partenza = p.arrivo;
    if (p.partenza < p.arrivo) return "departure_time prima di arrival_time";
    return su(v[0], v[3], p, n);
  };
  sorgente_feed s;
  if (riuscita r = apri_feed(s, f.percorso); !r) return r;
  if (f.zip) s.voci = {f.orari};
  return leggi_tabella(
      s, "stop_times.txt", true,
      {{"trip_id"}, {"arrival_time"}, {"departure_time"}, {"stop_id"}, {"stop_sequence"}}, riga,
      false);
}

// The stop of an id in stop_times, or why not.
std::string fermata_id(const orari_feed& f, std::string_view id, uint32_t& i) {
  const auto x = f.per_fermata.find(std::string(id));
  if (x == f.per_fermata.end()) return "stop_id " + nome_pulito(id) + " non è in stops.txt";
  i = x->second;
  return "";
}

std::string nome_in_feed(const orari_feed& f, const std::string& file) {
  return f.zip ? f.percorso + " (" + f.orari.nome + ")" : file::percorso(f.percorso, file);
}

uint32_t stazione_di(const orari_feed& f, uint32_t i) {
  return f.fermate[i].stazione == UINT32_MAX ? i : f.fermate[i].stazione;
}

std::string senza_spazi(const std::string& s) {
  std::string r = nome_confrontabile(s);
  r.erase(std::remove(r.begin(), r.end(), ' '), r.end());
  return r;
}

}  // namespace

std::vector<uint32_t> fermate_di(const orari_feed& f, const std::string& nome) {
  const std::string chiesto = senza_spazi(nome);
  std::vector<bool> stazione(f.fermate.size());
  for (uint32_t i = 0; i < f.fermate.size(); ++i)
    if (!chiesto.empty() && senza_spazi(f.fermate[i].nome) == chiesto)
      stazione[stazione_di(f, i)] = true;
  std::vector<uint32_t> r;
  for (uint32_t i = 0; i < f.fermate.size(); ++i)
    if (stazione[stazione_di(f, i)]) r.push_back(i);
  return r;
}

esito<std::vector<passaggio_feed>> passaggi_corsa(const orari_feed& f, const std::string& corsa) {
  if (!f.per_corsa.count(corsa))
    return guasto_di(genere_guasto::ingresso, "la corsa " + nome_pulito(corsa) + " non è nel feed");
  std::vector<passaggio_feed> r;
  auto su = [&](std::string_view c, std::string_view id, passaggio_feed p, int64_t) -> std::string {
    if (c != corsa) return "";
    if (r.size() == kGtfsPassaggiCorsa)
      return "la corsa ha più di " + std::to_string(kGtfsPassaggiCorsa) + " fermate";
    if (std::string e = fermata_id(f, id, p.fermata); !e.empty()) return e;
    r.push_back(p);
    return "";
  };
  if (riuscita e = al_riparo([&] { return scorri_orari(f, su); }); !e) return e.errore();
  std::sort(r.begin(), r.end(), [](const passaggio_feed& a, const passaggio_feed& b) {
    return a.sequenza < b.sequenza;
  });
  for (size_t i = 1; i < r.size(); ++i)
    if (r[i].sequenza == r[i - 1].sequenza)
      return guasto_di(genere_guasto::ingresso,
                       "stop_sequence " + std::to_string(r[i].sequenza) + " ripetuto",
                       {"stop_times.txt", 0, 0, "corsa " + nome_pulito(corsa)});
  if (r.empty())
    return guasto_di(genere_guasto::ingresso,
                     "la corsa " + nome_pulito(corsa) + " non ha orari in stop_times.txt");
  return r;
}

namespace {

// The stops a name means, or a guasto naming a few like it.
esito<std::vector<uint32_t>> fermate_chieste(const orari_feed& f, const std::string& nome) {
  std::vector<uint32_t> r = fermate_di(f, nome);
  if (!r.empty()) return r;
  std::vector<std::string> simili;
  const std::string chiesto = senza_spazi(nome);
  for (const fermata_feed& x : f.fermate)
    if (x.stazione == UINT32_MAX && !chiesto.empty() &&
        senza_spazi(x.nome).find(chiesto) != std::string::npos && simili.size() < 5)
      simili.push_back(x.nome);
  std::string t = "nessuna fermata del feed si chiama " + nome_pulito(nome);
  for (size_t i = 0; i < simili.size(); ++i) t += (i ? ", " : ": forse ") + simili[i];
  return guasto_di(genere_guasto::ingresso, t);
}

// A trip's calls at the two places the search looks for.
struct tracce_corsa {
  std::vector<passaggio_feed> da, a;
};

// Each trip's first and last call, their stops looked up once for each run
// of rows of one trip rather than for every row.
struct capi_corse {
  const orari_feed& f;
  std::vector<passaggio_feed> prima, ultima;  // by trip
  uint32_t corsa = UINT32_MAX;                // of the run
  std::string nome_corsa;
  passaggio_feed min, max;
  std::string id_min, id_max;
  int64_t riga_min = 0, riga_max = 0;
  guasto errore;  // a stop of the run that is no stop, on its own line

  explicit capi_corse(const orari_feed& feed)
      : f(feed), prima(feed.corse.size()), ultima(feed.corse.size()) {
    for (passaggio_feed& p : prima) p.sequenza = -1;
  }
  std::string passa(std::string_view c, std::string_view id, const passaggio_feed& p,
                    int64_t riga) {
    if (corsa == UINT32_MAX || c != nome_corsa) {
      if (!chiudi()) return errore.testo;
      const auto i = f.per_corsa.find(std::string(c));
      if (i == f.per_corsa.end()) return "trip_id " + nome_pulito(c) + " non è in trips.txt";
      corsa = i->second, nome_corsa = c;
      min = max = p, id_min = id_max = id, riga_min = riga_max = riga;
    }
    if (p.sequenza < min.sequenza) min = p, id_min = id, riga_min = riga;
    if (p.sequenza >= max.sequenza) max = p, id_max = id, riga_max = riga;
    return "";
  }
  bool chiudi() {
    if (corsa == UINT32_MAX) return true;
    const std::string nome = nome_in_feed(f, "stop_times.txt");
    if (std::string e = fermata_id(f, id_min, min.fermata); !e.empty())
      return errore = errato(nome, riga_min, e), false;
    if (std::string e = fermata_id(f, id_max, max.fermata); !e.empty())
      return errore = errato(nome, riga_max, e), false;
    if (prima[corsa].sequenza < 0 || min.sequenza < prima[corsa].sequenza) prima[corsa] = min;
    if (max.sequenza >= ultima[corsa].sequenza) ultima[corsa] = max;
    corsa = UINT32_MAX;
    return true;
  }
};

}  // namespace

esito<std::vector<corsa_fra>> corse_fra(const orari_feed& f, const std::string& da,
                                        const std::string& a) {
  esito<std::vector<uint32_t>> fa = fermate_chieste(f, da), fb = fermate_chieste(f, a);
  if (!fa) return fa.errore();
  if (!fb) return fb.errore();
  std::vector<std::pair<std::string, uint32_t>> cercate;  // the stops of both, by id
  for (uint32_t i : *fa) cercate.emplace_back(f.fermate[i].id, i);
  for (uint32_t i : *fb)
    if (std::binary_search(fa->begin(), fa->end(), i))
      return guasto_di(genere_guasto::ingresso, "--from e --to sono la stessa stazione");
    else
      cercate.emplace_back(f.fermate[i].id, i);
  capi_corse capi(f);
  std::map<uint32_t, tracce_corsa> tracce;
  size_t tenuti = 0;
  auto su = [&](std::string_view corsa, std::string_view id, passaggio_feed p,
                int64_t riga) -> std::string {
    if (std::string e = capi.passa(corsa, id, p, riga); !e.empty()) return e;
    size_t k = 0;
    while (k < cercate.size() && cercate[k].first != id) ++k;
    if (k == cercate.size()) return "";
    if (++tenuti > kGtfsPassaggiCercati) return "troppe fermate nelle due stazioni";
    p.fermata = cercate[k].second;
    (k < fa->size() ? tracce[capi.corsa].da : tracce[capi.corsa].a).push_back(p);
    return "";
  };
  riuscita e = al_riparo([&] { return scorri_orari(f, su); });
  if (e && !capi.chiudi()) e = capi.errore;
  if (!e) return capi.errore.testo.empty() ? e.errore() : capi.errore;
  std::vector<corsa_fra> r;
  auto prima_seq = [](const passaggio_feed& x, const passaggio_feed& y) {
    return x.sequenza < y.sequenza;
  };
  for (auto& [i, t] : tracce) {
    if (t.da.empty() || t.a.empty()) continue;
    const passaggio_feed x = *std::min_element(t.da.begin(), t.da.end(), prima_seq);
    const passaggio_feed* y = nullptr;
    for (const passaggio_feed& p : t.a)
      if (p.sequenza > x.sequenza && (!y || p.sequenza < y->sequenza)) y = &p;
    if (y) r.push_back({i, x, *y, capi.prima[i], capi.ultima[i]});
  }
  std::sort(r.begin(), r.end(), [&f](const corsa_fra& x, const corsa_fra& y) {
    if (x.da.partenza != y.da.partenza) return x.da.partenza < y.da.partenza;
    return f.corse[x.corsa].id < f.corse[y.corsa].id;
  });
  return r;
}

namespace {

std::string giorno(int32_t d) {
  using namespace std::chrono;
  const year_month_day x{sys_days(days(d))};
  return std::to_string(static_cast<unsigned>(x.day())) + "/" +
         std::to_string(static_cast<unsigned>(x.month())) + "/" +
         std::to_string(static_cast<int>(x.year()));
}

// 0 for Monday.
int giorno_settimana(int32_t d) {
  using namespace std::chrono;
  return static_cast<int>(weekday(sys_days(days(d))).iso_encoding()) - 1;
}

std::string settimana(uint8_t giorni) {
  static const char* const nomi[] = {"lun", "mar", "mer", "gio", "ven", "sab", "dom"};
  if (giorni == 0x7F) return "tutti i giorni";
  std::string r;
  for (int g = 0; g < 7; ++g) {
    if (!(giorni >> g & 1)) continue;
    int fine = g;
    while (fine < 6 && (giorni >> (fine + 1) & 1)) ++fine;
    r += (r.empty() ? "" : ", ") + std::string(nomi[g]);
    if (fine >= g + 2) r += std::string("-") + nomi[fine], g = fine;
  }
  return r;
}

std::string date(const std::vector<int32_t>& d) {
  constexpr size_t kGtfsDateMostrate = 8;
  std::string r;
  for (size_t i = 0; i < d.size() && i < kGtfsDateMostrate; ++i)
    r += (i ? ", " : "") + giorno(d[i]);
  if (d.size() > kGtfsDateMostrate)
    r += " e altri " + std::to_string(d.size() - kGtfsDateMostrate) + " giorni";
  return r;
}

}  // namespace

std::string giorni_servizio(const servizio_feed& s) {
  auto nella_settimana = [&s](int32_t d) {
    return s.settimana && d >= s.dal && d <= s.al && (s.giorni >> giorno_settimana(d) & 1);
  };
  std::vector<int32_t> tolti, aggiunti;
  for (int32_t d : s.tolti)
    if (nella_settimana(d)) tolti.push_back(d);
  for (int32_t d : s.aggiunti)
    if (!nella_settimana(d) && !std::binary_search(s.tolti.begin(), s.tolti.end(), d))
      aggiunti.push_back(d);
  aggiunti.erase(std::unique(aggiunti.begin(), aggiunti.end()), aggiunti.end());
  tolti.erase(std::unique(tolti.begin(), tolti.end()), tolti.end());
  const bool settimana_vuota = !s.settimana || s.giorni == 0 || s.dal > s.al;
  if (settimana_vuota)
    return aggiunti.empty() ? "nessun giorno"
                            : (aggiunti.size() == 1 ? "solo il " : "solo ") + date(aggiunti);
  std::string r = settimana(s.giorni) + ", dal " + giorno(s.dal) + " al " + giorno(s.al);
  if (!tolti.empty()) r += ", tranne " + date(tolti);
  if (!aggiunti.empty()) r += ", e anche " + date(aggiunti);
  return r;
}

namespace {

// "08:42", "08:42:30"; the day after as "(+1)" once for both times.
std::string orologio(int64_t t) {
  if (t < 0) return "--:--";
  char b[32];
  const int64_t s = t % regole::kGiorno;
  std::snprintf(b, sizeof b, "%02d:%02d", static_cast<int>(s / 3600),
                static_cast<int>(s / 60 % 60));
  std::string r = b;
  if (s % 60) r += ":" + std::string(s % 60 < 10 ? "0" : "") + std::to_string(s % 60);
  return r;
}

std::string giorno_dopo(int64_t t) {
  return t >= regole::kGiorno ? " (+" + std::to_string(t / regole::kGiorno) + ")" : "";
}

std::string orari(const passaggio_feed& p) {
  const std::string a = orologio(p.arrivo) + giorno_dopo(p.arrivo),
                    d = orologio(p.partenza) + giorno_dopo(p.partenza);
  if (a == d) return a;
  if (giorno_dopo(p.arrivo) == giorno_dopo(p.partenza))
    return orologio(p.arrivo) + "/" + orologio(p.partenza) + giorno_dopo(p.partenza);
  return a + "/" + d;
}

std::string nome_stazione(const orari_feed& f, uint32_t fermata) {
  return f.fermate[stazione_di(f, fermata)].nome;
}

std::string nome_linea(const orari_feed& f, const corsa_feed& c) {
  if (c.linea == UINT32_MAX) return "";
  const linea_feed& l = f.linee[c.linea];
  if (l.breve.empty() || l.breve == l.lunga) return l.breve.empty() ? l.lunga : l.breve;
  return l.lunga.empty() ? l.breve : l.breve + " (" + l.lunga + ")";
}

}  // namespace

esito<std::string> elenco_corse(const std::string& feed, const std::string& da,
                                const std::string& a) {
  esito<orari_feed> f = leggi_feed(feed);
  if (!f) return f.errore();
  esito<std::vector<corsa_fra>> c = corse_fra(*f, da, a);
  if (!c) return c.errore();
  std::string r = c->empty() ? "nessuna corsa" : std::to_string(c->size()) + " corse";
  const std::vector<uint32_t> fa = fermate_di(*f, da), fb = fermate_di(*f, a);
  r += " da " + nome_stazione(*f, fa[0]) + " a " + nome_stazione(*f, fb[0]);
  r += f->editore.empty() ? ":\n" : " nel feed di " + f->editore + ":\n";
  for (const corsa_fra& x : *c) {
    const corsa_feed& corsa = f->corse[x.corsa];
    r += nome_pulito(corsa.id) + "  " + nome_linea(*f, corsa) + "  " +
         nome_stazione(*f, x.da.fermata) + " " + orari(x.da) + " -> " +
         nome_stazione(*f, x.a.fermata) + " " + orari(x.a) + "\n";
    r += "    " + giorni_servizio(f->servizi[corsa.servizio]) + "; da " +
         nome_stazione(*f, x.prima.fermata) + " a " + nome_stazione(*f, x.ultima.fermata) + "\n";
  }
  return r;
}

esito<std::vector<fermata_corsa>> fermate_corsa(const orari_feed& f, const std::string& corsa,
                                                const std::string& da, const std::string& a) {
  esito<std::vector<passaggio_feed>> p = passaggi_corsa(f, corsa);
  if (!p) return p.errore();
  size_t inizio = 0, fine = p->size();
  auto cerca = [&](const std::string& nome, size_t dal) -> esito<size_t> {
    esito<std::vector<uint32_t>> s = fermate_chieste(f, nome);
    if (!s) return s.errore();
    bool prima = false;
    for (size_t i = 0; i < p->size(); ++i)
      if (std::binary_search(s->begin(), s->end(), (*p)[i].fermata)) {
        if (i >= dal) return i;
        prima = true;
      }
    const std::string c = "la corsa " + nome_pulito(corsa);
    if (prima)
      return guasto_di(genere_guasto::ingresso, "--from dopo --to: " + c + " ferma a " +
                                                    nome_pulito(nome) + " prima di " +
                                                    nome_pulito(da));
    return guasto_di(genere_guasto::ingresso, c + " non ferma a " + nome_pulito(nome));
  };
  if (!da.empty()) {
    esito<size_t> i = cerca(da, 0);
    if (!i) return i.errore();
    inizio = *i;
  }
  if (!a.empty()) {
    esito<size_t> i = cerca(a, da.empty() ? 0 : inizio + 1);
    if (!i) return i.errore();
    fine = *i + 1;
  }
  std::vector<fermata_corsa> r;
  for (size_t i = inizio; i < fine; ++i) {
    const passaggio_feed& x = (*p)[i];
    const fermata_feed& s = f.fermate[x.fermata];
    const fermata_feed& st = f.fermate[stazione_di(f, x.fermata)];
    r.push_back({s.id, st.nome, s.lat, s.lon, x.arrivo, x.partenza, st.id});
  }
  return r;
}

}  // namespace bozza
