// The reading side of the xlsx driver: a workbook opened as a database whose tables are its
// worksheets, listed as the Excel 8.0 driver lists them ("Sheet1$", "'My Sheet$'"), and its
// defined names, listed without "$" so that conversions pass them by.
#pragma once

#include <memory>
#include <string>

#include "engine/driver.h"

namespace tabulor::xlsx {

// Opens the workbook at `path`; only the relationships and the workbook part are read
// here. Throws EngineError naming the file.
std::unique_ptr<SourceDatabase> openXlsxSource(const std::string& path);
// The same for bytes in memory (the fuzz target).
std::unique_ptr<SourceDatabase> openXlsxSourceFromMemory(std::string bytes,
                                                         const std::string& name);

}  // namespace tabulor::xlsx
