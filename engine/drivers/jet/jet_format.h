// Constants of the Jet 4 file format and little-endian helpers shared by the writer's
// parts: page types, column type codes, column flags, row and page limits.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>

#include "engine/drivers/jet/jet_header.h"

namespace tabulor::jet {

enum PageType : uint8_t { PageData = 0x01, PageTdef = 0x02, PageBitmap = 0x05 };

enum ColumnType : uint8_t {
  TypeBool = 0x01,
  TypeByte = 0x02,
  TypeInt = 0x03,
  TypeLong = 0x04,
  TypeMoney = 0x05,
  TypeFloat = 0x06,
  TypeDouble = 0x07,
  TypeDateTime = 0x08,
  TypeBinary = 0x09,
  TypeText = 0x0A,
  TypeOle = 0x0B,
  TypeMemo = 0x0C,
};

inline constexpr uint8_t ColFlagFixed = 0x01, ColFlagUpdatable = 0x02;
inline constexpr uint8_t ColExtCompressed = 0x01;
inline constexpr uint32_t TdefMagic = 1625;   // at TDEF offset 12 and in every column entry
inline constexpr size_t DataPageHeader = 14;  // type, 1, free space, owner, 0, row count
inline constexpr size_t MaxRowSize = 4060;
inline constexpr size_t MaxRowsPerPage = 255;
inline constexpr size_t MaxLvalData = 4072;   // data bytes of one long-value row in a chain
inline constexpr uint32_t MaxPages = 524288;  // 2 GB, the largest Jet 4 file
inline constexpr size_t BitmapBitsPerPage = (PageSize - 4) * 8;
inline constexpr uint32_t LvalOwner = 0x4C41564C;  // "LVAL"

inline void put16(std::string& b, size_t off, uint32_t v) {
  b[off] = static_cast<char>(v & 0xFF);
  b[off + 1] = static_cast<char>((v >> 8) & 0xFF);
}
inline void put32(std::string& b, size_t off, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[off + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}
inline void append16(std::string& b, uint32_t v) {
  b.push_back(static_cast<char>(v & 0xFF));
  b.push_back(static_cast<char>((v >> 8) & 0xFF));
}
inline void append32(std::string& b, uint32_t v) {
  for (int i = 0; i < 4; ++i) b.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}
inline uint32_t get16(const std::string& b, size_t off) {
  return uint32_t(uint8_t(b[off])) | uint32_t(uint8_t(b[off + 1])) << 8;
}
inline uint32_t get32(const std::string& b, size_t off) {
  return get16(b, off) | get16(b, off + 2) << 16;
}
// A row address as Jet stores it in TDEFs and long-value headers: row in the low byte.
inline uint32_t pageRow(uint32_t page, uint32_t row) {
  return page << 8 | (row & 0xFF);
}

}  // namespace tabulor::jet
