// Defaults of the driver interface: a driver that only reads or only writes leaves the
// other side to these, which say so in an EngineError.
#include "engine/driver.h"

#include "engine/engine_error.h"
#include "engine/message_text.h"

namespace tabulor {

std::unique_ptr<SourceDatabase> Driver::openDatabase(const std::string& name) const {
  throw EngineError(ErrorKind::Unsupported,
                    "The " + info().longName + " driver cannot read databases (" + name + ")");
}

std::unique_ptr<TableWriter> Driver::createTable(const std::string& database,
                                                 const std::string& table,
                                                 const TableSchema&) const {
  throw EngineError(ErrorKind::Unsupported, "The " + info().longName +
                                                " driver cannot write tables (" +
                                                clipForMessage(table) + " in " + database + ")");
}

}  // namespace tabulor
