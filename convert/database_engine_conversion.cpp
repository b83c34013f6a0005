// The database-engine conversion of one source file, step by step.
#include "convert/database_engine_conversion.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <optional>
#include <set>
#include <vector>

#include "convert/run_plan.h"
#include "engine/engine_error.h"
#include "engine/file_names.h"
#include "engine/ini_file.h"
#include "engine/staging.h"

namespace tabulor {

namespace {
constexpr const char* SchemaIni = "schema.ini";
}  // namespace

std::optional<std::string> keptTableName(const TableDefInfo& table, SourceKind kind) {
  std::string name = table.name;
  if (isWorkbookSource(kind)) {
    size_t first = name.find_first_not_of('\'');
    name.erase(0, first == std::string::npos ? name.size() : first);
  }
  while (!name.empty() && name.back() == '\'') name.pop_back();
  if (table.attributes != 0 || name.empty()) return std::nullopt;
  if (isWorkbookSource(kind)) {
    if (name.back() != '$') return std::nullopt;
    name.pop_back();
  }
  return name;
}

namespace {

// The tables of an opened source that the conversion keeps, cleaned. For the kinds whose
// database is a folder, only the table of the chosen file is kept: converting one ticked
// file must not convert its neighbours too.
std::vector<std::string> keptTables(Database& db, SourceKind kind, const std::string& sourcePath,
                                    bool opensFolder) {
  std::vector<TableDefInfo> listed;
  int count = db.GetTableDefCount();
  for (int index = 0; index < count; ++index) listed.push_back(db.GetTableDefInfo(index));

  if (opensFolder) {
    std::string_view chosen = fileNameOf(sourcePath);
    std::vector<TableDefInfo> own;
    for (const auto& t : listed)
      if (t.fileName == chosen) own.push_back(t);
    if (own.empty())
      for (const auto& t : listed)
        if (equalsNoCase(t.fileName, chosen)) own.push_back(t);
    listed = own;
  }

  std::vector<std::string> kept;
  for (const auto& t : listed)
    if (auto name = keptTableName(t, kind)) kept.push_back(*name);
  return kept;
}

std::string inQuotes(const std::string& name) {
  return "\"" + name + "\"";
}

int skip(ConversionContext& ctx, const std::string& sourcePath, const std::string& reason) {
  ctx.database->Close();
  if (ctx.listener) ctx.listener->fileSkipped(sourcePath, reason);
  return 0;
}

void notice(ConversionContext& ctx, const std::string& sourcePath, const std::string& text) {
  if (ctx.listener) ctx.listener->notice(sourcePath, text);
}

// One table of the source and where it goes: the table it is written as (for a workbook or
// database target) and the output file's name.
struct PlannedTable {
  std::string source, target, fileName;
};

// Names every kept table's output. Output names within one source stay distinct: a later
// table whose output would be an earlier table's gets "_2", "_3", ... (on its name in a
// workbook or database target, on its file name otherwise). A table listed twice under one
// name can be read only once: the later one is left out.
std::vector<PlannedTable> planTables(ConversionContext& ctx, const std::string& sourcePath,
                                     const std::vector<std::string>& tables, TargetFormat format) {
  const std::string base = baseName(sourcePath);
  const bool several = tables.size() > 1;
  const bool oneFile = isOneFilePerSource(format);

  std::set<std::string> sourceNames, used;  // sheet and table names compared in lower case
  std::vector<PlannedTable> planned;
  for (const std::string& table : tables) {
    if (!sourceNames.insert(toLowerAscii(table)).second) {
      notice(ctx, sourcePath,
             "the table " + inQuotes(table) +
                 " is listed twice; only the first of that name was converted");
      continue;
    }
    PlannedTable plan{table, table, perTableOutputName(format, base, "", false)};
    bool renamed = false;
    if (oneFile) {
      for (int n = 2; used.count(toLowerAscii(plan.target)); ++n)
        plan.target = table + "_" + std::to_string(n);
      used.insert(toLowerAscii(plan.target));
      renamed = plan.target != table;
    } else {
      const std::string first = safeFileName(perTableOutputName(format, base, table, several));
      plan.fileName = first;
      for (int n = 2; used.count(plan.fileName); ++n) plan.fileName = numberedFileName(first, n);
      used.insert(plan.fileName);
      plan.target = plan.fileName;
      renamed = plan.fileName != first;
    }
    if (renamed)
      notice(ctx, sourcePath,
             "the table " + inQuotes(table) + " was written as " +
                 (oneFile ? inQuotes(plan.target) : plan.fileName) +
                 ": its own name gives the same output as an earlier table's");
    planned.push_back(std::move(plan));
  }
  return planned;
}

// Moves the finished files of the staging folder into the output folder, each claimed for
// this source first. A file that may not be written there is dropped with a notice.
void publish(ConversionContext& ctx, RunPlan& plan, RunPlan::Claim& claim,
             const std::string& sourcePath, const StagingFolder& staging,
             const std::string& outputFolder) {
  std::error_code ec;
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(staging.path(), ec))
    if (entry.is_regular_file(ec)) names.push_back(entry.path().filename().string());
  for (const std::string& name : names) {
    if (name == SchemaIni || isStagingName(name)) continue;
    const std::string staged = joinPath(staging.path(), name);
    const std::string destination = joinPath(outputFolder, name);
    try {
      plan.extend(claim, sourcePath, destination);
    } catch (const EngineError& e) {
      ::unlink(staged.c_str());
      notice(ctx, sourcePath, destination + " was not written: " + e.description());
      continue;
    }
    if (::rename(staged.c_str(), destination.c_str()) != 0)
      throw EngineError(ErrorKind::Io, "Cannot write " + destination + ": " + systemReason(errno));
  }
}

std::string replacedAll(std::string text, const std::string& from, const std::string& to) {
  for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
    text.replace(at, from.size(), to);
  return text;
}

// Hands the rows a statement copies to the run's listener and its cancel request back to the
// statement, for as long as it lives.
class ListenerRowProgress : public RowProgress {
 public:
  ListenerRowProgress(Database& db, RunListener* listener)
      : db_(db), listener_(listener), previous_(db.rowProgress()) {
    if (listener_) db_.setRowProgress(this);
  }
  ~ListenerRowProgress() override { db_.setRowProgress(previous_); }
  ListenerRowProgress(const ListenerRowProgress&) = delete;
  ListenerRowProgress& operator=(const ListenerRowProgress&) = delete;

  bool rowsCopied(int64_t rows) override {
    listener_->rowsWritten(rows);
    return !listener_->cancelRequested();
  }

 private:
  Database& db_;
  RunListener* listener_;
  RowProgress* previous_;
};

void copyTemplate(const std::string& from, const std::string& to) {
  std::error_code ec;
  if (!std::filesystem::copy_file(from, to, ec))
    throw EngineError(ErrorKind::Io, "Cannot make the database " + to + " from " + from + ": " +
                                         systemReason(ec.value()));
}

}  // namespace

int ConvertWithDatabaseEngine(ConversionContext& ctx, const std::string& sourcePath,
                              const std::string& outputFolder, TargetFormat format) {
  Database& db = *ctx.database;
  db.Close();

  // A folder source lists only the files it can read: a file that is gone, a broken link or
  // an unreadable file would otherwise look like a file without tables.
  if (int fd = ::open(sourcePath.c_str(), O_RDONLY | O_CLOEXEC); fd >= 0)
    ::close(fd);
  else
    return skip(ctx, sourcePath, "it cannot be read: " + systemReason(errno));

  const SourceKind kind = classifySource(sourcePath);
  const SourceOpen open = sourceOpenInfo(kind);
  std::vector<std::string> tables;
  try {
    db.Open(open.opensFolder ? folderOf(sourcePath) : sourcePath, false, true, open.connect);
    tables = keptTables(db, kind, sourcePath, open.opensFolder);
  } catch (const std::exception& e) {
    return skip(ctx, sourcePath, e.what());
  }
  if (tables.empty()) return skip(ctx, sourcePath, "it holds no table that Tabulor can read");

  const std::vector<PlannedTable> planned = planTables(ctx, sourcePath, tables, format);
  std::optional<RunPlan> ownPlan;
  if (!ctx.plan) ownPlan.emplace(std::vector<std::string>{sourcePath}, outputFolder);
  RunPlan& plan = ctx.plan ? *ctx.plan : *ownPlan;
  RunPlan::Claim claim;
  try {
    std::vector<std::string> outputs;
    for (const PlannedTable& table : planned)
      outputs.push_back(joinPath(outputFolder, table.fileName));
    claim = plan.claim(sourcePath, outputs);
  } catch (const EngineError& e) {
    return skip(ctx, sourcePath, e.description());
  }

  // Everything is written into a private folder first and moved into the output folder
  // when complete, so the output folder never holds a partial file under a real name, and
  // this conversion's own schema.ini never meets one the user keeps there.
  const bool oneFile = isOneFilePerSource(format);
  int written = 0;
  ListenerRowProgress progress(db, ctx.listener);
  try {
    StagingFolder staging(outputFolder);
    const std::string schemaIni = joinPath(staging.path(), SchemaIni);
    if (format == FormatMdb)
      copyTemplate(ctx.programFolder + "Blank.mdb",
                   joinPath(staging.path(), planned.front().fileName));
    try {
      for (const PlannedTable& table : planned) {
        if (format == FormatText &&
            !writePrivateProfileString(schemaIni, table.fileName, "Format", "TabDelimited"))
          throw EngineError(ErrorKind::Io, "Cannot write " + schemaIni);
        if (ctx.listener) ctx.listener->tableStarted(sourcePath, table.source);
        try {
          db.Execute(databaseStatement(format, staging.path(), table.fileName, table.target,
                                       table.source + open.suffix),
                     dbFailOnError);
        } catch (const EngineError& e) {
          // The writers name the files they write, which are in the staging folder for now:
          // the user knows them by their place in the output folder.
          const std::string text = replacedAll(e.description(), staging.path(), outputFolder);
          if (e.kind() != ErrorKind::NoFields) throw EngineError(e.kind(), text);
          notice(ctx, sourcePath, "the table " + inQuotes(table.source) + " was left out: " + text);
          continue;
        }
        ++written;
        if (!oneFile) publish(ctx, plan, claim, sourcePath, staging, outputFolder);
      }
    } catch (...) {
      // The tables written before the failing one stay, as complete files.
      if (oneFile && written > 0) publish(ctx, plan, claim, sourcePath, staging, outputFolder);
      throw;
    }
    if (oneFile && written > 0) publish(ctx, plan, claim, sourcePath, staging, outputFolder);
  } catch (...) {
    db.Close();
    throw;
  }
  db.Close();
  return 1;
}

}  // namespace tabulor
