// The "Text" driver: delimited text files in a folder, read and written. The folder is the
// database, each .txt/.csv/.tab/.asc file one table (text_source.h); writing makes one
// file per table (text_writer.h).
//
// Choices that keep data intact: a value gets a type only when writing it back gives the
// same text, zeros ending a fraction aside (value_text.h), so "08123", "1e5" and
// US/European dates stay text while "12.50" is the number 12.5;
// a quoted field that never closes, or a record with more non-empty fields than the table,
// ends the read with an error naming file and row rather than merging or dropping rows;
// files are written as UTF-8 without a byte-order mark, with CR LF record ends (RFC 4180).
#include "engine/driver.h"
#include "engine/drivers/text/text_source.h"
#include "engine/drivers/text/text_writer.h"

namespace tabulor {

namespace {

class TextDriver : public Driver {
 public:
  const DriverInfo& info() const override {
    static const DriverInfo info = {{"Text"}, "Text", {".txt", ".csv", ".tab", ".asc"}, true, true,
                                    false,    {}};
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
