// The database-engine conversion of one file: output-folder preparation, table choice,
// output names, the schema.ini life cycle and clean-up when a statement fails.
#include "convert/database_engine_conversion.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "engine/driver.h"
#include "engine/engine_error.h"
#include "tests/support/test_support.h"

namespace tabulor {
namespace {

using test::fileExists;
using test::readFile;
using test::TempDir;
using test::writeFile;

TEST(TableCleaning, KeepsUserTablesWithCleanedNames) {
  struct Case {
    const char* listed;
    int32_t attributes;
    SourceKind kind;
    std::optional<std::string> kept;
  } cases[] = {
      {"Jan$", 0, SourceKind::SourceWorkbook, "Jan"},
      {"'My Sheet$'", 0, SourceKind::SourceWorkbook, "My Sheet"},
      {"''Odd$''", 0, SourceKind::SourceWorkbook, "Odd"},
      {"Print_Area", 0, SourceKind::SourceWorkbook, std::nullopt},  // a named range
      {"'Sheet 1'!Range", 0, SourceKind::SourceWorkbook, std::nullopt},
      {"'", 0, SourceKind::SourceWorkbook, std::nullopt},
      {"$", 0, SourceKind::SourceWorkbook, ""},
      {"MSysObjects", TableAttrSystem, SourceKind::SourceDatabase, std::nullopt},
      {"Linked", TableAttrLinked, SourceKind::SourceDatabase, std::nullopt},
      {"Orders", 0, SourceKind::SourceDatabase, "Orders"},
      {"'quoted'", 0, SourceKind::SourceDatabase, "'quoted"},
      {"orders#csv", 0, SourceKind::SourceCsv, "orders#csv"},
      {"Sales$", 0, SourceKind::SourceDbase, "Sales$"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(keptTableName({c.listed, c.attributes, ""}, c.kind), c.kept) << c.listed;
}

class DatabaseEngineConversion : public ::testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::create_directories(src.path() + "/data");
    std::filesystem::create_directories(out.path());
    ctx = {program.path() + "/", &db, &messages};
    writeFile(program.file("Blank.mdb"), "template bytes");
  }
  std::string dataFile(const std::string& name) { return src.path() + "/data/" + name; }
  std::string outFile(const std::string& name) { return out.path() + "/" + name; }

  TempDir src, out, program;
  Database db;
  RecordingMessages messages;
  ConversionContext ctx;
};

TEST_F(DatabaseEngineConversion, ConvertsOnlyTheChosenFileOfAFolderSource) {
  writeFile(dataFile("orders.csv"), "id,name\n1,a\n2,b\n");
  writeFile(dataFile("other.csv"), "x\n9\n");
  writeFile(dataFile("notes.txt"), "y\n8\n");
  writeFile(outFile("orders.csv"), "stale");  // the primary output is replaced

  EXPECT_EQ(ConvertWithDatabaseEngine(ctx, dataFile("orders.csv"), out.path(), FormatCsv), 1);

  EXPECT_EQ(test::listFolder(out.path()), std::vector<std::string>{"orders.csv"});
  auto rows = test::parseCsv(readFile(outFile("orders.csv")));
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0], (std::vector<std::string>{"id", "name"}));
  EXPECT_EQ(rows[2], (std::vector<std::string>{"2", "b"}));
  EXPECT_FALSE(db.IsOpen());
}

TEST_F(DatabaseEngineConversion, TextTargetIsTabDelimitedAndKeepsTheUsersSchemaIni) {
  writeFile(dataFile("data.txt"), "a,b\n1,x y\n");
  // The user's own, even one that names the output.
  const std::string users =
      "[data.txt]\r\nFormat=Delimited(;)\r\n[kept.txt]\r\nFormat=CSVDelimited\r\n";
  writeFile(outFile("schema.ini"), users);

  for (int run = 0; run < 2; ++run)
    EXPECT_EQ(ConvertWithDatabaseEngine(ctx, dataFile("data.txt"), out.path(), FormatText), 1);

  EXPECT_EQ(readFile(outFile("schema.ini")), users);
  EXPECT_EQ(test::listFolder(out.path()), (std::vector<std::string>{"data.txt", "schema.ini"}));
  std::string text = readFile(outFile("data.txt"));
  EXPECT_NE(text.find("a\tb"), std::string::npos) << text;
  EXPECT_NE(text.find("1\tx y"), std::string::npos) << text;
}

TEST_F(DatabaseEngineConversion, SourceThatCannotBeOpenedIsSkippedWithItsReasonTouchingNothing) {
  test::RecordingListener listener;
  ctx.listener = &listener;
  writeFile(outFile("missing.mdb"), "old output");
  writeFile(outFile("schema.ini"), "[x]\r\n");
  writeFile(dataFile("report.doc"), "not a database at all");
  writeFile(dataFile("empty.mdb"), "");
  for (const char* name : {"missing.mdb", "report.doc", "empty.mdb"})
    for (TargetFormat format : {FormatMdb, FormatCsv, FormatXls}) {
      EXPECT_EQ(ConvertWithDatabaseEngine(ctx, dataFile(name), out.path(), format), 0) << name;
      EXPECT_FALSE(db.IsOpen());
    }
  ASSERT_EQ(listener.skipped.size(), 9u);
  for (const auto& [path, reason] : listener.skipped) EXPECT_FALSE(reason.empty()) << path;
  EXPECT_NE(listener.skipped[0].second.find("No such file"), std::string::npos);
  EXPECT_EQ(readFile(outFile("missing.mdb")), "old output");
  EXPECT_EQ(readFile(outFile("schema.ini")), "[x]\r\n");
  EXPECT_EQ(test::listFolder(out.path()), (std::vector<std::string>{"missing.mdb", "schema.ini"}));
  EXPECT_TRUE(messages.shown.empty());
}

TEST_F(DatabaseEngineConversion, FailingStatementCleansUpAndThrows) {
  writeFile(dataFile("orders.txt"), "id\n1\n");
  // A folder occupies the output's name, so the statement cannot write its file.
  std::filesystem::create_directories(outFile("orders.txt") + "/inside");

  EXPECT_THROW(ConvertWithDatabaseEngine(ctx, dataFile("orders.txt"), out.path(), FormatText),
               EngineError);
  EXPECT_FALSE(db.IsOpen());
  EXPECT_EQ(test::listFolder(out.path()), std::vector<std::string>{"orders.txt"});
}

TEST_F(DatabaseEngineConversion, RefusesToReplaceTheSourceItself) {
  const std::string csv = "id\n1\n";
  writeFile(dataFile("orders.csv"), csv);
  writeFile(dataFile("shop.mdb"), "a database");
  test::RecordingListener listener;
  ctx.listener = &listener;
  struct Case {
    std::string source;
    TargetFormat format;
  } cases[] = {{"orders.csv", FormatCsv}};
  for (const auto& c : cases) {
    EXPECT_EQ(ConvertWithDatabaseEngine(ctx, dataFile(c.source), src.path() + "/data", c.format), 0)
        << c.source;
  }
  ASSERT_EQ(listener.skipped.size(), 1u);
  EXPECT_NE(listener.skipped[0].second.find("is the source file itself"), std::string::npos);
  EXPECT_EQ(readFile(dataFile("orders.csv")), csv);
  EXPECT_EQ(readFile(dataFile("shop.mdb")), "a database");
  // Into its own folder in another format is fine.
  EXPECT_EQ(
      ConvertWithDatabaseEngine(ctx, dataFile("orders.csv"), src.path() + "/data", FormatText), 1);
  EXPECT_TRUE(fileExists(dataFile("orders.txt")));
}

}  // namespace
}  // namespace tabulor
