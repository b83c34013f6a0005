// bench_grid: builds one grid of <rows> x <cols> cells, fills every text, and paints a
// 1920 x 1080 client area at the top and after scrolling to the bottom. The widget is
// CGridCtrl ("grid") or Qt's QTableWidget ("qtablewidget"), so both can be timed alike.
// The "-input" modes time what a user does instead: arrow keys with scrolling, a drag
// selection, copying a large selection and sorting by a numeric and a text column.
// Prints one line of key=value figures for bench_grid.py. Run under QT_QPA_PLATFORM=offscreen.
#include <malloc.h>

#include <QApplication>
#include <QClipboard>
#include <QCursor>
#include <QHeaderView>
#include <QImage>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
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

// ---- The input timings.

constexpr int ArrowMoves = 1000;
constexpr int DragRows = 527;    // x 19 columns: just over 10,000 cells
constexpr int CopyRows = 10000;  // x 19 columns
constexpr int DataColumns = 19;  // the grid's columns after its fixed row-number column
constexpr int NumberColumn = 1, TextColumn = 2;

// Texts of the input timings: a numeric and a text column in shuffled order, so sorting
// has real work, and the paint benchmark's texts elsewhere.
QString inputText(int row, int col) {
  const uint32_t mixed = uint32_t(row) * 2654435761u;
  if (col == NumberColumn) return QString::number(double(mixed % 10000000u) / 100.0, 'f', 2);
  if (col == TextColumn) return QStringLiteral("item %1").arg(mixed % 1000003u);
  return cellText(row, col);
}

double millisOf(const std::function<void()>& work) {
  const auto start = Clock::now();
  work();
  return secondsSince(start) * 1000;
}

void sendKey(QWidget* target, Qt::Key key) {
  QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
  QApplication::sendEvent(target, &press);
  QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier);
  QApplication::sendEvent(target, &release);
}

void sendMouse(QWidget* target, QEvent::Type type, QPoint at, Qt::MouseButtons buttons) {
  QMouseEvent event(type, at, target->mapToGlobal(at),
                    type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton, buttons,
                    Qt::NoModifier);
  QApplication::sendEvent(target, &event);
}

// The pointer rests inside the view during a drag, as it does on a real screen: the
// drag timers then find nothing to scroll. (The offscreen pointer starts at the screen's
// corner, above and left of everything.)
void placePointer(QWidget* view) {
  QCursor::setPos(view->mapToGlobal(view->rect().center()));
  QApplication::processEvents();
}

struct InputFigures {
  double arrows = 0, drag = 0, copy = 0, sortNumber = 0, sortText = 0;
  long dragCells = 0, copyBytes = 0;
};

// Every step ends with the pending repaints done, so each time includes what the user
// waits for on screen.
InputFigures timeGrid(int rows, int cols) {
  InputFigures f;
  CGridCtrl grid;
  grid.setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  grid.setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  grid.Create(QRect(0, 0, ViewWidth, ViewHeight), nullptr, 102);
  grid.SetRedraw(false);
  grid.SetColumnCount(cols);
  grid.SetRowCount(rows + 1);
  grid.SetFixedRowCount(1);
  grid.SetFixedColumnCount(1);
  for (int r = 1; r <= rows; ++r)
    for (int c = 0; c < cols; ++c) grid.SetItemText(r, c, inputText(r, c));
  grid.SetRedraw(true, true);
  QApplication::setActiveWindow(&grid);
  grid.setFocus();
  QWidget* view = grid.viewport();
  auto centre = [&](int row, int col) {
    QRect rect;
    grid.GetCellRect(row, col, &rect);
    return rect.center();
  };
  QApplication::processEvents();

  sendMouse(view, QEvent::MouseButtonPress, centre(1, 1), Qt::LeftButton);
  sendMouse(view, QEvent::MouseButtonRelease, centre(1, 1), Qt::NoButton);
  QApplication::processEvents();
  f.arrows = millisOf([&] {
    for (int i = 0; i < ArrowMoves; ++i) {
      sendKey(&grid, Qt::Key_Down);
      QApplication::processEvents();
    }
  });

  grid.OnVScroll(SB_TOP);
  placePointer(view);
  f.drag = millisOf([&] {
    sendMouse(view, QEvent::MouseButtonPress, centre(1, 1), Qt::LeftButton);
    for (int row = 1; row <= DragRows; ++row) {
      QRect rect;
      while (!grid.GetCellRect(row, DataColumns, &rect) || rect.bottom() >= view->height())
        grid.verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
      sendMouse(view, QEvent::MouseMove, rect.center(), Qt::LeftButton);
      QApplication::processEvents();
    }
    sendMouse(view, QEvent::MouseButtonRelease, centre(DragRows, DataColumns), Qt::NoButton);
    QApplication::processEvents();
  });
  f.dragCells = grid.GetSelectedCount();

  grid.SetSelectedRange(1, 1, CopyRows, DataColumns);
  f.copy = millisOf([&] {
    grid.OnEditCopy();
    QApplication::processEvents();
  });
  f.copyBytes = long(QGuiApplication::clipboard()->mimeData()->data("text/plain").size());

  f.sortNumber = millisOf([&] {
    grid.SortItems(NumberColumn, true);
    QApplication::processEvents();
  });
  f.sortText = millisOf([&] {
    grid.SortItems(TextColumn, true);
    QApplication::processEvents();
  });
  return f;
}

InputFigures timeTableWidget(int rows, int cols) {
  InputFigures f;
  QTableWidget table;
  table.setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  table.setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  table.horizontalHeader()->setMinimumSectionSize(1);
  table.verticalHeader()->setMinimumSectionSize(1);
  table.horizontalHeader()->setDefaultSectionSize(70);
  table.verticalHeader()->setDefaultSectionSize(18);
  table.setColumnCount(cols - 1);
  table.setRowCount(rows);
  // The same texts in the same places; the numeric column holds numbers, so that its sort
  // compares numbers as the grid's does.
  for (int r = 1; r <= rows; ++r)
    for (int c = 1; c < cols; ++c) {
      auto* item = new QTableWidgetItem;
      if (c == NumberColumn)
        item->setData(Qt::DisplayRole, inputText(r, c).toDouble());
      else
        item->setText(inputText(r, c));
      table.setItem(r - 1, c - 1, item);
    }
  table.show();
  const QSize frame = table.size() - table.viewport()->size();
  table.resize(QSize(ViewWidth, ViewHeight) + frame);
  QApplication::setActiveWindow(&table);
  table.setFocus();
  QWidget* view = table.viewport();
  auto centre = [&](int row, int col) {
    return table.visualItemRect(table.item(row, col)).center();
  };
  QApplication::processEvents();

  sendMouse(view, QEvent::MouseButtonPress, centre(0, 0), Qt::LeftButton);
  sendMouse(view, QEvent::MouseButtonRelease, centre(0, 0), Qt::NoButton);
  QApplication::processEvents();
  f.arrows = millisOf([&] {
    for (int i = 0; i < ArrowMoves; ++i) {
      sendKey(&table, Qt::Key_Down);
      QApplication::processEvents();
    }
  });

  table.scrollToTop();
  placePointer(view);
  f.drag = millisOf([&] {
    sendMouse(view, QEvent::MouseButtonPress, centre(0, 0), Qt::LeftButton);
    for (int row = 0; row < DragRows; ++row) {
      QRect rect = table.visualItemRect(table.item(row, DataColumns - 1));
      while (rect.bottom() >= view->height()) {
        table.verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
        rect = table.visualItemRect(table.item(row, DataColumns - 1));
      }
      sendMouse(view, QEvent::MouseMove, rect.center(), Qt::LeftButton);
      QApplication::processEvents();
    }
    sendMouse(view, QEvent::MouseButtonRelease, centre(DragRows - 1, DataColumns - 1),
              Qt::NoButton);
    QApplication::processEvents();
  });
  f.dragCells = long(table.selectionModel()->selectedIndexes().size());

  table.clearSelection();
  table.setRangeSelected(QTableWidgetSelectionRange(0, 0, CopyRows - 1, DataColumns - 1), true);
  f.copy = millisOf([&] {
    QMimeData* data = table.model()->mimeData(table.selectionModel()->selectedIndexes());
    QGuiApplication::clipboard()->setMimeData(data);
    QApplication::processEvents();
  });
  f.copyBytes = long(QGuiApplication::clipboard()
                         ->mimeData()
                         ->data("application/x-qabstractitemmodeldatalist")
                         .size());

  f.sortNumber = millisOf([&] {
    table.sortItems(NumberColumn - 1, Qt::AscendingOrder);
    QApplication::processEvents();
  });
  f.sortText = millisOf([&] {
    table.sortItems(TextColumn - 1, Qt::AscendingOrder);
    QApplication::processEvents();
  });
  return f;
}

}  // namespace

int main(int argc, char** argv) {
  const char* const modes[] = {"grid", "qtablewidget", "grid-input", "qtablewidget-input"};
  if (argc < 3 || std::none_of(std::begin(modes), std::end(modes),
                               [&](const char* m) { return std::strcmp(argv[1], m) == 0; })) {
    std::fprintf(stderr,
                 "usage: bench_grid grid|qtablewidget|grid-input|qtablewidget-input <rows> "
                 "[cols]\n");
    return 2;
  }
  QApplication app(argc, argv);
  const bool ours = std::strncmp(argv[1], "grid", 4) == 0;
  const int rows = std::atoi(argv[2]);
  const int cols = argc > 3 ? std::atoi(argv[3]) : 20;
  if (std::strstr(argv[1], "-input")) {
    if (rows < CopyRows || cols != DataColumns + 1) {
      std::fprintf(stderr, "bench_grid: the input timings need at least %d rows and %d columns\n",
                   CopyRows, DataColumns + 1);
      return 2;
    }
    const InputFigures f = ours ? timeGrid(rows, cols) : timeTableWidget(rows, cols);
    std::printf(
        "arrows_ms=%.1f drag_ms=%.1f drag_cells=%ld copy_ms=%.1f copy_bytes=%ld "
        "sort_number_ms=%.1f sort_text_ms=%.1f\n",
        f.arrows, f.drag, f.dragCells, f.copy, f.copyBytes, f.sortNumber, f.sortText);
    return 0;
  }
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
