// The writing side of the OpenDocument spreadsheet driver: one statement writes one table
// into a zip made with libgsf, content.xml streamed as the rows come. The file is written
// under a temporary name and renamed into place when the statement finishes; a later
// statement of the same conversion adds its table by copying the earlier content.xml up to
// its foot and appending the new table.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "engine/driver.h"

namespace tabulor::ods {

// What LibreOffice 7.4 opens: 1,048,576 rows (the header row and 1,048,575 records) and
// 16,384 columns.
inline constexpr int64_t MaxDataRows = 1048575;
inline constexpr int32_t MaxColumns = 16384;

// The generator this writer names in meta.xml; a spreadsheet that carries it can have
// tables added.
inline constexpr const char* Generator = "Tabulor/2.6";

// Creates table `table` (mended to a valid sheet name) in spreadsheet `database`. Checks
// first, creating nothing when a check fails: EngineError(Limit) for more than 16,384
// fields or a known row count beyond 1,048,575; EngineError(Io) when the folder cannot be
// written; EngineError(Exists) when `database` exists and is not a spreadsheet this driver
// wrote.
std::unique_ptr<TableWriter> createOdsTableWriter(const std::string& database,
                                                  const std::string& table,
                                                  const TableSchema& schema);

}  // namespace tabulor::ods
