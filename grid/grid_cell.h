// The cell record of the grid, the row that holds a row's cells, and GridItem, the record
// through which callers read a cell's attributes by mask. Cells are kept small: a cell's
// font is an index into the grid's font pool (grid_font_pool.h), not a copy of the font.
#pragma once

#include <QFont>
#include <QString>
#include <cstdint>
#include <vector>

#include "grid/grid_types.h"

namespace tabulor {

// One cell. The grid creates it through the virtual CGridCtrl::CreateCell, so a host may
// derive its own cell type; it is destroyed through the virtual destructor.
class GridCell {
 public:
  GridCell() = default;
  virtual ~GridCell() = default;
  GridCell(const GridCell&) = delete;
  GridCell& operator=(const GridCell&) = delete;

  QString text;
  uint32_t format = 0;  // DT_* layout flags for the painters
  int32_t image = -1;   // image list index, -1 = none
  COLORREF bkColour = CLR_DEFAULT;
  COLORREF fgColour = CLR_DEFAULT;
  uint32_t param = 0;  // owner's value
  // State bits (CellFocused ... CellModified). Every defined bit lies in the low 16 bits,
  // so the state is kept in 16 bits; higher bits given to SetItemState are not stored.
  uint16_t state = 0;
  uint16_t fontId = 0;  // index into CGridCtrl's font pool
};

// The cells of one row, one slot per column. A slot may be null when a host's CreateCell
// returned null; every accessor treats such a cell as missing.
using GridRow = std::vector<GridCell*>;

// Exchange record of GetItem: `mask` says which attributes are transferred.
struct GridItem {
  int row = 0;
  int col = 0;
  uint32_t mask = 0;
  uint32_t state = 0;
  uint32_t format = 0;
  QString text;
  int image = -1;
  COLORREF bkColour = CLR_DEFAULT;
  COLORREF fgColour = CLR_DEFAULT;
  uint32_t param = 0;
  QFont font;
};

}  // namespace tabulor
