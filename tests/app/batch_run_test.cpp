// The batch run as a user starts it: the tabulor program with its three arguments, without
// a display. Checks outputs, exit statuses and what reaches standard error.
#include <gtest/gtest.h>

#include <filesystem>

#include "app/conversion_driver.h"
#include "engine/database.h"
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

TEST_F(BatchRun, SourcesThatMatchNothingAreNamed) {
  const std::pair<std::string, std::string> cases[] = {
      {"'" + in("*.xls") + "'", "no file matches \"" + in("*.xls") + "\""},
      {in("missing.csv"), "no file matches \"" + in("missing.csv") + "\""},
      {in(""), "no file matches \"" + in("") + "\": it is a folder"},
      {"''", "no file matches \"\""},
      {"'\"" + in("cities.csv") + "\"'", "no file matches \"\"" + in("cities.csv")}};
  for (const auto& [source, message] : cases) {
    CommandRun run = tabulor(source + " csv " + out());
    EXPECT_EQ(run.status, 2) << source;
    EXPECT_EQ(run.output.rfind("Tabulor: " + message, 0), 0u) << run.output;
  }
  EXPECT_TRUE(listFolder(out()).empty());
  // One source of several that matches nothing is named; the others are converted.
  CommandRun run = tabulor(in("cities.csv") + " " + in("gone.csv") + " csv " + out());
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.output, "Tabulor: no file matches \"" + in("gone.csv") + "\"\n");
  EXPECT_EQ(listFolder(out()), std::vector<std::string>{"cities.csv"});
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

TEST_F(BatchRun, NoOutputReplacesASourceOfTheRunOrAnEarlierOutput) {
  // Into the sources' own folder: b.TXT and a.txt would write b.csv and a.csv, which are
  // sources of the same run, whichever order the folder lists them in.
  std::filesystem::create_directory(dir.file("pair"));
  const std::vector<std::pair<std::string, std::string>> files = {{"a.csv", "x,y\n1,one\n"},
                                                                  {"a.txt", "p\tq\n9\tnine\n"},
                                                                  {"b.csv", "k,v\n5,five\n"},
                                                                  {"b.TXT", "k\tv\n6\tsix\n"}};
  for (const auto& [name, text] : files) writeFile(dir.file("pair/" + name), text);
  CommandRun run = tabulor("'" + dir.file("pair/*") + "' csv " + dir.file("pair"));
  EXPECT_EQ(run.status, 1) << run.output;
  for (const auto& [name, text] : files)
    EXPECT_EQ(readFile(dir.file("pair/" + name)), text) << name;
  EXPECT_EQ(listFolder(dir.file("pair")).size(), files.size());
  for (const char* refused : {"a.txt", "b.TXT"}) {
    const std::string line =
        "Tabulor: " + dir.file(std::string("pair/") + refused) + " was skipped: ";
    EXPECT_NE(run.output.find(line), std::string::npos) << run.output;
  }
  EXPECT_NE(run.output.find("would replace " + dir.file("pair/b.csv")), std::string::npos)
      << run.output;

  // Two sources of one base name from different folders: the second may not replace what
  // the first wrote.
  std::filesystem::create_directory(dir.file("other"));
  writeFile(dir.file("other/cities.txt"), "city\nBergen\n");
  run = tabulor(in("cities.csv") + " " + dir.file("other/cities.txt") + " csv " + out());
  EXPECT_EQ(run.status, 1) << run.output;
  EXPECT_NE(readFile(out("cities.csv")).find("Oslo"), std::string::npos);
  EXPECT_NE(run.output.find("was already written from " + in("cities.csv")), std::string::npos)
      << run.output;
}

TEST_F(BatchRun, FilesThatCannotBeReadAreReportedAndTheRunGoesOn) {
  writeFile(in("notes.xyz"), "hello\n");
  writeFile(in("damaged.mdb"), std::string(4096, '\x01'));
  std::filesystem::create_symlink(in("gone.csv"), in("dangling.csv"));
  std::filesystem::create_symlink(in("loop.csv"), in("loop.csv"));
  std::vector<std::string> bad = {"notes.xyz", "damaged.mdb", "dangling.csv", "loop.csv"};
  std::string args;
  for (const std::string& name : bad) args += in(name) + " ";
  CommandRun run = tabulor(args + in("cities.csv") + " csv " + out());
  EXPECT_EQ(run.status, 1) << run.output;
  for (const std::string& name : bad)
    EXPECT_NE(run.output.find("Tabulor: " + in(name) + " was skipped: "), std::string::npos)
        << name << "\n"
        << run.output;
  EXPECT_EQ(listFolder(out()), std::vector<std::string>{"cities.csv"});

  // A database with a password, and any database when the Jet reader is missing.
  const std::string mdbs = test::fixturesDir() + "/mdb/";
  if (fileExists(mdbs + "testV2000.mdb")) {
    run = tabulor(mdbs + "V2000_with-password.mdb csv " + out());
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(
        run.output.find("was skipped: V2000_with-password.mdb is protected by a database password"),
        std::string::npos)
        << run.output;
    std::filesystem::copy_file(test::binaryDir() + "/bin/tabulor", dir.file("tabulor"));
    std::string output;
    EXPECT_EQ(
        test::runCommand(dir.file("tabulor") + " " + mdbs + "testV2000.mdb csv " + out() + " 2>&1",
                         &output),
        1);
    EXPECT_NE(output.find("was skipped: Cannot read testV2000.mdb: the Jet reader"),
              std::string::npos)
        << output;
  }
}

TEST_F(BatchRun, LongestSourceNamesConvertToEveryTarget) {
  const std::string base(251, 'n');
  writeFile(in(base + ".csv"), "a,b\n1,2\n");
  for (const char* keyword : {"xls", "mdb", "csv", "dbf"}) {
    CommandRun run = tabulor(in(base + ".csv") + " " + keyword + " " + out());
    EXPECT_EQ(run.status, 0) << keyword << run.output;
  }
  EXPECT_EQ(listFolder(out()).size(), 4u);
}

TEST_F(BatchRun, TablesWhoseOutputsShareANameStayApart) {
  // A long workbook name leaves room for only part of each sheet's name in its output
  // file's name: both sheets would be written to one file.
  const std::string base(250, 'w');
  test::writeWorkbook(in(base + ".xls"),
                      {{"Sheet1", "a\n1\n"}, {"Sheet2", "b\n2\n"}, {"Sheet3", "c\n3\n"}});
  CommandRun run = tabulor(in(base + ".xls") + " dbf " + out());
  EXPECT_EQ(run.status, 0) << run.output;
  std::vector<std::string> written = listFolder(out());
  EXPECT_EQ(written.size(), 3u);
  EXPECT_NE(run.output.find("was written as"), std::string::npos) << run.output;
}

TEST_F(BatchRun, ATableWithoutFieldsIsLeftOutOfTargetsThatCannotHoldOne) {
  test::writeWorkbook(in("book.xls"), {{"First", "a\n1\n"}, {"Blank", ""}, {"Last", "z\n26\n"}});
  for (const char* keyword : {"mdb", "dbf"}) {
    CommandRun run = tabulor(in("book.xls") + " " + keyword + " " + out());
    EXPECT_EQ(run.status, 0) << keyword << run.output;
    EXPECT_NE(run.output.find(in("book.xls") + ": the table \"Blank\" was left out"),
              std::string::npos)
        << run.output;
  }
  EXPECT_EQ(listFolder(out()),
            (std::vector<std::string>{"book.mdb", "book_First.dbf", "book_Last.dbf"}));
  if (test::haveProgram("mdb-tables")) {
    std::string tables;
    test::runCommand("mdb-tables -1 " + out("book.mdb"), &tables);
    EXPECT_EQ(tables, "First\nLast\n");
  }
}

TEST(CommandLine, HelpAndVersion) {
  CommandRun version = tabulor("--version");
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.output, "Tabulor 2.6\n");
  CommandRun help = tabulor("--help");
  EXPECT_EQ(help.status, 0);
  for (const char* keyword : {"txt", "html", "csv", "xls", "mdb", "dbf", "wk1", "--quiet"})
    EXPECT_NE(help.output.find(keyword), std::string::npos) << keyword;
}

TEST(CommandLine, MistakesAreExplainedWithTheUsage) {
  struct Case {
    std::string args;
    int status;
    std::string first;  // the first line on standard error
  };
  const Case cases[] = {
      // No arguments and no display: the window cannot open.
      {"", 1, "Tabulor: cannot open the window: there is no display"},
      {"--bogus", 2, "Tabulor: unknown option --bogus"},
      {"--bogus a.csv csv /tmp", 2, "Tabulor: unknown option --bogus"},
      {"--help extra", 2, "Tabulor: --help takes no other arguments"},
      {"--version --quiet", 2, "Tabulor: --version takes no other arguments"},
      {"a.csv csv", 2, "Tabulor: the OUTDIR argument is missing"},
      {"''", 2, "Tabulor: the FORMAT and OUTDIR arguments are missing"},
      {"--quiet", 2, "Tabulor: nothing to convert"},
  };
  for (const Case& c : cases) {
    CommandRun run = tabulor(c.args);
    EXPECT_EQ(run.status, c.status) << c.args;
    EXPECT_EQ(run.output.rfind(c.first, 0), 0u) << c.args << "\n" << run.output;
    EXPECT_NE(run.output.find("Usage:"), std::string::npos) << c.args;
  }
  // A display that does not answer: the same, rather than Qt's abort.
  CommandRun run;
  run.status = test::runCommand("env -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM DISPLAY=:99.7 " +
                                    test::binaryDir() + "/bin/tabulor 2>&1",
                                &run.output);
  EXPECT_EQ(run.status, 1) << run.output;
  EXPECT_NE(run.output.find("Tabulor: cannot open the window"), std::string::npos) << run.output;
  EXPECT_NE(run.output.find("Usage:"), std::string::npos);
}

TEST(CommandLine, OptionsAnywhereAndFilesThatLookLikeOptions) {
  TempDir dir;
  writeFile(dir.file("-x.csv"), "a\n1\n");
  std::filesystem::create_directory(dir.file("out"));
  CommandRun run = tabulor("-q " + dir.file("-x.csv") + " csv --quiet " + dir.file("out"));
  EXPECT_EQ(run.status, 0) << run.output;
  run = CommandRun{};
  run.status = test::runCommand(
      "cd " + dir.path() + " && " + test::binaryDir() + "/bin/tabulor -- -x.csv txt out 2>&1",
      &run.output);
  EXPECT_EQ(run.status, 0) << run.output;
  EXPECT_EQ(listFolder(dir.file("out")), (std::vector<std::string>{"-x.csv", "-x.txt"}));
}

TEST(ConversionDriver, NormalisesOutputFolders) {
  EXPECT_EQ(normaliseOutputFolder("/out///"), "/out");
  EXPECT_EQ(normaliseOutputFolder("/out"), "/out");
  EXPECT_EQ(normaliseOutputFolder("/"), "");
  EXPECT_EQ(normaliseOutputFolder(""), "");
}

}  // namespace
}  // namespace tabulor
