// The checks a zipped-workbook writer makes before its file exists, so that a table too
// large for a sheet, or a folder that cannot be written, fails without leaving anything.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "engine/driver.h"

namespace tabulor::workbook {

// Throws a Limit error naming `table` and the file of `path` when `schema` has more than
// `maxColumns` fields or more than `maxRecords` records (a sheet holds one row more, for the
// header); `sheet` names the sheet in the message ("an Excel sheet"). Throws an Io error
// when the folder of `path` is missing or cannot be written.
void checkTableFitsSheet(const std::string& path, const std::string& table,
                         const TableSchema& schema, int64_t maxRecords, int32_t maxColumns,
                         std::string_view sheet);

}  // namespace tabulor::workbook
