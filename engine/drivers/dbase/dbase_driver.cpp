// The "dBASE III", "dBASE IV" and "dBASE 5.0" drivers. All three read every dBase and
// FoxPro table of a folder; they differ in what they write: the version byte, the memo
// layout and the field and width limits of their dialect.
#include "engine/driver.h"
#include "engine/drivers/dbase/dbf_reader.h"
#include "engine/drivers/dbase/dbf_writer.h"

namespace tabulor {

namespace {

class DbaseDriver : public Driver {
 public:
  DbaseDriver(dbase::Dialect dialect, const char* isam, const char* longName, int32_t maxColumns)
      : dialect_(dialect), info_{{isam}, longName, {".dbf"}, true, true, true, {0, maxColumns}} {}

  const DriverInfo& info() const override { return info_; }

  std::unique_ptr<SourceDatabase> openDatabase(const std::string& name) const override {
    return dbase::openDbfDatabase(name);
  }

  std::unique_ptr<TableWriter> createTable(const std::string& database, const std::string& table,
                                           const TableSchema& schema) const override {
    return dbase::createDbfWriter(database, table, schema, dialect_);
  }

 private:
  dbase::Dialect dialect_;
  DriverInfo info_;
};

}  // namespace

const Driver& dbase3Driver() {
  static const DbaseDriver driver(dbase::Dialect::DbaseIII, "dBASE III", "dBASE III", 128);
  return driver;
}

const Driver& dbase4Driver() {
  static const DbaseDriver driver(dbase::Dialect::DbaseIV, "dBASE IV", "dBASE IV", 255);
  return driver;
}

const Driver& dbase5Driver() {
  static const DbaseDriver driver(dbase::Dialect::Dbase5, "dBASE 5.0", "dBASE 5.0", 255);
  return driver;
}

}  // namespace tabulor
