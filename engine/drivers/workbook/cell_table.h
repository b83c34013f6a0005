// A sheet of a zipped workbook read as a table: the format's reader streams the cells that
// hold values row by row, and this cursor turns them into records the way the Excel 8.0
// driver does (the bounding box of the values is the table, its first row names the
// fields, the next rows give the types, a cell that does not fit its column's type is kept
// as text).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/driver.h"
#include "engine/drivers/excel/cell_value.h"

namespace tabulor::workbook {

using excel::Cell;
using excel::CellKind;

// Rows and columns of a sheet of Excel 2007 and later, and of LibreOffice 7.4.
inline constexpr uint32_t MaxSheetRows = 1048576;
inline constexpr uint32_t MaxSheetColumns = 16384;
// The most cells one sheet's table may span (rows times columns of its bounding box): a
// few bytes can claim a sheet of 17 billion cells, which no conversion could finish.
inline constexpr uint64_t MaxTableCells = uint64_t(1) << 30;

// The bounding box of the cells that hold values, 0-based.
struct UsedRange {
  bool any = false;
  uint32_t minRow = 0, maxRow = 0, minCol = 0, maxCol = 0;
  void add(uint32_t row, uint32_t col) {
    if (!any) {
      minRow = maxRow = row, minCol = maxCol = col;
      any = true;
      return;
    }
    if (row < minRow) minRow = row;
    if (row > maxRow) maxRow = row;
    if (col < minCol) minCol = col;
    if (col > maxCol) maxCol = col;
  }
};

// The cells of one sheet that hold values, in row order (the cells of one row in any
// order). Implemented by each format's sheet reader.
class CellStream {
 public:
  virtual ~CellStream() = default;
  // Starts again at the first cell.
  virtual void rewind() = 0;
  // Fills `cell` with the next cell that holds a value; false at the end of the sheet.
  // Throws EngineError for damaged data.
  virtual bool next(Cell& cell) = 0;
};

// An OLE date whose time of day lies within a millisecond of a whole second, moved onto
// that second exactly as the engine computes it from calendar parts: writers print dates
// with 15 to 17 digits, and a time such as 06:30 must read back as the same 06:30.
double snapToSecond(double oleDate);

// "A1"-style name of a 0-based cell position, for messages.
std::string cellName(uint32_t row, uint32_t col);

// The sheet a listed table name asks for ("Sheet1$", "'My Sheet$'", in any letter case:
// an exact match first, since names that differ only in the case of non-ASCII letters are
// distinct sheets), among the sheets whose isTable entry is true; -1 when there is none.
int findListedSheet(std::string_view listed, const std::vector<std::string>& names,
                    const std::vector<bool>& isTable);

// Opens the table over `cells`, whose values lie within `range` (found by a pass of the
// reader's own). `where` names file and sheet in messages. Throws EngineError(Limit) when
// the range spans more than MaxTableCells cells.
std::unique_ptr<RowCursor> openCellTable(std::unique_ptr<CellStream> cells, const UsedRange& range,
                                         const std::string& where);

}  // namespace tabulor::workbook
