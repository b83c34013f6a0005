// The reading side of the "Excel 8.0" driver: a workbook opened as a database whose
// tables are its worksheets ("Sheet1$", "'My Sheet$'") and its defined names.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "engine/driver.h"

namespace tabulor::excel {

// Opens a workbook file. Throws EngineError (see readWorkbookStream and parseGlobals).
std::unique_ptr<SourceDatabase> openWorkbookSource(const std::string& path);
// The same for bytes in memory (the fuzz target).
std::unique_ptr<SourceDatabase> openWorkbookSourceFromMemory(std::string_view bytes,
                                                             const std::string& name);

// A bare workbook stream (the fuzz target).
std::unique_ptr<SourceDatabase> openWorkbookSourceFromStream(std::string stream,
                                                             const std::string& name);

// The name a worksheet is listed under: its name and "$", in apostrophes when the name
// holds a blank.
std::string listedSheetName(const std::string& sheetName);

}  // namespace tabulor::excel
