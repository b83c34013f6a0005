// The grid's keyboard, mouse and selection on a real widget driven by QTest: key moves as a
// table of key sequences, mouse presses and drags on cells and headers with the mouse mode
// they leave, the divider zones, resizing and auto-sizing, the drag-selection timer, the
// wheel, Delete and the command sent after a release.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCursor>
#include <QLineEdit>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>
#include <QWheelEvent>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "grid_test_support.h"

namespace tabulor {
namespace {

using test::cellCentre;
using test::makeUniformGrid;
using test::NotifyLog;

// 20 x 12 cells of 20 x 50 pixels with one fixed row and column in 400 x 200: rows 1 to 9
// and columns 1 to 7 are on screen; each bar scrolls by at most 200 pixels.
std::unique_ptr<CGridCtrl> standardGrid(bool editable = false) {
  return makeUniformGrid(400, 200, 20, 12, editable);
}

void press(CGridCtrl& grid, QPoint point, Qt::KeyboardModifiers modifiers = {}) {
  QTest::mousePress(grid.viewport(), Qt::LeftButton, modifiers, point);
}
void release(CGridCtrl& grid, QPoint point) {
  QTest::mouseRelease(grid.viewport(), Qt::LeftButton, {}, point);
}
// A move with the left button held (after press).
void drag(CGridCtrl& grid, QPoint point) {
  QTest::mouseMove(grid.viewport(), point);
}
// A move with no button held.
void hover(CGridCtrl& grid, QPoint point) {
  QMouseEvent move(QEvent::MouseMove, point, grid.viewport()->mapToGlobal(point), Qt::NoButton,
                   Qt::NoButton, Qt::NoModifier);
  QApplication::sendEvent(grid.viewport(), &move);
}
void doubleClick(CGridCtrl& grid, QPoint point) {
  press(grid, point);
  release(grid, point);
  QTest::mouseDClick(grid.viewport(), Qt::LeftButton, {}, point);
  release(grid, point);
}

// ---- Keyboard.

// One user action of a case: a click on a cell, or a key with modifiers.
struct Action {
  enum Kind { Click, Key } kind;
  int row = 0, col = 0;
  Qt::Key key = Qt::Key_unknown;
  Qt::KeyboardModifiers modifiers;
};
Action click(int row, int col, Qt::KeyboardModifiers m = {}) {
  return {Action::Click, row, col, Qt::Key_unknown, m};
}
Action key(Qt::Key k, Qt::KeyboardModifiers m = {}) {
  return {Action::Key, 0, 0, k, m};
}
// `head`, then `action` `times` times, then `tail`.
std::vector<Action> repeat(std::vector<Action> head, Action action, int times,
                           const std::vector<Action>& tail = {}) {
  for (int i = 0; i < times; ++i) head.push_back(action);
  head.insert(head.end(), tail.begin(), tail.end());
  return head;
}

void perform(CGridCtrl& grid, const std::vector<Action>& actions) {
  for (const Action& a : actions) {
    if (a.kind == Action::Click) {
      const QPoint p = cellCentre(grid, a.row, a.col);
      press(grid, p, a.modifiers);
      release(grid, p);
    } else {
      QTest::keyClick(&grid, a.key, a.modifiers);
    }
  }
}

struct KeyCase {
  const char* name;
  std::vector<Action> actions;
  CellPos focus;
  CellRange selection;  // the bounding range; (rowCount, colCount, -1, -1) for none
  int topRow = -1;      // top-left non-fixed row afterwards, -1: not checked
  int hPos = -1;        // horizontal scroll position afterwards, -1: not checked
};

const Qt::KeyboardModifiers Shift = Qt::ShiftModifier;
const CellRange NoSelection{20, 12, -1, -1};

TEST(GridKeyboard, MovesAndSelections) {
  const KeyCase cases[] = {
      {"arrows before any click do nothing",
       {key(Qt::Key_Down), key(Qt::Key_Right), key(Qt::Key_A, Qt::ControlModifier)},
       {-1, -1},
       NoSelection},
      {"a click focuses and selects the cell", {click(3, 2)}, {3, 2}, {3, 2, 3, 2}},
      {"Right moves the focus and selects only the new cell",
       {click(3, 2), key(Qt::Key_Right)},
       {3, 3},
       {3, 3, 3, 3}},
      {"Shift+Right extends from the cell a plain move reached",
       {click(3, 2), key(Qt::Key_Right), key(Qt::Key_Right, Shift)},
       {3, 4},
       {3, 3, 3, 4}},
      {"Shift+Right twice extends from the clicked cell",
       {click(3, 2), key(Qt::Key_Right, Shift), key(Qt::Key_Right, Shift)},
       {3, 4},
       {3, 2, 3, 4}},
      {"Shift+Down then Shift+Left keep the anchor",
       {click(3, 3), key(Qt::Key_Down, Shift), key(Qt::Key_Left, Shift)},
       {4, 2},
       {3, 2, 4, 3}},
      {"Left stops at the first non-fixed column",
       {click(3, 1), key(Qt::Key_Left)},
       {3, 1},
       {3, 1, 3, 1}},
      {"Up stops at the first non-fixed row", {click(1, 3), key(Qt::Key_Up)}, {1, 3}, {1, 3, 1, 3}},
      {"Down past the last row on screen scrolls one row more",
       {click(9, 1), key(Qt::Key_Down)},
       {10, 1},
       {10, 1, 10, 1},
       3},
      {"Tab moves right", {click(3, 2), key(Qt::Key_Tab)}, {3, 3}, {3, 3, 3, 3}},
      {"Tab on the last column wraps to the next row and scrolls fully left",
       repeat({click(9, 7)}, key(Qt::Key_Right), 4, {key(Qt::Key_Tab)}),
       {10, 1},
       {10, 1, 10, 1},
       3,
       0},
      {"Shift+Tab on the first column wraps to the row above and scrolls fully right",
       {click(3, 1), key(Qt::Key_Tab, Shift)},
       {2, 11},
       {2, 11, 2, 11},
       1,
       200},
      {"Shift+Tab extends nothing: it moves the anchor",
       {click(3, 3), key(Qt::Key_Backtab, Shift)},
       {3, 2},
       {3, 2, 3, 2}},
      {"Tab on the last cell of the grid does nothing",
       repeat({click(1, 7), key(Qt::Key_End)}, key(Qt::Key_Right), 4, {key(Qt::Key_Tab)}),
       {19, 11},
       {19, 11, 19, 11}},
      {"Page Down moves as far as the page scrolled",
       {click(1, 1), key(Qt::Key_PageDown)},
       {10, 1},
       {10, 1, 10, 1},
       10},
      {"Page Down near the end moves by the rows still scrolled",
       {click(1, 1), key(Qt::Key_PageDown), key(Qt::Key_PageDown)},
       {11, 1},
       {11, 1, 11, 1},
       11},
      {"Page Down when the view cannot scroll goes to the last row",
       {click(1, 1), key(Qt::Key_PageDown), key(Qt::Key_PageDown), key(Qt::Key_PageDown)},
       {19, 1},
       {19, 1, 19, 1},
       11},
      {"Page Up at the top goes to the first row",
       {click(5, 2), key(Qt::Key_PageUp)},
       {1, 2},
       {1, 2, 1, 2},
       1},
      {"End goes to the last row, same column",
       {click(5, 3), key(Qt::Key_End)},
       {19, 3},
       {19, 3, 19, 3},
       11},
      {"Home goes back to the first row",
       {click(5, 3), key(Qt::Key_End), key(Qt::Key_Home)},
       {1, 3},
       {1, 3, 1, 3},
       1},
      {"Ctrl+A selects every non-fixed cell and keeps the focus",
       {click(2, 2), key(Qt::Key_A, Qt::ControlModifier)},
       {2, 2},
       {1, 1, 19, 11}},
  };
  for (const KeyCase& c : cases) {
    SCOPED_TRACE(c.name);
    auto grid = standardGrid();
    perform(*grid, c.actions);
    EXPECT_EQ(grid->GetFocusCell(), c.focus);
    EXPECT_EQ(grid->GetSelectedCellRange(), c.selection);
    if (c.selection != NoSelection)
      EXPECT_EQ(grid->GetSelectedCount(), c.selection.GetRowSpan() * c.selection.GetColSpan());
    if (c.topRow >= 0) EXPECT_EQ(grid->GetTopLeftNonFixedCell().row, c.topRow);
    if (c.hPos >= 0) EXPECT_EQ(grid->GetScrollPos32(SB_HORZ), c.hPos);
    EXPECT_EQ(grid->mouseMode, MouseNothing);
  }
}

TEST(GridKeyboard, ListModeSelectsWholeRows) {
  auto grid = standardGrid();
  grid->SetListMode(true);
  perform(*grid, {click(3, 2)});
  EXPECT_EQ(grid->GetSelectedCellRange(), (CellRange{3, 1, 3, 11}));
  perform(*grid, {key(Qt::Key_Down), key(Qt::Key_Down, Shift)});
  EXPECT_EQ(grid->GetFocusCell(), (CellPos{5, 2}));
  EXPECT_EQ(grid->GetSelectedCellRange(), (CellRange{4, 1, 5, 11}));

  grid->SetSingleRowSelection(true);
  perform(*grid, {key(Qt::Key_Down, Shift)});
  EXPECT_EQ(grid->GetSelectedCellRange(), (CellRange{6, 1, 6, 11}));
}

TEST(GridKeyboard, WantsTabOnlyWhenItHandlesTab) {
  auto grid = standardGrid();
  EXPECT_EQ(grid->OnGetDlgCode({}), 0x83u);
  EXPECT_EQ(grid->OnGetDlgCode(Qt::ControlModifier), 0x81u);
  grid->SetHandleTabKey(false);
  EXPECT_EQ(grid->OnGetDlgCode({}), 0x81u);
}

TEST(GridKeyboard, DeleteEmptiesOnlyEditableCells) {
  struct Case {
    bool editable;
    bool readOnlyCell;
    QString text;
    std::vector<int> codes;
  };
  const Case cases[] = {
      {false, false, "2.2", {}},
      {true, true, "2.2", {}},
      {true, false, "", {LVN_BEGINLABELEDITA, LVN_ENDLABELEDITA}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message()
                 << "editable " << c.editable << " read-only " << c.readOnlyCell);
    auto grid = standardGrid(c.editable);
    if (c.readOnlyCell) grid->SetItemState(2, 2, CellReadOnly);
    perform(*grid, {click(2, 2)});
    NotifyLog log(*grid);
    QTest::keyClick(grid.get(), Qt::Key_Delete);
    EXPECT_EQ(grid->GetItemText(2, 2), c.text);
    EXPECT_EQ(log.editCodes(), c.codes);
    EXPECT_EQ(grid->GetModified(), !c.codes.empty());
    EXPECT_EQ(bool(grid->GetItemState(2, 2) & CellModified), !c.codes.empty());
    EXPECT_EQ(grid->GetFocusCell(), (CellPos{2, 2}));
  }
}

// ---- Mouse selection.

struct MouseStep {
  enum Kind { Press, Drag, Release, ExpectMode } kind;
  int row = 0, col = 0;
  Qt::KeyboardModifiers modifiers;
  int mode = MouseNothing;
};
MouseStep pressOn(int row, int col, Qt::KeyboardModifiers m = {}) {
  return {MouseStep::Press, row, col, m};
}
MouseStep dragTo(int row, int col) {
  return {MouseStep::Drag, row, col, {}};
}
MouseStep releaseOn(int row, int col) {
  return {MouseStep::Release, row, col, {}};
}
MouseStep modeIs(int mode) {
  return {MouseStep::ExpectMode, 0, 0, {}, mode};
}

TEST(GridMouse, PressesAndDragsSelect) {
  struct Case {
    const char* name;
    std::vector<MouseStep> steps;
    CellPos focus;
    CellRange selection;
    int count;
  };
  const Qt::KeyboardModifiers Ctrl = Qt::ControlModifier;
  const Case cases[] = {
      {"corner press selects everything",
       {pressOn(0, 0), modeIs(MouseSelectAll), releaseOn(0, 0)},
       {1, 1},
       {1, 1, 19, 11},
       209},
      {"column header press selects the column and focuses its first cell",
       {pressOn(0, 3), modeIs(MouseSelectCol), releaseOn(0, 3)},
       {1, 3},
       {1, 3, 19, 3},
       19},
      {"dragging along the headers selects whole columns",
       {pressOn(0, 3), dragTo(0, 5), modeIs(MouseSelectCol), releaseOn(0, 5)},
       {1, 3},
       {1, 3, 19, 5},
       57},
      {"row header press selects the row and focuses its first cell",
       {pressOn(4, 0), modeIs(MouseSelectRow), dragTo(5, 0), releaseOn(5, 0)},
       {4, 1},
       {4, 1, 5, 11},
       22},
      {"dragging over cells selects the block and moves the focus",
       {pressOn(2, 2), modeIs(MouseSelectCells), dragTo(4, 3), releaseOn(4, 3)},
       {4, 3},
       {2, 2, 4, 3},
       6},
      {"a drag over a row header keeps the block",
       {pressOn(2, 2), dragTo(4, 3), dragTo(5, 0), releaseOn(5, 0)},
       {4, 3},
       {2, 2, 4, 3},
       6},
      {"Ctrl+press keeps the old selection beside the new block",
       {pressOn(2, 2), releaseOn(2, 2), pressOn(4, 4, Ctrl), dragTo(5, 4), releaseOn(5, 4)},
       {5, 4},
       {2, 2, 5, 4},
       3},
      {"Shift+press extends from the focused cell",
       {pressOn(2, 2), releaseOn(2, 2), pressOn(4, 4, Shift), releaseOn(4, 4)},
       {4, 4},
       {2, 2, 4, 4},
       9},
      {"a press on the focused cell prepares editing and keeps the selection",
       {pressOn(2, 2), dragTo(3, 3), releaseOn(3, 3), pressOn(3, 3), modeIs(MousePrepareEdit),
        releaseOn(3, 3)},
       {3, 3},
       {2, 2, 3, 3},
       4},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto grid = standardGrid();
    for (const MouseStep& s : c.steps) {
      switch (s.kind) {
        case MouseStep::Press:
          press(*grid, cellCentre(*grid, s.row, s.col), s.modifiers);
          break;
        case MouseStep::Drag:
          drag(*grid, cellCentre(*grid, s.row, s.col));
          break;
        case MouseStep::Release:
          release(*grid, cellCentre(*grid, s.row, s.col));
          break;
        case MouseStep::ExpectMode:
          EXPECT_EQ(grid->mouseMode, s.mode);
          break;
      }
    }
    EXPECT_EQ(grid->mouseMode, MouseNothing);
    EXPECT_EQ(grid->GetFocusCell(), c.focus);
    EXPECT_EQ(grid->GetSelectedCellRange(), c.selection);
    EXPECT_EQ(grid->GetSelectedCount(), c.count);
  }
}

TEST(GridMouse, PressOutsideTheCellsChangesNothing) {
  auto grid = makeUniformGrid(400, 200, 3, 3);
  press(*grid, cellCentre(*grid, 1, 1));
  release(*grid, cellCentre(*grid, 1, 1));
  QCoreApplication::processEvents();
  QSignalSpy commands(grid.get(), &CGridCtrl::gridCommand);
  press(*grid, QPoint(300, 150));
  EXPECT_EQ(grid->mouseMode, MouseNothing);
  EXPECT_EQ(grid->timerId, 0);
  EXPECT_EQ(grid->GetFocusCell(), (CellPos{1, 1}));
  EXPECT_EQ(grid->GetSelectedCount(), 1);
  release(*grid, QPoint(300, 150));
  QCoreApplication::processEvents();
  EXPECT_EQ(commands.count(), 0);
}

TEST(GridMouse, ReleaseQueuesTheCommandToTheOwner) {
  auto grid = standardGrid();
  QSignalSpy commands(grid.get(), &CGridCtrl::gridCommand);
  press(*grid, cellCentre(*grid, 2, 2));
  release(*grid, cellCentre(*grid, 2, 2));
  EXPECT_EQ(commands.count(), 0);
  QCoreApplication::processEvents();
  ASSERT_EQ(commands.count(), 1);
  EXPECT_EQ(commands[0][0].toInt(), 102);
  EXPECT_EQ(commands[0][1].toInt(), 0);
}

TEST(GridMouse, DisabledSelectionSelectsNothing) {
  auto grid = standardGrid();
  grid->EnableSelection(false);
  perform(*grid, {click(2, 2), key(Qt::Key_Right), key(Qt::Key_A, Qt::ControlModifier)});
  EXPECT_EQ(grid->GetFocusCell(), (CellPos{2, 3}));
  EXPECT_EQ(grid->GetSelectedCount(), 0);
  EXPECT_FALSE(grid->OnUpdateCommand(ID_EDIT_SELECT_ALL));
}

// ---- The drag-selection timer.

TEST(GridMouse, TimerGrowsTheSelectionTowardsThePointer) {
  auto grid = standardGrid();
  press(*grid, cellCentre(*grid, 2, 2));
  EXPECT_NE(grid->timerId, 0);
  // Below the window: the focus moves one row, the block reaches the row at the bottom.
  QCursor::setPos(grid->viewport()->mapToGlobal(QPoint(125, 260)));
  grid->OnTimer(DragSelectTimerId);
  EXPECT_EQ(grid->GetFocusCell(), (CellPos{3, 2}));
  EXPECT_EQ(grid->GetSelectedCellRange(), (CellRange{2, 2, 10, 2}));
  // Left of the row headers as well: the block also reaches the first column.
  QCursor::setPos(grid->viewport()->mapToGlobal(QPoint(10, 260)));
  grid->OnTimer(DragSelectTimerId);
  EXPECT_EQ(grid->GetSelectedCellRange(), (CellRange{2, 1, 10, 2}));
  // Another timer id changes nothing.
  const CellRange before = grid->GetSelectedCellRange();
  grid->OnTimer(DragSelectTimerId + 1);
  EXPECT_EQ(grid->GetSelectedCellRange(), before);

  release(*grid, cellCentre(*grid, 4, 2));
  EXPECT_EQ(grid->timerId, 0);
  EXPECT_EQ(grid->mouseMode, MouseNothing);
}

TEST(GridMouse, TimerRunsAtItsPeriodWhileTheButtonIsDown) {
  auto grid = standardGrid();
  press(*grid, cellCentre(*grid, 8, 2));
  QCursor::setPos(grid->viewport()->mapToGlobal(QPoint(125, 400)));
  QTest::qWait(200);
  release(*grid, QPoint(125, 100));
  // Several ticks ran: the view scrolled down with the growing block.
  EXPECT_GT(grid->GetTopLeftNonFixedCell().row, 1);
  EXPECT_GT(grid->GetSelectedCellRange().maxRow, 10);
  EXPECT_EQ(grid->timerId, 0);
}

// ---- Dividers.

TEST(GridDividers, ZonesAreThreePixelsEitherSideExceptAtTheStart) {
  auto grid = standardGrid();
  struct Case {
    QPoint point;
    bool column, row;
  };
  const Case cases[] = {
      {{2, 10}, false, false},   // left edge of column 0 and top of row 0: no zone
      {{47, 10}, true, false},   // 3 pixels before the end of column 0
      {{46, 10}, false, false},  // 4 pixels before
      {{53, 10}, true, false},   // 3 pixels into column 1
      {{54, 10}, false, false}, {{53, 30}, false, false},  // below the fixed row: no column zone
      {{10, 37}, false, true},  // 3 pixels before the end of row 1, in the fixed column
      {{10, 43}, false, true},  // 3 pixels into row 2
      {{10, 44}, false, false}, {{60, 43}, false, false},  // right of the fixed column: no row zone
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.point.x() << "," << c.point.y());
    EXPECT_EQ(grid->MouseOverColumnResizeArea(c.point), c.column);
    EXPECT_EQ(grid->MouseOverRowResizeArea(c.point), c.row);
  }
}

TEST(GridDividers, HoverSetsTheModeAndCursor) {
  auto grid = standardGrid();
  hover(*grid, QPoint(152, 10));
  EXPECT_EQ(grid->mouseMode, MouseOverColDivide);
  EXPECT_EQ(grid->viewport()->cursor().shape(), Qt::SizeHorCursor);
  hover(*grid, QPoint(10, 41));
  EXPECT_EQ(grid->mouseMode, MouseOverRowDivide);
  EXPECT_EQ(grid->viewport()->cursor().shape(), Qt::SizeVerCursor);
  hover(*grid, QPoint(125, 50));
  EXPECT_EQ(grid->mouseMode, MouseNothing);
  EXPECT_EQ(grid->viewport()->cursor().shape(), Qt::ArrowCursor);

  grid->SetColumnResize(false);
  hover(*grid, QPoint(152, 10));
  EXPECT_EQ(grid->mouseMode, MouseNothing);
}

TEST(GridDividers, DraggingResizes) {
  struct Case {
    const char* name;
    QPoint pressAt, releaseAt;
    int sizingMode;
    int colWidth2, colWidth3, rowHeight1;
  };
  const Case cases[] = {
      {"2 pixels right of the divider of columns 2 and 3 sizes column 2",
       {152, 10},
       {172, 10},
       MouseSizingCol,
       72,
       50,
       20},
      {"2 pixels left of it sizes column 2 too", {148, 10}, {130, 10}, MouseSizingCol, 30, 50, 20},
      {"a release at the press point changes nothing",
       {152, 10},
       {152, 10},
       MouseSizingCol,
       50,
       50,
       20},
      {"the pointer cannot pass the column's left edge",
       {152, 10},
       {20, 10},
       MouseSizingCol,
       0,
       50,
       20},
      {"a row divider in the fixed column sizes the row above",
       {10, 42},
       {10, 50},
       MouseSizingRow,
       50,
       50,
       30},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto grid = standardGrid();
    hover(*grid, c.pressAt);
    press(*grid, c.pressAt);
    EXPECT_EQ(grid->mouseMode, c.sizingMode);
    drag(*grid, (c.pressAt + c.releaseAt) / 2);
    drag(*grid, c.releaseAt);
    release(*grid, c.releaseAt);
    EXPECT_EQ(grid->mouseMode, MouseNothing);
    EXPECT_EQ(grid->GetColumnWidth(2), c.colWidth2);
    EXPECT_EQ(grid->GetColumnWidth(3), c.colWidth3);
    EXPECT_EQ(grid->GetRowHeight(1), c.rowHeight1);
    // A divider press is no selection press: nothing is selected, no timer runs.
    EXPECT_EQ(grid->GetSelectedCount(), 0);
    EXPECT_EQ(grid->timerId, 0);
  }
}

TEST(GridDividers, SizingBarIsInvertedWhileDragging) {
  auto grid = standardGrid();
  const QImage before = test::grabClient(*grid);
  hover(*grid, QPoint(152, 10));
  press(*grid, QPoint(152, 10));
  drag(*grid, QPoint(160, 10));
  const QImage during = test::grabClient(*grid);
  const QColor was = before.pixelColor(160, 105);
  EXPECT_EQ(during.pixelColor(160, 105),
            QColor(255 - was.red(), 255 - was.green(), 255 - was.blue()));
  EXPECT_EQ(during.pixelColor(161, 105), during.pixelColor(160, 105));
  // The bar left the press point when it moved, and goes with the release.
  EXPECT_EQ(during.pixelColor(152, 105), before.pixelColor(152, 105));
  release(*grid, QPoint(152, 10));
  EXPECT_EQ(test::grabClient(*grid).pixelColor(160, 105), was);
}

TEST(GridDividers, DoubleClickAutoSizes) {
  auto grid = standardGrid();
  grid->SetItemText(4, 2, QStringLiteral("a much longer text than fits"));
  grid->SetItemText(6, 1, QStringLiteral("row one wide text"));
  auto widest = [&](int col) {
    int width = 0;
    for (int r = 0; r < grid->GetRowCount(); ++r)
      width = std::max(width, grid->GetCellExtent(r, col, grid->viewport()).width());
    return width;
  };
  const int expected2 = widest(2), expected1 = widest(1);
  ASSERT_GT(expected2, 50);

  // Right of the divider between columns 2 and 3: the column left of it.
  hover(*grid, QPoint(152, 10));
  doubleClick(*grid, QPoint(152, 10));
  EXPECT_EQ(grid->GetColumnWidth(2), expected2);
  EXPECT_EQ(grid->GetColumnWidth(3), 50);
  EXPECT_EQ(grid->mouseMode, MouseNothing);

  // Left of the divider between columns 1 and 2, without a move first.
  doubleClick(*grid, QPoint(98, 10));
  EXPECT_EQ(grid->GetColumnWidth(1), expected1);

  // A row divider.
  grid->SetItemFont(3, 4, QFont(grid->GetFont().family(), 30));
  doubleClick(*grid, QPoint(10, 79));
  EXPECT_GT(grid->GetRowHeight(3), 30);
}

// ---- Wheel.

TEST(GridWheel, LinesPerNotchOrPages) {
  struct Case {
    const char* name;
    std::vector<int> deltas;
    unsigned linesPerNotch;
    int topRow;
  };
  const Case cases[] = {
      {"one notch towards the user scrolls three lines", {-120}, 3, 4},
      {"and one notch back returns", {-120, 120}, 3, 1},
      {"one line per notch", {-120, -120}, 1, 3},
      {"the page setting scrolls a page per notch", {-120}, unsigned(-1), 10},
      {"parts of a notch add up", {-30, -30}, 3, 2},
      {"a part alone scrolls nothing", {-30}, 3, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto grid = standardGrid();
    grid->SetRowsPerWheelNotch(c.linesPerNotch);
    for (const int delta : c.deltas) {
      const QPoint at(100, 100);
      QWheelEvent wheel(at, grid->viewport()->mapToGlobal(at), QPoint(), QPoint(0, delta),
                        Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
      QApplication::sendEvent(grid->viewport(), &wheel);
    }
    // The scroll requests are queued, not run inside the wheel handler.
    EXPECT_EQ(grid->GetTopLeftNonFixedCell().row, 1);
    QCoreApplication::processEvents();
    EXPECT_EQ(grid->GetTopLeftNonFixedCell().row, c.topRow);
  }
}

// What the window shows (its backing store) after the grid repainted what changed.
QImage onScreen(CGridCtrl& grid) {
  QCoreApplication::processEvents();
  const QPoint at = grid.viewport()->mapTo(grid.window(), QPoint(0, 0));
  return grid.screen()
      ->grabWindow(grid.window()->winId(), at.x(), at.y(), grid.viewport()->width(),
                   grid.viewport()->height())
      .toImage()
      .convertToFormat(QImage::Format_RGB32);
}

TEST(GridScroll, TheScreenMatchesAFreshPaintAfterEveryScroll) {
  auto grid = standardGrid();
  for (int c = 1; c < 12; ++c) grid->SetColumnWidth(c, 40 + 3 * c);  // unequal steps
  grid->SetRowHeight(4, 31);
  grid->ResetScrollBars();
  const std::pair<const char*, std::function<void()>> steps[] = {
      {"click",
       [&] { QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, cellCentre(*grid, 1, 1)); }},
      {"down past the bottom",
       [&] {
         for (int i = 0; i < 12; ++i) QTest::keyClick(grid.get(), Qt::Key_Down);
       }},
      {"right past the edge",
       [&] {
         for (int i = 0; i < 9; ++i) QTest::keyClick(grid.get(), Qt::Key_Right, Qt::ShiftModifier);
       }},
      {"tab wrapping to the next row", [&] { QTest::keyClick(grid.get(), Qt::Key_Tab); }},
      {"page down", [&] { QTest::keyClick(grid.get(), Qt::Key_PageDown); }},
      {"thumb dragged to an odd position", [&] { grid->SetScrollPos32(SB_VERT, 37); }},
      {"line up", [&] { grid->OnVScroll(SB_LINEUP); }},
      {"both bars at once",
       [&] {
         grid->SetScrollPos32(SB_HORZ, 0);
         grid->SetScrollPos32(SB_VERT, 0);
       }},
  };
  for (const auto& [name, step] : steps) {
    SCOPED_TRACE(name);
    step();
    EXPECT_TRUE(onScreen(*grid) == test::grabClient(*grid));
  }
}

TEST(GridScroll, ScrollingTakesTheFocusFromAnotherWidget) {
  QWidget window;
  auto* other = new QLineEdit(&window);
  auto grid = std::make_unique<CGridCtrl>(20, 12, 1, 1);
  grid->Create(QRect(0, 30, 400, 200), &window, 102);
  window.show();
  QApplication::setActiveWindow(&window);
  other->setFocus();
  ASSERT_EQ(QApplication::focusWidget(), other);
  grid->OnVScroll(SB_LINEDOWN);
  EXPECT_EQ(QApplication::focusWidget(), grid.get());
  grid.reset();
}

}  // namespace
}  // namespace tabulor
