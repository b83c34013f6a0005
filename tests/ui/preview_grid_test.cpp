// The preview grid inside the real main window, used as a user would: clicks, arrows,
// Ctrl+A and Ctrl+C select and copy; dividers resize; cut-off texts show title tips; while
// typing, Delete, cut, paste, double-clicks and drops change nothing, and Return still
// reaches the window's default button.
#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QDropEvent>
#include <QMimeData>
#include <QTest>

#include "grid/grid_ctrl.h"
#include "grid/title_tip_wnd.h"
#include "tests/ui/ui_test_support.h"

namespace tabulor::test {
namespace {

QPoint centreOf(CGridCtrl* grid, int row, int col) {
  QRect rect;
  EXPECT_TRUE(grid->GetCellRect(row, col, &rect));
  return rect.center();
}

struct PreviewWindow {
  PreviewWindow() {
    t->show();
    QApplication::setActiveWindow(t.dlg.get());
    grid = t->previewGrid();
    // Texts as a loaded preview shows them; the body of the empty template is blank.
    const char* const texts[3][5] = {
        {"Name", "Amount", "", "", ""}, {"Ann", "12", "", "", ""}, {"Bob", "7", "", "", ""}};
    for (int r = 1; r <= 3; ++r)
      for (int c = 1; c <= 5; ++c) grid->SetItemText(r, c, texts[r - 1][c - 1]);
  }
  void click(int row, int col) {
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, centreOf(grid, row, col));
  }

  TempSettings settings;
  TestDialog t;
  CGridCtrl* grid = nullptr;
};

TEST(PreviewGrid, SelectsNavigatesAndCopies) {
  PreviewWindow w;
  w.click(1, 1);
  EXPECT_EQ(QApplication::focusWidget(), w.grid);
  EXPECT_EQ(w.grid->GetFocusCell(), (CellPos{1, 1}));
  QTest::keyClick(w.grid, Qt::Key_Down);
  QTest::keyClick(w.grid, Qt::Key_Right, Qt::ShiftModifier);
  EXPECT_EQ(w.grid->GetFocusCell(), (CellPos{2, 2}));
  EXPECT_EQ(w.grid->GetSelectedCellRange(), (CellRange{2, 1, 2, 2}));

  QTest::keyClick(w.grid, Qt::Key_C, Qt::ControlModifier);
  EXPECT_EQ(QGuiApplication::clipboard()->text(), "Ann\t12");

  QTest::keyClick(w.grid, Qt::Key_A, Qt::ControlModifier);
  EXPECT_EQ(w.grid->GetSelectedCount(), 15);
  QTest::keyClick(w.grid, Qt::Key_C, Qt::ControlModifier);
  EXPECT_EQ(QGuiApplication::clipboard()->text(),
            "Name\tAmount\t \t \t \nAnn\t12\t \t \t \nBob\t7\t \t \t ");

  // A press on a column header selects the column.
  w.click(0, 2);
  EXPECT_EQ(w.grid->GetSelectedCellRange(), (CellRange{1, 2, 3, 2}));
}

TEST(PreviewGrid, ResizesColumnsAndShowsTitleTips) {
  PreviewWindow w;
  QRect header;
  ASSERT_TRUE(w.grid->GetCellRect(0, 1, &header));
  const QPoint divider(header.right() + 1, header.center().y());
  const int before = w.grid->GetColumnWidth(1);
  QTest::mousePress(w.grid->viewport(), Qt::LeftButton, {}, divider);
  QTest::mouseMove(w.grid->viewport(), divider + QPoint(30, 0));
  QTest::mouseRelease(w.grid->viewport(), Qt::LeftButton, {}, divider + QPoint(30, 0));
  EXPECT_EQ(w.grid->GetColumnWidth(1), before + 30);

  w.grid->SetItemText(2, 2, "a text far too long for the width of its preview column");
  w.click(1, 1);
  const QPoint over = centreOf(w.grid, 2, 2);
  QMouseEvent move(QEvent::MouseMove, over, w.grid->viewport()->mapToGlobal(over), Qt::NoButton,
                   Qt::NoButton, Qt::NoModifier);
  QApplication::sendEvent(w.grid->viewport(), &move);
  ASSERT_NE(w.grid->GetTitleTip(), nullptr);
  EXPECT_TRUE(w.grid->GetTitleTip()->isVisible());
}

TEST(PreviewGrid, StaysReadOnly) {
  PreviewWindow w;
  w.click(2, 1);
  QGuiApplication::clipboard()->setText("pasted");
  for (const Qt::Key key : {Qt::Key_X, Qt::Key_Delete, Qt::Key_Backspace})
    QTest::keyClick(w.grid, key);
  QTest::keyClick(w.grid, Qt::Key_X, Qt::ControlModifier);
  QTest::keyClick(w.grid, Qt::Key_V, Qt::ControlModifier);
  const QPoint cell = centreOf(w.grid, 2, 1);
  QTest::mouseDClick(w.grid->viewport(), Qt::LeftButton, {}, cell);
  QTest::mouseRelease(w.grid->viewport(), Qt::LeftButton, {}, cell);
  EXPECT_EQ(w.grid->GetInPlaceEdit(), nullptr);
  EXPECT_EQ(w.grid->GetItemText(2, 1), "Ann");
  EXPECT_EQ(w.grid->GetItemText(2, 2), "12");
  EXPECT_EQ(QGuiApplication::clipboard()->text(), "pasted");
  EXPECT_FALSE(w.grid->GetModified());

  QMimeData data;
  data.setText("dropped");
  QDragEnterEvent enter(cell, Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, {});
  enter.setAccepted(false);
  QApplication::sendEvent(w.grid->viewport(), &enter);
  EXPECT_FALSE(enter.isAccepted());
  QDropEvent drop(QPointF(cell), Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, {});
  drop.setAccepted(false);
  QApplication::sendEvent(w.grid->viewport(), &drop);
  EXPECT_FALSE(drop.isAccepted());
  EXPECT_EQ(w.grid->GetItemText(2, 1), "Ann");

  // Return is the window's: it presses Start.
  QTest::keyClick(w.grid, Qt::Key_Return);
  ASSERT_EQ(w.t.messages.shown.size(), 1u);
  EXPECT_EQ(w.t.messages.shown[0].second, "Please select files first!");
}

}  // namespace
}  // namespace tabulor::test
