// Writing workbooks: what the driver writes is read back by gnumeric (ssconvert), by
// Debian's Python xlrd (python3-xlrd, so /usr/bin/python3), by LibreOffice where it is installed,
// and by the driver itself; sheets are added statement by statement; limits fail the statement and
// leave the file as it was.
#include <gtest/gtest.h>

#include <filesystem>

#include "engine/database.h"
#include "engine/drivers/excel/compound_file.h"
#include "engine/ole_date.h"
#include "engine/value_format.h"
#include "tests/excel/excel_test_util.h"
#include "tests/support/test_support.h"

namespace tabulor::test {
namespace {

TableSchema schemaOf(std::vector<std::pair<std::string, uint16_t>> fields) {
  TableSchema s;
  for (auto& [name, type] : fields) {
    FieldInfo f;
    f.name = name;
    f.type = type;
    s.fields.push_back(f);
  }
  return s;
}

void writeTable(const std::string& path, const std::string& table, const TableSchema& schema,
                const std::vector<std::vector<Variant>>& rows) {
  auto w = excel().createTable(path, table, schema);
  for (const auto& r : rows) w->appendRow(r);
  w->finish();
}

// A sheet with every kind of value, including text that needs UTF-16, a long text that
// the shared string table must continue across records, and dates around 1900.
struct Sample {
  TableSchema schema = schemaOf({{"id", VT_I4},
                                 {"name", VT_BSTR},
                                 {"price", VT_R8},
                                 {"when", VT_DATE},
                                 {"ok", VT_BOOL},
                                 {"big", VT_DECIMAL}});
  std::vector<std::vector<Variant>> rows;
  Grid expected;  // as gnumeric writes it
  Sample() {
    std::string longText(9000, 'x');
    longText += "€nd";
    auto add = [&](std::vector<Variant> r, std::vector<std::string> e) {
      rows.push_back(std::move(r));
      expected.push_back(std::move(e));
    };
    expected.push_back({"id", "name", "price", "when", "ok", "big"});
    add({Variant::i4(1), Variant::text("Müller, \"Zoë\""), Variant::r8(0.1),
         Variant::oleDate(*oleDateFromIso("2023-03-15")), Variant::boolean(true),
         Variant::decimal("12345678901234567890")},
        {"1", "Müller, \"Zoë\"", "0.1", "2023/03/15", "TRUE", "12345678901234567890"});
    add({Variant::i4(-2), Variant::text("日本語 текст"), Variant::r8(-1e300),
         Variant::oleDate(*oleDateFromIso("1900-01-01 06:30:00")), Variant::boolean(false),
         Variant::decimal("-12.5")},
        {"-2", "日本語 текст", "-1e+300", "1900/01/01 06:30:00", "FALSE", "-12.5"});
    add({Variant::null(), Variant::text(longText), Variant::r8(123456789.125),
         Variant::oleDate(0.75), Variant::null(), Variant::null()},
        {"", longText, "123456789.125", "18:00:00", "", ""});
    add({Variant::i4(2147483647), Variant::text(""), Variant::null(),
         Variant::oleDate(*oleDateFromIso("1850-06-01")), Variant::null(), Variant::null()},
        {"2147483647", "", "", "1850-06-01", "", ""});
    for (int i = 0; i < 3000; ++i)  // enough strings for several SST continuations
      add({Variant::i4(i), Variant::text("row " + std::to_string(i) + " ∂"), Variant::r8(i / 8.0),
           Variant::null(), Variant::null(), Variant::null()},
          {std::to_string(i), "row " + std::to_string(i) + " ∂", doubleText(i / 8.0), "", "", ""});
  }
};

TEST(ExcelWrite, GnumericReadsWhatIsWritten) {
  if (!haveProgram("ssconvert")) GTEST_SKIP() << "ssconvert not installed";
  TempDir tmp;
  Sample s;
  std::string path = tmp.file("out.xls");
  writeTable(path, "Data", s.schema, s.rows);
  std::vector<Grid> sheets = ssconvertSheets(path, tmp.path());
  ASSERT_EQ(sheets.size(), 1u);
  // Named exclusion: gnumeric writes the date 1850-06-01, kept as text, as it stands.
  EXPECT_EQ(compareGrids(s.expected, sheets[0], false), "");
}

TEST(ExcelWrite, DriverReadsBackValuesAndTypes) {
  TempDir tmp;
  Sample s;
  std::string path = tmp.file("out.xls");
  writeTable(path, "Data", s.schema, s.rows);
  auto db = excel().openDatabase(path);
  ASSERT_EQ(db->tables().size(), 1u);
  EXPECT_EQ(db->tables()[0].name, "Data$");
  std::vector<FieldInfo> fields;
  Grid g = readTable(*db, "Data$", &fields);
  EXPECT_EQ(compareGrids(g, s.expected, false), "");
  ASSERT_EQ(fields.size(), 6u);
  EXPECT_EQ(fields[0].type, VT_I4);
  EXPECT_EQ(fields[2].type, VT_R8);
  EXPECT_EQ(fields[4].type, VT_BOOL);
}

// A time of day alone is a time cell, and reads back as a time in both date systems: the
// 1904 system counts its days from 1904-01-01, but a time has no day to count.
TEST(ExcelWrite, TimesOfDayReadBackAsTimesInBothDateSystems) {
  TempDir tmp;
  std::string path = tmp.file("times.xls");
  writeTable(path, "Data", schemaOf({{"at", VT_DATE}}),
             {{Variant::oleDate(0.34375)},
              {Variant::oleDate(0)},
              {Variant::oleDate(*oleDateFromIso("2023-03-15"))}});
  auto texts = [&] {
    auto db = excel().openDatabase(path);
    std::vector<FieldInfo> fields;
    Grid g = readTable(*db, "Data$", &fields);
    EXPECT_EQ(fields.at(0).type, VT_DATE);
    std::vector<std::string> out;
    for (size_t r = 1; r < g.size(); ++r) out.push_back(g[r][0]);
    return out;
  };
  EXPECT_EQ(texts(), (std::vector<std::string>{"08:15:00", "00:00:00", "2023/03/15"}));

  std::string bytes = readFile(path);
  const std::string mode1900("\x22\x00\x02\x00\x00\x00", 6);
  size_t at = bytes.find(mode1900);
  ASSERT_NE(at, std::string::npos);
  bytes[at + 4] = 1;  // DATEMODE: the 1904 system
  writeFile(path, bytes);
  EXPECT_EQ(texts(), (std::vector<std::string>{"08:15:00", "00:00:00", "2027/03/16"}));
}

TEST(ExcelWrite, XlrdReadsWhatIsWritten) {
  if (runCommand("/usr/bin/python3 -c 'import xlrd' 2>/dev/null") != 0)
    GTEST_SKIP() << "xlrd not installed";
  TempDir tmp;
  Sample s;
  std::string path = tmp.file("out.xls");
  writeTable(path, "Data", s.schema, s.rows);
  writeTable(path, "Zweite Tabelle", s.schema, {s.rows[0]});
  std::string script = tmp.file("dump.py");
  writeFile(
      script,
      "import sys, csv, xlrd\n"
      "b = xlrd.open_workbook(sys.argv[1])\n"
      "w = csv.writer(sys.stdout, lineterminator='\\n')\n"
      "for sh in b.sheets():\n"
      "  w.writerow(['#sheet', sh.name])\n"
      "  for r in range(sh.nrows):\n"
      "    out = []\n"
      "    for c in sh.row(r):\n"
      "      if c.ctype == xlrd.XL_CELL_DATE:\n"
      "        try: t = xlrd.xldate_as_tuple(c.value, b.datemode)\n"
      "        except xlrd.xldate.XLDateAmbiguous: out.append('ambiguous ' + repr(c.value)); "
      "continue\n"
      "        out.append('%04d/%02d/%02d' % t[:3] if t[3:] == (0, 0, 0) and t[0] else\n"
      "                   '%02d:%02d:%02d' % t[3:] if not t[0] else\n"
      "                   '%04d/%02d/%02d %02d:%02d:%02d' % t)\n"
      "      elif c.ctype == xlrd.XL_CELL_BOOLEAN: out.append('TRUE' if c.value else 'FALSE')\n"
      "      elif c.ctype == xlrd.XL_CELL_NUMBER: out.append(repr(c.value))\n"
      "      else: out.append(c.value)\n"
      "    w.writerow(out)\n");
  std::string out;
  ASSERT_EQ(runCommand("/usr/bin/python3 '" + script + "' '" + path + "'", &out), 0);
  Grid all = parseCsv(out);
  std::vector<Grid> sheets;
  std::vector<std::string> names;
  for (auto& row : all) {
    if (row.size() == 2 && row[0] == "#sheet") {
      names.push_back(row[1]);
      sheets.emplace_back();
    } else if (!sheets.empty()) {
      sheets.back().push_back(row);
    }
  }
  ASSERT_EQ(names, (std::vector<std::string>{"Data", "Zweite Tabelle"}));
  // Named exclusion: xlrd refuses dates before 1900-03-01 (Excel's phantom leap day makes
  // them ambiguous to it); it still shows the cell is a date with the right serial.
  Grid expected = s.expected;
  expected[2][3] = "ambiguous 1.2708333333333335";
  EXPECT_EQ(compareGrids(expected, sheets[0], false), "");
  Grid second(s.expected.begin(), s.expected.begin() + 2);
  EXPECT_EQ(compareGrids(second, sheets[1], false), "");
}

TEST(ExcelWrite, LibreOfficeReadsWhatIsWritten) {
  if (!haveProgram("soffice")) GTEST_SKIP() << "LibreOffice (soffice) not installed";
  TempDir tmp;
  Sample s;
  std::string path = tmp.file("out.xls");
  writeTable(path, "Data", s.schema, s.rows);
  ASSERT_EQ(runCommand("cd '" + tmp.path() + "' && " + sofficeCommand() +
                       " --convert-to "
                       "'csv:Text - txt - csv (StarCalc):44,34,76,1,,0,false,true,false,false' "
                       "out.xls >/dev/null 2>&1"),
            0);
  Grid g = parseCsv(readFile(tmp.file("out.csv")));
  ASSERT_EQ(g.size(), s.expected.size());
  EXPECT_EQ(g[1][1], s.expected[1][1]);
  EXPECT_EQ(g[3][1], s.expected[3][1]);
  EXPECT_EQ(g.back()[1], s.expected.back()[1]);
}

// Statement by statement: each adds a sheet, and the file is a whole workbook after each.
TEST(ExcelWrite, LaterStatementsAddSheets) {
  TempDir tmp;
  std::string path = tmp.file("book.xls");
  TableSchema schema = schemaOf({{"k", VT_BSTR}});
  writeTable(path, "Jan", schema, {{Variant::text("first")}});
  EXPECT_EQ(readTable(*excel().openDatabase(path), "Jan$"), (Grid{{"k"}, {"first"}}));
  writeTable(path, "Feb", schema, {{Variant::text("second")}, {Variant::text("first")}});
  writeTable(path, "jan", schema, {{Variant::text("third")}});  // name taken: mended
  writeTable(path, "a/b: c?", schema, {{Variant::text("fourth")}});
  auto db = excel().openDatabase(path);
  std::vector<std::string> names;
  for (const auto& t : db->tables()) names.push_back(t.name);
  EXPECT_EQ(names, (std::vector<std::string>{"Jan$", "Feb$", "jan_2$", "'a_b_ c_$'"}));
  EXPECT_EQ(readTable(*db, "Jan$"), (Grid{{"k"}, {"first"}}));
  EXPECT_EQ(readTable(*db, "Feb$"), (Grid{{"k"}, {"second"}, {"first"}}));
  EXPECT_EQ(readTable(*db, "jan_2$"), (Grid{{"k"}, {"third"}}));
  EXPECT_EQ(readTable(*db, "a_b_ c_$"), (Grid{{"k"}, {"fourth"}}));
  if (haveProgram("ssconvert")) {
    std::vector<Grid> sheets = ssconvertSheets(path, tmp.path());
    ASSERT_EQ(sheets.size(), 4u);
    EXPECT_EQ(sheets[1], (Grid{{"k"}, {"second"}, {"first"}}));
  }
}

TEST(ExcelWrite, LimitsFailTheStatementAndKeepEarlierSheets) {
  TempDir tmp;
  std::string path = tmp.file("book.xls");
  TableSchema one = schemaOf({{"n", VT_I4}});
  writeTable(path, "Kept", one, {{Variant::i4(1)}});
  std::string before = readFile(path);

  auto expectLimit = [&](auto&& statement, const std::string& mustSay) {
    try {
      statement();
      ADD_FAILURE() << "no error";
    } catch (const EngineError& e) {
      EXPECT_EQ(e.kind(), ErrorKind::Limit) << e.what();
      EXPECT_NE(std::string(e.what()).find(mustSay), std::string::npos) << e.what();
    }
    EXPECT_EQ(readFile(path), before);
    EXPECT_EQ(listFolder(tmp.path()), (std::vector<std::string>{"book.xls"}));
  };
  // 65,535 records fit below the header; the 65,536th does not.
  expectLimit(
      [&] {
        auto w = excel().createTable(path, "Big", one);
        for (int i = 0; i < 65536; ++i) w->appendRow({Variant::i4(i)});
        w->finish();
      },
      "record 65,536 of table Big");
  TableSchema known = one;
  known.rowCount = 65536;
  expectLimit([&] { excel().createTable(path, "Big", known); }, "65,536");
  TableSchema wide;
  for (int i = 0; i < 257; ++i) wide.fields.push_back({"f" + std::to_string(i), VT_I4, 0, {}});
  expectLimit([&] { excel().createTable(path, "Wide", wide); }, "256 columns");
  expectLimit(
      [&] {
        auto w = excel().createTable(path, "Text", schemaOf({{"t", VT_BSTR}}));
        w->appendRow({Variant::text("ok")});
        w->appendRow({Variant::text(std::string(32768, 'a'))});
        w->finish();
      },
      "record 2 of table Text");

  // Exactly the limit is written.
  auto w = excel().createTable(path, "Full", one);
  for (int i = 0; i < 65535; ++i) w->appendRow({Variant::i4(i)});
  w->finish();
  auto db = excel().openDatabase(path);
  auto cursor = db->openTable("Full$");
  std::vector<Variant> row;
  int n = 0;
  while (cursor->next(row)) ++n;
  EXPECT_EQ(n, 65535);
  EXPECT_EQ(row[0], Variant::i4(65534));
}

TEST(ExcelWrite, ExistingFileThatIsNotOursIsNotOverwritten) {
  TempDir tmp;
  std::string path = tmp.file("book.xls");
  writeFile(path, "a,b\n1,2\n");
  EXPECT_THROW(excel().createTable(path, "S", schemaOf({{"a", VT_I4}})), EngineError);
  EXPECT_EQ(readFile(path), "a,b\n1,2\n");
  if (!fixturesDir().empty()) {
    std::string foreign = tmp.file("foreign.xls");
    writeFile(foreign, readFile(fixturesDir() + "/xls/test2.xls"));
    try {
      excel().createTable(foreign, "S", schemaOf({{"a", VT_I4}}));
      ADD_FAILURE() << "no error";
    } catch (const EngineError& e) {
      EXPECT_EQ(e.kind(), ErrorKind::Exists);
    }
  }
  EXPECT_THROW(excel().createTable(tmp.file("no/such/folder.xls"), "S", schemaOf({{"a", VT_I4}})),
               EngineError);
}

// The whole engine path: a fixture workbook's sheets copied into a new workbook by
// statements, as the conversion runs them; 200 sheets in one workbook.
TEST(ExcelWrite, StatementsCopyWorkbooksAndManySheets) {
  TABULOR_REQUIRE_FIXTURES();
  TempDir tmp;
  Database db;
  db.Open(fixturesDir() + "/xls/types.xls", false, true, "Excel 8.0;");
  std::string target = tmp.file("types.xls");
  std::vector<std::string> sheets;
  for (int i = 0; i < db.GetTableDefCount(); ++i) {
    std::string name = db.GetTableDefInfo(i).name;
    if (name.back() != '$') continue;
    std::string table = name.substr(0, name.size() - 1);
    db.Execute("SELECT * INTO [Excel 8.0;DATABASE=" + target + "].[" + table + "] FROM [" + name +
               "]");
    sheets.push_back(name);
  }
  auto copy = excel().openDatabase(target);
  auto src = excel().openDatabase(fixturesDir() + "/xls/types.xls");
  for (const std::string& name : sheets) {
    SCOPED_TRACE(name);
    EXPECT_EQ(compareGrids(readTable(*copy, name), readTable(*src, name), false), "");
  }

  std::string many = tmp.file("many.xls");
  for (int i = 0; i < 200; ++i)
    writeTable(many, "S" + std::to_string(i), schemaOf({{"i", VT_I4}}), {{Variant::i4(i)}});
  auto m = excel().openDatabase(many);
  ASSERT_EQ(m->tables().size(), 200u);
  EXPECT_EQ(readTable(*m, "S199$"), (Grid{{"i"}, {"199"}}));
}

}  // namespace
}  // namespace tabulor::test
