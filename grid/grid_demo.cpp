// grid_demo: the grid control's interactive test host. It opens a window titled "Grid demo"
// whose only child is a filled grid (30 x 10 cells by default, one fixed row and column,
// a selected block) with the switches asked for; two of them started with --editable
// --drag-drop exchange cells by dragging. With a PNG name it renders the grid off-screen
// to that file and exits (docs/grid.png: QT_QPA_PLATFORM=offscreen grid_demo docs/grid.png).
// --print-on-exit lets a test read the cells from outside: see printCells.
#include <QApplication>
#include <QImage>
#include <QPixmap>
#include <QVBoxLayout>
#include <QWidget>
#include <cstdio>
#include <cstring>
#include <string>

#include "grid/grid_ctrl.h"

using namespace tabulor;

namespace {

const char Usage[] =
    "usage: grid_demo [--rows N] [--cols N] [--editable] [--list-mode] [--drag-drop]\n"
    "                 [--print-on-exit] [PNG]\n";

struct Options {
  int rows = 30;
  int cols = 10;
  bool editable = false;
  bool listMode = false;
  bool dragDrop = false;
  bool printOnExit = false;
  const char* png = nullptr;
};

// A count from the command line: a whole number from 1 to `most`, or -1.
int parseCount(const char* text, int most) {
  char* end = nullptr;
  const long value = std::strtol(text, &end, 10);
  if (end == text || *end != '\0' || value < 1 || value > most) return -1;
  return int(value);
}

// False (after saying why on stderr) for arguments that are not understood.
bool parseOptions(int argc, char** argv, Options* options) {
  for (int i = 1; i < argc; ++i) {
    const char* arg = argv[i];
    if (std::strcmp(arg, "--rows") == 0 || std::strcmp(arg, "--cols") == 0) {
      const bool rows = arg[2] == 'r';
      const int count = i + 1 < argc ? parseCount(argv[i + 1], rows ? 10'000'000 : 100'000) : -1;
      if (count < 0) {
        std::fprintf(stderr, "grid_demo: %s needs a count from 1 to %s\n%s", arg,
                     rows ? "10000000" : "100000", Usage);
        return false;
      }
      (rows ? options->rows : options->cols) = count;
      ++i;
    } else if (std::strcmp(arg, "--editable") == 0) {
      options->editable = true;
    } else if (std::strcmp(arg, "--list-mode") == 0) {
      options->listMode = true;
    } else if (std::strcmp(arg, "--drag-drop") == 0) {
      options->dragDrop = true;
    } else if (std::strcmp(arg, "--print-on-exit") == 0) {
      options->printOnExit = true;
    } else if (std::strcmp(arg, "--help") == 0) {
      std::fputs(Usage, stdout);
      std::exit(0);
    } else if (arg[0] == '-' || options->png) {
      std::fprintf(stderr, "grid_demo: unexpected argument %s\n%s", arg, Usage);
      return false;
    } else {
      options->png = arg;
    }
  }
  return true;
}

// Headers and sales-like rows: words, counts, prices, dates, flags and an occasional note.
void fill(CGridCtrl& grid, int rows, int cols) {
  grid.SetRedraw(false, false);
  grid.DeleteAllItems();
  grid.SetColumnCount(cols);
  grid.SetRowCount(rows);
  grid.SetFixedColumnCount(1);
  grid.SetFixedRowCount(1);
  grid.SetRowHeight(0, 20);
  grid.SetColumnWidth(0, 35);
  static const char* const names[] = {"Region",  "Product", "Units", "Price", "Total",
                                      "Shipped", "Paid",    "Rep",   "Note"};
  for (int colIdx = 1; colIdx < cols; ++colIdx)
    grid.SetItemText(0, colIdx,
                     colIdx <= 9 ? QString::fromLatin1(names[colIdx - 1])
                                 : QStringLiteral("Column %1").arg(colIdx));
  static const char* const regions[] = {"North", "South", "East", "West"};
  static const char* const products[] = {"Widget", "Gadget", "Gizmo", "Doohickey", "Sprocket"};
  for (int rowIdx = 1; rowIdx < rows; ++rowIdx) {
    const int units = (rowIdx * 37) % 120 + 1;
    const double price = 2.5 + (rowIdx * 13) % 40;
    const QString texts[] = {
        QString::number(rowIdx),
        QString::fromLatin1(regions[rowIdx % 4]),
        QString::fromLatin1(products[rowIdx % 5]),
        QString::number(units),
        QString::asprintf("%.2f", price),
        QString::asprintf("%.2f", units * price),
        QString::asprintf("%02d %02d 07", 1 + rowIdx % 12, 1 + rowIdx % 28),
        QString::fromLatin1(rowIdx % 3 ? "TRUE" : "FALSE"),
        QStringLiteral("R%1").arg(100 + rowIdx % 7),
        QString::fromLatin1(rowIdx % 4 ? "" : "priority"),
    };
    for (int colIdx = 0; colIdx < cols; ++colIdx)
      grid.SetItemText(
          rowIdx, colIdx,
          colIdx < 10 ? texts[colIdx] : QStringLiteral("%1.%2").arg(rowIdx).arg(colIdx));
  }
  if (cols > 9) grid.AutoSizeColumn(9);
  grid.SetRedraw(true, true);
  grid.SetSelectedRange(3, 2, 7, 5);
  grid.SetFocusCell(3, 2);
}

// With --print-on-exit, once the window is closed the program writes every cell (headers
// included) to stdout before it ends: one line per row, a TAB between columns, and in
// the texts a backslash, TAB, LF or CR written as \\, \t, \n, \r so a line is always a row.
void printCells(CGridCtrl& grid) {
  QString out;
  for (int rowIdx = 0; rowIdx < grid.GetRowCount(); ++rowIdx) {
    for (int colIdx = 0; colIdx < grid.GetColumnCount(); ++colIdx) {
      if (colIdx) out += QLatin1Char('\t');
      for (const QChar ch : grid.GetItemText(rowIdx, colIdx)) {
        switch (ch.unicode()) {
          case '\\':
            out += QLatin1String("\\\\");
            break;
          case '\t':
            out += QLatin1String("\\t");
            break;
          case '\n':
            out += QLatin1String("\\n");
            break;
          case '\r':
            out += QLatin1String("\\r");
            break;
          default:
            out += ch;
        }
      }
    }
    out += QLatin1Char('\n');
  }
  const QByteArray bytes = out.toUtf8();
  std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  Options options;
  if (!parseOptions(argc, argv, &options)) return 2;

  QWidget window;
  window.setWindowTitle(QStringLiteral("Grid demo"));
  auto* layout = new QVBoxLayout(&window);
  layout->setContentsMargins(0, 0, 0, 0);
  auto* grid = new CGridCtrl;
  grid->Create(QRect(0, 0, 600, 400), &window, 102, WS_CHILD | WS_VISIBLE | WS_BORDER | WS_TABSTOP);
  layout->addWidget(grid);
  grid->SetEditable(options.editable);
  grid->SetListMode(options.listMode);
  grid->EnableDragAndDrop(options.dragDrop);
  grid->SetGridBkColour(0xFFFFFF);
  fill(*grid, options.rows, options.cols);

  if (options.png) {
    // The grid as large as the whole table plus its border, painted once.
    grid->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    grid->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    window.resize(grid->GetVirtualWidth() + 2, grid->GetVirtualHeight() + 2);
    window.show();
    const QImage picture = grid->grab().toImage().convertToFormat(QImage::Format_RGB32);
    if (picture.isNull() || !picture.save(QString::fromLocal8Bit(options.png), "PNG")) {
      std::fprintf(stderr, "grid_demo: cannot write %s\n", options.png);
      return 1;
    }
    return 0;
  }
  window.resize(600, 400);
  window.show();
  grid->setFocus();
  const int status = app.exec();
  if (options.printOnExit) printCells(*grid);
  return status;
}
