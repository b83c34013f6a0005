// Jet 4 rows and data pages: a row is the column count, the fixed area, the variable data,
// its end offset, the variable offsets (last column first), their count and the null mask
// (1 = present; Yes/No values live there). Data pages stack rows from the page end down.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/drivers/jet/table_definition.h"

namespace tabulor::jet {

// One cell ready for the row: null, or its stored bytes (for Memo/OLE the 12-byte
// long-value header, followed by the data when it is kept inline). Yes/No uses `flag`.
struct Cell {
  bool null = true;
  bool flag = false;
  std::string bytes;
};

// Encodes a row into `out` (cleared first). `fixedAreaSize` from layoutColumns().
void encodeRow(const std::vector<ColumnDef>& columns, uint16_t fixedAreaSize,
               const std::vector<Cell>& cells, std::string& out);
// Bytes a row takes besides its variable data.
size_t rowOverhead(const std::vector<ColumnDef>& columns, uint16_t fixedAreaSize);

// The bytes of column `c` in a stored row; nullopt when null. Yes/No gives one byte 0/1.
// Throws EngineError(BadInput) when the row is inconsistent.
std::optional<std::string_view> rowValue(std::string_view row, const ColumnDef& c);

// A data page being filled.
class DataPage {
 public:
  explicit DataPage(uint32_t owner) { reset(owner); }
  void reset(uint32_t owner);
  // Adds a row when it fits (space and the 255-row limit); returns its row number or -1.
  int add(std::string_view row);
  uint32_t rows() const;
  bool empty() const { return rows() == 0; }
  const std::string& bytes() const { return page_; }

 private:
  std::string page_;
  size_t top_ = 0;  // start of the lowest row
};

// Adds `row` to an existing data page image in place; returns its row number or -1.
int addRowToPage(std::string& page, std::string_view row);
// The rows of a stored data page (deleted rows left out).
std::vector<std::string_view> pageRows(const std::string& page);

}  // namespace tabulor::jet
