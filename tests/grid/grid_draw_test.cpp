// Painting, checked by probing pixels of the grabbed client area: grid lines on the last
// pixel row and column of body cells, the highlight of selected cells under their lines,
// the 3D edges of fixed cells, the background bands, the drop frame, drawing switched off,
// and the single-cell repaint into a given painter.
#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>

#include "grid_test_support.h"

namespace tabulor {
namespace {

using test::grabClient;
using test::makeGrid;
using test::pixel;

constexpr COLORREF GreenBand = RGB(0, 200, 0);

// 6 x 4 cells of 20 x 40 pixels with one fixed row and column, in a 300 x 200 client area:
// cells end at x = 160 and y = 120, so bands of gridBkColour lie right of and below them.
std::unique_ptr<CGridCtrl> sampleGrid() {
  auto grid = makeGrid(300, 200, 6, 4, 1, 1);
  for (int r = 0; r < 6; ++r) grid->SetRowHeight(r, 20);
  for (int c = 0; c < 4; ++c) grid->SetColumnWidth(c, 40);
  grid->SetGridBkColour(GreenBand);
  grid->ResetScrollBars();
  return grid;
}

COLORREF role(const CGridCtrl& grid, QPalette::ColorRole r) {
  return fromQColor(grid.palette().color(QPalette::Active, r));
}

TEST(GridDraw, BodyCellsLinesAndBands) {
  auto grid = sampleGrid();
  grid->SetItemText(2, 2, "x");
  const QImage image = grabClient(*grid);
  QRect rect;
  ASSERT_TRUE(grid->GetCellRect(2, 2, &rect));
  ASSERT_EQ(rect, QRect(80, 40, 40, 20));
  const COLORREF line = grid->GetGridLineColour();
  EXPECT_EQ(pixel(image, rect.right(), rect.top() + 5), line);    // last pixel column
  EXPECT_EQ(pixel(image, rect.left() + 5, rect.bottom()), line);  // last pixel row
  EXPECT_EQ(pixel(image, rect.left() + 1, rect.top() + 1), grid->GetTextBkColour());
  EXPECT_EQ(pixel(image, rect.right() - 1, rect.bottom() - 1), grid->GetTextBkColour());
  // Lines stop at the cells: the band right of and below them is gridBkColour.
  EXPECT_EQ(pixel(image, 160, 50), GreenBand);
  EXPECT_EQ(pixel(image, 299, 199), GreenBand);
  EXPECT_EQ(pixel(image, 100, 120), GreenBand);
  EXPECT_EQ(pixel(image, 159, 119), line);
}

TEST(GridDraw, SelectedCellIsHighlightedUnderItsLines) {
  auto grid = sampleGrid();
  grid->SetSelectedRange(2, 2, 2, 2);
  const QImage image = grabClient(*grid);
  const COLORREF highlight = role(*grid, QPalette::Highlight);
  EXPECT_EQ(pixel(image, 81, 41), highlight);
  EXPECT_EQ(pixel(image, 118, 58), highlight);
  EXPECT_EQ(pixel(image, 119, 50), grid->GetGridLineColour());
  EXPECT_EQ(pixel(image, 100, 59), grid->GetGridLineColour());
  EXPECT_EQ(pixel(image, 121, 41), grid->GetTextBkColour());  // neighbour untouched
}

TEST(GridDraw, SelectedTextUsesHighlightedText) {
  auto grid = sampleGrid();
  grid->SetColumnWidth(2, 120);
  grid->SetItemText(2, 2, QString(12, QChar(0x2588)));  // full blocks: solid ink
  grid->SetSelectedRange(2, 2, 2, 2);
  const QImage image = grabClient(*grid);
  const COLORREF text = role(*grid, QPalette::HighlightedText);
  int inked = 0;
  for (int x = 81; x < 199; ++x)
    if (pixel(image, x, 50) == text) ++inked;
  EXPECT_GT(inked, 20);
}

TEST(GridDraw, FixedCellsHaveRaisedEdges) {
  auto grid = sampleGrid();
  const QImage image = grabClient(*grid);
  QRect rect;
  ASSERT_TRUE(grid->GetCellRect(0, 2, &rect));  // a column header: x 80..119, y 0..19
  const COLORREF light = role(*grid, QPalette::Light);
  const COLORREF shadow = role(*grid, QPalette::Shadow);
  EXPECT_EQ(pixel(image, rect.left() + 1, rect.top()), light);
  EXPECT_EQ(pixel(image, rect.right(), rect.top() + 1), shadow);
  EXPECT_EQ(pixel(image, rect.left(), rect.top() + 5), light);
  EXPECT_EQ(pixel(image, rect.left() + 5, rect.bottom()), shadow);
  EXPECT_EQ(pixel(image, rect.right(), rect.bottom()), shadow);
  EXPECT_EQ(pixel(image, rect.left() + 2, rect.top() + 2), grid->GetFixedBkColour());
  // A row header and the corner cell look the same.
  EXPECT_EQ(pixel(image, 1, 40), light);
  EXPECT_EQ(pixel(image, 39, 41), shadow);
  EXPECT_EQ(pixel(image, 0, 5), light);
  EXPECT_EQ(pixel(image, 39, 5), shadow);
}

TEST(GridDraw, HeaderTextIsBold) {
  // The same text inks more pixels in a header (weight 600) than in a body cell.
  auto grid = sampleGrid();
  grid->SetGridLines(GridLinesNone);
  for (int c = 0; c < 4; ++c) grid->SetColumnWidth(c, 60);
  grid->SetItemText(0, 2, "MMMM");
  grid->SetItemText(2, 2, "MMMM");
  const QImage image = grabClient(*grid);
  QRect head, body;
  grid->GetCellRect(0, 2, &head);
  grid->GetCellRect(2, 2, &body);
  auto ink = [&](QRect r, COLORREF colour) {
    int n = 0;
    for (int y = r.top() + 1; y < r.bottom(); ++y)
      for (int x = r.left() + 1; x < r.right(); ++x)
        if (pixel(image, x, y) != colour) ++n;
    return n;
  };
  EXPECT_GT(ink(head, grid->GetFixedBkColour()), ink(body, grid->GetTextBkColour()));
}

TEST(GridDraw, AmpersandsAreShownAsTheyStand) {
  // Cell texts are data: "&&" is two characters, not an escaped mnemonic marker.
  auto grid = sampleGrid();
  grid->SetGridLines(GridLinesNone);
  grid->SetColumnWidth(2, 200);
  grid->SetItemText(2, 2, "&&&&&&");
  grid->SetItemText(3, 2, "&&&");
  const QImage image = grabClient(*grid);
  auto ink = [&](int row) {
    QRect r;
    grid->GetCellRect(row, 2, &r);
    int n = 0;
    for (int y = r.top(); y <= r.bottom(); ++y)
      for (int x = r.left(); x <= r.right(); ++x)
        if (pixel(image, x, y) != grid->GetTextBkColour()) ++n;
    return n;
  };
  EXPECT_GT(ink(2), ink(3) * 3 / 2);
}

TEST(GridDraw, HorizontalLinesOnly) {
  auto grid = sampleGrid();
  grid->SetGridLines(GridLinesHorz);
  const QImage image = grabClient(*grid);
  EXPECT_EQ(pixel(image, 119, 45), grid->GetTextBkColour());
  EXPECT_EQ(pixel(image, 100, 59), grid->GetGridLineColour());
  EXPECT_EQ(pixel(image, 119, 5), role(*grid, QPalette::Shadow));  // header edge stays
}

TEST(GridDraw, DropTargetFrame) {
  auto grid = sampleGrid();
  grid->SetItemState(2, 2, CellDropHilited);
  const QImage image = grabClient(*grid);
  EXPECT_EQ(pixel(image, 80, 40), RGB(0, 0, 0));
  EXPECT_EQ(pixel(image, 118, 58), RGB(0, 0, 0));
  EXPECT_EQ(pixel(image, 81, 41), grid->GetTextBkColour());
  EXPECT_EQ(pixel(image, 119, 45), grid->GetGridLineColour());
}

TEST(GridDraw, DrawingOffPaintsOnlyBandsAndLines) {
  auto grid = sampleGrid();
  grid->SetItemBkColour(2, 2, RGB(255, 0, 0));
  grid->SetRedraw(false);
  const QImage image = grabClient(*grid);
  EXPECT_EQ(pixel(image, 85, 45), grid->GetTextBkColour());  // cell not painted
  EXPECT_EQ(pixel(image, 119, 45), grid->GetGridLineColour());
  EXPECT_EQ(pixel(image, 10, 30), grid->GetFixedBkColour());  // header band, no edges
  EXPECT_EQ(pixel(image, 200, 10), GreenBand);
  QImage target(300, 200, QImage::Format_RGB32);
  QPainter painter(&target);
  EXPECT_FALSE(grid->DrawCell(painter, 2, 2, QRect(80, 40, 40, 20)));
  EXPECT_FALSE(grid->DrawFixedCell(painter, 0, 2, QRect(80, 0, 40, 20)));
  EXPECT_FALSE(grid->RedrawCell(2, 2, &painter));
  grid->SetRedraw(true);
  EXPECT_EQ(pixel(grabClient(*grid), 85, 45), RGB(255, 0, 0));
}

TEST(GridDraw, EmptyGridIsAllBackground) {
  auto grid = makeGrid(120, 80);
  grid->SetGridBkColour(0xFFFFFF);
  const QImage image = grabClient(*grid);
  for (int y = 0; y < 80; y += 7)
    for (int x = 0; x < 120; x += 7) ASSERT_EQ(pixel(image, x, y), 0xFFFFFFu) << x << "," << y;
}

TEST(GridDraw, WithoutDoubleBufferTheSamePixels) {
  auto grid = sampleGrid();
  grid->SetItemText(3, 2, "42");
  grid->SetSelectedRange(1, 1, 2, 3);
  const QImage buffered = grabClient(*grid);
  grid->SetDoubleBuffering(false);
  EXPECT_EQ(grabClient(*grid), buffered);
}

TEST(GridDraw, RedrawCellPaintsOneCellWithItsLines) {
  auto grid = sampleGrid();
  QImage target(300, 200, QImage::Format_RGB32);
  target.fill(Qt::black);
  QPainter painter(&target);
  grid->SetSelectedRange(2, 2, 2, 2);
  EXPECT_TRUE(grid->RedrawCell(2, 2, &painter));
  painter.end();
  EXPECT_EQ(pixel(target, 85, 45), role(*grid, QPalette::Highlight));
  EXPECT_EQ(pixel(target, 119, 59), grid->GetGridLineColour());
  EXPECT_EQ(pixel(target, 120, 45), RGB(0, 0, 0));  // nothing beyond the cell
  EXPECT_EQ(pixel(target, 79, 45), RGB(0, 0, 0));

  // A cell scrolled out of view is not drawn.
  grid->SetRowCount(40);
  for (int r = 0; r < 40; ++r) grid->SetRowHeight(r, 20);
  grid->ResetScrollBars();
  grid->SetScrollPos32(SB_VERT, 100);
  EXPECT_FALSE(grid->RedrawCell(2, 2));
  EXPECT_TRUE(grid->RedrawCell(9, 2));
}

}  // namespace
}  // namespace tabulor
