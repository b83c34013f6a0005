// Writing side of the Jet driver: adds one table to an existing Jet 4 database (a copy of
// Blank.mdb). The table's pages are appended to the file; the catalogue row, the
// catalogue's row count and the free-page map are updated only when the table is complete,
// so every statement leaves a valid database, and a failed one cuts the file back.
#pragma once

#include <memory>
#include <string>

#include "engine/driver.h"

namespace tabulor::jet {

// Checks `database` (must exist and be a Jet 4 file), the table name (EngineError(Exists)
// when taken) and the schema, then returns the writer. Creates nothing when it throws.
std::unique_ptr<TableWriter> createJetTable(const std::string& database, const std::string& table,
                                            const TableSchema& schema);

}  // namespace tabulor::jet
