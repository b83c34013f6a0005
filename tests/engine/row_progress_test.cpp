// The row hook of Execute: it sees every row boundary of a statement in order, and a hook
// that says stop ends the statement as a failing one ends, for every target driver: no
// file of the stopped table is left, and the tables a workbook or database held before stay.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "engine/database.h"
#include "tests/support/test_support.h"

namespace tabulor {
namespace {

using test::listFolder;
using test::TempDir;
using test::writeFile;

class StopAt : public RowProgress {
 public:
  explicit StopAt(int64_t stop) : stop_(stop) {}
  bool rowsCopied(int64_t rows) override {
    seen.push_back(rows);
    return rows < stop_;
  }
  std::vector<int64_t> seen;

 private:
  int64_t stop_;
};

std::string rowsCsv(int count) {
  std::string text = "id,name\n";
  for (int i = 1; i <= count; ++i) text += std::to_string(i) + ",row" + std::to_string(i) + "\n";
  return text;
}

TEST(RowProgress, SeesEveryRowAndTheEnd) {
  TempDir src, out;
  writeFile(src.file("t.csv"), rowsCsv(5));
  Database db;
  db.Open(src.path(), false, true, "Text;");
  StopAt never(1000);
  db.setRowProgress(&never);
  EXPECT_EQ(db.Execute("SELECT * INTO [Text;DATABASE=" + out.path() + "].[t.csv] FROM [t#csv]"), 5);
  EXPECT_EQ(never.seen, (std::vector<int64_t>{0, 1, 2, 3, 4, 5}));
}

TEST(RowProgress, StopRemovesTheTableBeingWrittenInEveryTarget) {
  struct Case {
    const char* isam;
    const char* table;   // the target table's name
    bool oneFile;        // the target is one file holding several tables
    const char* suffix;  // of that file
  };
  const Case cases[] = {{"Text", "t.txt", false, ""},          {"HTML Export", "t.htm", false, ""},
                        {"dBASE IV", "t.dbf", false, ""},      {"Lotus WK1", "t.wk1", false, ""},
                        {"Excel 8.0", "second", true, ".xls"}, {"", "second", true, ".mdb"}};
  const std::string blank = test::binaryDir() + "/bin/Blank.mdb";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.isam);
    TempDir src, out;
    writeFile(src.file("t.csv"), rowsCsv(10));
    Database db;
    db.Open(src.path(), false, true, "Text;");
    std::string database = out.path();
    if (c.oneFile) {
      database = out.file(std::string("book") + c.suffix);
      if (std::string(c.suffix) == ".mdb") {
        if (!std::filesystem::exists(blank)) continue;  // built with the program
        std::filesystem::copy_file(blank, database);
      }
      // A table the file holds before the stopped one.
      db.Execute(std::string("SELECT * INTO [") + c.isam + ";DATABASE=" + database +
                 "].[first] FROM [t#csv]");
    }
    const std::vector<std::string> before = listFolder(out.path());

    StopAt stop(3);
    db.setRowProgress(&stop);
    try {
      db.Execute(std::string("SELECT * INTO [") + c.isam + ";DATABASE=" + database + "].[" +
                 c.table + "] FROM [t#csv]");
      ADD_FAILURE() << "the statement was not stopped";
    } catch (const EngineError& e) {
      EXPECT_EQ(e.kind(), ErrorKind::Cancelled) << e.what();
    }
    // Rows in order up to the stop (targets that size their columns first read the source
    // once before, reporting no row written yet).
    ASSERT_GE(stop.seen.size(), 4u);
    EXPECT_EQ(std::vector<int64_t>(stop.seen.end() - 4, stop.seen.end()),
              (std::vector<int64_t>{0, 1, 2, 3}));
    EXPECT_TRUE(std::is_sorted(stop.seen.begin(), stop.seen.end()));
    db.setRowProgress(nullptr);
    EXPECT_EQ(listFolder(out.path()), before);
    if (c.oneFile) {
      Database target;
      target.Open(database, false, true, std::string(c.isam) + ";");
      std::vector<std::string> tables;
      for (int i = 0; i < target.GetTableDefCount(); ++i)
        if (target.GetTableDefInfo(i).attributes == 0)
          tables.push_back(target.GetTableDefInfo(i).name);
      EXPECT_EQ(tables,
                std::vector<std::string>{c.suffix == std::string(".xls") ? "first$" : "first"});
      Recordset rs(&target);
      rs.Open(tables.front());
      int rows = 0;
      for (; !rs.IsEOF(); rs.MoveNext()) ++rows;
      EXPECT_EQ(rows, 10);
    }
  }
}

}  // namespace
}  // namespace tabulor
