// The spreadsheet-application path against a fake automation helper that records every
// request: call order, open names, output names and codes, the stored values sent, declines,
// the three kinds of failure with their message texts, one helper for a whole run and a
// fresh one after a crash or a hang, staging, and the driver's choice between the
// application and the engine. Workbooks are written by the engine's own Excel writer, so
// that the engine's reading of them (sheet names, stored values) is real.
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "app/conversion_driver.h"
#include "convert/automation_protocol.h"
#include "convert/messages.h"
#include "convert/office_session.h"
#include "convert/spreadsheet_app_conversion.h"
#include "convert/workbook_facts.h"
#include "engine/database.h"
#include "engine/drivers/excel/workbook_writer.h"
#include "engine/staging.h"
#include "tests/support/test_support.h"

namespace tabulor {
namespace {

using test::TempDir;

// A workbook with the given sheets, each with a text field and a boolean field.
void writeWorkbook(const std::string& path, const std::vector<std::string>& sheets) {
  for (const std::string& sheet : sheets) {
    TableSchema schema;
    schema.fields.resize(2);
    schema.fields[0].name = "name";
    schema.fields[1].name = "paid";
    schema.fields[1].type = VT_BOOL;
    auto writer = excel::createSheetWriter(path, sheet, schema);
    writer->appendRow({Variant::text(sheet + " row"), Variant::boolean(true)});
    writer->finish();
  }
}

std::string line(const std::vector<std::string>& fields) {
  return automation::encodeLine(fields);
}

class FakeHelperTest : public ::testing::Test {
 protected:
  void SetUp() override {
    log_ = tmp_.file("calls.log");
    ::setenv("FAKE_CALC_LOG", log_.c_str(), 1);
    ::setenv("FAKE_CALC_SHEETS", "Jan|Feb", 1);
    for (const char* name : {"FAKE_CALC_FAIL", "FAKE_CALC_ONCE", "FAKE_CALC_MISSING"})
      ::unsetenv(name);
    ::mkdir(tmp_.file("src").c_str(), 0755);
    ::mkdir(tmp_.file("out").c_str(), 0755);
    source_ = tmp_.file("src/Book.xls");
    writeWorkbook(source_, {"Jan", "Feb"});
    out_ = tmp_.file("out");
    ctx_.programFolder = test::binaryDir() + "/bin/";
    ctx_.database = &database_;
    ctx_.messages = &messages_;
    ctx_.listener = &listener_;
    ctx_.automationHelper = FAKE_CALC_HELPER;
  }
  void TearDown() override {
    for (const char* name : {"FAKE_CALC_LOG", "FAKE_CALC_SHEETS", "FAKE_CALC_FAIL",
                             "FAKE_CALC_ONCE", "FAKE_CALC_MISSING"})
      ::unsetenv(name);
  }

  int convert(TargetFormat format) {
    return ConvertWithSpreadsheetApp(ctx_, source_, out_, format);
  }

  // The requests the fake saw, without its "pid" and "resolved" notes, with the staging
  // folder of a save's staged path written as "<staged>".
  std::vector<std::string> calls() const {
    std::vector<std::string> lines;
    std::ifstream in(log_);
    for (std::string text; std::getline(in, text);) {
      if (text.rfind("pid ", 0) == 0 || text.rfind("resolved ", 0) == 0) continue;
      std::vector<std::string> fields = automation::decodeLine(text);
      if (fields[0] == "save" && fields.size() > 3) {
        const std::string staged = fields[3];
        const size_t slash = staged.rfind('/');
        const std::string folder = staged.substr(0, slash);
        EXPECT_EQ(folder.rfind(out_ + "/" + std::string(StagingPrefix), 0), 0u) << staged;
        fields[3] = "<staged>" + staged.substr(slash);
        text = automation::encodeLine(fields);
      }
      lines.push_back(text);
    }
    return lines;
  }
  int count(const std::string& prefix) const {
    int n = 0;
    std::ifstream in(log_);
    for (std::string text; std::getline(in, text);) n += text.rfind(prefix, 0) == 0;
    return n;
  }
  std::string note(const std::string& prefix) const {
    std::ifstream in(log_);
    for (std::string text; std::getline(in, text);)
      if (text.rfind(prefix, 0) == 0) return text.substr(prefix.size());
    return {};
  }
  // The fake was started and is gone now (reaped, not left running).
  void expectHelperGone() const {
    std::string pid = note("pid ");
    ASSERT_FALSE(pid.empty()) << "the fake helper never started";
    EXPECT_EQ(::kill(std::stoi(pid), 0), -1);
    EXPECT_EQ(errno, ESRCH);
  }
  // Nothing temporary of ours is left in the output folder.
  void expectNoStagingLeft() const {
    for (const std::string& name : test::listFolder(out_))
      EXPECT_FALSE(isStagingName(name)) << "left in the output folder: " << name;
  }

  TempDir tmp_;
  std::string log_, source_, out_;
  Database database_;
  RecordingMessages messages_;
  test::RecordingListener listener_;
  ConversionContext ctx_;
};

TEST_F(FakeHelperTest, SavesEverySheetInCallOrderWithStoredValuesNameAndCode) {
  struct Case {
    TargetFormat format;
    const char* code;
    const char* ext;
  };
  for (const Case& c :
       {Case{FormatText, "3", "txt"}, Case{FormatHtml, "44", "htm"}, Case{FormatCsv, "6", "csv"}}) {
    SCOPED_TRACE(c.ext);
    std::remove(log_.c_str());
    ASSERT_EQ(convert(c.format), 1);
    const std::string jan = out_ + "/Book_Jan." + c.ext, feb = out_ + "/Book_Feb." + c.ext;
    // The boolean cells (row 1, column 1 of each sheet) go with their stored value.
    EXPECT_EQ(calls(),
              (std::vector<std::string>{
                  line({"create", c.code}), line({"alerts", "off"}),
                  line({"open", tmp_.file("src/Book"), ".xls"}), "count", line({"name", "1"}),
                  line({"name", "2"}), line({"values", "1", "1", "1", "b1"}),
                  line({"values", "2", "1", "1", "b1"}),
                  line({"save", "1", c.code, std::string("<staged>/Book_Jan.") + c.ext, jan}),
                  line({"save", "2", c.code, std::string("<staged>/Book_Feb.") + c.ext, feb}),
                  "close", "release"}));
    EXPECT_EQ(test::readFile(jan), "fake sheet 1 code " + std::string(c.code) + "\n");
    EXPECT_TRUE(test::fileExists(feb));
    expectHelperGone();
    expectNoStagingLeft();
  }
  EXPECT_TRUE(messages_.shown.empty());
}

TEST_F(FakeHelperTest, OneSheetWorkbookStillNamesTheSheetAndExistingFilesAreReplaced) {
  ::setenv("FAKE_CALC_SHEETS", "Jan", 1);
  writeWorkbook(source_ = tmp_.file("src/One.xls"), {"Jan"});
  test::writeFile(out_ + "/One_Jan.csv", "old contents\n");
  ASSERT_EQ(convert(FormatCsv), 1);
  EXPECT_EQ(test::readFile(out_ + "/One_Jan.csv"), "fake sheet 1 code 6\n");
  EXPECT_FALSE(test::fileExists(out_ + "/One.csv"));
}

TEST_F(FakeHelperTest, SheetsWhoseOutputNamesMeetGetDistinctNames) {
  // A 250-byte base name: both sheets' names are cut to the same 255-byte file name.
  const std::string base(250, 'b');
  ::setenv("FAKE_CALC_SHEETS", "Jan1|Jan2", 1);
  writeWorkbook(source_ = tmp_.file("src/" + base + ".xls"), {"Jan1", "Jan2"});
  ASSERT_EQ(convert(FormatCsv), 1);
  const std::string first = base + "_.csv", second = base.substr(0, 249) + "_2.csv";
  EXPECT_EQ(test::listFolder(out_), (std::vector<std::string>{second, first}));
  EXPECT_EQ(test::readFile(out_ + "/" + second), "fake sheet 2 code 6\n");
  ASSERT_EQ(listener_.notices.size(), 1u);
  EXPECT_EQ(listener_.notices[0].second, "the sheet \"Jan2\" was written as " + second +
                                             ": its own name gives the same output as an "
                                             "earlier sheet's");
}

TEST_F(FakeHelperTest, WorkbookTargetSavesOnceFromTheFirstSheet) {
  ::setenv("FAKE_CALC_SHEETS", "Jan|Feb|Mar", 1);
  writeWorkbook(source_ = tmp_.file("src/Three.xls"), {"Jan", "Feb", "Mar"});
  ASSERT_EQ(convert(FormatXls), 1);
  std::vector<std::string> seen = calls();
  ASSERT_GE(seen.size(), 3u);
  EXPECT_EQ(std::vector<std::string>(seen.end() - 3, seen.end()),
            (std::vector<std::string>{
                line({"save", "1", "39", "<staged>/Three.xls", out_ + "/Three.xls"}), "close",
                "release"}));
  EXPECT_TRUE(messages_.shown.empty());
}

TEST_F(FakeHelperTest, DeclinesWithoutStartingTheHelper) {
  // The Jet target, the formats the application cannot write with the workbook's values
  // (the dBase formats, Lotus WK1), paths shorter than four characters, and --no-office.
  for (TargetFormat format : {FormatMdb, FormatDbase3, FormatDbase4, FormatDbase5, FormatWk1}) {
    SCOPED_TRACE(format);
    EXPECT_EQ(convert(format), 0);
  }
  EXPECT_EQ(ConvertWithSpreadsheetApp(ctx_, "a.x", out_, FormatCsv), 0);
  ctx_.useOffice = false;
  EXPECT_EQ(convert(FormatCsv), 0);
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

TEST_F(FakeHelperTest, MissingOfficeIsAskedForOncePerRunAndItsLoaderErrorsStaySilent) {
  // A helper whose libraries are missing: the dynamic loader's complaint, exit status 127.
  const std::string starts = tmp_.file("starts.log");
  const std::string helper = tmp_.file("broken-helper");
  test::writeFile(helper, "#!/bin/sh\necho started >> '" + starts +
                              "'\necho 'tabulor-calc-helper: error while loading shared "
                              "libraries: libuno_cppu.so.3: cannot open shared object file' >&2\n"
                              "exit 127\n");
  ::chmod(helper.c_str(), 0755);
  ctx_.automationHelper = helper;
  std::vector<std::string> sources;
  for (const char* name : {"a.xls", "b.xls", "c.xls"}) {
    sources.push_back(tmp_.file(std::string("src/") + name));
    writeWorkbook(sources.back(), {"Jan"});
  }
  ::testing::internal::CaptureStderr();
  RunSummary summary = runConversions(ctx_, sources, out_, FormatCsv);
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
  EXPECT_EQ(test::readFile(starts), "started\n");
  // The engine converted all three (naming a one-table output after the source alone).
  EXPECT_EQ(summary.converted, 3);
  for (const char* name : {"a.csv", "b.csv", "c.csv"})
    EXPECT_TRUE(test::fileExists(out_ + "/" + name)) << name;
  EXPECT_TRUE(messages_.shown.empty());
}

TEST_F(FakeHelperTest, OpenNameIsAbsoluteDropsTheEndingInAnyCaseAndResolvesBack) {
  EXPECT_EQ(openNameOf("/d/Book.xls"), "/d/Book");
  EXPECT_EQ(openNameOf("/d/Book.XLS"), "/d/Book");
  EXPECT_EQ(openNameOf("/d/a.xlsx"), "");

  // A relative path, with blanks, "#", "%" and non-ASCII letters in its names.
  const std::string folder = "src/d #1 %41 Zoë";
  ::mkdir(tmp_.file(folder).c_str(), 0755);
  writeWorkbook(tmp_.file(folder + "/Sales Q1.XlS"), {"Jan", "Feb"});
  const std::string cwd = std::filesystem::current_path();
  std::filesystem::current_path(tmp_.path());
  source_ = folder + "/Sales Q1.XlS";
  out_ = "out";
  const int result = convert(FormatCsv);
  std::filesystem::current_path(cwd);
  out_ = tmp_.file("out");
  ASSERT_EQ(result, 1);
  EXPECT_EQ(calls()[2], line({"open", tmp_.file(folder + "/Sales Q1"), ".XlS"}));
  EXPECT_EQ(note("resolved "), tmp_.file(folder + "/Sales Q1.XlS"));
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
      // The helper has lost its office: it is ended.
      {"count=error:bridge:800706be:Binary URP bridge disposed during call", "COleException",
       "COleException. SCODE: 800706be.", false, false},
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
    listener_.failed.clear();
    ::setenv("FAKE_CALC_FAIL", c.fail, 1);
    EXPECT_EQ(convert(FormatCsv), 1);
    ASSERT_EQ(messages_.shown.size(), 1u);
    EXPECT_EQ(messages_.shown[0].first, c.caption);
    EXPECT_EQ(messages_.shown[0].second, c.text);
    ASSERT_EQ(listener_.failed.size(), 1u);
    EXPECT_EQ(listener_.failed[0].first, source_);
    EXPECT_EQ(test::fileExists(out_ + "/Book_Jan.csv"), c.firstSheetKept);
    EXPECT_FALSE(test::fileExists(out_ + "/Book_Feb.csv"));
    std::vector<std::string> seen = calls();
    // The workbook is not closed after a failure; the application is always released.
    EXPECT_EQ(std::count(seen.begin(), seen.end(), "close"), 0);
    EXPECT_EQ(!seen.empty() && seen.back() == "release", c.releaseSent);
    expectHelperGone();
    expectNoStagingLeft();
  }
}

TEST_F(FakeHelperTest, AFailedSaveLeavesNothingUnderTheRealName) {
  // The helper wrote part of the file into the staging folder, then reported a full disk.
  ::setenv("FAKE_CALC_FAIL", "save:2=partial", 1);
  test::writeFile(out_ + "/Book_Feb.csv", "an older output\n");
  EXPECT_EQ(convert(FormatCsv), 1);
  ASSERT_EQ(messages_.shown.size(), 1u);
  EXPECT_EQ(messages_.shown[0].second,
            "COleDispatchException. SCODE: 00000909, Description: \"Cannot write '" + out_ +
                "/Book_Feb.csv': the disk is full.\".");
  EXPECT_EQ(test::readFile(out_ + "/Book_Jan.csv"), "fake sheet 1 code 6\n");
  EXPECT_EQ(test::readFile(out_ + "/Book_Feb.csv"), "an older output\n");
  expectNoStagingLeft();
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

TEST_F(FakeHelperTest, OutputThatWouldReplaceTheSourceIsRefusedBeforeTheOfficeIsAsked) {
  // The workbook target into the workbook's own folder names the workbook itself.
  const std::string before = test::readFile(source_);
  EXPECT_EQ(ConvertWithSpreadsheetApp(ctx_, source_, tmp_.file("src"), FormatXls), 1);
  ASSERT_EQ(listener_.skipped.size(), 1u);
  EXPECT_NE(listener_.skipped[0].second.find("is the source file itself"), std::string::npos)
      << listener_.skipped[0].second;
  EXPECT_EQ(test::readFile(source_), before);
  EXPECT_FALSE(test::fileExists(log_)) << "the helper was started";
  EXPECT_TRUE(messages_.shown.empty());
}

TEST_F(FakeHelperTest, OfficeThatCannotGiveTheWorkbooksValuesDeclinesToTheEngine) {
  struct Case {
    const char* sheets;   // what the office lists
    const char* missing;  // formula cells without a stored result
  };
  // Other sheets than the file holds (a damaged file the office made something of), and a
  // formula the engine found no stored result for.
  for (const Case& c : {Case{"Sheet1", "0"}, Case{"Jan", "0"}, Case{"Jan|Feb", "2"}}) {
    SCOPED_TRACE(c.sheets);
    std::remove(log_.c_str());
    ::setenv("FAKE_CALC_SHEETS", c.sheets, 1);
    ::setenv("FAKE_CALC_MISSING", c.missing, 1);
    EXPECT_EQ(convert(FormatCsv), 0);
    std::vector<std::string> seen = calls();
    EXPECT_EQ(std::count_if(seen.begin(), seen.end(),
                            [](const std::string& s) { return s.rfind("save", 0) == 0; }),
              0);
    ASSERT_GE(seen.size(), 2u);
    EXPECT_EQ(seen[seen.size() - 2], "close");
  }
  EXPECT_TRUE(test::listFolder(out_).empty());
  EXPECT_TRUE(messages_.shown.empty());

  // Through the driver the engine then converts the workbook itself.
  ::setenv("FAKE_CALC_SHEETS", "Sheet1", 1);
  convertOneFile(ctx_, source_, out_, FormatCsv);
  EXPECT_EQ(test::parseCsv(test::readFile(out_ + "/Book_Jan.csv")),
            (std::vector<std::vector<std::string>>{{"name", "paid"}, {"Jan row", "TRUE"}}));
}

TEST_F(FakeHelperTest, DriverFallsBackToTheEngineOnlyWhenDeclined) {
  // A file the engine cannot read: its report of the skip tells whether it was tried.
  source_ = tmp_.file("src/Junk.xls");
  test::writeFile(source_, "not a workbook");
  convertOneFile(ctx_, source_, out_, FormatDbase4);
  EXPECT_EQ(listener_.skipped.size(), 1u) << "declined file not handed to the engine";

  ::setenv("FAKE_CALC_FAIL", "create=absent", 1);
  convertOneFile(ctx_, source_, out_, FormatCsv);
  EXPECT_EQ(listener_.skipped.size(), 2u) << "absent application: engine not tried";
  EXPECT_TRUE(messages_.shown.empty());

  ::setenv("FAKE_CALC_FAIL", "open=error:dispatch:40b08:bad file", 1);
  convertOneFile(ctx_, source_, out_, FormatCsv);
  EXPECT_EQ(listener_.skipped.size(), 2u) << "engine tried after an application error";
  EXPECT_EQ(listener_.failed.size(), 1u);
  EXPECT_EQ(messages_.shown.size(), 1u);

  // The application opens what the engine cannot read: the engine reports why.
  ::unsetenv("FAKE_CALC_FAIL");
  convertOneFile(ctx_, source_, out_, FormatCsv);
  EXPECT_EQ(listener_.skipped.size(), 3u);
  EXPECT_EQ(messages_.shown.size(), 1u);
}

class FakeRunTest : public FakeHelperTest {
 protected:
  void SetUp() override {
    FakeHelperTest::SetUp();
    ::setenv("FAKE_CALC_SHEETS", "Jan", 1);
    for (const char* name : {"a.xls", "b.xls", "c.xls"}) {
      sources_.push_back(tmp_.file(std::string("src/") + name));
      writeWorkbook(sources_.back(), {"Jan"});
    }
  }
  RunSummary run() { return runConversions(ctx_, sources_, out_, FormatCsv); }
  // Contents of the outputs of a.xls, b.xls and c.xls ("" where there is none).
  std::vector<std::string> outputs() const {
    std::vector<std::string> texts;
    for (const char* name : {"a_Jan.csv", "b_Jan.csv", "c_Jan.csv"})
      texts.push_back(test::fileExists(out_ + "/" + name) ? test::readFile(out_ + "/" + name) : "");
    return texts;
  }
  std::vector<std::string> sources_;
};

const std::string FakeOutput = "fake sheet 1 code 6\n";
const std::string EngineOutput = "name,paid\r\nJan row,TRUE\r\n";

TEST_F(FakeRunTest, OneApplicationServesTheWholeRunAndEndsWithIt) {
  RunSummary summary = run();
  EXPECT_EQ(summary.converted, 3);
  EXPECT_EQ(count("pid "), 1);
  EXPECT_EQ(count("create"), 1);
  EXPECT_EQ(count("open"), 3);
  EXPECT_EQ(calls().back(), "release");
  expectHelperGone();
  EXPECT_EQ(outputs(), (std::vector<std::string>{FakeOutput, FakeOutput, FakeOutput}));
}

TEST_F(FakeRunTest, CrashedOrHungApplicationIsReplacedForTheRestOfTheRun) {
  ctx_.automationCallTimeoutSeconds = 1;
  for (const char* fail : {"open=die", "count=hang", "alerts=die"}) {
    SCOPED_TRACE(fail);
    std::remove(log_.c_str());
    std::filesystem::remove_all(out_);
    ::mkdir(out_.c_str(), 0755);
    messages_.shown.clear();
    ::setenv("FAKE_CALC_FAIL", fail, 1);
    ::setenv("FAKE_CALC_ONCE", tmp_.file("failed-once").c_str(), 1);
    std::remove(tmp_.file("failed-once").c_str());
    RunSummary summary = run();
    EXPECT_EQ(count("pid "), 2) << "one fresh helper after the lost one";
    if (std::string(fail) == "alerts=die") {
      // Lost before the workbook was given to it: the fresh one converts it.
      EXPECT_EQ(summary.converted, 3);
      EXPECT_TRUE(messages_.shown.empty());
      EXPECT_EQ(outputs(), (std::vector<std::string>{FakeOutput, FakeOutput, FakeOutput}));
    } else {
      EXPECT_EQ(summary.failed, 1);
      EXPECT_EQ(summary.converted, 2);
      ASSERT_EQ(messages_.shown.size(), 1u);
      EXPECT_EQ(messages_.shown[0].first, "COleException");
      EXPECT_EQ(outputs(), (std::vector<std::string>{"", FakeOutput, FakeOutput}));
    }
    expectNoStagingLeft();
  }
}

TEST_F(FakeRunTest, AfterTwoLossesTheEngineTakesTheRestOfTheRun) {
  ::setenv("FAKE_CALC_FAIL", "open=die", 1);
  RunSummary summary = run();
  EXPECT_EQ(count("pid "), 2);
  EXPECT_EQ(summary.failed, 2);
  EXPECT_EQ(messages_.shown.size(), 2u);
  EXPECT_EQ(outputs(), (std::vector<std::string>{"", "", ""}));
  EXPECT_EQ(test::readFile(out_ + "/c.csv"), EngineOutput);
}

TEST(WorkbookFacts, SheetNamesAndStoredResultsOfRealWorkbooks) {
  TABULOR_REQUIRE_FIXTURES();
  const std::string xls = test::fixturesDir() + "/xls/";
  auto valueAt = [](const WorkbookFacts& facts, size_t sheet, uint32_t row, uint16_t col) {
    for (const StoredCell& cell : facts.storedCells.at(sheet))
      if (cell.row == row && cell.col == col) return cell.value;
    return std::string("(none)");
  };
  // A formula's text result with a line break, which the office does not load.
  WorkbookFacts crlf = readWorkbookFacts(xls + "crlf.xls");
  EXPECT_EQ(crlf.sheetNames, std::vector<std::string>{"Sheet1"});
  EXPECT_EQ(valueAt(crlf, 0, 1, 1), "sabc\r\ndef");
  // Error constants and formula results; a numeric result; a boolean result.
  WorkbookFacts errors = readWorkbookFacts(xls + "ErrorTypes.xls");
  EXPECT_EQ(valueAt(errors, 0, 1, 0), "e0");      // #NULL!
  EXPECT_EQ(valueAt(errors, 0, 2, 1), "e7");      // #DIV/0!
  EXPECT_EQ(valueAt(errors, 0, 1, 5), "n1");      // ERROR.TYPE of #NULL!
  EXPECT_EQ(valueAt(errors, 0, 1, 7), "b1");      // ISERR
  EXPECT_EQ(valueAt(errors, 0, 2, 2), "(none)");  // a text constant is the office's to read
  // Cached #NAME? results of formulas that use names.
  WorkbookFacts names = readWorkbookFacts(xls + "named_ranges_2011.xls");
  EXPECT_EQ(names.sheetNames, (std::vector<std::string>{"Named Ranges", "Cross-Sheet"}));
  EXPECT_EQ(valueAt(names, 0, 2, 4), "e29");
  // Non-ASCII sheet names; a damaged file is an error naming it.
  EXPECT_EQ(readWorkbookFacts(xls + "utf8-sheet-names.xls").sheetNames,
            (std::vector<std::string>{"µ", "∂"}));
  TempDir tmp;
  test::writeFile(tmp.file("junk.xls"), std::string(4096, 'j'));
  EXPECT_THROW(readWorkbookFacts(tmp.file("junk.xls")), EngineError);
}

}  // namespace
}  // namespace tabulor
