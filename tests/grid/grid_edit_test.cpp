// In-place editing and title tips on a real grid: how the key or click that opens an editor
// shapes its text, how each way of leaving it stores the text and notifies the host, moving
// on to the next cell, growing up to the grid's edge, refusals; and when a title tip shows,
// where, and what hides it.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QFontMetrics>
#include <QTest>
#include <functional>
#include <vector>

#include "grid/in_place_edit.h"
#include "grid/title_tip_wnd.h"
#include "grid_test_support.h"

namespace tabulor {
namespace {

using test::cellCentre;
using test::makeUniformGrid;
using test::NotifyLog;

const std::vector<int> BeginEnd{LVN_BEGINLABELEDITA, LVN_ENDLABELEDITA};

std::unique_ptr<CGridCtrl> editableGrid() {
  return makeUniformGrid(400, 200, 20, 12, true);
}

void clickCell(CGridCtrl& grid, int row, int col) {
  QTest::mouseClick(grid.viewport(), Qt::LeftButton, {}, cellCentre(grid, row, col));
}

// A double-click as the platform delivers it: press, release, double-click, release. On a
// cell without the focus the first click focuses it and the double-click opens the editor.
void doubleClickCell(CGridCtrl& grid, int row, int col) {
  const QPoint p = cellCentre(grid, row, col);
  QTest::mouseClick(grid.viewport(), Qt::LeftButton, {}, p);
  QTest::mouseDClick(grid.viewport(), Qt::LeftButton, {}, p);
  QTest::mouseRelease(grid.viewport(), Qt::LeftButton, {}, p);
}

// Lets ended editors close.
void settle() {
  QCoreApplication::processEvents();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

struct OpenCase {
  const char* name;
  // Opens the editor on cell (2, 2), which has the focus unless it is opened by the mouse.
  std::function<void(CGridCtrl&)> open;
  QString text, selected;
  int cursor;
};

TEST(GridInPlaceEdit, TheOpeningKeyShapesTheText) {
  const OpenCase cases[] = {
      {"a typed character replaces the text", [](CGridCtrl& g) { QTest::keyClick(&g, Qt::Key_7); },
       "7", "", 1},
      {"a typed bracket is typed too", [](CGridCtrl& g) { QTest::keyClick(&g, '('); }, "(", "", 1},
      {"Return keeps the text, caret at the end",
       [](CGridCtrl& g) { QTest::keyClick(&g, Qt::Key_Return); }, "2.2", "", 3},
      {"Backspace takes off the last character",
       [](CGridCtrl& g) { QTest::keyClick(&g, Qt::Key_Backspace); }, "2.", "", 2},
      {"a blank selects the text", [](CGridCtrl& g) { QTest::keyClick(&g, Qt::Key_Space); }, "2.2",
       "2.2", 3},
      {"a double-click keeps the text, caret at the end",
       [](CGridCtrl& g) { doubleClickCell(g, 2, 2); }, "2.2", "", 3},
      {"a click on the focused cell keeps the text, caret at the end",
       [](CGridCtrl& g) { clickCell(g, 2, 2); }, "2.2", "", 3},
  };
  for (const OpenCase& c : cases) {
    SCOPED_TRACE(c.name);
    auto grid = editableGrid();
    const bool byDoubleClick = c.name == cases[5].name;
    if (!byDoubleClick) clickCell(*grid, 2, 2);
    NotifyLog log(*grid);
    c.open(*grid);
    InPlaceEdit* editor = grid->GetInPlaceEdit();
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(QApplication::focusWidget(), editor);
    EXPECT_EQ(editor->text(), c.text);
    EXPECT_EQ(editor->selectedText(), c.selected);
    EXPECT_EQ(editor->cursorPosition(), c.cursor);
    EXPECT_EQ(editor->geometry(), QRect(100, 40, 50, 20));
    EXPECT_EQ(editor->row, 2);
    EXPECT_EQ(editor->col, 2);
    EXPECT_EQ(log.editCodes(), std::vector<int>{LVN_BEGINLABELEDITA});
    // The cell keeps its text until the editor ends.
    EXPECT_EQ(grid->GetItemText(2, 2), "2.2");
  }
}

struct EndCase {
  const char* name;
  std::function<void(CGridCtrl&, InPlaceEdit&)> leave;
  QString storedText;
  CellPos focus;
  // The cell edited next, with all its text selected; (-1, -1): no editor afterwards.
  CellPos nextEditor;
  bool modified;
  bool byMouse;  // opened by a double-click instead of typing "7"
};

TEST(GridInPlaceEdit, LeavingStoresTheTextAndMovesOn) {
  auto keyTo = [](Qt::Key k, Qt::KeyboardModifiers m = {}) {
    return [k, m](CGridCtrl&, InPlaceEdit& e) { QTest::keyClick(&e, k, m); };
  };
  const CellPos none{-1, -1};
  const EndCase cases[] = {
      {"Return stores and stays", keyTo(Qt::Key_Return), "7", {2, 2}, none, true, false},
      {"Escape restores the text and marks nothing",
       keyTo(Qt::Key_Escape),
       "2.2",
       {2, 2},
       none,
       false,
       false},
      {"Tab stores and edits the next cell", keyTo(Qt::Key_Tab), "7", {2, 3}, {2, 3}, true, false},
      {"Shift+Tab edits the cell before",
       keyTo(Qt::Key_Backtab, Qt::ShiftModifier),
       "7",
       {2, 1},
       {2, 1},
       true,
       false},
      {"Down from a typed edit edits the cell below",
       keyTo(Qt::Key_Down),
       "7",
       {3, 2},
       {3, 2},
       true,
       false},
      {"Page Down from a typed edit moves a page",
       keyTo(Qt::Key_PageDown),
       "7",
       {11, 2},
       {11, 2},
       true,
       false},
      {"Ctrl+Right leaves a double-click edit",
       keyTo(Qt::Key_Right, Qt::ControlModifier),
       "2.2",
       {2, 3},
       {2, 3},
       false,
       true},
      {"a click elsewhere stores and moves no editor on",
       [](CGridCtrl& g, InPlaceEdit&) { clickCell(g, 4, 4); },
       "7",
       {4, 4},
       none,
       true,
       false},
      {"scrolling ends the edit",
       [](CGridCtrl& g, InPlaceEdit&) { g.OnVScroll(SB_LINEDOWN); },
       "7",
       {2, 2},
       none,
       true,
       false},
      {"resizing the grid ends the edit",
       [](CGridCtrl& g, InPlaceEdit&) { g.resize(380, 200); },
       "7",
       {2, 2},
       none,
       true,
       false},
  };
  for (const EndCase& c : cases) {
    SCOPED_TRACE(c.name);
    auto grid = editableGrid();
    if (c.byMouse) {
      doubleClickCell(*grid, 2, 2);
    } else {
      clickCell(*grid, 2, 2);
      QTest::keyClick(grid.get(), Qt::Key_7);
    }
    InPlaceEdit* editor = grid->GetInPlaceEdit();
    ASSERT_NE(editor, nullptr);
    NotifyLog log(*grid);
    c.leave(*grid, *editor);
    settle();

    EXPECT_EQ(grid->GetItemText(2, 2), c.storedText);
    EXPECT_EQ(bool(grid->GetItemState(2, 2) & CellModified), c.modified);
    EXPECT_EQ(grid->GetModified(), c.modified);
    EXPECT_EQ(grid->GetFocusCell(), c.focus);
    std::vector<int> codes{LVN_ENDLABELEDITA};
    if (c.nextEditor.row >= 0) codes.push_back(LVN_BEGINLABELEDITA);
    EXPECT_EQ(log.editCodes(), codes);
    InPlaceEdit* next = grid->GetInPlaceEdit();
    if (c.nextEditor.row < 0) {
      EXPECT_EQ(next, nullptr);
      EXPECT_EQ(QApplication::focusWidget(), grid.get());
    } else {
      ASSERT_NE(next, nullptr);
      EXPECT_EQ((CellPos{next->row, next->col}), c.nextEditor);
      EXPECT_EQ(next->selectedText(), grid->GetItemText(next->row, next->col));
      EXPECT_EQ(QApplication::focusWidget(), next);
    }
  }
}

TEST(GridInPlaceEdit, ArrowsMoveTheCaretInAnEditStartedByTheMouse) {
  auto grid = editableGrid();
  doubleClickCell(*grid, 2, 2);
  InPlaceEdit* editor = grid->GetInPlaceEdit();
  ASSERT_NE(editor, nullptr);
  EXPECT_FALSE(editor->exitOnArrows);
  for (Qt::Key k : {Qt::Key_Left, Qt::Key_Left, Qt::Key_Down, Qt::Key_Right})
    QTest::keyClick(editor, k);
  EXPECT_EQ(grid->GetInPlaceEdit(), editor);
  EXPECT_EQ(editor->cursorPosition(), 2);
  QTest::keyClicks(editor, "x");
  QTest::keyClick(editor, Qt::Key_Return);
  settle();
  EXPECT_EQ(grid->GetItemText(2, 2), "2.x2");
  EXPECT_EQ(grid->GetFocusCell(), (CellPos{2, 2}));
}

TEST(GridInPlaceEdit, GrowsToTheRightUpToTheGridsEdge) {
  auto grid = editableGrid();
  clickCell(*grid, 2, 5);
  QTest::keyClick(grid.get(), 'W');
  InPlaceEdit* editor = grid->GetInPlaceEdit();
  ASSERT_NE(editor, nullptr);
  EXPECT_EQ(editor->width(), 50);
  QTest::keyClicks(editor, "WWWW");
  const int needed = QFontMetrics(editor->font()).horizontalAdvance("WWWWW  ");
  ASSERT_GT(needed, 50);
  ASSERT_LT(needed, 400 - 250);
  EXPECT_EQ(editor->geometry(), QRect(250, 40, needed, 20));
  QTest::keyClicks(editor, QString(40, QLatin1Char('W')));
  EXPECT_EQ(editor->geometry(), QRect(250, 40, 150, 20));
  // It never shrinks.
  for (int i = 0; i < 40; ++i) QTest::keyClick(editor, Qt::Key_Backspace);
  EXPECT_EQ(editor->width(), 150);
}

TEST(GridInPlaceEdit, RefusedWhereTheCellCannotChange) {
  struct Case {
    const char* name;
    bool editable;
    bool readOnlyCell;
  };
  for (const Case& c : {Case{"read-only grid", false, false}, Case{"read-only cell", true, true}}) {
    SCOPED_TRACE(c.name);
    auto grid = makeUniformGrid(400, 200, 20, 12, c.editable);
    if (c.readOnlyCell) grid->SetItemState(9, 2, CellReadOnly);
    clickCell(*grid, 9, 2);
    grid->OnVScroll(SB_BOTTOM);
    ASSERT_FALSE(grid->IsCellVisible(9, 2));
    NotifyLog log(*grid);
    for (Qt::Key k : {Qt::Key_7, Qt::Key_Return, Qt::Key_Backspace}) QTest::keyClick(grid.get(), k);
    doubleClickCell(*grid, 9, 2);
    EXPECT_EQ(grid->GetInPlaceEdit(), nullptr);
    EXPECT_TRUE(log.editCodes().empty());
    EXPECT_EQ(grid->GetItemText(9, 2), "9.2");
    // Typing still brought the focused cell into view.
    EXPECT_TRUE(grid->IsCellVisible(9, 2));
  }
}

TEST(GridInPlaceEdit, EscapeOnTheGridBelongsToTheWindow) {
  QDialog dialog;
  auto* grid = new CGridCtrl(5, 5, 1, 1);
  grid->Create(QRect(0, 0, 300, 150), &dialog, 102);
  dialog.show();
  test::focusGrid(*grid);
  clickCell(*grid, 2, 2);
  NotifyLog log(*grid);
  QTest::keyClick(grid, Qt::Key_Escape);
  EXPECT_EQ(grid->GetInPlaceEdit(), nullptr);
  EXPECT_TRUE(log.editCodes().empty());
  EXPECT_FALSE(dialog.isVisible());
  EXPECT_EQ(dialog.result(), QDialog::Rejected);
}

TEST(GridInPlaceEdit, ClosingTheGridWhileEditingTellsNothing) {
  auto grid = editableGrid();
  clickCell(*grid, 2, 2);
  QTest::keyClick(grid.get(), Qt::Key_7);
  ASSERT_NE(grid->GetInPlaceEdit(), nullptr);
  int notified = 0;
  QObject::connect(grid.get(), &CGridCtrl::gridNotify, [&](GridNotify*) { ++notified; });
  grid.reset();
  settle();
  EXPECT_EQ(notified, 0);
}

// ---- Title tips.

// A grid whose cell (2, 2) holds a text that needs `spare` pixels more than column 2 has
// to show it with a blank on each side (negative: it fits with room to spare).
std::unique_ptr<CGridCtrl> gridWithText(const QString& text, int spare) {
  auto grid = makeUniformGrid(400, 200, 20, 12);
  grid->SetItemText(2, 2, text);
  const QFontMetrics metrics(*grid->GetItemFont(2, 2));
  grid->SetColumnWidth(2, metrics.horizontalAdvance(" " + text + " ") - spare);
  grid->ResetScrollBars();
  return grid;
}

void hover(CGridCtrl& grid, QPoint point) {
  QMouseEvent move(QEvent::MouseMove, point, grid.viewport()->mapToGlobal(point), Qt::NoButton,
                   Qt::NoButton, Qt::NoModifier);
  QApplication::sendEvent(grid.viewport(), &move);
}

TEST(GridTitleTip, ShownOnlyWhenTheTextWithTwoBlanksDoesNotFit) {
  struct Case {
    int spare;
    bool shown;
  };
  for (const Case& c : {Case{-1, false}, Case{0, true}, Case{10, true}, Case{-20, false}}) {
    SCOPED_TRACE(c.spare);
    const QString text = QStringLiteral("A rather long cell text");
    auto grid = gridWithText(text, c.spare);
    hover(*grid, cellCentre(*grid, 2, 2));
    TitleTipWnd* tip = grid->GetTitleTip();
    ASSERT_NE(tip, nullptr);
    EXPECT_EQ(tip->isVisible(), c.shown);
    if (!c.shown) continue;
    const QFontMetrics metrics(*grid->GetItemFont(2, 2));
    EXPECT_EQ(tip->shownText(), " " + text + " ");
    EXPECT_EQ(tip->geometry(), QRect(grid->viewport()->mapToGlobal(QPoint(100, 40)),
                                     QSize(metrics.horizontalAdvance(" " + text + " "), 19)));
    EXPECT_EQ(tip->font(), *grid->GetItemFont(2, 2));
  }
}

TEST(GridTitleTip, HiddenOnLeavingTheCellKeysClicksAndScrolling) {
  const QString text = QStringLiteral("A rather long cell text");
  struct Case {
    const char* name;
    std::function<void(CGridCtrl&)> action;
    bool shown;
  };
  const Case cases[] = {
      {"moving within the cell keeps it", [](CGridCtrl& g) { hover(g, QPoint(101, 41)); }, true},
      {"one pixel below the cell hides it", [](CGridCtrl& g) { hover(g, QPoint(101, 60)); }, false},
      {"a key hides it", [](CGridCtrl& g) { QTest::keyClick(&g, Qt::Key_Shift); }, false},
      {"a click hides it and lands on the cell",
       [](CGridCtrl& g) {
         QTest::mouseClick(g.viewport(), Qt::LeftButton, {}, QPoint(101, 41));
         EXPECT_EQ(g.GetFocusCell(), (CellPos{2, 2}));
       },
       false},
      {"scrolling hides it", [](CGridCtrl& g) { g.OnVScroll(SB_LINEDOWN); }, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto grid = gridWithText(text, 5);
    hover(*grid, cellCentre(*grid, 2, 2));
    ASSERT_TRUE(grid->GetTitleTip()->isVisible());
    c.action(*grid);
    EXPECT_EQ(grid->GetTitleTip()->isVisible(), c.shown);
  }
}

TEST(GridTitleTip, TheGridReceivesTheMoveThatLeavesATip) {
  auto grid = gridWithText(QStringLiteral("A rather long cell text"), 5);
  grid->SetItemText(2, 3, QStringLiteral("Another text that is too long"));
  QRect cell2;
  ASSERT_TRUE(grid->GetCellRect(2, 2, &cell2));
  hover(*grid, cellCentre(*grid, 2, 2));
  EXPECT_EQ(grid->GetTitleTip()->shownText(), " A rather long cell text ");
  // One pixel right of cell (2, 2) is cell (2, 3): its own tip replaces the first.
  hover(*grid, QPoint(cell2.right() + 1, cell2.center().y()));
  EXPECT_TRUE(grid->GetTitleTip()->isVisible());
  EXPECT_EQ(grid->GetTitleTip()->shownText(), " Another text that is too long ");
}

TEST(GridTitleTip, HeadersShowTipsAndGridsWithoutTipsHaveNone) {
  auto grid = makeUniformGrid(400, 200, 20, 12);
  grid->SetItemText(0, 4, QStringLiteral("A heading too long for its column"));
  hover(*grid, cellCentre(*grid, 0, 4));
  EXPECT_TRUE(grid->GetTitleTip()->isVisible());

  CGridCtrl plain(3, 3, 1, 1);
  plain.titleTips = false;
  plain.Create(QRect(0, 0, 200, 100), nullptr, 7);
  EXPECT_EQ(plain.GetTitleTip(), nullptr);
}

}  // namespace
}  // namespace tabulor
