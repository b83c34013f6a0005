// Helpers of the Jet driver tests: reading a table whole through the engine, writing one
// into a copy of Blank.mdb, and the text mdb-export prints for a value.
#pragma once

#include <string>
#include <vector>

#include "engine/database.h"
#include "engine/schema.h"
#include "engine/variant.h"

namespace tabulor::test {

struct TableData {
  std::vector<FieldInfo> fields;
  std::vector<std::vector<Variant>> rows;
};

// Opens `path` with the empty connect string and reads table `table` whole.
TableData readJetTable(const std::string& path, const std::string& table);
// Names and attribute bits of every table the engine lists.
std::vector<TableDefInfo> listJetTables(const std::string& path);

// The Blank.mdb made by the build.
std::string blankMdbPath();
// Copies Blank.mdb to `path`.
void copyBlank(const std::string& path);

// Adds table `table` with `fields` and `rows` to `database` through the Jet driver, with the
// statistics pass the engine runs.
void writeJetTable(const std::string& database, const std::string& table,
                   const std::vector<FieldInfo>& fields,
                   const std::vector<std::vector<Variant>>& rows);

// The value as `mdb-export -D '%Y-%m-%d %H:%M:%S' -B -b strip` prints it (without quotes).
std::string mdbExportText(const Variant& v);

// Runs a command with a shell; returns stdout; fails the test on a non-zero exit.
std::string commandOutput(const std::string& command);
std::string shellQuote(const std::string& s);

}  // namespace tabulor::test
