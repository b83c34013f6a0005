// The records of one worksheet being written: the header row of field names, then one row
// per record, cells typed by their Variant (numbers, dates with a date format, booleans,
// text through the shared string table, NULL as no cell). Rows are collected in blocks of
// 32 with their ROW records, as Excel lays them out. The finished substream is kept in
// memory until the workbook is written, because the sheet's records follow the workbook
// globals, which are complete only when every string is known.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/drivers/excel/shared_strings_writer.h"
#include "engine/variant.h"

namespace tabulor::excel {

// Rows and columns of an Excel 97-2003 sheet, and the records that fit below a header row.
inline constexpr int64_t MaxSheetRows = 65536;
inline constexpr int64_t MaxDataRows = MaxSheetRows - 1;
inline constexpr int32_t MaxSheetColumns = 256;
inline constexpr size_t MaxCellChars = 32767;

// The XF indices the workbook globals writer defines for cells.
namespace xf {
inline constexpr uint16_t General = 15;
inline constexpr uint16_t Date = 16;
inline constexpr uint16_t DateTime = 17;
inline constexpr uint16_t Time = 18;
}  // namespace xf

class SheetWriter {
 public:
  // `table` and `file` name the sheet and workbook in messages.
  SheetWriter(SharedStringsWriter& strings, std::string table, std::string file, size_t columns);

  // Writes the header row. Throws EngineError(Limit) for a name longer than a cell holds.
  void writeHeader(const std::vector<std::string>& names);
  // Writes one record below the header. Throws EngineError(Limit) naming the table, the
  // record and the field when the sheet is full or a text is too long for a cell.
  void writeRecord(const std::vector<Variant>& row, const std::vector<std::string>& fieldNames);

  // The whole substream, BOF to EOF. `active` marks the sheet shown when the file opens.
  std::string finish(bool active);
  int64_t records() const { return records_; }

 private:
  void cellText(uint16_t col, std::string_view text, const std::string& field);
  void cellNumber(uint16_t col, double value, uint16_t xfIndex);
  void endRow();
  void flushBlock();

  SharedStringsWriter& strings_;
  std::string table_, file_;
  size_t columns_;
  int64_t records_ = 0;
  uint32_t row_ = 0;  // sheet row being written
  int64_t lastUsedRow_ = -1;
  std::string body_;        // finished row blocks
  std::string blockCells_;  // cells of the current block of 32 rows
  std::string blockRows_;   // ROW records of the current block
  int rowFirstCol_ = -1, rowLastCol_ = -1;
  std::vector<uint16_t> widths_;  // column widths in characters, from the texts written
};

}  // namespace tabulor::excel
