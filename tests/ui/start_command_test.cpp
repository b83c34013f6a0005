// The Start command: the messages, the settings it stores, and the conversion run with
// the folder rule, the message at its end and an engine error ending the run.
#include "app/start_command.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QTreeWidgetItem>
#include <cstdio>
#include <filesystem>

#include "tests/ui/ui_test_support.h"

namespace tabulor::test {
namespace {

TEST(StartCommand, NoTickedFileShowsAMessageAndStoresNothing) {
  TempSettings settings;
  TempDir dir;
  writeFile(dir.file("a.xls"), "x");
  TestDialog t;
  int runs = 0;
  t->setStartRunner([&](ConversionContext&, const StartJob&) {
    ++runs;
    return std::string();
  });
  t->OnOK();  // empty list
  t.browse(dir.path());
  t->OnOK();  // a row, not ticked
  ASSERT_EQ(t.messages.shown.size(), 2u);
  for (const auto& [caption, text] : t.messages.shown) {
    EXPECT_EQ(caption, "Tabulor");
    EXPECT_EQ(text, "Please select files first!");
  }
  EXPECT_EQ(runs, 0);
  EXPECT_TRUE(settings.keys().isEmpty());
}

TEST(StartCommand, HandsTheTickedFilesInListOrder) {
  TempSettings settings;
  TempDir dir;
  for (const char* name : {"c.xls", "a.xls", "b.xls"}) writeFile(dir.file(name), "x");
  TestDialog t;
  t.browse(dir.path());
  t.list()->topLevelItem(2)->setCheckState(0, Qt::Checked);
  t.list()->topLevelItem(0)->setCheckState(0, Qt::Checked);
  t.formatCombo()->setCurrentIndex(FormatCsv);
  StartJob seen;
  std::string programFolder;
  t->setStartRunner([&](ConversionContext& ctx, const StartJob& job) {
    seen = job;
    programFolder = ctx.programFolder;
    return std::string("done");
  });
  t->OnOK();
  t.waitForRun();
  EXPECT_EQ(seen.sourcePaths, (std::vector<std::string>{dir.file("a.xls"), dir.file("c.xls")}));
  EXPECT_EQ(seen.format, FormatCsv);
  EXPECT_EQ(seen.outputFolderText, "Original directory");
  EXPECT_EQ(seen.browsedFolder, dir.path());
  EXPECT_EQ(programFolder, t->programFolder());
  EXPECT_EQ(settings.value("OutDir").toString(), "Original directory");
  EXPECT_EQ(settings.value("CurrentDirectory").toString().toStdString(), dir.path());
  ASSERT_EQ(t.messages.shown.size(), 1u);
  EXPECT_EQ(t.messages.shown[0], (std::pair<std::string, std::string>{"Tabulor", "done"}));
}

TEST(StartCommand, SkippedFilesStillFinish) {
  TempDir dir;
  writeFile(dir.file("broken.xls"), "not a workbook");
  Database db;
  RecordingMessages messages;
  ConversionContext ctx{binaryDir() + "/bin/", &db, &messages};
  // Without the spreadsheet application the workbook goes to the engine, which skips it.
  ctx.automationHelper = dir.file("no-such-helper");
  const std::string end =
      runStartCommand(ctx, {{dir.file("broken.xls")}, dir.path(), "Original directory", FormatCsv});
  EXPECT_TRUE(messages.shown.empty());
  // The counts and the folder below the first line, then the skipped file with its reason.
  const std::string head =
      "Conversion Finished!\n0 files converted, 1 skipped, 0 failed.\n"
      "Output folder: " +
      dir.path() + "\n\n" + dir.file("broken.xls") + " was skipped: ";
  EXPECT_EQ(end.rfind(head, 0), 0u) << end;
}

TEST(StartCommand, ConvertsTwoFilesIntoTheChosenFolder) {
  if (!textDriverReads()) GTEST_SKIP() << "the text driver does not read CSV files yet";
  TempSettings settings;
  TempDir src, out;
  writeFile(src.file("b.csv"), "name,qty\npen,3\n");
  writeFile(src.file("a.csv"), "id,city\n1,Oslo\n");
  TestDialog t;
  t->setStartRunner(runStartCommand);
  t.find<QComboBox>(IdFilterCombo)->setCurrentIndex(3);
  t->OnFilterChanged(3);
  t.browse(src.path());
  t->OnListCommand(IdCmdCheckAll);
  t.formatCombo()->setCurrentIndex(FormatText);
  t.pickedFolders = {QString::fromStdString(out.path() + "//")};  // trailing "/" removed
  t->OnBrowse();
  t->OnOK();
  t.waitForRun();
  ASSERT_FALSE(t.messages.shown.empty());
  EXPECT_EQ(t.messages.shown.back().second,
            "Conversion Finished!\n2 files converted, 0 skipped, 0 failed.\nOutput folder: " +
                out.path());
  EXPECT_EQ(listFolder(out.path()), (std::vector<std::string>{"a.txt", "b.txt"}));
  EXPECT_NE(readFile(out.file("a.txt")).find("Oslo"), std::string::npos);
  // The check marks stay.
  EXPECT_EQ(t.countText(), "2 files selected");
}

TEST(StartCommand, OriginalDirectoryOnlyInItsOwnLetterCase) {
  if (!textDriverReads()) GTEST_SKIP() << "the text driver does not read CSV files yet";
  TempDir src, cwd;
  writeFile(src.file("a.csv"), "id\n1\n");
  Database db;
  RecordingMessages messages;
  ConversionContext ctx{binaryDir() + "/bin/", &db, &messages};
  runStartCommand(ctx, {{src.file("a.csv")}, src.path(), "Original directory", FormatText});
  EXPECT_TRUE(fileExists(src.file("a.txt")));
  std::remove(src.file("a.txt").c_str());

  // In another letter case it is a folder name like any other, relative to the working
  // folder.
  ASSERT_EQ(::mkdir(cwd.file("original directory").c_str(), 0755), 0);
  const std::string before = std::filesystem::current_path().string();
  std::filesystem::current_path(cwd.path());
  const std::string end =
      runStartCommand(ctx, {{src.file("a.csv")}, src.path(), "original directory", FormatText});
  std::filesystem::current_path(before);
  EXPECT_TRUE(fileExists(cwd.file("original directory/a.txt")));
  EXPECT_FALSE(fileExists(src.file("a.txt")));
  EXPECT_EQ(end.rfind("Conversion Finished!\n1 file converted, 0 skipped, 0 failed.", 0), 0u)
      << end;
}

TEST(StartCommand, EngineErrorEndsTheRun) {
  if (!textDriverReads()) GTEST_SKIP() << "the text driver does not read CSV files yet";
  TempDir src, out;
  writeFile(src.file("a.csv"), "id\n1\n");
  writeFile(src.file("b.csv"), "id\n2\n");
  // The first file's output name is taken by a folder, so writing it fails.
  std::filesystem::create_directories(out.file("a.txt/inside"));
  Database db;
  RecordingMessages messages;
  ConversionContext ctx{binaryDir() + "/bin/", &db, &messages};
  const std::string end = runStartCommand(
      ctx, {{src.file("a.csv"), src.file("b.csv")}, src.path(), out.path(), FormatText});
  EXPECT_EQ(end, "");  // no end message after the error
  ASSERT_EQ(messages.shown.size(), 1u);
  EXPECT_EQ(messages.shown[0].first, "Tabulor");
  EXPECT_NE(messages.shown[0].second.find(out.file("a.txt")), std::string::npos)
      << messages.shown[0].second;
  EXPECT_FALSE(fileExists(out.file("b.txt")));  // not started
}

}  // namespace
}  // namespace tabulor::test
