// Output settings: the recent-folders list, the folder picker's insert rules, "Open".
#include <gtest/gtest.h>

#include "tests/ui/ui_test_support.h"

namespace tabulor::test {
namespace {

TEST(OutputSettings, PicksAreInsertedAfterTheFirstItem) {
  TempSettings settings;
  TestDialog t;
  t.pickedFolders = {"/c/out", "/d/x"};
  t->OnBrowse();
  EXPECT_EQ(t.folderItems(), (QStringList{"Original directory", "/c/out"}));
  EXPECT_EQ(t.folderCombo()->currentIndex(), 1);
  t->OnBrowse();
  EXPECT_EQ(t.folderItems(), (QStringList{"Original directory", "/d/x", "/c/out"}));
  EXPECT_EQ(t.folderCombo()->currentText(), "/d/x");
  // The same folder again, already selected: nothing added.
  t.pickedFolders = {"/d/x"};
  t->OnBrowse();
  EXPECT_EQ(t.folderItems().size(), 3);
  // A cancelled picker changes nothing.
  t.pickedFolders = {""};
  t->OnBrowse();
  EXPECT_EQ(t.folderItems().size(), 3);
  EXPECT_EQ(t.folderCombo()->currentText(), "/d/x");
}

TEST(OutputSettings, PrefixMatchOfALongerNameInsertsAgain) {
  TempSettings settings;
  settings.setValue("OutputDir2", "/c/out2");
  settings.setValue("OutputDir3", "/c/out");
  TestDialog t;
  t.pickedFolders = {"/c/out", "/C/OUT2"};
  t->OnBrowse();
  EXPECT_EQ(t.folderItems(), (QStringList{"Original directory", "/c/out", "/c/out2", "/c/out"}));
  EXPECT_EQ(t.folderCombo()->currentIndex(), 1);
  t->OnBrowse();  // other letter case: found by prefix, but not equal
  EXPECT_EQ(t.folderItems().at(1), "/C/OUT2");
}

TEST(OutputSettings, StartSavesTheFirstFiveItems) {
  TempSettings settings;
  TempDir dir;
  writeFile(dir.file("a.xls"), "not a workbook");
  settings.setValue("OutputDir1", "Original directory");
  settings.setValue("OutputDir2", "/c/a");
  settings.setValue("OutputDir3", "/c/b");
  settings.setValue("OutputDir4", "/c/c");
  settings.setValue("OutputDir5", "/c/d");
  settings.setValue("OutDir", "/c/b");
  TestDialog t;
  EXPECT_EQ(t.folderCombo()->currentText(), "/c/b");  // the stored OutDir is selected
  t.pickedFolders = {"/e/1", "/e/2"};
  t->OnBrowse();
  t->OnBrowse();
  EXPECT_EQ(t.folderItems().size(), 7);
  t.browse(dir.path());
  t.list()->topLevelItem(0)->setCheckState(0, Qt::Checked);
  t->OnOK();
  EXPECT_EQ(settings.value("OutputDir1").toString(), "Original directory");
  EXPECT_EQ(settings.value("OutputDir2").toString(), "/e/2");
  EXPECT_EQ(settings.value("OutputDir3").toString(), "/e/1");
  EXPECT_EQ(settings.value("OutputDir4").toString(), "/c/a");
  EXPECT_EQ(settings.value("OutputDir5").toString(), "/c/b");
  EXPECT_EQ(settings.value("OutDir").toString(), "/e/2");
  EXPECT_EQ(settings.value("CurrentDirectory").toString().toStdString(), dir.path());
}

TEST(OutputSettings, StoredOutDirMatchingNothingLeavesNoSelection) {
  TempSettings settings;
  settings.setValue("OutDir", "/nowhere");
  TestDialog t;
  EXPECT_EQ(t.folderCombo()->currentIndex(), -1);
}

TEST(OutputSettings, OpenUsesTheBrowsedFolderForOriginalDirectory) {
  TempSettings settings;
  TempDir dir;
  TestDialog t;
  t->OnOpenFolder();  // nothing browsed yet: an empty folder opens nothing
  ASSERT_EQ(t.opened.size(), 1u);
  EXPECT_TRUE(t.opened[0].isEmpty());
  t.browse(dir.path());
  t->OnOpenFolder();
  EXPECT_EQ(t.opened.back().toLocalFile().toStdString(), dir.path());
  t.pickedFolders = {"/srv/out/"};
  t->OnBrowse();
  t->OnOpenFolder();
  EXPECT_EQ(t.opened.back().toLocalFile(), "/srv/out/");  // trailing "/" kept
}

}  // namespace
}  // namespace tabulor::test
