// Reading the preview of one source table through the engine.
#include "preview/preview_reader.h"

#include <exception>

#include "convert/database_engine_conversion.h"
#include "engine/file_names.h"

namespace tabulor {

namespace {

// Closes the connection however the read ends.
struct CloseOnExit {
  Database& db;
  ~CloseOnExit() { db.Close(); }
};

// The byte length of the first `count` code points of UTF-8 `text` (its whole length when
// it has fewer); `total` receives the number of code points of the whole text.
size_t bytesOfCodePoints(const std::string& text, size_t count, size_t* total) {
  size_t points = 0, cut = text.size();
  for (size_t i = 0; i < text.size(); ++i) {
    if ((static_cast<unsigned char>(text[i]) & 0xC0) == 0x80) continue;
    if (points == count) cut = i;
    ++points;
  }
  *total = points;
  return cut;
}

// The kept table names of an opened source; for a folder database only the table of the
// file itself.
void readTables(Database& db, const std::string& path, SourceKind kind, bool opensFolder,
                PreviewData& data) {
  const std::string_view ownFile = fileNameOf(path);
  std::vector<std::string> sameNameNoCase;
  const int count = db.GetTableDefCount();
  for (int index = 0; index < count; ++index) {
    TableDefInfo info = db.GetTableDefInfo(index);
    auto name = keptTableName(info, kind);
    if (!name) continue;
    if (!opensFolder)
      data.tables.push_back(*name);
    else if (info.fileName == ownFile)
      data.tables.push_back(*name);
    else if (equalsNoCase(info.fileName, ownFile))
      sameNameNoCase.push_back(*name);
  }
  // A table whose file name differs only in letter case stands in when the exact name
  // lists none (a driver that folds names to one case).
  if (opensFolder && data.tables.empty()) data.tables = sameNameNoCase;
}

// Up to four field names and two records of `table`.
void readSheet(Database& db, const std::string& table, PreviewData& data) {
  Recordset rs(&db);
  rs.Open(table);
  const int fieldCount = rs.GetFieldCount();
  for (int i = 0; i < fieldCount && i < PreviewFieldCount; ++i)
    data.fieldNames.push_back(rs.GetFieldInfo(i).name);
  while (!rs.IsEOF() && static_cast<int>(data.records.size()) < PreviewRecordCount) {
    std::vector<Variant> values;
    for (int i = 0; i < fieldCount && i < PreviewFieldCount; ++i)
      values.push_back(rs.GetFieldValue(i));
    data.records.push_back(std::move(values));
    if (static_cast<int>(data.records.size()) == PreviewRecordCount) break;
    rs.MoveNext();
  }
  rs.Close();
}

}  // namespace

std::string shortenPreviewText(const std::string& text) {
  size_t points = 0;
  size_t cut = bytesOfCodePoints(text, 10, &points);
  if (points <= 13) return text;
  return text.substr(0, cut) + "...";
}

PreviewData readPreview(Database& db, const std::string& path, const std::string& browsedFolder,
                        int sheet, SourceKind kind) {
  PreviewData data;
  const SourceOpen open = sourceOpenInfo(kind);
  db.Close();
  try {
    db.Open(open.opensFolder ? browsedFolder : path, false, true, open.connect);
  } catch (const std::exception&) {
    return data;
  }
  CloseOnExit closer{db};
  data.opened = true;

  try {
    readTables(db, path, kind, open.opensFolder, data);
    if (sheet < 1 || sheet > static_cast<int>(data.tables.size())) return data;
    readSheet(db, data.tables[static_cast<size_t>(sheet - 1)] + open.suffix, data);
  } catch (const std::exception&) {
    // A source that opens but cannot be read (a damaged table): the buttons keep what
    // was listed, the grid keeps the template.
    data.fieldNames.clear();
    data.records.clear();
    return data;
  }
  data.sheetShown = true;
  return data;
}

}  // namespace tabulor
