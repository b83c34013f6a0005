// The spreadsheet-application path against the real LibreOffice Calc through
// tabulor-calc-helper: a three-sheet workbook made here and every workbook of the shared
// fixtures, converted to every code the office writes and read back by independent readers
// (Python's csv, html.parser, gnumeric's ssconvert) against the values the files hold; the
// command line with its paths, its source that must never be replaced, a damaged workbook,
// a full disk, and an office that ends during a run. The test process is a child
// subreaper, so an office left behind by any test would become its child and be seen.
#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "app/conversion_driver.h"
#include "convert/messages.h"
#include "convert/office_session.h"
#include "convert/spreadsheet_app_conversion.h"
#include "engine/database.h"
#include "tests/support/test_support.h"

namespace tabulor {
namespace {

using Rows = std::vector<std::vector<std::string>>;
using test::TempDir;

struct Sheet {
  std::string name;
  Rows rows;
};

// The workbook every conversion here starts from: a sheet name with a blank and an umlaut,
// text with commas, quotes, a tab, non-ASCII letters and 300 characters, whole and decimal
// numbers.
const std::vector<Sheet>& bookSheets() {
  static const std::vector<Sheet> sheets = {
      {"Jan",
       {{"id", "name", "price"},
        {"1", "Zoë, \"q\"", "2.5"},
        {"2", "Müller", "10"},
        {"3", "plain", "-4.25"}}},
      // A long text.
      {"Feb",
       {{"code", "city"},
        {"A1", "Köln"},
        {"B2", "tab\tinside"},
        {"C3", std::string(300, 'x') + " end"}}},
      {"März Q1", {{"k", "v"}, {"x", "1"}, {"y", "2"}}},
  };
  return sheets;
}

std::string xmlEscape(const std::string& text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '\t':
        out += "&#9;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

bool isNumber(const std::string& text) {
  char* end = nullptr;
  std::strtod(text.c_str(), &end);
  return !text.empty() && *end == '\0';
}

// `text` in single quotes for the shell.
std::string shellQuoted(const std::string& text) {
  std::string out = "'";
  for (char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

// Writes the workbook as gnumeric XML and has gnumeric's ssconvert turn it into BIFF8.
void makeWorkbook(const std::string& path) {
  std::ostringstream xml;
  xml << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
         "<gnm:Workbook xmlns:gnm=\"http://www.gnumeric.org/v10.dtd\"><gnm:SheetNameIndex>";
  for (const Sheet& sheet : bookSheets())
    xml << "<gnm:SheetName>" << xmlEscape(sheet.name) << "</gnm:SheetName>";
  xml << "</gnm:SheetNameIndex><gnm:Sheets>";
  for (const Sheet& sheet : bookSheets()) {
    xml << "<gnm:Sheet><gnm:Name>" << xmlEscape(sheet.name) << "</gnm:Name><gnm:MaxCol>"
        << sheet.rows[0].size() - 1 << "</gnm:MaxCol><gnm:MaxRow>" << sheet.rows.size() - 1
        << "</gnm:MaxRow><gnm:Cells>";
    for (size_t r = 0; r < sheet.rows.size(); ++r)
      for (size_t c = 0; c < sheet.rows[r].size(); ++c)
        xml << "<gnm:Cell Row=\"" << r << "\" Col=\"" << c << "\" ValueType=\""
            << (isNumber(sheet.rows[r][c]) ? 40 : 60) << "\">" << xmlEscape(sheet.rows[r][c])
            << "</gnm:Cell>";
    xml << "</gnm:Cells></gnm:Sheet>";
  }
  xml << "</gnm:Sheets></gnm:Workbook>\n";
  const std::string source = path + ".gnumeric";
  test::writeFile(source, xml.str());
  ASSERT_EQ(test::runCommand("ssconvert " + shellQuoted(source) + " " + shellQuoted(path) +
                             " >/dev/null 2>&1"),
            0);
  std::remove(source.c_str());
}

// The rows an independent reader finds in a written file (see read_back.py).
Rows readBack(const std::string& kind, const std::string& path, const std::string& sheet = "") {
  std::string output;
  std::string command =
      "/usr/bin/python3 " + shellQuoted(READ_BACK_SCRIPT) + " " + kind + " " + shellQuoted(path);
  if (!sheet.empty()) command += " " + shellQuoted(sheet);
  EXPECT_EQ(test::runCommand(command, &output), 0) << command;
  return test::parseCsv(output);
}

// PIDs of this process's children (offices and helpers left behind would be among them).
std::vector<std::string> children() {
  std::vector<std::string> pids;
  if (DIR* dir = ::opendir("/proc/self/task")) {
    while (dirent* entry = ::readdir(dir)) {
      if (entry->d_name[0] == '.') continue;
      std::ifstream in(std::string("/proc/self/task/") + entry->d_name + "/children");
      for (std::string pid; in >> pid;) pids.push_back(pid);
    }
    ::closedir(dir);
  }
  return pids;
}

std::string commandLineOf(const std::string& pid) {
  std::string text = test::readFile("/proc/" + pid + "/cmdline");
  for (char& c : text)
    if (c == '\0') c = ' ';
  return text;
}

class CalcTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (::access("/usr/lib/libreoffice/program/soffice.bin", X_OK) != 0)
      GTEST_SKIP() << "LibreOffice is not installed";
    // Orphans of this process's descendants are reparented here, not to init.
    ::prctl(PR_SET_CHILD_SUBREAPER, 1);
    ctx_.programFolder = test::binaryDir() + "/bin/";
    ctx_.database = &database_;
    ctx_.messages = &messages_;
    ctx_.automationHelper = CALC_HELPER;
    out_ = tmp_.file("out");
    ::mkdir(out_.c_str(), 0755);
    ::mkdir(tmp_.file("src").c_str(), 0755);
  }
  void TearDown() override { expectNoProcessLeft(); }

  // Every descendant is gone: reaps what was reparented here and fails on what still runs.
  static void expectNoProcessLeft() {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(15);
    std::vector<std::string> left;
    for (;;) {
      while (::waitpid(-1, nullptr, WNOHANG) > 0) {
      }
      left = children();
      if (left.empty() || std::chrono::steady_clock::now() >= deadline) break;
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    for (const std::string& pid : left) {
      ADD_FAILURE() << "process left behind: " << pid << " " << commandLineOf(pid);
      ::kill(std::stoi(pid), SIGKILL);
    }
    while (::waitpid(-1, nullptr, WNOHANG) > 0) {
    }
  }

  std::string makeBook(const std::string& name = "Book.xls") {
    std::string path = tmp_.file("src/" + name);
    makeWorkbook(path);
    return path;
  }

  TempDir tmp_;
  std::string out_;
  Database database_;
  RecordingMessages messages_;
  ConversionContext ctx_;
};

// Descendants of this process whose command line holds `text`.
std::vector<pid_t> descendantsRunning(const std::string& text) {
  std::vector<pid_t> found;
  std::vector<std::string> queue = {std::to_string(::getpid())};
  while (!queue.empty()) {
    const std::string pid = queue.back();
    queue.pop_back();
    if (DIR* dir = ::opendir(("/proc/" + pid + "/task").c_str())) {
      while (dirent* entry = ::readdir(dir)) {
        if (entry->d_name[0] == '.') continue;
        std::ifstream in("/proc/" + pid + "/task/" + entry->d_name + "/children");
        for (std::string child; in >> child;) {
          queue.push_back(child);
          if (commandLineOf(child).find(text) != std::string::npos)
            found.push_back(static_cast<pid_t>(std::stoi(child)));
        }
      }
      ::closedir(dir);
    }
  }
  return found;
}

// Runs the installed-layout tabulor of the build with `arguments` (already quoted for the
// shell); returns its exit status and fills `errors` with its standard error.
int runTabulor(const std::string& arguments, std::string* errors, const std::string& folder = "") {
  const std::string errorFile = std::filesystem::temp_directory_path() /
                                ("tabulor-test-stderr-" + std::to_string(::getpid()));
  std::string command = shellQuoted(test::binaryDir() + "/bin/tabulor") + " " + arguments + " 2>" +
                        shellQuoted(errorFile);
  if (!folder.empty()) command = "cd " + shellQuoted(folder) + " && " + command;
  const int status = test::runCommand(command);
  if (errors) *errors = test::readFile(errorFile);
  std::remove(errorFile.c_str());
  return status;
}

struct CodeCase {
  TargetFormat format;
  const char* ext;
  const char* reader;
};

void PrintTo(const CodeCase& c, std::ostream* os) {
  *os << c.ext;
}

class CalcCodeTest : public CalcTest, public ::testing::WithParamInterface<CodeCase> {};

TEST_P(CalcCodeTest, ThreeSheetWorkbookFromRelativeOddPathsReadsBackUnchanged) {
  const CodeCase& c = GetParam();
  // Relative paths whose folders hold blanks, "#", "%" and non-ASCII letters: every path
  // the office sees is made absolute and encoded.
  const std::string srcFolder = "src/in #1 %41 Zoë", outFolder = "out/to #2 %20 Ä";
  ::mkdir(tmp_.file(srcFolder).c_str(), 0755);
  ::mkdir(tmp_.file(outFolder).c_str(), 0755);
  makeWorkbook(tmp_.file(srcFolder + "/Book #1.xls"));
  if (HasFailure()) return;
  const std::string out = tmp_.file(outFolder);
  // An older output of the same name is replaced without a question.
  const std::string first = out + "/Book #1_Jan." + c.ext;
  if (c.format != FormatXls) test::writeFile(first, "stale\n");

  const std::string cwd = std::filesystem::current_path();
  std::filesystem::current_path(tmp_.path());
  const int result =
      ConvertWithSpreadsheetApp(ctx_, srcFolder + "/Book #1.xls", outFolder, c.format);
  std::filesystem::current_path(cwd);
  ASSERT_EQ(result, 1);
  EXPECT_TRUE(messages_.shown.empty()) << messages_.shown[0].second;

  if (c.format == FormatXls) {
    EXPECT_EQ(test::listFolder(out), std::vector<std::string>{"Book #1.xls"});
    Rows names = readBack("xls", out + "/Book #1.xls");
    ASSERT_EQ(names.size(), bookSheets().size());
    for (size_t i = 0; i < names.size(); ++i) {
      EXPECT_EQ(names[i][0], bookSheets()[i].name);
      EXPECT_EQ(readBack("xls", out + "/Book #1.xls", names[i][0]), bookSheets()[i].rows);
    }
    return;
  }
  std::vector<std::string> expectedFiles;
  for (const Sheet& sheet : bookSheets())
    expectedFiles.push_back("Book #1_" + sheet.name + "." + c.ext);
  std::sort(expectedFiles.begin(), expectedFiles.end());
  EXPECT_EQ(test::listFolder(out), expectedFiles);  // nothing else, no staging folder left
  for (const Sheet& sheet : bookSheets()) {
    SCOPED_TRACE(sheet.name);
    Rows rows = readBack(c.reader, out + "/Book #1_" + sheet.name + "." + c.ext);
    if (c.format == FormatHtml) {
      ASSERT_FALSE(rows.empty());
      EXPECT_EQ(rows[0], std::vector<std::string>{"1"}) << "one table per sheet";
      rows.erase(rows.begin());
    }
    EXPECT_EQ(rows, sheet.rows);
  }
}

INSTANTIATE_TEST_SUITE_P(Codes, CalcCodeTest,
                         ::testing::Values(CodeCase{FormatCsv, "csv", "csv"},
                                           CodeCase{FormatText, "txt", "tsv"},
                                           CodeCase{FormatHtml, "htm", "html"},
                                           CodeCase{FormatXls, "xls", "xls"}),
                         [](const auto& info) { return std::string(info.param.ext); });

class CalcFixtureTest : public CalcTest, public ::testing::WithParamInterface<CodeCase> {};

// Every shared workbook through one office, compared by compare_fixtures.py with the values
// the files hold: the stored results of formulas (text with line breaks, errors, results of
// names the office cannot resolve), error constants, booleans, and dates of the 1904 system.
TEST_P(CalcFixtureTest, EveryWorkbookReadsBackWithTheValuesItHolds) {
  TABULOR_REQUIRE_FIXTURES();
  const CodeCase& c = GetParam();
  OfficeSession office(ctx_);
  ctx_.office = &office;
  const std::string xls = test::fixturesDir() + "/xls/";
  for (const std::string& name : test::listFolder(xls)) {
    SCOPED_TRACE(name);
    EXPECT_EQ(ConvertWithSpreadsheetApp(ctx_, xls + name, out_, c.format), 1)
        << "declined to the engine";
  }
  EXPECT_TRUE(messages_.shown.empty()) << messages_.shown[0].second;
  EXPECT_EQ(office.starts(), 1);
  office.end();
  std::string differences;
  EXPECT_EQ(
      test::runCommand("/usr/bin/python3 " + shellQuoted(COMPARE_FIXTURES_SCRIPT) + " " + c.reader +
                           " " + shellQuoted(out_) + " " + shellQuoted(test::fixturesDir()),
                       &differences),
      0);
  EXPECT_EQ(differences, "");
}

INSTANTIATE_TEST_SUITE_P(Fixtures, CalcFixtureTest,
                         ::testing::Values(CodeCase{FormatCsv, "csv", "csv"},
                                           CodeCase{FormatText, "txt", "tsv"},
                                           CodeCase{FormatHtml, "htm", "html"},
                                           CodeCase{FormatXls, "xls", "xls"}),
                         [](const auto& info) { return std::string(info.param.ext); });

TEST_F(CalcTest, CorruptWorkbookShowsTheDispatchErrorOnceAndTheRunGoesOn) {
  const std::string good = makeBook("b_good.xls");
  test::writeFile(tmp_.file("src/a_bad.xls"), std::string(4096, 'j'));
  std::string errors;
  EXPECT_EQ(
      runTabulor(shellQuoted(tmp_.file("src") + "/*.xls") + " csv " + shellQuoted(out_), &errors),
      1);  // an automation error was reported
  const std::string prefix =
      "COleDispatchException: COleDispatchException. SCODE: 00040b08, Description: \"";
  EXPECT_EQ(errors.rfind(prefix, 0), 0u) << errors;
  EXPECT_EQ(std::count(errors.begin(), errors.end(), '\n'), 1) << errors;
  for (const Sheet& sheet : bookSheets())
    EXPECT_TRUE(test::fileExists(out_ + "/b_good_" + sheet.name + ".csv")) << sheet.name;
}

TEST_F(CalcTest, OutputThatWouldReplaceItsOwnSourceIsRefusedBeforeAnythingIsWritten) {
  TABULOR_REQUIRE_FIXTURES();
  const std::string folder = tmp_.file("src");
  std::filesystem::copy_file(test::fixturesDir() + "/xls/crlf.xls", folder + "/crlf.xls");
  const std::string before = test::readFile(folder + "/crlf.xls");
  std::string errors;
  EXPECT_EQ(runTabulor(shellQuoted(folder + "/crlf.xls") + " xls " + shellQuoted(folder), &errors),
            1);
  EXPECT_EQ(errors, "Tabulor: " + folder + "/crlf.xls was skipped: its output " + folder +
                        "/crlf.xls is the source file itself\n");
  EXPECT_EQ(test::readFile(folder + "/crlf.xls"), before);
  EXPECT_EQ(test::listFolder(folder), std::vector<std::string>{"crlf.xls"});
}

TEST_F(CalcTest, DamagedWorkbookTheOfficeMisreadsIsLeftToTheEngineWhichReportsIt) {
  TABULOR_REQUIRE_FIXTURES();
  // 4,096 bytes of the workbook globals zeroed: the office makes one empty sheet of it.
  std::string bytes = test::readFile(test::fixturesDir() + "/xls/types.xls");
  ASSERT_GT(bytes.size(), 12288u);
  std::fill(bytes.begin() + 8192, bytes.begin() + 12288, '\0');
  test::writeFile(tmp_.file("src/types.xls"), bytes);
  std::string errors;
  EXPECT_EQ(runTabulor("src/types.xls csv out", &errors, tmp_.path()), 1);
  EXPECT_EQ(errors.rfind("Tabulor: src/types.xls was skipped: ", 0), 0u) << errors;
  EXPECT_NE(errors.find("damaged"), std::string::npos) << errors;
  EXPECT_TRUE(test::listFolder(out_).empty());
  EXPECT_TRUE(messages_.shown.empty());
}

TEST_F(CalcTest, NoOfficeOptionSendsWorkbooksToTheEngine) {
  const std::string book = makeBook();
  std::string errors;
  // The engine ends its lines with CR LF, the office with LF.
  EXPECT_EQ(runTabulor("--no-office " + shellQuoted(book) + " csv " + shellQuoted(out_), &errors),
            0)
      << errors;
  EXPECT_EQ(test::readFile(out_ + "/Book_Jan.csv").find("\r\n") != std::string::npos, true);
  EXPECT_EQ(runTabulor(shellQuoted(book) + " csv " + shellQuoted(out_), &errors), 0) << errors;
  EXPECT_EQ(test::readFile(out_ + "/Book_Jan.csv").find('\r'), std::string::npos);
  std::string help;
  test::runCommand(shellQuoted(test::binaryDir() + "/bin/tabulor") + " --help", &help);
  EXPECT_NE(help.find("--no-office"), std::string::npos) << help;
}

// Kills the run's office when the second file starts, as a crash between two workbooks.
class KillsTheOffice : public test::RecordingListener {
 public:
  void fileStarted(size_t index, size_t, const std::string&) override {
    if (index != 1) return;
    for (pid_t pid : descendantsRunning("soffice.bin")) {
      ::kill(pid, SIGKILL);
      ++killed;
      // Until it has died (its parent, the helper, reaps it).
      for (int wait = 0; wait < 500; ++wait) {
        std::string stat;
        std::getline(std::ifstream("/proc/" + std::to_string(pid) + "/stat"), stat);
        const size_t close = stat.rfind(')');
        if (close == std::string::npos || stat.compare(close + 2, 1, "Z") == 0) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
      }
    }
  }
  int killed = 0;
};

TEST_F(CalcTest, OfficeThatEndedBetweenWorkbooksIsReplacedByAFreshOne) {
  std::vector<std::string> books;
  for (const char* name : {"a.xls", "b.xls", "c.xls"}) books.push_back(makeBook(name));
  KillsTheOffice listener;
  ctx_.listener = &listener;
  OfficeSession office(ctx_);
  ctx_.office = &office;
  RunSummary summary = runConversions(ctx_, books, out_, FormatCsv);
  EXPECT_EQ(listener.killed, 1);
  EXPECT_EQ(summary.converted, 3);
  EXPECT_EQ(office.starts(), 2);
  EXPECT_TRUE(messages_.shown.empty());
  for (const char* base : {"a", "b", "c"})
    EXPECT_EQ(readBack("csv", out_ + "/" + base + "_Jan.csv"), bookSheets()[0].rows) << base;
}

// A small disk: a tmpfs in a mount namespace of its own, which needs root (or the right to
// make user namespaces); the test is skipped where that is not allowed.
class CalcFullDiskTest : public CalcTest, public ::testing::WithParamInterface<CodeCase> {
 protected:
  // A workbook of 60,000 rows, far more than fits on the small disk in any target format;
  // written by the engine from CSV once per test program.
  static std::string bigWorkbook() {
    static TempDir folder;
    const std::string path = folder.file("big.xls");
    if (test::fileExists(path)) return path;
    std::string csv = "id,name,amount,when\n";
    for (int row = 1; row <= 60000; ++row)
      csv += std::to_string(row) + ",customer number " + std::to_string(row * 7) + "," +
             std::to_string(row) + ".25,2020-01-" + std::to_string(1 + row % 28) + "\n";
    test::writeFile(folder.file("big.csv"), csv);
    runTabulor(
        "--no-office " + shellQuoted(folder.file("big.csv")) + " xls " + shellQuoted(folder.path()),
        nullptr);
    return path;
  }
};

TEST_P(CalcFullDiskTest, WriteFailureNamesTheFileAndLeavesNothingUnderItsName) {
  const CodeCase& c = GetParam();
  if (test::runCommand("unshare -m sh -c 'mount -t tmpfs -o size=64k tabulor-probe " +
                       shellQuoted(out_) + "' >/dev/null 2>&1") != 0)
    GTEST_SKIP() << "cannot mount a small tmpfs in a private mount namespace here (needs root)";
  const std::string book = bigWorkbook();
  ASSERT_TRUE(test::fileExists(book));
  const std::string status = tmp_.file("status"), listing = tmp_.file("listing"),
                    errors = tmp_.file("errors");
  const std::string inner = "mount -t tmpfs -o size=1m tabulor-full " + shellQuoted(out_) + " && " +
                            shellQuoted(test::binaryDir() + "/bin/tabulor") + " " +
                            shellQuoted(book) + " " + c.ext + " " + shellQuoted(out_) + " 2>" +
                            shellQuoted(errors) + "; echo $? >" + shellQuoted(status) + "; ls -A " +
                            shellQuoted(out_) + " >" + shellQuoted(listing);
  ASSERT_EQ(test::runCommand("unshare -m sh -c " + shellQuoted(inner)), 0);
  EXPECT_EQ(test::readFile(status), "1\n");
  // The engine named the sheet after the CSV table it wrote, "big#csv".
  const std::string output =
      c.format == FormatXls ? out_ + "/big.xls" : out_ + "/big_big#csv." + c.ext;
  EXPECT_NE(test::readFile(errors).find("Cannot write '" + output + "': the disk is full."),
            std::string::npos)
      << test::readFile(errors);
  // Nothing under the real name, nothing temporary left behind.
  EXPECT_EQ(test::readFile(listing), "");
}

INSTANTIATE_TEST_SUITE_P(FullDisk, CalcFullDiskTest,
                         ::testing::Values(CodeCase{FormatCsv, "csv", "csv"},
                                           CodeCase{FormatText, "txt", "tsv"},
                                           CodeCase{FormatHtml, "htm", "html"},
                                           CodeCase{FormatXls, "xls", "xls"}),
                         [](const auto& info) { return std::string(info.param.ext); });

TEST_F(CalcTest, AbsentOfficeDeclinesWithoutAMessage) {
  ::setenv("TABULOR_LIBREOFFICE_PROGRAM", tmp_.path().c_str(), 1);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(ConvertWithSpreadsheetApp(ctx_, makeBook(), out_, FormatCsv), 0);
  ::unsetenv("TABULOR_LIBREOFFICE_PROGRAM");
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
  EXPECT_TRUE(messages_.shown.empty());
  EXPECT_TRUE(test::listFolder(out_).empty());
}

TEST_F(CalcTest, KilledTabulorTakesHelperAndOfficeAlong) {
  const std::string book = makeBook();
  const std::string tabulor = test::binaryDir() + "/bin/tabulor";
  pid_t pid = ::fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    int null = ::open("/dev/null", O_RDWR);
    ::dup2(null, 1);
    ::dup2(null, 2);
    ::execl(tabulor.c_str(), tabulor.c_str(), book.c_str(), "htm", out_.c_str(), nullptr);
    ::_exit(127);
  }
  // Wait for the office to appear among tabulor's descendants, then kill tabulor.
  bool officeSeen = false;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (!officeSeen && std::chrono::steady_clock::now() < deadline) {
    int status;
    if (::waitpid(pid, &status, WNOHANG) == pid) break;  // finished first: nothing to show
    officeSeen = !descendantsRunning("soffice.bin").empty();
    if (!officeSeen) std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  ASSERT_TRUE(officeSeen) << "the office never started";
  ::kill(pid, SIGKILL);
  ::waitpid(pid, nullptr, 0);
  // TearDown checks that helper and office are gone.
}

}  // namespace
}  // namespace tabulor
