// The cells of one worksheet part of an .xlsx workbook, streamed out of its sheetData in
// document order: numbers (dates where the cell's style is a date format), shared and
// inline strings, cached results of formulas, booleans and error values. Cells without a
// value (styled blanks) are passed by.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "engine/drivers/workbook/cell_table.h"
#include "engine/drivers/workbook/sax_stream.h"
#include "engine/drivers/xlsx/shared_strings.h"

namespace tabulor::xlsx {

// What the cells of every sheet of one workbook share.
struct SheetContext {
  std::shared_ptr<const workbook::ZipPackage> package;
  std::shared_ptr<const SharedStrings> strings;
  std::shared_ptr<const std::vector<bool>> dateStyles;
  bool date1904 = false;
};

class SheetCells : public workbook::CellStream, private workbook::SaxHandler {
 public:
  // `where` names the file and sheet in messages. Throws EngineError(BadInput) when the
  // part is missing.
  SheetCells(SheetContext context, std::string partPath, std::string where);
  void rewind() override;
  bool next(workbook::Cell& cell) override;

  // One pass over every cell: the bounding box of the values.
  workbook::UsedRange scanUsedRange();

 private:
  enum class Type : uint8_t { Number, Shared, Inline, Str, Error, Bool, Date };

  void startElement(const xmlChar* name, const xmlChar* uri,
                    const workbook::XmlAttributes& attributes) override;
  void endElement(const xmlChar* name) override;
  void characters(std::string_view text) override;
  void startRow(const workbook::XmlAttributes& attributes);
  void startCell(const workbook::XmlAttributes& attributes);
  void endCell();
  bool readReference(std::string_view ref, uint32_t& row, uint32_t& col);
  workbook::Cell& push();

  SheetContext ctx_;
  std::string partPath_, where_;
  std::unique_ptr<workbook::SaxStream> xml_;
  const xmlChar *row_ = nullptr, *c_ = nullptr, *v_ = nullptr, *is_ = nullptr, *t_ = nullptr,
                *rPh_ = nullptr, *r_ = nullptr, *s_ = nullptr;
  int64_t currentRow_ = -1;  // 0-based row of the last row element
  int64_t lastCol_ = -1;     // 0-based column of the last cell of that row

  // The cell being read.
  int depth_ = 0, cellDepth_ = -1, phoneticDepth_ = -1;
  bool haveValue_ = false, haveInline_ = false, inValue_ = false, inText_ = false;
  Type type_ = Type::Number;
  long style_ = 0;
  uint32_t cellRow_ = 0, cellCol_ = 0;
  std::string value_, inline_;

  // Cells read from the last slice of the part and not yet handed out. The elements are
  // reused, so their text buffers are too.
  std::vector<workbook::Cell> queue_;
  size_t queued_ = 0, taken_ = 0;
};

}  // namespace tabulor::xlsx
