// Reading real workbooks: every sheet of every fixture workbook against the CSV that
// gnumeric wrote of it, the listing of sheets and names, and files that must be refused.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>

#include "engine/database.h"
#include "engine/drivers/excel/biff_records.h"
#include "engine/drivers/excel/compound_file.h"
#include "engine/drivers/excel/excel_source.h"
#include "engine/drivers/excel/workbook_globals.h"
#include "tests/excel/excel_test_util.h"
#include "tests/support/test_support.h"

namespace tabulor::test {
namespace {

namespace fs = std::filesystem;

struct SheetLine {
  std::string name, firstCell;
};

std::vector<SheetLine> expectedSheets(const std::string& tablesTxt) {
  std::vector<SheetLine> out;
  std::istringstream in(readFile(tablesTxt));
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty()) continue;
    size_t tab = line.find('\t');
    size_t tab2 = line.find('\t', tab + 1);
    out.push_back({line.substr(0, tab), line.substr(tab + 1, tab2 - tab - 1)});
  }
  return out;
}

std::vector<std::string> fixtureWorkbooks() {
  std::vector<std::string> out;
  std::string dir = fixturesDir();
  if (dir.empty()) return out;
  for (const auto& e : fs::directory_iterator(dir + "/xls")) out.push_back(e.path().filename());
  std::sort(out.begin(), out.end());
  return out;
}

// Every sheet of every fixture workbook reads as gnumeric read it: the same sheets in the
// same order, and for each the same cells from the first used cell on, first row as field
// names. Named exclusion: where the sheet's first row has an empty or repeated cell, the
// driver names the field F<n> (gnumeric leaves it empty).
TEST(ExcelRead, FixtureWorkbooksMatchGnumeric) {
  TABULOR_REQUIRE_FIXTURES();
  std::string dir = fixturesDir();
  int sheetsCompared = 0;
  for (const std::string& file : fixtureWorkbooks()) {
    SCOPED_TRACE(file);
    auto db = excel().openDatabase(dir + "/xls/" + file);
    std::vector<std::string> listed;
    for (const TableDefInfo& t : db->tables()) {
      EXPECT_EQ(t.attributes, 0);
      std::string name = t.name;
      if (name.size() > 2 && name.front() == '\'' && name.back() == '\'')
        name = name.substr(1, name.size() - 2);
      if (!name.empty() && name.back() == '$') listed.push_back(t.name);
    }
    std::vector<SheetLine> sheets = expectedSheets(dir + "/expected/" + file + ".tables.txt");
    ASSERT_EQ(listed.size(), sheets.size());
    for (size_t i = 0; i < sheets.size(); ++i) {
      SCOPED_TRACE(sheets[i].name);
      EXPECT_EQ(listed[i], excel::listedSheetName(sheets[i].name));
      std::string csv = dir + "/expected/" + file + "." + sheets[i].name + ".csv";
      if (!fileExists(csv)) continue;
      Grid ours = readTable(*db, listed[i]);
      Grid theirs = parseCsv(readFile(csv));
      // Named exclusion: A26 of namesdemo's Sheet3 holds =TODAY(); gnumeric computes it
      // anew, the driver gives the value Excel saved.
      if (file == "namesdemo.xls" && sheets[i].name == "Sheet3" && ours.size() > 25 &&
          theirs.size() > 25) {
        EXPECT_EQ(ours[25][0], "2006-12-07");
        theirs[25][0] = ours[25][0];
      }
      EXPECT_EQ(compareGrids(ours, theirs, true), "");
      ++sheetsCompared;
    }
  }
  EXPECT_GE(sheetsCompared, 30);
}

// Workbooks written by gnumeric and by LibreOffice (made here from one CSV) read as gnumeric
// reads them back: numbers, dates, booleans, Unicode and a text long enough to continue
// the shared string table across records.
TEST(ExcelRead, WorkbooksWrittenByGnumericAndLibreOffice) {
  if (!haveProgram("ssconvert")) GTEST_SKIP() << "ssconvert not installed";
  TempDir tmp;
  std::string csv = "id,name,price,day,flag,note\n";
  for (int i = 1; i <= 300; ++i)
    csv += std::to_string(i) + ",\"Zoë " + std::to_string(i) + " ∂\"," + std::to_string(i * 1.25) +
           ",2024-01-" + std::to_string(10 + i % 20) + "," + (i % 3 ? "TRUE" : "FALSE") + "," +
           (i == 7  ? std::string(10000, 'L')
            : i % 4 ? "x"
                    : "") +
           "\n";
  writeFile(tmp.file("in.csv"), csv);
  std::vector<std::string> books;
  ASSERT_EQ(runCommand("cd '" + tmp.path() +
                       "' && ssconvert -T Gnumeric_Excel:excel_biff8 in.csv "
                       "gnumeric.xls >/dev/null 2>&1"),
            0);
  books.push_back(tmp.file("gnumeric.xls"));
  if (haveProgram("soffice")) {
    ASSERT_EQ(runCommand("cd '" + tmp.path() + "' && " + sofficeCommand() +
                         " --infilter=CSV:44,34,76 "
                         "--convert-to 'xls:MS Excel 97' in.csv >/dev/null 2>&1"),
              0);
    books.push_back(tmp.file("in.xls"));
  }
  for (const std::string& book : books) {
    SCOPED_TRACE(book);
    std::vector<Grid> theirs = ssconvertSheets(book, tmp.path());
    ASSERT_EQ(theirs.size(), 1u);
    auto db = excel().openDatabase(book);
    std::string sheet;
    for (const TableDefInfo& t : db->tables())
      if (t.name.back() == '$') sheet = t.name;
    std::vector<FieldInfo> fields;
    Grid ours = readTable(*db, sheet, &fields);
    EXPECT_EQ(ours.size(), 301u);
    EXPECT_EQ(compareGrids(ours, theirs[0], false), "");
    ASSERT_EQ(fields.size(), 6u);
    EXPECT_EQ(fields[0].type, VT_I4);
    EXPECT_EQ(fields[2].type, VT_R8);
    EXPECT_EQ(fields[3].type, VT_DATE);
    EXPECT_EQ(fields[4].type, VT_BOOL);
  }
}

// Column types come from the first data rows; a cell that does not fit its column's type
// is kept as text.
TEST(ExcelRead, TypesOfFixtureColumns) {
  TABULOR_REQUIRE_FIXTURES();
  auto db = excel().openDatabase(fixturesDir() + "/xls/types.xls");
  std::vector<FieldInfo> fields;
  Grid g = readTable(*db, "guess_me$", &fields);
  ASSERT_EQ(fields.size(), 5u);
  // blank, boolean, date, numeric, text
  const uint16_t want[] = {VT_BSTR, VT_BOOL, VT_DATE, VT_I4, VT_BSTR};
  for (size_t i = 0; i < 5; ++i) EXPECT_EQ(fields[i].type, want[i]) << fields[i].name;

  // A column of mixed kinds is text; every value keeps its text, errors as Excel shows them.
  auto cursor = db->openTable("smorgasbord$");
  ASSERT_EQ(cursor->fields().size(), 2u);
  EXPECT_EQ(cursor->fields()[1].type, VT_BSTR);
  std::vector<Variant> row;
  std::map<std::string, Variant> byName;
  while (cursor->next(row)) byName[row[0].str] = row[1];
  EXPECT_TRUE(byName["blank"].isNull());
  EXPECT_EQ(byName["error #DIV/0!"], Variant::text("#DIV/0!"));
  EXPECT_EQ(byName["boolean formula true"], Variant::text("TRUE"));
  EXPECT_EQ(byName["date"], Variant::text("2016-02-26"));
  EXPECT_EQ(byName["numeric formula"], Variant::text("1.6900000000000002"));
}

// The forms of a sheet name a conversion asks for: as listed, and without apostrophes.
TEST(ExcelRead, SheetNamesWithBlanksAndDefinedNames) {
  TABULOR_REQUIRE_FIXTURES();
  auto db = excel().openDatabase(fixturesDir() + "/xls/named_ranges_2011.xls");
  std::vector<std::string> names;
  for (const TableDefInfo& t : db->tables()) names.push_back(t.name);
  EXPECT_NE(std::find(names.begin(), names.end(), "'Named Ranges$'"), names.end());
  EXPECT_NE(std::find(names.begin(), names.end(), "Cross-Sheet$"), names.end());
  EXPECT_NE(std::find(names.begin(), names.end(), "col1_"), names.end());
  Grid a = readTable(*db, "'Named Ranges$'");
  Grid b = readTable(*db, "Named Ranges$");
  Grid c = readTable(*db, "named ranges$");
  EXPECT_FALSE(a.empty());
  EXPECT_EQ(a, b);
  EXPECT_EQ(a, c);
  EXPECT_THROW(db->openTable("Named Ranges"), EngineError);
  EXPECT_THROW(db->openTable("col1_"), EngineError);
  EXPECT_THROW(db->openTable("Nowhere$"), EngineError);
}

// Through the engine front, as the conversion and the preview use it.
TEST(ExcelRead, DatabaseFrontListsAndReads) {
  TABULOR_REQUIRE_FIXTURES();
  Database db;
  db.Open(fixturesDir() + "/xls/Formate.xls", false, true, "excel 8.0;");
  ASSERT_GE(db.GetTableDefCount(), 1);
  EXPECT_EQ(db.GetTableDefInfo(0).name, "Blätt1$");
  Recordset rs(&db);
  rs.Open("Blätt1$");
  EXPECT_GT(rs.GetFieldCount(), 0);
  EXPECT_FALSE(rs.IsEOF());
}

// Files that are not readable workbooks give an EngineError that says what they are.
TEST(ExcelRead, BadFilesGiveClearErrors) {
  TABULOR_REQUIRE_FIXTURES();
  TempDir tmp;
  writeFile(tmp.file("csv.xls"), "name,price\nwidget,1.5\n");
  writeFile(tmp.file("html.xls"), "<html><body><table><tr><td>1</td></tr></table></body></html>");
  writeFile(tmp.file("empty.xls"), "");
  writeFile(tmp.file("utf16.xls"), std::string("\xFF\xFEn\0a\0m\0e\0\t\0", 12));
  writeFile(tmp.file("xml.xls"),
            "<?xml version=\"1.0\"?>\n<Workbook xmlns=\"urn:schemas-microsoft-com:office:"
            "spreadsheet\"><Worksheet ss:Name=\"S\"/></Workbook>\n");
  writeFile(tmp.file("zip.xls"), std::string("PK\x03\x04", 4) + std::string(100, 'x'));
  std::string m = fixturesDir() + "/malformed/";
  struct Case {
    std::string path, mustSay;
  } cases[] = {
      {tmp.file("csv.xls"), "text file"},
      {tmp.file("html.xls"), "web page"},
      {tmp.file("empty.xls"), "empty"},
      {tmp.file("utf16.xls"), "Unicode text"},
      {tmp.file("xml.xls"), "XML spreadsheet"},
      {tmp.file("zip.xls"), "2007"},
      {tmp.file("missing.xls"), "Cannot open"},
      {m + "password_2002_40_xor.xls", "password"},
      {m + "CRLFX5_2.XLS", "BIFF2"},
      {m + "biff4_no_format_no_window2.xls", "BIFF4"},
      {m + "xls2csv_ole_ole2_fread_327.xls", ""},
      {m + "xls2csv_ole_read_MSAT_772.xls", ""},
      {m + "xls2csv_ole_read_MSAT_body_687.xls", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    try {
      auto db = excel().openDatabase(c.path);
      for (const TableDefInfo& t : db->tables()) readTable(*db, t.name);
      ADD_FAILURE() << "no error";
    } catch (const EngineError& e) {
      EXPECT_NE(std::string(e.what()).find(c.mustSay), std::string::npos) << e.what();
    }
  }
}

// Damaged files that some readers still open: an error or a result, never a crash. The
// PHPExcel file with a broken directory reads as gnumeric reads it: sheet Sayfa1, 2 records.
TEST(ExcelRead, DamagedCompoundFilesDoNotCrash) {
  TABULOR_REQUIRE_FIXTURES();
  EXPECT_THROW(
      excel().openDatabase(fixturesDir() + "/malformed/xls2csv_ole_read_MSAT_body_637.xls"),
      EngineError);
  auto db = excel().openDatabase(fixturesDir() + "/malformed/phpexcel_bad_cfb_dir.xls");
  ASSERT_FALSE(db->tables().empty());
  EXPECT_EQ(db->tables()[0].name, "Sayfa1$");
  Grid g = readTable(*db, "Sayfa1$");
  ASSERT_EQ(g.size(), 3u);
  EXPECT_EQ(g[0][0], "Kategori No");
}

}  // namespace
}  // namespace tabulor::test

namespace tabulor::test {
namespace {

// Cell records may come in any row order (the format allows it; some writers do it): the
// rows still come out in sheet order. A reset gives the same rows again.
TEST(ExcelRead, RecordsOutOfRowOrderAndReset) {
  TempDir tmp;
  std::string path = tmp.file("book.xls");
  TableSchema schema;
  schema.fields = {{"n", VT_I4, 0, {}}, {"t", VT_BSTR, 0, {}}};
  auto w = excel().createTable(path, "S", schema);
  for (int i = 0; i < 100; ++i)
    w->appendRow({Variant::i4(i), Variant::text("t" + std::to_string(i))});
  w->finish();
  Grid inOrder = readTable(*excel().openDatabase(path), "S$");
  ASSERT_EQ(inOrder.size(), 101u);

  // The same stream with the sheet's cell records in reverse order (same size, so every
  // offset stays valid).
  std::string stream = excel::readWorkbookStream(path).bytes;
  excel::WorkbookGlobals g = excel::parseGlobals(stream, path);
  size_t begin = g.sheets.at(0).offset;
  excel::RecordWalker walker(stream, begin);
  excel::Record r;
  std::vector<std::string> before, cells, after;
  while (walker.next(r)) {
    std::string raw = stream.substr(r.offset, 4 + r.data.size());
    bool cell =
        r.type == excel::rec::LabelSst || r.type == excel::rec::Rk || r.type == excel::rec::Number;
    (cell ? cells : cells.empty() ? before : after).push_back(raw);
    if (r.type == excel::rec::Eof) break;
  }
  std::string reordered = stream.substr(0, begin);
  for (const auto& s : before) reordered += s;
  for (auto it = cells.rbegin(); it != cells.rend(); ++it) reordered += *it;
  for (const auto& s : after) reordered += s;
  reordered += stream.substr(reordered.size());
  ASSERT_EQ(reordered.size(), stream.size());
  ASSERT_NE(reordered, stream);

  auto db = excel::openWorkbookSourceFromStream(reordered, "reordered.xls");
  EXPECT_EQ(readTable(*db, "S$"), inOrder);

  auto cursor = db->openTable("S$");
  std::vector<Variant> row;
  std::vector<std::vector<Variant>> first, second;
  while (cursor->next(row)) first.push_back(row);
  cursor->reset();
  while (cursor->next(row)) second.push_back(row);
  EXPECT_EQ(first.size(), 100u);
  EXPECT_EQ(first, second);
}

}  // namespace
}  // namespace tabulor::test

namespace tabulor::test {
namespace {

// A damaged directory whose root entry has siblings: libgsf reads them and never frees
// them, so the reader clears them before libgsf sees the file (the sanitizer build finds
// the leak otherwise). The workbook reads the same from its path and from memory.
TEST(ExcelRead, RootEntryWithSiblingsReadsLikeTheFileWithout) {
  TempDir dir;
  const std::string path = dir.file("siblings.xls");
  TableSchema schema;
  schema.fields.push_back({"n", VT_I4, 0, {}});
  auto w = excel().createTable(path, "Data", schema);
  w->appendRow({Variant::i4(7)});
  w->finish();
  std::string bytes = readFile(path);
  const std::string stream = excel::readWorkbookStreamFromMemory(bytes, "siblings.xls").bytes;
  const uint32_t shift = static_cast<uint8_t>(bytes[30]);
  const uint32_t directory = static_cast<uint8_t>(bytes[48]) | static_cast<uint8_t>(bytes[49]) << 8;
  const size_t siblings = 512 + (size_t{directory} << shift) + 68;
  ASSERT_LT(siblings + 8, bytes.size());
  bytes.replace(siblings, 8, std::string("\x01\x00\x00\x00\x01\x00\x00\x00", 8));
  writeFile(path, bytes);

  EXPECT_EQ(excel::readWorkbookStreamFromMemory(bytes, "siblings.xls").bytes, stream);
  EXPECT_EQ(excel::readWorkbookStream(path).bytes, stream);
  auto db = excel().openDatabase(path);
  Grid g = readTable(*db, "Data$");
  ASSERT_EQ(g.size(), 2u);
  EXPECT_EQ(g[1][0], "7");
}

}  // namespace
}  // namespace tabulor::test
