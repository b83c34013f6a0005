// Bad input for the text driver: each case gives a clear EngineError or a sensible table,
// never a crash or a hang.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <random>

#include "engine/database.h"
#include "tests/support/test_support.h"
#include "tests/text/text_test_util.h"

namespace tabulor::test {
namespace {

// The description of the EngineError reading `table` throws ("" when none is thrown).
std::string readError(const std::string& folder, const std::string& table,
                      ErrorKind* kind = nullptr) {
  try {
    readTextTable(folder, table);
  } catch (const EngineError& e) {
    if (kind) *kind = e.kind();
    return e.description();
  }
  return {};
}

TEST(TextBadInput, FoldersThatCannotBeOpened) {
  TempDir dir;
  writeFile(dir.file("plain.csv"), "a\n1\n");
  for (std::string path : {dir.file("missing"), dir.file("plain.csv")}) {
    try {
      textDriverForTests().openDatabase(path);
      ADD_FAILURE() << path << " opened";
    } catch (const EngineError& e) {
      EXPECT_NE(e.description().find(path), std::string::npos) << e.description();
    }
  }
  if (::geteuid() != 0) {  // root reads any folder
    ASSERT_EQ(::mkdir(dir.file("locked").c_str(), 0), 0);
    EXPECT_THROW(textDriverForTests().openDatabase(dir.file("locked")), EngineError);
  }
}

TEST(TextBadInput, UnterminatedQuoteNamesFileAndRow) {
  TempDir dir;
  std::string csv = "a,b\n";
  for (int i = 1; i < 1204; ++i) csv += std::to_string(i) + ",x\n";
  csv += "1204,\"never closed\n1205,y\n";
  writeFile(dir.file("orders.csv"), csv);
  ErrorKind kind{};
  EXPECT_EQ(readError(dir.path(), "orders#csv", &kind),
            "orders.csv, row 1,204: unterminated quoted field (a field opened with \" is never "
            "closed)");
  EXPECT_EQ(kind, ErrorKind::BadInput);
  writeFile(dir.file("head.csv"), "a,\"b\n1,2\n");
  EXPECT_EQ(readError(dir.path(), "head#csv").rfind("head.csv, header line: unterminated", 0), 0u);

  // Through a statement: the error ends it and no output file is left.
  TempDir out;
  Database db;
  db.Open(dir.path(), false, true, "Text;");
  EXPECT_THROW(
      db.Execute("SELECT * INTO [Text;DATABASE=" + out.path() + "].[orders.txt] FROM [orders#csv]"),
      EngineError);
  EXPECT_TRUE(listFolder(out.path()).empty());
}

TEST(TextBadInput, ExtraValuesBeyondTheTableWidthAreAnError) {
  TempDir dir;
  std::string csv = "a,b\n";
  for (int i = 0; i < 30; ++i) csv += "1,2\n";
  csv += "1,2,,lost?\n";
  writeFile(dir.file("wide.csv"), csv);
  std::string error = readError(dir.path(), "wide#csv");
  EXPECT_NE(error.find("wide.csv, row 31: 4 fields where the table has 2"), std::string::npos)
      << error;
}

TEST(TextBadInput, EmptyBinaryAndOddFiles) {
  TempDir dir;
  writeFile(dir.file("empty.csv"), "");
  TextTable empty = readTextTable(dir.path(), "empty#csv");
  EXPECT_TRUE(empty.fields.empty());
  EXPECT_TRUE(empty.rows.empty());

  std::mt19937 random(42);
  std::string garbage;
  for (int i = 0; i < 100000; ++i) garbage += static_cast<char>(random());
  writeFile(dir.file("garbage.csv"), garbage);
  EXPECT_NE(readError(dir.path(), "garbage#csv").find("garbage.csv is not a text file"),
            std::string::npos);
  // Garbage without NUL bytes is Windows-1252 text: it reads as a table or ends in an error
  // about its shape, naming the file.
  for (char& c : garbage)
    if (c == 0 || c == '"') c = 'x';
  writeFile(dir.file("noisy.csv"), garbage);
  std::string error = readError(dir.path(), "noisy#csv");
  EXPECT_TRUE(error.empty() || error.rfind("noisy.csv, row ", 0) == 0) << error;
  // A UTF-16 file without a byte-order mark.
  writeFile(dir.file("wide.txt"), std::string("a\0,\0b\0\n\0", 8));
  EXPECT_NE(readError(dir.path(), "wide#txt").find("without a byte-order mark"), std::string::npos);
  // Only a byte-order mark, only line breaks.
  writeFile(dir.file("bom.csv"), "\xEF\xBB\xBF");
  EXPECT_TRUE(readTextTable(dir.path(), "bom#csv").fields.empty());
  writeFile(dir.file("lines.csv"), "\r\n\n\r");
  EXPECT_TRUE(readTextTable(dir.path(), "lines#csv").fields.empty());
}

TEST(TextBadInput, TooManyFields) {
  TempDir dir;
  writeFile(dir.file("w.csv"), std::string(20000, ','));
  ErrorKind kind{};
  EXPECT_NE(readError(dir.path(), "w#csv", &kind).find("more than 16,384 fields"),
            std::string::npos);
  EXPECT_EQ(kind, ErrorKind::Limit);
}

TEST(TextBadInput, FolderOfTenThousandFiles) {
  TempDir dir;
  for (int i = 0; i < 10000; ++i)
    writeFile(dir.file("f" + std::to_string(100000 + i) + ".csv"), "a\n1\n");
  Database db;
  db.Open(dir.path(), false, true, "Text;");
  ASSERT_EQ(db.GetTableDefCount(), 10000);
  EXPECT_EQ(db.GetTableDefInfo(0).name, "f100000#csv");
  EXPECT_EQ(db.GetTableDefInfo(9999).fileName, "f109999.csv");
  EXPECT_EQ(readTextTable(dir.path(), "F109999#CSV").texts(),
            (std::vector<std::vector<std::string>>{{"1"}}));
}

}  // namespace
}  // namespace tabulor::test
