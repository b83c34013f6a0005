// The main window itself: controls and their first state, layout resets, window state
// written on close, the About box.
#include <gtest/gtest.h>

#include <QApplication>
#include <QGroupBox>
#include <QTest>
#include <QTimer>

#include "grid/grid_ctrl.h"
#include "tests/ui/ui_test_support.h"
#include "ui/about_dlg.h"
#include "ui/dialog_units.h"
#include "ui/link_label.h"

namespace tabulor::test {
namespace {

TEST(MainDlg, FirstStartWithoutSettings) {
  TempSettings settings;
  TestDialog t;
  EXPECT_EQ(t->windowTitle(), "Tabulor 2.6");
  EXPECT_EQ(t.folderItems(), QStringList{"Original directory"});
  EXPECT_EQ(t.folderCombo()->currentIndex(), 0);
  EXPECT_EQ(t.formatCombo()->currentText(), "Text (*.TXT)");
  ASSERT_EQ(t.formatCombo()->count(), 11);
  EXPECT_EQ(t.formatCombo()->itemText(8), "Lotus 1-2-3 WKS and WK1 Lotus WK1 (*.WK1)");
  EXPECT_EQ(t.formatCombo()->itemText(10), "OpenDocument Spreadsheet (*.ODS)");
  auto* filter = t.find<QComboBox>(IdFilterCombo);
  ASSERT_EQ(filter->count(), 7);
  EXPECT_EQ(filter->currentText(), "Excel Files(*.XLS;*.XLSX)");
  EXPECT_EQ(filter->itemText(6), "All Files (*.*)");
  EXPECT_EQ(t->filterPattern(), "*.XLS;*.XLSX");
  EXPECT_EQ(t.countText(), "");
  EXPECT_EQ(t.list()->topLevelItemCount(), 0);
  EXPECT_TRUE(t->browsedFolder().empty());

  // Every control of the template, found by its id, with its template text.
  const std::pair<int, const char*> texts[] = {
      {IdStaticSelectDir, "Select Directory:"},
      {IdStaticSelectFiles, "Select Files: (Click checkbox to select source files)"},
      {IdStaticFilter, "Filter:"},
      {IdStaticPreview, "Preview:"},
      {IdSheet1, "Sheet1"},
      {IdSheet2, "Sheet2"},
      {IdStaticDots, "..."},
      {IdStaticFormat, "Format:"},
      {IdStaticFolder, "Folder:"},
      {IdBrowse, "..."},
      {IdOpenFolder, "Open"},
      {IdOk, "&Start!"},
      {IdAbout, "&About"}};
  for (const auto& [id, text] : texts) {
    QWidget* w = t->control(id);
    ASSERT_NE(w, nullptr) << id;
    const QString shown = qobject_cast<QLabel*>(w) ? qobject_cast<QLabel*>(w)->text()
                                                   : qobject_cast<QPushButton*>(w)->text();
    EXPECT_EQ(shown, text) << id;
  }
  EXPECT_EQ(t.find<QGroupBox>(IdGroupOutput)->title(), "Select target file format and folder");
  for (int id : {IdTree, IdFileList, IdCountText, IdPlaceholder, IdGrid})
    EXPECT_NE(t->control(id), nullptr) << id;
  EXPECT_FALSE(t->control(IdSheet1)->isEnabled());
  EXPECT_FALSE(t->control(IdSheet2)->isEnabled());
  EXPECT_TRUE(t->control(IdStaticFilter)->isHidden());
  EXPECT_TRUE(t->control(IdPlaceholder)->isHidden());
  EXPECT_TRUE(t.find<QPushButton>(IdOk)->isDefault());
  EXPECT_EQ(t->minimumSize(), QSize(740, 500));

  // The empty preview template.
  CGridCtrl* grid = t->previewGrid();
  ASSERT_EQ(grid->GetRowCount(), 4);
  ASSERT_EQ(grid->GetColumnCount(), 6);
  EXPECT_FALSE(grid->IsEditable());
  EXPECT_EQ(grid->GetGridBkColour(), 0xFFFFFFu);
  EXPECT_EQ(grid->GetItemText(0, 5), "...");
  EXPECT_EQ(grid->GetItemText(3, 0), "...");
  EXPECT_EQ(grid->GetItemText(1, 1), "");
}

TEST(MainDlg, ControlsStayInsideTheWindowAndApart) {
  TempSettings settings;
  TestDialog t;
  t->show();
  QCoreApplication::processEvents();
  for (QSize size : {QSize(756, 500), QSize(740, 500), QSize(1200, 800)}) {
    t->resize(size);
    QCoreApplication::processEvents();
    const QRect client = t->rect();
    std::vector<std::pair<int, QRect>> boxes;
    for (QWidget* w : t->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
      if (!w->isVisible() || w->objectName().isEmpty()) continue;
      EXPECT_TRUE(client.contains(w->geometry()))
          << w->objectName().toStdString() << " at " << size.width() << "x" << size.height();
      if (w->objectName() != QString::number(IdGroupOutput))
        boxes.emplace_back(w->objectName().toInt(), w->geometry());
    }
    for (size_t i = 0; i < boxes.size(); ++i)
      for (size_t j = i + 1; j < boxes.size(); ++j)
        EXPECT_FALSE(boxes[i].second.intersects(boxes[j].second))
            << boxes[i].first << " overlaps " << boxes[j].first << " at " << size.width() << "x"
            << size.height();
  }
}

TEST(MainDlg, NarrowWindowResetsTheTreeWidth) {
  TempSettings settings;
  TestDialog t;
  t->show();
  const int before = t->rtSplitVer().right;
  t->resize(800, 600);
  QCoreApplication::processEvents();
  EXPECT_EQ(t->rtSplitVer().right, before);  // 800 - 563 leaves room for the template tree
  t->resize(740, 600);
  QCoreApplication::processEvents();
  EXPECT_EQ(t->rtSplitVer().left, 186);
  EXPECT_EQ(t->rtSplitVer().right, 192);
  EXPECT_EQ(t->control(IdTree)->geometry().right() + 1, 186);
  EXPECT_EQ(t->control(IdFileList)->x(), 192);
  EXPECT_EQ(t->control(IdFileList)->geometry().right() + 1, 740 - 12);
}

TEST(MainDlg, ResizeKeepsTheGridHeightAndItsRows) {
  TempSettings settings;
  TestDialog t;
  t->show();
  const int captured = t->nHeightListSel();
  for (QSize size : {QSize(960, 640), QSize(760, 510), QSize(1400, 900)}) {
    t->resize(size);
    QCoreApplication::processEvents();
    const QRect grid = t->previewGrid()->geometry();
    EXPECT_EQ(grid.height(), captured);
    // The template's four rows fit: 20 pixels of heading and three rows of 18.
    EXPECT_GE(grid.height(), 20 + 3 * 18);
    EXPECT_LT(grid.bottom(), t->control(IdSheet1)->y());
    EXPECT_EQ(t->rtSplitHor().bottom, grid.top());
    EXPECT_EQ(t->rtSplitHor().top, t->control(IdFileList)->geometry().bottom() + 1);
  }
}

TEST(MainDlg, LowWindowResetsTheGridHeight) {
  TempSettings settings;
  TestDialog t;
  t->show();
  const int captured = t->nHeightListSel();
  t->resize(900, 700);
  QCoreApplication::processEvents();
  EXPECT_EQ(t->nHeightListSel(), captured);
  // Below the minimum height only: the grid's captured height fits every allowed height.
  t->setMinimumSize(0, 0);
  t->resize(900, 280);
  QCoreApplication::processEvents();
  EXPECT_EQ(t->nHeightListSel(), 152);
  t->setMinimumSize(740, 500);
  // The bottom band keeps its distances from the bottom-right corner.
  t->resize(1000, 700);
  QCoreApplication::processEvents();
  EXPECT_EQ(t->control(IdAbout)->geometry().right() + 1, 1000 - (756 - duX(421 + 68)));
  EXPECT_EQ(t->control(IdFolderCombo)->geometry().right() + 1, 1000 - (756 - duX(50 + 215)));
}

TEST(MainDlg, MaximiseAndCloseWritesTheWindowState) {
  TempSettings settings;
  QSize outer;
  {
    TestDialog t;
    t->show();
    t->resize(900, 640);
    QCoreApplication::processEvents();
    outer = t->frameGeometry().size();  // the size with the window frame, if any
    t->showMaximized();
    QCoreApplication::processEvents();
    ASSERT_TRUE(t->isMaximized());
    t->reject();  // Escape or the close box
  }
  EXPECT_EQ(settings.value("bMaximized").toInt(), 16777216);
  EXPECT_EQ(settings.value("szMainDlg_cx").toInt(), outer.width());
  EXPECT_EQ(settings.value("szMainDlg_cy").toInt(), outer.height());
  const char* keys[] = {"rtSplitVer_left",   "rtSplitVer_top",    "rtSplitVer_right",
                        "rtSplitVer_bottom", "rtSplitHor_left",   "rtSplitHor_top",
                        "rtSplitHor_right",  "rtSplitHor_bottom", "ptMainDlgPos_x",
                        "ptMainDlgPos_y",    "szMainDlg_cx",      "szMainDlg_cy",
                        "bMaximized",        "nHeightListSel"};
  for (const char* key : keys) EXPECT_TRUE(settings.contains(key)) << key;
  // Nothing else was written: no Start was pressed.
  EXPECT_FALSE(settings.contains("OutDir"));
  EXPECT_FALSE(settings.contains("OutputDir1"));
}

TEST(MainDlg, CloseWithoutResizeKeepsTheCapturedLayout) {
  TempSettings settings;
  int gridBottom = 0;
  {
    TestDialog t;
    gridBottom = t->previewGrid()->geometry().bottom() + 1;
    t->reject();
  }
  EXPECT_EQ(settings.value("bMaximized").toInt(), 0);
  EXPECT_EQ(settings.value("rtSplitHor_bottom").toInt(), gridBottom);
  EXPECT_GE(settings.value("szMainDlg_cx").toInt(), 756);
}

TEST(MainDlg, AboutBoxFromButtonAndKey) {
  TempSettings settings;
  TestDialog t;
  t->show();
  for (int way = 0; way < 2; ++way) {
    QApplication::setActiveWindow(t.dlg.get());
    QString caption, version, link;
    QTimer closer;  // stops with the loop body, so it never outlives what it captures
    closer.setSingleShot(true);
    closer.start(0);
    QObject::connect(&closer, &QTimer::timeout, [&] {
      auto* about = t.dlg->findChild<CAboutDlg*>();
      ASSERT_NE(about, nullptr);
      caption = about->windowTitle();
      for (QLabel* l : about->findChildren<QLabel*>())
        if (l->text().startsWith("Tabulor")) version = l->text();
      CLinkLabel* label = about->link();
      EXPECT_EQ(label->objectName(), QString::number(IdLink));
      EXPECT_TRUE(label->font().underline());
      EXPECT_EQ(label->palette().color(QPalette::WindowText), QColor(0, 0, 0xEE));
      EXPECT_EQ(label->cursor().shape(), Qt::PointingHandCursor);
      EXPECT_EQ(label->toolTip(), HomePageAddress);
      QString target;
      about->link()->openUrl = [&](const QString& url) {
        target = url;
        return true;
      };
      QTest::mouseClick(about->link(), Qt::LeftButton);
      link = target;
      about->accept();
    });
    if (way == 0)
      QTest::mouseClick(t.find<QPushButton>(IdAbout), Qt::LeftButton);
    else
      QTest::keyClick(t.dlg.get(), Qt::Key_F1);
    EXPECT_EQ(caption, "About Tabulor") << (way == 0 ? "button" : "key");
    EXPECT_EQ(version, "Tabulor Version 2.6");
    EXPECT_EQ(link, HomePageAddress);
  }
}

TEST(MainDlg, EnterStartsTheConversion) {
  TempSettings settings;
  TestDialog t;
  t->show();
  QApplication::setActiveWindow(t.dlg.get());
  t.list()->setFocus();
  QTest::keyClick(t.list(), Qt::Key_Return);
  ASSERT_EQ(t.messages.shown.size(), 1u);
  EXPECT_EQ(t.messages.shown[0].second, "Please select files first!");
  EXPECT_TRUE(t->isVisible());  // Start does not close the window
}

TEST(MainDlg, PositionIsWhereTheShownWindowSits) {
  TempSettings settings;
  QPoint where;
  {
    TestDialog t;
    t->show();
    t->move(413, 230);
    QCoreApplication::processEvents();
    where = t->frameGeometry().topLeft();
    ASSERT_NE(where, QPoint(0, 0));
    t->showMaximized();  // a maximised window keeps the position it had
    QCoreApplication::processEvents();
    t->reject();
  }
  EXPECT_EQ(settings.value("ptMainDlgPos_x").toInt(), where.x());
  EXPECT_EQ(settings.value("ptMainDlgPos_y").toInt(), where.y());
}

}  // namespace
}  // namespace tabulor::test
