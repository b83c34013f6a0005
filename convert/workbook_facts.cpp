// The engine's reading of a workbook for the spreadsheet path: the globals through the
// Excel driver's parser, then one walk over each sheet's records for the cells that hold a
// formula's stored result or an error or boolean constant.
#include "convert/workbook_facts.h"

#include <cstdio>

#include "engine/drivers/excel/biff_records.h"
#include "engine/drivers/excel/cell_value.h"
#include "engine/drivers/excel/sheet_reader.h"
#include "engine/drivers/excel/workbook_globals.h"
#include "engine/engine_error.h"

namespace tabulor {

using namespace excel;

namespace {

constexpr uint16_t ShrFmla = 0x04BC, ArrayRec = 0x0221, TableRec = 0x0236;
constexpr uint8_t SheetWorksheet = 0, SheetMacro = 1, SheetChart = 2;

std::string numberValue(double number) {
  char text[32];
  std::snprintf(text, sizeof text, "n%.17g", number);
  return text;
}

// An error as the office can show it; codes it has no error for keep the reader's text.
std::string errorValue(uint8_t code) {
  switch (code) {
    case 0x00:
    case 0x07:
    case 0x0F:
    case 0x17:
    case 0x1D:
    case 0x24:
    case 0x2A:
      return "e" + std::to_string(code);
    default:
      return "s" + errorText(code);
  }
}

class SheetWalk {
 public:
  SheetWalk(const Workbook& book, const SheetEntry& sheet) : book_(book), sheet_(sheet) {}

  std::vector<StoredCell> storedCells() {
    std::vector<StoredCell> cells;
    const std::string_view stream = book_.stream.bytes;
    RecordWalker walker(stream, sheet_.offset);
    Record r;
    if (sheet_.offset < book_.globals.globalsEnd || !walker.next(r) || r.type != rec::Bof)
      throw bad("the sheet's position in the workbook stream does not hold its records");
    if (sheet_.type == SheetChart) return cells;
    int depth = 0;
    while (walker.next(r)) {
      if (r.type == rec::Bof) {
        ++depth;
        continue;
      }
      if (r.type == rec::Eof) {
        if (depth-- == 0) return cells;
        continue;
      }
      if (depth != 0 || r.data.size() < 6) continue;
      const char* d = r.data.data();
      const size_t n = r.data.size();
      StoredCell cell{u16At(d), u16At(d + 2), {}};
      if (r.type == rec::BoolErr) {
        if (n < 8) throw bad("a BOOLERR record is cut short");
        cell.value = d[7] ? errorValue(static_cast<uint8_t>(d[6])) : (d[6] ? "b1" : "b0");
      } else if (r.type == rec::Formula) {
        if (n < 14) throw bad("a FORMULA record is cut short");
        if (u16At(d + 12) != 0xFFFF) {
          cell.value = numberValue(f64At(d + 6));
        } else {
          switch (static_cast<uint8_t>(d[6])) {
            case 0:  // text, in the STRING record after the formula's own records
              cell.value = "s" + formulaText(walker);
              break;
            case 1:
              cell.value = d[8] ? "b1" : "b0";
              break;
            case 2:
              cell.value = errorValue(static_cast<uint8_t>(d[8]));
              break;
            default:  // 3: an empty text
              cell.value = "s";
              break;
          }
        }
      } else {
        continue;
      }
      cells.push_back(std::move(cell));
    }
    throw bad("the sheet's records are cut short");
  }

 private:
  EngineError bad(const std::string& why) const {
    return EngineError(ErrorKind::BadInput,
                       book_.path + ", sheet " + sheet_.name + ": " + why + " (damaged file)");
  }

  std::string formulaText(RecordWalker& walker) {
    while (walker.peekType() == ShrFmla || walker.peekType() == ArrayRec ||
           walker.peekType() == TableRec) {
      Record skip;
      walker.next(skip);
    }
    if (walker.peekType() != rec::String) return {};
    Record s;
    walker.next(s);
    if (book_.globals.biff == 8) {
      ContinuedReader reader(s.data, &walker);
      std::string text = reader.unicodeString(true);
      if (!reader.ok()) throw bad("a formula's text result is cut short");
      return text;
    }
    if (s.data.size() < 2 || 2 + u16At(s.data.data()) > s.data.size())
      throw bad("a formula's text result is cut short");
    return decode8Bit(s.data.substr(2, u16At(s.data.data())), book_.globals.codePage);
  }

  const Workbook& book_;
  const SheetEntry& sheet_;
};

}  // namespace

WorkbookFacts readWorkbookFacts(const std::string& path) {
  std::shared_ptr<Workbook> book = loadWorkbook(path);
  WorkbookFacts facts;
  for (const SheetEntry& sheet : book->globals.sheets) {
    if (sheet.type != SheetWorksheet && sheet.type != SheetMacro && sheet.type != SheetChart)
      continue;
    facts.sheetNames.push_back(sheet.name);
    facts.storedCells.push_back(SheetWalk(*book, sheet).storedCells());
  }
  return facts;
}

}  // namespace tabulor
