// Reading dBase tables: a folder (or a single .dbf) as a source database whose tables are
// its .dbf files, and a cursor that streams the live records of one file as Variants.
#pragma once

#include <memory>
#include <string>

#include "engine/driver.h"

namespace tabulor::dbase {

// Opens `name`: a folder (every .dbf in it is a table) or one .dbf file (that table only).
// Throws EngineError(NotFound) when it is neither.
std::unique_ptr<SourceDatabase> openDbfDatabase(const std::string& name);

// Opens one .dbf file as a cursor. `tableName` names the table in error messages.
// Throws EngineError for a damaged or unsupported header.
std::unique_ptr<RowCursor> openDbfTable(const std::string& path, const std::string& tableName);

}  // namespace tabulor::dbase
