// CGridCtrl's geometry: cell rectangles, the fixed band, the visible and unobstructed cell
// ranges for the current scroll positions, hit testing, the scroll ranges and the scroll
// handlers, automatic sizing and the resize handler. Positions of rows and columns come
// from prefix sums kept beside the size arrays, so every query is independent of how far
// the grid has been scrolled.
#include <QApplication>
#include <QFontMetrics>
#include <QResizeEvent>
#include <QScrollBar>
#include <algorithm>
#include <climits>
#include <cstdlib>

#include "grid/grid_ctrl.h"

namespace tabulor {

namespace {

int clampToInt(int64_t v) {
  return int(std::clamp<int64_t>(v, INT_MIN, INT_MAX));
}

// Smallest index i in [lo, hi] with start(i) >= target, or hi when there is none; start
// must not decrease.
template <typename Start>
int firstAtLeast(int lo, int hi, int64_t target, Start start) {
  int a = lo, b = hi;
  while (a < b) {
    const int mid = a + (b - a) / 2;
    if (start(mid) >= target)
      b = mid;
    else
      a = mid + 1;
  }
  return a;
}

}  // namespace

void CGridCtrl::markRowsDirty(int from) const {
  rowPosValid = std::min(rowPosValid, std::max(from, 0));
}
void CGridCtrl::markColsDirty(int from) const {
  colPosValid = std::min(colPosValid, std::max(from, 0));
}

int64_t CGridCtrl::rowStart(int row) const {
  row = std::clamp(row, 0, rowCount);
  if (rowPos.size() != size_t(rowCount) + 1) {
    rowPos.resize(size_t(rowCount) + 1);
    rowPos[0] = 0;
    rowPosValid = std::min(rowPosValid, rowCount);
  }
  for (; rowPosValid < row; ++rowPosValid)
    rowPos[size_t(rowPosValid) + 1] = rowPos[size_t(rowPosValid)] + rowHeights[size_t(rowPosValid)];
  return rowPos[size_t(row)];
}

int64_t CGridCtrl::colStart(int col) const {
  col = std::clamp(col, 0, colCount);
  if (colPos.size() != size_t(colCount) + 1) {
    colPos.resize(size_t(colCount) + 1);
    colPos[0] = 0;
    colPosValid = std::min(colPosValid, colCount);
  }
  for (; colPosValid < col; ++colPosValid)
    colPos[size_t(colPosValid) + 1] = colPos[size_t(colPosValid)] + colWidths[size_t(colPosValid)];
  return colPos[size_t(col)];
}

int CGridCtrl::clientWidth() const {
  return viewport()->width();
}
int CGridCtrl::clientHeight() const {
  return viewport()->height();
}

int CGridCtrl::GetFixedRowHeight() const {
  return clampToInt(rowStart(fixedRowCount));
}
int CGridCtrl::GetFixedColumnWidth() const {
  return clampToInt(colStart(fixedColCount));
}
int CGridCtrl::GetVirtualHeight() const {
  return clampToInt(rowStart(rowCount));
}
int CGridCtrl::GetVirtualWidth() const {
  return clampToInt(colStart(colCount));
}

int CGridCtrl::GetScrollPos32(int bar, bool trackPos) const {
  const QScrollBar* sb = bar == SB_HORZ ? horizontalScrollBar() : verticalScrollBar();
  if (!sb) return 0;
  return trackPos ? sb->sliderPosition() : sb->value();
}

int CGridCtrl::SetScrollPos32(int bar, int pos, bool /*redraw*/) {
  QScrollBar* sb = bar == SB_HORZ ? horizontalScrollBar() : verticalScrollBar();
  const int previous = sb->value();
  sb->setValue(pos);
  return previous;
}

CellPos CGridCtrl::GetTopLeftNonFixedCell() const {
  CellPos cell{fixedRowCount, fixedColCount};
  const int hPos = GetScrollPos32(SB_HORZ), vPos = GetScrollPos32(SB_VERT);
  // The first column whose distance from the fixed band reaches the position; the walk
  // never goes past the last column.
  if (fixedColCount < colCount - 1 && hPos > 0) {
    const int64_t base = colStart(fixedColCount);
    cell.col =
        firstAtLeast(fixedColCount, colCount - 1, hPos, [&](int c) { return colStart(c) - base; });
  }
  if (fixedRowCount < rowCount - 1 && vPos > 0) {
    const int64_t base = rowStart(fixedRowCount);
    cell.row =
        firstAtLeast(fixedRowCount, rowCount - 1, vPos, [&](int r) { return rowStart(r) - base; });
  }
  return cell;
}

CellRange CGridCtrl::GetVisibleNonFixedCellRange(QRect* rect) const {
  const int bottom = clientHeight(), right = clientWidth();
  const CellPos topLeft = GetTopLeftNonFixedCell();

  int64_t y = GetFixedRowHeight();
  int maxRow = topLeft.row;
  for (; maxRow < rowCount; ++maxRow) {
    y += rowHeights[size_t(maxRow)];
    if (y >= bottom) {
      y = bottom;
      break;
    }
  }
  int64_t x = GetFixedColumnWidth();
  int maxCol = topLeft.col;
  for (; maxCol < colCount; ++maxCol) {
    x += colWidths[size_t(maxCol)];
    if (x >= right) {
      x = right;
      break;
    }
  }
  // The covered part of the client area: cells right = rect->width(), cells bottom =
  // rect->height() (both exclusive ends).
  if (rect) *rect = QRect(0, 0, int(x), int(y));
  return {topLeft.row, topLeft.col, std::min(maxRow, rowCount - 1), std::min(maxCol, colCount - 1)};
}

CellRange CGridCtrl::GetUnobstructedNonFixedCellRange() const {
  const int bottom = clientHeight(), right = clientWidth();
  const CellPos topLeft = GetTopLeftNonFixedCell();

  int64_t y = GetFixedRowHeight();
  int maxRow = topLeft.row;
  for (; maxRow < rowCount; ++maxRow) {
    y += rowHeights[size_t(maxRow)];
    if (y >= bottom) break;
  }
  maxRow = std::min(maxRow, rowCount - 1);
  if (maxRow > 0 && y > bottom) --maxRow;

  int64_t x = GetFixedColumnWidth();
  int maxCol = topLeft.col;
  for (; maxCol < colCount; ++maxCol) {
    x += colWidths[size_t(maxCol)];
    if (x >= right) break;
  }
  maxCol = std::min(maxCol, colCount - 1);
  if (maxCol > 0 && x > right) --maxCol;
  return {topLeft.row, topLeft.col, maxRow, maxCol};
}

bool CGridCtrl::GetCellOrigin(int row, int col, QPoint* point) const {
  if (!IsValid(row, col)) return false;
  const CellPos topLeft = GetTopLeftNonFixedCell();
  if (row >= fixedRowCount && row < topLeft.row) return false;
  if (col >= fixedColCount && col < topLeft.col) return false;
  const int64_t x = col < fixedColCount
                        ? colStart(col)
                        : colStart(fixedColCount) + colStart(col) - colStart(topLeft.col);
  const int64_t y = row < fixedRowCount
                        ? rowStart(row)
                        : rowStart(fixedRowCount) + rowStart(row) - rowStart(topLeft.row);
  if (point) *point = QPoint(clampToInt(x), clampToInt(y));
  return true;
}

bool CGridCtrl::GetCellRect(int row, int col, QRect* rect) const {
  QPoint origin;
  if (!GetCellOrigin(row, col, &origin)) return false;
  if (rect) *rect = QRect(origin, QSize(GetColumnWidth(col), GetRowHeight(row)));
  return true;
}

bool CGridCtrl::GetTextRect(int row, int col, QRect* rect) const {
  if (!GetCell(row, col)) return false;
  return GetCellRect(row, col, rect);
}

CellPos CGridCtrl::GetCellFromPt(QPoint point, bool allowFixed) const {
  const CellPos topLeft = GetTopLeftNonFixedCell();
  CellPos cell;

  const int fixedWidth = GetFixedColumnWidth();
  if (point.x() < 0) {
    cell.col = -1;
  } else if (point.x() < fixedWidth) {
    // The first fixed column whose right end lies beyond the point.
    cell.col = allowFixed ? firstAtLeast(0, fixedColCount - 1, point.x() + 1,
                                         [&](int c) { return colStart(c + 1); })
                          : -1;
  } else {
    const int64_t target = int64_t(point.x()) - fixedWidth + colStart(topLeft.col) + 1;
    if (topLeft.col >= colCount || colStart(colCount) < target)
      cell.col = -1;
    else
      cell.col =
          firstAtLeast(topLeft.col, colCount - 1, target, [&](int c) { return colStart(c + 1); });
  }

  const int fixedHeight = GetFixedRowHeight();
  if (point.y() < 0) {
    cell.row = -1;
  } else if (point.y() < fixedHeight) {
    cell.row = allowFixed ? firstAtLeast(0, fixedRowCount - 1, point.y() + 1,
                                         [&](int r) { return rowStart(r + 1); })
                          : -1;
  } else {
    const int64_t target = int64_t(point.y()) - fixedHeight + rowStart(topLeft.row) + 1;
    if (topLeft.row >= rowCount || rowStart(rowCount) < target)
      cell.row = -1;
    else
      cell.row =
          firstAtLeast(topLeft.row, rowCount - 1, target, [&](int r) { return rowStart(r + 1); });
  }
  return cell;
}

bool CGridCtrl::IsCellVisible(int row, int col) const {
  if (!created) return false;
  const CellPos topLeft = GetTopLeftNonFixedCell();
  if (row >= fixedRowCount && row < topLeft.row) return false;
  if (col >= fixedColCount && col < topLeft.col) return false;
  const int64_t left = col < fixedColCount
                           ? colStart(col)
                           : colStart(fixedColCount) + colStart(col) - colStart(topLeft.col);
  const int64_t top = row < fixedRowCount
                          ? rowStart(row)
                          : rowStart(fixedRowCount) + rowStart(row) - rowStart(topLeft.row);
  return left < clientWidth() && top < clientHeight();
}

void CGridCtrl::EnsureVisible(int row, int col) {
  const CellRange visible = GetVisibleNonFixedCellRange();
  for (int step = col - visible.maxCol; step > 0; --step) OnHScroll(SB_LINERIGHT);
  for (int step = visible.minCol - col; step > 0; --step) OnHScroll(SB_LINELEFT);
  for (int step = row - visible.maxRow; step > 0; --step) OnVScroll(SB_LINEDOWN);
  for (int step = visible.minRow - row; step > 0; --step) OnVScroll(SB_LINEUP);
  QRect rect;
  if (GetCellRect(row, col, &rect)) {
    if (rect.right() > clientWidth()) OnHScroll(SB_LINERIGHT);
    if (rect.bottom() > clientHeight()) OnVScroll(SB_LINEDOWN);
  }
}

void CGridCtrl::ResetScrollBars() {
  if (!allowDraw || !created) return;
  const int fixedWidth = GetFixedColumnWidth(), fixedHeight = GetFixedRowHeight();
  if (fixedWidth >= clientWidth() || fixedHeight >= clientHeight()) return;
  if (!IsValid(GetUnobstructedNonFixedCellRange())) return;

  const int hPage = clientWidth() - fixedWidth;
  const int vPage = clientHeight() - fixedHeight;
  const int64_t scrollHeight = rowStart(rowCount) - fixedHeight;
  const int64_t scrollWidth = colStart(colCount) - fixedWidth;
  vScrollMax = vPage < scrollHeight ? clampToInt(scrollHeight - 1) : 0;
  hScrollMax = hPage < scrollWidth ? clampToInt(scrollWidth - 1) : 0;

  // The range runs 0 .. scroll max inclusive with a page of the visible extent, so the
  // furthest position is max - page + 1: the last pixel of the cells at the bottom edge.
  // QScrollBar counts its maximum as the furthest position itself.
  QScrollBar* vBar = verticalScrollBar();
  QScrollBar* hBar = horizontalScrollBar();
  vBar->setPageStep(vPage);
  hBar->setPageStep(hPage);
  vBar->setRange(0, vScrollMax > 0 ? std::max(0, vScrollMax - vPage + 1) : 0);
  hBar->setRange(0, hScrollMax > 0 ? std::max(0, hScrollMax - hPage + 1) : 0);
  vBar->setSingleStep(std::max(1, defaultRowHeight));
  hBar->setSingleStep(std::max(1, defaultColWidth));
}

QSize CGridCtrl::GetCellExtent(int row, int col, QPaintDevice* dc) {
  QFont font = *GetItemFont(row, col);
  if (row < fixedRowCount || col < fixedColCount) font.setWeight(QFont::Weight(600));
  const QFontMetrics metrics(font, dc);
  const QString text = GetItemText(row, col);
  return {metrics.horizontalAdvance(text) + 4 * cellMargin, metrics.height() + 2 * cellMargin};
}

bool CGridCtrl::AutoSizeColumn(int col) {
  if (col < 0 || col >= colCount) return false;
  int width = 0;
  for (int rowIdx = 0; rowIdx < rowCount; ++rowIdx)
    width = std::max(width, GetCellExtent(rowIdx, col, viewport()).width());
  colWidths[size_t(col)] = uint32_t(width);
  markColsDirty(col);
  ResetScrollBars();
  return true;
}

bool CGridCtrl::AutoSizeRow(int row) {
  if (row < 0 || row >= rowCount) return false;
  int height = 0;
  for (int colIdx = 0; colIdx < colCount; ++colIdx)
    height = std::max(height, GetCellExtent(row, colIdx, viewport()).height());
  rowHeights[size_t(row)] = uint32_t(height);
  markRowsDirty(row);
  ResetScrollBars();
  return true;
}

void CGridCtrl::resizeEvent(QResizeEvent* event) {
  QAbstractScrollArea::resizeEvent(event);
  OnSize();
}

void CGridCtrl::OnSize() {
  // One flag for every grid: a resize caused by the scroll bars that ResetScrollBars shows
  // or hides is not handled inside the handler that caused it.
  static bool inOnSize = false;
  if (inOnSize || !created) return;
  inOnSize = true;
  // Taking the focus ends an in-place edit; the grid takes it only from its own child
  // editor, so resizing the dialog does not pull the focus from another control.
  if (QWidget* focus = QApplication::focusWidget(); focus && focus != this && isAncestorOf(focus))
    setFocus();
  ResetScrollBars();
  inOnSize = false;
}

void CGridCtrl::scrollContentsBy(int, int) {
  hideTitleTip();
  if (!scrollsGathered) showScrolledPicture();
}

void CGridCtrl::showScrolledPicture() {
  const CellPos topLeft = GetTopLeftNonFixedCell();
  if (topLeft == shownTopLeft) return;
  const CellPos shown = shownTopLeft;
  shownTopLeft = topLeft;
  if (!created || !allowDraw) return;
  // The picture is a function of the top-left cell: a new top-left moves everything
  // beside the fixed band by the distance between the two cells. The pixels that stay in
  // view are moved, and only the band that comes into view is painted.
  const int64_t dx = colStart(shown.col) - colStart(topLeft.col);
  const int64_t dy = rowStart(shown.row) - rowStart(topLeft.row);
  const int width = clientWidth(), height = clientHeight();
  const int fixedWidth = GetFixedColumnWidth(), fixedHeight = GetFixedRowHeight();
  if (shown.row < 0 || (dx != 0 && dy != 0) || std::abs(dx) >= width - fixedWidth ||
      std::abs(dy) >= height - fixedHeight) {
    viewport()->update();
  } else if (dy != 0) {
    viewport()->scroll(0, int(dy), QRect(0, fixedHeight, width, height - fixedHeight));
  } else {
    viewport()->scroll(int(dx), 0, QRect(fixedWidth, 0, width - fixedWidth, height));
  }
}

void CGridCtrl::beginScroll() {
  if (QWidget* focus = QApplication::focusWidget(); focus && focus != this) setFocus();
  hideTitleTip();
}

void CGridCtrl::onScrollBarAction(int bar, int action) {
  // The bar has moved its slider already but not its value: the handlers below read the
  // value and set the position they choose, which the bar then keeps.
  int code = -1;
  switch (action) {
    case QAbstractSlider::SliderSingleStepAdd:
      code = SB_LINEDOWN;
      break;
    case QAbstractSlider::SliderSingleStepSub:
      code = SB_LINEUP;
      break;
    case QAbstractSlider::SliderPageStepAdd:
      code = SB_PAGEDOWN;
      break;
    case QAbstractSlider::SliderPageStepSub:
      code = SB_PAGEUP;
      break;
    case QAbstractSlider::SliderToMinimum:
      code = SB_TOP;
      break;
    case QAbstractSlider::SliderToMaximum:
      code = SB_BOTTOM;
      break;
    case QAbstractSlider::SliderMove:
      // The thumb is dragged: the bar itself moves the position, by pixels.
      beginScroll();
      return;
    default:
      return;
  }
  QScrollBar* sb = bar == SB_HORZ ? horizontalScrollBar() : verticalScrollBar();
  sb->setSliderPosition(sb->value());
  if (bar == SB_HORZ)
    OnHScroll(code);
  else
    OnVScroll(code);
  sb->setSliderPosition(sb->value());
}

// ---- Scroll requests. Line steps move by the column or row entering or leaving at the
// top-left, so the top-left cell stays aligned with the fixed band.

void CGridCtrl::OnHScroll(int code) {
  beginScroll();
  const int pos = GetScrollPos32(SB_HORZ);
  const CellPos topLeft = GetTopLeftNonFixedCell();
  const int fixedWidth = GetFixedColumnWidth();
  const int right = clientWidth();
  switch (code) {
    case SB_LINELEFT:
      if (pos > 0 && topLeft.col > fixedColCount)
        SetScrollPos32(SB_HORZ, std::max(pos - GetColumnWidth(topLeft.col - 1), 0));
      break;
    case SB_LINERIGHT:
      if (pos < hScrollMax) SetScrollPos32(SB_HORZ, pos + GetColumnWidth(topLeft.col));
      break;
    case SB_PAGELEFT:
      if (pos > 0) SetScrollPos32(SB_HORZ, std::max(pos - (right - fixedWidth), 0));
      break;
    case SB_PAGERIGHT:
      if (pos < hScrollMax)
        SetScrollPos32(SB_HORZ, std::min(pos + (right - fixedWidth), hScrollMax));
      break;
    case SB_THUMBPOSITION:
    case SB_THUMBTRACK:
      SetScrollPos32(SB_HORZ, GetScrollPos32(SB_HORZ, true));
      break;
    case SB_LEFT:
      if (pos > 0) SetScrollPos32(SB_HORZ, 0);
      break;
    case SB_RIGHT:
      if (pos < hScrollMax) SetScrollPos32(SB_HORZ, hScrollMax);
      break;
    default:
      return;
  }
}

void CGridCtrl::OnVScroll(int code) {
  beginScroll();
  const int pos = GetScrollPos32(SB_VERT);
  const CellPos topLeft = GetTopLeftNonFixedCell();
  const int fixedHeight = GetFixedRowHeight();
  const int bottom = clientHeight();
  switch (code) {
    case SB_LINEUP:
      if (pos > 0 && topLeft.row > fixedRowCount)
        SetScrollPos32(SB_VERT, std::max(pos - GetRowHeight(topLeft.row - 1), 0));
      break;
    case SB_LINEDOWN:
      if (pos < vScrollMax) SetScrollPos32(SB_VERT, pos + GetRowHeight(topLeft.row));
      break;
    case SB_PAGEUP:
      if (pos > 0) SetScrollPos32(SB_VERT, std::max(pos - (bottom - fixedHeight), 0));
      break;
    case SB_PAGEDOWN:
      if (pos < vScrollMax)
        SetScrollPos32(SB_VERT, std::min(pos + (bottom - fixedHeight), vScrollMax));
      break;
    case SB_THUMBPOSITION:
    case SB_THUMBTRACK:
      SetScrollPos32(SB_VERT, GetScrollPos32(SB_VERT, true));
      break;
    case SB_TOP:
      if (pos > 0) SetScrollPos32(SB_VERT, 0);
      break;
    case SB_BOTTOM:
      if (pos < vScrollMax) SetScrollPos32(SB_VERT, vScrollMax);
      break;
    default:
      return;
  }
}

}  // namespace tabulor
