// Reading the preview of one source table through the engine.
#include "preview/preview_reader.h"

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
  } catch (const EngineError&) {
    return data;
  }
  CloseOnExit closer{db};
  data.opened = true;

  const std::string_view ownFile = fileNameOf(path);
  std::vector<std::string> sameNameNoCase;
  const int count = db.GetTableDefCount();
  for (int index = 0; index < count; ++index) {
    TableDefInfo info = db.GetTableDefInfo(index);
    auto name = keptTableName(info, kind);
    if (!name) continue;
    if (open.opensFolder) {
      if (info.fileName == ownFile)
        data.tables.push_back(*name);
      else if (equalsNoCase(info.fileName, ownFile))
        sameNameNoCase.push_back(*name);
    } else {
      data.tables.push_back(*name);
    }
  }
  // A folder table whose file name differs only in letter case stands in when the exact
  // name lists none (a driver that folds names to one case).
  if (open.opensFolder && data.tables.empty()) data.tables = sameNameNoCase;

  if (sheet < 1 || sheet > static_cast<int>(data.tables.size())) return data;

  Recordset rs(&db);
  rs.Open(data.tables[static_cast<size_t>(sheet - 1)] + open.suffix);
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
  data.sheetShown = true;
  return data;
}

}  // namespace tabulor
