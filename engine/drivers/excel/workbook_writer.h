// The writing side of the "Excel 8.0" driver: one statement writes one sheet. The first
// statement of a conversion creates the workbook; each later one adds its sheet by writing
// the whole workbook again (the sheets written before are copied record for record, their
// strings kept at the same places of the shared string table) and renaming it into place,
// so the file on disk is a complete workbook after every statement.
#pragma once

#include <memory>
#include <string>

#include "engine/driver.h"
#include "engine/drivers/excel/sheet_writer.h"

namespace tabulor::excel {

// The user name this writer puts into its workbooks' WRITEACCESS record; a workbook that
// carries it can have sheets added.
inline constexpr const char* WriterName = "Tabulor";

// Creates sheet `table` (mended to Excel's naming rules) in workbook `database`. Checks
// first, creating nothing when a check fails: EngineError(Limit) for more than 256 fields
// or a known row count beyond 65,535; EngineError(Io) when the folder cannot be written;
// EngineError(Exists) when `database` exists and is not a workbook this driver wrote.
std::unique_ptr<TableWriter> createSheetWriter(const std::string& database,
                                               const std::string& table, const TableSchema& schema);

}  // namespace tabulor::excel
