// Writing .ods: what the driver writes is read back by odfpy, by LibreOffice, by gnumeric
// (ssconvert) and by the driver itself with the same values and types; tables are added
// statement by statement; limits fail the statement before any file exists; a full disk
// fails it without leaving a file (for the xlsx writer too).
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>

#include "engine/engine_error.h"
#include "engine/ole_date.h"
#include "tests/support/test_support.h"
#include "tests/workbooks/workbook_test_util.h"

namespace tabulor::test {
namespace {

double date(const char* iso) {
  return *oleDateFromIso(iso);
}

struct Sample {
  TableSchema schema = schemaOf(
      {{"id", VT_I4}, {"name", VT_BSTR}, {"price", VT_R8}, {"when", VT_DATE}, {"ok", VT_BOOL}});
  std::vector<std::vector<Variant>> rows = {
      {Variant::i4(1), Variant::text("Müller, \"Zoë\" & <co>"), Variant::r8(0.1),
       Variant::oleDate(date("2023-03-15")), Variant::boolean(true)},
      {Variant::i4(-2), Variant::text("  lead  mid   trail  "), Variant::r8(-1e300),
       Variant::oleDate(date("1850-06-01 06:30:00")), Variant::boolean(false)},
      {Variant::null(), Variant::text("tab\there\ntwo lines"), Variant::r8(0.30000000000000004),
       Variant::oleDate(0.75), Variant::null()},
      {Variant::i4(2147483647), Variant::text("日本語 😀 текст"), Variant::null(), Variant::null(),
       Variant::boolean(true)},
  };
};

TEST(OdsWrite, OwnReaderGetsEveryValueAndTypeBack) {
  TempDir tmp;
  Sample s;
  writeTable(ods(), tmp.file("book.ods"), "Data", s.schema, s.rows);
  auto db = ods().openDatabase(tmp.file("book.ods"));
  ASSERT_EQ(db->tables().size(), 1u);
  EXPECT_EQ(db->tables()[0].name, "Data$");
  std::vector<FieldInfo> fields;
  EXPECT_EQ(readRows(*db, "Data$", &fields), s.rows);
  ASSERT_EQ(fields.size(), 5u);
  for (size_t i = 0; i < fields.size(); ++i) EXPECT_EQ(fields[i].type, s.schema.fields[i].type);
}

// odfpy sees the cells as the format defines them: value types, values and paragraphs.
TEST(OdsWrite, OdfpyReadsValueTypesAndTexts) {
  TempDir tmp;
  Sample s;
  writeTable(ods(), tmp.file("book.ods"), "Data", s.schema, s.rows);
  std::string out = runPython(R"(
import sys
from odf.opendocument import load
from odf.table import Table, TableRow, TableCell
from odf import teletype
doc = load(sys.argv[1])
for t in doc.spreadsheet.getElementsByType(Table):
    print("table", t.getAttribute("name"))
    for r in t.getElementsByType(TableRow):
        cells = []
        for c in r.getElementsByType(TableCell):
            n = int(c.getAttribute("numbercolumnsrepeated") or 1)
            vt = c.getAttribute("valuetype")
            v = (c.getAttribute("value") or c.getAttribute("datevalue") or
                 c.getAttribute("timevalue") or c.getAttribute("booleanvalue"))
            text = "\n".join(teletype.extractText(p) for p in c.childNodes)
            cells += [(vt, v if vt != "string" else text)] * n
        print(cells)
)",
                              {tmp.file("book.ods")});
  EXPECT_EQ(out,
            "table Data\n"
            "[('string', 'id'), ('string', 'name'), ('string', 'price'), ('string', 'when'), "
            "('string', 'ok')]\n"
            "[('float', '1'), ('string', 'Müller, \"Zoë\" & <co>'), ('float', '0.1'), ('date', "
            "'2023-03-15'), ('boolean', 'true')]\n"
            "[('float', '-2'), ('string', '  lead  mid   trail  '), ('float', '-1e+300'), "
            "('date', '1850-06-01T06:30:00'), ('boolean', 'false')]\n"
            "[(None, None), ('string', 'tab\\there\\ntwo lines'), ('float', "
            "'0.30000000000000004'), ('time', 'PT18H00M00S')]\n"
            "[('float', '2147483647'), ('string', '日本語 😀 текст'), (None, None), (None, None), "
            "('boolean', 'true')]\n");
}

TEST(OdsWrite, LibreOfficeAndGnumericReadWhatIsWritten) {
  TempDir tmp;
  Sample s;
  writeTable(ods(), tmp.file("book.ods"), "Data", s.schema, s.rows);
  auto db = ods().openDatabase(tmp.file("book.ods"));
  Grid ours = readTable(*db, "Data$");
  if (haveProgram("soffice")) {
    ASSERT_EQ(runCommand("cd '" + tmp.path() + "' && " + sofficeCommand() +
                         " --convert-to 'csv:Text - txt - csv (StarCalc):44,34,76,1,,0,false,"
                         "true,false,false' book.ods >/dev/null 2>&1"),
              0);
    // Named exclusions: LibreOffice's CSV export drops tab characters (also from files it
    // wrote itself), prints 15 significant digits, and shows a time in its locale's clock.
    Grid forLibreOffice = ours;
    forLibreOffice[3][1] = "tabhere\ntwo lines";
    forLibreOffice[3][2] = "0.3";
    forLibreOffice[3][3] = "06:00:00 PM";
    EXPECT_EQ(compareGrids(forLibreOffice, parseCsv(readFile(tmp.file("book.csv"))), false), "");
  }
  if (haveProgram("ssconvert")) {
    std::vector<Grid> theirs = ssconvertSheets(tmp.file("book.ods"), tmp.path());
    ASSERT_EQ(theirs.size(), 1u);
    // Named exclusion: gnumeric reads a date before 1900 from .ods as a huge number.
    ASSERT_GT(theirs[0].size(), 2u);
    Grid forGnumeric = ours;
    forGnumeric[2][3] = theirs[0][2][3];
    EXPECT_EQ(compareGrids(forGnumeric, theirs[0], false), "");
  }
}

TEST(OdsWrite, TablesAddedStatementByStatement) {
  TempDir tmp;
  const std::string book = tmp.file("book.ods");
  TableSchema schema = schemaOf({{"n", VT_I4}, {"t", VT_BSTR}});
  writeTable(ods(), book, "Jan", schema, {{Variant::i4(1), Variant::text("one")}});
  writeTable(ods(), book, "JAN", schema, {{Variant::i4(2), Variant::text("two")}});
  writeTable(ods(), book, "a/b:c*[d]? and a name well past thirty-one characters", schema,
             {{Variant::i4(3), Variant::text("three")}});
  auto db = ods().openDatabase(book);
  std::vector<std::string> names;
  for (const auto& t : db->tables()) names.push_back(t.name);
  EXPECT_EQ(names,
            (std::vector<std::string>{"Jan$", "JAN_2$",
                                      "'a_b_c__d__ and a name well past thirty-one characters$'"}));
  EXPECT_EQ(readRows(*db, "Jan$"),
            (std::vector<std::vector<Variant>>{{Variant::i4(1), Variant::text("one")}}));
  EXPECT_EQ(readRows(*db, "JAN_2$"),
            (std::vector<std::vector<Variant>>{{Variant::i4(2), Variant::text("two")}}));
}

TEST(OdsWrite, LimitsAndForeignFilesFailWithoutLeavingAFile) {
  TempDir tmp;
  const std::string book = tmp.file("book.ods");
  TableSchema wide;
  for (int i = 0; i < 16385; ++i) wide.fields.push_back({"f" + std::to_string(i), VT_I4, 0, {}});
  TableSchema counted = schemaOf({{"n", VT_I4}});
  counted.rowCount = 1048576;
  for (const TableSchema* schema : {&wide, &counted}) {
    try {
      ods().createTable(book, "S", *schema);
      ADD_FAILURE() << "no error";
    } catch (const EngineError& e) {
      EXPECT_EQ(e.kind(), ErrorKind::Limit) << e.what();
    }
  }
  EXPECT_TRUE(listFolder(tmp.path()).empty());
  // A statement that fails half-way leaves neither a file nor a temporary one.
  {
    auto w = ods().createTable(book, "S", schemaOf({{"n", VT_I4}}));
    w->appendRow({Variant::i4(1)});
  }
  EXPECT_TRUE(listFolder(tmp.path()).empty());

  writeZip(book, odsPackage("<table:table table:name=\"theirs\"/>"));
  const std::string before = readFile(book);
  try {
    ods().createTable(book, "S", schemaOf({{"n", VT_I4}}));
    ADD_FAILURE() << "no error";
  } catch (const EngineError& e) {
    EXPECT_EQ(e.kind(), ErrorKind::Exists) << e.what();
  }
  EXPECT_EQ(readFile(book), before);
}

}  // namespace
}  // namespace tabulor::test

namespace tabulor::test {
namespace {

// The child's side of the full-disk test: files may not grow past 64 KB (as on a disk that
// fills up), so writing a large table must fail with an Io error and leave nothing behind.
[[noreturn]] void writeOnFullDisk(const Driver& driver, const std::string& folder,
                                  const std::string& file) {
  std::signal(SIGXFSZ, SIG_IGN);
  rlimit limit{};
  limit.rlim_cur = limit.rlim_max = 64 << 10;
  setrlimit(RLIMIT_FSIZE, &limit);
  try {
    std::vector<std::vector<Variant>> rows;
    for (int i = 0; i < 50000; ++i)
      rows.push_back({Variant::i4(i), Variant::text("row " + std::to_string(i * 7919))});
    writeTable(driver, folder + "/" + file, "S", schemaOf({{"n", VT_I4}, {"t", VT_BSTR}}), rows);
    std::fprintf(stderr, "no error\n");
    std::_Exit(1);
  } catch (const EngineError& e) {
    std::fprintf(stderr, "%s\n", e.what());
    std::_Exit(e.kind() == ErrorKind::Io && listFolder(folder).empty() ? 0 : 2);
  }
}

TEST(WorkbookWrite, FullDiskFailsWithoutLeavingAFile) {
  TempDir tmp;
  EXPECT_EXIT(writeOnFullDisk(xlsx(), tmp.path(), "full.xlsx"), ::testing::ExitedWithCode(0), "");
  EXPECT_EXIT(writeOnFullDisk(ods(), tmp.path(), "full.ods"), ::testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace tabulor::test
