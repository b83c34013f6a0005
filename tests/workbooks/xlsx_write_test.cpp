// Writing .xlsx: what the driver writes is read back by openpyxl, by gnumeric (ssconvert)
// and by the driver itself with the same values and types; sheets are added statement by
// statement; limits fail the statement before any file exists and leave an earlier
// workbook as it was.
#include <gtest/gtest.h>

#include <filesystem>

#include "engine/database.h"
#include "engine/engine_error.h"
#include "engine/ole_date.h"
#include "tests/support/test_support.h"
#include "tests/workbooks/workbook_test_util.h"

namespace tabulor::test {
namespace {

namespace fs = std::filesystem;

double date(const char* iso) {
  return *oleDateFromIso(iso);
}

// Every kind of value, one type per column, with the texts a careless writer changes.
struct Sample {
  TableSchema schema = schemaOf(
      {{"id", VT_I4}, {"name", VT_BSTR}, {"price", VT_R8}, {"when", VT_DATE}, {"ok", VT_BOOL}});
  std::vector<std::vector<Variant>> rows = {
      {Variant::i4(1), Variant::text("Müller, \"Zoë\" & <co>"), Variant::r8(0.1),
       Variant::oleDate(date("2023-03-15")), Variant::boolean(true)},
      {Variant::i4(-2), Variant::text("_x0041_ stays literal"), Variant::r8(-1e300),
       Variant::oleDate(date("1900-01-01 06:30:00")), Variant::boolean(false)},
      {Variant::null(), Variant::text("  lead, trail  "), Variant::r8(123456789.125),
       Variant::oleDate(date("2024-02-29 23:59:59")), Variant::null()},
      {Variant::i4(2147483647), Variant::text("a\x01z\ttab\r\nCRLF\nLF"), Variant::null(),
       Variant::null(), Variant::boolean(true)},
      {Variant::i4(0), Variant::text("日本語 😀 текст"), Variant::r8(-0.5),
       Variant::oleDate(date("1900-03-01")), Variant::boolean(false)},
  };
};

TEST(XlsxWrite, OwnReaderGetsEveryValueAndTypeBack) {
  TempDir tmp;
  Sample s;
  writeTable(xlsx(), tmp.file("book.xlsx"), "Data", s.schema, s.rows);
  auto db = xlsx().openDatabase(tmp.file("book.xlsx"));
  ASSERT_EQ(db->tables().size(), 1u);
  EXPECT_EQ(db->tables()[0].name, "Data$");
  std::vector<FieldInfo> fields;
  EXPECT_EQ(readRows(*db, "Data$", &fields), s.rows);
  ASSERT_EQ(fields.size(), 5u);
  for (size_t i = 0; i < fields.size(); ++i) {
    EXPECT_EQ(fields[i].name, s.schema.fields[i].name);
    EXPECT_EQ(fields[i].type, s.schema.fields[i].type) << fields[i].name;
  }
}

// A time of day alone is a time (no date part), dates before 1900 (which Excel cannot
// hold) stay as ISO text, and numbers with more digits than a double stay exact as text.
TEST(XlsxWrite, TimesEarlyDatesAndLongNumbers) {
  TempDir tmp;
  writeTable(
      xlsx(), tmp.file("t.xlsx"), "T",
      schemaOf({{"time", VT_DATE}, {"early", VT_DATE}, {"big", VT_DECIMAL}}),
      {{Variant::oleDate(0.75), Variant::oleDate(date("1850-06-01")),
        Variant::decimal("12345678901234567890")},
       {Variant::oleDate(0.5), Variant::oleDate(date("1899-12-31")), Variant::decimal("-12.5")}});
  auto db = xlsx().openDatabase(tmp.file("t.xlsx"));
  std::vector<FieldInfo> fields;
  auto rows = readRows(*db, "T$", &fields);
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0][0], Variant::oleDate(0.75));
  EXPECT_EQ(rows[0][1], Variant::text("1850-06-01"));
  EXPECT_EQ(rows[1][1], Variant::text("1899-12-31"));
  EXPECT_EQ(rows[0][2], Variant::text("12345678901234567890"));
  EXPECT_EQ(rows[1][2], Variant::text("-12.5"));  // a column of mixed kinds is text
  EXPECT_EQ(fields[0].type, VT_DATE);
}

const char* const OpenpyxlDump = R"(
import sys, openpyxl
wb = openpyxl.load_workbook(sys.argv[1])
for ws in wb.worksheets:
    print("sheet", ws.title)
    for row in ws.iter_rows(values_only=True):
        print(repr(row))
)";

// Named exclusion: openpyxl leaves the "_xHHHH_" escapes of inline strings undecoded (Excel
// and LibreOffice decode them), so the control characters and the escaped literal show as
// escapes here; LibreOffice's reading below gets the text itself.
TEST(XlsxWrite, OpenpyxlReadsValuesAndTypes) {
  TempDir tmp;
  Sample s;
  writeTable(xlsx(), tmp.file("book.xlsx"), "Data", s.schema, s.rows);
  std::string out = runPython(OpenpyxlDump, {tmp.file("book.xlsx")});
  EXPECT_EQ(out,
            "sheet Data\n"
            "('id', 'name', 'price', 'when', 'ok')\n"
            "(1, 'Müller, \"Zoë\" & <co>', 0.1, datetime.datetime(2023, 3, 15, 0, 0), True)\n"
            "(-2, '_x005F_x0041_ stays literal', -1e+300, datetime.datetime(1900, 1, 1, 6, 30), "
            "False)\n"
            "(None, '  lead, trail  ', 123456789.125, datetime.datetime(2024, 2, 29, 23, 59, 59), "
            "None)\n"
            "(2147483647, 'a_x0001_z\\ttab_x000D_\\nCRLF\\nLF', None, None, True)\n"
            "(0, '日本語 😀 текст', -0.5, datetime.datetime(1900, 3, 1, 0, 0), False)\n");
}

// The sheet parts are deflated at zlib's fastest level (the zip's option bits say so) and
// every part inflates to its recorded CRC, as Python's zip reader checks them.
TEST(XlsxWrite, PartsDeflatedFastAndWhole) {
  TempDir tmp;
  Sample s;
  writeTable(xlsx(), tmp.file("book.xlsx"), "Data", s.schema, s.rows);
  std::string out = runPython(R"(
import sys, zipfile
z = zipfile.ZipFile(sys.argv[1])
print(z.testzip())
for i in z.infolist():
    if i.filename.startswith("xl/worksheets/"):
        print(i.filename, i.compress_type, (i.flag_bits >> 1) & 3)
)",
                              {tmp.file("book.xlsx")});
  EXPECT_EQ(out, "None\nxl/worksheets/sheet1.xml 8 3\n");
}

TEST(XlsxWrite, GnumericReadsWhatIsWritten) {
  if (!haveProgram("ssconvert")) GTEST_SKIP() << "ssconvert not installed";
  TempDir tmp;
  Sample s;
  // Named exclusion: gnumeric leaves "_xHHHH_" escapes undecoded, as openpyxl does.
  s.rows.erase(s.rows.begin() + 3);
  s.rows.erase(s.rows.begin() + 1);
  writeTable(xlsx(), tmp.file("book.xlsx"), "Data", s.schema, s.rows);
  std::vector<Grid> theirs = ssconvertSheets(tmp.file("book.xlsx"), tmp.path());
  ASSERT_EQ(theirs.size(), 1u);
  auto db = xlsx().openDatabase(tmp.file("book.xlsx"));
  EXPECT_EQ(compareGrids(readTable(*db, "Data$"), theirs[0], false), "");
}

// One statement per table: the second adds its sheet and keeps the first; names are mended
// to Excel's rules (31 characters, no []:*?/\, unique without regard to case).
TEST(XlsxWrite, SheetsAddedStatementByStatement) {
  TempDir tmp;
  const std::string book = tmp.file("book.xlsx");
  TableSchema schema = schemaOf({{"n", VT_I4}, {"t", VT_BSTR}});
  writeTable(xlsx(), book, "Jan", schema, {{Variant::i4(1), Variant::text("one")}});
  writeTable(xlsx(), book, "JAN", schema, {{Variant::i4(2), Variant::text("two")}});
  writeTable(xlsx(), book, "a/b:c*[d]? and a name well past thirty-one characters", schema,
             {{Variant::i4(3), Variant::oleDate(date("2020-01-02"))}});
  auto db = xlsx().openDatabase(book);
  std::vector<std::string> names;
  for (const auto& t : db->tables()) names.push_back(t.name);
  EXPECT_EQ(names,
            (std::vector<std::string>{"Jan$", "JAN_2$", "'a_b_c__d__ and a name well past$'"}));
  EXPECT_EQ(readRows(*db, "Jan$"),
            (std::vector<std::vector<Variant>>{{Variant::i4(1), Variant::text("one")}}));
  EXPECT_EQ(readRows(*db, "JAN_2$"),
            (std::vector<std::vector<Variant>>{{Variant::i4(2), Variant::text("two")}}));
  EXPECT_EQ(
      readRows(*db, "'a_b_c__d__ and a name well past$'"),
      (std::vector<std::vector<Variant>>{{Variant::i4(3), Variant::oleDate(date("2020-01-02"))}}));
  EXPECT_EQ(runPython("import sys, openpyxl\nprint(openpyxl.load_workbook(sys.argv[1]).sheetnames)",
                      {book}),
            "['Jan', 'JAN_2', 'a_b_c__d__ and a name well past']\n");
}

// Limits fail the statement: before the writer exists for what the schema shows, at the
// record for what only the rows show; no file is left, and nothing else in the folder.
TEST(XlsxWrite, LimitsFailWithoutLeavingAFile) {
  TempDir tmp;
  const std::string book = tmp.file("book.xlsx");
  TableSchema wide;
  for (int i = 0; i < 16385; ++i) wide.fields.push_back({"f" + std::to_string(i), VT_I4, 0, {}});
  TableSchema counted = schemaOf({{"n", VT_I4}});
  counted.rowCount = 1048576;
  for (const TableSchema* schema : {&wide, &counted}) {
    try {
      xlsx().createTable(book, "S", *schema);
      ADD_FAILURE() << "no error";
    } catch (const EngineError& e) {
      EXPECT_EQ(e.kind(), ErrorKind::Limit) << e.what();
    }
  }
  // A writer given up keeps no descriptor open (libxlsxwriter's temporary file of rows).
  auto descriptors = [] {
    return std::distance(std::filesystem::directory_iterator("/proc/self/fd"),
                         std::filesystem::directory_iterator());
  };
  const auto openBefore = descriptors();
  try {
    writeTable(xlsx(), book, "S", schemaOf({{"t", VT_BSTR}}),
               {{Variant::text("short")}, {Variant::text(std::string(32768, 'x'))}});
    ADD_FAILURE() << "no error";
  } catch (const EngineError& e) {
    EXPECT_EQ(e.kind(), ErrorKind::Limit);
    EXPECT_NE(std::string(e.what()).find("record 2 of table S"), std::string::npos) << e.what();
    EXPECT_NE(std::string(e.what()).find("32,767"), std::string::npos) << e.what();
  }
  EXPECT_EQ(descriptors(), openBefore);
  EXPECT_TRUE(listFolder(tmp.path()).empty());
  // Nor does a sheet without cells (a table without fields), which is written.
  writeTable(xlsx(), tmp.file("empty.xlsx"), "S", TableSchema{}, {});
  EXPECT_EQ(descriptors(), openBefore);
  std::filesystem::remove(tmp.file("empty.xlsx"));

  // An earlier sheet stays as it was when a later statement fails.
  writeTable(xlsx(), book, "First", schemaOf({{"t", VT_BSTR}}), {{Variant::text("kept")}});
  const std::string before = readFile(book);
  EXPECT_THROW(writeTable(xlsx(), book, "Second", schemaOf({{"t", VT_BSTR}}),
                          {{Variant::text(std::string(40000, 'y'))}}),
               EngineError);
  EXPECT_EQ(readFile(book), before);
  EXPECT_EQ(listFolder(tmp.path()), std::vector<std::string>{"book.xlsx"});
}

// The last row a sheet holds is written; the record after it fails the statement.
TEST(XlsxWrite, RowLimitAtTheLastRowOfASheet) {
  TempDir tmp;
  auto w = xlsx().createTable(tmp.file("rows.xlsx"), "S", schemaOf({{"n", VT_I4}}));
  for (int i = 0; i < 1048575; ++i) w->appendRow({Variant::i4(i)});
  try {
    w->appendRow({Variant::i4(0)});
    ADD_FAILURE() << "no error";
  } catch (const EngineError& e) {
    EXPECT_EQ(e.kind(), ErrorKind::Limit);
    EXPECT_NE(std::string(e.what()).find("record 1,048,576"), std::string::npos) << e.what();
  }
  w.reset();
  EXPECT_TRUE(listFolder(tmp.path()).empty());
}

// A workbook of another program at the target is never overwritten or added to; a folder
// that does not exist fails before anything is written.
TEST(XlsxWrite, ForeignWorkbookAndMissingFolderAreRefused) {
  TempDir tmp;
  const std::string book = tmp.file("theirs.xlsx");
  runPython(
      "import sys, openpyxl\nwb = openpyxl.Workbook()\nwb.active['A1'] = 'x'\nwb.save(sys.argv[1])",
      {book});
  const std::string before = readFile(book);
  try {
    xlsx().createTable(book, "S", schemaOf({{"n", VT_I4}}));
    ADD_FAILURE() << "no error";
  } catch (const EngineError& e) {
    EXPECT_EQ(e.kind(), ErrorKind::Exists) << e.what();
  }
  EXPECT_EQ(readFile(book), before);
  try {
    xlsx().createTable(tmp.file("no/such/folder.xlsx"), "S", schemaOf({{"n", VT_I4}}));
    ADD_FAILURE() << "no error";
  } catch (const EngineError& e) {
    EXPECT_EQ(e.kind(), ErrorKind::Io) << e.what();
  }
}

}  // namespace
}  // namespace tabulor::test

namespace tabulor::test {
namespace {

// LibreOffice reads the values and the exact texts (it decodes the escapes of control
// characters and of a literal "_x0041_").
TEST(XlsxWrite, LibreOfficeReadsWhatIsWritten) {
  if (!haveProgram("soffice")) GTEST_SKIP() << "LibreOffice not installed";
  TempDir tmp;
  Sample s;
  // Named exclusions: LibreOffice counts the serial days before 1900-03-01 one day earlier
  // than Excel (it has no 1900-02-29), and its CSV export writes a CR LF inside a cell as LF.
  s.rows[1][3] = Variant::oleDate(date("1900-03-02 06:30:00"));
  s.rows[3][1] = Variant::text("a\x01z\ttab\nLF");
  writeTable(xlsx(), tmp.file("book.xlsx"), "Data", s.schema, s.rows);
  ASSERT_EQ(runCommand("cd '" + tmp.path() + "' && " + sofficeCommand() +
                       " --convert-to 'csv:Text - txt - csv (StarCalc):44,34,76,1,,0,false,true,"
                       "false,false' book.xlsx >/dev/null 2>&1"),
            0);
  Grid theirs = parseCsv(readFile(tmp.file("book.csv")));
  auto db = xlsx().openDatabase(tmp.file("book.xlsx"));
  EXPECT_EQ(compareGrids(readTable(*db, "Data$"), theirs, false), "");
}

}  // namespace
}  // namespace tabulor::test
