// Reading one worksheet substream as a table: a first walk finds the used range (the
// bounding box of the cells that hold values) and whether the cell records come row by
// row; the first used row gives the field names and the next rows the types; then rows
// are streamed out of the records. Sheets whose records are out of row order (allowed,
// rare) are read through an index of their records sorted by row.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "engine/driver.h"
#include "engine/drivers/excel/cell_value.h"
#include "engine/drivers/excel/compound_file.h"
#include "engine/drivers/excel/workbook_globals.h"

namespace tabulor::excel {

// A workbook read into memory: its stream and parsed globals, shared by the cursors of one
// opened database. The whole workbook stream is held (about the size of the file): the
// compound file scatters it over sectors, and sheets are read at their stream offsets,
// each cursor streaming rows out of it without copying the cells.
struct Workbook {
  std::string path;
  WorkbookStream stream;
  WorkbookGlobals globals;
};

// Opens a workbook file (or bytes already read, for the fuzz target). Throws EngineError.
std::shared_ptr<Workbook> loadWorkbook(const std::string& path);
std::shared_ptr<Workbook> loadWorkbookFromMemory(std::string_view bytes, const std::string& name);
// A bare workbook stream, without its container (the fuzz target's way to the records).
std::shared_ptr<Workbook> loadWorkbookFromStream(std::string stream, const std::string& name);

// The byte range of a sheet's substream, from its BOF to just past its EOF. Throws
// EngineError(BadInput) when the sheet's offset does not point at a worksheet BOF or the
// substream has no EOF.
struct SheetSpan {
  size_t begin = 0, end = 0;
};
SheetSpan sheetSpan(const Workbook& book, size_t sheetIndex);

// Opens sheet `sheetIndex` (an index into globals.sheets) as a row cursor; `tableName` is
// used in messages. Throws EngineError.
std::unique_ptr<RowCursor> openSheet(std::shared_ptr<const Workbook> book, size_t sheetIndex,
                                     const std::string& tableName);

}  // namespace tabulor::excel
