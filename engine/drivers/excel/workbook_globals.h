// The workbook globals substream as the reader sees it: BIFF version, date system, code
// page (BIFF5/7), the sheet list with each sheet's stream offset, defined names, the
// shared string table and the cell formats. Parsing stops at the globals' EOF.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/drivers/excel/cell_formats.h"

namespace tabulor::excel {

struct SheetEntry {
  std::string name;
  uint32_t offset = 0;     // stream offset of the sheet's BOF record
  uint8_t visibility = 0;  // 0 visible, 1 hidden, 2 very hidden
  uint8_t type = 0;        // 0 worksheet, 1 macro sheet, 2 chart, 6 VB module
};

struct DefinedName {
  std::string name;
  int sheetIndex = 0;  // 1-based sheet of a sheet-local name, 0 for a workbook name
};

struct WorkbookGlobals {
  int biff = 8;  // 8 for Excel 97-2003, 5 for Excel 5.0/95
  bool date1904 = false;
  const char* codePage = "CP1252";  // iconv name of the 8-bit strings of BIFF5/7
  std::vector<SheetEntry> sheets;
  std::vector<DefinedName> names;
  std::vector<std::string> sharedStrings;
  uint32_t sharedStringRefs = 0;  // total count the SST header gives
  CellFormats formats;
  std::string writeAccess;  // the user name of the WRITEACCESS record, trimmed
  size_t globalsEnd = 0;    // stream offset just past the globals' EOF
};

// Parses the globals of a workbook stream. Throws EngineError naming `fileName`:
// Unsupported for encrypted workbooks and versions before BIFF5, BadInput for streams that
// do not begin with a workbook BOF or are cut short.
WorkbookGlobals parseGlobals(std::string_view stream, const std::string& fileName);

// The iconv name of a Windows code page number of a CODEPAGE record.
const char* codePageName(uint16_t codePage);

// Decodes an 8-bit BIFF5 string in the workbook's code page.
std::string decode8Bit(std::string_view bytes, const char* codePage);

}  // namespace tabulor::excel
