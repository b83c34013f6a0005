// Helpers of the grid tests: one QApplication for the whole run (offscreen), a created grid
// with a client area of an exact size, a palette whose roles all have distinct colours, and
// pixel probing of a grabbed client area.
#pragma once

#include <QImage>
#include <QPalette>
#include <memory>

#include "grid/grid_ctrl.h"

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

}  // namespace tabulor::test
