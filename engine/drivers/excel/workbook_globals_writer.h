// The workbook globals substream the writer emits: BOF, WRITEACCESS, CODEPAGE (UTF-16),
// WINDOW1, DATEMODE (1900), fonts, the date formats, the XF table (15 style XFs, then the
// cell XFs named in sheet_writer.h), STYLE, one BOUNDSHEET per sheet, SST, EXTSST, EOF.
#pragma once

#include <string>
#include <vector>

#include "engine/drivers/excel/shared_strings_writer.h"

namespace tabulor::excel {

// Builds the globals for sheets named `sheetNames` whose substreams, in order, have the
// byte sizes `sheetSizes` and follow the globals directly in the stream.
std::string buildGlobals(const std::vector<std::string>& sheetNames,
                         const std::vector<size_t>& sheetSizes, const SharedStringsWriter& strings);

}  // namespace tabulor::excel
