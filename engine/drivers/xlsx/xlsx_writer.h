// The writing side of the xlsx driver: one statement writes one sheet, through
// libxlsxwriter in its constant-memory mode (each row goes to a temporary file as it is
// written). The workbook is written under a temporary name and renamed into place when the
// statement finishes; a later statement of the same conversion adds its sheet by writing
// the workbook again, copying the cells of the sheets written before.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "engine/driver.h"

namespace tabulor::xlsx {

// What a sheet of Excel 2007 and later holds: 1,048,576 rows (the header row and
// 1,048,575 records), 16,384 columns, 32,767 characters in a cell.
inline constexpr int64_t MaxDataRows = 1048575;
inline constexpr int32_t MaxColumns = 16384;
inline constexpr size_t MaxCellChars = 32767;

// The author this writer puts into its workbooks' properties; a workbook that carries it
// can have sheets added.
inline constexpr const char* WriterName = "Tabulor";

// Creates sheet `table` (mended to Excel's naming rules) in workbook `database`. Checks
// first, creating nothing when a check fails: EngineError(Limit) for more than 16,384
// fields or a known row count beyond 1,048,575; EngineError(Io) when the folder cannot be
// written; EngineError(Exists) when `database` exists and is not a workbook this driver
// wrote.
std::unique_ptr<TableWriter> createXlsxSheetWriter(const std::string& database,
                                                   const std::string& table,
                                                   const TableSchema& schema);

}  // namespace tabulor::xlsx
