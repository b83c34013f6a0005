// libFuzzer target for the statement parser and the name handling: the SELECT * INTO
// statements the conversion builds, the output file names made from table and sheet names,
// the sheet names of a written workbook. The test suite calls fuzzNamesOne on the seeds in
// fuzz/names_corpus and on mutations; fuzz/run.sh builds this file with libFuzzer and the
// sanitizers.
#include "fuzz/names_fuzz.h"

#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "convert/catalogue.h"
#include "convert/database_engine_conversion.h"
#include "engine/drivers/excel/biff_strings.h"
#include "engine/drivers/excel/sheet_names.h"
#include "engine/engine_error.h"
#include "engine/file_names.h"
#include "engine/statement.h"
#include "engine/text_codec.h"

namespace tabulor {

namespace {

std::string quoted(std::string_view s) {
  std::string out = "\"";
  for (char c : s.substr(0, 200)) {
    auto u = static_cast<unsigned char>(c);
    if (u < 0x20 || u >= 0x7F) {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02X", u);
      out += hex;
    } else {
      out += c;
    }
  }
  return out + (s.size() > 200 ? "\"..." : "\"");
}

// What a file name made for a folder must be: one name that stays inside that folder.
std::string fileNameFault(std::string_view name, bool fromValidUtf8) {
  if (name.empty()) return "is empty";
  if (name.size() > 255) return "is longer than 255 bytes";
  if (name == "." || name == "..") return "names a folder";
  if (name.find('/') != std::string_view::npos) return "holds a \"/\"";
  if (name.find('\0') != std::string_view::npos) return "holds a NUL byte";
  if (fromValidUtf8 && !isValidUtf8(name)) return "is cut inside a character";
  return {};
}

std::string sheetNameFault(const std::string& name, const std::vector<std::string>& existing) {
  std::u16string units = excel::utf8ToUnits(name);
  if (units.empty() || units.size() > excel::MaxSheetNameUnits) return "has no or too many units";
  for (char16_t u : units)
    if (u < 0x20 || u == 0x7F || std::u16string_view(u"[]:*?/\\").find(u) != std::u16string::npos)
      return "holds a character a sheet name may not hold";
  if (units.front() == '\'' || units.back() == '\'') return "begins or ends with an apostrophe";
  if (equalsNoCase(name, "History")) return "is the reserved name History";
  for (const std::string& e : existing)
    if (equalsNoCase(e, name)) return "is taken by " + quoted(e);
  if (!isValidUtf8(name)) return "is not UTF-8";
  return {};
}

bool fail(std::string* failure, const std::string& what) {
  *failure = what;
  return false;
}

}  // namespace

bool fuzzNamesOne(const uint8_t* data, size_t size, std::string* failure) {
  if (size == 0) return true;
  const std::string_view rest(reinterpret_cast<const char*>(data + 1), size - 1);

  // Any text through the parser: a statement or a syntax error, nothing else.
  try {
    SelectInto parsed = parseSelectInto(rest);
    (void)connectValue(parsed.isam + ";" + parsed.database, "DATABASE");
  } catch (const EngineError&) {
  }
  (void)connectValue(rest, "database");
  (void)connectIsam(rest);

  std::vector<std::string> parts;
  for (size_t start = 0;;) {
    size_t end = rest.find('\0', start);
    parts.emplace_back(rest.substr(start, end == std::string_view::npos ? end : end - start));
    if (end == std::string_view::npos || parts.size() == 6) break;
    start = end + 1;
  }
  while (parts.size() < 3) parts.emplace_back();
  const std::string& outdir = parts[0];
  const std::string& source = parts[1];
  const std::string& table = parts[2];
  const auto format = static_cast<TargetFormat>(data[0] % TargetFormatCount);
  const auto kind = static_cast<SourceKind>((data[0] >> 4) % 8);

  // The statement of one table parses back to the names it was built from.
  static const char* const isams[TargetFormatCount] = {"Text",
                                                       "HTML Export",
                                                       "Text",
                                                       "Excel 8.0",
                                                       "",
                                                       "dBASE III",
                                                       "dBASE IV",
                                                       "dBASE 5.0",
                                                       "Lotus WK1",
                                                       "Excel 12.0 Xml",
                                                       "OpenDocument Spreadsheet"};
  const bool oneFile = isOneFilePerSource(format);
  const std::string base = baseName(source);
  const std::string fileName =
      oneFile ? perTableOutputName(format, base, "", false)
              : safeFileName(perTableOutputName(format, base, table, (data[0] & 8) != 0));
  const std::string src = table + sourceOpenInfo(kind).suffix;
  const std::string statement = databaseStatement(format, outdir, fileName, table, src);
  try {
    SelectInto s = parseSelectInto(statement);
    const std::string database = oneFile ? outdir + "/" + fileName : outdir;
    const std::string target = oneFile ? table : fileName;
    if (s.isam != isams[format] || s.database != database || s.targetTable != target ||
        s.sourceTable != src)
      return fail(failure, "statement " + quoted(statement) + " parsed as isam " + quoted(s.isam) +
                               ", database " + quoted(s.database) + ", target " +
                               quoted(s.targetTable) + ", source " + quoted(s.sourceTable));
  } catch (const EngineError& e) {
    return fail(failure, "statement " + quoted(statement) + " refused: " + e.what());
  }

  // File names made from every part (and from the whole input, NUL bytes and all).
  std::vector<std::string> names(parts.begin() + 1, parts.end());
  names.push_back(std::string(rest));
  names.push_back(fileName);
  for (const std::string& name : names) {
    const std::string safe = safeFileName(name);
    const bool valid = isValidUtf8(name);
    if (std::string why = fileNameFault(safe, valid); !why.empty())
      return fail(failure, "safeFileName(" + quoted(name) + ") = " + quoted(safe) + " " + why);
    if (safeFileName(safe) != safe)
      return fail(failure, "safeFileName(" + quoted(name) + ") = " + quoted(safe) +
                               " is not safe in its turn");
    if (fileNameOf(joinPath(outdir, safe)) != safe)
      return fail(failure, "joinPath(" + quoted(outdir) + ", " + quoted(safe) + ") loses the name");
    // Numbered names differ from each other (one may equal the name itself, which the
    // caller has taken already), so numbering on finds a free name.
    std::vector<std::string> numbered;
    for (int n : {2, 10, 123456}) {
      const std::string candidate = numberedFileName(safe, n);
      if (std::string why = fileNameFault(candidate, valid); !why.empty())
        return fail(failure, "numberedFileName(" + quoted(safe) + ", " + std::to_string(n) +
                                 ") = " + quoted(candidate) + " " + why);
      bool repeated = false;
      for (const std::string& earlier : numbered) repeated = repeated || candidate == earlier;
      if (repeated || safeFileName(candidate) != candidate)
        return fail(failure, "numberedFileName(" + quoted(safe) + ", " + std::to_string(n) +
                                 ") = " + quoted(candidate) + " is not a new safe name");
      numbered.push_back(candidate);
    }
  }

  // Sheet names: each part against the names before it, as the workbook writer mends them.
  std::vector<std::string> sheets;
  for (size_t i = 1; i < parts.size(); ++i) {
    const std::string sheet = excel::mendSheetName(parts[i], sheets);
    if (std::string why = sheetNameFault(sheet, sheets); !why.empty())
      return fail(failure,
                  "mendSheetName(" + quoted(parts[i]) + ") = " + quoted(sheet) + " " + why);
    sheets.push_back(sheet);
  }

  // The remaining name functions of the catalogue: results, never a crash.
  TableDefInfo info;
  info.name = table;
  info.attributes = data[0] & 0x80 ? 2 : 0;
  (void)keptTableName(info, kind);
  (void)primaryOutputPath(outdir, base, format);
  (void)spreadsheetOutputPath(format, outdir, base, table);
  (void)classifySource(source);
  (void)folderOf(source);
  return true;
}

}  // namespace tabulor

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string failure;
  if (!tabulor::fuzzNamesOne(data, size, &failure)) {
    std::fprintf(stderr, "name handling broke: %s\n", failure.c_str());
    std::abort();
  }
  return 0;
}
