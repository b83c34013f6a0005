// The parts of an .xlsx package that say what the workbook holds: the package
// relationships lead to the workbook part, whose relationships lead to the worksheets, the
// shared strings and the styles; the workbook part lists the sheets in order with their
// names, the date system, and the defined names (which are never sheets).
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "engine/drivers/workbook/zip_package.h"

namespace tabulor::xlsx {

struct SheetPart {
  std::string name;
  std::string partPath;   // "" when the sheet's relationship is missing
  bool worksheet = true;  // false for chart, dialog and macro sheets (not tables)
};

struct DefinedNameEntry {
  std::string name;
  int localSheet = -1;  // index into sheets, or -1 for a name of the whole workbook
};

struct WorkbookParts {
  std::string workbookPath;  // "xl/workbook.xml"
  std::vector<SheetPart> sheets;
  std::vector<DefinedNameEntry> names;
  bool date1904 = false;
  std::string sharedStringsPath, stylesPath;  // "" when the workbook has none
};

// Reads the relationships and the workbook part. Throws EngineError(BadInput) naming the
// file when the workbook part is missing or damaged, or when the package is another kind
// of document (an OpenDocument file, a Word document).
WorkbookParts readWorkbookParts(const workbook::ZipPackage& package);

}  // namespace tabulor::xlsx
