#include "compiler/campi.h"

#include <limits>

#include "model/numeri.h"
#include "platform/testo.h"

void lettore_campi::inizia_campo() {
  if (fine()) throw errore_lettura{"lettura oltre la fine del file"};
  salta_vuoti();
  riga_campo_ = riga_;
  inizio_campo_ = pos_;
  inizio_riga_campo_ = inizio_riga_;
}

void lettore_campi::salta_vuoti() {
  while (pos_ < dati_.size() && vuoto(dati_[pos_])) ++pos_;
}

void lettore_campi::salta_fine_riga() {
  if (dati_[pos_] == '\r' && pos_ + 1 < dati_.size() && dati_[pos_ + 1] == '\n') ++pos_;
  ++pos_;
  ++riga_;
  inizio_riga_ = pos_;
}

void lettore_campi::chiudi_campo() {
  if (pos_ >= dati_.size()) return;
  if (dati_[pos_] == ',') {
    ++pos_;
  } else if (fine_riga(pos_)) {
    salta_fine_riga();
  }
}

void lettore_campi::annota(size_t da, size_t a, std::string_view testo) {
  ultimo_ = {riga_campo_, static_cast<int>(da - inizio_riga_campo_),
             static_cast<int>(a - inizio_riga_campo_)};
  if (!registro) return;
  registro->campi.emplace_back(testo);
  registro->luoghi.push_back(ultimo_);
}

std::string_view lettore_campi::quotato() {
  // pos_ stands on the opening quote.
  size_t inizio = ++pos_;
  while (pos_ < dati_.size() && dati_[pos_] != '"' && !fine_riga(pos_)) ++pos_;
  std::string_view dentro(dati_.data() + inizio, pos_ - inizio);
  while (pos_ < dati_.size() && dati_[pos_] != ',' && !fine_riga(pos_)) ++pos_;
  chiudi_campo();
  return dentro;
}

std::string lettore_campi::testo() {
  inizia_campo();
  std::string t;
  if (pos_ < dati_.size() && dati_[pos_] == '"') {
    t = quotato();
  } else {
    size_t inizio = pos_;
    while (pos_ < dati_.size() && dati_[pos_] != ',' && !fine_riga(pos_)) ++pos_;
    size_t fine_testo = pos_;
    while (fine_testo > inizio && vuoto(dati_[fine_testo - 1])) --fine_testo;
    chiudi_campo();
    t.assign(dati_.data() + inizio, fine_testo - inizio);
  }
  annota(inizio_campo_, inizio_campo_ + t.size() + (dati_[inizio_campo_] == '"' ? 2 : 0), t);
  return t;
}

int32_t lettore_campi::numero() {
  inizia_campo();
  std::string_view cifre;
  if (pos_ < dati_.size() && dati_[pos_] == '"') {
    cifre = quotato();
    while (!cifre.empty() && vuoto(cifre.front())) cifre.remove_prefix(1);
    while (!cifre.empty() && vuoto(cifre.back())) cifre.remove_suffix(1);
  } else {
    size_t inizio = pos_;
    while (pos_ < dati_.size() && dati_[pos_] != ',' && !fine_riga(pos_) && !vuoto(dati_[pos_]))
      ++pos_;
    cifre = std::string_view(dati_.data() + inizio, pos_ - inizio);
    if (pos_ < dati_.size() && vuoto(dati_[pos_])) salta_vuoti();
    chiudi_campo();
  }
  const auto da = static_cast<size_t>(cifre.data() - dati_.data());
  annota(da, da + cifre.size(), cifre);
  if (cifre.empty()) return 0;
  bool negativo = false;
  size_t i = 0;
  if (cifre[0] == '+' || cifre[0] == '-') {
    negativo = cifre[0] == '-';
    i = 1;
  }
  if (i == cifre.size()) throw errore_lettura{"numero non valido"};
  int64_t valore = 0;
  for (; i < cifre.size(); ++i) {
    char c = cifre[i];
    if (c < '0' || c > '9') throw errore_lettura{"numero non valido"};
    valore = valore * 10 + (c - '0');
    if (valore > int64_t{std::numeric_limits<int32_t>::max()} + 1)
      throw errore_lettura{"numero fuori dai 32 bit"};
  }
  if (negativo) valore = -valore;
  if (valore > std::numeric_limits<int32_t>::max()) throw errore_lettura{"numero fuori dai 32 bit"};
  return static_cast<int32_t>(valore);
}

int32_t lettore_campi::numero(int64_t minimo, int64_t massimo) {
  int32_t v = numero();
  if (v < minimo || v > massimo) throw errore_lettura{"valore fuori dal suo campo"};
  return v;
}

std::string_view lettore_campi::testo_riga(size_t inizio_riga) const {
  size_t fine_testo = inizio_riga;
  while (fine_testo < dati_.size() && !fine_riga(fine_testo)) ++fine_testo;
  return std::string_view(dati_.data() + inizio_riga, fine_testo - inizio_riga);
}

posizione_sorgente posizione_campo(const lettore_campi& f, const std::string& file) {
  return {file, f.riga(), f.colonna(), std::string(f.testo_riga())};
}

posizione_sorgente posizione_campo(const lettore_campi& f, const std::string& file,
                                   const segno_campo& s) {
  if (s.riga == 0) return {};
  return {file, s.riga, static_cast<int>(s.inizio - s.inizio_riga) + 1,
          std::string(f.testo_riga(s.inizio_riga))};
}

bool testa_sezione(std::string_view t) {
  return t.size() >= 2 && t.front() == '[' && t.back() == ']';
}

void nota_testa(std::vector<voce_letta>* voci, const lettore_campi& f, const std::string& token,
                const std::string& file) {
  if (!voci || !testa_sezione(token)) return;
  voci->push_back({nullptr, posizione_campo(f, file), {token}, f.luogo(), {f.luogo()}, false});
}

namespace {

std::string citato(std::string_view campo) {
  return "'" + testo::da_1252(campo) + "'";
}

}  // namespace

void campo_ignorato(std::vector<avviso>& avvisi, int& riga_ignorata, const posizione_sorgente& dove,
                    std::string_view campo) {
  // The rest of a dropped line is part of the same mistake.
  if (campo.empty() || testa_sezione(campo) || dove.riga == riga_ignorata) return;
  riga_ignorata = dove.riga;
  avvisi.push_back(
      {dove, "campo " + citato(campo) + " ignorato: non è una chiave né il valore di una voce"});
}

void ultimo_campo(std::vector<avviso>& avvisi, const posizione_sorgente& dove,
                  std::string_view campo) {
  if (campo.empty() || testa_sezione(campo)) return;
  avvisi.push_back({dove, "l'ultimo campo del file (" + citato(campo) +
                              ") non viene mai letto: chiudere il file con una riga [fine]"});
}

void controlla_8(std::vector<avviso>& avvisi, const posizione_sorgente& dove, std::string_view nome,
                 int64_t v) {
  if (v >= 0 && v <= 255) return;
  avvisi.push_back({dove, std::string(nome) + " " + std::to_string(v) +
                              " non entra nel campo a 8 bit (0..255): diventa " +
                              std::to_string(basso8(v))});
}

void controlla_16(std::vector<avviso>& avvisi, const posizione_sorgente& dove,
                  std::string_view nome, int64_t v) {
  if (v >= std::numeric_limits<int16_t>::min() && v <= std::numeric_limits<int16_t>::max()) return;
  avvisi.push_back({dove, std::string(nome) + " " + std::to_string(v) +
                              " non entra nel campo a 16 bit (-32768..32767): diventa " +
                              std::to_string(basso16(v))});
}

void oltre_la_linea(std::vector<avviso>& avvisi, const posizione_sorgente& dove,
                    std::string_view cosa, int64_t p, int64_t lunghezza, int64_t ultima) {
  if (p <= lunghezza) return;
  avvisi.push_back({dove, std::string(cosa) + " " + std::to_string(p) +
                              " m oltre la fine della linea (" + std::to_string(lunghezza) +
                              " m): la compilazione la accetta, le celle arrivano a " +
                              std::to_string(ultima) + " m"});
}

void voce_su_piu_righe(std::vector<avviso>& avvisi, const posizione_sorgente& chiave,
                       int riga_ultimo_campo) {
  if (chiave.riga == 0 || riga_ultimo_campo <= chiave.riga) return;
  avvisi.push_back({chiave, "la voce prende valori fino alla riga " +
                                std::to_string(riga_ultimo_campo) +
                                ": sulla sua riga ne ha meno del previsto (manca una virgola?)"});
}

void marcatore_sostituito(std::vector<avviso>& avvisi, const posizione_sorgente& dove,
                          std::string_view chi, int64_t cella, uint8_t vecchio, uint8_t nuovo) {
  if (vecchio == 0 || vecchio == nuovo) return;
  avvisi.push_back({dove,
                    std::string(chi) + " sostituisce il marcatore " + std::to_string(vecchio) +
                        " della cella " + std::to_string(cella) + " con " + std::to_string(nuovo),
                    genere_avviso::marcatore_sostituito});
}
