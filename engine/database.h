// Database and Recordset: the engine's front, shaped after the data-access classes the
// conversion code was written against. A Database is opened on a source with a connect
// string, lists its tables, and runs SELECT * INTO statements that copy a table into a
// target driver; a Recordset walks the rows of one table.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/driver.h"
#include "engine/engine_error.h"
#include "engine/variant.h"

namespace tabulor {

// Execute option: fail the statement on any error (the only mode the engine has).
inline constexpr int dbFailOnError = 128;

// What Execute tells its owner while it copies rows, and how the owner stops it. Called on
// the thread that runs the statement, once per row: keep it cheap.
class RowProgress {
 public:
  virtual ~RowProgress() = default;
  // `rows` rows of the running statement are written. Returning false ends the statement
  // at this row boundary with EngineError(Cancelled), exactly as a failing statement ends:
  // the table being written is removed.
  virtual bool rowsCopied(int64_t rows) = 0;
};

class Database {
 public:
  Database();
  ~Database();
  Database(const Database&) = delete;
  Database& operator=(const Database&) = delete;

  // Opens `name` (a file or a folder) with the driver named by the connect string's ISAM
  // name. Throws EngineError when the driver is unknown or refuses the source. The engine
  // never writes to a source, so `exclusive` and `readOnly` are accepted and recorded only.
  void Open(const std::string& name, bool exclusive, bool readOnly, const std::string& connect);
  bool IsOpen() const;
  void Close();

  int GetTableDefCount();
  TableDefInfo GetTableDefInfo(int index);

  // Runs a SELECT * INTO statement whose source table belongs to this database.
  // Returns the number of records copied. Throws EngineError; EngineError(Cancelled) when
  // the row progress asked it to stop.
  int64_t Execute(const std::string& statement, int options = dbFailOnError);

  // Who hears of the rows Execute copies and may stop it; nullptr (the default) for nobody.
  // Not owned.
  void setRowProgress(RowProgress* progress) { progress_ = progress; }
  RowProgress* rowProgress() const { return progress_; }

  // The opened source, for Recordset.
  SourceDatabase& source();
  const std::string& name() const { return name_; }

 private:
  void loadTables();

  std::unique_ptr<SourceDatabase> source_;
  std::string name_;
  std::vector<TableDefInfo> tables_;
  bool tablesLoaded_ = false;
  RowProgress* progress_ = nullptr;
};

class Recordset {
 public:
  explicit Recordset(Database* db) : db_(db) {}

  // Opens a table-type recordset on `table`. Throws EngineError.
  void Open(const std::string& table);
  bool IsOpen() const { return cursor_ != nullptr; }
  int GetFieldCount() const;
  FieldInfo GetFieldInfo(int index) const;
  bool IsEOF() const { return eof_; }
  Variant GetFieldValue(int index) const;
  void MoveNext();
  void Close();

 private:
  Database* db_;
  std::unique_ptr<RowCursor> cursor_;
  std::vector<Variant> row_;
  bool eof_ = true;
};

}  // namespace tabulor
