// The "Text" driver: delimited text files in a folder, read and written. The folder is the
// database, each .txt/.csv/.tab/.asc file one table (text_source.h); writing makes one
// file per table (text_writer.h).
#include "engine/driver.h"
#include "engine/drivers/text/text_source.h"
#include "engine/drivers/text/text_writer.h"

namespace tabulor {

namespace {

class TextDriver : public Driver {
 public:
  const DriverInfo& info() const override {
    static const DriverInfo info = {{"Text"}, "Text", {".txt", ".csv", ".tab", ".asc"}, true,
                                    true, false, {}};
    return info;
  }

  std::unique_ptr<SourceDatabase> openDatabase(const std::string& name) const override {
    return openTextFolder(name);
  }

  std::unique_ptr<TableWriter> createTable(const std::string& database, const std::string& table,
                                           const TableSchema& schema) const override {
    return createTextTable(database, table, schema);
  }
};

}  // namespace

const Driver& textDriver() {
  static const TextDriver driver;
  return driver;
}

}  // namespace tabulor
