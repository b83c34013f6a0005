// The driver of the engine's own format, Jet 4 databases (.mdb): chosen by the empty ISAM
// name. Reading goes through libmdb in a helper process (jet_source.h); writing adds tables
// to a database made from Blank.mdb with the project's own Jet 4 writer (jet_writer.h).
#include "engine/driver.h"
#include "engine/drivers/jet/jet_source.h"
#include "engine/drivers/jet/jet_writer.h"

namespace tabulor {

namespace {

class JetDriver : public Driver {
 public:
  const DriverInfo& info() const override {
    // The writer sizes Text columns (or chooses Memo) from the longest value, and switches
    // a column whose values do not all fit its type to text, so it asks for statistics.
    static const DriverInfo info = {{""},    "Microsoft Jet Database", {".mdb"}, true, true, true,
                                    {0, 255}};
    return info;
  }
  std::unique_ptr<SourceDatabase> openDatabase(const std::string& name) const override {
    return jet::openJetSource(name);
  }
  std::unique_ptr<TableWriter> createTable(const std::string& database, const std::string& table,
                                           const TableSchema& schema) const override {
    return jet::createJetTable(database, table, schema);
  }
};

}  // namespace

const Driver& jetDriver() {
  static const JetDriver driver;
  return driver;
}

}  // namespace tabulor
