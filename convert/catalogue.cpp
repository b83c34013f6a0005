// The catalogue's tables and the string functions over them.
#include "convert/catalogue.h"

#include <cstdio>

#include "engine/file_names.h"
#include "engine/statement.h"

namespace tabulor {

const std::array<TargetFormatInfo, TargetFormatCount>& targetFormats() {
  static const std::array<TargetFormatInfo, TargetFormatCount> formats = {{
      {FormatText, "Text (*.TXT)", ".txt", "%s.txt", "%s_%s.txt",
       "SELECT * INTO [Text;DATABASE=%s].%s FROM %s", 3, "%s/%s_%s.txt"},
      {FormatHtml, "Web Page(*.HTM, *.HTML)", ".HTM", "%s.htm", "%s_%s.htm",
       "SELECT * INTO [HTML Export;DATABASE=%s].%s FROM %s", 44, "%s/%s_%s.htm"},
      {FormatCsv, "Comma Delimited (*.CSV)", ".CSV", "%s.csv", "%s_%s.csv",
       "SELECT * INTO [Text;DATABASE=%s].%s FROM %s", 6, "%s/%s_%s.csv"},
      {FormatXls, "Microsoft Excel Workbook (*.XLS)", ".XLS", "%s.xls", "%s.xls",
       "SELECT * INTO [Excel 8.0;DATABASE=%s/%s].%s FROM %s", 39, "%s/%s.xls"},
      {FormatMdb, "Microsoft Jet Database (*.MDB)", ".MDB", "%s.mdb", "%s.mdb",
       "SELECT * INTO [;DATABASE=%s/%s].%s FROM %s", -1, ""},
      {FormatDbase3, "dBaseIII (*.DBF)", ".DBF", "%s.dbf", "%s_%s.dbf",
       "SELECT * INTO [dBASE III;DATABASE=%s].%s FROM %s", 8, "%s/%s_%s.dbf"},
      {FormatDbase4, "dBaseIV (*.DBF)", ".DBF", "%s.dbf", "%s_%s.dbf",
       "SELECT * INTO [dBASE IV;DATABASE=%s].%s FROM %s", 11, "%s/%s_%s.dbf"},
      {FormatDbase5, "dBASE 5.0 (*.DBF)", ".DBF", "%s.dbf", "%s_%s.dbf",
       "SELECT * INTO [dBASE 5.0;DATABASE=%s].%s FROM %s", 9, "%s/%s_%s.dbf"},
      {FormatWk1, "Lotus 1-2-3 WKS and WK1 Lotus WK1 (*.WK1)", ".WK1", "%s.wk1", "%s_%s.wk1",
       "SELECT * INTO [Lotus WK1;DATABASE=%s].%s FROM %s", 5, "%s/%s_%s.wk1"},
      // Not (yet) through the spreadsheet application: the engine writes them.
      {FormatXlsx, "Excel Workbook (*.XLSX)", ".XLSX", "%s.xlsx", "%s.xlsx",
       "SELECT * INTO [Excel 12.0 Xml;DATABASE=%s/%s].%s FROM %s", -1, ""},
      {FormatOds, "OpenDocument Spreadsheet (*.ODS)", ".ODS", "%s.ods", "%s.ods",
       "SELECT * INTO [OpenDocument Spreadsheet;DATABASE=%s/%s].%s FROM %s", -1, ""},
  }};
  return formats;
}

bool isValidFormat(int index) {
  return index >= 0 && index < TargetFormatCount;
}

bool isOneFilePerSource(TargetFormat format) {
  return format == FormatXls || format == FormatMdb || format == FormatXlsx || format == FormatOds;
}

const TargetFormatInfo& formatInfo(TargetFormat format) {
  return targetFormats()[isValidFormat(format) ? format : FormatText];
}

std::optional<TargetFormat> formatFromKeyword(std::string_view keyword) {
  static const struct {
    const char* keyword;
    TargetFormat format;
  } keywords[] = {{"txt", FormatText},   {"htm", FormatHtml}, {"html", FormatHtml},
                  {"csv", FormatCsv},    {"xls", FormatXls},  {"mdb", FormatMdb},
                  {"dbf", FormatDbase5}, {"wk1", FormatWk1},  {"xlsx", FormatXlsx},
                  {"ods", FormatOds}};
  std::string lower = toLowerAscii(keyword);
  for (const auto& k : keywords)
    if (lower == k.keyword) return k.format;
  return std::nullopt;
}

SourceKind classifySource(std::string_view path) {
  if (path.size() < 5) return SourceKind::SourceOther;
  std::string ending = toLowerAscii(path.substr(path.size() - 4));
  static const char* const endings[] = {".xls", ".mdb", ".txt", ".csv", ".dbf"};
  for (int kind = 0; kind < 5; ++kind)
    if (ending == endings[kind]) return static_cast<SourceKind>(kind);
  if (ending == ".ods") return SourceKind::SourceOds;
  if (path.size() >= 6 && toLowerAscii(path.substr(path.size() - 5)) == ".xlsx")
    return SourceKind::SourceXlsx;
  return SourceKind::SourceOther;
}

bool isWorkbookSource(SourceKind kind) {
  return kind == SourceKind::SourceWorkbook || kind == SourceKind::SourceXlsx ||
         kind == SourceKind::SourceOds;
}

SourceOpen sourceOpenInfo(SourceKind kind) {
  switch (kind) {
    case SourceKind::SourceWorkbook:
      return {"Excel 8.0;", false, "$"};
    case SourceKind::SourceXlsx:
      return {"Excel 12.0 Xml;", false, "$"};
    case SourceKind::SourceOds:
      return {"OpenDocument Spreadsheet;", false, "$"};
    case SourceKind::SourceText:
    case SourceKind::SourceCsv:
      return {"Text;", true, ""};
    case SourceKind::SourceDbase:
      return {"dBASE III;", true, ""};
    case SourceKind::SourceDatabase:
    case SourceKind::SourceOther:
    default:
      return {"", false, ""};
  }
}

std::string folderOf(std::string_view path) {
  size_t slash = path.rfind('/');
  if (slash == std::string_view::npos) return ".";
  if (slash == 0) return "/";
  return std::string(path.substr(0, slash));
}

std::string baseName(std::string_view path) {
  std::string_view name = fileNameOf(path);
  size_t ending = classifySource(name) == SourceKind::SourceXlsx ? 5 : 4;
  return std::string(name.substr(0, name.size() >= ending ? name.size() - ending : 0));
}

namespace {

std::string format(const char* pattern, std::string_view a, std::string_view b = {},
                   std::string_view c = {}, std::string_view d = {}) {
  // The patterns hold only %s; substitute in order without printf's length limits.
  std::string out;
  std::string_view args[] = {a, b, c, d};
  size_t next = 0;
  for (const char* p = pattern; *p; ++p) {
    if (p[0] == '%' && p[1] == 's') {
      out += args[next++];
      ++p;
    } else {
      out += *p;
    }
  }
  return out;
}

}  // namespace

std::string primaryOutputPath(std::string_view outdir, std::string_view base, TargetFormat fmt) {
  return format("%s/%s%s", outdir, base, toLowerAscii(formatInfo(fmt).primaryExtension));
}

std::string perTableOutputName(TargetFormat fmt, std::string_view base, std::string_view table,
                               bool severalTables) {
  const TargetFormatInfo& info = formatInfo(fmt);
  return format(severalTables ? info.severalTableName : info.oneTableName, base, table);
}

std::string databaseStatement(TargetFormat fmt, std::string_view outdir, std::string_view fileName,
                              std::string_view table, std::string_view src) {
  const TargetFormatInfo& info = formatInfo(fmt);
  // The connect string's DATABASE path sits inside the first brackets too.
  std::string outdirInBrackets = bracketed(outdir);
  outdirInBrackets = outdirInBrackets.substr(1, outdirInBrackets.size() - 2);
  if (isOneFilePerSource(fmt)) {
    std::string fileInBrackets = bracketed(fileName);
    fileInBrackets = fileInBrackets.substr(1, fileInBrackets.size() - 2);
    return format(info.statement, outdirInBrackets, fileInBrackets, bracketed(table),
                  bracketed(src));
  }
  return format(info.statement, outdirInBrackets, bracketed(fileName), bracketed(src));
}

std::string spreadsheetOutputPath(TargetFormat fmt, std::string_view outdir, std::string_view base,
                                  std::string_view sheet) {
  const TargetFormatInfo& info = formatInfo(fmt);
  if (info.spreadsheetCode < 0) return {};
  return format(info.spreadsheetPath, outdir, base, sheet);
}

int spreadsheetFileFormatCode(TargetFormat fmt) {
  return formatInfo(fmt).spreadsheetCode;
}

const std::array<SourceFilter, 7>& sourceFilters() {
  // Masks separated by ";" each match (the file list splits them).
  static const std::array<SourceFilter, 7> filters = {{
      {"Excel Files(*.XLS;*.XLSX)", "*.XLS;*.XLSX"},
      {"Access Files(*.MDB)", "*.MDB"},
      {"Text Files(*.TXT)", "*.TXT"},
      {"Comma Delimited(*.CSV)", "*.CSV"},
      {"dBase Files(*.DBF)", "*.DBF"},
      {"OpenDocument Spreadsheets(*.ODS)", "*.ODS"},
      {"All Files (*.*)", "*.*"},
  }};
  return filters;
}

}  // namespace tabulor
