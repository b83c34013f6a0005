// A Start runs on a worker thread: the window answers during the run and refuses a second
// Start, the progress dialog opens when the run is long, Cancel stops it leaving only whole
// files, closing the window cancels first, the end message counts what was done with the
// messages of the run shown on the window's thread, and the browsed folder is listed again.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QProgressBar>
#include <QTest>
#include <QThread>
#include <QTreeWidgetItem>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <thread>

#include "app/start_command.h"
#include "tests/ui/ui_test_support.h"
#include "ui/conversion_run.h"
#include "ui/progress_dlg.h"

namespace tabulor::test {
namespace {

// Holds the worker where it is until the test opens it.
struct Gate {
  std::atomic<bool> reached{false}, open{false};
  void wait() {
    reached = true;
    while (!open) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
};

// Stops the worker at row `row` of the table of the file whose name ends in `name`.
class PauseAtRow : public ForwardingListener {
 public:
  PauseAtRow(RunListener* inner, std::string name, int64_t row, Gate& gate)
      : ForwardingListener(inner), name_(std::move(name)), row_(row), gate_(gate) {}
  void tableStarted(const std::string& path, const std::string& table) override {
    current_ = path;
    ForwardingListener::tableStarted(path, table);
  }
  void rowsWritten(int64_t rows) override {
    ForwardingListener::rowsWritten(rows);
    if (rows == row_ && current_.size() >= name_.size() &&
        current_.compare(current_.size() - name_.size(), name_.size(), name_) == 0)
      gate_.wait();
  }

 private:
  std::string name_, current_;
  int64_t row_;
  Gate& gate_;
};

// Records messages and whether each came on the window's thread.
class ThreadCheckingMessages : public Messages {
 public:
  void show(const std::string& text, const std::string& caption) override {
    shown.emplace_back(caption, text);
    if (QThread::currentThread() != qApp->thread()) ++offThread;
  }
  std::vector<std::pair<std::string, std::string>> shown;
  int offThread = 0;
};

class PaintCounter : public QObject {
 public:
  explicit PaintCounter(QWidget* w) { w->installEventFilter(this); }
  bool eventFilter(QObject*, QEvent* e) override {
    if (e->type() == QEvent::Paint) ++count;
    return false;
  }
  int count = 0;
};

std::string rowsCsv(int count) {
  std::string text = "id,name\n";
  for (int i = 1; i <= count; ++i) text += std::to_string(i) + ",row" + std::to_string(i) + "\n";
  return text;
}

void showAllFiles(TestDialog& t) {
  const int all = static_cast<int>(sourceFilters().size()) - 1;  // "All Files" comes last
  t.find<QComboBox>(IdFilterCombo)->setCurrentIndex(all);
  t->OnFilterChanged(all);
}

TEST(Run, WindowAnswersDuringARunAndRefusesASecondStart) {
  TempSettings settings;
  TempDir dir;
  writeFile(dir.file("a.xls"), "x");
  writeFile(dir.file("b.xls"), "x");
  TestDialog t;
  t->show();
  t.browse(dir.path());
  t->OnListCommand(IdCmdCheckAll);
  Gate gate;
  std::atomic<int> runs{0};
  t->setStartRunner([&](ConversionContext& ctx, const StartJob& job) {
    ++runs;
    ctx.listener->fileStarted(0, job.sourcePaths.size(), job.sourcePaths[0]);
    ctx.listener->tableStarted(job.sourcePaths[0], "Sheet1");
    ctx.listener->rowsWritten(12345);
    gate.wait();
    return std::string("Conversion Finished!");
  });
  QElapsedTimer sinceStart;
  sinceStart.start();
  t->OnOK();
  // Start returned while the worker converts.
  ASSERT_TRUE(t->runGoing());
  ASSERT_TRUE(QTest::qWaitFor([&] { return gate.reached.load(); }));
  EXPECT_FALSE(t.find<QPushButton>(IdOk)->isEnabled());

  // A second Start, by the handler and by Enter, starts nothing.
  t->OnOK();
  QApplication::setActiveWindow(t.dlg.get());
  QTest::keyClick(t.list(), Qt::Key_Return);

  // The window paints and lays itself out.
  PaintCounter paints(t.dlg.get());
  t->resize(1000, 700);
  t->update();
  EXPECT_TRUE(QTest::qWaitFor([&] { return paints.count > 0; }));
  EXPECT_EQ(t.list()->geometry().right() + 1, 1000 - 12);

  // The progress dialog, window-modal, opens after half a second and shows where it is.
  ASSERT_TRUE(QTest::qWaitFor([&] {
    return t->conversionRun()->progressDialog() &&
           t->conversionRun()->progressDialog()->isVisible();
  }));
  EXPECT_GE(sinceStart.elapsed(), 450);
  CProgressDlg* progress = t->conversionRun()->progressDialog();
  EXPECT_EQ(progress->windowModality(), Qt::WindowModal);
  EXPECT_TRUE(QTest::qWaitFor([&] { return progress->rowsText() == "Rows written: 12,345"; }));
  EXPECT_EQ(progress->bar()->maximum(), 2);
  EXPECT_EQ(progress->bar()->value(), 0);
  EXPECT_TRUE(progress->fileText().endsWith("a.xls")) << progress->fileText().toStdString();
  EXPECT_EQ(progress->tableText(), "Table: Sheet1");
  EXPECT_TRUE(t.messages.shown.empty());

  gate.open = true;
  t.waitForRun();
  EXPECT_EQ(runs, 1);
  EXPECT_TRUE(t.find<QPushButton>(IdOk)->isEnabled());
  EXPECT_EQ(t->conversionRun()->progressDialog(), nullptr);
  ASSERT_EQ(t.messages.shown.size(), 1u);
  EXPECT_EQ(t.messages.shown[0].second, "Conversion Finished!");
}

TEST(Run, CancelLeavesOnlyWholeFiles) {
  if (!textDriverReads()) GTEST_SKIP() << "the text driver does not read CSV files yet";
  const std::pair<TargetFormat, const char*> formats[] = {
      {FormatText, "a.txt"}, {FormatXls, "a.xls"}, {FormatMdb, "a.mdb"}};
  for (const auto& [format, written] : formats) {
    SCOPED_TRACE(written);
    TempSettings settings;
    TempDir src, out;
    writeFile(src.file("a.csv"), rowsCsv(3));
    writeFile(src.file("big.csv"), rowsCsv(3000));
    writeFile(src.file("c.csv"), rowsCsv(3));
    TestDialog t;
    t->show();
    t.find<QComboBox>(IdFilterCombo)->setCurrentIndex(3);
    t->OnFilterChanged(3);
    t.browse(src.path());
    t->OnListCommand(IdCmdCheckAll);
    t.formatCombo()->setCurrentIndex(format);
    t.pickedFolders = {QString::fromStdString(out.path())};
    t->OnBrowse();
    Gate gate;
    t->setStartRunner([&](ConversionContext& ctx, const StartJob& job) {
      PauseAtRow pause(ctx.listener, "big.csv", 1000, gate);
      ConversionContext local = ctx;
      local.listener = &pause;
      return runStartCommand(local, job);
    });
    t->conversionRun()->progressDelayMs = 0;
    t->OnOK();
    ASSERT_TRUE(QTest::qWaitFor([&] { return gate.reached.load(); }));
    ASSERT_TRUE(QTest::qWaitFor([&] { return t->conversionRun()->progressDialog() != nullptr; }));
    CProgressDlg* progress = t->conversionRun()->progressDialog();
    QTest::mouseClick(progress->cancelButton(), Qt::LeftButton);
    EXPECT_FALSE(progress->cancelButton()->isEnabled());
    gate.open = true;
    t.waitForRun();

    // The first file whole, nothing of the cancelled one, the last not started, and no
    // staging left behind.
    EXPECT_EQ(listFolder(out.path()), std::vector<std::string>{written});
    if (format == FormatText) {
      EXPECT_NE(readFile(out.file(written)).find("row3"), std::string::npos);
    }
    ASSERT_EQ(t.messages.shown.size(), 1u);
    const std::string& end = t.messages.shown[0].second;
    EXPECT_EQ(end.rfind("Conversion Cancelled!\n1 file converted, 0 skipped, 0 failed, 1 not "
                        "started.\nCancelled during " +
                            src.file("big.csv"),
                        0),
              0u)
        << end;
  }
}

TEST(Run, ClosingTheWindowCancelsTheRunFirst) {
  TempSettings settings;
  TempDir dir;
  writeFile(dir.file("a.xls"), "x");
  TestDialog t;
  t->show();
  t.browse(dir.path());
  t->OnListCommand(IdCmdCheckAll);
  std::atomic<bool> sawCancel{false};
  t->setStartRunner([&](ConversionContext& ctx, const StartJob&) {
    while (!ctx.listener->cancelRequested())
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    sawCancel = true;
    return std::string("Conversion Cancelled!");
  });
  t->OnOK();
  t->reject();  // the close box
  EXPECT_TRUE(QTest::qWaitFor([&] { return !t->isVisible(); }));
  EXPECT_TRUE(sawCancel);
  EXPECT_FALSE(t->runGoing());
  EXPECT_TRUE(t.messages.shown.empty());  // closing, not reading a summary
  EXPECT_TRUE(settings.contains("szMainDlg_cx"));
}

TEST(Run, DestroyingTheWindowDuringARunDoesNotWaitForAMessage) {
  TempSettings settings;
  TempDir dir;
  writeFile(dir.file("a.xls"), "x");
  auto t = std::make_unique<TestDialog>();
  t->browse(dir.path());
  (*t)->OnListCommand(IdCmdCheckAll);
  std::atomic<bool> asked{false};
  (*t)->setStartRunner([&](ConversionContext& ctx, const StartJob&) {
    asked = true;
    // Waits for the window's thread, which is busy destroying the window.
    ctx.messages->show("an office error", "COleException");
    return std::string();
  });
  (*t)->OnOK();
  while (!asked) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  t.reset();  // returns: the worker's message is dropped, the worker ends
  SUCCEED();
}

TEST(Run, EndMessageCountsWhatWasDone) {
  if (!textDriverReads()) GTEST_SKIP() << "the text driver does not read CSV files yet";
  TempSettings settings;
  TempDir src, out;
  writeFile(src.file("good1.csv"), rowsCsv(2));
  writeFile(src.file("good2.csv"), rowsCsv(2));
  writeFile(src.file("damaged.mdb"), std::string(4096, '\x01'));
  test::writeWorkbook(src.file("book.xls"), {{"Sheet1", "a\n1\n"}});
  ::setenv("FAKE_CALC_SHEETS", "Sheet1", 1);
  ::setenv("FAKE_CALC_FAIL", "save:1=error:dispatch:507:Access denied", 1);
  ::setenv("FAKE_CALC_LOG", src.file("calc.log").c_str(), 1);
  TestDialog t;
  ThreadCheckingMessages messages;
  t->setMessages(&messages);
  showAllFiles(t);
  t.browse(src.path());
  t->OnListCommand(IdCmdCheckAll);
  t.formatCombo()->setCurrentIndex(FormatCsv);
  t.pickedFolders = {QString::fromStdString(out.path())};
  t->OnBrowse();
  t->setStartRunner([](ConversionContext& ctx, const StartJob& job) {
    ConversionContext local = ctx;
    local.automationHelper = FAKE_CALC_HELPER;
    return runStartCommand(local, job);
  });
  t->OnOK();
  t.waitForRun();
  ::unsetenv("FAKE_CALC_FAIL");
  ::unsetenv("FAKE_CALC_LOG");
  ::unsetenv("FAKE_CALC_SHEETS");

  EXPECT_EQ(messages.offThread, 0);
  ASSERT_EQ(messages.shown.size(), 2u);
  // The office's failure, as its own box, during the run.
  EXPECT_EQ(messages.shown[0].first, "COleDispatchException");
  EXPECT_EQ(messages.shown[0].second,
            "COleDispatchException. SCODE: 00000507, Description: \"Access denied\".");
  const std::string head =
      "Conversion Finished!\n2 files converted, 1 skipped, 1 failed.\n"
      "Output folder: " +
      out.path() + "\n\n" + src.file("damaged.mdb") + " was skipped: ";
  EXPECT_EQ(messages.shown[1].second.rfind(head, 0), 0u) << messages.shown[1].second;
  EXPECT_EQ(listFolder(out.path()), (std::vector<std::string>{"good1.csv", "good2.csv"}));
}

TEST(Run, BrowsedFolderIsListedAgainKeepingTicksAndHighlight) {
  if (!textDriverReads()) GTEST_SKIP() << "the text driver does not read CSV files yet";
  TempSettings settings;
  TempDir src;
  writeFile(src.file("a.csv"), rowsCsv(2));
  writeFile(src.file("b.csv"), rowsCsv(2));
  TestDialog t;
  t->setStartRunner(runStartCommand);
  showAllFiles(t);
  t.browse(src.path());
  t->OnColumnClick(0);
  t->OnColumnClick(0);  // by name, descending
  ASSERT_EQ(t.listNames(), (QStringList{"b.csv", "a.csv"}));
  t.list()->topLevelItem(1)->setCheckState(0, Qt::Checked);  // a.csv
  t.list()->setCurrentItem(t.list()->topLevelItem(0));       // b.csv, previewed
  ASSERT_EQ(t->previewPath(), src.file("b.csv"));
  t->OnOK();  // into "Original directory", the browsed folder
  t.waitForRun();
  EXPECT_EQ(t.listNames(), (QStringList{"b.csv", "a.txt", "a.csv"}));
  EXPECT_EQ(t.list()->topLevelItem(2)->checkState(0), Qt::Checked);
  EXPECT_EQ(t.list()->topLevelItem(1)->checkState(0), Qt::Unchecked);
  EXPECT_EQ(t.list()->currentItem(), t.list()->topLevelItem(0));
  EXPECT_TRUE(t.list()->topLevelItem(0)->isSelected());
  EXPECT_EQ(t.countText(), "1 files selected");
  EXPECT_EQ(t->previewPath(), src.file("b.csv"));
}

}  // namespace
}  // namespace tabulor::test
