// CGridCtrl's data model: construction and creation, row and column counts, sizes, the
// grid-wide flags, colours and font, the system-colour refresh and the notification to the
// host. Cells are in grid_cells.cpp, layout in grid_layout.cpp, painting in grid_draw.cpp.
#include "grid/grid_ctrl.h"

#include <QApplication>
#include <QEvent>
#include <QFontMetrics>
#include <QPalette>
#include <QScrollBar>
#include <algorithm>
#include <new>

#include "grid/grid_drop_target.h"
#include "grid/in_place_edit.h"
#include "grid/title_tip_wnd.h"

namespace tabulor {

CGridCtrl::CGridCtrl(int rows, int cols, int fixedRows, int fixedCols, QWidget* parent)
    : QAbstractScrollArea(parent) {
  // Every pixel of the client area is painted by OnDraw, background included, so Qt need
  // not clear it first.
  viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
  viewport()->setAutoFillBackground(false);
  setFrameStyle(QFrame::NoFrame);
  setFocusPolicy(Qt::StrongFocus);
  // Moves without a button pressed find the dividers and show title tips.
  viewport()->setMouseTracking(true);
  // Clicks on the bars' arrows and troughs and their Home/End become the grid's own scroll
  // requests, which step by whole rows and columns; dragging the thumb moves by pixels.
  connect(horizontalScrollBar(), &QAbstractSlider::actionTriggered, this,
          [this](int action) { onScrollBarAction(SB_HORZ, action); });
  connect(verticalScrollBar(), &QAbstractSlider::actionTriggered, this,
          [this](int action) { onScrollBarAction(SB_VERT, action); });

  sysWindowTextColour = sysColour(QPalette::WindowText);
  sysWindowColour = sysColour(QPalette::Base);
  sysBtnFaceColour = sysColour(QPalette::Button);
  sysBtnShadowColour = sysColour(QPalette::Dark);
  rowsPerWheelNotch = GetMouseScrollLines();
  logFont = QApplication::font();
  logFontId = fontIdOf(logFont);

  SetRowCount(rows);
  SetColumnCount(cols);
  SetFixedRowCount(fixedRows);
  SetFixedColumnCount(fixedCols);

  textColour = sysWindowTextColour;
  fixedTextColour = sysWindowTextColour;
  textBkColour = sysWindowColour;
  gridBkColour = sysBtnShadowColour;
  fixedBkColour = sysBtnFaceColour;
  selectedCells.RemoveAll();
  prevSelectedCells.RemoveAll();
  constructed = true;
}

// While the grid is being constructed or destroyed a derived host's overrides cannot be
// reached, so the grid's own versions are called by name there. (The analyzer does not
// follow the flag, hence the NOLINTs.)
GridCell* CGridCtrl::createCell(int row, int col) {
  if (constructed)
    return CreateCell(row, col);  // NOLINT(clang-analyzer-optin.cplusplus.VirtualCall)
  return CGridCtrl::CreateCell(row, col);
}

void CGridCtrl::emptyCell(GridCell* cell, int row, int col) {
  if (constructed)
    EmptyCell(cell, row, col);  // NOLINT(clang-analyzer-optin.cplusplus.VirtualCall)
  else
    CGridCtrl::EmptyCell(cell, row, col);
}

CGridCtrl::~CGridCtrl() {
  // The host may be half destroyed already: emptying the grid on the way out tells it
  // nothing and paints nothing.
  created = false;
  constructed = false;
  blockSignals(true);
  killDragTimer();
  if (dropTarget) dropTarget->Revoke();
  if (InPlaceEdit* editor = inPlaceEdit.data()) {
    editor->Detach();
    delete editor;
  }
  DeleteAllItems();
}

unsigned CGridCtrl::GetMouseScrollLines() {
  const int lines = QApplication::wheelScrollLines();
  return lines > 0 ? unsigned(lines) : 3u;
}

COLORREF CGridCtrl::sysColour(int role) const {
  return fromQColor(palette().color(QPalette::Active, QPalette::ColorRole(role)));
}

uint16_t CGridCtrl::fontIdOf(const QFont& font) {
  const int id = fonts.intern(font);
  // A full pool (65,535 distinct fonts) keeps such cells in the grid font.
  return id < 0 ? logFontId : uint16_t(id);
}

bool CGridCtrl::Create(const QRect& rect, QWidget* parent, int id, uint32_t style) {
  if (parent) setParent(parent);
  setGeometry(rect);
  controlId = id;
  if (objectName().isEmpty()) setObjectName(QStringLiteral("grid_%1").arg(id));
  if (style & WS_BORDER) {
    setFrameStyle(QFrame::Box | QFrame::Plain);
    setLineWidth(1);
  }
  setFocusPolicy((style & WS_TABSTOP) ? Qt::StrongFocus : Qt::ClickFocus);
  created = true;
  // Shown before the sizes are worked out, so the scroll ranges see the real client area.
  if (style & WS_VISIBLE) show();
  PreSubclassWindow();

  if (!dropTarget) {
    dropTarget = new GridDropTarget(this);
    dropTarget->Register(this);
  }
  if (titleTips && !titleTip) {
    titleTip = new TitleTipWnd;
    titleTip->Create(viewport());
  }
  defaultRowHeight = 18;
  try {
    rowHeights.assign(size_t(rowCount), uint32_t(defaultRowHeight));
    colWidths.assign(size_t(colCount), uint32_t(defaultColWidth));
  } catch (const std::bad_alloc&) {
    return false;
  }
  markRowsDirty(0);
  markColsDirty(0);
  ResetScrollBars();
  return true;
}

void CGridCtrl::PreSubclassWindow() {
  OnSetFont(logFont, false);
  ResetScrollBars();
}

// ---- Counts and sizes.

bool CGridCtrl::SetRowCount(int n) {
  if (n == rowCount) return true;
  if (n < fixedRowCount) fixedRowCount = n;
  if (focusCell.row >= n) SetFocusCell(-1, -1);

  // Cells leave through EmptyCell while they are still inside the grid, so a selected cell
  // is taken out of selectedCells.
  for (int rowIdx = n; rowIdx < rowCount; ++rowIdx) {
    GridRow* row = rows[size_t(rowIdx)].get();
    if (!row) continue;
    for (int colIdx = 0; colIdx < int(row->size()); ++colIdx) {
      GridCell*& cell = (*row)[size_t(colIdx)];
      if (!cell) continue;
      emptyCell(cell, rowIdx, colIdx);
      delete cell;
      cell = nullptr;
    }
  }
  const int oldCount = rowCount;
  rowCount = n;
  rows.resize(size_t(n));
  rowHeights.resize(size_t(n), uint32_t(defaultRowHeight));
  for (int rowIdx = oldCount; rowIdx < n; ++rowIdx) {
    rowHeights[size_t(rowIdx)] = uint32_t(defaultRowHeight);
    rows[size_t(rowIdx)] = std::make_unique<GridRow>(size_t(colCount), nullptr);
    GridRow& row = *rows[size_t(rowIdx)];
    for (int colIdx = 0; colIdx < colCount; ++colIdx)
      row[size_t(colIdx)] = createCell(rowIdx, colIdx);
  }
  markRowsDirty(std::min(oldCount, n));
  if (created && allowDraw) {
    ResetScrollBars();
    invalidateAll();
  }
  return true;
}

bool CGridCtrl::SetColumnCount(int n) {
  if (n == colCount) return true;
  if (n < fixedColCount) fixedColCount = n;
  if (focusCell.col >= n) SetFocusCell(-1, -1);

  for (int rowIdx = 0; rowIdx < rowCount; ++rowIdx) {
    GridRow* row = rows[size_t(rowIdx)].get();
    if (!row) continue;
    for (int colIdx = n; colIdx < colCount && colIdx < int(row->size()); ++colIdx) {
      GridCell*& cell = (*row)[size_t(colIdx)];
      if (!cell) continue;
      emptyCell(cell, rowIdx, colIdx);
      delete cell;
      cell = nullptr;
    }
  }
  const int oldCount = colCount;
  colCount = n;
  colWidths.resize(size_t(n), uint32_t(defaultColWidth));
  for (int colIdx = oldCount; colIdx < n; ++colIdx)
    colWidths[size_t(colIdx)] = uint32_t(defaultColWidth);
  for (auto& row : rows)
    if (row) row->resize(size_t(n), nullptr);
  for (int rowIdx = 0; rowIdx < rowCount; ++rowIdx) {
    GridRow* row = rows[size_t(rowIdx)].get();
    if (!row) continue;
    for (int colIdx = oldCount; colIdx < n; ++colIdx)
      (*row)[size_t(colIdx)] = createCell(rowIdx, colIdx);
  }
  markColsDirty(std::min(oldCount, n));
  if (created && allowDraw) {
    ResetScrollBars();
    invalidateAll();
  }
  return true;
}

bool CGridCtrl::SetFixedRowCount(int n) {
  if (n > rowCount && !SetRowCount(n)) return false;
  if (focusCell.row < n) SetFocusCell(-1, -1);
  fixedRowCount = n;
  if (created && allowDraw) invalidateAll();
  return true;
}

bool CGridCtrl::SetFixedColumnCount(int n) {
  if (n > colCount && !SetColumnCount(n)) return false;
  if (focusCell.col < n) SetFocusCell(-1, -1);
  fixedColCount = n;
  if (created && allowDraw) invalidateAll();
  return true;
}

bool CGridCtrl::DeleteAllItems() {
  ResetSelectedRange();
  colWidths.clear();
  rowHeights.clear();
  for (int rowIdx = 0; rowIdx < int(rows.size()); ++rowIdx) {
    GridRow* row = rows[size_t(rowIdx)].get();
    if (!row) continue;
    for (int colIdx = 0; colIdx < int(row->size()); ++colIdx) {
      GridCell*& cell = (*row)[size_t(colIdx)];
      if (!cell) continue;
      emptyCell(cell, rowIdx, colIdx);
      delete cell;
      cell = nullptr;
    }
    rows[size_t(rowIdx)].reset();
  }
  rows.clear();
  focusCell = CellPos{};
  rowCount = colCount = fixedRowCount = fixedColCount = 0;
  markRowsDirty(0);
  markColsDirty(0);
  // An empty grid scrolls nowhere. Without this the next table would be shown from the
  // old scroll position, since ResetScrollBars keeps the bars of a grid without cells.
  vScrollMax = hScrollMax = 0;
  if (created) {
    verticalScrollBar()->setRange(0, 0);
    horizontalScrollBar()->setRange(0, 0);
  }
  ResetScrollBars();
  return true;
}

int CGridCtrl::GetRowHeight(int row) const {
  return row >= 0 && row < rowCount ? int(rowHeights[size_t(row)]) : -1;
}

int CGridCtrl::GetColumnWidth(int col) const {
  return col >= 0 && col < colCount ? int(colWidths[size_t(col)]) : -1;
}

bool CGridCtrl::SetRowHeight(int row, int height) {
  if (row < 0 || row >= rowCount || height < 0) return false;
  rowHeights[size_t(row)] = uint32_t(height);
  markRowsDirty(row);
  return true;
}

bool CGridCtrl::SetColumnWidth(int col, int width) {
  if (col < 0 || col >= colCount || width < 0) return false;
  colWidths[size_t(col)] = uint32_t(width);
  markColsDirty(col);
  return true;
}

bool CGridCtrl::IsValid(int row, int col) const {
  return row >= 0 && row < rowCount && col >= 0 && col < colCount;
}

bool CGridCtrl::IsValid(const CellRange& r) const {
  return r.minRow >= 0 && r.minCol >= 0 && r.maxRow >= 0 && r.maxCol >= 0 && r.maxRow < rowCount &&
         r.maxCol < colCount && r.minRow <= r.maxRow && r.minCol <= r.maxCol;
}

// ---- Drawing switch, font, colours.

void CGridCtrl::SetRedraw(bool allow, bool resetScrollBars) {
  const bool turningOn = allow && !allowDraw;
  if (turningOn) invalidateAll();
  allowDraw = allow;
  // Counts changed while drawing was off did not touch the scroll bars; bring them in line
  // with the new table now, or it would be shown through the old table's ranges.
  if (resetScrollBars || turningOn) ResetScrollBars();
}

void CGridCtrl::invalidateAll() {
  if (created) viewport()->update();
  // What is on screen is no longer a picture of one top-left cell until it is repainted.
  shownTopLeft = CellPos{-2, -2};
}

void CGridCtrl::SetFont(const QFont& font, bool redraw) {
  inOnSetFont = true;
  QWidget::setFont(font);
  inOnSetFont = false;
  OnSetFont(font, redraw);
}

void CGridCtrl::OnSetFont(const QFont& font, bool /*redraw*/) {
  logFont = font;
  logFontId = fontIdOf(font);
  for (auto& row : rows)
    if (row)
      for (GridCell* cell : *row)
        if (cell) cell->fontId = logFontId;
  if (created) {
    gridFont = font;
    const QFontMetrics metrics(font, viewport());
    cellMargin = metrics.horizontalAdvance(QLatin1Char(' '));
    defaultColWidth = 70;
    defaultRowHeight = metrics.height() + metrics.leading() + 2 * cellMargin;
    invalidateAll();
  }
}

void CGridCtrl::OnSysColorChange() {
  if (textColour == sysWindowTextColour) textColour = sysColour(QPalette::WindowText);
  if (textBkColour == sysWindowColour) textBkColour = sysColour(QPalette::Base);
  if (gridBkColour == sysBtnShadowColour) gridBkColour = sysColour(QPalette::Dark);
  if (fixedTextColour == sysWindowTextColour) fixedTextColour = sysColour(QPalette::WindowText);
  if (fixedBkColour == sysBtnFaceColour) fixedBkColour = sysColour(QPalette::Button);
  sysWindowTextColour = sysColour(QPalette::WindowText);
  sysWindowColour = sysColour(QPalette::Base);
  sysBtnFaceColour = sysColour(QPalette::Button);
  sysBtnShadowColour = sysColour(QPalette::Dark);
}

void CGridCtrl::changeEvent(QEvent* event) {
  QAbstractScrollArea::changeEvent(event);
  if (event->type() == QEvent::FontChange && !inOnSetFont) OnSetFont(font(), true);
  if (event->type() == QEvent::PaletteChange) OnSysColorChange();
  // A title tip goes when the application loses the keyboard focus.
  if (event->type() == QEvent::ActivationChange && !isActiveWindow()) hideTitleTip();
}

intptr_t CGridCtrl::SendMessageToParent(int row, int col, int code) {
  if (!created) return 0;
  GridNotify nm;
  nm.gridFrom = this;
  nm.idFrom = controlId;
  nm.code = code;
  nm.row = row;
  nm.col = col;
  emit gridNotify(&nm);
  return nm.result;
}

}  // namespace tabulor
