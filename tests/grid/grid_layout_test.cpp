// Geometry and scrolling of the grid on a real widget with an exact client area: top-left
// cell, scroll ranges (the 10-row example), kept scroll bars, hit testing at the fixed
// band's edge, cell rectangles and visibility, line scrolling and automatic sizing.
#include <gtest/gtest.h>

#include <QFontMetrics>
#include <QScrollBar>

#include "grid_test_support.h"

namespace tabulor {
namespace {

using test::makeGrid;

// Rows of `height` and columns of `width` pixels everywhere.
void uniformSizes(CGridCtrl& grid, int height, int width) {
  for (int r = 0; r < grid.GetRowCount(); ++r) grid.SetRowHeight(r, height);
  for (int c = 0; c < grid.GetColumnCount(); ++c) grid.SetColumnWidth(c, width);
  grid.ResetScrollBars();
}

TEST(GridLayout, TopLeftCellAtPositionZero) {
  auto grid = makeGrid(200, 100, 5, 4, 2, 1);
  EXPECT_EQ(grid->GetTopLeftNonFixedCell(), (CellPos{2, 1}));
  grid->SetFixedRowCount(5);  // no non-fixed rows: the row equals rowCount
  EXPECT_EQ(grid->GetTopLeftNonFixedCell(), (CellPos{5, 1}));
}

TEST(GridLayout, CellsThatFitNeedNoScrolling) {
  auto grid = makeGrid(400, 300, 3, 3, 1, 1);
  EXPECT_EQ(grid->GetVScrollMax(), 0);
  EXPECT_EQ(grid->GetHScrollMax(), 0);
  EXPECT_EQ(grid->verticalScrollBar()->maximum(), 0);
  EXPECT_EQ(grid->horizontalScrollBar()->maximum(), 0);
}

TEST(GridLayout, TenRowScrollExample) {
  auto grid = makeGrid(100, 100, 10, 1, 1, 0);
  uniformSizes(*grid, 20, 50);
  EXPECT_EQ(grid->GetVirtualHeight(), 200);
  EXPECT_EQ(grid->verticalScrollBar()->pageStep(), 80);
  EXPECT_EQ(grid->GetVScrollMax(), 179);
  // The furthest position shows the last row's bottom pixel at the client bottom.
  EXPECT_EQ(grid->verticalScrollBar()->maximum(), 100);
  grid->OnVScroll(SB_BOTTOM);
  EXPECT_EQ(grid->GetScrollPos32(SB_VERT), 100);
  EXPECT_EQ(grid->GetTopLeftNonFixedCell().row, 6);
  EXPECT_EQ(grid->GetVisibleNonFixedCellRange().maxRow, 9);
  EXPECT_EQ(grid->GetUnobstructedNonFixedCellRange().maxRow, 9);

  // Line steps move by the row leaving or entering at the top.
  grid->OnVScroll(SB_TOP);
  grid->SetRowHeight(1, 30);
  grid->OnVScroll(SB_LINEDOWN);
  EXPECT_EQ(grid->GetScrollPos32(SB_VERT), 30);
  EXPECT_EQ(grid->GetTopLeftNonFixedCell().row, 2);
  grid->OnVScroll(SB_LINEUP);
  EXPECT_EQ(grid->GetScrollPos32(SB_VERT), 0);
  grid->OnVScroll(SB_PAGEDOWN);
  EXPECT_EQ(grid->GetScrollPos32(SB_VERT), 80);
}

TEST(GridLayout, ScrollBarArrowsStepByRows) {
  auto grid = makeGrid(100, 100, 10, 1, 1, 0);
  uniformSizes(*grid, 20, 50);
  grid->SetRowHeight(1, 33);
  QScrollBar* bar = grid->verticalScrollBar();
  bar->triggerAction(QAbstractSlider::SliderSingleStepAdd);
  EXPECT_EQ(grid->GetScrollPos32(SB_VERT), 33);
  EXPECT_EQ(bar->sliderPosition(), 33);
  EXPECT_EQ(grid->GetTopLeftNonFixedCell().row, 2);
  bar->triggerAction(QAbstractSlider::SliderSingleStepSub);
  EXPECT_EQ(grid->GetScrollPos32(SB_VERT), 0);
  bar->triggerAction(QAbstractSlider::SliderToMaximum);
  EXPECT_EQ(grid->GetScrollPos32(SB_VERT), bar->maximum());
}

TEST(GridLayout, ScrollBarsKeptWhenNothingCanScroll) {
  auto grid = makeGrid(100, 100, 10, 1, 1, 0);
  uniformSizes(*grid, 20, 50);
  ASSERT_EQ(grid->GetVScrollMax(), 179);

  // A fixed band that fills the client area leaves the bars as they were.
  grid->SetRowHeight(0, 100);
  grid->ResetScrollBars();
  EXPECT_EQ(grid->GetVScrollMax(), 179);

  // A top-left row below another row and taller than the space left for it gives an
  // empty unobstructed range, and the bars stay.
  grid->SetRowHeight(0, 20);
  grid->SetRowHeight(1, 95);
  grid->ResetScrollBars();
  const CellRange unobstructed = grid->GetUnobstructedNonFixedCellRange();
  EXPECT_LT(unobstructed.maxRow, unobstructed.minRow);
  EXPECT_EQ(grid->GetVScrollMax(), 179);
}

TEST(GridLayout, HitTestingAtTheFixedBand) {
  auto grid = makeGrid(300, 200, 20, 20, 1, 2);
  uniformSizes(*grid, 20, 30);
  const int fixedWidth = grid->GetFixedColumnWidth();
  ASSERT_EQ(fixedWidth, 60);
  EXPECT_EQ(grid->GetCellFromPt({fixedWidth - 1, 25}, false).col, -1);
  EXPECT_EQ(grid->GetCellFromPt({fixedWidth - 1, 25}, true).col, 1);
  EXPECT_EQ(grid->GetCellFromPt({29, 25}, true).col, 0);
  EXPECT_EQ(grid->GetCellFromPt({30, 25}, true).col, 1);
  EXPECT_EQ(grid->GetCellFromPt({fixedWidth, 25}, false), (CellPos{1, 2}));
  EXPECT_EQ(grid->GetCellFromPt({-1, 25}).col, -1);
  EXPECT_EQ(grid->GetCellFromPt({5, 19}, true).row, 0);
  EXPECT_EQ(grid->GetCellFromPt({5, 19}, false).row, -1);
  EXPECT_EQ(grid->GetCellFromPt({5, 39}).row, 1);  // last pixel of row 1
  EXPECT_EQ(grid->GetCellFromPt({5, 40}).row, 2);
  EXPECT_EQ(grid->GetCellFromPt({5, 399}).row, 19);  // beyond the client area, still a row
  EXPECT_EQ(grid->GetCellFromPt({5, 400}).row, -1);  // past the last row

  // After scrolling, the first non-fixed pixel belongs to the top-left cell.
  grid->SetScrollPos32(SB_HORZ, 60);
  grid->SetScrollPos32(SB_VERT, 41);
  EXPECT_EQ(grid->GetTopLeftNonFixedCell(), (CellPos{4, 4}));
  EXPECT_EQ(grid->GetCellFromPt({fixedWidth, 20}), (CellPos{4, 4}));
  EXPECT_EQ(grid->GetCellFromPt({fixedWidth + 29, 39}), (CellPos{4, 4}));
  EXPECT_EQ(grid->GetCellFromPt({fixedWidth + 30, 40}), (CellPos{5, 5}));
}

TEST(GridLayout, CellRectanglesAndVisibility) {
  auto grid = makeGrid(200, 100, 20, 10, 1, 1);
  uniformSizes(*grid, 20, 40);
  QRect rect;
  ASSERT_TRUE(grid->GetCellRect(1, 1, &rect));
  EXPECT_EQ(rect, QRect(QPoint(40, 20), QPoint(79, 39)));  // inclusive
  ASSERT_TRUE(grid->GetCellRect(19, 1, &rect));            // far below: outside the client area
  EXPECT_EQ(rect.top(), 20 * 19);
  EXPECT_FALSE(grid->IsCellVisible(19, 1));

  // Visible when only the top-left pixel is inside the client area.
  grid->SetRowHeight(4, 21);  // rows 1..4 end at 100: row 5 starts at 101
  grid->SetRowHeight(3, 19);
  EXPECT_TRUE(grid->IsCellVisible(4, 1));
  grid->SetRowHeight(3, 20);
  EXPECT_FALSE(grid->IsCellVisible(5, 1));
  grid->SetColumnWidth(4, 40);
  EXPECT_TRUE(grid->IsCellVisible(1, 4));  // left at 160
  grid->SetColumnWidth(3, 80);
  EXPECT_FALSE(grid->IsCellVisible(1, 4));  // left at 200

  // Scrolled out above: no rectangle, not visible; fixed cells stay.
  grid->ResetScrollBars();
  grid->SetScrollPos32(SB_VERT, 40);
  EXPECT_FALSE(grid->GetCellRect(1, 1, &rect));
  EXPECT_FALSE(grid->IsCellVisible(2, 1));
  EXPECT_TRUE(grid->GetCellRect(0, 1, &rect));
  EXPECT_TRUE(grid->GetCellRect(3, 0, &rect));
  EXPECT_EQ(rect.top(), 20);
}

TEST(GridLayout, VisibleRangeAndCoveredRectangle) {
  auto grid = makeGrid(200, 100, 20, 10, 1, 1);
  uniformSizes(*grid, 20, 40);
  QRect covered;
  const CellRange visible = grid->GetVisibleNonFixedCellRange(&covered);
  EXPECT_EQ(visible, (CellRange{1, 1, 4, 4}));
  EXPECT_EQ(covered, QRect(0, 0, 200, 100));
  EXPECT_EQ(grid->GetUnobstructedNonFixedCellRange(), (CellRange{1, 1, 4, 4}));
  grid->SetRowHeight(4, 25);  // row 4 now ends below the client bottom
  EXPECT_EQ(grid->GetUnobstructedNonFixedCellRange().maxRow, 3);
  EXPECT_EQ(grid->GetVisibleNonFixedCellRange().maxRow, 4);

  auto small = makeGrid(200, 100, 3, 2, 1, 1);
  uniformSizes(*small, 20, 40);
  small->GetVisibleNonFixedCellRange(&covered);
  EXPECT_EQ(covered, QRect(0, 0, 80, 60));
}

TEST(GridLayout, EnsureVisibleScrollsByLines) {
  auto grid = makeGrid(200, 100, 30, 20, 1, 1);
  uniformSizes(*grid, 20, 40);
  grid->EnsureVisible(15, 12);
  EXPECT_TRUE(grid->IsCellVisible(15, 12));
  QRect rect;
  ASSERT_TRUE(grid->GetCellRect(15, 12, &rect));
  EXPECT_LE(rect.bottom(), 100);
  EXPECT_EQ(grid->GetScrollPos32(SB_VERT) % 20, 0);
  grid->EnsureVisible(1, 1);
  EXPECT_EQ(grid->GetTopLeftNonFixedCell(), (CellPos{1, 1}));
}

TEST(GridLayout, AutoSizeMeasuresHeadersInWeight600) {
  auto grid = makeGrid(300, 200, 3, 2, 1, 0);
  grid->cellMargin = 4;
  const QString header = "Quantity shipped";
  grid->SetItemText(0, 1, header);
  grid->SetItemText(1, 1, "12");
  QFont bold = grid->GetLogFont();
  bold.setWeight(QFont::Weight(600));
  const int headerWidth = QFontMetrics(bold, grid->viewport()).horizontalAdvance(header);
  ASSERT_NE(headerWidth, QFontMetrics(grid->GetLogFont()).horizontalAdvance(header));
  EXPECT_TRUE(grid->AutoSizeColumn(1));
  EXPECT_EQ(grid->GetColumnWidth(1), headerWidth + 16);

  // A body cell is measured in its own font.
  grid->SetItemText(0, 1, "");
  grid->SetItemText(2, 1, header);
  grid->AutoSizeColumn(1);
  EXPECT_EQ(grid->GetColumnWidth(1),
            QFontMetrics(grid->GetLogFont(), grid->viewport()).horizontalAdvance(header) + 16);

  EXPECT_TRUE(grid->AutoSizeRow(1));
  EXPECT_EQ(grid->GetRowHeight(1), QFontMetrics(grid->GetLogFont(), grid->viewport()).height() + 8);
  EXPECT_FALSE(grid->AutoSizeColumn(2));
  EXPECT_FALSE(grid->AutoSizeRow(-1));
}

TEST(GridLayout, RedrawOnRecomputesScrollBarsOfANewTable) {
  auto grid = makeGrid(200, 100, 50, 3, 1, 1);
  grid->SetScrollPos32(SB_VERT, 400);
  grid->SetRedraw(false);
  grid->SetRowCount(200);
  EXPECT_EQ(grid->GetVScrollMax(), 50 * 18 - 18 - 1);  // untouched while drawing is off
  grid->SetRedraw(true);
  EXPECT_EQ(grid->GetVScrollMax(), 200 * 18 - 18 - 1);
  EXPECT_EQ(grid->GetScrollPos32(SB_VERT), 400);
}

}  // namespace
}  // namespace tabulor
