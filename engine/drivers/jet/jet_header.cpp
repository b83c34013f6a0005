// Page 0 of a Jet database: signature, masked header fields, password test, new header.
// Fixed byte values follow those seen in every Access 2000-2003 database examined.
#include "engine/drivers/jet/jet_header.h"

#include <array>
#include <cmath>
#include <cstring>

namespace tabulor::jet {

namespace {

constexpr size_t MaskStart = 0x18, MaskLength = 128;

// The mask is the RC4 keystream of the fixed key C7 DA 39 6B.
const std::array<uint8_t, MaskLength>& headerMask() {
  static const std::array<uint8_t, MaskLength> mask = [] {
    const uint8_t key[4] = {0xC7, 0xDA, 0x39, 0x6B};
    uint8_t s[256];
    for (int i = 0; i < 256; ++i) s[i] = static_cast<uint8_t>(i);
    for (int i = 0, j = 0; i < 256; ++i) {
      j = (j + s[i] + key[i % 4]) & 0xFF;
      std::swap(s[i], s[j]);
    }
    std::array<uint8_t, MaskLength> out{};
    for (size_t n = 0, i = 0, j = 0; n < MaskLength; ++n) {
      i = (i + 1) & 0xFF;
      j = (j + s[i]) & 0xFF;
      std::swap(s[i], s[j]);
      out[n] = s[(s[i] + s[j]) & 0xFF];
    }
    return out;
  }();
  return mask;
}

void put32(std::string& b, size_t off, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[off + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

}  // namespace

bool looksLikeJet(std::string_view head) {
  if (head.size() < 0x18) return false;
  if (head[0] != 0 || head[1] != 1 || head[2] != 0 || head[3] != 0) return false;
  std::string_view sig = head.substr(4, 16);
  if (sig != std::string_view("Standard Jet DB\0", 16) &&
      sig != std::string_view("Standard ACE DB\0", 16))
    return false;
  return static_cast<uint8_t>(head[0x14]) <= 6;
}

void applyHeaderMask(std::string& page0) {
  const auto& mask = headerMask();
  for (size_t i = 0; i < MaskLength && MaskStart + i < page0.size(); ++i)
    page0[MaskStart + i] = static_cast<char>(page0[MaskStart + i] ^ mask[i]);
}

HeaderInfo readHeader(std::string_view page0) {
  HeaderInfo info;
  std::string plain(page0.substr(0, 0xA0));
  if (plain.size() < 0xA0) return info;
  applyHeaderMask(plain);
  auto u8 = [&](size_t off) { return static_cast<uint8_t>(plain[off]); };
  info.version = u8(0x14);
  for (size_t i = 0x3E; i < 0x42; ++i)
    if (u8(i)) info.encrypted = true;
  if (info.version == 0) {
    // Jet 3: a 20-byte password stored as it is.
    for (size_t i = 0x42; i < 0x42 + 20; ++i)
      if (u8(i)) info.hasPassword = true;
    return info;
  }
  double date = 0;
  std::memcpy(&date, plain.data() + 0x72, 8);
  info.creationDate = date;
  // Jet 4 stores the password XOR-ed with the 4 bytes of the creation date's day number.
  uint8_t key[4] = {0, 0, 0, 0};
  if (std::isfinite(date) && std::fabs(date) < 2e9) {
    auto day = static_cast<int32_t>(std::floor(date));
    for (int i = 0; i < 4; ++i)
      key[i] = static_cast<uint8_t>((static_cast<uint32_t>(day) >> (8 * i)) & 0xFF);
  }
  for (size_t i = 0; i < 40; ++i)
    if (u8(0x42 + i) ^ key[i % 4]) info.hasPassword = true;
  return info;
}

std::string makeJet4HeaderPage(double creationDate) {
  std::string p(PageSize, '\0');
  p[1] = 1;
  std::memcpy(&p[4], "Standard Jet DB", 15);
  p[0x14] = 1;
  static const uint8_t fixed18[24] = {0, 1, 0, 0, 1, 1, 0, 0, 2, 0, 0, 0,
                                      3, 0, 0, 0, 4, 0, 0, 0, 5, 0, 0, 0};
  std::memcpy(&p[0x18], fixed18, sizeof fixed18);
  p[0x3C] = static_cast<char>(0xE4);  // code page 1252
  p[0x3D] = 0x04;
  // 0x3E: database key 0 (pages are not encoded).
  // Empty password: the stored bytes are the date mask itself.
  auto day = static_cast<uint32_t>(static_cast<int32_t>(std::floor(creationDate)));
  for (size_t i = 0; i < 40; ++i) p[0x42 + i] = static_cast<char>((day >> (8 * (i % 4))) & 0xFF);
  put32(p, 0x6A, 0x21AA);
  put32(p, 0x6E, 0x0409);  // General sort order, sort version 0
  std::memcpy(&p[0x72], &creationDate, 8);
  applyHeaderMask(p);
  put32(p, 0x98, 1620);
  std::memcpy(&p[0x9C], "4.0", 4);
  p[0xE00] = 1;
  p[0xE01] = 1;
  for (size_t off = 0xE02; off < PageSize; off += 2) p[off + 1] = 1;
  return p;
}

}  // namespace tabulor::jet
