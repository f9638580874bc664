// A .zip of whole files stored as they are: what any unzip and Windows'
// Explorer open, with no compression library needed.
#include <array>
#include <cstdint>
#include <string>

#include "tool/pacchetto/pacchetto.h"

namespace pacchetto {

namespace {

constexpr std::array<uint32_t, 256> tabella_crc() {
  std::array<uint32_t, 256> t{};
  for (uint32_t i = 0; i < 256; ++i) {
    uint32_t c = i;
    for (int k = 0; k < 8; ++k) c = c & 1 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
    t[i] = c;
  }
  return t;
}

uint32_t crc32(std::string_view b) {
  static constexpr std::array<uint32_t, 256> t = tabella_crc();
  uint32_t c = 0xFFFFFFFFu;
  for (char x : b) c = t[(c ^ static_cast<unsigned char>(x)) & 0xFF] ^ (c >> 8);
  return c ^ 0xFFFFFFFFu;
}

void le(std::string& out, uint32_t v, int byte) {
  for (int i = 0; i < byte; ++i) out += static_cast<char>((v >> (8 * i)) & 0xFF);
}

// Version 1.0 to extract, stored, 1 January 1980 at midnight (the same
// bytes from the same files).
constexpr uint32_t kVersione = 10;
constexpr uint32_t kData = (1 << 5) | 1;

// The fields a local header and the central directory's entry share.
void comuni(std::string& out, const file_pacchetto& f, uint32_t crc) {
  le(out, kVersione, 2);
  le(out, 0, 2);  // flags
  le(out, 0, 2);  // stored
  le(out, 0, 2);  // time
  le(out, kData, 2);
  le(out, crc, 4);
  le(out, static_cast<uint32_t>(f.dati.size()), 4);
  le(out, static_cast<uint32_t>(f.dati.size()), 4);
  le(out, static_cast<uint32_t>(f.nome.size()), 2);
  le(out, 0, 2);  // extra field
}

}  // namespace

std::string zip(const std::vector<file_pacchetto>& files) {
  std::string out, centrale;
  size_t tutto = 22;
  for (const file_pacchetto& f : files) tutto += 30 + 46 + 2 * f.nome.size() + f.dati.size();
  out.reserve(tutto);
  for (const file_pacchetto& f : files) {
    const uint32_t crc = crc32(f.dati);
    const uint32_t inizio = static_cast<uint32_t>(out.size());
    le(out, 0x04034b50, 4);
    comuni(out, f, crc);
    out += f.nome;
    out += f.dati;
    le(centrale, 0x02014b50, 4);
    le(centrale, kVersione, 2);  // made by: MS-DOS, 1.0
    comuni(centrale, f, crc);
    le(centrale, 0, 2);  // comment
    le(centrale, 0, 2);  // disk
    le(centrale, 0, 2);  // internal attributes
    le(centrale, 0, 4);  // external attributes
    le(centrale, inizio, 4);
    centrale += f.nome;
  }
  const uint32_t inizio_centrale = static_cast<uint32_t>(out.size());
  out += centrale;
  le(out, 0x06054b50, 4);
  le(out, 0, 2);  // this disk
  le(out, 0, 2);  // the directory's disk
  le(out, static_cast<uint32_t>(files.size()), 2);
  le(out, static_cast<uint32_t>(files.size()), 2);
  le(out, static_cast<uint32_t>(centrale.size()), 4);
  le(out, inizio_centrale, 4);
  le(out, 0, 2);  // comment
  return out;
}

}  // namespace pacchetto
