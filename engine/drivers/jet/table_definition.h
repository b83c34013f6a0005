// A Jet 4 table definition (TDEF): the columns with their row layout (null-mask bit, fixed
// offset or variable index), the bytes of the TDEF as it is stored across one or more
// pages, and the parse of a stored TDEF (used to find the catalogue's columns).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace tabulor::jet {

struct ColumnDef {
  std::string name;
  uint8_t type = 0;
  uint16_t length = 0;  // bytes: Text 2 x chars, fixed types their size, Memo/OLE 0, Yes/No 1
  uint8_t extFlags = 0;
  // Layout, filled by layoutColumns() (or read from a stored TDEF).
  uint16_t colNum = 0;
  uint16_t varIndex = 0;
  uint16_t fixedOffset = 0;
  bool fixed = false;
};

// True for the types stored in the fixed area (Yes/No included, which takes no bytes).
bool isFixedType(uint8_t type);
// Bytes in the fixed area (0 for Yes/No and variable types).
uint16_t fixedSize(uint8_t type);
bool isLongValueType(uint8_t type);  // Memo, OLE

// Numbers the columns in order, gives fixed columns their offsets and variable ones their
// indexes (Text/Binary before Memo/OLE). Returns the size of the fixed area.
uint16_t layoutColumns(std::vector<ColumnDef>& columns);

struct TableDefInfoBytes {
  uint8_t tableType = 0x4E;  // 0x4E user table, 0x53 system table
  uint32_t rowCount = 0;
  uint32_t ownedMap = 0, freeMap = 0;  // page-row of the usage maps
  struct LongValueMaps {
    uint16_t colNum;
    uint32_t ownedMap, freeMap;
  };
  std::vector<LongValueMaps> longValueMaps;
};

// The definition bytes, without page headers (total length as stored at offset 8).
std::string tdefBytes(const std::vector<ColumnDef>& columns, const TableDefInfoBytes& info);
// Number of pages the definition takes.
size_t tdefPageCount(size_t definitionLength);
// Splits the definition over `pages` (as many as tdefPageCount gives): page images.
std::vector<std::string> tdefPages(const std::string& definition,
                                   const std::vector<uint32_t>& pages);

struct StoredTable {
  uint32_t rowCount = 0;
  uint32_t realIndexes = 0;
  uint32_t ownedMap = 0, freeMap = 0;
  std::vector<ColumnDef> columns;  // in col_num order
};
// Parses a TDEF whose pages were read by `readPage`. Throws EngineError on damage.
StoredTable parseTdef(uint32_t firstPage, const std::string& fileName,
                      const std::function<std::string(uint32_t)>& readPage);

}  // namespace tabulor::jet
