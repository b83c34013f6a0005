// Helpers of the grid tests (see grid_test_support.h).
#include "grid_test_support.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QScrollBar>

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

}  // namespace tabulor::test
