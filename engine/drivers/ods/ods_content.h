// The tables of an OpenDocument spreadsheet (.ods), read out of its content.xml part with the
// streaming reader: the list of tables, and the cells of one table. Repeated rows and cells
// (table:number-rows-repeated, table:number-columns-repeated) are expanded lazily: a row is
// held once and handed out as many times as it repeats, so that a row of values repeated a
// million times costs no memory, and empty repeats cost no time.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "engine/drivers/workbook/cell_table.h"
#include "engine/drivers/workbook/xml_stream.h"

namespace tabulor::ods {

// The mimetype of spreadsheets (and their templates) that this reader takes.
inline constexpr const char* SpreadsheetMimetype = "application/vnd.oasis.opendocument.spreadsheet";

// Checks that the package is an OpenDocument spreadsheet. Throws EngineError naming the file:
// Unsupported for other OpenDocument documents and for .xlsx packages, BadInput when
// content.xml is missing.
void checkSpreadsheet(const workbook::ZipPackage& package);

// A table of content.xml: its name and the bounding box of its values.
struct TableEntry {
  std::string name;
  workbook::UsedRange range;
};

// The tables in document order. Throws EngineError(BadInput) when content.xml is missing,
// cannot be inflated, or has a document type declaration.
std::vector<TableEntry> scanTables(const workbook::ZipPackage& package);

class TableCells : public workbook::CellStream {
 public:
  // The cells of the table at `tableIndex` (document order); `where` names file and table
  // in messages.
  TableCells(std::shared_ptr<const workbook::ZipPackage> package, size_t tableIndex,
             std::string where);
  void rewind() override;
  bool next(workbook::Cell& cell) override;

 private:
  bool readRow();
  void readCell(uint32_t& col);
  void readParagraphs(std::string& text);
  bool isTableElement(const xmlChar* localName) const;

  std::shared_ptr<const workbook::ZipPackage> package_;
  size_t tableIndex_;
  std::string where_;
  std::unique_ptr<workbook::XmlStream> xml_;
  int tableDepth_ = -1;
  bool tableEnded_ = false;

  // The row being handed out: its cells with values, and how often it repeats.
  std::vector<workbook::Cell> rowCells_;
  size_t rowPos_ = 0;
  uint64_t rowFirst_ = 0, rowRepeat_ = 0, rowDone_ = 0;
  uint64_t nextRow_ = 0;  // sheet row of the next row element

  const xmlChar *tableNs_ = nullptr, *officeNs_ = nullptr, *textNs_ = nullptr;
  const xmlChar *table_ = nullptr, *tableRow_ = nullptr, *tableCell_ = nullptr,
                *coveredCell_ = nullptr, *p_ = nullptr, *h_ = nullptr, *s_ = nullptr,
                *tab_ = nullptr, *lineBreak_ = nullptr, *annotation_ = nullptr, *note_ = nullptr,
                *rowsRepeated_ = nullptr, *colsRepeated_ = nullptr, *valueType_ = nullptr,
                *value_ = nullptr, *dateValue_ = nullptr, *timeValue_ = nullptr,
                *booleanValue_ = nullptr, *stringValue_ = nullptr, *c_ = nullptr;
  std::string text_, valueType_s_, calcType_, value_s_;
};

// "2024-01-15" or "2024-01-15T10:11:12[.123]" as an OLE date (snapped to the second);
// nullopt when it is not such a date.
std::optional<double> oleDateFromOdf(std::string_view text);
// "PT10H11M12S" (a duration) as a fraction of a day; nullopt when it is not one.
std::optional<double> daysFromOdfDuration(std::string_view text);

}  // namespace tabulor::ods
