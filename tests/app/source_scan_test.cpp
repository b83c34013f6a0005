// scanFolder: wildcard matching without regard to case, folders and "Gi!" names skipped,
// single-file patterns, and searches that cannot be made.
#include "ui/source_scan.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "tests/support/test_support.h"

namespace tabulor {
namespace {

using test::TempDir;
using test::writeFile;

std::vector<std::string> sorted(std::vector<std::string> v) {
  std::sort(v.begin(), v.end());
  return v;
}

TEST(SourceScan, MatchesMasks) {
  struct Case {
    const char* name;
    const char* mask;
    bool match;
  } cases[] = {
      {"Book1.XLS", "*.xls", true},
      {"a.xls", "*.XLS", true},
      {"a.xlsx", "*.XLS", false},
      {"a.xls", "?.xls", true},
      {"ab.xls", "?.xls", false},
      {"reportGi!", "*.*", true},
      {"noext", "*.*", true},
      {"noext", "*.c", false},
      {"x", "*", true},
      {"a.b.c", "*.c", true},
      {"abc", "a*b*c", true},
      {"abd", "a*b*c", false},
      {"", "*", true},
  };
  for (const auto& c : cases)
    EXPECT_EQ(matchesMask(c.name, c.mask), c.match) << c.name << " " << c.mask;
}

TEST(SourceScan, ListsMatchingFilesOfAFolder) {
  TempDir dir;
  writeFile(dir.file("Book1.XLS"), "");
  writeFile(dir.file("a.xls"), "");
  writeFile(dir.file("notes.txt"), "");
  std::filesystem::create_directory(dir.file("Old.xls"));
  std::vector<std::string> found;
  scanFolder(found, dir.path(), "", "*.XLS");
  EXPECT_EQ(sorted(found), sorted({dir.file("Book1.XLS"), dir.file("a.xls")}));

  // Appends: callers empty the list first.
  scanFolder(found, dir.path(), "", "*.TXT");
  EXPECT_EQ(found.size(), 3u);

  // A filter of several masks lists what any of them matches; a pattern is one mask.
  writeFile(dir.file("new.xlsx"), "");
  writeFile(dir.file("odd;name.xls"), "");
  found.clear();
  scanFolder(found, dir.path(), "", "*.XLS;*.XLSX");
  EXPECT_EQ(sorted(found), sorted({dir.file("Book1.XLS"), dir.file("a.xls"),
                                   dir.file("odd;name.xls"), dir.file("new.xlsx")}));
  found.clear();
  scanFolder(found, dir.path(), dir.file("odd;name.xls"), "*.XLS;*.XLSX");
  EXPECT_EQ(found, std::vector<std::string>{dir.file("odd;name.xls")});
}

TEST(SourceScan, SkipsNamesEndingInGiBang) {
  TempDir dir;
  writeFile(dir.file("reportGi!"), "");
  writeFile(dir.file("reportgi!"), "");
  writeFile(dir.file("x.y"), "");
  std::vector<std::string> found;
  scanFolder(found, dir.path(), "", "*.*");
  EXPECT_EQ(sorted(found), sorted({dir.file("reportgi!"), dir.file("x.y")}));
}

TEST(SourceScan, PatternsIgnoreTheFolder) {
  TempDir dir;
  writeFile(dir.file("book.xls"), "");
  writeFile(dir.file("Other.XLS"), "");
  std::vector<std::string> found;
  scanFolder(found, "/nowhere", dir.path() + "/*.xls", "*.CSV");
  EXPECT_EQ(found.size(), 2u);

  found.clear();
  scanFolder(found, "", dir.file("book.xls"), "*.XLS");
  EXPECT_EQ(found, std::vector<std::string>{dir.file("book.xls")});

  found.clear();
  scanFolder(found, "", dir.file("BOOK.XLS"), "*.XLS");  // the name as found is kept
  EXPECT_EQ(found, std::vector<std::string>{dir.file("book.xls")});

  found.clear();
  scanFolder(found, "", dir.path(), "*.XLS");  // a folder is found and skipped
  scanFolder(found, "", "\"" + dir.file("book.xls") + "\"", "*.XLS");  // quotes stay
  scanFolder(found, "", dir.path() + "/missing/*.xls", "*.XLS");
  scanFolder(found, "", dir.path() + "/", "*.XLS");
  EXPECT_TRUE(found.empty());
}

}  // namespace
}  // namespace tabulor
