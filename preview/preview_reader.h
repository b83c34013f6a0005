// The preview reader: the first rows of one table of a source, read through the engine for
// the small preview grid under the file list. It reads at most four field names and two
// records, whatever the size of the table, so highlighting a file stays quick.
#pragma once

#include <string>
#include <vector>

#include "convert/catalogue.h"
#include "engine/database.h"
#include "engine/variant.h"

namespace tabulor {

// Field names and records shown at most.
inline constexpr int PreviewFieldCount = 4;
inline constexpr int PreviewRecordCount = 2;

struct PreviewData {
  bool opened = false;                        // the source was opened
  std::vector<std::string> tables;            // kept table names (without the workbook "$")
  bool sheetShown = false;                    // the chosen sheet was read
  std::vector<std::string> fieldNames;        // at most four
  std::vector<std::vector<Variant>> records;  // at most two, each at most four values
};

// Reads the preview of sheet 1 or 2 of `path`, opening it read-only on `db` with the
// connect string of `kind`; `browsedFolder` is the database of text, CSV and dBase sources.
// The connection is closed again on every path out. A source that cannot be opened gives
// opened == false and no message. For the kinds whose database is a folder, the only table
// kept is the one of the file itself (a folder lists every file's table, and the one the
// user highlighted is the one that matters). Never throws: a source that opens but cannot
// be listed or read (a damaged table) gives opened == true with the tables listed so far
// and sheetShown == false.
PreviewData readPreview(Database& db, const std::string& path, const std::string& browsedFolder,
                        int sheet, SourceKind kind);

// A text of more than 13 characters becomes its first 10 followed by "..."; characters are
// code points, so a cut never splits a UTF-8 sequence.
std::string shortenPreviewText(const std::string& text);

}  // namespace tabulor
