// The "Excel 12.0 Xml" driver: Excel 2007 and later workbooks (.xlsx, SpreadsheetML in a
// zip package) read and written. Reading is in xlsx_source, writing in xlsx_writer.
#include "engine/driver.h"
#include "engine/drivers/xlsx/xlsx_source.h"
#include "engine/drivers/xlsx/xlsx_writer.h"

namespace tabulor {

namespace {

class XlsxDriver : public Driver {
 public:
  const DriverInfo& info() const override {
    static const DriverInfo info = {{"Excel 12.0 Xml"},
                                    "Excel 12.0 Xml",
                                    {".xlsx"},
                                    true,
                                    true,
                                    false,
                                    {xlsx::MaxDataRows, xlsx::MaxColumns}};
    return info;
  }
  std::unique_ptr<SourceDatabase> openDatabase(const std::string& name) const override {
    return xlsx::openXlsxSource(name);
  }
  std::unique_ptr<TableWriter> createTable(const std::string& database, const std::string& table,
                                           const TableSchema& schema) const override {
    return xlsx::createXlsxSheetWriter(database, table, schema);
  }
};

}  // namespace

const Driver& xlsxDriver() {
  static const XlsxDriver driver;
  return driver;
}

}  // namespace tabulor
