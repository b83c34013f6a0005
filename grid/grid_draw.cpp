// CGridCtrl's painting: the paint handler with its off-screen buffer, the background bands,
// fixed cells in the 3D button look, normal cells with right-aligned text and selection
// colours, grid lines drawn last, and the single-cell repaint. Rectangles of cells are
// inclusive; fills leave out their right and bottom edge and lines their end point, so the
// pixels fall exactly where the grid's layout puts them.
#include <QPaintEvent>
#include <QPainter>
#include <QPixmap>
#include <algorithm>

#include "grid/grid_ctrl.h"

namespace tabulor {

namespace {

// Fills left .. right - 1, top .. bottom - 1.
void fillExclusive(QPainter& dc, int left, int top, int right, int bottom, const QColor& colour) {
  if (right > left && bottom > top)
    dc.fillRect(QRect(left, top, right - left, bottom - top), colour);
}

// A horizontal or vertical line from (x0, y0) towards (x1, y1), without its end point.
void line(QPainter& dc, int x0, int y0, int x1, int y1, const QColor& colour) {
  if (y0 == y1) {
    if (x1 > x0) fillExclusive(dc, x0, y0, x1, y0 + 1, colour);
    if (x1 < x0) fillExclusive(dc, x1 + 1, y0, x0 + 1, y0 + 1, colour);
  } else if (x0 == x1) {
    if (y1 > y0) fillExclusive(dc, x0, y0, x0 + 1, y1, colour);
    if (y1 < y0) fillExclusive(dc, x0, y1 + 1, x0 + 1, y0 + 1, colour);
  }
}

// The area to paint, as left, top and exclusive right and bottom.
struct ClipBox {
  int left = 0, top = 0, right = 0, bottom = 0;
  bool empty() const { return left >= right || top >= bottom; }
};

ClipBox clipBoxOf(const QPainter& dc) {
  QRect r = dc.hasClipping() ? dc.clipBoundingRect().toAlignedRect()
                             : QRect(0, 0, dc.device()->width(), dc.device()->height());
  return {r.left(), r.top(), r.left() + r.width(), r.top() + r.height()};
}

bool isPrinting(const QPainter& dc) {
  return dc.device()->devType() == QInternal::Printer;
}

// Qt alignment for a cell's layout flags; the text is always one line.
int alignmentOf(uint32_t format) {
  int flags = Qt::TextSingleLine;
  if (format & DT_RIGHT)
    flags |= Qt::AlignRight;
  else if (format & DT_CENTER)
    flags |= Qt::AlignHCenter;
  else
    flags |= Qt::AlignLeft;
  if (format & DT_VCENTER)
    flags |= Qt::AlignVCenter;
  else if (format & DT_BOTTOM)
    flags |= Qt::AlignBottom;
  else
    flags |= Qt::AlignTop;
  return flags;
}

// Draws one line of text inside left .. right - 1, top .. bottom - 1, clipped to it. The
// text is shown as it stands: an "&" is a character, not a mnemonic marker, since cells
// hold data.
void drawCellText(QPainter& dc, const QString& text, int left, int top, int right, int bottom,
                  uint32_t format) {
  if (text.isEmpty() || right <= left || bottom <= top) return;
  const QRect area(left, top, right - left, bottom - top);
  QString shown = text;
  if (format & DT_END_ELLIPSIS)
    shown = dc.fontMetrics().elidedText(text, Qt::ElideRight, area.width());
  dc.save();
  dc.setClipRect(area, Qt::IntersectClip);
  dc.drawText(area, alignmentOf(format), shown);
  dc.restore();
}

}  // namespace

void CGridCtrl::paintEvent(QPaintEvent* event) {
  OnPaint(event->rect());
}

void CGridCtrl::OnPaint(const QRect& clipBox) {
  if (clipBox.contains(viewport()->rect())) shownTopLeft = GetTopLeftNonFixedCell();
  QPainter target(viewport());
  if (!doubleBuffer) {
    target.setClipRect(clipBox);
    OnDraw(target);
    drawSizingBar(target);
    return;
  }
  // The off-screen buffer covers the clip box only, so a partial repaint costs only its
  // area. It starts in the paint context's background colour, white.
  const qreal ratio = viewport()->devicePixelRatioF();
  QPixmap buffer(clipBox.size() * ratio);
  buffer.setDevicePixelRatio(ratio);
  buffer.fill(Qt::white);
  {
    QPainter memory(&buffer);
    memory.translate(-clipBox.topLeft());
    memory.setClipRect(clipBox);
    OnDraw(memory);
    drawSizingBar(memory);
  }
  target.drawPixmap(clipBox.topLeft(), buffer);
}

void CGridCtrl::drawSizingBar(QPainter& dc) const {
  if (!sizingBar) return;
  dc.save();
  dc.setCompositionMode(QPainter::RasterOp_NotDestination);
  dc.fillRect(*sizingBar, Qt::black);
  dc.restore();
}

void CGridCtrl::EraseBackground(QPainter& dc) {
  const ClipBox clip = clipBoxOf(dc);
  if (clip.empty()) return;
  const int fixedWidth = GetFixedColumnWidth(), fixedHeight = GetFixedRowHeight();
  QRect cells;
  GetVisibleNonFixedCellRange(&cells);
  const int cellsRight = cells.width(), cellsBottom = cells.height();
  const QColor fixedBk = toQColor(fixedBkColour), textBk = toQColor(textBkColour),
               gridBk = toQColor(gridBkColour);

  if (clip.left < fixedWidth && clip.top < cellsBottom)
    fillExclusive(dc, clip.left, clip.top, fixedWidth, cellsBottom, fixedBk);
  if (clip.top < fixedHeight && clip.right > fixedWidth && clip.left < cellsRight)
    fillExclusive(dc, fixedWidth - 1, clip.top, cellsRight, fixedHeight, fixedBk);
  {
    const int left = std::max({clip.left, 0, fixedWidth});
    const int top = std::max({clip.top, 0, fixedHeight});
    const int right = std::min(clip.right, cellsRight), bottom = std::min(clip.bottom, cellsBottom);
    fillExclusive(dc, left, top, right, bottom, textBk);
  }
  if (cellsRight < clip.right)
    fillExclusive(dc, cellsRight, clip.top, clip.right, clip.bottom, gridBk);
  if (cellsBottom < clip.bottom && clip.left < cellsRight)
    fillExclusive(dc, clip.left, cellsBottom, cellsRight, clip.bottom, gridBk);
}

void CGridCtrl::OnDraw(QPainter& dc) {
  const ClipBox clip = clipBoxOf(dc);
  if (clip.empty()) return;
  EraseBackground(dc);

  const int fixedHeight = GetFixedRowHeight(), fixedWidth = GetFixedColumnWidth();
  QRect cells;
  const CellRange visible = GetVisibleNonFixedCellRange(&cells);
  const int cellsRight = cells.width(), cellsBottom = cells.height();

  // Corner: the fixed cells of the fixed rows, stacked from (0, 0).
  int bottom = -1;
  for (int rowIdx = 0; rowIdx < fixedRowCount; ++rowIdx) {
    const int top = bottom + 1;
    bottom = top + GetRowHeight(rowIdx) - 1;
    int right = -1;
    for (int colIdx = 0; colIdx < fixedColCount; ++colIdx) {
      const int left = right + 1;
      right = left + GetColumnWidth(colIdx) - 1;
      DrawFixedCell(dc, rowIdx, colIdx, QRect(QPoint(left, top), QPoint(right, bottom)));
    }
  }

  // Row headers: the fixed columns of the visible rows.
  bottom = fixedHeight - 1;
  for (int rowIdx = visible.minRow; rowIdx <= visible.maxRow; ++rowIdx) {
    const int top = bottom + 1;
    bottom = top + GetRowHeight(rowIdx) - 1;
    if (top > clip.bottom) break;
    if (bottom < clip.top) continue;
    int right = -1;
    for (int colIdx = 0; colIdx < fixedColCount; ++colIdx) {
      const int left = right + 1;
      right = left + GetColumnWidth(colIdx) - 1;
      if (left > clip.right) break;
      if (right < clip.left) continue;
      DrawFixedCell(dc, rowIdx, colIdx, QRect(QPoint(left, top), QPoint(right, bottom)));
    }
  }

  // Column headers: the fixed rows over the visible columns.
  bottom = -1;
  for (int rowIdx = 0; rowIdx < fixedRowCount; ++rowIdx) {
    const int top = bottom + 1;
    bottom = top + GetRowHeight(rowIdx) - 1;
    if (top > clip.bottom) break;
    if (bottom < clip.top) continue;
    int right = fixedWidth - 1;
    for (int colIdx = visible.minCol; colIdx <= visible.maxCol; ++colIdx) {
      const int left = right + 1;
      right = left + GetColumnWidth(colIdx) - 1;
      if (left > clip.right) break;
      if (right < clip.left) continue;
      DrawFixedCell(dc, rowIdx, colIdx, QRect(QPoint(left, top), QPoint(right, bottom)));
    }
  }

  // Body: only the visible cells inside the clip box.
  bottom = fixedHeight - 1;
  for (int rowIdx = visible.minRow; rowIdx <= visible.maxRow; ++rowIdx) {
    const int top = bottom + 1;
    bottom = top + GetRowHeight(rowIdx) - 1;
    if (top > clip.bottom) break;
    if (bottom < clip.top) continue;
    int right = fixedWidth - 1;
    for (int colIdx = visible.minCol; colIdx <= visible.maxCol; ++colIdx) {
      const int left = right + 1;
      right = left + GetColumnWidth(colIdx) - 1;
      if (left > clip.right) break;
      if (right < clip.left) continue;
      DrawCell(dc, rowIdx, colIdx, QRect(QPoint(left, top), QPoint(right, bottom)));
    }
  }

  // Grid lines last, on the last pixel column and row of every visible body cell, so they
  // stay visible over selected cells. Fixed cells get their edges from the 3D look.
  const QColor lineColour = toQColor(gridLineColour);
  if (gridLines == GridLinesBoth || gridLines == GridLinesVert) {
    int x = fixedWidth;
    for (int colIdx = visible.minCol; colIdx <= visible.maxCol; ++colIdx) {
      x += GetColumnWidth(colIdx);
      line(dc, x - 1, fixedHeight, x - 1, cellsBottom, lineColour);
    }
  }
  if (gridLines == GridLinesBoth || gridLines == GridLinesHorz) {
    int y = fixedHeight;
    for (int rowIdx = visible.minRow; rowIdx <= visible.maxRow; ++rowIdx) {
      y += GetRowHeight(rowIdx);
      line(dc, fixedWidth, y - 1, cellsRight, y - 1, lineColour);
    }
  }
}

bool CGridCtrl::DrawFixedCell(QPainter& dc, int row, int col, QRect rect, bool /*eraseBk*/) {
  if (!allowDraw) return false;
  GridItem item;
  item.row = row;
  item.col = col;
  item.mask = ItemMaskText | ItemMaskImage | ItemMaskBkColour | ItemMaskFgColour | ItemMaskFormat;
  if (!GetItem(&item)) return false;
  const GridCell* cell = GetCell(row, col);
  const QPalette& pal = palette();

  int left = rect.left(), top = rect.top(), right = rect.right(), bottom = rect.bottom();
  const COLORREF bk = item.bkColour == CLR_DEFAULT ? fixedBkColour : item.bkColour;
  const COLORREF fg = item.fgColour == CLR_DEFAULT ? fixedTextColour : item.fgColour;
  if (!isPrinting(dc)) fillExclusive(dc, left, top, right, bottom, toQColor(bk));

  // Raised edge: light along the top and left, dark shadow along the right and bottom.
  const QColor light = pal.color(QPalette::Active, QPalette::Light);
  const QColor shadow = pal.color(QPalette::Active, QPalette::Shadow);
  line(dc, right, top, left, top, light);
  line(dc, left, top, left, bottom, light);
  line(dc, right, top, right, bottom, shadow);
  line(dc, right, bottom, left, bottom, shadow);
  ++left, ++top, --right, --bottom;
  left += cellMargin;
  right -= cellMargin;

  dc.setPen(toQColor(fg));
  dc.setFont(fonts.headerFont(cell->fontId));
  drawCellText(dc, item.text, left, top, right, bottom, item.format | DT_SINGLELINE | DT_VCENTER);
  return true;
}

bool CGridCtrl::DrawCell(QPainter& dc, int row, int col, QRect rect, bool /*eraseBk*/) {
  if (!allowDraw) return false;
  GridItem item;
  item.row = row;
  item.col = col;
  item.mask = ItemMaskText | ItemMaskImage | ItemMaskState | ItemMaskBkColour | ItemMaskFgColour |
              ItemMaskFormat;
  if (!GetItem(&item)) return false;
  const GridCell* cell = GetCell(row, col);
  const bool printing = isPrinting(dc);

  // The fill covers the whole inclusive rectangle, grid-line pixels too; the lines are
  // drawn over it afterwards.
  QColor textPen;
  if ((item.state & CellSelected) && !printing) {
    dc.fillRect(rect, palette().color(QPalette::Active, QPalette::Highlight));
    textPen = palette().color(QPalette::Active, QPalette::HighlightedText);
  } else {
    dc.fillRect(rect, toQColor(item.bkColour == CLR_DEFAULT ? textBkColour : item.bkColour));
    textPen = toQColor(item.fgColour == CLR_DEFAULT ? textColour : item.fgColour);
  }
  if ((item.state & CellDropHilited) && !printing) {
    // A black frame on left .. right - 1, top .. bottom - 1.
    const int l = rect.left(), t = rect.top(), r = rect.right(), b = rect.bottom();
    fillExclusive(dc, l, t, r, t + 1, Qt::black);
    fillExclusive(dc, l, b - 1, r, b, Qt::black);
    fillExclusive(dc, l, t, l + 1, b, Qt::black);
    fillExclusive(dc, r - 1, t, r, b, Qt::black);
  }
  dc.setPen(textPen);
  dc.setFont(fonts.font(cell->fontId));
  drawCellText(dc, item.text, rect.left() + cellMargin, rect.top(), rect.right() - cellMargin,
               rect.bottom(), item.format | DT_RIGHT | DT_SINGLELINE | DT_VCENTER);
  return true;
}

bool CGridCtrl::RedrawCell(int row, int col, QPainter* dc) {
  if (!allowDraw || !IsCellVisible(row, col)) return false;
  QRect rect;
  if (!GetCellRect(row, col, &rect)) return false;
  if (!dc) {
    // Widgets paint only inside paint events: queue the cell, its grid lines included.
    viewport()->update(rect.adjusted(0, 0, 1, 1));
    return true;
  }
  if (row < fixedRowCount || col < fixedColCount) return DrawFixedCell(*dc, row, col, rect, true);
  const bool result = DrawCell(*dc, row, col, rect, true);
  const QColor lineColour = toQColor(gridLineColour);
  if (gridLines == GridLinesBoth || gridLines == GridLinesHorz)
    line(*dc, rect.left(), rect.bottom(), rect.right() + 1, rect.bottom(), lineColour);
  if (gridLines == GridLinesBoth || gridLines == GridLinesVert)
    line(*dc, rect.right(), rect.top(), rect.right(), rect.bottom() + 1, lineColour);
  return result;
}

}  // namespace tabulor
