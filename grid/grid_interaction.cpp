// CGridCtrl's interaction: the focused cell and the selection, the keyboard handler, the
// mouse handlers (selecting by clicking and dragging, header clicks, resizing rows and
// columns on the dividers between fixed cells), the drag-selection timer, the wheel, and the
// translation of Qt's key, mouse, wheel and timer events into these handlers.
#include <QApplication>
#include <QCursor>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QTimerEvent>
#include <QWheelEvent>
#include <algorithm>

#include "grid/grid_ctrl.h"
#include "grid/in_place_edit.h"
#include "grid/title_tip_wnd.h"

namespace tabulor {

namespace {

// The key code the handlers know a Qt key by; 0 for keys they do not handle.
unsigned virtualKey(int key) {
  switch (key) {
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
      return VK_TAB;
    case Qt::Key_Left:
      return VK_LEFT;
    case Qt::Key_Right:
      return VK_RIGHT;
    case Qt::Key_Up:
      return VK_UP;
    case Qt::Key_Down:
      return VK_DOWN;
    case Qt::Key_PageUp:
      return VK_PRIOR;
    case Qt::Key_PageDown:
      return VK_NEXT;
    case Qt::Key_Home:
      return VK_HOME;
    case Qt::Key_End:
      return VK_END;
    case Qt::Key_Delete:
      return VK_DELETE;
    case Qt::Key_Return:
    case Qt::Key_Enter:
      return VK_RETURN;
    case Qt::Key_Escape:
      return VK_ESCAPE;
    case Qt::Key_Backspace:
      return VK_BACK;
    default:
      return key >= Qt::Key_A && key <= Qt::Key_Z ? unsigned(key) : 0u;
  }
}

bool isNavigationKey(unsigned key) {
  return key == VK_TAB || (key >= VK_PRIOR && key <= VK_DOWN) || key == VK_DELETE;
}

bool isClipboardLetter(unsigned key) {
  return key == 'A' || key == 'C' || key == 'V' || key == 'X';
}

}  // namespace

// ---- Focus and selection.

CellPos CGridCtrl::SetFocusCell(int row, int col) {
  const CellPos next{row, col};
  if (next == focusCell) return focusCell;
  const CellPos prev = focusCell;
  focusCell = next;

  if (IsValid(prev)) {
    SendMessageToParent(prev.row, prev.col, LVN_ITEMCHANGING);
    SetItemState(prev.row, prev.col, GetItemState(prev.row, prev.col) & ~CellFocused);
    RedrawCell(prev.row, prev.col);
    if (prev.col != col)
      for (int rowIdx = 0; rowIdx < fixedRowCount; ++rowIdx) RedrawCell(rowIdx, prev.col);
    if (prev.row != row)
      for (int colIdx = 0; colIdx < fixedColCount; ++colIdx) RedrawCell(prev.row, colIdx);
  }
  if (IsValid(next)) {
    SetItemState(row, col, GetItemState(row, col) | CellFocused);
    RedrawCell(row, col);
    if (prev.col != col)
      for (int rowIdx = 0; rowIdx < fixedRowCount; ++rowIdx) RedrawCell(rowIdx, col);
    if (prev.row != row)
      for (int colIdx = 0; colIdx < fixedColCount; ++colIdx) RedrawCell(row, colIdx);
    SendMessageToParent(row, col, LVN_ITEMCHANGED);
  }
  return prev;
}

bool CGridCtrl::InvalidateCellRect(CellPos cell) {
  if (!created || !allowDraw || !IsCellVisible(cell)) return false;
  QRect rect;
  if (!GetCellRect(cell, &rect)) return false;
  rect.adjust(0, 0, 1, 1);
  viewport()->update(rect);
  return true;
}

void CGridCtrl::invalidateCellInto(CellPos cell, QRect& area) const {
  if (!created || !allowDraw || !IsCellVisible(cell)) return;
  QRect rect;
  if (GetCellRect(cell, &rect)) area |= rect.adjusted(0, 0, 1, 1);
}

void CGridCtrl::SetSelectedRange(int minRow, int minCol, int maxRow, int maxCol,
                                 bool forceRepaint) {
  if (!enableSelection) return;
  // The new selection is the range plus the cells a Ctrl-press keeps. Cells that are
  // selected before and after keep their state and are not repainted, so growing a
  // dragged block by a row costs that row; the cells to repaint are gathered into one
  // rectangle rather than a region of thousands of cells.
  QRect dirty;
  const CellRange range{minRow, minCol, maxRow, maxCol};
  const bool rangeValid = IsValid(range);
  const bool keepPrevious = !singleRowSelection && !prevSelectedCells.IsEmpty();
  const CellRange held = selectedCells.Bounds();
  const bool heldInRange =
      selectedCells.IsEmpty() || (rangeValid && range.InRange(held.minRow, held.minCol) &&
                                  range.InRange(held.maxRow, held.maxCol));
  // A selection that fills its bounding block, all inside the range, is kept whole.
  const bool heldSolid =
      heldInRange && !keepPrevious && !selectedCells.IsEmpty() &&
      int64_t(selectedCells.GetCount()) == int64_t(held.GetRowSpan()) * held.GetColSpan();

  if (!heldInRange) {
    for (const CellPos cell : selectedCells.cells()) {
      if (!IsValid(cell)) continue;
      if ((rangeValid && range.InRange(cell.row, cell.col)) ||
          (keepPrevious && prevSelectedCells.Lookup(cell)))
        continue;
      SetItemState(cell.row, cell.col, GetItemState(cell.row, cell.col) & ~CellSelected);
      invalidateCellInto(cell, dirty);
    }
  }
  if (keepPrevious) {
    for (const CellPos cell : prevSelectedCells.cells()) {
      const uint32_t state = GetItemState(cell.row, cell.col);
      if (!IsValid(cell) || (state & CellSelected)) continue;
      SetItemState(cell.row, cell.col, state | CellSelected);
      invalidateCellInto(cell, dirty);
    }
  }
  if (rangeValid) {
    for (int rowIdx = minRow; rowIdx <= maxRow; ++rowIdx) {
      const bool rowHeld = heldSolid && rowIdx >= held.minRow && rowIdx <= held.maxRow;
      for (int colIdx = minCol; colIdx <= maxCol; ++colIdx) {
        if (rowHeld && colIdx == held.minCol) {
          colIdx = held.maxCol;
          continue;
        }
        const uint32_t state = GetItemState(rowIdx, colIdx);
        if (state & CellSelected) continue;
        SetItemState(rowIdx, colIdx, state | CellSelected);
        invalidateCellInto({rowIdx, colIdx}, dirty);
      }
    }
  }
  if (dirty.isEmpty()) return;
  if (forceRepaint)
    viewport()->repaint(dirty);
  else
    viewport()->update(dirty);
}

void CGridCtrl::SelectAllCells() {
  if (!enableSelection) return;
  SetSelectedRange(fixedRowCount, fixedColCount, rowCount - 1, colCount - 1);
}

void CGridCtrl::SelectColumns(CellPos cell) {
  if (!enableSelection || cell.col < fixedColCount || !IsValid(cell)) return;
  const CellPos start = selectionStartCell;
  SetSelectedRange(fixedRowCount, std::min(start.col, cell.col), rowCount - 1,
                   std::max(start.col, cell.col));
}

void CGridCtrl::SelectRows(CellPos cell) {
  if (!enableSelection || cell.row < fixedRowCount || !IsValid(cell)) return;
  const CellPos start = selectionStartCell;
  if (listMode && singleRowSelection)
    SetSelectedRange(cell.row, fixedColCount, cell.row, colCount - 1);
  else
    SetSelectedRange(std::min(start.row, cell.row), fixedColCount, std::max(start.row, cell.row),
                     colCount - 1);
}

void CGridCtrl::SelectCells(CellPos cell) {
  if (!enableSelection || cell.row < fixedRowCount || cell.col < fixedColCount || !IsValid(cell))
    return;
  const CellPos start = selectionStartCell;
  SetSelectedRange(std::min(start.row, cell.row), std::min(start.col, cell.col),
                   std::max(start.row, cell.row), std::max(start.col, cell.col));
}

void CGridCtrl::OnSelecting(CellPos cell) {
  if (!enableSelection) return;
  switch (mouseMode) {
    case MouseSelectAll:
      SelectAllCells();
      break;
    case MouseSelectCol:
      SelectColumns(cell);
      break;
    case MouseSelectRow:
      SelectRows(cell);
      break;
    case MouseSelectCells:
      SelectCells(cell);
      break;
    default:
      break;
  }
}

void CGridCtrl::OnEditSelectAll() {
  SelectAllCells();
}

void CGridCtrl::ResetSelectedRange() {
  SetSelectedRange(-1, -1, -1, -1);
  SetFocusCell(-1, -1);
}

CellRange CGridCtrl::GetSelectedCellRange() const {
  CellRange range{rowCount, colCount, -1, -1};
  selectedCells.forEach([&](CellPos cell) {
    range.minRow = std::min(range.minRow, cell.row);
    range.minCol = std::min(range.minCol, cell.col);
    range.maxRow = std::max(range.maxRow, cell.row);
    range.maxCol = std::max(range.maxCol, cell.col);
  });
  return range;
}

// ---- Header clicks and divider hit tests.

void CGridCtrl::OnFixedRowClick(CellPos cell) {
  if (!listMode) {
    mouseMode = cell.col < fixedColCount ? MouseSelectAll : MouseSelectCol;
    OnSelecting(cell);
  } else if (sortOnClick) {
    sortByHeader(cell.col);
  }
}

void CGridCtrl::OnFixedColumnClick(CellPos cell) {
  if (!IsValid(cell)) return;
  mouseMode = cell.row < fixedRowCount ? MouseSelectAll : MouseSelectRow;
  OnSelecting(cell);
}

bool CGridCtrl::MouseOverColumnResizeArea(QPoint point) const {
  if (point.y() >= GetFixedRowHeight()) return false;
  const CellPos cell = GetCellFromPt(point);
  QPoint origin;
  if (!GetCellOrigin(cell.row, cell.col, &origin)) return false;
  const int end = origin.x() + GetColumnWidth(cell.col);
  return (point.x() - origin.x() <= resizeCaptureRange && cell.col != 0) ||
         end - point.x() <= resizeCaptureRange;
}

bool CGridCtrl::MouseOverRowResizeArea(QPoint point) const {
  if (point.x() >= GetFixedColumnWidth()) return false;
  const CellPos cell = GetCellFromPt(point);
  QPoint origin;
  if (!GetCellOrigin(cell.row, cell.col, &origin)) return false;
  const int end = origin.y() + GetRowHeight(cell.row);
  return (point.y() - origin.y() <= resizeCaptureRange && cell.row != 0) ||
         end - point.y() <= resizeCaptureRange;
}

void CGridCtrl::trackDividers(QPoint point) {
  int mode = MouseNothing;
  if (allowColResize && MouseOverColumnResizeArea(point))
    mode = MouseOverColDivide;
  else if (allowRowResize && MouseOverRowResizeArea(point))
    mode = MouseOverRowDivide;
  if (mode == mouseMode) return;
  mouseMode = mode;
  setCursorShape(mode == MouseOverColDivide   ? Qt::SizeHorCursor
                 : mode == MouseOverRowDivide ? Qt::SizeVerCursor
                                              : Qt::ArrowCursor);
}

void CGridCtrl::setCursorShape(Qt::CursorShape shape) {
  if (viewport()->cursor().shape() != shape) viewport()->setCursor(shape);
}

QPoint CGridCtrl::confinePoint(QPoint point) const {
  if (!cursorClip) return point;
  const QRect& clip = *cursorClip;
  return {std::clamp(point.x(), clip.left(), std::max(clip.left(), clip.right())),
          std::clamp(point.y(), clip.top(), std::max(clip.top(), clip.bottom()))};
}

void CGridCtrl::showSizingBar(const std::optional<QRect>& bar) {
  if (sizingBar) viewport()->update(*sizingBar);
  sizingBar = bar;
  if (sizingBar) viewport()->update(*sizingBar);
}

void CGridCtrl::killDragTimer() {
  if (timerId) killTimer(timerId);
  timerId = 0;
}

// ---- Keyboard.

unsigned CGridCtrl::OnGetDlgCode(Qt::KeyboardModifiers modifiers) const {
  unsigned code = DLGC_WANTARROWS | DLGC_WANTCHARS;
  if (handleTabKey && !(modifiers & Qt::ControlModifier)) code |= DLGC_WANTTAB;
  return code;
}

bool CGridCtrl::OnKeyDown(unsigned key, Qt::KeyboardModifiers modifiers) {
  if (!IsValid(focusCell)) return false;
  const bool shift = modifiers & Qt::ShiftModifier;
  const bool ctrl = modifiers & Qt::ControlModifier;
  CellPos next = focusCell;
  bool wrapped = false;

  if (ctrl && isClipboardLetter(key)) {
    if (key == 'A') OnEditSelectAll();
    if (key == 'C') OnEditCopy();
    if (key == 'V') OnEditPaste();
    if (key == 'X') OnEditCut();
    return true;
  }

  switch (key) {
    case VK_TAB:
      if (!shift) {
        if (next.col < colCount - 1) {
          ++next.col;
        } else if (next.row < rowCount - 1) {
          ++next.row;
          next.col = fixedColCount;
          wrapped = true;
        } else {
          return false;
        }
      } else {
        if (next.col > fixedColCount) {
          --next.col;
        } else if (next.col == fixedColCount && next.row > fixedRowCount) {
          --next.row;
          next.col = colCount - 1;
          wrapped = true;
        } else {
          return false;
        }
      }
      break;
    case VK_LEFT:
      if (next.col > fixedColCount) --next.col;
      break;
    case VK_RIGHT:
      if (next.col < colCount - 1) ++next.col;
      break;
    case VK_UP:
      if (next.row > fixedRowCount) --next.row;
      break;
    case VK_DOWN:
      if (next.row < rowCount - 1) ++next.row;
      break;
    case VK_PRIOR:
    case VK_NEXT: {
      // The focus moves by as many rows as the page scrolled; a page that could not scroll
      // sends it to the first or last row.
      const int topBefore = GetTopLeftNonFixedCell().row;
      OnVScroll(key == VK_PRIOR ? SB_PAGEUP : SB_PAGEDOWN);
      const int moved = GetTopLeftNonFixedCell().row - topBefore;
      if (key == VK_PRIOR)
        next.row = moved ? std::max(next.row + moved, fixedRowCount) : fixedRowCount;
      else
        next.row = moved ? std::min(next.row + moved, rowCount - 1) : rowCount - 1;
      break;
    }
    case VK_HOME:
      OnVScroll(SB_TOP);
      next.row = fixedRowCount;
      break;
    case VK_END:
      OnVScroll(SB_BOTTOM);
      next.row = rowCount - 1;
      break;
    case VK_DELETE:
      if (IsCellEditable(focusCell)) {
        const CellPos cell = focusCell;
        SendMessageToParent(cell.row, cell.col, LVN_BEGINLABELEDITA);
        SetItemText(cell.row, cell.col, QString());
        SetModified(true, cell.row, cell.col);
        SendMessageToParent(cell.row, cell.col, LVN_ENDLABELEDITA);
        RedrawCell(cell);
      }
      return true;
    default:
      return false;
  }

  if (next == focusCell) return true;
  // A plain move selects just the new cell and Shift extends the block from the anchor.
  // While the mouse selects (the drag timer sends keys) only the focus moves.
  if (mouseMode == MouseNothing) {
    prevSelectedCells.RemoveAll();
    mouseMode = listMode ? MouseSelectRow : MouseSelectCells;
    if (!shift || key == VK_TAB) selectionStartCell = next;
    OnSelecting(next);
    mouseMode = MouseNothing;
  }
  SetFocusCell(next);
  if (IsCellVisible(next)) return true;

  // One step more in the direction of travel, so the new cell does not sit at the edge.
  // The steps are shown together: the picture moves once, however many lines it took.
  scrollsGathered = true;
  EnsureVisible(next);
  switch (key) {
    case VK_TAB:
      if (!shift && wrapped) {
        OnVScroll(SB_LINEDOWN);
        SetScrollPos32(SB_HORZ, 0);
      } else if (shift && wrapped) {
        OnVScroll(SB_LINEUP);
        SetScrollPos32(SB_HORZ, hScrollMax);
      } else {
        OnHScroll(shift ? SB_LINELEFT : SB_LINERIGHT);
      }
      break;
    case VK_LEFT:
      OnHScroll(SB_LINELEFT);
      break;
    case VK_RIGHT:
      OnHScroll(SB_LINERIGHT);
      break;
    case VK_UP:
      OnVScroll(SB_LINEUP);
      break;
    case VK_DOWN:
      OnVScroll(SB_LINEDOWN);
      break;
    default:
      break;
  }
  scrollsGathered = false;
  showScrolledPicture();
  // The scroll repainted what it brought into view, and the focus and selection changes
  // repainted their cells, so the whole client area need not be painted again.
  return true;
}

bool CGridCtrl::OnChar(unsigned ch, Qt::KeyboardModifiers modifiers) {
  if ((modifiers & Qt::ControlModifier) || mouseMode != MouseNothing) return false;
  if (handleTabKey && ch == VK_TAB) return false;
  if (!IsValid(focusCell)) return false;
  const InPlaceEdit* before = inPlaceEdit;
  OnEditCell(focusCell.row, focusCell.col, ch);
  return inPlaceEdit && inPlaceEdit != before;
}

// ---- Mouse.

void CGridCtrl::OnLButtonDown(Qt::KeyboardModifiers modifiers, QPoint point) {
  const bool hadFocus = QApplication::focusWidget() == this;
  leftClickDownPoint = point;
  leftClickDownCell = GetCellFromPt(point);
  if (!IsValid(leftClickDownCell)) return;

  selectionStartCell = (modifiers & Qt::ShiftModifier) ? focusCell : leftClickDownCell;
  setFocus(Qt::MouseFocusReason);
  if (leftClickDownCell == focusCell) {
    mouseMode = MousePrepareEdit;
    return;
  }
  if (mouseMode != MouseOverColDivide && mouseMode != MouseOverRowDivide) {
    // A press on a header focuses the first non-fixed cell of its column or row; a grid
    // without such a cell keeps no focus.
    SetFocusCell(-1, -1);
    const CellPos target{std::max(leftClickDownCell.row, fixedRowCount),
                         std::max(leftClickDownCell.col, fixedColCount)};
    if (IsValid(target)) SetFocusCell(target);
  }
  if (allowDragAndDrop && hadFocus &&
      (GetItemState(leftClickDownCell.row, leftClickDownCell.col) & CellSelected)) {
    mouseMode = MousePrepareDrag;
    return;
  }

  capture = true;
  if (mouseMode == MouseNothing) {
    if (allowColResize && MouseOverColumnResizeArea(point)) {
      setCursorShape(Qt::SizeHorCursor);
      mouseMode = MouseOverColDivide;
    } else if (allowRowResize && MouseOverRowResizeArea(point)) {
      setCursorShape(Qt::SizeVerCursor);
      mouseMode = MouseOverRowDivide;
    }
  }

  const QRect client = viewport()->rect();
  if (mouseMode == MouseOverColDivide) {
    mouseMode = MouseSizingCol;
    QPoint origin;
    if (!GetCellOrigin(0, leftClickDownCell.col, &origin)) return;
    showSizingBar(QRect(point.x(), 0, 2, client.height()));
    // Within reach of the left edge the divider belongs to the column before.
    if (point.x() - origin.x() <= resizeCaptureRange) {
      --leftClickDownCell.col;
      if (!GetCellOrigin(0, leftClickDownCell.col, &origin)) return;
    }
    QRect clip = client;
    clip.setLeft(origin.x());
    cursorClip = clip;
  } else if (mouseMode == MouseOverRowDivide) {
    mouseMode = MouseSizingRow;
    QPoint origin;
    if (!GetCellOrigin(leftClickDownCell.row, leftClickDownCell.col, &origin)) return;
    showSizingBar(QRect(0, point.y(), client.width(), 2));
    if (point.y() - origin.y() <= resizeCaptureRange) {
      --leftClickDownCell.row;
      if (!GetCellOrigin(leftClickDownCell.row, 0, &origin)) return;
    }
    QRect clip = client;
    clip.setTop(origin.y());
    cursorClip = clip;
  } else {
    // A selection press; Ctrl keeps the old selection beside the new block.
    prevSelectedCells.RemoveAll();
    if (modifiers & Qt::ControlModifier)
      selectedCells.forEach([&](CellPos cell) { prevSelectedCells.SetAt(cell); });
    if (leftClickDownCell.row < fixedRowCount) {
      OnFixedRowClick(leftClickDownCell);
    } else if (leftClickDownCell.col < fixedColCount) {
      OnFixedColumnClick(leftClickDownCell);
    } else {
      mouseMode = listMode ? MouseSelectRow : MouseSelectCells;
      OnSelecting(leftClickDownCell);
    }
    killDragTimer();
    timerId = startTimer(int(timerInterval));
  }
  lastMousePoint = point;
}

void CGridCtrl::OnMouseMove(Qt::MouseButtons buttons, QPoint point) {
  point = confinePoint(point);
  if (titleTip && titleTip->isVisible() && !titleTip->HoverContains(viewport()->mapToGlobal(point)))
    titleTip->Hide();
  // Outside the client area only a drag is followed; the timer grows a selection there.
  if (mouseMode != MouseDragging && !viewport()->rect().contains(point)) return;

  if (!(buttons & Qt::LeftButton) || mouseMode == MouseNothing) {
    trackDividers(point);
    if (mouseMode == MouseNothing && titleTips && titleTip) {
      const CellPos cell = GetCellFromPt(point);
      QRect textRect, cellRect;
      if (GetTextRect(cell.row, cell.col, &textRect) && GetCellRect(cell, &cellRect))
        titleTip->Show(textRect, GetItemText(cell.row, cell.col), 0, &cellRect,
                       GetItemFont(cell.row, cell.col));
    }
  } else if (IsValid(leftClickDownCell)) {
    const int width = viewport()->width(), height = viewport()->height();
    switch (mouseMode) {
      case MouseSelectCol:
      case MouseSelectRow:
      case MouseSelectCells: {
        const CellPos cell = GetCellFromPt(point);
        if (!IsValid(cell)) return;
        if (cell == focusCell) break;
        OnSelecting(cell);
        if (cell.row >= fixedRowCount && cell.col >= fixedColCount) SetFocusCell(cell);
        break;
      }
      case MouseSizingRow:
        showSizingBar(QRect(0, point.y(), width, 2));
        break;
      case MouseSizingCol:
        showSizingBar(QRect(point.x(), 0, 2, height));
        break;
      case MousePrepareDrag:
        // A click whose hand shook a pixel is still a click: the drag starts once the
        // pointer is the platform's drag distance away from the press.
        if ((point - leftClickDownPoint).manhattanLength() >= QApplication::startDragDistance())
          OnBeginDrag();
        break;
      default:
        break;
    }
  }
  lastMousePoint = point;
}

void CGridCtrl::OnLButtonUp(QPoint point) {
  point = confinePoint(point);
  cursorClip.reset();
  if (capture) {
    capture = false;
    killDragTimer();
  }

  switch (mouseMode) {
    case MousePrepareEdit:
      OnEditCell(focusCell.row, focusCell.col, VK_LBUTTON);
      break;
    case MousePrepareDrag:
      ResetSelectedRange();
      break;
    case MouseSizingCol:
    case MouseSizingRow: {
      showSizingBar(std::nullopt);
      QPoint origin;
      if (point == leftClickDownPoint ||
          !GetCellOrigin(leftClickDownCell.row, leftClickDownCell.col, &origin))
        break;
      if (mouseMode == MouseSizingCol)
        SetColumnWidth(leftClickDownCell.col, point.x() - origin.x());
      else
        SetRowHeight(leftClickDownCell.row, point.y() - origin.y());
      ResetScrollBars();
      invalidateAll();
      break;
    }
    default:
      break;
  }

  mouseMode = MouseNothing;
  setCursorShape(Qt::ArrowCursor);
  if (IsValid(leftClickDownCell)) {
    // Posted, as a command reaches its owner after the release has been handled.
    QMetaObject::invokeMethod(this, "emitCommand", Qt::QueuedConnection);
  }
}

void CGridCtrl::OnLButtonDblClk(QPoint point) {
  switch (mouseMode) {
    case MouseOverColDivide: {
      const CellPos cell = GetCellFromPt(point);
      QPoint origin;
      if (!GetCellOrigin(0, cell.col, &origin)) return;
      AutoSizeColumn(point.x() - origin.x() <= resizeCaptureRange ? cell.col - 1 : cell.col);
      invalidateAll();
      return;
    }
    case MouseOverRowDivide: {
      const CellPos cell = GetCellFromPt(point);
      QPoint origin;
      if (!GetCellOrigin(cell.row, cell.col, &origin)) return;
      AutoSizeRow(point.y() - origin.y() <= resizeCaptureRange ? cell.row - 1 : cell.row);
      invalidateAll();
      return;
    }
    case MouseNothing: {
      if (IsValid(leftClickDownCell) && leftClickDownCell.row >= fixedRowCount &&
          leftClickDownCell.col >= fixedColCount) {
        OnEditCell(focusCell.row, focusCell.col, VK_LBUTTON);
        return;
      }
      if (!listMode) return;
      const CellPos cell = GetCellFromPt(point);
      if (IsValid(cell) && cell.row >= fixedRowCount && cell.col < fixedColCount)
        OnEditCell(cell.row, cell.col, VK_LBUTTON);
      return;
    }
    default:
      return;
  }
}

void CGridCtrl::OnTimer(int id) {
  if (id != DragSelectTimerId) return;
  const QPoint pointer = viewport()->mapFromGlobal(QCursor::pos());
  const int right = viewport()->width(), bottom = viewport()->height();
  const int fixedHeight = GetFixedRowHeight(), fixedWidth = GetFixedColumnWidth();
  const Qt::KeyboardModifiers modifiers = QApplication::keyboardModifiers();

  // While a selecting mode is on, each key only moves the focus and scrolls; OnSelecting
  // then grows the block from the anchor to the cell at the edge.
  int y = -1;
  if (pointer.y() > bottom) {
    OnKeyDown(VK_DOWN, modifiers);
    y = bottom;
  } else if (pointer.y() < fixedHeight) {
    OnKeyDown(VK_UP, modifiers);
    y = fixedHeight + 1;
  }
  if (y >= 0) OnSelecting(GetCellFromPt(QPoint(std::clamp(pointer.x(), 0, right), y)));

  int x;
  if (pointer.x() > right) {
    OnKeyDown(VK_RIGHT, modifiers);
    x = right;
  } else if (pointer.x() < fixedWidth) {
    OnKeyDown(VK_LEFT, modifiers);
    x = fixedWidth + 1;
  } else {
    return;
  }
  OnSelecting(GetCellFromPt(QPoint(x, std::clamp(pointer.y(), 0, bottom))));
}

void CGridCtrl::OnCaptureChanged(QObject* gaining) {
  if (gaining == this || gaining == viewport()) return;
  capture = false;
  killDragTimer();
  if (mouseMode == MouseDragging) mouseMode = MouseNothing;
}

void CGridCtrl::OnMouseWheel(int delta) {
  // Distances below a line are kept and added to the next turn, so a fine-grained wheel
  // or touchpad scrolls as far in total as a notched wheel; a turn back starts afresh.
  if (wheelRemainder != 0 && (delta > 0) != (wheelRemainder > 0)) wheelRemainder = 0;
  const bool byPage = rowsPerWheelNotch == unsigned(-1);
  wheelRemainder += byPage ? delta : delta * int(rowsPerWheelNotch);
  const int steps = wheelRemainder / 120;
  wheelRemainder -= steps * 120;
  const int code =
      steps > 0 ? (byPage ? SB_PAGEUP : SB_LINEUP) : (byPage ? SB_PAGEDOWN : SB_LINEDOWN);
  for (int step = 0; step < std::abs(steps); ++step)
    QMetaObject::invokeMethod(this, "OnVScroll", Qt::QueuedConnection, Q_ARG(int, code));
}

void CGridCtrl::emitCommand() {
  emit gridCommand(controlId, 0);
}

// ---- Edit commands.

bool CGridCtrl::OnCommand(int id) {
  switch (id) {
    case ID_EDIT_COPY:
      OnEditCopy();
      return true;
    case ID_EDIT_CUT:
      OnEditCut();
      return true;
    case ID_EDIT_PASTE:
      OnEditPaste();
      return true;
    case ID_EDIT_SELECT_ALL:
      OnEditSelectAll();
      return true;
    default:
      return false;
  }
}

// ---- Qt events.

bool CGridCtrl::event(QEvent* event) {
  if (event->type() == QEvent::KeyPress) {
    auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab) {
      if (OnGetDlgCode(key->modifiers()) & DLGC_WANTTAB) {
        keyPressEvent(key);
        return true;
      }
      // Ctrl+Tab leaves the grid for the next control, as Tab does in a dialog.
      if (key->modifiers() & Qt::ControlModifier) {
        focusNextPrevChild(key->key() == Qt::Key_Tab && !(key->modifiers() & Qt::ShiftModifier));
        return true;
      }
    }
  } else if (event->type() == QEvent::ShortcutOverride) {
    // Ctrl+A/C/V/X belong to the grid while it has the focus, not to a window's shortcuts.
    auto* key = static_cast<QKeyEvent*>(event);
    if ((key->modifiers() & ~Qt::KeypadModifier) == Qt::ControlModifier &&
        isClipboardLetter(virtualKey(key->key()))) {
      event->accept();
      return true;
    }
  }
  return QAbstractScrollArea::event(event);
}

void CGridCtrl::keyPressEvent(QKeyEvent* event) {
  hideTitleTip();
  Qt::KeyboardModifiers modifiers = event->modifiers();
  if (event->key() == Qt::Key_Backtab) modifiers |= Qt::ShiftModifier;
  const unsigned key = virtualKey(event->key());
  bool accepted = key != 0 && OnKeyDown(key, modifiers);
  // The keys the grid asks for are its own even where they do nothing (at an edge, or
  // before a cell has the focus). Escape belongs to the window, and so does Return unless
  // it opened an editor, so a dialog's cancel and default buttons keep working.
  if (isNavigationKey(key) || ((modifiers & Qt::ControlModifier) && isClipboardLetter(key)))
    accepted = true;
  if (!(modifiers & Qt::AltModifier)) {
    for (const char32_t ch : event->text().toUcs4()) {
      if (ch == 0x7F || (ch < 0x20 && ch != VK_BACK && ch != VK_TAB && ch != VK_RETURN)) continue;
      if (OnChar(ch, modifiers) || ch != VK_RETURN) accepted = true;
      if (inPlaceEdit) break;
    }
  }
  event->setAccepted(accepted);
}

void CGridCtrl::mousePressEvent(QMouseEvent* event) {
  hideTitleTip();
  // Other buttons are the window's (a context menu, say).
  if (event->button() != Qt::LeftButton) return QAbstractScrollArea::mousePressEvent(event);
  const QPoint point = event->position().toPoint();
  // The pointer came to the press point through moves, which set the divider state; a
  // press that arrives without one (a synthetic click) gets it here.
  if (mouseMode == MouseNothing) trackDividers(point);
  OnLButtonDown(event->modifiers(), point);
}

void CGridCtrl::mouseMoveEvent(QMouseEvent* event) {
  OnMouseMove(event->buttons(), event->position().toPoint());
}

void CGridCtrl::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return QAbstractScrollArea::mouseReleaseEvent(event);
  OnLButtonUp(event->position().toPoint());
}

void CGridCtrl::mouseDoubleClickEvent(QMouseEvent* event) {
  hideTitleTip();
  if (event->button() != Qt::LeftButton) return QAbstractScrollArea::mouseDoubleClickEvent(event);
  const QPoint point = event->position().toPoint();
  // Windows follows a release with a move at the same point, which puts the divider state
  // back before the second click of a double click arrives; Qt sends no such move.
  if (mouseMode == MouseNothing) trackDividers(point);
  OnLButtonDblClk(point);
}

void CGridCtrl::wheelEvent(QWheelEvent* event) {
  OnMouseWheel(event->angleDelta().y());
  event->accept();
}

void CGridCtrl::timerEvent(QTimerEvent* event) {
  if (timerId && event->timerId() == timerId)
    OnTimer(DragSelectTimerId);
  else
    QAbstractScrollArea::timerEvent(event);
}

bool CGridCtrl::viewportEvent(QEvent* event) {
  if (event->type() == QEvent::Leave && titleTip && titleTip->isVisible() &&
      !titleTip->HoverContains(QCursor::pos()))
    titleTip->Hide();
  return QAbstractScrollArea::viewportEvent(event);
}

void CGridCtrl::focusOutEvent(QFocusEvent* event) {
  QAbstractScrollArea::focusOutEvent(event);
  // Another window or a popup took the mouse with the focus.
  if (event->reason() == Qt::ActiveWindowFocusReason || event->reason() == Qt::PopupFocusReason)
    OnCaptureChanged(nullptr);
}

void CGridCtrl::hideTitleTip() {
  if (titleTip) titleTip->Hide();
}

}  // namespace tabulor
