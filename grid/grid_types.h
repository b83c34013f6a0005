// Small value types and constants shared by every part of the grid control: cell addresses
// and ranges, the notification record, colours in the 0x00BBGGRR layout the grid's colour
// fields use, and the cell state, item mask, text format and notification codes.
#pragma once

#include <QColor>
#include <QString>
#include <cstdint>

namespace tabulor {

class CGridCtrl;

// Colours are kept as 0x00BBGGRR values so that the documented defaults (0xC0C0C0 grid
// lines, 0xFFFFFF white) read as they are written; CLR_DEFAULT means "the grid's colour".
using COLORREF = uint32_t;
inline constexpr COLORREF CLR_DEFAULT = 0xFF000000u;

constexpr COLORREF RGB(int r, int g, int b) {
  return COLORREF(r & 0xFF) | (COLORREF(g & 0xFF) << 8) | (COLORREF(b & 0xFF) << 16);
}
inline QColor toQColor(COLORREF c) {
  return QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF);
}
inline COLORREF fromQColor(const QColor& c) {
  return RGB(c.red(), c.green(), c.blue());
}

// A cell address; (-1, -1) addresses no cell.
struct CellPos {
  int row = -1;
  int col = -1;
  friend bool operator==(const CellPos&, const CellPos&) = default;
};

// An inclusive block of cells.
struct CellRange {
  int minRow = -1;
  int minCol = -1;
  int maxRow = -1;
  int maxCol = -1;
  friend bool operator==(const CellRange&, const CellRange&) = default;
  int GetRowSpan() const { return maxRow - minRow + 1; }
  int GetColSpan() const { return maxCol - minCol + 1; }
  bool InRange(int row, int col) const {
    return row >= minRow && row <= maxRow && col >= minCol && col <= maxCol;
  }
};

// What the grid tells its host: which grid, its control id, the code and the cell. A slot
// may set `result`, which SendMessageToParent returns.
struct GridNotify {
  CGridCtrl* gridFrom = nullptr;
  int idFrom = 0;
  int code = 0;
  int row = -1;
  int col = -1;
  intptr_t result = 0;
};

// Cell state bits (0x10 is unused).
inline constexpr uint32_t CellFocused = 0x01;
inline constexpr uint32_t CellSelected = 0x02;
inline constexpr uint32_t CellDropHilited = 0x04;
inline constexpr uint32_t CellReadOnly = 0x08;
inline constexpr uint32_t CellModified = 0x20;

// GridItem mask bits: which attributes GetItem transfers.
inline constexpr uint32_t ItemMaskText = 0x01;
inline constexpr uint32_t ItemMaskImage = 0x02;
inline constexpr uint32_t ItemMaskParam = 0x04;
inline constexpr uint32_t ItemMaskState = 0x08;
inline constexpr uint32_t ItemMaskBkColour = 0x10;
inline constexpr uint32_t ItemMaskFgColour = 0x20;
inline constexpr uint32_t ItemMaskFormat = 0x40;
inline constexpr uint32_t ItemMaskFont = 0x80;

enum GridLinesMode { GridLinesNone = 0, GridLinesHorz = 1, GridLinesVert = 2, GridLinesBoth = 3 };

// Text layout flags of a cell's `format`, with the values hosts know them by.
inline constexpr uint32_t DT_LEFT = 0x0000;
inline constexpr uint32_t DT_CENTER = 0x0001;
inline constexpr uint32_t DT_RIGHT = 0x0002;
inline constexpr uint32_t DT_VCENTER = 0x0004;
inline constexpr uint32_t DT_BOTTOM = 0x0008;
inline constexpr uint32_t DT_WORDBREAK = 0x0010;
inline constexpr uint32_t DT_SINGLELINE = 0x0020;
inline constexpr uint32_t DT_NOPREFIX = 0x0800;
inline constexpr uint32_t DT_END_ELLIPSIS = 0x8000;

// Notification codes sent through CGridCtrl::gridNotify.
inline constexpr int LVN_ITEMCHANGING = -100;
inline constexpr int LVN_ITEMCHANGED = -101;
inline constexpr int LVN_BEGINLABELEDITA = -105;
inline constexpr int LVN_ENDLABELEDITA = -106;
inline constexpr int LVN_BEGINDRAG = -109;

// Scroll bar identities and the scroll request codes of the scroll handlers.
inline constexpr int SB_HORZ = 0;
inline constexpr int SB_VERT = 1;
enum ScrollCode {
  SB_LINEUP = 0,
  SB_LINELEFT = 0,
  SB_LINEDOWN = 1,
  SB_LINERIGHT = 1,
  SB_PAGEUP = 2,
  SB_PAGELEFT = 2,
  SB_PAGEDOWN = 3,
  SB_PAGERIGHT = 3,
  SB_THUMBPOSITION = 4,
  SB_THUMBTRACK = 5,
  SB_TOP = 6,
  SB_LEFT = 6,
  SB_BOTTOM = 7,
  SB_RIGHT = 7,
  SB_ENDSCROLL = 8,
};

// Key codes of the keyboard handlers and of the key that starts or ends an in-place edit
// (VK_LBUTTON stands for "started by the mouse").
inline constexpr unsigned VK_LBUTTON = 0x01;
inline constexpr unsigned VK_BACK = 0x08;
inline constexpr unsigned VK_TAB = 0x09;
inline constexpr unsigned VK_RETURN = 0x0D;
inline constexpr unsigned VK_ESCAPE = 0x1B;
inline constexpr unsigned VK_SPACE = 0x20;
inline constexpr unsigned VK_PRIOR = 0x21;
inline constexpr unsigned VK_NEXT = 0x22;
inline constexpr unsigned VK_END = 0x23;
inline constexpr unsigned VK_HOME = 0x24;
inline constexpr unsigned VK_LEFT = 0x25;
inline constexpr unsigned VK_UP = 0x26;
inline constexpr unsigned VK_RIGHT = 0x27;
inline constexpr unsigned VK_DOWN = 0x28;
inline constexpr unsigned VK_DELETE = 0x2E;
// Marks a first character of OnEditCell that is a navigation key (VK_TAB, VK_PRIOR ...
// VK_DOWN) rather than a typed character: typed "!" to "(" share their codes with the keys
// VK_PRIOR to VK_DOWN, and a typed character must reach the editor.
inline constexpr unsigned EditKeyFlag = 0x80000000u;

// What WM_GETDLGCODE-style queries answer: the grid wants arrows and characters, and Tab
// when it handles Tab itself.
inline constexpr unsigned DLGC_WANTARROWS = 0x01;
inline constexpr unsigned DLGC_WANTTAB = 0x02;
inline constexpr unsigned DLGC_WANTALLKEYS = 0x04;
inline constexpr unsigned DLGC_WANTCHARS = 0x80;

// Drop effects of the drag-and-drop operations.
inline constexpr unsigned DROPEFFECT_NONE = 0;
inline constexpr unsigned DROPEFFECT_COPY = 1;
inline constexpr unsigned DROPEFFECT_MOVE = 2;

// The grid's own clipboard and drag format, offered beside text/plain: the selection's
// bounding block as a UTF-8 JSON array of rows, each an array holding a cell's exact text,
// or null for a cell that is not selected. Grids paste it cell for cell, so texts with a
// TAB, comma, line break or outer blanks and the gaps of a Ctrl selection arrive unchanged.
inline constexpr char GridCellsMimeType[] = "application/x-tabulor-grid-cells";

// Edit commands a host can route to the grid (CGridCtrl::OnCommand).
inline constexpr int ID_EDIT_COPY = 57634;
inline constexpr int ID_EDIT_CUT = 57635;
inline constexpr int ID_EDIT_PASTE = 57637;
inline constexpr int ID_EDIT_SELECT_ALL = 57642;

// The grid's only timer (drag selection) and the control id of in-place editors.
inline constexpr int DragSelectTimerId = 513;
inline constexpr int InPlaceControlId = 8;

// Alignment styles of the in-place editor.
inline constexpr uint32_t ES_LEFT = 0x0000;
inline constexpr uint32_t ES_CENTER = 0x0001;
inline constexpr uint32_t ES_RIGHT = 0x0002;
inline constexpr uint32_t ES_AUTOHSCROLL = 0x0080;

// What an in-place editor reports when it ends: the cell, its final text and the key that
// ended it (VK_TAB, VK_RETURN, VK_ESCAPE, VK_PRIOR ... VK_DOWN, or 0 when the focus simply
// moved elsewhere), with the keyboard modifiers held with that key.
struct GridDispInfo {
  int idFrom = 0;
  int code = 0;
  int row = -1;
  int col = -1;
  uint32_t mask = 0;
  QString text;
  unsigned param = 0;
  Qt::KeyboardModifiers modifiers;
};

// Window styles understood by CGridCtrl::Create.
inline constexpr uint32_t WS_CHILD = 0x40000000;
inline constexpr uint32_t WS_VISIBLE = 0x10000000;
inline constexpr uint32_t WS_BORDER = 0x00800000;
inline constexpr uint32_t WS_TABSTOP = 0x00010000;

}  // namespace tabulor
