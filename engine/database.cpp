// The engine front: opening sources through their driver and running SELECT * INTO.
#include "engine/database.h"

#include "engine/file_names.h"
#include "engine/message_text.h"
#include "engine/registry.h"
#include "engine/statement.h"

namespace tabulor {

namespace {

const Driver& driverFor(const std::string& isam) {
  const Driver* driver = findDriver(isam);
  if (!driver)
    throw EngineError(ErrorKind::NotFound, "Could not find installable ISAM \"" +
                                               clipForMessage(isam) +
                                               "\": no driver of that name is built in");
  return *driver;
}

EngineError cancelled(const std::string& table, int64_t rows) {
  return EngineError(
      ErrorKind::Cancelled,
      "The conversion was cancelled after " + std::to_string(rows) + " rows of the table " + table);
}

}  // namespace

Database::Database() = default;
Database::~Database() = default;

void Database::Open(const std::string& name, bool /*exclusive*/, bool /*readOnly*/,
                    const std::string& connect) {
  Close();
  const Driver& driver = driverFor(connectIsam(connect));
  if (!driver.info().reads)
    throw EngineError(ErrorKind::Unsupported,
                      "The " + driver.info().longName + " driver cannot read " + name);
  source_ = driver.openDatabase(name);
  name_ = name;
}

bool Database::IsOpen() const {
  return source_ != nullptr;
}

void Database::Close() {
  source_.reset();
  name_.clear();
  tables_.clear();
  tablesLoaded_ = false;
}

SourceDatabase& Database::source() {
  if (!source_) throw EngineError(ErrorKind::NotFound, "The database is not open");
  return *source_;
}

void Database::loadTables() {
  if (tablesLoaded_) return;
  tables_ = source().tables();
  tablesLoaded_ = true;
}

int Database::GetTableDefCount() {
  loadTables();
  return static_cast<int>(tables_.size());
}

TableDefInfo Database::GetTableDefInfo(int index) {
  loadTables();
  if (index < 0 || index >= static_cast<int>(tables_.size()))
    throw EngineError(ErrorKind::NotFound,
                      "Table index " + std::to_string(index) + " is out of range in " + name_);
  return tables_[static_cast<size_t>(index)];
}

int64_t Database::Execute(const std::string& statement, int /*options*/) {
  SelectInto stmt = parseSelectInto(statement);
  const Driver& target = driverFor(stmt.isam);
  if (!target.info().writes)
    throw EngineError(ErrorKind::Unsupported,
                      "The " + target.info().longName + " driver cannot write tables");

  std::unique_ptr<RowCursor> cursor = source().openTable(stmt.sourceTable);
  TableSchema schema;
  schema.fields = cursor->fields();
  std::vector<Variant> row;

  if (target.info().writerNeedsStats) {
    // One pass over the source so that the writer can size its columns and check its row
    // limit before it creates anything.
    int64_t rows = 0;
    while (cursor->next(row)) {
      if (progress_ && !progress_->rowsCopied(0)) throw cancelled(stmt.sourceTable, 0);
      for (size_t i = 0; i < row.size() && i < schema.fields.size(); ++i)
        accumulateStats(schema.fields[i].stats, row[i]);
      ++rows;
    }
    schema.rowCount = rows;
    cursor->reset();
  }

  std::unique_ptr<TableWriter> writer = target.createTable(stmt.database, stmt.targetTable, schema);
  int64_t copied = 0;
  while (cursor->next(row)) {
    if (progress_ && !progress_->rowsCopied(copied)) throw cancelled(stmt.sourceTable, copied);
    writer->appendRow(row);
    ++copied;
  }
  if (progress_ && !progress_->rowsCopied(copied)) throw cancelled(stmt.sourceTable, copied);
  // The writer that goes without finish() removes what it wrote.
  writer->finish();
  return copied;
}

void Recordset::Open(const std::string& table) {
  Close();
  cursor_ = db_->source().openTable(table);
  eof_ = !cursor_->next(row_);
}

int Recordset::GetFieldCount() const {
  return cursor_ ? static_cast<int>(cursor_->fields().size()) : 0;
}

FieldInfo Recordset::GetFieldInfo(int index) const {
  if (!cursor_ || index < 0 || index >= GetFieldCount())
    throw EngineError(ErrorKind::NotFound,
                      "Field index " + std::to_string(index) + " is out of range");
  return cursor_->fields()[static_cast<size_t>(index)];
}

Variant Recordset::GetFieldValue(int index) const {
  if (!cursor_ || eof_ || index < 0 || index >= static_cast<int>(row_.size()))
    throw EngineError(ErrorKind::NotFound, "No current record or field " + std::to_string(index));
  return row_[static_cast<size_t>(index)];
}

void Recordset::MoveNext() {
  if (!cursor_ || eof_) throw EngineError(ErrorKind::NotFound, "No current record");
  eof_ = !cursor_->next(row_);
}

void Recordset::Close() {
  cursor_.reset();
  row_.clear();
  eof_ = true;
}

}  // namespace tabulor
