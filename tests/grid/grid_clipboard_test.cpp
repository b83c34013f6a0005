// Clipboard and drag-and-drop of the grid on real widgets: the exact text of a copy, the
// paste tokenising (TAB, comma, LF, CR LF, trimming, overflow), the grid's own cell format
// carrying cells unchanged between grids, cut, the refusals of a read-only grid, the command
// states, the drop target driven by Qt's drag events (a move that cannot land whole turns
// into a copy), and drags out of a grid into another grid or itself.
#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QDropEvent>
#include <QMimeData>
#include <QTest>
#include <functional>
#include <memory>
#include <vector>

#include "grid_test_support.h"

namespace tabulor {
namespace {

using test::cellCentre;
using test::makeUniformGrid;
using test::NotifyLog;

void clickCell(CGridCtrl& grid, int row, int col, Qt::KeyboardModifiers m = {}) {
  QTest::mouseClick(grid.viewport(), Qt::LeftButton, m, cellCentre(grid, row, col));
}

QString copied(CGridCtrl& grid) {
  std::unique_ptr<QMimeData> data(grid.CopyTextFromGrid());
  return data ? data->text() : QStringLiteral("<none>");
}

std::unique_ptr<QMimeData> textData(const QString& text) {
  auto data = std::make_unique<QMimeData>();
  data->setText(text);
  return data;
}

// ---- Copy.

TEST(GridCopy, TextOfTheSelection) {
  struct Case {
    const char* name;
    std::function<void(CGridCtrl&)> select;
    QString text;
  };
  const Case cases[] = {
      {"a block: TAB between columns, LF between rows, a blank for an empty cell",
       [](CGridCtrl& g) {
         g.SetItemText(1, 1, "a");
         g.SetItemText(1, 2, "");
         g.SetItemText(2, 1, "c");
         g.SetItemText(2, 2, "d");
         clickCell(g, 1, 1);
         clickCell(g, 2, 2, Qt::ShiftModifier);
       },
       "a\t \nc\td"},
      {"cells picked with Ctrl: unselected cells give nothing but their TAB",
       [](CGridCtrl& g) {
         clickCell(g, 1, 1);
         clickCell(g, 2, 3, Qt::ControlModifier);
       },
       "1.1\t\t\n\t\t2.3"},
      {"one cell", [](CGridCtrl& g) { clickCell(g, 4, 4); }, "4.4"},
      {"text outside ASCII",
       [](CGridCtrl& g) {
         g.SetItemText(3, 3, QStringLiteral("Größe €"));
         clickCell(g, 3, 3);
       },
       QStringLiteral("Größe €")},
      {"nothing selected: no data",
       [](CGridCtrl& g) {
         clickCell(g, 4, 4);
         g.SetSelectedRange(-1, -1, -1, -1);
       },
       "<none>"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto grid = makeUniformGrid(400, 200, 20, 12);
    c.select(*grid);
    EXPECT_EQ(copied(*grid), c.text);

    // Ctrl+C puts the same text on the clipboard as UTF-8, without a terminating NUL;
    // with nothing to copy the clipboard keeps what it held.
    QGuiApplication::clipboard()->setText(QStringLiteral("before"));
    QTest::keyClick(grid.get(), Qt::Key_C, Qt::ControlModifier);
    const QString expected = c.text == "<none>" ? QStringLiteral("before") : c.text;
    EXPECT_EQ(QGuiApplication::clipboard()->mimeData()->data("text/plain"), expected.toUtf8());
  }
}

// ---- Paste.

struct Cell {
  int row, col;
  QString text;
};

TEST(GridPaste, TokenisingAndPlacement) {
  struct Case {
    const char* name;
    QString text;
    CellPos anchor;
    std::vector<Cell> expect;
  };
  const Case cases[] = {
      {"comma and TAB separate fields",
       "x,y\tz",
       {3, 2},
       {{3, 2, "x"}, {3, 3, "y"}, {3, 4, "z"}, {3, 5, "3.5"}}},
      {"runs of separators count as one",
       "x\t\ty",
       {3, 2},
       {{3, 2, "x"}, {3, 3, "y"}, {3, 4, "3.4"}}},
      {"lines go down",
       "a\tb\nc\td",
       {3, 2},
       {{3, 2, "a"}, {3, 3, "b"}, {4, 2, "c"}, {4, 3, "d"}, {5, 2, "5.2"}}},
      {"CR LF line ends paste as LF does",
       "a\tb\r\nc\td\r\n",
       {3, 2},
       {{3, 2, "a"}, {3, 3, "b"}, {4, 2, "c"}, {4, 3, "d"}, {5, 2, "5.2"}}},
      {"an empty line empties the anchor column's cell",
       "a\n\nb",
       {3, 2},
       {{3, 2, "a"}, {4, 2, ""}, {4, 3, "4.3"}, {5, 2, "b"}}},
      {"fields are trimmed", "  padded \t x ", {3, 2}, {{3, 2, "padded"}, {3, 3, "x"}}},
      {"the text ends at a NUL",
       QString::fromUtf8("a\tb\0c\td", 7),
       {3, 2},
       {{3, 2, "a"}, {3, 3, "b"}, {3, 4, "3.4"}}},
      {"fields beyond the grid are dropped",
       "p\tq\tr\ns\tt\tu\nv",
       {18, 10},
       {{18, 10, "p"}, {18, 11, "q"}, {19, 10, "s"}, {19, 11, "t"}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto grid = makeUniformGrid(400, 200, 20, 12, true);
    clickCell(*grid, c.anchor.row, c.anchor.col);
    NotifyLog log(*grid);
    EXPECT_TRUE(grid->PasteTextToGrid(c.anchor, textData(c.text).get()));
    int written = 0;
    for (const Cell& cell : c.expect) {
      EXPECT_EQ(grid->GetItemText(cell.row, cell.col), cell.text) << cell.row << "," << cell.col;
      if (cell.text != QStringLiteral("%1.%2").arg(cell.row).arg(cell.col)) {
        ++written;
        EXPECT_TRUE(grid->GetItemState(cell.row, cell.col) & CellModified);
      }
    }
    // Each written cell is announced before and after; the anchor leaves the selection.
    EXPECT_EQ(int(log.editCodes().size()), 2 * written);
    EXPECT_FALSE(grid->GetItemState(c.anchor.row, c.anchor.col) & CellSelected);
    EXPECT_EQ(grid->GetSelectedCount(), 0);
  }
}

TEST(GridPaste, RefusalsAndReadOnlyCells) {
  auto data = textData("x\ty\tz");
  {
    SCOPED_TRACE("read-only grid");
    auto grid = makeUniformGrid(400, 200, 20, 12, false);
    EXPECT_FALSE(grid->PasteTextToGrid({3, 2}, data.get()));
    EXPECT_EQ(grid->GetItemText(3, 2), "3.2");
  }
  auto grid = makeUniformGrid(400, 200, 20, 12, true);
  {
    SCOPED_TRACE("an invalid anchor, no text, a read-only anchor");
    EXPECT_FALSE(grid->PasteTextToGrid({-1, -1}, data.get()));
    QMimeData noText;
    noText.setData("application/octet-stream", "x");
    EXPECT_FALSE(grid->PasteTextToGrid({3, 2}, &noText));
    grid->SetItemState(3, 2, CellReadOnly);
    EXPECT_FALSE(grid->PasteTextToGrid({3, 2}, data.get()));
    EXPECT_EQ(grid->GetItemText(3, 2), "3.2");
  }
  {
    SCOPED_TRACE("a read-only cell inside the pasted block keeps its text");
    EXPECT_TRUE(grid->PasteTextToGrid({3, 1}, data.get()));
    EXPECT_EQ(grid->GetItemText(3, 1), "x");
    EXPECT_EQ(grid->GetItemText(3, 2), "3.2");
    EXPECT_EQ(grid->GetItemText(3, 3), "z");
  }
}

TEST(GridPaste, FromTheClipboardAtTheFocusOrTheTopLeftCell) {
  auto grid = makeUniformGrid(400, 200, 20, 12, true);
  QGuiApplication::clipboard()->setText("p\tq");
  grid->OnEditPaste();  // no focused cell: the top-left non-fixed cell
  EXPECT_EQ(grid->GetItemText(1, 1), "p");
  EXPECT_EQ(grid->GetItemText(1, 2), "q");
  clickCell(*grid, 5, 5);
  QTest::keyClick(grid.get(), Qt::Key_V, Qt::ControlModifier);
  EXPECT_EQ(grid->GetItemText(5, 5), "p");
  EXPECT_EQ(grid->GetItemText(5, 6), "q");
}

// ---- The grid's own cell format: cells copied from one grid arrive in another exactly.

TEST(GridCellFormat, CopiedCellsPasteUnchanged) {
  struct Case {
    const char* name;
    std::function<void(CGridCtrl&)> select;  // in the source grid, with (2, 2) and (2, 3) set
    std::vector<Cell> expect;                // in the target grid, pasted at (5, 5)
  };
  const Case cases[] = {
      {"a comma, a TAB, a line break and outer blanks stay inside their cells",
       [](CGridCtrl& g) {
         clickCell(g, 2, 2);
         clickCell(g, 2, 3, Qt::ShiftModifier);
       },
       {{5, 5, "Smith, John\tJr."}, {5, 6, "  two\nlines "}, {5, 7, "5.7"}, {6, 5, "6.5"}}},
      {"a selected empty cell empties its target; quotes and backslashes survive",
       [](CGridCtrl& g) {
         g.SetItemText(2, 2, "");
         g.SetItemText(2, 3, QStringLiteral("\"q\" \\ Größe €"));
         clickCell(g, 2, 2);
         clickCell(g, 2, 3, Qt::ShiftModifier);
       },
       {{5, 5, ""}, {5, 6, QStringLiteral("\"q\" \\ Größe €")}}},
      {"the gaps of a Ctrl selection leave their target cells alone",
       [](CGridCtrl& g) {
         clickCell(g, 2, 2);
         clickCell(g, 3, 4, Qt::ControlModifier);
       },
       {{5, 5, "Smith, John\tJr."}, {5, 6, "5.6"}, {5, 7, "5.7"}, {6, 5, "6.5"}, {6, 7, "3.4"}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto source = makeUniformGrid(400, 200, 20, 12, true);
    source->SetItemText(2, 2, "Smith, John\tJr.");
    source->SetItemText(2, 3, "  two\nlines ");
    c.select(*source);
    std::unique_ptr<QMimeData> data(source->CopyTextFromGrid());
    ASSERT_TRUE(data);
    auto target = makeUniformGrid(400, 200, 20, 12, true);
    EXPECT_TRUE(target->PasteTextToGrid({5, 5}, data.get()));
    for (const Cell& cell : c.expect)
      EXPECT_EQ(target->GetItemText(cell.row, cell.col), cell.text) << cell.row << "," << cell.col;
  }
}

TEST(GridCellFormat, TheClipboardCarriesThemAndBadCellDataFallsBackToText) {
  auto source = makeUniformGrid(400, 200, 20, 12, true);
  source->SetItemText(2, 2, "1,5");
  clickCell(*source, 2, 2);
  QTest::keyClick(source.get(), Qt::Key_C, Qt::ControlModifier);
  auto target = makeUniformGrid(400, 200, 20, 12, true);
  clickCell(*target, 4, 4);
  QTest::keyClick(target.get(), Qt::Key_V, Qt::ControlModifier);
  EXPECT_EQ(target->GetItemText(4, 4), "1,5");
  EXPECT_EQ(target->GetItemText(4, 5), "4.5");

  // Cell data that is no array of rows counts as absent: the text is pasted.
  for (const char* bad : {"{", "{\"a\": 1}", "\"x\""}) {
    SCOPED_TRACE(bad);
    QMimeData data;
    data.setText("x\ty");
    data.setData(GridCellsMimeType, bad);
    EXPECT_TRUE(target->PasteTextToGrid({7, 7}, &data));
    EXPECT_EQ(target->GetItemText(7, 7), "x");
    EXPECT_EQ(target->GetItemText(7, 8), "y");
  }
}

// ---- Cut and the command states.

TEST(GridCut, EmptiesTheEditableSelectedCells) {
  auto grid = makeUniformGrid(400, 200, 20, 12, true);
  grid->SetItemState(3, 3, CellReadOnly);
  clickCell(*grid, 2, 2);
  clickCell(*grid, 3, 3, Qt::ShiftModifier);
  NotifyLog log(*grid);
  QTest::keyClick(grid.get(), Qt::Key_X, Qt::ControlModifier);
  EXPECT_EQ(QGuiApplication::clipboard()->text(), "2.2\t2.3\n3.2\t3.3");
  for (const Cell& cell : std::vector<Cell>{{2, 2, ""}, {2, 3, ""}, {3, 2, ""}, {3, 3, "3.3"}})
    EXPECT_EQ(grid->GetItemText(cell.row, cell.col), cell.text);
  EXPECT_EQ(log.editCodes().size(), 6u);
  EXPECT_TRUE(grid->GetModified());
  // The emptied cells left the selection; the read-only one is still in it.
  EXPECT_EQ(grid->GetSelectedCount(), 1);
}

TEST(GridCut, ReadOnlyGridCopiesButNeitherCutsNorPastes) {
  auto grid = makeUniformGrid(400, 200, 20, 12, false);
  clickCell(*grid, 2, 2);
  clickCell(*grid, 3, 3, Qt::ShiftModifier);
  QGuiApplication::clipboard()->setText("kept");
  QTest::keyClick(grid.get(), Qt::Key_X, Qt::ControlModifier);
  EXPECT_EQ(QGuiApplication::clipboard()->text(), "kept");
  QTest::keyClick(grid.get(), Qt::Key_V, Qt::ControlModifier);
  EXPECT_EQ(grid->GetItemText(3, 3), "3.3");
  EXPECT_EQ(grid->GetItemText(2, 2), "2.2");

  struct Case {
    int id;
    bool readOnly, editable;
  };
  const Case cases[] = {{ID_EDIT_COPY, true, true},
                        {ID_EDIT_CUT, false, true},
                        {ID_EDIT_PASTE, false, true},
                        {ID_EDIT_SELECT_ALL, true, true},
                        {0, false, false}};
  auto editable = makeUniformGrid(400, 200, 20, 12, true);
  clickCell(*editable, 2, 2);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.id);
    EXPECT_EQ(grid->OnUpdateCommand(c.id), c.readOnly);
    EXPECT_EQ(editable->OnUpdateCommand(c.id), c.editable);
  }
  editable->SetSelectedRange(-1, -1, -1, -1);
  EXPECT_FALSE(editable->OnUpdateCommand(ID_EDIT_COPY));
  QGuiApplication::clipboard()->clear();
  EXPECT_FALSE(editable->OnUpdateCommand(ID_EDIT_PASTE));
}

// ---- Drop target, driven by the drag events Qt delivers to the client area.

struct DropResult {
  bool accepted;
  Qt::DropAction action;
};

DropResult sendDrag(CGridCtrl& grid, QEvent::Type type, QPoint point, const QMimeData* data,
                    Qt::KeyboardModifiers modifiers = {}) {
  const Qt::DropActions offered = Qt::CopyAction | Qt::MoveAction;
  std::unique_ptr<QDropEvent> event;
  if (type == QEvent::DragEnter)
    event = std::make_unique<QDragEnterEvent>(point, offered, data, Qt::LeftButton, modifiers);
  else if (type == QEvent::DragMove)
    event = std::make_unique<QDragMoveEvent>(point, offered, data, Qt::LeftButton, modifiers);
  else
    event = std::make_unique<QDropEvent>(QPointF(point), offered, data, Qt::LeftButton, modifiers);
  event->setAccepted(false);
  QApplication::sendEvent(grid.viewport(), event.get());
  return {event->isAccepted(), event->dropAction()};
}

void sendLeave(CGridCtrl& grid) {
  QDragLeaveEvent leave;
  QApplication::sendEvent(grid.viewport(), &leave);
}

std::unique_ptr<CGridCtrl> dropGrid(bool editable = true) {
  auto grid = makeUniformGrid(400, 200, 20, 12, editable);
  grid->EnableDragAndDrop(true);
  return grid;
}

TEST(GridDrop, EffectsAndRefusals) {
  struct Case {
    const char* name;
    std::function<void(CGridCtrl&)> setup;
    int row, col;
    Qt::KeyboardModifiers modifiers;
    bool accepted;
    Qt::DropAction action;
  };
  const Case cases[] = {
      {"a drop on a cell moves", [](CGridCtrl&) {}, 3, 2, {}, true, Qt::MoveAction},
      {"with Ctrl it copies", [](CGridCtrl&) {}, 3, 2, Qt::ControlModifier, true, Qt::CopyAction},
      {"a header takes no drop", [](CGridCtrl&) {}, 0, 2, {}, false, Qt::IgnoreAction},
      {"a row header takes no drop", [](CGridCtrl&) {}, 3, 0, {}, false, Qt::IgnoreAction},
      {"a read-only cell takes no drop",
       [](CGridCtrl& g) { g.SetItemState(3, 2, CellReadOnly); },
       3,
       2,
       {},
       false,
       Qt::IgnoreAction},
      {"a read-only grid takes no drop",
       [](CGridCtrl& g) { g.SetEditable(false); },
       3,
       2,
       {},
       false,
       Qt::IgnoreAction},
      {"a grid without drag-and-drop takes no drop",
       [](CGridCtrl& g) { g.EnableDragAndDrop(false); },
       3,
       2,
       {},
       false,
       Qt::IgnoreAction},
  };
  auto data = textData("p\tq");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto grid = dropGrid();
    c.setup(*grid);
    const QPoint at = cellCentre(*grid, c.row, c.col);
    sendDrag(*grid, QEvent::DragEnter, at, data.get(), c.modifiers);
    const DropResult over = sendDrag(*grid, QEvent::DragMove, at, data.get(), c.modifiers);
    EXPECT_EQ(over.accepted, c.accepted);
    if (c.accepted) EXPECT_EQ(over.action, c.action);
    const DropResult drop = sendDrag(*grid, QEvent::Drop, at, data.get(), c.modifiers);
    EXPECT_EQ(drop.accepted, c.accepted);
    if (c.accepted) EXPECT_EQ(drop.action, c.action);
    EXPECT_EQ(grid->GetItemText(c.row, c.col) == "p", c.accepted);
    EXPECT_EQ(grid->GetItemText(c.row, c.col + 1) == "q", c.accepted);
    EXPECT_FALSE(grid->GetItemState(c.row, c.col) & CellDropHilited);
  }
}

TEST(GridDrop, AMoveThatCannotLandWholeIsACopy) {
  // The source empties its cells after a move, so a drop that leaves texts out copies.
  struct Case {
    const char* name;
    QString text;
    int row, col;
    Qt::DropAction action;
  };
  const Case cases[] = {
      {"everything lands", "p\tq\nr\ts", 18, 10, Qt::MoveAction},
      {"a text beyond the last column", "p\tq\tr", 3, 10, Qt::CopyAction},
      {"a line below the last row", "p\nq\nr", 18, 2, Qt::CopyAction},
      {"a line far below, after empty ones", "p\n\n\n\n\n\nq", 18, 2, Qt::CopyAction},
      {"a text on a read-only cell", "p\tq", 5, 4, Qt::CopyAction},
      {"only blanks fall outside", "p\t \n \t ", 19, 11, Qt::MoveAction},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto grid = dropGrid();
    grid->SetItemState(5, 5, CellReadOnly);
    auto data = textData(c.text);
    const QPoint at = cellCentre(*grid, c.row, c.col);
    sendDrag(*grid, QEvent::DragEnter, at, data.get());
    const DropResult over = sendDrag(*grid, QEvent::DragMove, at, data.get());
    EXPECT_TRUE(over.accepted);
    EXPECT_EQ(over.action, c.action);
    const DropResult drop = sendDrag(*grid, QEvent::Drop, at, data.get());
    EXPECT_TRUE(drop.accepted);
    EXPECT_EQ(drop.action, c.action);
    EXPECT_EQ(grid->GetItemText(c.row, c.col), "p");
  }

  // The answer follows the cell under the pointer within one drag.
  auto grid = dropGrid();
  auto data = textData("p\tq");
  sendDrag(*grid, QEvent::DragEnter, cellCentre(*grid, 3, 11), data.get());
  EXPECT_EQ(sendDrag(*grid, QEvent::DragMove, cellCentre(*grid, 3, 11), data.get()).action,
            Qt::CopyAction);
  EXPECT_EQ(sendDrag(*grid, QEvent::DragMove, cellCentre(*grid, 3, 10), data.get()).action,
            Qt::MoveAction);
}

TEST(GridDrop, OneCellIsHighlightedAtATime) {
  auto grid = dropGrid();
  grid->SetItemState(5, 5, CellReadOnly);
  auto data = textData("p");
  auto hilited = [&] {
    std::vector<CellPos> cells;
    for (int r = 0; r < grid->GetRowCount(); ++r)
      for (int c = 0; c < grid->GetColumnCount(); ++c)
        if (grid->GetItemState(r, c) & CellDropHilited) cells.push_back({r, c});
    return cells;
  };
  sendDrag(*grid, QEvent::DragEnter, cellCentre(*grid, 3, 2), data.get());
  EXPECT_EQ(hilited(), (std::vector<CellPos>{{3, 2}}));
  sendDrag(*grid, QEvent::DragMove, cellCentre(*grid, 4, 4), data.get());
  EXPECT_EQ(hilited(), (std::vector<CellPos>{{4, 4}}));
  // Over a read-only cell the highlight stays where it was.
  sendDrag(*grid, QEvent::DragMove, cellCentre(*grid, 5, 5), data.get());
  EXPECT_EQ(hilited(), (std::vector<CellPos>{{4, 4}}));
  // Over a header it goes.
  sendDrag(*grid, QEvent::DragMove, cellCentre(*grid, 0, 4), data.get());
  EXPECT_TRUE(hilited().empty());
  sendDrag(*grid, QEvent::DragMove, cellCentre(*grid, 6, 6), data.get());
  sendLeave(*grid);
  EXPECT_TRUE(hilited().empty());
  EXPECT_EQ(grid->GetItemText(6, 6), "6.6");
}

// ---- Drag source.

// Selects (2, 2)-(2, 3) and presses on (2, 2) in a focused grid: a drag is prepared.
void prepareDrag(CGridCtrl& grid) {
  clickCell(grid, 2, 2);
  clickCell(grid, 2, 3, Qt::ShiftModifier);
  QTest::mousePress(grid.viewport(), Qt::LeftButton, {}, cellCentre(grid, 2, 2));
  ASSERT_EQ(grid.mouseMode, MousePrepareDrag);
}

TEST(GridDrag, AClickThatMovesLessThanTheDragDistanceStaysAClick) {
  // The release of a press on a selected cell that started no drag clears the selection;
  // a hand that shook by a few pixels starts no drag.
  const int distance = QApplication::startDragDistance();
  ASSERT_GT(distance, 1);
  for (const QPoint shake : {QPoint(0, 0), QPoint(1, 0), QPoint(distance - 1, 0),
                             QPoint(distance / 2, (distance - 1) / 2)}) {
    SCOPED_TRACE(testing::Message() << shake.x() << "," << shake.y());
    auto grid = dropGrid();
    prepareDrag(*grid);
    NotifyLog log(*grid);
    const QPoint at = cellCentre(*grid, 2, 2) + shake;
    QTest::mouseMove(grid->viewport(), at);
    EXPECT_EQ(grid->mouseMode, MousePrepareDrag);
    QTest::mouseRelease(grid->viewport(), Qt::LeftButton, {}, at);
    EXPECT_EQ(grid->mouseMode, MouseNothing);
    EXPECT_EQ(grid->GetSelectedCount(), 0);
    EXPECT_EQ(grid->GetFocusCell(), (CellPos{-1, -1}));
    for (const test::Notification& n : log.events) EXPECT_NE(n.code, LVN_BEGINDRAG);
    EXPECT_EQ(grid->GetItemText(2, 3), "2.3");
  }
}

TEST(GridDrag, AMoveStartsTheDragAndANoEffectDragKeepsTheCells) {
  // The platform's own drag: here it ends at once with no effect.
  auto grid = dropGrid();
  prepareDrag(*grid);
  NotifyLog log(*grid);
  QTest::mouseMove(grid->viewport(), cellCentre(*grid, 4, 4));
  QTest::mouseRelease(grid->viewport(), Qt::LeftButton, {}, cellCentre(*grid, 4, 4));
  ASSERT_FALSE(log.events.empty());
  EXPECT_EQ(log.events.front(), (test::Notification{LVN_BEGINDRAG, 2, 2}));
  EXPECT_EQ(grid->mouseMode, MouseNothing);
  EXPECT_EQ(grid->GetItemText(2, 2), "2.2");
  EXPECT_EQ(grid->GetItemText(2, 3), "2.3");
}

// A grid whose drag loop delivers the drag to a target grid at a target cell, as the
// platform's loop would, and answers with the target's effect.
class DraggingGrid : public CGridCtrl {
 public:
  CGridCtrl* target = nullptr;
  CellPos dropAt;
  Qt::KeyboardModifiers modifiers;
  int modeDuringDrag = -1;

 protected:
  unsigned DoDragDrop(QMimeData* data, unsigned allowed) override {
    std::unique_ptr<QMimeData> owned(data);
    EXPECT_EQ(allowed, DROPEFFECT_COPY | DROPEFFECT_MOVE);
    modeDuringDrag = mouseMode;
    const QPoint at = cellCentre(*target, dropAt.row, dropAt.col);
    sendDrag(*target, QEvent::DragEnter, at, data, modifiers);
    sendDrag(*target, QEvent::DragMove, at, data, modifiers);
    const DropResult drop = sendDrag(*target, QEvent::Drop, at, data, modifiers);
    if (!drop.accepted) return DROPEFFECT_NONE;
    return drop.action == Qt::CopyAction ? DROPEFFECT_COPY : DROPEFFECT_MOVE;
  }
};

std::unique_ptr<DraggingGrid> draggingGrid() {
  auto grid = std::make_unique<DraggingGrid>();
  grid->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  grid->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  grid->Create(QRect(0, 0, 400, 200), nullptr, 103);
  grid->SetRowCount(20);
  grid->SetColumnCount(12);
  grid->SetFixedRowCount(1);
  grid->SetFixedColumnCount(1);
  for (int r = 0; r < 20; ++r) grid->SetRowHeight(r, 20);
  for (int c = 0; c < 12; ++c) grid->SetColumnWidth(c, 50);
  for (int r = 1; r < 20; ++r)
    for (int c = 1; c < 12; ++c) grid->SetItemText(r, c, QStringLiteral("s%1.%2").arg(r).arg(c));
  grid->EnableDragAndDrop(true);
  test::focusGrid(*grid);
  return grid;
}

TEST(GridDrag, BetweenGridsAndWithinOne) {
  struct Case {
    const char* name;
    bool sameGrid;
    Qt::KeyboardModifiers modifiers;
    bool sourceKept;
    int dropCol = 5;
  };
  const Case cases[] = {
      {"a move to another grid empties the source cells", false, {}, false},
      {"a copy to another grid keeps them", false, Qt::ControlModifier, true},
      {"a move within the grid pastes at the drop cell and empties the rest", true, {}, false},
      {"a move that runs off the other grid's edge keeps them", false, {}, true, 11},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto source = draggingGrid();
    auto other = dropGrid();
    CGridCtrl& target = c.sameGrid ? *source : *other;
    source->target = &target;
    source->dropAt = {5, c.dropCol};
    source->modifiers = c.modifiers;
    test::focusGrid(*source);
    prepareDrag(*source);
    QTest::mouseMove(source->viewport(), cellCentre(*source, 3, 3));
    QTest::mouseRelease(source->viewport(), Qt::LeftButton, {}, cellCentre(*source, 3, 3));

    EXPECT_EQ(source->modeDuringDrag, MouseDragging);
    EXPECT_EQ(source->mouseMode, MouseNothing);
    EXPECT_EQ(target.GetItemText(5, c.dropCol), "s2.2");
    if (c.dropCol + 1 < target.GetColumnCount())
      EXPECT_EQ(target.GetItemText(5, c.dropCol + 1), "s2.3");
    EXPECT_EQ(source->GetItemText(2, 2), c.sourceKept ? "s2.2" : "");
    EXPECT_EQ(source->GetItemText(2, 3), c.sourceKept ? "s2.3" : "");
  }
}

}  // namespace
}  // namespace tabulor
