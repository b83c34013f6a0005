// The tables of an OpenDocument spreadsheet (.ods), read out of its content.xml part with the
// streaming reader: the list of tables, and the cells of one table. Repeated rows and cells
// (table:number-rows-repeated, table:number-columns-repeated) are expanded lazily: a row is
// held once and handed out as many times as it repeats, so that a row of values repeated a
// million times costs no memory, and empty repeats cost no time.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/drivers/workbook/cell_table.h"
#include "engine/drivers/workbook/sax_stream.h"

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

// What the first pass over content.xml finds: the tables in document order, and whether
// the part is plain XML (see plain_xml_stream.h), which the tables can then be read as.
struct ContentScan {
  std::vector<TableEntry> tables;
  bool plainXml = false;
};

// Throws EngineError(BadInput) when content.xml is missing, cannot be inflated, or has a
// document type declaration.
ContentScan scanContent(const workbook::ZipPackage& package);
inline std::vector<TableEntry> scanTables(const workbook::ZipPackage& package) {
  return scanContent(package).tables;
}

class TableCells : public workbook::CellStream, private workbook::SaxHandler {
 public:
  // The cells of the table at `tableIndex` (document order); `where` names file and table
  // in messages. `plainXml`: content.xml is read with the plain-XML reader rather than
  // libxml2 (only for a part that scanContent found plain). Throws EngineError(BadInput)
  // when content.xml is missing or damaged before the table, or has no such table.
  TableCells(std::shared_ptr<const workbook::ZipPackage> package, size_t tableIndex,
             std::string where, bool plainXml);
  void rewind() override;
  bool next(workbook::Cell& cell) override;

 private:
  // A cell's value over `repeat` columns from `firstCol`.
  struct CellRun {
    workbook::Cell cell;
    uint32_t firstCol = 0, repeat = 1;
  };
  // A row whose cells are runs[begin, end), over `repeat` sheet rows from `first`.
  struct RowRun {
    uint64_t first = 0, repeat = 1;
    size_t begin = 0, end = 0;
  };

  void startElement(const xmlChar* name, const xmlChar* uri,
                    const workbook::XmlAttributes& attributes) override;
  void endElement(const xmlChar* name) override;
  void characters(std::string_view text) override;
  std::string location() const override;
  void startRow(const workbook::XmlAttributes& attributes);
  void startCell(const workbook::XmlAttributes& attributes);
  void endCell();
  void endRow();
  void startInCell(const xmlChar* name, const workbook::XmlAttributes& attributes, int depth);
  void internNames();
  CellRun& pushRun();

  std::shared_ptr<const workbook::ZipPackage> package_;
  size_t tableIndex_;
  std::string where_;
  bool plainXml_;
  std::unique_ptr<workbook::XmlEventStream> xml_;

  // Where the parse stands: element depth; the spreadsheet, the table, the row and the cell
  // being read (-1: none); the subtree being passed by (-1: none).
  int depth_ = 0, sheetDepth_ = -1, tableDepth_ = -1, rowDepth_ = -1, cellDepth_ = -1,
      skipDepth_ = -1;
  size_t tablesSeen_ = 0;
  bool tableEnded_ = false;

  // Complete rows read from the last slices and not yet handed out, in runs; the row being
  // read adds its runs after them.
  std::vector<CellRun> runs_;
  std::vector<RowRun> rows_;
  size_t runCount_ = 0, rowCount_ = 0;
  size_t rowBegin_ = 0;     // first run of the row being read
  uint64_t nextRow_ = 0;    // sheet row of the next row element
  uint64_t rowRepeat_ = 1;  // of the row being read
  uint32_t col_ = 0;        // sheet column of the next cell of that row
  // Handing out: the row, its repeat, the run and the column within the run.
  size_t outRow_ = 0, outRun_ = 0;
  uint64_t outRepeat_ = 0;
  uint32_t outCol_ = 0;

  // The cell being read: its attributes and the text of its paragraphs.
  uint64_t cellRepeat_ = 1;
  std::string valueType_s_, calcType_, value_s_, dateValue_s_, timeValue_s_, boolValue_s_,
      stringValue_s_, text_;
  bool haveStringValue_ = false;
  int paragraphs_ = 0, paragraphDepth_ = -1;
  bool atStart_ = true, lastSpace_ = false;

  const xmlChar *table_ = nullptr, *tableRow_ = nullptr, *tableCell_ = nullptr,
                *coveredCell_ = nullptr, *rowGroup_ = nullptr, *headerRows_ = nullptr,
                *rowsElement_ = nullptr, *spreadsheet_ = nullptr, *p_ = nullptr, *h_ = nullptr,
                *s_ = nullptr, *tab_ = nullptr, *lineBreak_ = nullptr, *annotation_ = nullptr,
                *note_ = nullptr, *rowsRepeated_ = nullptr, *colsRepeated_ = nullptr,
                *valueType_ = nullptr, *value_ = nullptr, *dateValue_ = nullptr,
                *timeValue_ = nullptr, *booleanValue_ = nullptr, *stringValue_ = nullptr,
                *c_ = nullptr;
};

// "2024-01-15" or "2024-01-15T10:11:12[.123]" as an OLE date (snapped to the second);
// nullopt when it is not such a date.
std::optional<double> oleDateFromOdf(std::string_view text);
// "PT10H11M12S" (a duration) as a fraction of a day; nullopt when it is not one.
std::optional<double> daysFromOdfDuration(std::string_view text);

}  // namespace tabulor::ods
