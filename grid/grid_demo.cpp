// grid_demo: shows a filled 30 x 10 grid with one fixed row and column and a selected
// block. With a file name it renders the grid off-screen to that PNG and exits (the picture
// in docs/grid.png is made this way: QT_QPA_PLATFORM=offscreen grid_demo docs/grid.png).
#include <QApplication>
#include <QPixmap>
#include <cstdio>

#include "grid/grid_ctrl.h"

using namespace tabulor;

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  CGridCtrl grid;
  grid.Create(QRect(0, 0, 600, 400), nullptr, 102, WS_CHILD | WS_VISIBLE | WS_BORDER | WS_TABSTOP);
  grid.SetEditable(false);
  grid.SetGridBkColour(0xFFFFFF);

  grid.SetRedraw(false, false);
  grid.DeleteAllItems();
  grid.SetColumnCount(10);
  grid.SetRowCount(30);
  grid.SetFixedColumnCount(1);
  grid.SetFixedRowCount(1);
  grid.SetRowHeight(0, 20);
  grid.SetColumnWidth(0, 35);
  static const char* const names[] = {"Region",  "Product", "Units", "Price", "Total",
                                      "Shipped", "Paid",    "Rep",   "Note"};
  for (int colIdx = 1; colIdx < 10; ++colIdx) grid.SetItemText(0, colIdx, names[colIdx - 1]);
  static const char* const regions[] = {"North", "South", "East", "West"};
  static const char* const products[] = {"Widget", "Gadget", "Gizmo", "Doohickey", "Sprocket"};
  for (int rowIdx = 1; rowIdx < 30; ++rowIdx) {
    grid.SetItemText(rowIdx, 0, QString::number(rowIdx));
    const int units = (rowIdx * 37) % 120 + 1;
    const double price = 2.5 + (rowIdx * 13) % 40;
    grid.SetItemText(rowIdx, 1, regions[rowIdx % 4]);
    grid.SetItemText(rowIdx, 2, products[rowIdx % 5]);
    grid.SetItemText(rowIdx, 3, QString::number(units));
    grid.SetItemText(rowIdx, 4, QString::asprintf("%.2f", price));
    grid.SetItemText(rowIdx, 5, QString::asprintf("%.2f", units * price));
    grid.SetItemText(rowIdx, 6,
                     QString::asprintf("%02d %02d 07", 1 + rowIdx % 12, 1 + rowIdx % 28));
    grid.SetItemText(rowIdx, 7, rowIdx % 3 ? "TRUE" : "FALSE");
    grid.SetItemText(rowIdx, 8, QString("R%1").arg(100 + rowIdx % 7));
    grid.SetItemText(rowIdx, 9, rowIdx % 4 ? "" : "priority");
  }
  grid.AutoSizeColumn(9);
  grid.SetRedraw(true, true);
  grid.SetSelectedRange(3, 2, 7, 5);
  grid.SetFocusCell(3, 2);

  if (argc > 1) {
    // Size the window to the whole table plus its border, then paint it once.
    grid.setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    grid.setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    grid.resize(grid.GetVirtualWidth() + 2, grid.GetVirtualHeight() + 2);
    const QPixmap picture = grid.grab();
    if (!picture.save(QString::fromLocal8Bit(argv[1]), "PNG")) {
      std::fprintf(stderr, "grid_demo: cannot write %s\n", argv[1]);
      return 1;
    }
    return 0;
  }
  return app.exec();
}
