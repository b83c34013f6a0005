// Reading Jet databases through the engine: the real Access files of the shared fixtures
// against the tables and values mdbtools printed for them, and the files the driver must
// refuse at once (not Jet, password protected) with an EngineError.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "engine/database.h"
#include "engine/engine_error.h"
#include "tests/jet/jet_test_util.h"
#include "tests/support/test_support.h"

namespace tabulor::test {
namespace {

std::vector<std::pair<std::string, std::string>> expectedTables(const std::string& file) {
  std::vector<std::pair<std::string, std::string>> out;
  std::istringstream in(readFile(fixturesDir() + "/expected/" + file + ".tables.txt"));
  std::string line;
  while (std::getline(in, line)) {
    auto tab = line.find('\t');
    if (tab != std::string::npos) out.emplace_back(line.substr(0, tab), line.substr(tab + 1));
  }
  return out;
}

// Compares one value with the text mdb-export printed. Named exclusions: binary and OLE
// values (exported as "" with -b strip), and dates mdbtools 1.0 cannot print (before 1900,
// shown as "1900-01-00 00:00:00").
void expectCell(const Variant& v, const std::string& expected, const std::string& where) {
  if (v.vt == VT_BINARY) {
    EXPECT_EQ(expected, "") << where;
    return;
  }
  if (v.vt == VT_DATE && expected.rfind("1900-01-00", 0) == 0) return;
  if (v.vt == VT_R4 && !expected.empty()) {
    EXPECT_EQ(static_cast<float>(std::strtod(expected.c_str(), nullptr)), v.fltVal)
        << where << ": " << expected;
    return;
  }
  if (v.vt == VT_R8 && !expected.empty()) {
    EXPECT_EQ(std::strtod(expected.c_str(), nullptr), v.dblVal) << where << ": " << expected;
    return;
  }
  EXPECT_EQ(mdbExportText(v), expected) << where;
}

const char* const ReadableFixtures[] = {
    "emptyJet4.mdb",  "fixedNumericTestV2000.mdb", "overflowTestV1997.mdb",
    "test2V2000.mdb", "testUnicodeCompV2003.mdb",  "testV1997.mdb",
    "testV2000.mdb"};

TEST(JetRead, AccessFixturesMatchMdbtools) {
  TABULOR_REQUIRE_FIXTURES();
  for (const char* file : ReadableFixtures) {
    SCOPED_TRACE(file);
    const std::string path = fixturesDir() + "/mdb/" + file;
    std::vector<std::string> userTables;
    bool sawSystem = false;
    for (const auto& t : listJetTables(path)) {
      if (t.attributes == 0) userTables.push_back(t.name);
      if (t.name == "MSysObjects") {
        EXPECT_EQ(t.attributes, TableAttrSystem);
        sawSystem = true;
      }
    }
    EXPECT_TRUE(sawSystem);
    auto expected = expectedTables(file);
    ASSERT_EQ(userTables.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
      const auto& [name, count] = expected[i];
      EXPECT_EQ(userTables[i], name);
      TableData data = readJetTable(path, name);
      EXPECT_EQ(std::to_string(data.rows.size()), count) << name;
      auto csv = parseCsv(readFile(fixturesDir() + "/expected/" + file + "." + name + ".csv"));
      ASSERT_FALSE(csv.empty());
      ASSERT_EQ(csv[0].size(), data.fields.size()) << name;
      for (size_t c = 0; c < data.fields.size(); ++c) EXPECT_EQ(data.fields[c].name, csv[0][c]);
      ASSERT_EQ(csv.size() - 1, data.rows.size()) << name;
      for (size_t r = 0; r < data.rows.size(); ++r)
        for (size_t c = 0; c < data.fields.size(); ++c)
          expectCell(data.rows[r][c], csv[r + 1][c],
                     name + " row " + std::to_string(r + 1) + " column " + data.fields[c].name);
    }
  }
}

TEST(JetRead, ColumnTypesMapToVariantCodes) {
  TABULOR_REQUIRE_FIXTURES();
  // testV2000 Table1: Text, Text, Byte, Integer, Long, Double, Date/Time, Currency, Yes/No.
  TableData t = readJetTable(fixturesDir() + "/mdb/testV2000.mdb", "Table1");
  const uint16_t types[] = {VT_BSTR, VT_BSTR, VT_UI1, VT_I2, VT_I4, VT_R8, VT_DATE, VT_CY, VT_BOOL};
  ASSERT_EQ(t.fields.size(), std::size(types));
  for (size_t i = 0; i < std::size(types); ++i) {
    EXPECT_EQ(t.fields[i].type, types[i]) << t.fields[i].name;
    EXPECT_EQ(t.rows[0][i].vt, types[i]) << t.fields[i].name;
  }
  EXPECT_EQ(t.rows[0][7].cyVal, 35000);  // 3.5 scaled by 10,000
  EXPECT_EQ(t.rows[0][8].boolVal, VARIANT_TRUE);
  // Decimal (Numeric 18,0) columns come as VT_DECIMAL text.
  TableData n = readJetTable(fixturesDir() + "/mdb/fixedNumericTestV2000.mdb", "test");
  ASSERT_GE(n.fields.size(), 6u);
  EXPECT_EQ(n.fields[5].type, VT_DECIMAL);
  EXPECT_EQ(n.rows[0][5].vt, VT_DECIMAL);
  EXPECT_EQ(n.rows[0][5].str, "-1");
}

TEST(JetRead, PasswordProtectedDatabaseIsRefused) {
  TABULOR_REQUIRE_FIXTURES();
  Database db;
  try {
    db.Open(fixturesDir() + "/mdb/V2000_with-password.mdb", false, true, "");
    FAIL() << "opened a password-protected database";
  } catch (const EngineError& e) {
    EXPECT_NE(std::string(e.what()).find("password"), std::string::npos) << e.what();
  }
}

// Files that are not Jet databases are refused from their first bytes, at once.
TEST(JetRead, OtherFilesAreRefusedAtOnce) {
  TempDir dir;
  std::string jetHead;
  if (!fixturesDir().empty())
    jetHead = readFile(fixturesDir() + "/mdb/testV2000.mdb").substr(0, 4096);
  struct Case {
    const char* name;
    std::string bytes;
  } cases[] = {
      {"empty.mdb", ""},
      {"report.doc", std::string("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8) + std::string(600, 'x')},
      {"notes.txt", "Standard Jet DB, or so it says\n"},
      {"short.mdb", std::string("\0\1\0\0Standard Jet DB\0", 20)},
      {"header-only.mdb", jetHead},
      {"header-and-garbage.mdb", jetHead + std::string(3 * 4096, '\x5A')},
  };
  for (const auto& c : cases) {
    if (c.bytes.empty() && std::string(c.name) != "empty.mdb") continue;
    writeFile(dir.file(c.name), c.bytes);
    auto start = std::chrono::steady_clock::now();
    Database db;
    EXPECT_THROW(db.Open(dir.file(c.name), false, true, ""), EngineError) << c.name;
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3)) << c.name;
  }
  Database db;
  EXPECT_THROW(db.Open(dir.file("missing.mdb"), false, true, ""), EngineError);
}

}  // namespace
}  // namespace tabulor::test
