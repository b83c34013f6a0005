// Writing through the "Text" driver: the bytes written, round trips through the driver,
// and the same files read by Python's csv module and by gnumeric's ssconvert.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "engine/database.h"
#include "engine/ole_date.h"
#include "tests/support/test_support.h"
#include "tests/text/text_test_util.h"

namespace tabulor::test {
namespace {

using Rows = std::vector<std::vector<std::string>>;

FieldInfo field(const char* name, uint16_t type) {
  FieldInfo f;
  f.name = name;
  f.type = type;
  return f;
}

// A table whose text values hold everything that needs quoting.
struct Sample {
  std::vector<FieldInfo> fields = {field("id", VT_I4),          field("name, full", VT_BSTR),
                                   field("price", VT_R8),       field("when", VT_DATE),
                                   field("ok", VT_BOOL),        field("zip", VT_BSTR),
                                   field("\"quoted\"", VT_BSTR)};
  std::vector<std::vector<Variant>> rows;
  Sample() {
    const char* texts[] = {"plain",
                           "a,b",
                           "say \"hi\"",
                           "line\nbreak",
                           "cr\rlf\r\n",
                           " lead",
                           "trail ",
                           "semi;colon",
                           "tab\there",
                           "\xEF\xBB\xBF"
                           "bom",
                           "Zo\xC3\xAB \xE2\x82\xAC",
                           "\"",
                           "=1+2"};
    int i = 0;
    for (const char* t : texts) {
      rows.push_back(
          {Variant::i4(i - 5), Variant::text(t), Variant::r8(i * 1.1 - 3),
           Variant::oleDate(*oleDateFromIso(i % 2 ? "2021-03-04 05:06:07" : "1999-12-31")),
           Variant::boolean(i % 3 == 0), Variant::text("0" + std::to_string(100 + i)),
           i % 4 == 0 ? Variant::null() : Variant::text(t)});
      ++i;
    }
  }
};

TEST(TextWriter, BytesOfASmallTable) {
  TempDir dir;
  writeTextTable(dir.path(), "t.csv", {field("a", VT_I4), field("b c", VT_BSTR)},
                 {{Variant::i4(1), Variant::text("x,y")},
                  {Variant::null(), Variant::text(" z")},
                  {Variant::r8(0.5), Variant::text("q\"")}});
  EXPECT_EQ(readFile(dir.file("t.csv")), "a,b c\r\n1,\"x,y\"\r\n,\" z\"\r\n0.5,\"q\"\"\"\r\n");
  writeTextTable(dir.path(), "one.csv", {field("a", VT_BSTR)},
                 {{Variant::null()}, {Variant::text("")}});
  EXPECT_EQ(readFile(dir.file("one.csv")), "a\r\n\"\"\r\n\"\"\r\n");
  writeTextTable(dir.path(), "none.csv", {}, {{}, {}});
  EXPECT_EQ(readFile(dir.file("none.csv")), "");
}

TEST(TextWriter, RoundTripKeepsValuesAndTypes) {
  TempDir dir;
  Sample s;
  for (const char* name : {"out.csv", "out.txt"}) {
    SCOPED_TRACE(name);
    writeTextTable(dir.path(), name, s.fields, s.rows);
    TextTable back = readTextTable(dir.path(), name);
    ASSERT_EQ(back.fields.size(), s.fields.size());
    for (size_t i = 0; i < s.fields.size(); ++i) {
      EXPECT_EQ(back.fields[i].name, s.fields[i].name);
      EXPECT_EQ(back.fields[i].type, s.fields[i].type) << s.fields[i].name;
    }
    ASSERT_EQ(back.rows.size(), s.rows.size());
    for (size_t r = 0; r < s.rows.size(); ++r)
      for (size_t c = 0; c < s.fields.size(); ++c)
        EXPECT_EQ(back.rows[r][c], s.rows[r][c]) << "row " << r << " column " << c;
  }
}

TEST(TextWriter, SchemaIniTabDelimitedAndReplacingAFile) {
  TempDir dir;
  writeFile(dir.file("schema.ini"), "[Orders.txt]\r\nFormat=TabDelimited\r\n");
  writeFile(dir.file("Orders.txt"), "old content that must go\n");
  writeTextTable(dir.path(), "Orders.txt", {field("a", VT_I4), field("b", VT_BSTR)},
                 {{Variant::i4(1), Variant::text("x y")}, {Variant::i4(2), Variant::text("p,q")}});
  EXPECT_EQ(readFile(dir.file("Orders.txt")), "a\tb\r\n1\tx y\r\n2\t\"p,q\"\r\n");
  writeTextTable(dir.path(), "Other.txt", {field("a", VT_I4), field("b", VT_I4)},
                 {{Variant::i4(1), Variant::i4(2)}});
  EXPECT_EQ(readFile(dir.file("Other.txt")), "a,b\r\n1,2\r\n");
  // Without the schema.ini the tab file still reads as two columns.
  ::unlink(dir.file("schema.ini").c_str());
  EXPECT_EQ(readTextTable(dir.path(), "Orders#txt").texts(), (Rows{{"1", "x y"}, {"2", "p,q"}}));
  EXPECT_EQ(listFolder(dir.path()), (std::vector<std::string>{"Orders.txt", "Other.txt"}));
}

TEST(TextWriter, PythonCsvReadsTheSameValues) {
  if (!haveProgram("python3")) GTEST_SKIP() << "python3 not installed";
  TempDir dir;
  Sample s;
  writeFile(dir.file("schema.ini"), "[tab.txt]\r\nFormat=TabDelimited\r\n");
  writeTextTable(dir.path(), "comma.csv", s.fields, s.rows);
  writeTextTable(dir.path(), "tab.txt", s.fields, s.rows);
  TextTable ours = readTextTable(dir.path(), "comma#csv");
  Rows expected = ours.texts();
  expected.insert(expected.begin(), ours.names());
  for (auto [file, delim] : {std::pair{"comma.csv", ","}, std::pair{"tab.txt", "\\t"}}) {
    SCOPED_TRACE(file);
    // Python reads the file and writes it back as LF-separated, fully quoted CSV.
    std::string out;
    int status = runCommand(
        "python3 -c 'import csv,sys\n"
        "rows=list(csv.reader(open(sys.argv[1],newline=\"\",encoding=\"utf-8\"),delimiter=\"" +
            std::string(delim) +
            "\"))\n"
            "csv.writer(sys.stdout,quoting=csv.QUOTE_ALL,lineterminator=\"\\n\").writerows(rows)'"
            " " +
            dir.file(file),
        &out);
    ASSERT_EQ(status, 0);
    EXPECT_EQ(parseCsv(out), expected);
  }
}

TEST(TextWriter, GnumericReadsTheSameValues) {
  if (!haveProgram("ssconvert")) GTEST_SKIP() << "ssconvert (gnumeric) not installed";
  TempDir dir;
  std::vector<FieldInfo> fields = {field("id", VT_I4), field("name", VT_BSTR),
                                   field("price", VT_R8), field("ok", VT_BOOL)};
  std::vector<std::vector<Variant>> rows = {
      {Variant::i4(1), Variant::text("a,b"), Variant::r8(0.1), Variant::boolean(true)},
      {Variant::i4(-2), Variant::text("say \"hi\""), Variant::r8(12345678.25),
       Variant::boolean(false)},
      {Variant::i4(3), Variant::text("Zo\xC3\xAB"), Variant::null(), Variant::null()}};
  writeTextTable(dir.path(), "t.csv", fields, rows);
  std::string out;
  int status = runCommand(
      "ssconvert -T Gnumeric_stf:stf_assistant -O 'separator=, "
      "eol=unix charset=UTF-8 quoting-mode=always' " +
          dir.file("t.csv") + " " + dir.file("g.csv") + " 2>&1",
      &out);
  ASSERT_EQ(status, 0) << out;
  auto back = parseCsv(readFile(dir.file("g.csv")));
  EXPECT_EQ(back, (Rows{{"id", "name", "price", "ok"},
                        {"1", "a,b", "0.1", "TRUE"},
                        {"-2", "say \"hi\"", "12345678.25", "FALSE"},
                        {"3", "Zo\xC3\xAB", "", ""}}));
}

// LibreOffice Calc imports the file with every column as text (so that its own number
// recognition does not reformat values) and saves it again as CSV: the values must be ours.
TEST(TextWriter, LibreOfficeReadsTheSameValues) {
  if (!haveProgram("soffice")) GTEST_SKIP() << "LibreOffice (soffice) not installed";
  TempDir dir;
  std::vector<FieldInfo> fields = {field("id", VT_I4), field("name, full", VT_BSTR),
                                   field("price", VT_R8), field("when", VT_DATE),
                                   field("zip", VT_BSTR)};
  std::vector<std::vector<Variant>> rows;
  const char* texts[] = {"plain", "a,b",    "say \"hi\"", "line\nbreak",
                         " lead", "trail ", "semi;colon", "Zo\xC3\xAB \xE2\x82\xAC"};
  int i = 0;
  for (const char* t : texts) {
    rows.push_back({Variant::i4(i - 3), Variant::text(t), Variant::r8(i * 1.1 - 3),
                    Variant::oleDate(*oleDateFromIso(i % 2 ? "2021-03-04 05:06:07" : "1999-12-31")),
                    Variant::text("0" + std::to_string(100 + i))});
    ++i;
  }
  writeTextTable(dir.path(), "t.csv", fields, rows);
  std::string out;
  int status =
      runCommand("cd " + dir.path() + " && timeout 240 soffice -env:UserInstallation=file://" +
                     dir.file("profile") +
                     " --headless --infilter='CSV:44,34,76,1,1/2/2/2/3/2/4/2/5/2' --convert-to "
                     "'csv:Text - txt - csv (StarCalc):44,34,76,1,,0,true,false,false,false,false' "
                     "--outdir " +
                     dir.file("lo") + " t.csv 2>&1",
                 &out);
  ASSERT_EQ(status, 0) << out;
  TextTable ours = readTextTable(dir.path(), "t#csv");
  Rows expected = ours.texts();
  expected.insert(expected.begin(), ours.names());
  EXPECT_EQ(parseCsv(readFile(dir.file("lo/t.csv"))), expected);
}

TEST(TextWriter, SelectIntoThroughTheEngine) {
  TempDir src, out;
  writeFile(src.file("orders.csv"), "id,item\n1,\"a,b\"\n2,c\n");
  writeFile(src.file("other.csv"), "x\n1\n");
  Database db;
  db.Open(src.path(), false, true, "Text;");
  ASSERT_EQ(db.GetTableDefCount(), 2);
  EXPECT_EQ(db.GetTableDefInfo(0).name, "orders#csv");
  writeFile(out.file("schema.ini"), "[orders.txt]\nFormat=TabDelimited\n");
  EXPECT_EQ(
      db.Execute("SELECT * INTO [Text;DATABASE=" + out.path() + "].[orders.txt] FROM [orders#csv]"),
      2);
  EXPECT_EQ(readFile(out.file("orders.txt")), "id\titem\r\n1\t\"a,b\"\r\n2\tc\r\n");
  EXPECT_EQ(
      db.Execute("SELECT * INTO [Text;DATABASE=" + out.path() + "].[orders.csv] FROM [orders#csv]"),
      2);
  EXPECT_EQ(readFile(out.file("orders.csv")), "id,item\r\n1,\"a,b\"\r\n2,c\r\n");

  Recordset rs(&db);
  rs.Open("orders#csv");
  ASSERT_EQ(rs.GetFieldCount(), 2);
  EXPECT_EQ(rs.GetFieldInfo(0).type, VT_I4);
  EXPECT_EQ(rs.GetFieldValue(1), Variant::text("a,b"));
}

TEST(TextWriter, UnsafeTableNamesStayInTheFolder) {
  TempDir dir;
  ASSERT_EQ(::mkdir(dir.file("out").c_str(), 0755), 0);
  std::string out = dir.file("out");
  for (const char* name : {"../escape.csv", "..", "a/b.csv", "x]y.csv"})
    writeTextTable(out, name, {field("a", VT_I4)}, {{Variant::i4(1)}});
  EXPECT_EQ(listFolder(dir.path()), std::vector<std::string>{"out"});
  EXPECT_EQ(listFolder(out),
            (std::vector<std::string>{".._escape.csv", "_..", "a_b.csv", "x]y.csv"}));
}

TEST(TextWriter, MissingOrReadOnlyFolderIsAnErrorAndLeavesNothing) {
  TempDir dir;
  EXPECT_THROW(writeTextTable(dir.file("missing"), "t.csv", {field("a", VT_I4)}, {}), EngineError);
  writeFile(dir.file("file"), "");
  EXPECT_THROW(writeTextTable(dir.file("file"), "t.csv", {field("a", VT_I4)}, {}), EngineError);
  if (::geteuid() != 0) {
    ASSERT_EQ(::mkdir(dir.file("ro").c_str(), 0555), 0);
    EXPECT_THROW(writeTextTable(dir.file("ro"), "t.csv", {field("a", VT_I4)}, {}), EngineError);
    EXPECT_TRUE(listFolder(dir.file("ro")).empty());
  }
  // A writer dropped before finish() leaves no file behind.
  TableSchema schema;
  schema.fields = {field("a", VT_I4)};
  {
    auto writer = textDriverForTests().createTable(dir.path(), "t.csv", schema);
    writer->appendRow({Variant::i4(1)});
  }
  EXPECT_EQ(listFolder(dir.path()), std::vector<std::string>{"file"});
}

}  // namespace
}  // namespace tabulor::test
