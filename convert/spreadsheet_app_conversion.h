// Conversion of a workbook through the spreadsheet application.
#pragma once

#include <string>

#include "convert/catalogue.h"
#include "convert/conversion_context.h"

namespace tabulor {

// The name the workbook is opened by: the source path without its last four characters when
// they are ".xls" in any letter case, otherwise "". The helper resolves it back to the file.
std::string openNameOf(const std::string& sourcePath);

// Converts a workbook sheet by sheet with the spreadsheet application. Returns 0 to decline
// (the caller then uses the database engine): for FormatMdb, for a path shorter than four
// characters, for formats the application cannot write (dBase IV, dBASE 5.0, Lotus WK1), and
// when the application cannot be started. Otherwise returns 1: the file is done, successfully
// or with an error that was shown through ctx.messages (files saved before it are kept).
int ConvertWithSpreadsheetApp(ConversionContext& ctx, const std::string& sourcePath,
                              const std::string& outputFolder, TargetFormat format);

}  // namespace tabulor
