// The spreadsheet-application path against the real LibreOffice Calc through
// tabulor-calc-helper: a three-sheet workbook made here and real workbooks from the shared
// fixtures, converted to every code the office writes and read back by independent readers
// (Python's csv, html.parser, dbfread, gnumeric's ssconvert). The test process is a child
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
#include <fstream>
#include <sstream>
#include <thread>

#include "convert/messages.h"
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
      // A text too long for a dBase character field goes to a memo (.dbt) file.
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

// Expected rows as dbfread gives them: field names upper-cased, numbers as %g.
Rows asDbase(const Rows& rows) {
  Rows out = rows;
  for (std::string& name : out[0])
    for (char& c : name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  for (size_t r = 1; r < out.size(); ++r)
    for (std::string& cell : out[r])
      if (isNumber(cell)) {
        char buf[64];
        std::snprintf(buf, sizeof buf, "%g", std::strtod(cell.c_str(), nullptr));
        cell = buf;
      }
  return out;
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

struct CodeCase {
  TargetFormat format;
  const char* ext;
  const char* reader;
};

void PrintTo(const CodeCase& c, std::ostream* os) {
  *os << c.ext;
}

class CalcCodeTest : public CalcTest, public ::testing::WithParamInterface<CodeCase> {};

TEST_P(CalcCodeTest, ThreeSheetWorkbookReadsBackUnchanged) {
  const CodeCase& c = GetParam();
  const std::string book = makeBook();
  if (HasFailure()) return;
  // An older output of the same name is replaced without a question.
  const std::string first = out_ + "/Book_Jan." + c.ext;
  if (c.format != FormatXls) test::writeFile(first, "stale\n");

  ASSERT_EQ(ConvertWithSpreadsheetApp(ctx_, book, out_, c.format), 1);
  EXPECT_TRUE(messages_.shown.empty()) << messages_.shown[0].second;

  if (c.format == FormatXls) {
    EXPECT_EQ(test::listFolder(out_), std::vector<std::string>{"Book.xls"});
    Rows names = readBack("xls", out_ + "/Book.xls");
    ASSERT_EQ(names.size(), bookSheets().size());
    for (size_t i = 0; i < names.size(); ++i) {
      EXPECT_EQ(names[i][0], bookSheets()[i].name);
      EXPECT_EQ(readBack("xls", out_ + "/Book.xls", names[i][0]), bookSheets()[i].rows);
    }
    return;
  }
  std::vector<std::string> expectedFiles;
  for (const Sheet& sheet : bookSheets())
    expectedFiles.push_back("Book_" + sheet.name + "." + c.ext);
  if (c.format == FormatDbase3) expectedFiles.push_back("Book_Feb.dbt");  // the memo file
  std::sort(expectedFiles.begin(), expectedFiles.end());
  EXPECT_EQ(test::listFolder(out_), expectedFiles);  // nothing else, no staging folder left
  for (const Sheet& sheet : bookSheets()) {
    SCOPED_TRACE(sheet.name);
    const std::string path = out_ + "/Book_" + sheet.name + "." + c.ext;
    Rows rows = readBack(c.reader, path);
    if (c.format == FormatHtml) {
      ASSERT_FALSE(rows.empty());
      EXPECT_EQ(rows[0], std::vector<std::string>{"1"}) << "one table per sheet";
      rows.erase(rows.begin());
    }
    EXPECT_EQ(rows, c.format == FormatDbase3 ? asDbase(sheet.rows) : sheet.rows);
  }
  if (c.format == FormatDbase3) {
    // The code page is declared (Windows-1252), so readers need not guess it.
    std::string bytes = test::readFile(out_ + "/Book_Jan.dbf");
    EXPECT_EQ(bytes[0], '\x03');
    EXPECT_EQ(static_cast<unsigned char>(bytes[29]), 0x57);
  }
}

INSTANTIATE_TEST_SUITE_P(Codes, CalcCodeTest,
                         ::testing::Values(CodeCase{FormatCsv, "csv", "csv"},
                                           CodeCase{FormatText, "txt", "tsv"},
                                           CodeCase{FormatHtml, "htm", "html"},
                                           CodeCase{FormatDbase3, "dbf", "dbf"},
                                           CodeCase{FormatXls, "xls", "xls"}),
                         [](const auto& info) { return std::string(info.param.ext); });

// Without trailing empty cells and rows: gnumeric writes the formatted area, LibreOffice the
// area that holds values.
Rows trimmed(Rows rows) {
  for (auto& row : rows)
    while (!row.empty() && row.back().empty()) row.pop_back();
  while (!rows.empty() && rows.back().empty()) rows.pop_back();
  return rows;
}

// Rows of an expected CSV of the shared fixtures.
Rows expectedRows(const std::string& name) {
  return trimmed(test::parseCsv(test::readFile(test::fixturesDir() + "/expected/" + name)));
}

// Compares what the office wrote "as shown" with a fixture's expected sheet. Text and plain
// numbers are what the fixture's display rendering holds; formatted cells differ in spacing
// and minus signs between the two programs, so cells whose raw and displayed values differ
// are left out. `expected` is "<workbook>.<sheet>.csv".
void expectShownCells(const Rows& written, const std::string& expected) {
  Rows raw = expectedRows(expected), shown = expectedRows("display/" + expected);
  Rows got = trimmed(written);
  ASSERT_EQ(got.size(), shown.size()) << expected;
  int compared = 0;
  for (size_t r = 0; r < shown.size(); ++r)
    for (size_t c = 0; c < shown[r].size(); ++c)
      if (r < raw.size() && c < raw[r].size() && raw[r][c] == shown[r][c] && !shown[r][c].empty()) {
        ASSERT_LT(c, got[r].size()) << expected << " row " << r;
        EXPECT_EQ(got[r][c], shown[r][c]) << expected << " row " << r << " column " << c;
        ++compared;
      }
  EXPECT_GT(compared, 0) << expected;
}

TEST_F(CalcTest, RealWorkbooksKeepTheirSheetNamesAndValues) {
  TABULOR_REQUIRE_FIXTURES();
  const std::string xls = test::fixturesDir() + "/xls/";
  const std::vector<std::string> before = test::listFolder(xls);

  // Four sheets with umlauts in their names, to CSV.
  ASSERT_EQ(ConvertWithSpreadsheetApp(ctx_, xls + "Formate.xls", out_, FormatCsv), 1);
  for (const char* sheet : {"Blätt1", "ÖÄÜ", "Blätt3", "Formate"})
    expectShownCells(readBack("csv", out_ + "/Formate_" + sheet + ".csv"),
                     std::string("Formate.xls.") + sheet + ".csv");

  // Non-ASCII sheet names through the whole-workbook save, read back by gnumeric.
  ASSERT_EQ(ConvertWithSpreadsheetApp(ctx_, xls + "utf8-sheet-names.xls", out_, FormatXls), 1);
  Rows names = readBack("xls", out_ + "/utf8-sheet-names.xls");
  ASSERT_EQ(names.size(), 2u);
  EXPECT_EQ(names[0][0], "µ");
  EXPECT_EQ(names[1][0], "∂");
  EXPECT_EQ(trimmed(readBack("xls", out_ + "/utf8-sheet-names.xls", "∂")),
            expectedRows("utf8-sheet-names.xls.∂.csv"));

  EXPECT_TRUE(messages_.shown.empty());
  // Opened read-only: no lock file or anything else appeared beside the workbooks.
  EXPECT_EQ(test::listFolder(xls), before);
}

TEST_F(CalcTest, RealWorkbooksToTextAndWebPageAndAnExportError) {
  TABULOR_REQUIRE_FIXTURES();
  const std::string xls = test::fixturesDir() + "/xls/";

  // Japanese sheet names, tab-separated.
  ASSERT_EQ(ConvertWithSpreadsheetApp(ctx_, xls + "defined_names_unicode.xls", out_, FormatText),
            1);
  for (const char* sheet :
       {"NoContainsJapanese", "sheet日本語", "sheet日本語sheet", "日本語sheet", "日本語のみ"})
    expectShownCells(readBack("tsv", out_ + "/defined_names_unicode_" + sheet + ".txt"),
                     std::string("defined_names_unicode.xls.") + sheet + ".csv");

  // An apostrophe in a sheet name; one page per sheet, empty sheets included.
  ASSERT_EQ(ConvertWithSpreadsheetApp(ctx_, xls + "namesdemo.xls", out_, FormatHtml), 1);
  Rows page = readBack("html", out_ + "/namesdemo_Seamus O'Reilly.htm");
  ASSERT_FALSE(page.empty());
  EXPECT_EQ(page[0], std::vector<std::string>{"1"});
  // A formula using a defined name keeps the workbook's result in the one-sheet copy.
  page = readBack("html", out_ + "/namesdemo_Sheet3.htm");
  ASSERT_GT(page.size(), 6u);
  EXPECT_EQ(page[6][0], expectedRows("namesdemo.xls.Sheet3.csv")[5][0]);  // 4321
  page = readBack("html", out_ + "/namesdemo_Sheet2.htm");  // empty: a page with no table
  ASSERT_FALSE(page.empty());
  EXPECT_EQ(page[0], std::vector<std::string>{"0"});
  EXPECT_TRUE(messages_.shown.empty());

  // A sheet the office's dBase export refuses: its error is shown once with the office's
  // code, nothing is written for the sheet, and the call still counts as done.
  ASSERT_EQ(ConvertWithSpreadsheetApp(ctx_, xls + "test2.xls", out_, FormatDbase3), 1);
  ASSERT_EQ(messages_.shown.size(), 1u);
  EXPECT_EQ(messages_.shown[0].first, "COleDispatchException");
  EXPECT_EQ(messages_.shown[0].second.rfind("COleDispatchException. SCODE: 00040c03, "
                                            "Description: \"Cannot write '" +
                                                out_ + "/test2_Sheet1.dbf': ",
                                            0),
            0u)
      << messages_.shown[0].second;
  for (const std::string& name : test::listFolder(out_)) {
    EXPECT_EQ(name.rfind("test2", 0), std::string::npos) << name;
    EXPECT_EQ(name.rfind(".tabulor-save", 0), std::string::npos) << "staging left: " << name;
  }
}

TEST_F(CalcTest, CorruptWorkbookShowsTheDispatchErrorOnceAndTheRunGoesOn) {
  const std::string good = makeBook("b_good.xls");
  test::writeFile(tmp_.file("src/a_bad.xls"), std::string(4096, 'j'));
  const std::string errors = tmp_.file("stderr.txt");
  int status = test::runCommand(shellQuoted(test::binaryDir() + "/bin/tabulor") + " " +
                                shellQuoted(tmp_.file("src") + "/*.xls") + " csv " +
                                shellQuoted(out_) + " 2>" + shellQuoted(errors));
  EXPECT_EQ(status, 1);  // an automation error was reported
  const std::string text = test::readFile(errors);
  const std::string prefix =
      "COleDispatchException: COleDispatchException. SCODE: 00040b08, Description: \"";
  EXPECT_EQ(text.rfind(prefix, 0), 0u) << text;
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 1) << text;
  for (const Sheet& sheet : bookSheets())
    EXPECT_TRUE(test::fileExists(out_ + "/b_good_" + sheet.name + ".csv")) << sheet.name;
}

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
    std::string output;
    test::runCommand("pgrep -f 'soffice.bin.*tabulor-calc-' -P $(pgrep -P " + std::to_string(pid) +
                         " | tr '\\n' ',' | sed 's/,$//')",
                     &output);
    officeSeen = !output.empty();
    if (!officeSeen) std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  ASSERT_TRUE(officeSeen) << "the office never started";
  ::kill(pid, SIGKILL);
  ::waitpid(pid, nullptr, 0);
  // TearDown checks that helper and office are gone.
}

}  // namespace
}  // namespace tabulor
