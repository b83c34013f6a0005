// The batch run as a user starts it: the tabulor program with its three arguments, without
// a display. Checks outputs, exit statuses and what reaches standard error.
#include <gtest/gtest.h>

#include <filesystem>

#include "app/conversion_driver.h"
#include "tests/support/test_support.h"

namespace tabulor {
namespace {

using test::fileExists;
using test::listFolder;
using test::readFile;
using test::TempDir;
using test::writeFile;

struct CommandRun {
  int status;
  std::string output;  // standard output and error
};

CommandRun tabulor(const std::string& args) {
  CommandRun run;
  run.status = test::runCommand("env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM " +
                                    test::binaryDir() + "/bin/tabulor " + args + " 2>&1",
                                &run.output);
  return run;
}

class BatchRun : public ::testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::create_directory(dir.file("in"));
    std::filesystem::create_directory(dir.file("out"));
    writeFile(dir.file("in/Orders.CSV"), "id,name\n1,Ann\n2,Bob\n");
    writeFile(dir.file("in/cities.csv"), "city\nOslo\n");
    writeFile(dir.file("in/readme.md"), "not a table");
  }
  std::string in(const std::string& name = "") { return dir.file("in/" + name); }
  std::string out(const std::string& name = "") { return dir.file("out/" + name); }
  TempDir dir;
};

TEST_F(BatchRun, ConvertsEveryMatchingFileWithTheKeywordInAnyCase) {
  CommandRun run = tabulor("'" + in("*.csv") + "' CSV " + out());
  EXPECT_EQ(run.status, 0) << run.output;
  EXPECT_EQ(run.output, "");
  EXPECT_EQ(listFolder(out()), (std::vector<std::string>{"Orders.csv", "cities.csv"}));
  EXPECT_EQ(test::parseCsv(readFile(out("Orders.csv")))[2], (std::vector<std::string>{"2", "Bob"}));
}

TEST_F(BatchRun, ShellExpandedSourcesAndTrailingSlashes) {
  CommandRun run = tabulor(in("Orders.CSV") + " " + in("cities.csv") + " txt " + out() + "///");
  EXPECT_EQ(run.status, 0) << run.output;
  EXPECT_EQ(listFolder(out()), (std::vector<std::string>{"Orders.txt", "cities.txt"}));
  EXPECT_NE(readFile(out("Orders.txt")).find("id\tname"), std::string::npos);
}

TEST_F(BatchRun, UnknownKeywordConvertsToText) {
  CommandRun run = tabulor(in("cities.csv") + " wk3 " + out());
  EXPECT_EQ(run.status, 0) << run.output;
  EXPECT_EQ(listFolder(out()), std::vector<std::string>{"cities.txt"});
}

TEST_F(BatchRun, NothingMatchedConvertsNothingSilently) {
  for (const std::string& source :
       {"'" + in("*.xls") + "'", in(""), "'\"" + in("cities.csv") + "\"'"}) {
    CommandRun run = tabulor(source + " csv " + out());
    EXPECT_EQ(run.status, 2) << source;
    EXPECT_EQ(run.output, "") << source;
  }
  EXPECT_TRUE(listFolder(out()).empty());
}

TEST_F(BatchRun, StatementErrorIsShownAndEndsTheRun) {
  // The first file's output name is taken by a folder, so its statement fails.
  std::filesystem::create_directories(out("a.csv/inside"));
  writeFile(in("a.csv"), "x\n1\n");
  writeFile(in("b.csv"), "y\n2\n");
  CommandRun run = tabulor(in("a.csv") + " " + in("b.csv") + " csv " + out());
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.output.rfind("Tabulor: ", 0), 0u) << run.output;
  EXPECT_NE(run.output.find("a.csv"), std::string::npos) << run.output;
  EXPECT_FALSE(fileExists(out("b.csv")));  // the run ended before the second file
}

TEST_F(BatchRun, MissingOutputFolderIsAnErrorNotASilentSkip) {
  CommandRun run = tabulor(in("cities.csv") + " csv " + dir.file("no/such/folder"));
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.output.find("no/such/folder"), std::string::npos) << run.output;
}

TEST(CommandLine, HelpAndVersion) {
  CommandRun version = tabulor("--version");
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.output, "Tabulor 2.6\n");
  CommandRun help = tabulor("--help");
  EXPECT_EQ(help.status, 0);
  for (const char* keyword : {"txt", "html", "csv", "xls", "mdb", "dbf", "wk1"})
    EXPECT_NE(help.output.find(keyword), std::string::npos) << keyword;
}

TEST(ConversionDriver, NormalisesOutputFolders) {
  EXPECT_EQ(normaliseOutputFolder("/out///"), "/out");
  EXPECT_EQ(normaliseOutputFolder("/out"), "/out");
  EXPECT_EQ(normaliseOutputFolder("/"), "");
  EXPECT_EQ(normaliseOutputFolder(""), "");
}

}  // namespace
}  // namespace tabulor
