// Safe file names for tables: nothing a table is called may leave the output folder.
#include "engine/file_names.h"

#include <gtest/gtest.h>

namespace tabulor {
namespace {

TEST(FileNames, SafeFileNameStaysInsideTheFolder) {
  struct Case {
    std::string table, file;
  } cases[] = {
      {"orders.txt", "orders.txt"},
      {"../../etc/passwd", ".._.._etc_passwd"},
      {"..", "_.."},
      {".", "_."},
      {"", "_"},
      {"a\\b", "a_b"},
      {std::string("a\nb\x01", 4), "a_b_"},
      {"Sales_Jan.csv", "Sales_Jan.csv"},
  };
  for (const auto& c : cases) EXPECT_EQ(safeFileName(c.table), c.file) << c.table;

  std::string longName = std::string(300, 'x') + ".csv";
  std::string cut = safeFileName(longName);
  EXPECT_EQ(cut.size(), 255u);
  EXPECT_EQ(cut.substr(251), ".csv");
  std::string wide;
  for (int i = 0; i < 200; ++i) wide += "\xC3\xA9";  // 400 bytes of two-byte characters
  cut = safeFileName(wide);
  EXPECT_LE(cut.size(), 255u);
  EXPECT_EQ(cut.size() % 2, 0u) << "cut inside a character";
}

// Every cut name stays one file name of at most 255 bytes: bytes that are not UTF-8 (a
// Latin-1 file name) are cut where they stand, and a long "extension" is cut like a name.
TEST(FileNames, CutAndNumberedNamesStayWithinTheLimit) {
  const std::string latin1(300, '\xB1');
  EXPECT_EQ(safeFileName(latin1).size(), 255u);
  EXPECT_EQ(numberedFileName("orders.csv", 2), "orders_2.csv");

  struct Case {
    std::string name, ends;
  } cases[] = {
      {std::string(251, 'x') + ".csv", "x_12.csv"},
      {"x." + std::string(253, 'e'), "e_12"},
      {"x" + std::string(254, '\xB1'), "\xB1_12"},
  };
  for (const Case& c : cases) {
    const std::string numbered = numberedFileName(c.name, 12);
    EXPECT_LE(numbered.size(), 255u) << c.name;
    EXPECT_EQ(numbered.substr(numbered.size() - c.ends.size()), c.ends) << c.name;
  }
}

TEST(FileNames, PathParts) {
  EXPECT_EQ(joinPath("/out", "a.csv"), "/out/a.csv");
  EXPECT_EQ(joinPath("/out/", "a.csv"), "/out/a.csv");
  EXPECT_EQ(joinPath("", "a.csv"), "/a.csv");
  EXPECT_EQ(fileNameOf("/a/b.csv"), "b.csv");
  EXPECT_EQ(extensionOf("b.tar.gz"), ".gz");
  EXPECT_EQ(extensionOf(".hidden"), "");
  EXPECT_TRUE(equalsNoCase("Excel 8.0", "EXCEL 8.0"));
}

}  // namespace
}  // namespace tabulor
