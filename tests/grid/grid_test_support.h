// Helpers of the grid tests: one QApplication for the whole run (offscreen), a created grid
// with a client area of an exact size, a palette whose roles all have distinct colours,
// pixel probing of a grabbed client area, and for the interaction tests a grid of uniform
// cells with the keyboard focus, cell centres and a record of the grid's notifications.
#pragma once

#include <QImage>
#include <QObject>
#include <QPalette>
#include <QPoint>
#include <memory>
#include <ostream>
#include <vector>

#include "grid/grid_ctrl.h"

namespace tabulor {

// Cells and ranges in test messages read "(row, col)" and "(minRow, minCol)-(maxRow, maxCol)".
void PrintTo(const CellPos& cell, std::ostream* out);
void PrintTo(const CellRange& range, std::ostream* out);

}  // namespace tabulor

namespace tabulor::test {

// Role colours that differ from each other and from the grid's own defaults.
QPalette distinctPalette();

// A grid with the given counts, created with a client area of exactly width x height
// (scroll bars kept but never shown, no border), using distinctPalette().
std::unique_ptr<CGridCtrl> makeGrid(int width, int height, int rows = 0, int cols = 0,
                                    int fixedRows = 0, int fixedCols = 0);

// The client area as painted by a paint event.
QImage grabClient(CGridCtrl& grid);

// The colour at (x, y) as a grid COLORREF.
COLORREF pixel(const QImage& image, int x, int y);

// A created grid of `rows` x `cols` with one fixed row and column, rows of 20 and columns
// of 50 pixels, cell (r, c) reading "r.c" (headers: column and row numbers), the window
// active and the grid holding the keyboard focus. Read-only unless `editable`.
std::unique_ptr<CGridCtrl> makeUniformGrid(int width, int height, int rows, int cols,
                                           bool editable = false);

// Makes the grid's window the active one and gives the grid the keyboard focus.
void focusGrid(CGridCtrl& grid);

// The centre of a cell on screen, in client coordinates.
QPoint cellCentre(const CGridCtrl& grid, int row, int col);

// What the grid told its host, in order.
struct Notification {
  int code, row, col;
  friend bool operator==(const Notification&, const Notification&) = default;
};
class NotifyLog {
 public:
  explicit NotifyLog(CGridCtrl& grid);
  std::vector<Notification> events;
  // The codes alone, leaving out focus changes (-100, -101).
  std::vector<int> editCodes() const;

 private:
  QObject receiver;  // ends the connection with the log
};

}  // namespace tabulor::test
