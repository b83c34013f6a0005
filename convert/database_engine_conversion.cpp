// The database-engine conversion of one source file, step by step.
#include "convert/database_engine_conversion.h"

#include <cstdio>
#include <filesystem>
#include <vector>

#include "engine/engine_error.h"
#include "engine/file_names.h"
#include "engine/ini_file.h"

namespace tabulor {

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

void removeFile(const std::string& path) {
  std::remove(path.c_str());
}

// Refuses a conversion whose deletions or outputs would hit the source file itself (a
// source converted into its own folder in its own format): the source would be deleted
// before it is read.
void checkNotSource(const std::string& sourcePath, const std::string& outputPath) {
  std::error_code ec;
  if (std::filesystem::equivalent(sourcePath, outputPath, ec) && !ec)
    throw EngineError(ErrorKind::Exists,
                      "Cannot convert " + sourcePath + ": its output " + outputPath +
                          " is the source file itself; choose another output folder");
}

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

}  // namespace

int ConvertWithDatabaseEngine(ConversionContext& ctx, const std::string& sourcePath,
                              const std::string& outputFolder, TargetFormat format) {
  Database& db = *ctx.database;
  db.Close();

  const SourceKind kind = classifySource(sourcePath);
  const std::string base = baseName(sourcePath);
  const std::string schemaIni = joinPath(outputFolder, "schema.ini");

  const std::string primaryOutput = primaryOutputPath(outputFolder, base, format);
  checkNotSource(sourcePath, schemaIni);
  checkNotSource(sourcePath, primaryOutput);

  removeFile(schemaIni);
  removeFile(primaryOutput);

  if (format == FormatMdb) {
    // The statements add tables to this copy; one name for the copy and the statements.
    std::error_code ignored;
    std::filesystem::copy_file(ctx.programFolder + "Blank.mdb",
                               joinPath(outputFolder, perTableOutputName(format, base, "", false)),
                               std::filesystem::copy_options::overwrite_existing, ignored);
  }

  const SourceOpen open = sourceOpenInfo(kind);
  try {
    db.Open(open.opensFolder ? folderOf(sourcePath) : sourcePath, false, true, open.connect);
  } catch (const EngineError&) {
    db.Close();
    return 0;
  }

  try {
    const std::vector<std::string> tables = keptTables(db, kind, sourcePath, open.opensFolder);
    const bool several = tables.size() > 1;
    for (const std::string& table : tables) {
      const std::string src = table + open.suffix;
      std::string fileName = perTableOutputName(format, base, table, several);
      if (!isOneFilePerSource(format)) {
        // The writers store each table under its safe file name; clear that very file.
        fileName = safeFileName(fileName);
        checkNotSource(sourcePath, joinPath(outputFolder, fileName));
        removeFile(joinPath(outputFolder, fileName));
        if (format == FormatText)
          writePrivateProfileString(schemaIni, fileName, "Format", "TabDelimited");
      }
      db.Execute(databaseStatement(format, outputFolder, fileName, table, src), dbFailOnError);
    }
  } catch (...) {
    removeFile(schemaIni);
    db.Close();
    throw;
  }
  removeFile(schemaIni);
  db.Close();
  return 1;
}

}  // namespace tabulor
