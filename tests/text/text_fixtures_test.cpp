// The real delimited files of the shared fixtures, read through the driver and compared
// with what Python's csv module read from them (given each file's encoding and delimiter,
// which the driver has to find by itself).
#include <gtest/gtest.h>

#include "engine/drivers/text/text_layout.h"
#include "tests/support/test_support.h"
#include "tests/text/text_test_util.h"

namespace tabulor::test {
namespace {

TEST(TextFixtures, EveryFileMatchesItsExpectedTable) {
  TABULOR_REQUIRE_FIXTURES();
  std::string folder = fixturesDir() + "/csv";
  auto db = textDriverForTests().openDatabase(folder);
  auto tables = db->tables();
  ASSERT_GE(tables.size(), 11u);  // every .csv and .txt there (no other kinds are kept)
  for (const auto& info : tables) {
    SCOPED_TRACE(info.fileName);
    std::string base = info.fileName.substr(0, info.fileName.rfind('.'));
    auto expected =
        parseCsv(readFile(fixturesDir() + "/expected/" + info.fileName + "." + base + ".csv"));
    ASSERT_FALSE(expected.empty());
    // Blank lines are no records for the driver (Python gives them as empty records).
    std::erase_if(expected, [](const auto& r) { return r.size() == 1 && r[0].empty(); });
    TextTable table = readTextTable(folder, info.name);
    size_t columns = table.fields.size();
    // The first record gives the names, empty and repeated ones replaced by F<n>. LO7322.csv
    // has no header row, so its first record becomes the names as in any header-less file
    // read without a schema.ini entry; the comparison below holds for it all the same.
    std::vector<std::string_view> header(expected[0].begin(), expected[0].end());
    EXPECT_EQ(table.names(), fieldNamesFromHeader(header, columns));
    ASSERT_EQ(table.rows.size(), expected.size() - 1);
    auto texts = table.texts();
    for (size_t rowIdx = 0; rowIdx < texts.size(); ++rowIdx) {
      auto want = expected[rowIdx + 1];
      ASSERT_GE(columns, want.size()) << "row " << rowIdx + 1;
      want.resize(columns);
      EXPECT_EQ(texts[rowIdx], want) << "row " << rowIdx + 1;
    }
  }
}

TEST(TextFixtures, TypesOfKnownColumns) {
  TABULOR_REQUIRE_FIXTURES();
  std::string folder = fixturesDir() + "/csv";
  TextTable zip = readTextTable(folder, "comma_in_quotes#csv");
  EXPECT_EQ(zip.fields.back().name, "zip");
  EXPECT_EQ(zip.fields.back().type, VT_BSTR);  // "08123": leading zero kept
  TextTable errors = readTextTable(folder, "ErrorTypes#csv");
  EXPECT_EQ(errors.fields[4].type, VT_BSTR);  // Val: 1 ... 123, foo, 10/11/14
  EXPECT_EQ(errors.fields[6].type, VT_I4);    // Type
  EXPECT_EQ(errors.fields[7].type, VT_BOOL);  // ISERR
  TextTable minimal = readTextTable(folder, "minimal_112#txt");
  EXPECT_EQ(minimal.names(), (std::vector<std::string>{"Sheet", "JS"}));
  EXPECT_EQ(minimal.fields[0].type, VT_BSTR);  // 123 and TRUE
  EXPECT_EQ(minimal.fields[1].type, VT_BSTR);  // 1.23 and 12.3%
}

}  // namespace
}  // namespace tabulor::test
