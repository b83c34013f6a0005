// Writing one dBase table: the column plan chosen from the source's types and statistics,
// and the staged writer that streams records into the .dbf (and memos into the .dbt).
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "engine/driver.h"
#include "engine/drivers/dbase/dbf_header.h"

namespace tabulor::dbase {

enum class Dialect { DbaseIII, DbaseIV, Dbase5 };

// How values of one source column are stored.
enum class ColumnKind { Text, Memo, Number, Date, Logical };

struct ColumnPlan {
  DbfField field;  // name, type, length, decimals as written
  ColumnKind kind = ColumnKind::Text;
};

struct TablePlan {
  std::vector<ColumnPlan> columns;
  bool utf8 = false;  // text written as UTF-8 (declared by a .cpg sidecar) instead of cp1252
  bool anyMemo = false;
};

// Field names as dBase takes them: upper case ASCII letters, digits and "_", starting with
// a letter, at most 10 characters, unique.
std::vector<std::string> dbaseFieldNames(const std::vector<FieldInfo>& fields);

// Chooses every column's type and size from its Variant type and its statistics so that
// every value fits unchanged; when the record would pass the dialect's length (4,000 bytes
// in dBASE III and IV, 32,767 in dBASE 5.0) the widest character fields become memos.
// Throws EngineError(Limit) naming the table for what the dialect cannot hold (too many
// fields, a record too long even so).
TablePlan planDbfTable(const TableSchema& schema, Dialect dialect, const std::string& table);

std::unique_ptr<TableWriter> createDbfWriter(const std::string& folder, const std::string& table,
                                             const TableSchema& schema, Dialect dialect);

}  // namespace tabulor::dbase
