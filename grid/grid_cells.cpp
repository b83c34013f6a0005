// CGridCtrl's cells: creation and emptying, the attribute accessors and the modified marks.
// Cell states change only through SetItemState, which keeps selectedCells in step; focus
// and selection are in grid_interaction.cpp.
#include <algorithm>
#include <new>

#include "grid/grid_ctrl.h"

namespace tabulor {

GridCell* CGridCtrl::CreateCell(int row, int col) {
  auto* cell = new (std::nothrow) GridCell;
  if (!cell) return nullptr;
  if (row > 0 && col >= 0 && col < colCount) cell->format = GetItemFormat(row - 1, col);
  cell->fontId = logFontId;
  return cell;
}

void CGridCtrl::EmptyCell(GridCell* cell, int row, int col) {
  SetItemState(row, col, 0);
  if (cell) cell->text.clear();
}

GridCell* CGridCtrl::GetCell(int row, int col) const {
  if (row < 0 || row >= rowCount || col < 0 || col >= colCount) return nullptr;
  const GridRow* cells = rows[size_t(row)].get();
  if (!cells || size_t(col) >= cells->size()) return nullptr;
  return (*cells)[size_t(col)];
}

bool CGridCtrl::GetItem(GridItem* item) {
  if (!item) return false;
  const GridCell* cell = GetCell(item->row, item->col);
  if (!cell) return false;
  const uint32_t mask = item->mask;
  if (mask & ItemMaskText) item->text = GetItemText(item->row, item->col);
  if (mask & ItemMaskParam) item->param = cell->param;
  if (mask & ItemMaskImage) item->image = cell->image;
  if (mask & ItemMaskState) item->state = cell->state;
  if (mask & ItemMaskFormat) item->format = cell->format;
  if (mask & ItemMaskBkColour) item->bkColour = cell->bkColour;
  if (mask & ItemMaskFgColour) item->fgColour = cell->fgColour;
  if (mask & ItemMaskFont) item->font = fonts.font(cell->fontId);
  return true;
}

QString CGridCtrl::GetItemText(int row, int col) const {
  const GridCell* cell = GetCell(row, col);
  return cell ? cell->text : QString();
}

bool CGridCtrl::SetItemText(int row, int col, const QString& text) {
  GridCell* cell = GetCell(row, col);
  if (!cell) return false;
  cell->text = text;
  return true;
}

int CGridCtrl::GetItemImage(int row, int col) const {
  const GridCell* cell = GetCell(row, col);
  return cell ? cell->image : -1;
}

bool CGridCtrl::SetItemImage(int row, int col, int image) {
  GridCell* cell = GetCell(row, col);
  if (!cell) return false;
  cell->image = image;
  return true;
}

uint32_t CGridCtrl::GetItemState(int row, int col) const {
  const GridCell* cell = GetCell(row, col);
  return cell ? cell->state : 0;
}

bool CGridCtrl::SetItemState(int row, int col, uint32_t state) {
  GridCell* cell = GetCell(row, col);
  if (!cell) return false;
  const bool wasSelected = cell->state & CellSelected;
  const bool isSelected = state & CellSelected;
  if (wasSelected && !isSelected) selectedCells.RemoveKey({row, col});
  if (!wasSelected && isSelected) selectedCells.SetAt({row, col});
  cell->state = uint16_t(state);
  return true;
}

uint32_t CGridCtrl::GetItemFormat(int row, int col) const {
  const GridCell* cell = GetCell(row, col);
  return cell ? cell->format : 0;
}

bool CGridCtrl::SetItemFormat(int row, int col, uint32_t format) {
  GridCell* cell = GetCell(row, col);
  if (!cell) return false;
  cell->format = format;
  return true;
}

bool CGridCtrl::SetItemFont(int row, int col, const QFont& font) {
  GridCell* cell = GetCell(row, col);
  if (!cell) return false;
  cell->fontId = fontIdOf(font);
  return true;
}

const QFont* CGridCtrl::GetItemFont(int row, int col) const {
  const GridCell* cell = GetCell(row, col);
  return cell ? &fonts.font(cell->fontId) : &logFont;
}

COLORREF CGridCtrl::GetItemBkColour(int row, int col) const {
  const GridCell* cell = GetCell(row, col);
  return cell ? cell->bkColour : CLR_DEFAULT;
}

bool CGridCtrl::SetItemBkColour(int row, int col, COLORREF c) {
  GridCell* cell = GetCell(row, col);
  if (!cell) return false;
  cell->bkColour = c;
  return true;
}

COLORREF CGridCtrl::GetItemFgColour(int row, int col) const {
  const GridCell* cell = GetCell(row, col);
  return cell ? cell->fgColour : CLR_DEFAULT;
}

bool CGridCtrl::SetItemFgColour(int row, int col, COLORREF c) {
  GridCell* cell = GetCell(row, col);
  if (!cell) return false;
  cell->fgColour = c;
  return true;
}

uint32_t CGridCtrl::GetItemData(int row, int col) const {
  const GridCell* cell = GetCell(row, col);
  return cell ? cell->param : 0;
}

bool CGridCtrl::SetItemData(int row, int col, uint32_t param) {
  GridCell* cell = GetCell(row, col);
  if (!cell) return false;
  cell->param = param;
  return true;
}

void CGridCtrl::SetModified(bool isModified, int row, int col) {
  if (row > 0 && col > 0) {
    if (isModified) {
      SetItemState(row, col, GetItemState(row, col) | CellModified);
      modified = true;
    } else {
      SetItemState(row, col, GetItemState(row, col) & ~CellModified);
    }
  } else {
    modified = isModified;
  }
  if (!modified) {
    for (int rowIdx = 0; rowIdx < rowCount; ++rowIdx)
      for (int colIdx = 0; colIdx < colCount; ++colIdx) {
        const uint32_t state = GetItemState(rowIdx, colIdx);
        if (state & CellModified) SetItemState(rowIdx, colIdx, state & ~CellModified);
      }
  }
}

bool CGridCtrl::IsCellEditable(int row, int col) const {
  return editable && !(GetItemState(row, col) & CellReadOnly);
}

}  // namespace tabulor
