// Conversion of a workbook through the spreadsheet application.
#pragma once

#include <string>

#include "convert/catalogue.h"
#include "convert/conversion_context.h"

namespace tabulor {

// The name the workbook is opened by: the source path without its last four characters when
// they are ".xls" in any letter case, otherwise "". The helper resolves it back to the file.
std::string openNameOf(const std::string& sourcePath);

// Converts a workbook sheet by sheet with the spreadsheet application of ctx.office (or one
// of its own when the context has none). Returns 0 to decline (the caller then uses the
// database engine): for FormatMdb, for a path shorter than four characters, for formats the
// application cannot write with the workbook's values (the dBase formats, Lotus WK1), with
// ctx.useOffice false, when the application is absent or cannot be started, and when it
// cannot give the workbook's own values: the engine cannot read the file, the application
// lists other sheets than the file holds, or a formula has no stored result. Otherwise
// returns 1: the file is done, successfully, skipped through ctx.listener (an output would
// replace a source of the run), or with an error that was shown through ctx.messages
// (whole files saved before it are kept). Throws EngineError when the output folder cannot
// be written.
int ConvertWithSpreadsheetApp(ConversionContext& ctx, const std::string& sourcePath,
                              const std::string& outputFolder, TargetFormat format);

}  // namespace tabulor
