// Conversion of a workbook through the spreadsheet application.
#pragma once

#include <string>

#include "convert/catalogue.h"
#include "convert/conversion_context.h"

namespace tabulor {

// Converts a workbook sheet by sheet with the spreadsheet application. Returns 0 to decline
// (the caller then uses the database engine), 1 when the file is done, successfully or with
// an error that was shown through ctx.messages.
int ConvertWithSpreadsheetApp(ConversionContext& ctx, const std::string& sourcePath,
                              const std::string& outputFolder, TargetFormat format);

}  // namespace tabulor
