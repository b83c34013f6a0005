// Helpers of the grid tests (see grid_test_support.h).
#include "grid_test_support.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QScrollBar>

namespace tabulor {

void PrintTo(const CellPos& cell, std::ostream* out) {
  *out << "(" << cell.row << ", " << cell.col << ")";
}

void PrintTo(const CellRange& range, std::ostream* out) {
  *out << "(" << range.minRow << ", " << range.minCol << ")-(" << range.maxRow << ", "
       << range.maxCol << ")";
}

}  // namespace tabulor

namespace tabulor::test {

namespace {

// The widgets need an application object; gtest_main provides main(), so it is made by a
// global test environment before the first test runs.
class QtApplicationEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    if (!QApplication::instance()) {
      static int argc = 1;
      static char name[] = "grid_tests";
      static char* argv[] = {name, nullptr};
      app_ = std::make_unique<QApplication>(argc, argv);
    }
  }
  // Gone before main returns: destroyed later, among the static objects, it would outlive
  // parts of Qt it needs.
  void TearDown() override { app_.reset(); }

 private:
  std::unique_ptr<QApplication> app_;
};

[[maybe_unused]] auto* const qtEnvironment =
    ::testing::AddGlobalTestEnvironment(new QtApplicationEnvironment);

}  // namespace

QPalette distinctPalette() {
  QPalette pal;
  auto set = [&](QPalette::ColorRole role, QColor c) { pal.setColor(role, c); };
  set(QPalette::WindowText, QColor(10, 20, 30));
  set(QPalette::Base, QColor(250, 250, 240));
  set(QPalette::Button, QColor(200, 200, 190));
  set(QPalette::Dark, QColor(120, 110, 100));
  set(QPalette::Light, QColor(255, 240, 250));
  set(QPalette::Shadow, QColor(20, 0, 40));
  set(QPalette::Highlight, QColor(40, 90, 200));
  set(QPalette::HighlightedText, QColor(255, 255, 0));
  set(QPalette::Window, QColor(230, 230, 230));
  return pal;
}

std::unique_ptr<CGridCtrl> makeGrid(int width, int height, int rows, int cols, int fixedRows,
                                    int fixedCols) {
  auto grid = std::make_unique<CGridCtrl>(rows, cols, fixedRows, fixedCols);
  grid->setPalette(distinctPalette());
  grid->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  grid->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  grid->Create(QRect(0, 0, width, height), nullptr, 102, WS_CHILD | WS_VISIBLE | WS_TABSTOP);
  EXPECT_EQ(grid->viewport()->size(), QSize(width, height));
  return grid;
}

QImage grabClient(CGridCtrl& grid) {
  return grid.viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
}

COLORREF pixel(const QImage& image, int x, int y) {
  return fromQColor(image.pixelColor(x, y));
}

std::unique_ptr<CGridCtrl> makeUniformGrid(int width, int height, int rows, int cols,
                                           bool editable) {
  auto grid = makeGrid(width, height, rows, cols, 1, 1);
  grid->SetEditable(editable);
  for (int r = 0; r < rows; ++r) grid->SetRowHeight(r, 20);
  for (int c = 0; c < cols; ++c) grid->SetColumnWidth(c, 50);
  for (int r = 0; r < rows; ++r)
    for (int c = 0; c < cols; ++c)
      grid->SetItemText(r, c,
                        r == 0   ? QString::number(c)
                        : c == 0 ? QString::number(r)
                                 : QStringLiteral("%1.%2").arg(r).arg(c));
  grid->ResetScrollBars();
  focusGrid(*grid);
  return grid;
}

void focusGrid(CGridCtrl& grid) {
  QWidget* window = grid.window();
  window->show();
  QApplication::setActiveWindow(window);
  grid.setFocus();
  EXPECT_EQ(QApplication::focusWidget(), &grid);
}

QPoint cellCentre(const CGridCtrl& grid, int row, int col) {
  QRect rect;
  EXPECT_TRUE(grid.GetCellRect(row, col, &rect)) << row << "," << col;
  return rect.center();
}

NotifyLog::NotifyLog(CGridCtrl& grid) {
  QObject::connect(&grid, &CGridCtrl::gridNotify, &receiver, [this](GridNotify* nm) {
    events.push_back({nm->code, nm->row, nm->col});
  });
}

std::vector<int> NotifyLog::editCodes() const {
  std::vector<int> codes;
  for (const Notification& n : events)
    if (n.code != LVN_ITEMCHANGING && n.code != LVN_ITEMCHANGED) codes.push_back(n.code);
  return codes;
}

}  // namespace tabulor::test
