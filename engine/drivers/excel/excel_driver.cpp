// The "Excel 8.0" driver: Excel 97-2003 workbooks (BIFF8 in a compound file) read and
// written; Excel 5.0/95 workbooks (BIFF5/7) read. Reading is in excel_source, writing in
// workbook_writer.
#include "engine/driver.h"
#include "engine/drivers/excel/excel_source.h"
#include "engine/drivers/excel/workbook_writer.h"

namespace tabulor {

namespace {

class ExcelDriver : public Driver {
 public:
  const DriverInfo& info() const override {
    static const DriverInfo info = {{"Excel 8.0"},
                                    "Excel 8.0",
                                    {".xls"},
                                    true,
                                    true,
                                    false,
                                    {excel::MaxDataRows, excel::MaxSheetColumns}};
    return info;
  }
  std::unique_ptr<SourceDatabase> openDatabase(const std::string& name) const override {
    return excel::openWorkbookSource(name);
  }
  std::unique_ptr<TableWriter> createTable(const std::string& database, const std::string& table,
                                           const TableSchema& schema) const override {
    return excel::createSheetWriter(database, table, schema);
  }
};

}  // namespace

const Driver& excelDriver() {
  static const ExcelDriver driver;
  return driver;
}

}  // namespace tabulor
