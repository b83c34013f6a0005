// bench_grid: builds one grid of <rows> x <cols> cells, fills every text, and paints a
// 1920 x 1080 client area at the top and after scrolling to the bottom. The widget is
// CGridCtrl ("grid") or Qt's QTableWidget ("qtablewidget"), so both can be timed alike.
// Prints one line of key=value figures for bench_grid.py. Run under QT_QPA_PLATFORM=offscreen.
#include <malloc.h>

#include <QApplication>
#include <QHeaderView>
#include <QImage>
#include <QScrollBar>
#include <QTableWidget>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <vector>

#include "grid/grid_ctrl.h"

using namespace tabulor;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int ViewWidth = 1920, ViewHeight = 1080, PaintRounds = 15;

size_t heapInUse() {
  return mallinfo2().uordblks;
}

double secondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// The text of a cell: what a preview shows, short numbers and words.
QString cellText(int row, int col) {
  switch (col % 4) {
    case 0:
      return QString::number(row + 1);
    case 1:
      return QString::number(row * 7.25 + col, 'f', 2);
    case 2:
      return QStringLiteral("item %1").arg(row % 1000);
    default:
      return (row % 3) ? QStringLiteral("TRUE") : QStringLiteral("FALSE");
  }
}

// Median milliseconds of painting the whole client area into an image.
double paintMillis(QWidget* viewport) {
  QImage target(viewport->size(), QImage::Format_RGB32);
  std::vector<double> times;
  for (int round = 0; round < PaintRounds; ++round) {
    const auto start = Clock::now();
    viewport->render(&target);
    times.push_back(secondsSince(start) * 1000);
  }
  std::sort(times.begin(), times.end());
  return times[times.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3 ||
      (std::strcmp(argv[1], "grid") != 0 && std::strcmp(argv[1], "qtablewidget") != 0)) {
    std::fprintf(stderr, "usage: bench_grid grid|qtablewidget <rows> [cols]\n");
    return 2;
  }
  QApplication app(argc, argv);
  const bool ours = std::strcmp(argv[1], "grid") == 0;
  const int rows = std::atoi(argv[2]);
  const int cols = argc > 3 ? std::atoi(argv[3]) : 20;
  double fillSeconds = 0, top = 0, bottom = 0;
  size_t heapBytes = 0;

  if (ours) {
    CGridCtrl grid;
    grid.setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    grid.setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    grid.Create(QRect(0, 0, ViewWidth, ViewHeight), nullptr, 102);
    const size_t before = heapInUse();
    const auto start = Clock::now();
    grid.SetRedraw(false);
    grid.SetColumnCount(cols);
    grid.SetRowCount(rows);
    grid.SetFixedRowCount(1);
    grid.SetFixedColumnCount(1);
    for (int r = 0; r < rows; ++r)
      for (int c = 0; c < cols; ++c) grid.SetItemText(r, c, cellText(r, c));
    grid.SetRedraw(true, true);
    fillSeconds = secondsSince(start);
    heapBytes = heapInUse() - before;
    top = paintMillis(grid.viewport());
    grid.OnVScroll(SB_BOTTOM);
    bottom = paintMillis(grid.viewport());
  } else {
    QTableWidget table;
    table.setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    table.setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // Same cell size as the grid's defaults, so both paint about as many cells.
    table.horizontalHeader()->setMinimumSectionSize(1);
    table.verticalHeader()->setMinimumSectionSize(1);
    table.horizontalHeader()->setDefaultSectionSize(70);
    table.verticalHeader()->setDefaultSectionSize(18);
    table.show();
    const size_t before = heapInUse();
    const auto start = Clock::now();
    table.setColumnCount(cols);
    table.setRowCount(rows);
    for (int r = 0; r < rows; ++r)
      for (int c = 0; c < cols; ++c) table.setItem(r, c, new QTableWidgetItem(cellText(r, c)));
    fillSeconds = secondsSince(start);
    heapBytes = heapInUse() - before;
    // The client area (viewport) gets the same 1920 x 1080 as the grid's.
    const QSize frame = table.size() - table.viewport()->size();
    table.resize(QSize(ViewWidth, ViewHeight) + frame);
    app.processEvents();
    top = paintMillis(table.viewport());
    table.scrollToBottom();
    app.processEvents();
    bottom = paintMillis(table.viewport());
  }
  const double cells = double(rows) * cols;
  std::printf(
      "cells=%.0f fill_s=%.4f heap_bytes=%zu bytes_per_cell=%.1f paint_top_ms=%.3f "
      "paint_bottom_ms=%.3f\n",
      cells, fillSeconds, heapBytes, double(heapBytes) / cells, top, bottom);
  return 0;
}
