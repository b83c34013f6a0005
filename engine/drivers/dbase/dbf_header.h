// The .dbf file header and field descriptors: parsing with every length checked against
// the file, and the byte layout the writer emits. Little-endian throughout.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tabulor::dbase {

inline constexpr uint8_t HeaderTerminator = 0x0D;
inline constexpr uint8_t EndOfFile = 0x1A;

struct DbfField {
  std::string name;     // as stored (ASCII, at most 10 characters)
  char type = 'C';      // type letter, upper case
  uint32_t offset = 0;  // from the start of the record (the deletion flag is byte 0)
  uint32_t length = 0;
  uint8_t decimals = 0;
  uint8_t flags = 0;  // Visual FoxPro: 0x01 system column, 0x02 nullable, 0x04 binary
};

enum class MemoKind { None, Dbt, Fpt };

struct DbfHeader {
  uint8_t version = 0;
  uint8_t languageDriver = 0;
  uint32_t recordCount = 0;
  uint16_t headerLength = 0;
  uint16_t recordLength = 0;
  std::vector<DbfField> fields;

  bool isFoxPro() const;
  MemoKind memoKind() const;  // which memo file the version byte promises
};

// Parses the header of a file of `fileSize` bytes from its first bytes `head` (at least
// the header length, or the whole file when shorter). Throws EngineError(BadInput or
// Unsupported) naming `fileName` for anything that does not hold together.
DbfHeader parseDbfHeader(std::string_view head, uint64_t fileSize, const std::string& fileName);

inline uint16_t readU16(const char* p) {
  return static_cast<uint16_t>(static_cast<unsigned char>(p[0]) | static_cast<unsigned char>(p[1])
                                                                      << 8);
}
inline uint32_t readU32(const char* p) {
  return static_cast<uint32_t>(static_cast<unsigned char>(p[0])) |
         static_cast<uint32_t>(static_cast<unsigned char>(p[1])) << 8 |
         static_cast<uint32_t>(static_cast<unsigned char>(p[2])) << 16 |
         static_cast<uint32_t>(static_cast<unsigned char>(p[3])) << 24;
}
inline uint32_t readU32BigEndian(const char* p) {
  return static_cast<uint32_t>(static_cast<unsigned char>(p[3])) |
         static_cast<uint32_t>(static_cast<unsigned char>(p[2])) << 8 |
         static_cast<uint32_t>(static_cast<unsigned char>(p[1])) << 16 |
         static_cast<uint32_t>(static_cast<unsigned char>(p[0])) << 24;
}
inline void putU16(std::string& out, size_t at, uint16_t v) {
  out[at] = static_cast<char>(v & 0xFF);
  out[at + 1] = static_cast<char>(v >> 8);
}
inline void putU32(std::string& out, size_t at, uint32_t v) {
  for (int k = 0; k < 4; ++k)
    out[at + static_cast<size_t>(k)] = static_cast<char>((v >> (8 * k)) & 0xFF);
}

// The 32-byte file header followed by the descriptors and the 0x0D terminator.
std::string buildDbfHeader(uint8_t version, uint8_t languageDriver, uint32_t recordCount,
                           const std::vector<DbfField>& fields, int year, int month, int day);

}  // namespace tabulor::dbase
