// The format catalogue: target formats with their keywords, extensions, statements and
// output names; source kinds with their connect strings; the file-browser filters. Pure
// data and string functions shared by the conversion paths, the preview and the window.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace tabulor {

// Position of a format in the target-format combo box.
enum TargetFormat : int32_t {
  FormatText = 0,
  FormatHtml = 1,
  FormatCsv = 2,
  FormatXls = 3,
  FormatMdb = 4,
  FormatDbase3 = 5,
  FormatDbase4 = 6,
  FormatDbase5 = 7,
  FormatWk1 = 8,
  FormatXlsx = 9,
  FormatOds = 10,
};
inline constexpr int TargetFormatCount = 11;

struct TargetFormatInfo {
  TargetFormat format;
  const char* comboText;
  const char* primaryExtension;  // as listed, e.g. ".HTM"; paths use it in lower case
  const char* oneTableName;      // printf pattern of {base}
  const char* severalTableName;  // printf pattern of {base}, {table} (or {base} for 3, 4)
  const char* statement;         // printf pattern, see databaseStatement
  int spreadsheetCode;           // file-format code of the save call; -1 when not used
  const char* spreadsheetPath;   // printf pattern, see spreadsheetOutputPath
};

const std::array<TargetFormatInfo, TargetFormatCount>& targetFormats();
const TargetFormatInfo& formatInfo(TargetFormat format);
bool isValidFormat(int index);
// True for the formats that write one file per source with a sheet or table per source
// table (xls, mdb, xlsx, ods); the others write one file per table.
bool isOneFilePerSource(TargetFormat format);

// The format of a command-line keyword: lower-cased, then compared with "txt", "htm",
// "html", "csv", "xls", "mdb", "dbf", "wk1", "xlsx", "ods"; nullopt when none matches.
std::optional<TargetFormat> formatFromKeyword(std::string_view keyword);

// Scoped: SourceDatabase also names the engine's source interface.
enum class SourceKind : int32_t {
  SourceWorkbook = 0,
  SourceDatabase = 1,
  SourceText = 2,
  SourceCsv = 3,
  SourceDbase = 4,
  SourceOther = 5,
  SourceXlsx = 6,
  SourceOds = 7,
};

// The kind of a source by the last four characters of its path, compared in lower case
// (the last five for ".xlsx"); paths of four characters or fewer are SourceOther.
SourceKind classifySource(std::string_view path);

// True for the workbook kinds (.xls, .xlsx, .ods), whose tables are sheets listed with "$".
bool isWorkbookSource(SourceKind kind);

struct SourceOpen {
  const char* connect;  // connect string of the kind
  bool opensFolder;     // the database is the folder that holds the file
  const char* suffix;   // appended to a table name to form {src}
};
SourceOpen sourceOpenInfo(SourceKind kind);

// The folder that holds `path` (text before its last "/"; "/" for a file in the root,
// "." for a bare file name).
std::string folderOf(std::string_view path);

// The file name after the last "/" without its last four characters (five for ".xlsx").
std::string baseName(std::string_view path);

// {outdir}/{base}{primary extension}. On a case-sensitive file system the extension is
// the one the statements use (lower case), so that the file deleted before a conversion
// is the file the conversion writes.
std::string primaryOutputPath(std::string_view outdir, std::string_view base, TargetFormat format);

// The output file name of one table (Table 2): the one-table pattern when `severalTables`
// is false, the several-table pattern otherwise. For FormatXls and FormatMdb it is the
// workbook or database file name.
std::string perTableOutputName(TargetFormat format, std::string_view base, std::string_view table,
                               bool severalTables);

// The SELECT * INTO statement of one table; names in brackets have "]" doubled.
std::string databaseStatement(TargetFormat format, std::string_view outdir,
                              std::string_view fileName, std::string_view table,
                              std::string_view src);

// Output path and file-format code of one sheet saved by the spreadsheet application
// (Table 3); the code is -1 and the path empty for FormatMdb.
std::string spreadsheetOutputPath(TargetFormat format, std::string_view outdir,
                                  std::string_view base, std::string_view sheet);
int spreadsheetFileFormatCode(TargetFormat format);

struct SourceFilter {
  const char* comboText;
  const char* pattern;
};
const std::array<SourceFilter, 7>& sourceFilters();

}  // namespace tabulor
