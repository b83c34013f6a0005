// Which cell formats of an .xlsx workbook show dates or times: SpreadsheetML keeps dates as
// plain numbers, and only the number format of a cell's style tells them apart.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/drivers/workbook/zip_package.h"

namespace tabulor::xlsx {

// Per cell style (the "s" attribute of a cell, an index into cellXfs): true for date and
// time formats. Empty when the workbook has no styles part. Throws EngineError(BadInput)
// for a damaged part.
std::vector<bool> readDateStyles(const workbook::ZipPackage& package, const std::string& partPath);

}  // namespace tabulor::xlsx
