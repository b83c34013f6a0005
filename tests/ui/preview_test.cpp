// The preview: the template, the sheet buttons, four fields and two records, shortened
// texts, a file the engine cannot open, and the highlighted file's own table for sources
// whose database is their folder.
#include <gtest/gtest.h>

#include <QStyle>
#include <QStyleOptionButton>
#include <QTreeWidgetItem>

#include "engine/registry.h"
#include "grid/grid_ctrl.h"
#include "preview/preview_reader.h"
#include "tests/ui/ui_test_support.h"

namespace tabulor::test {
namespace {

QStringList gridRow(CGridCtrl* grid, int row) {
  QStringList texts;
  for (int col = 0; col < grid->GetColumnCount(); ++col) texts << grid->GetItemText(row, col);
  return texts;
}

void expectTemplate(CGridCtrl* grid) {
  ASSERT_EQ(grid->GetRowCount(), 4);
  ASSERT_EQ(grid->GetColumnCount(), 6);
  EXPECT_EQ(gridRow(grid, 0), (QStringList{"", "A", "B", "C", "D", "..."}));
  EXPECT_EQ(gridRow(grid, 1), (QStringList{"1", "", "", "", "", ""}));
  EXPECT_EQ(gridRow(grid, 2), (QStringList{"2", "", "", "", "", ""}));
  EXPECT_EQ(gridRow(grid, 3), (QStringList{"...", "", "", "", "", ""}));
}

QPushButton* sheetButton(TestDialog& t, int n) {
  return t.find<QPushButton>(n == 1 ? IdSheet1 : IdSheet2);
}

TEST(Preview, Shortening) {
  const std::pair<const char*, const char*> cases[] = {
      {"CustomerAddress", "CustomerAd..."},
      {"ExactlyThirte", "ExactlyThirte"},  // 13 characters stay whole
      {"FourteenChars!", "FourteenCh..."},
      {"", ""},
      {"ÄÖÜäöüßÄÖÜäöüß", "ÄÖÜäöüßÄÖÜ..."},  // counted in characters, never cut inside one
      {"ÄÖÜäöüßÄÖÜäöü", "ÄÖÜäöüßÄÖÜäöü"}};
  for (const auto& [text, shown] : cases) EXPECT_EQ(shortenPreviewText(text), shown) << text;
}

TEST(Preview, FileTheEngineCannotOpenLeavesTheTemplate) {
  TempSettings settings;
  TempDir dir;
  writeFile(dir.file("report.doc"), "not a database at all");
  writeFile(dir.file("broken.xls"), "not a workbook either");
  TestDialog t;
  auto* filter = t.find<QComboBox>(IdFilterCombo);
  filter->setCurrentIndex(6);
  t->OnFilterChanged(6);
  t.browse(dir.path());
  ASSERT_EQ(t.listNames(), (QStringList{"broken.xls", "report.doc"}));
  for (int row = 0; row < 2; ++row) {
    t.list()->clearSelection();
    t.list()->topLevelItem(row)->setSelected(true);
    expectTemplate(t->previewGrid());
    EXPECT_FALSE(sheetButton(t, 1)->isEnabled());
    EXPECT_FALSE(sheetButton(t, 2)->isEnabled());
    EXPECT_EQ(sheetButton(t, 1)->text(), "Sheet1");
    EXPECT_EQ(sheetButton(t, 2)->text(), "Sheet2");
  }
  EXPECT_TRUE(t->previewPath().empty());
  EXPECT_TRUE(t.messages.shown.empty());
  // The sheet buttons of a preview that never opened do nothing.
  t->OnSheet(2);
  expectTemplate(t->previewGrid());
}

TEST(Preview, CsvShowsFourFieldsAndTwoRecordsOfTheHighlightedFile) {
  if (!textDriverReads()) GTEST_SKIP() << "the text driver does not read CSV files yet";
  TempSettings settings;
  TempDir dir;
  writeFile(dir.file("a.csv"), "x,y\n1,2\n");
  writeFile(dir.file("b.csv"),
            "CustomerAddress,f2,f3,f4,f5,f6\n"
            "ExactlyThirte,b1,c1,d1,e1,f1\n"
            "a2,,c2,d2,e2,f2\n"
            "a3,b3,c3,d3,e3,f3\n");
  writeFile(dir.file("empty.csv"), "only,names\n");
  TestDialog t;
  t.find<QComboBox>(IdFilterCombo)->setCurrentIndex(3);
  t->OnFilterChanged(3);
  t.browse(dir.path());
  ASSERT_EQ(t.listNames(), (QStringList{"a.csv", "b.csv", "empty.csv"}));
  t.list()->topLevelItem(1)->setSelected(true);

  CGridCtrl* grid = t->previewGrid();
  EXPECT_EQ(gridRow(grid, 0), (QStringList{"", "A", "B", "C", "D", "..."}));
  EXPECT_EQ(gridRow(grid, 1), (QStringList{"1", "CustomerAd...", "f2", "f3", "f4", ""}));
  EXPECT_EQ(gridRow(grid, 2), (QStringList{"2", "ExactlyThirte", "b1", "c1", "d1", ""}));
  EXPECT_EQ(gridRow(grid, 3), (QStringList{"...", "a2", "", "c2", "d2", ""}));
  // The highlighted file's own table, not the first of the folder.
  ASSERT_EQ(t->previewTables().size(), 1u);
  EXPECT_TRUE(sheetButton(t, 1)->isEnabled());
  EXPECT_TRUE(sheetButton(t, 1)->isChecked());
  EXPECT_NE(sheetButton(t, 1)->text(), "Sheet1");
  EXPECT_FALSE(sheetButton(t, 2)->isEnabled());
  EXPECT_EQ(t->previewPath(), dir.file("b.csv"));

  // A table without records fills the names only.
  t.list()->clearSelection();
  t.list()->topLevelItem(2)->setSelected(true);
  EXPECT_EQ(gridRow(grid, 1), (QStringList{"1", "only", "names", "", "", ""}));
  EXPECT_EQ(gridRow(grid, 2), (QStringList{"2", "", "", "", "", ""}));

  // Two rows selected: no preview is loaded.
  t.list()->topLevelItem(0)->setSelected(true);
  EXPECT_EQ(gridRow(grid, 1), (QStringList{"1", "only", "names", "", "", ""}));
}

TEST(Preview, UnreadableTableAfterTheOpenLeavesTheTemplate) {
  if (!textDriverReads()) GTEST_SKIP() << "the text driver does not read CSV files yet";
  TempSettings settings;
  TempDir dir;
  writeFile(dir.file("good.csv"), "a,b\n1,2\n");
  writeFile(dir.file("nul.csv"), std::string("a,b\n1,\0\0\0\n", 10));
  TestDialog t;
  t.find<QComboBox>(IdFilterCombo)->setCurrentIndex(3);
  t->OnFilterChanged(3);
  t.browse(dir.path());
  t.list()->topLevelItem(0)->setSelected(true);  // good.csv
  EXPECT_EQ(t->previewGrid()->GetItemText(1, 1), "a");
  t.list()->clearSelection();
  t.list()->topLevelItem(1)->setSelected(true);  // nul.csv: listed, but its rows fail
  expectTemplate(t->previewGrid());
  EXPECT_EQ(t->previewPath(), dir.file("nul.csv"));
  EXPECT_TRUE(sheetButton(t, 1)->isEnabled());
  EXPECT_FALSE(sheetButton(t, 1)->isChecked());
  EXPECT_TRUE(t.messages.shown.empty());
}

TEST(Preview, WorkbookSheetButtons) {
  TABULOR_REQUIRE_FIXTURES();
  const std::string folder = fixturesDir() + "/xls";
  {
    Database db;
    PreviewData probe =
        readPreview(db, folder + "/test2.xls", folder, 1, SourceKind::SourceWorkbook);
    if (!probe.opened) GTEST_SKIP() << "the Excel driver does not read workbooks yet";
  }
  TempSettings settings;
  TestDialog t;
  t.browse(folder);
  const int row = t.listNames().indexOf("test2.xls");
  ASSERT_GE(row, 0);
  t.list()->topLevelItem(row)->setSelected(true);
  CGridCtrl* grid = t->previewGrid();
  EXPECT_EQ(sheetButton(t, 1)->text(), "Sheet1");
  EXPECT_EQ(sheetButton(t, 2)->text(), "Sheet2");
  EXPECT_TRUE(sheetButton(t, 1)->isChecked());
  EXPECT_FALSE(sheetButton(t, 2)->isChecked());
  EXPECT_EQ(t->previewTables().size(), 3u);  // Sheet3 is listed but has no button
  // Eleven fields: the first four names.
  EXPECT_EQ(gridRow(grid, 1), (QStringList{"1", "a", "b", "c", "d", ""}));
  EXPECT_EQ(gridRow(grid, 2).mid(1, 3), (QStringList{"2", "This", "is"}));

  sheetButton(t, 2)->click();
  EXPECT_FALSE(sheetButton(t, 1)->isChecked());
  EXPECT_TRUE(sheetButton(t, 2)->isChecked());
  EXPECT_EQ(sheetButton(t, 1)->text(), "Sheet1");
  EXPECT_EQ(gridRow(grid, 2), (QStringList{"2", "", "", "", "", ""}));
}

// .xlsx and .ods: listed by their filters, previewed, their sheets on the buttons.
TEST(Preview, XlsxAndOdsSheetButtons) {
  TempSettings settings;
  TempDir dir;
  TableSchema schema;
  for (const char* name : {"id", "name", "price", "when", "fifth"})
    schema.fields.push_back({name, VT_BSTR, 0, {}});
  for (const char* driverName : {"Excel 12.0 Xml", "OpenDocument Spreadsheet"}) {
    const Driver* driver = findDriver(driverName);
    ASSERT_NE(driver, nullptr);
    const std::string book = dir.file(driver == findDriver("Excel 12.0 Xml") ? "b.xlsx" : "b.ods");
    for (const char* sheet : {"Jan", "My Feb"}) {
      auto w = driver->createTable(book, sheet, schema);
      w->appendRow({Variant::i4(1), Variant::text(std::string("row of ") + sheet), Variant::r8(2.5),
                    Variant::null(), Variant::text("x")});
      w->finish();
    }
  }
  TestDialog t;
  t.browse(dir.path());
  ASSERT_EQ(t.listNames(), QStringList{"b.xlsx"});  // the Excel filter lists .xlsx
  auto* filter = t.find<QComboBox>(IdFilterCombo);
  for (int position : {0, 5}) {
    filter->setCurrentIndex(position);
    t->OnFilterChanged(position);
    ASSERT_EQ(t.list()->topLevelItemCount(), 1);
    t.list()->clearSelection();
    t.list()->topLevelItem(0)->setSelected(true);
    CGridCtrl* grid = t->previewGrid();
    EXPECT_EQ(sheetButton(t, 1)->text(), "Jan");
    EXPECT_EQ(sheetButton(t, 2)->text(), "My Feb");
    EXPECT_EQ(gridRow(grid, 1), (QStringList{"1", "id", "name", "price", "when", ""}));
    EXPECT_EQ(gridRow(grid, 2).mid(1, 3), (QStringList{"1", "row of Jan", "2.50"}));
    sheetButton(t, 2)->click();
    EXPECT_TRUE(sheetButton(t, 2)->isChecked());
    EXPECT_EQ(gridRow(grid, 2).mid(1, 3), (QStringList{"1", "row of My Feb", "2.50"}));
  }
  EXPECT_EQ(t.listNames(), QStringList{"b.ods"});
}

TEST(Preview, AccessDatabaseTables) {
  TABULOR_REQUIRE_FIXTURES();
  const std::string folder = fixturesDir() + "/mdb";
  {
    Database db;
    if (!readPreview(db, folder + "/testV2000.mdb", folder, 1, SourceKind::SourceDatabase).opened)
      GTEST_SKIP() << "the Jet driver does not read databases yet";
  }
  TempSettings settings;
  TestDialog t;
  t.find<QComboBox>(IdFilterCombo)->setCurrentIndex(1);
  t->OnFilterChanged(1);
  t.browse(folder);
  const int row = t.listNames().indexOf("testV2000.mdb");
  ASSERT_GE(row, 0);
  t.list()->topLevelItem(row)->setSelected(true);
  CGridCtrl* grid = t->previewGrid();
  EXPECT_EQ(sheetButton(t, 1)->text(), "Table1");
  EXPECT_EQ(sheetButton(t, 2)->text(), "Table2");
  EXPECT_EQ(t->previewTables().size(), 4u);  // the system tables are left out
  EXPECT_EQ(gridRow(grid, 1), (QStringList{"1", "A", "B", "C", "D", ""}));  // of nine fields
  EXPECT_EQ(gridRow(grid, 2).mid(1, 2), (QStringList{"abcdefg", "hijklmnop"}));
  EXPECT_EQ(gridRow(grid, 3).mid(1, 2), (QStringList{"a", "b"}));
  // Table2: many fields, no record.
  sheetButton(t, 2)->click();
  EXPECT_EQ(gridRow(grid, 1), (QStringList{"1", "column1", "column2", "column3", "column4", ""}));
  EXPECT_EQ(gridRow(grid, 2), (QStringList{"2", "", "", "", "", ""}));
  EXPECT_TRUE(sheetButton(t, 2)->isChecked());
}

TEST(Preview, AnotherFolderTakesThePreviewAway) {
  if (!textDriverReads()) GTEST_SKIP() << "the text driver does not read CSV files yet";
  TempSettings settings;
  TempDir first, second;
  writeFile(first.file("Formate.csv"), "Blatt,x\n1,2\n");
  writeFile(second.file("other.csv"), "y\n3\n");
  TestDialog t;
  t.find<QComboBox>(IdFilterCombo)->setCurrentIndex(3);
  t->OnFilterChanged(3);
  t.browse(first.path());
  t.list()->topLevelItem(0)->setSelected(true);
  ASSERT_EQ(t->previewGrid()->GetItemText(1, 1), "Blatt");
  ASSERT_TRUE(sheetButton(t, 1)->isEnabled());

  t.browse(second.path());
  expectTemplate(t->previewGrid());
  for (int n : {1, 2}) {
    EXPECT_FALSE(sheetButton(t, n)->isEnabled()) << n;
    EXPECT_FALSE(sheetButton(t, n)->isChecked()) << n;
  }
  EXPECT_EQ(sheetButton(t, 1)->text(), "Sheet1");
  EXPECT_TRUE(t->previewPath().empty());
  EXPECT_TRUE(t->previewTables().empty());
  // The button's handler, reached anyway, has no file of the other folder to show.
  t->OnSheet(1);
  expectTemplate(t->previewGrid());
}

TEST(Preview, LongTableNamesAreCutAtTheEndWithTheWholeNameInTheTooltip) {
  if (!textDriverReads()) GTEST_SKIP() << "the text driver does not read CSV files yet";
  TempSettings settings;
  TempDir dir;
  const QString longName = "comma_in_quotes_and_a_rather_long_name";
  writeFile(dir.file(longName.toStdString() + ".csv"), "a\n1\n");
  writeFile(dir.file("R&D.csv"), "a\n1\n");
  TestDialog t;
  t.find<QComboBox>(IdFilterCombo)->setCurrentIndex(3);
  t->OnFilterChanged(3);
  t.browse(dir.path());
  for (int row = 0; row < 2; ++row) {
    t.list()->clearSelection();
    t.list()->topLevelItem(row)->setSelected(true);
    ASSERT_EQ(t->previewTables().size(), 1u);
    const QString table = QString::fromStdString(t->previewTables()[0]);
    QPushButton* button = sheetButton(t, 1);
    QString shown = button->text();
    shown.replace("&&", "&");  // "&&" shows one "&", not a shortcut mark
    EXPECT_EQ(button->toolTip(), table);
    QStyleOptionButton option;
    option.initFrom(button);
    const int room =
        button->style()->subElementRect(QStyle::SE_PushButtonContents, &option, button).width();
    EXPECT_LE(button->fontMetrics().horizontalAdvance(shown), room) << shown.toStdString();
    if (table.startsWith("R&D")) {
      EXPECT_EQ(shown, table);
    } else {
      // The start of the name stays; the end gives way.
      EXPECT_TRUE(shown.endsWith(QChar(0x2026))) << shown.toStdString();
      EXPECT_TRUE(table.startsWith(shown.chopped(1))) << shown.toStdString();
    }
  }
}

}  // namespace
}  // namespace tabulor::test
