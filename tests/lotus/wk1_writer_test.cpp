// The Lotus WK1 writer: worksheets read back by gnumeric's ssconvert with the same cells,
// the row and column limits of Release 2 checked before a file exists, and labels that
// LMBCS cannot hold refused with their place.
#include <gtest/gtest.h>

#include "engine/database.h"
#include "engine/engine_error.h"
#include "engine/ole_date.h"
#include "engine/registry.h"
#include "tests/support/test_support.h"

namespace tabulor::test {
namespace {

void writeTable(const std::string& folder, const std::string& file,
                const std::vector<FieldInfo>& fields,
                const std::vector<std::vector<Variant>>& rows) {
  TableSchema schema;
  schema.fields = fields;
  for (const auto& row : rows)
    for (size_t i = 0; i < row.size(); ++i) accumulateStats(schema.fields[i].stats, row[i]);
  schema.rowCount = static_cast<int64_t>(rows.size());
  auto writer = findDriver("Lotus WK1")->createTable(folder, file, schema);
  for (const auto& row : rows) writer->appendRow(row);
  writer->finish();
}

// The sheet as ssconvert exports it (values, dates as YYYY/MM/DD).
std::vector<std::vector<std::string>> readWithGnumeric(const std::string& wk1) {
  TempDir scratch;
  std::string csv = scratch.file("sheet.csv");
  std::string command =
      "ssconvert -T Gnumeric_stf:stf_assistant -O 'separator=, eol=unix charset=UTF-8 "
      "format=automatic' '" +
      wk1 + "' '" + csv + "' >/dev/null 2>&1";
  EXPECT_EQ(runCommand(command), 0) << command;
  return parseCsv(readFile(csv));
}

bool sameNumber(const std::string& text, double value) {
  char* end = nullptr;
  double parsed = std::strtod(text.c_str(), &end);
  return !text.empty() && *end == '\0' && parsed == value;
}

Variant date(int y, int m, int d) {
  return Variant::oleDate(*oleDateFromParts({y, m, d}));
}

#define REQUIRE_SSCONVERT() \
  if (!haveProgram("ssconvert")) GTEST_SKIP() << "gnumeric's ssconvert is not installed"

TEST(Wk1Write, GnumericReadsTheSameCells) {
  REQUIRE_SSCONVERT();
  TempDir dir;
  std::vector<FieldInfo> fields = {{"Name", VT_BSTR, 0, {}}, {"Qty", VT_I4, 0, {}},
                                   {"Price", VT_R8, 0, {}},  {"Day", VT_DATE, 0, {}},
                                   {"Paid", VT_BOOL, 0, {}}, {"Cash", VT_CY, 0, {}}};
  std::vector<std::vector<Variant>> rows = {
      {Variant::text("Müller, Zoë"), Variant::i4(42), Variant::r8(1.5), date(2024, 2, 29),
       Variant::boolean(true), Variant::currency(123456)},
      {Variant::text("Ωμέγα – “quoted” €"), Variant::i4(-32768), Variant::r8(-0.1),
       date(1900, 3, 1), Variant::boolean(false), Variant::currency(-5)},
      {Variant::text("12 starts with a digit"), Variant::i4(100000), Variant::r8(1e300),
       date(1900, 2, 28), Variant::null(), Variant::null()},
      {Variant::null(), Variant::i4(32767), Variant::r8(12345678.125), date(1850, 6, 1),
       Variant::null(), Variant::currency(0)},
      {Variant::null(), Variant::null(), Variant::null(), Variant::oleDate(0.34375),
       Variant::null(), Variant::null()},
      {Variant::null(), Variant::null(), Variant::null(), date(1899, 12, 30), Variant::null(),
       Variant::null()},
  };
  writeTable(dir.path(), "x.wk1", fields, rows);
  std::string bytes = readFile(dir.file("x.wk1"));
  EXPECT_EQ(bytes.substr(0, 6), std::string("\x00\x00\x02\x00\x06\x04", 6));  // BOF, Release 2
  EXPECT_EQ(bytes.substr(bytes.size() - 4), std::string("\x01\x00\x00\x00", 4));

  auto sheet = readWithGnumeric(dir.file("x.wk1"));
  ASSERT_EQ(sheet.size(), rows.size() + 1);
  EXPECT_EQ(sheet[0], (std::vector<std::string>{"Name", "Qty", "Price", "Day", "Paid", "Cash"}));
  // Before 1900 the date is written as its text; a time of day alone (day zero) is a number
  // with a time format.
  const std::vector<std::string> dates = {"2024/02/29", "1900/03/01", "1900/02/28",
                                          "1850-06-01", "08:15:00",   "00:00:00"};
  for (size_t r = 0; r < rows.size(); ++r) {
    const auto& got = sheet[r + 1];
    ASSERT_GE(got.size(), 4u) << r;
    EXPECT_EQ(got[0], rows[r][0].isNull() ? "" : rows[r][0].str) << r;
    double number = 0;
    for (size_t c : {1, 2}) {
      if (!variantToDouble(rows[r][c], number)) continue;
      EXPECT_TRUE(sameNumber(got[c], number)) << r << "," << c << ": " << got[c];
    }
    EXPECT_EQ(got[3], dates[r]) << r;
    std::string paid = got.size() > 4 ? got[4] : "";
    EXPECT_EQ(paid, rows[r][4].isNull() ? "" : rows[r][4].boolVal ? "1" : "0") << r;
    std::string cash = got.size() > 5 ? got[5] : "";
    if (rows[r][5].isNull())
      EXPECT_EQ(cash, "");
    else
      EXPECT_TRUE(sameNumber(cash, static_cast<double>(rows[r][5].cyVal) / 10000)) << cash;
  }
}

TEST(Wk1Write, RowAndColumnLimitsFailBeforeAFileExists) {
  TempDir dir;
  std::vector<FieldInfo> one = {{"n", VT_I4, 0, {}}};
  std::vector<std::vector<Variant>> rows(8191, {Variant::i4(7)});
  writeTable(dir.path(), "full.wk1", one, rows);  // rows 1..8192: the header and 8,191 records
  if (haveProgram("ssconvert")) {
    auto sheet = readWithGnumeric(dir.file("full.wk1"));
    EXPECT_EQ(sheet.size(), 8192u);
    EXPECT_EQ(sheet.back(), (std::vector<std::string>{"7"}));
  }
  rows.push_back({Variant::i4(8)});
  try {
    writeTable(dir.path(), "over.wk1", one, rows);
    FAIL() << "no error";
  } catch (const EngineError& e) {
    EXPECT_EQ(e.kind(), ErrorKind::Limit);
    std::string message = e.what();
    EXPECT_NE(message.find("over.wk1"), std::string::npos) << message;
    EXPECT_NE(message.find("8,192 rows"), std::string::npos) << message;
  }
  std::vector<FieldInfo> wide;
  for (int i = 0; i < 257; ++i) wide.push_back({"c" + std::to_string(i), VT_I4, 0, {}});
  try {
    writeTable(dir.path(), "wide.wk1", wide, {std::vector<Variant>(257, Variant::i4(1))});
    FAIL() << "no error";
  } catch (const EngineError& e) {
    EXPECT_NE(std::string(e.what()).find("256 columns"), std::string::npos) << e.what();
    EXPECT_NE(std::string(e.what()).find("wide.wk1"), std::string::npos) << e.what();
  }
  wide.pop_back();
  writeTable(dir.path(), "wide.wk1", wide, {std::vector<Variant>(256, Variant::i4(1))});
  EXPECT_EQ(listFolder(dir.path()), (std::vector<std::string>{"full.wk1", "wide.wk1"}));
}

TEST(Wk1Write, LabelsLotusCannotHoldAreRefusedWithTheirPlace) {
  TempDir dir;
  struct Case {
    std::string text;
    const char* error;
  };
  const Case cases[] = {{std::string(240, 'x'), "at most 239 characters"},
                        {"smile \xF0\x9F\x98\x80", "U+1F600"},
                        {"private \xEE\x80\x80", "U+E000"}};
  for (const auto& c : cases) {
    try {
      writeTable(dir.path(), "t.wk1", {{"note", VT_BSTR, 0, {}}},
                 {{Variant::text("fine")}, {Variant::text(c.text)}});
      FAIL() << c.error;
    } catch (const EngineError& e) {
      std::string message = e.what();
      EXPECT_EQ(e.kind(), ErrorKind::Limit);
      EXPECT_NE(message.find(c.error), std::string::npos) << message;
      EXPECT_NE(message.find("note"), std::string::npos) << message;
    }
  }
  EXPECT_TRUE(listFolder(dir.path()).empty());
}

TEST(Wk1Write, RealTablesConvertThroughTheEngine) {
  TABULOR_REQUIRE_FIXTURES();
  REQUIRE_SSCONVERT();
  for (const char* table : {"people", "dbase_31", "cp1251"}) {
    TempDir dir;
    Database db;
    db.Open(fixturesDir() + "/dbf", false, true, "dBASE III;");
    db.Execute(std::string("SELECT * INTO [Lotus WK1;DATABASE=") + dir.path() + "].[" + table +
               ".wk1] FROM [" + table + "]");
    auto sheet = readWithGnumeric(dir.file(std::string(table) + ".wk1"));
    auto cursor = db.source().openTable(table);
    std::vector<Variant> row;
    size_t r = 1;
    while (cursor->next(row)) {
      ASSERT_LT(r, sheet.size()) << table;
      for (size_t c = 0; c < row.size(); ++c) {
        std::string got = c < sheet[r].size() ? sheet[r][c] : "";
        const Variant& v = row[c];
        double number = 0;
        if (v.vt == VT_BSTR || v.isNull()) {
          EXPECT_EQ(got, v.isNull() ? "" : v.str) << table << " " << r << "," << c;
        } else if (v.vt == VT_DATE) {
          auto p = partsFromOleDate(v.date);
          char buf[16];
          std::snprintf(buf, sizeof buf, "%04d/%02d/%02d", p->year, p->month, p->day);
          EXPECT_EQ(got, buf) << table << " " << r << "," << c;
        } else if (v.vt == VT_BOOL) {
          EXPECT_EQ(got, v.boolVal ? "1" : "0");
        } else if (variantToDouble(v, number)) {
          EXPECT_TRUE(sameNumber(got, number)) << table << " " << r << "," << c << ": " << got;
        }
      }
      ++r;
    }
    EXPECT_EQ(r, sheet.size()) << table;
  }
}

}  // namespace
}  // namespace tabulor::test
