// The cells of one worksheet part of an .xlsx workbook, streamed out of its sheetData in
// document order: numbers (dates where the cell's style is a date format), shared and
// inline strings, cached results of formulas, booleans and error values. Cells without a
// value (styled blanks) are passed by.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "engine/drivers/workbook/cell_table.h"
#include "engine/drivers/workbook/xml_stream.h"
#include "engine/drivers/xlsx/shared_strings.h"

namespace tabulor::xlsx {

// What the cells of every sheet of one workbook share.
struct SheetContext {
  std::shared_ptr<const workbook::ZipPackage> package;
  std::shared_ptr<const SharedStrings> strings;
  std::shared_ptr<const std::vector<bool>> dateStyles;
  bool date1904 = false;
};

class SheetCells : public workbook::CellStream {
 public:
  // `where` names the file and sheet in messages. Throws EngineError(BadInput) when the
  // part is missing.
  SheetCells(SheetContext context, std::string partPath, std::string where);
  void rewind() override;
  bool next(workbook::Cell& cell) override;

  // One pass over every cell: the bounding box of the values.
  workbook::UsedRange scanUsedRange();

 private:
  bool readCell(workbook::Cell& cell);
  void readReference(std::string_view ref, uint32_t& row, uint32_t& col) const;

  SheetContext ctx_;
  std::string partPath_, where_;
  std::unique_ptr<workbook::XmlStream> xml_;
  const xmlChar *row_ = nullptr, *c_ = nullptr, *v_ = nullptr, *is_ = nullptr, *t_ = nullptr,
                *rPh_ = nullptr, *r_ = nullptr, *s_ = nullptr;
  int64_t currentRow_ = -1;  // 0-based row of the last row element
  int64_t lastCol_ = -1;     // 0-based column of the last cell of that row
  std::string value_, inline_;
};

}  // namespace tabulor::xlsx
