// CGridCtrl: the spreadsheet-like grid widget that shows the preview. It keeps every cell as
// an object of its own in an array of rows, paints fixed (header) rows and columns in a 3D
// button look, scrolls by pixel offsets held in real scroll bars, and reports to its host
// through the gridNotify signal. The data model and cells are in grid_ctrl.cpp and
// grid_cells.cpp, geometry and scrolling in grid_layout.cpp, painting in grid_draw.cpp,
// keyboard, mouse and selection in grid_interaction.cpp, in-place editing in
// in_place_edit.cpp, title tips in title_tip_wnd.cpp, clipboard and drag-and-drop in
// grid_clipboard.cpp and sorting in grid_sort.cpp.
#pragma once

#include <QAbstractScrollArea>
#include <QFont>
#include <QPoint>
#include <QPointer>
#include <QRect>
#include <QSize>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "grid/grid_cell.h"
#include "grid/grid_font_pool.h"
#include "grid/grid_types.h"
#include "grid/selected_cell_map.h"

class QMimeData;
class QPainter;
class QPaintDevice;

namespace tabulor {

class GridDropTarget;
class InPlaceEdit;
class TitleTipWnd;

// Values of CGridCtrl::mouseMode (5 is not used).
enum MouseMode {
  MouseNothing = 0,
  MouseSelectAll = 1,
  MouseSelectCol = 2,
  MouseSelectRow = 3,
  MouseSelectCells = 4,
  MouseOverRowDivide = 6,
  MouseSizingRow = 7,
  MouseOverColDivide = 8,
  MouseSizingCol = 9,
  MousePrepareEdit = 10,
  MousePrepareDrag = 11,
  MouseDragging = 12,
};

class CGridCtrl : public QAbstractScrollArea {
  Q_OBJECT

 public:
  // Builds the cell storage for the given counts; no window exists until Create. The class
  // can also be made by name: QMetaObject::newInstance on CGridCtrl::staticMetaObject.
  Q_INVOKABLE explicit CGridCtrl(int rows = 0, int cols = 0, int fixedRows = 0, int fixedCols = 0,
                                 QWidget* parent = nullptr);
  ~CGridCtrl() override;

  // Makes the grid a live control: places it in `parent` at `rect` with control id `id`
  // (also its objectName "grid_<id>" unless one is set), applies WS_VISIBLE and WS_BORDER,
  // sets the grid font, the default sizes (rows 18 pixels, columns 70) for every existing
  // row and column, and the scroll bars. Returns false when the window cannot be made.
  bool Create(const QRect& rect, QWidget* parent, int id,
              uint32_t style = WS_CHILD | WS_TABSTOP | WS_VISIBLE);
  // True once Create has run: from then on count changes repaint and reset the scroll bars.
  bool IsWindowCreated() const { return created; }
  int GetDlgCtrlID() const { return controlId; }

  // Rows per mouse-wheel notch from the desktop setting (3 when it cannot be read).
  static unsigned GetMouseScrollLines();

  // ---- Counts and sizes. Negative counts are the caller's error and are not checked.
  bool SetRowCount(int n);
  bool SetColumnCount(int n);
  bool SetFixedRowCount(int n);
  bool SetFixedColumnCount(int n);
  int GetRowCount() const { return rowCount; }
  int GetColumnCount() const { return colCount; }
  int GetFixedRowCount() const { return fixedRowCount; }
  int GetFixedColumnCount() const { return fixedColCount; }
  // Empties the grid: no rows, columns, selection or focus. Does not repaint.
  bool DeleteAllItems();
  // Stored height / width, -1 outside the grid.
  int GetRowHeight(int row) const;
  int GetColumnWidth(int col) const;
  // False for an index outside the grid or a negative size. Neither repaints.
  bool SetRowHeight(int row, int height);
  bool SetColumnWidth(int col, int width);
  bool IsValid(int row, int col) const;
  bool IsValid(CellPos cell) const { return IsValid(cell.row, cell.col); }
  bool IsValid(const CellRange& range) const;

  // ---- Flags, drawing switch, colours, fonts.
  // Turns drawing (and scroll bar updates) on or off; turning it on repaints everything.
  void SetRedraw(bool allow, bool resetScrollBars = false);
  bool GetRedraw() const { return allowDraw; }
  void SetEditable(bool on) { editable = on; }
  bool IsEditable() const { return editable; }
  void SetGridLines(int mode) { gridLines = mode; }
  int GetGridLines() const { return gridLines; }
  void SetListMode(bool on) { listMode = on; }
  bool GetListMode() const { return listMode; }
  void SetSingleRowSelection(bool on) { singleRowSelection = on; }
  void EnableSelection(bool on) { enableSelection = on; }
  bool IsSelectable() const { return enableSelection; }
  void SetHandleTabKey(bool on) { handleTabKey = on; }
  void SetDoubleBuffering(bool on) { doubleBuffer = on; }
  bool GetDoubleBuffering() const { return doubleBuffer; }
  void EnableDragAndDrop(bool on) { allowDragAndDrop = on; }
  void SetRowResize(bool on) { allowRowResize = on; }
  void SetColumnResize(bool on) { allowColResize = on; }
  bool GetModified() const { return modified; }

  void SetTextColour(COLORREF c) { textColour = c; }
  void SetTextBkColour(COLORREF c) { textBkColour = c; }
  void SetGridBkColour(COLORREF c) { gridBkColour = c; }
  void SetFixedTextColour(COLORREF c) { fixedTextColour = c; }
  void SetFixedBkColour(COLORREF c) { fixedBkColour = c; }
  void SetGridLineColour(COLORREF c) { gridLineColour = c; }
  COLORREF GetTextColour() const { return textColour; }
  COLORREF GetTextBkColour() const { return textBkColour; }
  COLORREF GetGridBkColour() const { return gridBkColour; }
  COLORREF GetFixedTextColour() const { return fixedTextColour; }
  COLORREF GetFixedBkColour() const { return fixedBkColour; }
  COLORREF GetGridLineColour() const { return gridLineColour; }

  // Sets the grid font: every existing cell takes it, new cells copy it, and (once the
  // window exists) the margin and default sizes follow its metrics. Same as setFont.
  void SetFont(const QFont& font, bool redraw = true);
  // The grid font; a default font before the first one is set.
  QFont GetFont() const { return gridFont; }
  // The description new cells copy.
  const QFont& GetLogFont() const { return logFont; }
  int GetCellMargin() const { return cellMargin; }
  int GetDefaultRowHeight() const { return defaultRowHeight; }
  int GetDefaultColWidth() const { return defaultColWidth; }
  unsigned GetRowsPerWheelNotch() const { return rowsPerWheelNotch; }

  // Follows a change of the system colours (the widget palette): a user colour still equal
  // to the system colour it was taken from follows the new one.
  void OnSysColorChange();

  // Sends `code` for (row, col) to the host through gridNotify; returns what a slot put in
  // GridNotify::result, or 0 (also when no window exists).
  intptr_t SendMessageToParent(int row, int col, int code);

  // ---- Cells. Every operation naming a cell returns the "invalid" value listed for a
  // cell outside the grid or a missing cell: FALSE, 0, -1, an empty text or the grid font.
  GridCell* GetCell(int row, int col) const;
  bool GetItem(GridItem* item);
  bool SetItemText(int row, int col, const QString& text);
  // The same for UTF-8 text, as the engine and the cell formatting deliver it.
  bool SetItemText(int row, int col, const std::string& utf8) {
    return SetItemText(row, col, QString::fromUtf8(utf8.data(), qsizetype(utf8.size())));
  }
  bool SetItemText(int row, int col, const char* utf8) {
    return SetItemText(row, col, QString::fromUtf8(utf8));
  }
  int GetItemImage(int row, int col) const;
  bool SetItemImage(int row, int col, int image);
  uint32_t GetItemState(int row, int col) const;
  // Keeps selectedCells in step with the CellSelected bit. Does not repaint.
  bool SetItemState(int row, int col, uint32_t state);
  uint32_t GetItemFormat(int row, int col) const;
  bool SetItemFormat(int row, int col, uint32_t format);
  bool SetItemFont(int row, int col, const QFont& font);
  // The cell's font; the grid's logFont for an invalid cell. Valid for the grid's lifetime.
  const QFont* GetItemFont(int row, int col) const;
  COLORREF GetItemBkColour(int row, int col) const;
  bool SetItemBkColour(int row, int col, COLORREF c);
  COLORREF GetItemFgColour(int row, int col) const;
  bool SetItemFgColour(int row, int col, COLORREF c);
  uint32_t GetItemData(int row, int col) const;
  bool SetItemData(int row, int col, uint32_t param);
  void SetModified(bool modified = true, int row = -1, int col = -1);
  bool IsCellEditable(int row, int col) const;
  bool IsCellEditable(CellPos cell) const { return IsCellEditable(cell.row, cell.col); }

  // ---- Focus and selection. Every selection operation does nothing while selection is
  // disabled (EnableSelection(false)); SetFocusCell, GetSelectedCellRange and
  // InvalidateCellRect work regardless.
  CellPos SetFocusCell(int row, int col);
  CellPos SetFocusCell(CellPos cell) { return SetFocusCell(cell.row, cell.col); }
  CellPos GetFocusCell() const { return focusCell; }
  void SetSelectedRange(int minRow, int minCol, int maxRow, int maxCol, bool forceRepaint = false);
  void SetSelectedRange(const CellRange& r, bool forceRepaint = false) {
    SetSelectedRange(r.minRow, r.minCol, r.maxRow, r.maxCol, forceRepaint);
  }
  void SelectAllCells();
  // Whole columns between selectionStartCell and `cell`; nothing for a fixed column.
  void SelectColumns(CellPos cell);
  // Whole rows between selectionStartCell and `cell` (only `cell`'s row in single-row list
  // mode); nothing for a fixed row.
  void SelectRows(CellPos cell);
  // The block spanned by selectionStartCell and `cell`; nothing for a fixed cell.
  void SelectCells(CellPos cell);
  // Extends the selection to `cell` the way the current mouseMode selects.
  void OnSelecting(CellPos cell);
  void ResetSelectedRange();
  CellRange GetSelectedCellRange() const;
  int GetSelectedCount() const { return selectedCells.GetCount(); }
  const SelectedCellMap& GetSelectedCells() const { return selectedCells; }
  bool InvalidateCellRect(CellPos cell);
  // Whether a client point lies within resizeCaptureRange pixels of a column divider inside
  // the fixed rows (never at the left edge of column 0) / a row divider inside the fixed
  // columns (never at the top of row 0).
  bool MouseOverColumnResizeArea(QPoint point) const;
  bool MouseOverRowResizeArea(QPoint point) const;

  // ---- Keyboard and mouse handlers, named after the messages they handle. The Qt event
  // handlers below translate events into these; tests and hosts may call them directly.
  // DLGC_* flags of the keys the grid wants.
  unsigned OnGetDlgCode(Qt::KeyboardModifiers modifiers) const;
  // A key going down (VK_* code, or an upper-case letter with Ctrl). False when the key was
  // left to default processing.
  bool OnKeyDown(unsigned key, Qt::KeyboardModifiers modifiers);
  // A typed character; starts editing the focused cell where that is allowed. True when an
  // editor was opened.
  bool OnChar(unsigned ch, Qt::KeyboardModifiers modifiers);
  void OnLButtonDown(Qt::KeyboardModifiers modifiers, QPoint point);
  void OnMouseMove(Qt::MouseButtons buttons, QPoint point);
  void OnLButtonUp(QPoint point);
  void OnLButtonDblClk(QPoint point);
  // The drag-selection timer (only DragSelectTimerId is handled); reads the pointer's
  // position from QCursor.
  void OnTimer(int id);
  // Another window took the mouse (null: not known which): the drag-selection timer stops.
  void OnCaptureChanged(QObject* gaining);
  // A wheel turn of `delta` (120 per notch, positive away from the user). The scroll
  // requests are queued, not run at once; parts of a notch add up.
  void OnMouseWheel(int delta);
  void SetRowsPerWheelNotch(unsigned lines) { rowsPerWheelNotch = lines; }

  // ---- Edit commands. OnCommand runs ID_EDIT_COPY, _CUT, _PASTE or _SELECT_ALL and
  // returns false for another id; OnUpdateCommand says whether the command is enabled.
  bool OnCommand(int id);
  bool OnUpdateCommand(int id) const;

  // ---- Drag-and-drop (the drop side is reached through the GridDropTarget registered in
  // Create). Points are client points; effects are DROPEFFECT_* values.
  void OnBeginDrag();
  unsigned OnDragEnter(const QMimeData* data, Qt::KeyboardModifiers keyState, QPoint point);
  unsigned OnDragOver(const QMimeData* data, Qt::KeyboardModifiers keyState, QPoint point);
  void OnDragLeave();
  bool OnDrop(const QMimeData* data, unsigned dropEffect, QPoint point);

  // ---- Sorting. Rows fixedRowCount .. rowCount - 1 by column `col`, as numbers or as text
  // (SortItems chooses by the column's first data cell); the selection and focus are
  // cleared first. Text order is that of the UTF-8 bytes; numbers are the leading decimal
  // number of each text (0 without one). Whole rows move, with their heights. The range
  // forms sort rows low .. high (high -1: the last row) and return false for a column or
  // rows outside the grid or fewer than two rows.
  bool SortItems(int col, bool ascending);
  bool SortTextItems(int col, bool ascending, int low, int high = -1);
  bool SortNumericItems(int col, bool ascending, int low, int high = -1);
  int GetSortColumn() const { return sortColumn; }
  bool GetSortAscending() const { return sortAscending; }

  // ---- In-place editing.
  // Ends the editor's edit: stores the text, tells the host, and moves on to the next cell
  // when the editor was left with Tab or a navigation key.
  void OnEndInPlaceEdit(const GridDispInfo& info);
  // The title tip window, or null when the grid was created without title tips.
  TitleTipWnd* GetTitleTip() const { return titleTip; }
  // The open in-place editor, or null.
  InPlaceEdit* GetInPlaceEdit() const;

  // ---- Layout and scrolling. Client coordinates are those of the viewport, in pixels.
  int GetFixedRowHeight() const;
  int GetFixedColumnWidth() const;
  int GetVirtualHeight() const;
  int GetVirtualWidth() const;
  int GetVScrollMax() const { return vScrollMax; }
  int GetHScrollMax() const { return hScrollMax; }
  // Position of SB_HORZ or SB_VERT (the slider's tracking position with trackPos).
  int GetScrollPos32(int bar, bool trackPos = false) const;
  // Sets a bar's position; returns the previous one.
  int SetScrollPos32(int bar, int pos, bool redraw = true);
  CellPos GetTopLeftNonFixedCell() const;
  // Non-fixed cells at least partly on screen; `rect` gets the client part they cover.
  CellRange GetVisibleNonFixedCellRange(QRect* rect = nullptr) const;
  // Non-fixed cells entirely on screen.
  CellRange GetUnobstructedNonFixedCellRange() const;
  bool GetCellOrigin(int row, int col, QPoint* point) const;
  // Inclusive cell rectangle (right = left + width - 1); false for a cell scrolled out.
  bool GetCellRect(int row, int col, QRect* rect) const;
  bool GetCellRect(CellPos cell, QRect* rect) const {
    return GetCellRect(cell.row, cell.col, rect);
  }
  bool GetTextRect(int row, int col, QRect* rect) const;
  // The cell under a client point; -1 in a component that matches nothing.
  CellPos GetCellFromPt(QPoint point, bool allowFixed = true) const;
  bool IsCellVisible(int row, int col) const;
  bool IsCellVisible(CellPos cell) const { return IsCellVisible(cell.row, cell.col); }
  void EnsureVisible(int row, int col);
  void EnsureVisible(CellPos cell) { EnsureVisible(cell.row, cell.col); }
  void ResetScrollBars();
  bool AutoSizeColumn(int col);
  bool AutoSizeRow(int row);
  // Scroll requests of the two bars (SB_LINEUP ... SB_BOTTOM). Invokable, so that they
  // can be queued.
  Q_INVOKABLE void OnHScroll(int code);
  Q_INVOKABLE void OnVScroll(int code);

  // ---- Drawing.
  // Repaints one cell: into `dc` when given, else by invalidating its rectangle. False when
  // drawing is off or the cell is not on screen.
  bool RedrawCell(int row, int col, QPainter* dc = nullptr);
  bool RedrawCell(CellPos cell, QPainter* dc = nullptr) {
    return RedrawCell(cell.row, cell.col, dc);
  }
  // Paints the background bands inside the painter's clip box.
  void EraseBackground(QPainter& dc);

  // ---- Virtual operations a host may override, in the grid's order.
  virtual QString GetItemText(int row, int col) const;
  // Empties the selected editable cells (editable grids only), telling the host about each.
  virtual void CutSelectedText();
  // The selection as tab-separated text (TAB between columns, LF between rows, a blank for
  // a selected empty cell), as new mime data the caller owns; null with nothing selected.
  // Beside the text the data carries the exact cells in GridCellsMimeType.
  virtual QMimeData* CopyTextFromGrid();
  // Writes `data` into the grid from `cell` on: the exact cells where it carries
  // GridCellsMimeType, else its text split into fields; false when `cell` is not an
  // editable cell or `data` holds no text.
  virtual bool PasteTextToGrid(CellPos cell, const QMimeData* data);
  virtual void OnEditCut();
  virtual void OnEditCopy();
  virtual void OnEditPaste();
  virtual void OnEditSelectAll();
  // A press on a fixed column of a non-fixed row / on a fixed row.
  virtual void OnFixedColumnClick(CellPos cell);
  virtual void OnFixedRowClick(CellPos cell);
  virtual QSize GetCellExtent(int row, int col, QPaintDevice* dc);
  // Stores an edited text; marks the cell modified when the text changed.
  virtual void OnEndEditCell(int row, int col, const QString& text);
  // Starts editing (row, col) when the grid and the cell are editable: `firstChar` is
  // VK_LBUTTON when the mouse started it, a key code | EditKeyFlag for Tab and the
  // navigation keys, otherwise the typed character.
  virtual void OnEditCell(int row, int col, unsigned firstChar);
  // Makes the editor over `rect` (client coordinates); the grid keeps no reference to it.
  virtual InPlaceEdit* CreateInPlaceEditControl(const QRect& rect, uint32_t style, int id, int row,
                                                int col, const QString& text, unsigned firstChar);
  virtual void OnDraw(QPainter& dc);
  virtual bool DrawFixedCell(QPainter& dc, int row, int col, QRect rect, bool eraseBk = false);
  virtual bool DrawCell(QPainter& dc, int row, int col, QRect rect, bool eraseBk = false);
  virtual GridCell* CreateCell(int row, int col);
  virtual void EmptyCell(GridCell* cell, int row, int col);

 signals:
  // The notification to the host; a slot may set nm->result.
  void gridNotify(tabulor::GridNotify* nm);
  // Queued after every left-button release in the grid that followed a press on a cell:
  // the grid's control id and notification code 0, as a command to its owner.
  void gridCommand(int id, int notifyCode);

 protected:
  bool event(QEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void changeEvent(QEvent* event) override;
  void scrollContentsBy(int dx, int dy) override;
  void keyPressEvent(QKeyEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void timerEvent(QTimerEvent* event) override;
  bool viewportEvent(QEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  // Runs the drag loop for `data` (the drag takes it) and returns the effect the target
  // chose. The platform's drag; a host may replace it.
  virtual unsigned DoDragDrop(QMimeData* data, unsigned allowedEffects);

  // Handlers of the widget events, named after what they handle.
  void OnPaint(const QRect& clipBox);
  void OnSize();
  void OnSetFont(const QFont& font, bool redraw);
  void PreSubclassWindow();

 private:
  friend class GridDropTarget;
  // The texts of pasted data, in paste order, each placed relative to the cell the paste
  // starts at; rows from `rowLimit` on are left out, and moreBelow says whether one of them
  // held a non-empty text.
  struct PasteField {
    int rowOffset, colOffset;
    QString text;
  };
  struct PasteFields {
    std::vector<PasteField> fields;
    bool moreBelow = false;
  };
  // The exact cells where `data` carries GridCellsMimeType, else its text split into lines
  // and fields.
  static PasteFields pasteFields(const QMimeData* data, int rowLimit);
  // Whether pasting `fields` at `anchor` puts every non-empty text into a cell: none falls
  // outside the grid or on a read-only cell (whose texts a paste leaves out).
  bool fieldsLandWhole(const PasteFields& fields, CellPos anchor) const;
  // The same for the drag over lastDragOverCell, read from its data once per drag and
  // worked out once per cell. A move empties the source cells, so a drop that cannot take
  // all of them answers with a copy.
  bool dropLandsWhole(const QMimeData* data);
  void forgetDragFields();
  void invalidateAll();
  // Sends gridCommand; queued after a release.
  Q_INVOKABLE void emitCommand();
  // What every scroll request does first: the grid takes the keyboard focus from another
  // widget (which ends an in-place edit) and the title tip goes.
  void beginScroll();
  void onScrollBarAction(int bar, int action);
  // Moves the inverted bar that follows a dragged divider (none: takes it away).
  void showSizingBar(const std::optional<QRect>& bar);
  // Sets mouseMode from the dividers under a client point, with the matching cursor.
  void trackDividers(QPoint point);
  void drawSizingBar(QPainter& dc) const;
  // Brings the picture on screen to the current top-left cell: moves what stays in view
  // and repaints what comes into view.
  void showScrolledPicture();
  void setCursorShape(Qt::CursorShape shape);
  QPoint confinePoint(QPoint point) const;
  void killDragTimer();
  void hideTitleTip();
  // Invalidates the cell like InvalidateCellRect but gathers the rectangles into `area`.
  void invalidateCellInto(CellPos cell, QRect& area) const;
  void sortByHeader(int col);
  void swapRows(int a, int b);
  bool sortRows(int col, bool ascending, int low, int high, bool numeric);
  GridCell* createCell(int row, int col);
  void emptyCell(GridCell* cell, int row, int col);
  int clientWidth() const;
  int clientHeight() const;
  // Pixel position of a row's top / column's left counted from row / column 0.
  int64_t rowStart(int row) const;
  int64_t colStart(int col) const;
  void markRowsDirty(int from) const;
  void markColsDirty(int from) const;
  void syncScrollBarRanges();
  uint16_t fontIdOf(const QFont& font);
  COLORREF sysColour(int role) const;

 public:
  // ---- Fields, in the grid's declaration order. Public for the interaction code and for
  // hosts that inspect them; change them through the operations above.
  COLORREF textColour, textBkColour, gridBkColour, fixedTextColour, fixedBkColour;
  COLORREF gridLineColour = RGB(0xC0, 0xC0, 0xC0);
  COLORREF sysWindowTextColour, sysWindowColour, sysBtnFaceColour, sysBtnShadowColour;
  int gridLines = GridLinesBoth;
  bool editable = true;
  bool modified = false;
  bool allowDragAndDrop = false;
  bool listMode = false;
  bool singleRowSelection = false;
  bool allowDraw = true;
  bool enableSelection = true;
  bool sortOnClick = true;
  bool handleTabKey = true;
  bool doubleBuffer = true;
  bool titleTips = true;
  int rowCount = 0, fixedRowCount = 0, colCount = 0, fixedColCount = 0;
  std::vector<uint32_t> rowHeights;
  std::vector<uint32_t> colWidths;
  int cellMargin = 0;
  int defaultColWidth = 30;
  int defaultRowHeight = 10;
  int vScrollMax = 0;
  int hScrollMax = 0;
  QFont logFont;
  QFont gridFont;
  std::vector<std::unique_ptr<GridRow>> rows;
  int mouseMode = MouseNothing;
  QPoint leftClickDownPoint;
  QPoint lastMousePoint;
  CellPos leftClickDownCell;
  CellPos selectionStartCell;
  CellPos focusCell;
  int timerId = 0;
  unsigned timerInterval = 25;
  int resizeCaptureRange = 3;
  bool allowRowResize = true;
  bool allowColResize = true;
  unsigned rowsPerWheelNotch = 3;  // (unsigned)-1: a page per notch
  SelectedCellMap selectedCells;
  SelectedCellMap prevSelectedCells;
  TitleTipWnd* titleTip = nullptr;  // a child object, deleted with the grid
  CellPos lastDragOverCell;
  GridDropTarget* dropTarget = nullptr;  // a child object, deleted with the grid
  bool sortAscending = true;
  int sortColumn = -1;

 private:
  bool created = false;
  bool constructed = false;  // between the end of the constructor and the destructor
  int controlId = 0;
  uint16_t logFontId = 0;
  GridFontPool fonts;
  // Lazily kept prefix sums of rowHeights / colWidths: rowPos[i] = sum of heights before
  // row i, valid up to rowPosValid. Layout queries use them, so finding the top-left cell or
  // a cell's origin costs no walk over the rows above it.
  mutable std::vector<int64_t> rowPos, colPos;
  mutable int rowPosValid = 0, colPosValid = 0;
  bool inOnSetFont = false;
  // The mouse is held for the grid between a selection or sizing press and its release.
  bool capture = false;
  // Where the pointer is confined while a divider is dragged (client coordinates).
  std::optional<QRect> cursorClip;
  // The inverted bar shown while a divider is dragged.
  std::optional<QRect> sizingBar;
  // The top-left cell of the picture on screen; row -2 while a full repaint is due.
  CellPos shownTopLeft{-2, -2};
  // While set, scrolling moves no pixels; showScrolledPicture then moves them once.
  bool scrollsGathered = false;
  // Wheel distance not yet turned into whole lines (in 1/120 of a line) or pages.
  int wheelRemainder = 0;
  QPointer<InPlaceEdit> inPlaceEdit;
  // The texts of the drag over the grid (dropLandsWhole), and the cell they were last
  // checked for with the answer.
  std::optional<PasteFields> dragFields;
  CellPos dragFieldsCheckedAt;
  bool dragFieldsLandWhole = false;
};

}  // namespace tabulor
