// The "OpenDocument Spreadsheet" driver: .ods files (content.xml in a zip package) read and
// written. Reading is in ods_source, writing in ods_writer.
#include "engine/driver.h"
#include "engine/drivers/ods/ods_source.h"
#include "engine/drivers/ods/ods_writer.h"

namespace tabulor {

namespace {

class OdsDriver : public Driver {
 public:
  const DriverInfo& info() const override {
    static const DriverInfo info = {
        {"OpenDocument Spreadsheet"},       "OpenDocument Spreadsheet", {".ods"}, true, true, false,
        {ods::MaxDataRows, ods::MaxColumns}};
    return info;
  }
  std::unique_ptr<SourceDatabase> openDatabase(const std::string& name) const override {
    return ods::openOdsSource(name);
  }
  std::unique_ptr<TableWriter> createTable(const std::string& database, const std::string& table,
                                           const TableSchema& schema) const override {
    return ods::createOdsTableWriter(database, table, schema);
  }
};

}  // namespace

const Driver& odsDriver() {
  static const OdsDriver driver;
  return driver;
}

}  // namespace tabulor
