// Writing dBase tables: round trips through the engine's own reader, the files read by
// dbfread and GDAL, the column plan, field names, code pages and the limits of each dialect.
#include <gtest/gtest.h>

#include "engine/database.h"
#include "engine/drivers/dbase/dbf_writer.h"
#include "engine/engine_error.h"
#include "engine/ole_date.h"
#include "engine/registry.h"
#include "tests/dbase/dbase_test_util.h"
#include "tests/support/test_support.h"

namespace tabulor::test {
namespace {

const char* const Dialects[] = {"dBASE III", "dBASE IV", "dBASE 5.0"};

FieldInfo field(const char* name, uint16_t type) {
  FieldInfo f;
  f.name = name;
  f.type = type;
  return f;
}

Variant date(int y, int m, int d) {
  return Variant::oleDate(*oleDateFromParts({y, m, d}));
}

// A table with every kind of value a source hands the writer, nulls and a broken guess.
Table sampleTable() {
  Table t;
  t.fields = {field("name", VT_BSTR),    field("qty", VT_I4),    field("price", VT_R8),
              field("shipped", VT_DATE), field("paid", VT_BOOL), field("note", VT_BSTR),
              field("code", VT_I4),      field("balance", VT_CY)};
  std::string longNote = "Line one\r\nLine two with \"quotes\", commas; and more.";
  while (longNote.size() < 700) longNote += " Müller & Zoë said naïve things.";
  t.rows = {
      {Variant::text("Alice Müller"), Variant::i4(12), Variant::r8(1234.5), date(2024, 2, 29),
       Variant::boolean(true), Variant::text(longNote), Variant::i4(7), Variant::currency(123456)},
      {Variant::text("Bob"), Variant::i4(-3), Variant::r8(-0.125), date(1899, 12, 30),
       Variant::boolean(false), Variant::text("short"), Variant::text("n/a"),
       Variant::currency(-5)},
      {Variant::null(), Variant::null(), Variant::null(), Variant::null(), Variant::null(),
       Variant::null(), Variant::i4(0), Variant::null()},
      {Variant::text("€uro – “quoted”"), Variant::i4(2147483647), Variant::r8(1e-7),
       date(9999, 12, 31), Variant::boolean(true), Variant::text(""), Variant::i4(42),
       Variant::currency(0)}};
  return t;
}

// Values compare by their text, numbers by their value: the reader gives N(x,0) columns
// back as integers and others as doubles whatever the source's own numeric code was.
void expectSameValues(const Table& want, const Table& got, const std::string& what) {
  ASSERT_EQ(want.rows.size(), got.rows.size()) << what;
  for (size_t r = 0; r < want.rows.size(); ++r) {
    ASSERT_EQ(want.rows[r].size(), got.rows[r].size()) << what;
    for (size_t c = 0; c < want.rows[r].size(); ++c) {
      std::string a = variantToText(want.rows[r][c]), b = variantToText(got.rows[r][c]);
      EXPECT_TRUE(a == b || sameNumber(a, b))
          << what << " row " << r + 1 << " column " << c + 1 << ": " << a << " / " << b;
    }
  }
}

TEST(DbfWrite, EveryDialectRoundTripsEveryKindOfValue) {
  for (const char* dialect : Dialects) {
    TempDir dir;
    Table t = sampleTable();
    writeTable(*findDriver(dialect), dir.path(), "orders.dbf", t.fields, t.rows);
    EXPECT_EQ(listFolder(dir.path()), (std::vector<std::string>{"orders.dbf", "orders.dbt"}))
        << dialect;
    std::string bytes = readFile(dir.file("orders.dbf"));
    bool three = std::string(dialect) == "dBASE III";
    EXPECT_EQ(static_cast<unsigned char>(bytes[0]), three ? 0x83 : 0x8B) << dialect;
    EXPECT_EQ(static_cast<unsigned char>(bytes[29]), 0x03) << dialect;  // Windows ANSI
    EXPECT_EQ(bytes.back(), '\x1A');
    Table back = readDbf(dir.path(), "orders");
    std::vector<std::string> names;
    for (const auto& f : back.fields) names.push_back(f.name);
    EXPECT_EQ(names, (std::vector<std::string>{"NAME", "QTY", "PRICE", "SHIPPED", "PAID", "NOTE",
                                               "CODE", "BALANCE"}));
    // An empty text is a blank field, which dBase cannot tell from NULL.
    t.rows[3][5] = Variant::null();
    expectSameValues(t, back, dialect);
  }
}

TEST(DbfWrite, PlansColumnsFromTheValues) {
  Table t = sampleTable();
  TableSchema schema;
  schema.fields = t.fields;
  for (const auto& row : t.rows)
    for (size_t i = 0; i < row.size(); ++i) accumulateStats(schema.fields[i].stats, row[i]);
  schema.rowCount = 4;
  auto plan = dbase::planDbfTable(schema, dbase::Dialect::DbaseIV, "orders.dbf");
  struct Want {
    char type;
    uint32_t length;
    uint8_t decimals;
  };
  const Want wants[] = {{'C', 15, 0}, {'N', 11, 0}, {'N', 13, 7}, {'D', 8, 0},
                        {'L', 1, 0},  {'M', 10, 0}, {'C', 3, 0},  {'N', 8, 4}};
  for (size_t i = 0; i < std::size(wants); ++i) {
    EXPECT_EQ(plan.columns[i].field.type, wants[i].type) << i;
    EXPECT_EQ(plan.columns[i].field.length, wants[i].length) << i;
    EXPECT_EQ(plan.columns[i].field.decimals, wants[i].decimals) << i;
  }
  EXPECT_FALSE(plan.utf8);
  EXPECT_TRUE(plan.anyMemo);
}

// A decimal carries more digits than a double (dBASE IV's F(20,18), read back exactly): the
// column is planned from its own digits, and none is rounded away.
TEST(DbfWrite, DecimalsKeepEveryDigit) {
  const std::vector<std::string> values = {"2.446744073709551615", "-0.000000000000000001",
                                           "1.100000000000000001", "12"};
  for (const char* dialect : Dialects) {
    TempDir dir;
    std::vector<std::vector<Variant>> rows;
    for (const std::string& v : values) rows.push_back({Variant::decimal(v)});
    writeTable(*findDriver(dialect), dir.path(), "exact.dbf", {field("x", VT_DECIMAL)}, rows);
    Table back = readDbf(dir.path(), "exact");
    ASSERT_EQ(back.rows.size(), values.size()) << dialect;
    for (size_t r = 0; r < values.size(); ++r) {
      std::string got = variantToText(back.rows[r][0]);
      // A column planned with 18 decimals pads every value to them.
      while (got.find('.') != std::string::npos && got.back() == '0') got.pop_back();
      if (!got.empty() && got.back() == '.') got.pop_back();
      EXPECT_EQ(got, values[r]) << dialect;
    }
  }
}

// dBASE has no time type and D holds no time: times of day, like date-times, are kept as
// their text in a character field.
TEST(DbfWrite, TimesOfDayAreKeptAsTheirText) {
  TempDir dir;
  writeTable(
      *findDriver("dBASE IV"), dir.path(), "times.dbf", {field("at", VT_DATE)},
      {{Variant::oleDate(0.34375)}, {Variant::oleDate(*oleDateFromIso("2024-02-29 13:05:00"))}});
  EXPECT_EQ(readFile(dir.file("times.dbf"))[32 + 11], 'C');
  Table back = readDbf(dir.path(), "times");
  ASSERT_EQ(back.rows.size(), 2u);
  EXPECT_EQ(back.rows[0][0].str, "08:15:00");
  EXPECT_EQ(back.rows[1][0].str, "2024-02-29 13:05:00");
}

TEST(DbfWrite, FieldNamesAreCutToTenUpperCaseCharactersAndMadeUnique) {
  std::vector<FieldInfo> fields;
  for (const char* n : {"customer_name", "customer_name_2", "Customer Name!", "Straße", "1st", "",
                        "order id", "CUSTOMER_N"})
    fields.push_back(field(n, VT_BSTR));
  EXPECT_EQ(dbase::dbaseFieldNames(fields),
            (std::vector<std::string>{"CUSTOMER_N", "CUSTOMER_2", "CUSTOMER_3", "STRA_E", "F1ST",
                                      "F", "ORDER_ID", "CUSTOMER_4"}));
}

TEST(DbfWrite, TextOutsideWindows1252IsWrittenAsUtf8WithACpgSidecar) {
  TempDir dir;
  writeTable(
      *findDriver("dBASE 5.0"), dir.path(), "greek.dbf",
      {field("word", VT_BSTR), field("n", VT_I4)},
      {{Variant::text("Ωμέγα 漢字"), Variant::i4(1)}, {Variant::text("plain"), Variant::i4(2)}});
  EXPECT_EQ(readFile(dir.file("greek.cpg")), "UTF-8\n");
  EXPECT_EQ(static_cast<unsigned char>(readFile(dir.file("greek.dbf"))[29]), 0);
  Table back = readDbf(dir.path(), "greek");
  ASSERT_EQ(back.rows.size(), 2u);
  EXPECT_EQ(back.rows[0][0].str, "Ωμέγα 漢字");
  if (haveProgram("ogr2ogr")) {
    auto rows =
        csvFromCommand("ogr2ogr -f CSV /vsistdout/ '" + dir.file("greek.dbf") + "' 2>/dev/null");
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[1][0], "Ωμέγα 漢字");
  }
  // A later table of the same name without such text must not keep the stale sidecar.
  writeTable(*findDriver("dBASE 5.0"), dir.path(), "greek.dbf", {field("word", VT_BSTR)},
             {{Variant::text("Müller")}});
  EXPECT_FALSE(fileExists(dir.file("greek.cpg")));
  EXPECT_EQ(readDbf(dir.path(), "greek").rows[0][0].str, "Müller");
}

// dbfread's view of a table as CSV: field names, then values (dates ISO, booleans
// True/False, numbers as Python prints them, memos as their text).
const char* const DbfreadDump =
    "/usr/bin/python3 -c 'import sys,csv,dbfread\n"
    "t=dbfread.DBF(sys.argv[1], encoding=(sys.argv[2] or None), char_decode_errors=\"strict\")\n"
    "w=csv.writer(sys.stdout, lineterminator=\"\\n\", quoting=csv.QUOTE_ALL)\n"
    "w.writerow(t.field_names)\n"
    "[w.writerow([\"\" if v is None else v for v in r.values()]) for r in t]' ";

std::string dbfreadText(const Variant& v) {
  if (v.isNull()) return "";
  if (v.vt == VT_BOOL) return v.boolVal ? "True" : "False";
  if (v.vt == VT_DATE) {  // a D field: dbfread shows the date, day zero included
    auto p = partsFromOleDate(v.date);
    char buf[16];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", p->year, p->month, p->day);
    return buf;
  }
  return variantToText(v);
}

TEST(DbfWrite, DbfreadReadsTheSameValuesMemosIncluded) {
  if (runCommand("/usr/bin/python3 -c 'import dbfread' 2>/dev/null") != 0)
    GTEST_SKIP() << "python3-dbfread is not installed";
  for (const char* dialect : Dialects) {
    TempDir dir;
    Table t = sampleTable();
    writeTable(*findDriver(dialect), dir.path(), "orders.dbf", t.fields, t.rows);
    auto rows = csvFromCommand(std::string(DbfreadDump) + "'" + dir.file("orders.dbf") + "' ''");
    ASSERT_EQ(rows.size(), t.rows.size() + 1) << dialect;
    for (size_t r = 0; r < t.rows.size(); ++r)
      for (size_t c = 0; c < t.fields.size(); ++c) {
        std::string want = dbfreadText(t.rows[r][c]), got = rows[r + 1][c];
        EXPECT_TRUE(want == got || sameNumber(want, got))
            << dialect << " row " << r + 1 << " col " << c + 1 << ": " << want << " / " << got;
      }
  }
}

TEST(DbfWrite, GdalReadsTheSameValues) {
  if (!haveProgram("ogr2ogr")) GTEST_SKIP() << "gdal-bin is not installed";
  TempDir dir;
  Table t = sampleTable();
  // GDAL shows memo fields as block numbers, so this table has none.
  t.fields.erase(t.fields.begin() + 5);
  for (auto& row : t.rows) row.erase(row.begin() + 5);
  writeTable(*findDriver("dBASE IV"), dir.path(), "orders.dbf", t.fields, t.rows);
  auto rows = csvFromCommand("ogr2ogr -f CSV -lco LINEFORMAT=LF /vsistdout/ '" +
                             dir.file("orders.dbf") + "' 2>/dev/null");
  ASSERT_EQ(rows.size(), t.rows.size() + 1);
  for (size_t r = 0; r < t.rows.size(); ++r)
    for (size_t c = 0; c < t.fields.size(); ++c) {
      const Variant& v = t.rows[r][c];
      std::string want = variantToText(v), got = rows[r + 1][c];
      if (v.vt == VT_BOOL) want = v.boolVal ? "T" : "F";  // GDAL shows the stored letter
      if (v.vt == VT_DATE) {
        auto p = partsFromOleDate(v.date);
        char buf[16];
        std::snprintf(buf, sizeof buf, "%04d/%02d/%02d", p->year, p->month, p->day);
        want = buf;
      }
      EXPECT_TRUE(want == got || sameNumber(want, got))
          << "row " << r + 1 << " col " << c + 1 << ": " << want << " / " << got;
    }
}

TEST(DbfWrite, RealTablesConvertThroughTheEngineAndReadBackUnchanged) {
  TABULOR_REQUIRE_FIXTURES();
  for (const char* dialect : Dialects) {
    for (const char* table :
         {"people", "dbase_83", "dbase_8b", "dbase_31", "calls", "cp1251", "dbase_03"}) {
      TempDir dir;
      Database db;
      db.Open(fixturesDir() + "/dbf", false, true, "dBASE III;");
      db.Execute(std::string("SELECT * INTO [") + dialect + ";DATABASE=" + dir.path() + "].[" +
                 table + ".dbf] FROM [" + table + "]");
      Table source = readDbf(fixturesDir() + "/dbf", table);
      Table back = readDbf(dir.path(), table);
      expectSameValues(source, back, std::string(dialect) + " " + table);
    }
  }
}

TEST(DbfWrite, DialectLimitsFailBeforeAnyFileIsCreated) {
  TempDir dir;
  std::vector<FieldInfo> fields;
  for (int i = 0; i < 129; ++i) fields.push_back(field(("f" + std::to_string(i)).c_str(), VT_I4));
  std::vector<Variant> row(129, Variant::i4(1));
  try {
    writeTable(*findDriver("dBASE III"), dir.path(), "wide.dbf", fields, {row});
    FAIL() << "no error";
  } catch (const EngineError& e) {
    EXPECT_EQ(e.kind(), ErrorKind::Limit);
    EXPECT_NE(std::string(e.what()).find("128"), std::string::npos) << e.what();
    EXPECT_NE(std::string(e.what()).find("wide.dbf"), std::string::npos) << e.what();
  }
  EXPECT_TRUE(listFolder(dir.path()).empty());
  writeTable(*findDriver("dBASE IV"), dir.path(), "wide.dbf", fields, {row});
  EXPECT_EQ(readDbf(dir.path(), "wide").fields.size(), 129u);
}

TEST(DbfWrite, RecordsPastTheDialectsLengthMoveTheWidestTextToMemos) {
  std::vector<FieldInfo> fields;
  std::vector<Variant> row;
  for (int i = 0; i < 20; ++i) {
    fields.push_back(field(("text" + std::to_string(i)).c_str(), VT_BSTR));
    row.push_back(
        Variant::text(std::string(200 + static_cast<size_t>(i), static_cast<char>('a' + i))));
  }
  struct Want {
    const char* dialect;
    unsigned char version;
  };
  for (Want w : {Want{"dBASE III", 0x83}, Want{"dBASE IV", 0x8B}, Want{"dBASE 5.0", 0x03}}) {
    TempDir dir;
    writeTable(*findDriver(w.dialect), dir.path(), "wide.dbf", fields, {row});
    std::string bytes = readFile(dir.file("wide.dbf"));
    unsigned recordLength =
        static_cast<unsigned char>(bytes[10]) | static_cast<unsigned char>(bytes[11]) << 8;
    EXPECT_EQ(static_cast<unsigned char>(bytes[0]), w.version) << w.dialect;
    EXPECT_LE(recordLength, w.version == 0x03 ? 32767u : 4000u) << w.dialect;
    if (w.version != 0x03) {
      EXPECT_GT(recordLength, 3500u) << w.dialect;            // only as many memos as needed
      EXPECT_EQ(bytes[32 + 19 * 32 + 11], 'M') << w.dialect;  // the widest went first
      EXPECT_EQ(bytes[32 + 11], 'C') << w.dialect;
    }
    Table back = readDbf(dir.path(), "wide");
    ASSERT_EQ(back.rows.size(), 1u);
    for (size_t i = 0; i < row.size(); ++i)
      EXPECT_EQ(back.rows[0][i].str, row[i].str) << w.dialect << " " << i;
  }
}

TEST(DbfWrite, AValueTheFileCannotHoldFailsTheTableAndLeavesNothingBehind) {
  TempDir dir;
  // dBASE III memos end at the first 0x1A, so a memo holding one cannot be kept.
  std::string text(300, 'x');
  text[100] = '\x1A';
  try {
    writeTable(*findDriver("dBASE III"), dir.path(), "sub.dbf", {field("memo", VT_BSTR)},
               {{Variant::text("fine")}, {Variant::text(text)}});
    FAIL() << "no error";
  } catch (const EngineError& e) {
    EXPECT_EQ(e.kind(), ErrorKind::Limit);
    EXPECT_NE(std::string(e.what()).find("row 2"), std::string::npos) << e.what();
  }
  EXPECT_TRUE(listFolder(dir.path()).empty());
  // dBASE IV memos carry their length and keep it.
  writeTable(*findDriver("dBASE IV"), dir.path(), "sub.dbf", {field("memo", VT_BSTR)},
             {{Variant::text(text)}});
  EXPECT_EQ(readDbf(dir.path(), "sub").rows[0][0].str, text);
}

// Without statistics a 32-bit field is N(11): a wider number is refused with its table, row
// and field, never cut or wrapped, and the table is not left behind.
TEST(DbfWrite, ANumberTheFieldCannotHoldIsALimitError) {
  TempDir dir;
  TableSchema schema;
  schema.fields = {field("qty", VT_I4)};
  auto writer = findDriver("dBASE IV")->createTable(dir.path(), "orders.dbf", schema);
  writer->appendRow({Variant::r8(6e10)});
  try {
    writer->appendRow({Variant::r8(1e15)});
    FAIL() << "no error";
  } catch (const EngineError& e) {
    EXPECT_EQ(e.kind(), ErrorKind::Limit);
    for (const char* part : {"orders.dbf", "row 2", "QTY", "1000000000000000"})
      EXPECT_NE(std::string(e.what()).find(part), std::string::npos) << e.what();
  }
  writer.reset();
  EXPECT_TRUE(listFolder(dir.path()).empty());
}

TEST(DbfWrite, TableNamesStayInsideTheOutputFolder) {
  TempDir dir;
  writeTable(*findDriver("dBASE IV"), dir.path(), "../escape.dbf", {field("a", VT_I4)},
             {{Variant::i4(1)}});
  EXPECT_EQ(listFolder(dir.path()), (std::vector<std::string>{".._escape.dbf"}));
}

}  // namespace
}  // namespace tabulor::test
