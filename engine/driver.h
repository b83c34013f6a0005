// The driver interface: what every format driver of the engine implements. A driver reads
// a database (a file, or a folder of files) as a list of tables with row cursors, and
// writes a table into a target database through a staged writer. Drivers are registered
// in drivers/registry.cpp and chosen by the ISAM name of a connect string.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "engine/schema.h"
#include "engine/variant.h"

namespace tabulor {

// Attribute bits of a table, with the values of the engine this replaces.
inline constexpr int32_t TableAttrSystem = static_cast<int32_t>(0x80000002);
inline constexpr int32_t TableAttrHidden = 0x00000001;
inline constexpr int32_t TableAttrLinked = 0x40000000;

struct TableDefInfo {
  std::string name;        // as the driver lists it (e.g. "Sheet1$", "orders#csv")
  int32_t attributes = 0;  // 0 for ordinary user tables
  // For drivers whose database is a folder: the file that holds this table (name only,
  // no folder). Lets a conversion keep just the table of the file the user chose.
  std::string fileName;
};

// A forward cursor over the rows of one table.
class RowCursor {
 public:
  virtual ~RowCursor() = default;
  virtual const std::vector<FieldInfo>& fields() const = 0;
  // Fills row (resized to the field count) with the next record; false at the end.
  // Throws EngineError for damaged data, naming file, table and row.
  virtual bool next(std::vector<Variant>& row) = 0;
  // Starts again from the first record.
  virtual void reset() = 0;
};

// An opened source database.
class SourceDatabase {
 public:
  virtual ~SourceDatabase() = default;
  // Lists tables cheaply (without reading every table's rows).
  virtual std::vector<TableDefInfo> tables() = 0;
  // Opens a table by the name tables() gave it (matched without regard to case).
  // Throws EngineError(NotFound) for an unknown name.
  virtual std::unique_ptr<RowCursor> openTable(const std::string& name) = 0;
};

// Writes one table into a target database. Staged: the constructor (through
// Driver::createTable) checks everything it can and creates nothing when that fails;
// appendRow writes; finish completes the output. A writer destroyed without finish()
// removes what it created, so a failed statement never leaves a half-written file that
// looks complete (targets that hold several tables keep their earlier tables intact).
class TableWriter {
 public:
  virtual ~TableWriter() = default;
  virtual void appendRow(const std::vector<Variant>& row) = 0;
  virtual void finish() = 0;
};

struct DriverLimits {
  int64_t maxRows = 0;     // data rows, 0 when unlimited
  int32_t maxColumns = 0;  // 0 when unlimited
};

struct DriverInfo {
  std::vector<std::string> isamNames;  // matched without regard to case; "" = own format
  std::string longName;
  std::vector<std::string> extensions;  // lower case, with the dot
  bool reads = false;
  bool writes = false;
  // True when the writer needs column statistics and the row count before it starts
  // (fixed-width columns, row limits checked up front); costs one extra pass over the source.
  bool writerNeedsStats = false;
  DriverLimits limits;
};

class Driver {
 public:
  virtual ~Driver() = default;
  virtual const DriverInfo& info() const = 0;
  // Opens a database for reading: a file path or a folder, as the driver defines.
  // Throws EngineError when it is not this driver's (cheap signature checks first).
  virtual std::unique_ptr<SourceDatabase> openDatabase(const std::string& name) const;
  // Creates table `table` in target database `database` (a folder or a file, as the
  // driver defines) with the given schema. Throws EngineError (Exists, Limit, Io, ...).
  virtual std::unique_ptr<TableWriter> createTable(const std::string& database,
                                                   const std::string& table,
                                                   const TableSchema& schema) const;
};

}  // namespace tabulor
