// The spreadsheet-application path. No application is driven yet: creating it fails, so
// every workbook is declined and goes to the database engine.
#include "convert/spreadsheet_app_conversion.h"

namespace tabulor {

int ConvertWithSpreadsheetApp(ConversionContext&, const std::string&, const std::string&,
                              TargetFormat) {
  return 0;
}

}  // namespace tabulor
