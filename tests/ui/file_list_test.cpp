// The source browser: row order, column sort, size texts, ticking, counting, opening.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <utime.h>

#include <QHeaderView>
#include <QMenu>
#include <QTest>
#include <QTreeWidgetItem>

#include "tests/ui/ui_test_support.h"
#include "ui/file_entry.h"

namespace tabulor::test {
namespace {

TEST(FileList, SizeTexts) {
  const std::pair<int64_t, const char*> cases[] = {{0, "0 KB"},
                                                   {1, "1 KB"},
                                                   {1023, "1 KB"},
                                                   {1024, "1 KB"},
                                                   {2047, "1 KB"},
                                                   {2048, "2 KB"},
                                                   {1048576, "1,024 KB"},
                                                   {1536000, "1,500 KB"},
                                                   {10485760, "10,240 KB"},
                                                   {5368709120LL, "5,242,880 KB"}};
  for (const auto& [size, text] : cases) EXPECT_EQ(sizeText(size), text) << size;
}

TEST(FileList, CompareEntries) {
  FileEntry a{"Book1.XLS", 10, "Excel", std::time_t{960000}};
  FileEntry b{"a.xls", 10, "excel", std::time_t{960030}};  // same minute as a
  EXPECT_LT(compareEntries(a, b, 0, true), 0);             // upper case first
  EXPECT_GT(compareEntries(a, b, 0, false), 0);
  EXPECT_EQ(compareEntries(a, b, 1, true), 0);  // equal sizes
  EXPECT_LT(compareEntries(a, b, 2, true), 0);
  EXPECT_EQ(compareEntries(a, b, 3, true), 0);  // within one minute
  FileEntry noTime{"x", 1, "", std::nullopt};
  EXPECT_LT(compareEntries(noTime, a, 3, true), 0);
  EXPECT_EQ(modifiedText(std::nullopt), "");
}

TEST(FileList, RowsInLowerCasedOrderThenSortedByColumn) {
  TempSettings settings;
  TempDir dir;
  writeFile(dir.file("Book1.XLS"), std::string(3000, 'x'));
  writeFile(dir.file("a.xls"), "");
  writeFile(dir.file("c.XlS"), std::string(1024 * 5, 'x'));
  writeFile(dir.file("notes.txt"), "x");
  ::mkdir(dir.file("Old.xls").c_str(), 0755);
  TestDialog t;
  t.browse(dir.path());
  EXPECT_EQ(t.listNames(), (QStringList{"a.xls", "Book1.XLS", "c.XlS"}));
  EXPECT_EQ(t.list()->topLevelItem(0)->text(1), "0 KB");
  EXPECT_EQ(t.list()->topLevelItem(1)->text(1), "2 KB");
  EXPECT_EQ(t.list()->topLevelItem(0)->checkState(0), Qt::Unchecked);
  EXPECT_EQ(t.countText(), "0 files selected");

  auto click = [&](int column) { t->OnColumnClick(column); };
  click(0);
  EXPECT_EQ(t.listNames(), (QStringList{"Book1.XLS", "a.xls", "c.XlS"}));  // byte order
  click(1);
  EXPECT_TRUE(t->listSortAscending());
  EXPECT_EQ(t.listNames(), (QStringList{"a.xls", "Book1.XLS", "c.XlS"}));
  click(1);
  EXPECT_FALSE(t->listSortAscending());
  EXPECT_EQ(t.listNames(), (QStringList{"c.XlS", "Book1.XLS", "a.xls"}));
  t.list()->topLevelItem(0)->setSelected(true);  // c.XlS
  t.list()->topLevelItem(0)->setCheckState(0, Qt::Checked);
  click(2);
  EXPECT_TRUE(t->listSortAscending());
  EXPECT_EQ(t->listSortColumn(), 2);
  // Rows move with their tick and selection.
  const int moved = t.listNames().indexOf("c.XlS");
  EXPECT_TRUE(t.list()->topLevelItem(moved)->isSelected());
  EXPECT_EQ(t.list()->topLevelItem(moved)->checkState(0), Qt::Checked);
  EXPECT_EQ(t.list()->selectedItems().size(), 1);

  // A refill keeps the sort state but not the order.
  auto* filter = t.find<QComboBox>(IdFilterCombo);
  filter->setCurrentIndex(6);
  t->OnFilterChanged(6);
  EXPECT_EQ(t->filterPattern(), "*.*");
  EXPECT_EQ(t.listNames(), (QStringList{"a.xls", "Book1.XLS", "c.XlS", "notes.txt"}));
  EXPECT_EQ(t->listSortColumn(), 2);
}

TEST(FileList, HeaderClickSorts) {
  TempSettings settings;
  TempDir dir;
  writeFile(dir.file("b.xls"), "1");
  writeFile(dir.file("A.xls"), "1");
  TestDialog t;
  t.browse(dir.path());
  t->show();
  QHeaderView* header = t.list()->header();
  QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                    QPoint(header->sectionViewportPosition(0) + 5, header->height() / 2));
  EXPECT_EQ(t->listSortColumn(), 0);
  EXPECT_EQ(t.listNames(), (QStringList{"A.xls", "b.xls"}));
}

TEST(FileList, DateColumn) {
  TempSettings settings;
  TempDir dir;
  writeFile(dir.file("d.xls"), "1");
  struct utimbuf times {};
  std::tm tm{};
  tm.tm_year = 2024 - 1900;
  tm.tm_mon = 1;
  tm.tm_mday = 29;
  tm.tm_hour = 13;
  tm.tm_min = 5;
  tm.tm_sec = 59;
  tm.tm_isdst = -1;
  times.actime = times.modtime = std::mktime(&tm);
  ASSERT_EQ(::utime(dir.file("d.xls").c_str(), &times), 0);
  TestDialog t;
  t.browse(dir.path());
  EXPECT_EQ(t.list()->topLevelItem(0)->text(3), "2024-02-29 13:05");
  EXPECT_FALSE(t.list()->topLevelItem(0)->text(2).isEmpty());
}

TEST(FileList, CtrlAThenCheckTicksEveryRow) {
  TempSettings settings;
  TempDir dir;
  for (const char* name : {"1.xls", "2.xls", "3.xls"}) writeFile(dir.file(name), "x");
  TestDialog t;
  t.browse(dir.path());
  t->show();
  t.list()->setFocus();
  QTest::keyClick(t.list(), Qt::Key_A, Qt::ControlModifier);
  EXPECT_EQ(t.list()->selectedItems().size(), 3);
  EXPECT_EQ(t.countText(), "0 files selected");  // Ctrl+A selects, it does not tick
  t->OnListCommand(IdCmdCheck);
  EXPECT_EQ(t.countText(), "3 files selected");
  t->OnListCommand(IdCmdUncheckAll);
  EXPECT_EQ(t.countText(), "0 files selected");
  t->OnListCommand(IdCmdCheckAll);
  EXPECT_EQ(t.countText(), "3 files selected");
}

TEST(FileList, CheckTicksOnlyTheSelectedRows) {
  TempSettings settings;
  TempDir dir;
  for (const char* name : {"1.xls", "2.xls", "3.xls", "4.xls", "5.xls"})
    writeFile(dir.file(name), "x");
  TestDialog t;
  t.browse(dir.path());
  t->show();
  QTreeWidget* list = t.list();
  list->topLevelItem(1)->setSelected(true);
  list->topLevelItem(3)->setSelected(true);
  t->OnListCommand(IdCmdCheck);
  EXPECT_EQ(t.countText(), "2 files selected");
  for (int i = 0; i < 5; ++i)
    EXPECT_EQ(list->topLevelItem(i)->checkState(0) == Qt::Checked, i == 1 || i == 3) << i;
  t->OnListCommand(IdCmdUncheck);
  EXPECT_EQ(t.countText(), "0 files selected");
  // Several rows selected: opening does nothing.
  t->OnListCommand(IdCmdOpen);
  EXPECT_TRUE(t.opened.empty());
  // Ticking a row through its check box updates the count.
  list->topLevelItem(4)->setCheckState(0, Qt::Checked);
  EXPECT_EQ(t.countText(), "1 files selected");
}

TEST(FileList, OpenHandsTheFileToTheDesktop) {
  TempSettings settings;
  TempDir dir;
  writeFile(dir.file("only.xls"), "x");
  TestDialog t;
  t.browse(dir.path());
  t->OnOpenFile();
  EXPECT_TRUE(t.opened.empty());  // nothing highlighted
  t.list()->topLevelItem(0)->setSelected(true);
  t->OnListCommand(IdCmdOpen);
  ASSERT_EQ(t.opened.size(), 1u);
  EXPECT_EQ(t.opened[0].toLocalFile().toStdString(), dir.file("only.xls"));
}

TEST(FileList, ContextMenuHasTheCommands) {
  TempSettings settings;
  TestDialog t;
  std::unique_ptr<QMenu> menu(t.list()->createContextMenu(t.dlg.get()));
  QStringList texts;
  std::vector<int> ids;
  for (QAction* a : menu->actions()) {
    texts << (a->isSeparator() ? QString("-") : a->text());
    ids.push_back(a->data().toInt());
  }
  EXPECT_EQ(texts, (QStringList{"Open", "-", "Check", "Uncheck", "-", "Check All", "Uncheck All"}));
  EXPECT_EQ(ids, (std::vector<int>{IdCmdOpen, 0, IdCmdCheck, IdCmdUncheck, 0, IdCmdCheckAll,
                                   IdCmdUncheckAll}));
}

}  // namespace
}  // namespace tabulor::test
