// The spreadsheet-application path against a fake automation helper that records every
// request: call order, open names, output names and codes, declines, the three kinds of
// failure with their message texts, the release of the helper on every path, and the
// driver's choice between the application and the engine.
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <fstream>
#include <sstream>

#include "app/conversion_driver.h"
#include "convert/automation_protocol.h"
#include "convert/messages.h"
#include "convert/spreadsheet_app_conversion.h"
#include "engine/database.h"
#include "tests/support/test_support.h"

namespace tabulor {
namespace {

using test::TempDir;

class FakeHelperTest : public ::testing::Test {
 protected:
  void SetUp() override {
    log_ = tmp_.file("calls.log");
    ::setenv("FAKE_CALC_LOG", log_.c_str(), 1);
    ::setenv("FAKE_CALC_SHEETS", "Jan|Feb", 1);
    ::unsetenv("FAKE_CALC_FAIL");
    ::mkdir(tmp_.file("src").c_str(), 0755);
    ::mkdir(tmp_.file("out").c_str(), 0755);
    source_ = tmp_.file("src/Book.xls");
    test::writeFile(source_, "not read by the fake");
    out_ = tmp_.file("out");
    ctx_.programFolder = test::binaryDir() + "/bin/";
    ctx_.database = &database_;
    ctx_.messages = &messages_;
    ctx_.automationHelper = FAKE_CALC_HELPER;
  }
  void TearDown() override {
    ::unsetenv("FAKE_CALC_LOG");
    ::unsetenv("FAKE_CALC_SHEETS");
    ::unsetenv("FAKE_CALC_FAIL");
  }

  int convert(TargetFormat format) {
    return ConvertWithSpreadsheetApp(ctx_, source_, out_, format);
  }

  // The requests the fake saw, without its "pid" and "resolved" notes.
  std::vector<std::string> calls() const {
    std::vector<std::string> lines;
    std::ifstream in(log_);
    for (std::string line; std::getline(in, line);)
      if (line.rfind("pid ", 0) != 0 && line.rfind("resolved ", 0) != 0) lines.push_back(line);
    return lines;
  }
  std::string note(const std::string& prefix) const {
    std::ifstream in(log_);
    for (std::string line; std::getline(in, line);)
      if (line.rfind(prefix, 0) == 0) return line.substr(prefix.size());
    return {};
  }
  // The fake was started and is gone now (reaped, not left running).
  void expectHelperGone() const {
    std::string pid = note("pid ");
    ASSERT_FALSE(pid.empty()) << "the fake helper never started";
    EXPECT_EQ(::kill(std::stoi(pid), 0), -1);
    EXPECT_EQ(errno, ESRCH);
  }

  TempDir tmp_;
  std::string log_, source_, out_;
  Database database_;
  RecordingMessages messages_;
  ConversionContext ctx_;
};

std::string line(const std::vector<std::string>& fields) {
  return automation::encodeLine(fields);
}

TEST_F(FakeHelperTest, SavesEverySheetInCallOrderWithNameAndCode) {
  struct Case {
    TargetFormat format;
    const char* code;
    const char* ext;
  };
  for (const Case& c : {Case{FormatText, "3", "txt"}, Case{FormatHtml, "44", "htm"},
                        Case{FormatCsv, "6", "csv"}, Case{FormatDbase3, "8", "dbf"}}) {
    SCOPED_TRACE(c.ext);
    std::remove(log_.c_str());
    ASSERT_EQ(convert(c.format), 1);
    const std::string jan = out_ + "/Book_Jan." + c.ext, feb = out_ + "/Book_Feb." + c.ext;
    EXPECT_EQ(calls(),
              (std::vector<std::string>{line({"create", c.code}), line({"alerts", "off"}),
                                        line({"open", tmp_.file("src/Book"), ".xls"}), "count",
                                        line({"name", "1"}), line({"name", "2"}),
                                        line({"save", "1", c.code, jan}),
                                        line({"save", "2", c.code, feb}), "close", "release"}));
    EXPECT_TRUE(test::fileExists(jan));
    EXPECT_TRUE(test::fileExists(feb));
    expectHelperGone();
  }
  EXPECT_TRUE(messages_.shown.empty());
}

TEST_F(FakeHelperTest, OneSheetWorkbookStillNamesTheSheetAndExistingFilesAreReplaced) {
  ::setenv("FAKE_CALC_SHEETS", "Jan", 1);
  test::writeFile(out_ + "/Book_Jan.csv", "old contents\n");
  ASSERT_EQ(convert(FormatCsv), 1);
  EXPECT_EQ(test::readFile(out_ + "/Book_Jan.csv"), "fake sheet 1 code 6\n");
  EXPECT_FALSE(test::fileExists(out_ + "/Book.csv"));
}

TEST_F(FakeHelperTest, WorkbookTargetSavesOnceFromTheFirstSheet) {
  ::setenv("FAKE_CALC_SHEETS", "Jan|Feb|Mar", 1);
  ASSERT_EQ(convert(FormatXls), 1);
  EXPECT_EQ(calls(), (std::vector<std::string>{
                         line({"create", "39"}), line({"alerts", "off"}),
                         line({"open", tmp_.file("src/Book"), ".xls"}), "count",
                         line({"save", "1", "39", out_ + "/Book.xls"}), "close", "release"}));
  EXPECT_TRUE(messages_.shown.empty());
}

TEST_F(FakeHelperTest, DeclinesWithoutStartingTheHelper) {
  // The Jet target, the formats the application cannot write as themselves (dBase IV,
  // dBASE 5.0, Lotus WK1), and paths shorter than four characters.
  for (TargetFormat format : {FormatMdb, FormatDbase4, FormatDbase5, FormatWk1}) {
    SCOPED_TRACE(format);
    EXPECT_EQ(convert(format), 0);
  }
  EXPECT_EQ(ConvertWithSpreadsheetApp(ctx_, "a.x", out_, FormatCsv), 0);
  EXPECT_FALSE(test::fileExists(log_));
  EXPECT_TRUE(messages_.shown.empty());
}

TEST_F(FakeHelperTest, AbsentApplicationDeclinesSilently) {
  ::setenv("FAKE_CALC_FAIL", "create=absent", 1);
  EXPECT_EQ(convert(FormatCsv), 0);
  expectHelperGone();
  EXPECT_EQ(calls(), (std::vector<std::string>{line({"create", "6"}), "release"}));

  // A helper that dies while starting the application, and no helper at all.
  std::remove(log_.c_str());
  ::setenv("FAKE_CALC_FAIL", "create=die", 1);
  EXPECT_EQ(convert(FormatCsv), 0);
  expectHelperGone();
  ctx_.automationHelper = tmp_.file("no-such-helper");
  EXPECT_EQ(convert(FormatCsv), 0);
  ctx_.automationHelper.clear();
  ctx_.programFolder = tmp_.file("empty/");
  EXPECT_EQ(convert(FormatCsv), 0);
  EXPECT_TRUE(messages_.shown.empty());
}

TEST_F(FakeHelperTest, OpenNameDropsTheEndingInAnyCaseAndResolvesBack) {
  EXPECT_EQ(openNameOf("/d/Book.xls"), "/d/Book");
  EXPECT_EQ(openNameOf("/d/Book.XLS"), "/d/Book");
  EXPECT_EQ(openNameOf("/d/a.xlsx"), "");

  source_ = tmp_.file("src/Sales Q1.XlS");
  test::writeFile(source_, "x");
  ASSERT_EQ(convert(FormatCsv), 1);
  EXPECT_EQ(calls()[2], line({"open", tmp_.file("src/Sales Q1"), ".XlS"}));
  EXPECT_EQ(note("resolved "), source_);
  EXPECT_TRUE(test::fileExists(out_ + "/Sales Q1_Jan.csv"));
  EXPECT_TRUE(messages_.shown.empty());
}

TEST(OpenNameResolution, FindsTheWorkbookOrSaysWhyNot) {
  TempDir dir;
  test::writeFile(dir.file("one.XLS"), "x");
  test::writeFile(dir.file("two.xls"), "x");
  test::writeFile(dir.file("two.Xls"), "x");
  std::string why;
  // The ending as given wins; otherwise the one name with ".xls" in any case.
  EXPECT_EQ(automation::resolveOpenName(dir.file("one"), ".XLS", &why), dir.file("one.XLS"));
  EXPECT_EQ(automation::resolveOpenName(dir.file("one"), "", &why), dir.file("one.XLS"));
  EXPECT_EQ(automation::resolveOpenName(dir.file("two"), ".Xls", &why), dir.file("two.Xls"));
  // Two candidates and no ending to choose by: refused, never a guess.
  EXPECT_EQ(automation::resolveOpenName(dir.file("two"), "", &why), "");
  EXPECT_NE(why.find("Several workbooks"), std::string::npos) << why;
  EXPECT_EQ(automation::resolveOpenName(dir.file("three"), ".xls", &why), "");
  EXPECT_NE(why.find("Cannot find the workbook"), std::string::npos) << why;
}

TEST_F(FakeHelperTest, FailuresShowTheirMessageOnceAndReportTheFileDone) {
  struct Case {
    const char* fail;
    const char* caption;
    const char* text;
    bool firstSheetKept;
    bool releaseSent;  // false when the helper is gone and is reaped instead
  };
  const Case cases[] = {
      {"open=error:dispatch:40b08:Unknown or unsupported Excel file format",
       "COleDispatchException",
       "COleDispatchException. SCODE: 00040b08, Description: \"Unknown or unsupported Excel "
       "file format\".",
       false, true},
      {"save:2=error:dispatch:507:Access denied", "COleDispatchException",
       "COleDispatchException. SCODE: 00000507, Description: \"Access denied\".", true, true},
      {"save:2=die", "COleException", "COleException. SCODE: 800706be.", true, false},
      {"count=error:bridge:800706be:Binary URP bridge disposed during call", "COleException",
       "COleException. SCODE: 800706be.", false, true},
      {"name:1=hang", "COleException", "COleException. SCODE: 800705b4.", false, false},
      // Every sheet is named before the first is saved.
      {"name:2=garble", "Catch-All", "General Exception caught.", false, false},
      {"save:1=error:general:0:std::bad_alloc", "Catch-All", "General Exception caught.", false,
       true},
  };
  ctx_.automationCallTimeoutSeconds = 1;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.fail);
    std::remove(log_.c_str());
    std::remove((out_ + "/Book_Jan.csv").c_str());
    messages_.shown.clear();
    ::setenv("FAKE_CALC_FAIL", c.fail, 1);
    EXPECT_EQ(convert(FormatCsv), 1);
    ASSERT_EQ(messages_.shown.size(), 1u);
    EXPECT_EQ(messages_.shown[0].first, c.caption);
    EXPECT_EQ(messages_.shown[0].second, c.text);
    EXPECT_EQ(test::fileExists(out_ + "/Book_Jan.csv"), c.firstSheetKept);
    EXPECT_FALSE(test::fileExists(out_ + "/Book_Feb.csv"));
    std::vector<std::string> seen = calls();
    // The workbook is not closed after a failure; the application is always released.
    EXPECT_EQ(std::count(seen.begin(), seen.end(), "close"), 0);
    EXPECT_EQ(!seen.empty() && seen.back() == "release", c.releaseSent);
    expectHelperGone();
  }
}

TEST_F(FakeHelperTest, LongDescriptionIsCutToTheMessageBuffer) {
  std::string description;
  for (int i = 0; i < 1500; ++i) description += "\xC3\xA9";  // é, two bytes each
  ::setenv("FAKE_CALC_FAIL", ("open=error:dispatch:507:" + description).c_str(), 1);
  ASSERT_EQ(convert(FormatCsv), 1);
  ASSERT_EQ(messages_.shown.size(), 1u);
  const std::string& text = messages_.shown[0].second;
  EXPECT_LE(text.size(), 1023u);
  EXPECT_GE(text.size(), 1021u);
  EXPECT_EQ(text.rfind("COleDispatchException. SCODE: 00000507, Description: \"\xC3\xA9", 0), 0u);
  EXPECT_EQ(text.substr(text.size() - 4), "\xC3\xA9\".");  // no split character
}

TEST_F(FakeHelperTest, DriverFallsBackToTheEngineOnlyWhenDeclined) {
  // The engine cannot read the fake's workbook and reports it skipped: that report tells
  // whether the engine was tried.
  test::RecordingListener listener;
  ctx_.listener = &listener;
  convertOneFile(ctx_, source_, out_, FormatDbase4);
  EXPECT_EQ(listener.skipped.size(), 1u) << "declined file not handed to the engine";

  ::setenv("FAKE_CALC_FAIL", "create=absent", 1);
  convertOneFile(ctx_, source_, out_, FormatCsv);
  EXPECT_EQ(listener.skipped.size(), 2u) << "absent application: engine not tried";
  EXPECT_TRUE(messages_.shown.empty());

  ::setenv("FAKE_CALC_FAIL", "open=error:dispatch:40b08:bad file", 1);
  convertOneFile(ctx_, source_, out_, FormatCsv);
  EXPECT_EQ(listener.skipped.size(), 2u) << "engine tried after an application error";
  EXPECT_EQ(listener.failed.size(), 1u);
  EXPECT_EQ(messages_.shown.size(), 1u);
}

}  // namespace
}  // namespace tabulor
