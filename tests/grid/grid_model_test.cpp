// The grid's data model and cells on a real widget: counts and fixed counts with their
// focus resets, default sizes before and after creation and after a font change, failure
// returns, the selected-cells map with its walking order, modified marks, shared fonts,
// system colour changes and notifications.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFontMetrics>
#include <vector>

#include "grid_test_support.h"

namespace tabulor {
namespace {

using test::makeGrid;

TEST(GridModel, ConstructionDefaultsAndCreateSizes) {
  CGridCtrl grid(3, 4, 1, 1);
  EXPECT_EQ(grid.GetRowCount(), 3);
  EXPECT_EQ(grid.GetColumnCount(), 4);
  EXPECT_EQ(grid.GetFixedRowCount(), 1);
  EXPECT_EQ(grid.GetFixedColumnCount(), 1);
  EXPECT_EQ(grid.GetRowHeight(2), 10);
  EXPECT_EQ(grid.GetColumnWidth(3), 30);
  EXPECT_EQ(grid.GetGridLineColour(), 0xC0C0C0u);
  EXPECT_EQ(grid.gridLines, GridLinesBoth);
  EXPECT_TRUE(grid.IsEditable());
  EXPECT_EQ(grid.GetFocusCell(), CellPos{});
  EXPECT_EQ(grid.GetGridBkColour(), grid.sysBtnShadowColour);
  EXPECT_EQ(grid.GetFixedBkColour(), grid.sysBtnFaceColour);
  EXPECT_EQ(grid.GetRowsPerWheelNotch(), unsigned(QApplication::wheelScrollLines()));
  EXPECT_FALSE(grid.IsWindowCreated());
  EXPECT_EQ(grid.SendMessageToParent(1, 1, LVN_ITEMCHANGED), 0);

  ASSERT_TRUE(grid.Create(QRect(0, 0, 300, 200), nullptr, 102));
  // Rows and columns made before Create take the created grid's defaults too.
  EXPECT_EQ(grid.GetRowHeight(0), 18);
  EXPECT_EQ(grid.GetColumnWidth(0), 70);
  EXPECT_EQ(grid.GetCellMargin(), QFontMetrics(grid.GetLogFont()).horizontalAdvance(' '));
  grid.SetRowCount(5);
  grid.SetColumnCount(6);
  EXPECT_EQ(grid.GetRowHeight(4), 18);
  EXPECT_EQ(grid.GetColumnWidth(5), 70);
  EXPECT_EQ(grid.objectName(), "grid_102");
  EXPECT_EQ(grid.GetDlgCtrlID(), 102);

  // A later font sets the default height from its metrics; existing rows keep theirs.
  QFont big = grid.GetLogFont();
  big.setPointSize(24);
  grid.SetFont(big);
  const QFontMetrics metrics(big);
  const int margin = metrics.horizontalAdvance(' ');
  EXPECT_EQ(grid.GetCellMargin(), margin);
  grid.SetRowCount(6);
  EXPECT_EQ(grid.GetRowHeight(5), metrics.height() + metrics.leading() + 2 * margin);
  EXPECT_EQ(grid.GetRowHeight(4), 18);
  EXPECT_EQ(*grid.GetItemFont(1, 1), big);
}

TEST(GridModel, CountsFixedCountsAndFocusResets) {
  auto grid = makeGrid(300, 200, 6, 4, 3, 1);
  EXPECT_TRUE(grid->SetRowCount(6));  // unchanged count

  // Shrinking below the fixed count lowers it; shrinking past the focus clears it.
  grid->SetFocusCell(5, 2);
  EXPECT_EQ(grid->GetFocusCell(), (CellPos{5, 2}));
  EXPECT_TRUE(grid->GetItemState(5, 2) & CellFocused);
  EXPECT_TRUE(grid->SetRowCount(2));
  EXPECT_EQ(grid->GetFixedRowCount(), 2);
  EXPECT_EQ(grid->GetFocusCell(), CellPos{});
  EXPECT_EQ(grid->rowHeights.size(), 2u);
  EXPECT_EQ(grid->rows.size(), 2u);

  // A fixed count beyond the rows grows the grid first.
  EXPECT_TRUE(grid->SetFixedRowCount(3));
  EXPECT_EQ(grid->GetRowCount(), 3);
  EXPECT_EQ(grid->GetFixedRowCount(), 3);

  // Focus inside the new fixed band is cleared; focus below it is kept.
  grid->SetRowCount(8);
  grid->SetFocusCell(5, 2);
  grid->SetFixedRowCount(4);
  EXPECT_EQ(grid->GetFocusCell(), (CellPos{5, 2}));
  grid->SetFixedRowCount(6);
  EXPECT_EQ(grid->GetFocusCell(), CellPos{});
  EXPECT_EQ(grid->GetItemState(5, 2) & CellFocused, 0u);

  // Columns follow the same rules.
  grid->SetFocusCell(7, 3);
  grid->SetColumnCount(3);
  EXPECT_EQ(grid->GetFocusCell(), CellPos{});
  grid->SetFixedColumnCount(5);
  EXPECT_EQ(grid->GetColumnCount(), 5);
  for (const auto& row : grid->rows) EXPECT_EQ(row->size(), 5u);
  EXPECT_EQ(grid->colWidths.size(), 5u);
  grid->SetColumnCount(2);
  EXPECT_EQ(grid->GetFixedColumnCount(), 2);
}

TEST(GridModel, SizeSettersRejectBadInput) {
  auto grid = makeGrid(300, 200, 3, 3);
  EXPECT_FALSE(grid->SetRowHeight(0, -1));
  EXPECT_FALSE(grid->SetColumnWidth(3, 50));
  EXPECT_FALSE(grid->SetRowHeight(-1, 5));
  EXPECT_EQ(grid->GetRowHeight(0), 18);
  EXPECT_EQ(grid->GetRowHeight(3), -1);
  EXPECT_EQ(grid->GetColumnWidth(-1), -1);
  EXPECT_TRUE(grid->SetRowHeight(2, 0));
  EXPECT_EQ(grid->GetRowHeight(2), 0);
  EXPECT_TRUE(grid->IsValid(CellRange{0, 0, 2, 2}));
  EXPECT_FALSE(grid->IsValid(CellRange{1, 0, 0, 2}));
  EXPECT_FALSE(grid->IsValid(CellRange{0, 0, 3, 2}));
}

TEST(GridModel, DeleteAllItemsEmptiesEverything) {
  auto grid = makeGrid(300, 200, 40, 5, 1, 1);
  grid->SetSelectedRange(1, 1, 3, 3);
  grid->SetFocusCell(2, 2);
  grid->SetScrollPos32(SB_VERT, 200);
  EXPECT_TRUE(grid->DeleteAllItems());
  EXPECT_EQ(grid->GetRowCount(), 0);
  EXPECT_EQ(grid->GetColumnCount(), 0);
  EXPECT_EQ(grid->GetFixedRowCount(), 0);
  EXPECT_EQ(grid->GetFixedColumnCount(), 0);
  EXPECT_EQ(grid->GetFocusCell(), CellPos{});
  EXPECT_EQ(grid->GetSelectedCount(), 0);
  EXPECT_TRUE(grid->rows.empty());
  // The next table is shown from its top, not from the old table's scroll position.
  EXPECT_EQ(grid->GetScrollPos32(SB_VERT), 0);
  grid->SetRowCount(10);
  grid->SetColumnCount(2);
  EXPECT_EQ(grid->GetTopLeftNonFixedCell(), (CellPos{0, 0}));
}

TEST(GridCells, InvalidCellsGiveTheListedValues) {
  CGridCtrl empty;
  EXPECT_FALSE(empty.SetItemText(0, 0, "x"));
  auto grid = makeGrid(300, 200, 3, 3);
  struct Probe {
    int row, col;
  };
  for (const Probe p : {Probe{-1, 0}, Probe{0, -1}, Probe{3, 0}, Probe{0, 3}}) {
    EXPECT_EQ(grid->GetItemText(p.row, p.col), QString());
    EXPECT_EQ(grid->GetItemImage(p.row, p.col), -1);
    EXPECT_EQ(grid->GetItemState(p.row, p.col), 0u);
    EXPECT_EQ(grid->GetItemFormat(p.row, p.col), 0u);
    EXPECT_EQ(grid->GetItemFont(p.row, p.col), &grid->GetLogFont());
    EXPECT_FALSE(grid->SetItemText(p.row, p.col, "x"));
    EXPECT_FALSE(grid->SetItemState(p.row, p.col, CellSelected));
    EXPECT_FALSE(grid->SetItemFont(p.row, p.col, QFont()));
    GridItem item;
    item.row = p.row;
    item.col = p.col;
    EXPECT_FALSE(grid->GetItem(&item));
  }
  EXPECT_FALSE(grid->GetItem(nullptr));
}

TEST(GridModel, MadeByClassName) {
  QObject* made = CGridCtrl::staticMetaObject.newInstance(Q_ARG(int, 2), Q_ARG(int, 3));
  auto* grid = qobject_cast<CGridCtrl*>(made);
  ASSERT_NE(grid, nullptr);
  EXPECT_EQ(grid->GetRowCount(), 2);
  EXPECT_EQ(grid->GetColumnCount(), 3);
  delete grid;
}

TEST(GridCells, TextsInUtf8) {
  CGridCtrl grid(2, 2);
  EXPECT_TRUE(grid.SetItemText(1, 1, std::string("Zo\xC3\xAB")));
  EXPECT_EQ(grid.GetItemText(1, 1), QString::fromUtf8("Zoë"));
  EXPECT_TRUE(grid.SetItemText(0, 1, "M\xC3\xBCller"));
  EXPECT_EQ(grid.GetItemText(0, 1), QString::fromUtf8("Müller"));
}

TEST(GridCells, ItemTransferAndNewCellFormats) {
  auto grid = makeGrid(300, 200, 2, 2);
  grid->SetItemText(1, 1, "hello");
  grid->SetItemFormat(1, 1, DT_CENTER);
  grid->SetItemBkColour(1, 1, RGB(1, 2, 3));
  grid->SetItemData(1, 1, 77);

  GridItem item;
  item.row = 1;
  item.col = 1;
  item.text = "untouched";
  EXPECT_TRUE(grid->GetItem(&item));  // mask 0 transfers nothing
  EXPECT_EQ(item.text, "untouched");
  item.mask = ItemMaskText | ItemMaskFormat | ItemMaskBkColour | ItemMaskParam | ItemMaskFgColour;
  EXPECT_TRUE(grid->GetItem(&item));
  EXPECT_EQ(item.text, "hello");
  EXPECT_EQ(item.format, DT_CENTER);
  EXPECT_EQ(item.bkColour, RGB(1, 2, 3));
  EXPECT_EQ(item.fgColour, CLR_DEFAULT);
  EXPECT_EQ(item.param, 77u);

  // New cells copy the format of the cell above; row 0 always starts at 0.
  grid->SetItemFormat(0, 0, DT_RIGHT);
  grid->SetRowCount(4);
  EXPECT_EQ(grid->GetItemFormat(2, 1), DT_CENTER);
  EXPECT_EQ(grid->GetItemFormat(3, 1), DT_CENTER);
  EXPECT_EQ(grid->GetItemFormat(2, 0), 0u);
  grid->SetColumnCount(3);
  EXPECT_EQ(grid->GetItemFormat(0, 2), 0u);
  EXPECT_EQ(grid->GetItemImage(0, 2), -1);
}

TEST(GridCells, SelectedCellsMapFollowsTheSelectedBit) {
  auto grid = makeGrid(300, 200, 20, 3);
  EXPECT_TRUE(grid->SetItemState(1, 1, CellSelected));
  EXPECT_TRUE(grid->SetItemState(1, 1, CellSelected | CellFocused));
  EXPECT_EQ(grid->GetSelectedCount(), 1);
  EXPECT_TRUE(grid->SetItemState(2, 2, 0));  // not selected: still stored
  EXPECT_EQ(grid->GetSelectedCount(), 1);

  // Walking order: buckets (key / 16) mod 17 upwards, newest first within a bucket.
  grid->SetItemState(1, 1, 0);
  const std::vector<CellPos> added = {{0, 0}, {16, 0}, {1, 0}, {0, 1}, {17, 0}};
  for (const CellPos c : added) grid->SetItemState(c.row, c.col, CellSelected);
  const std::vector<CellPos> walk = grid->GetSelectedCells().cells();
  const std::vector<CellPos> expected = {{1, 0}, {0, 0}, {17, 0}, {16, 0}, {0, 1}};
  EXPECT_EQ(walk, expected);
  EXPECT_EQ(grid->GetSelectedCellRange(), (CellRange{0, 0, 17, 1}));

  // A selected cell that goes with its row leaves the map.
  grid->SetRowCount(17);
  EXPECT_EQ(grid->GetSelectedCount(), 4);
  EXPECT_FALSE(grid->GetSelectedCells().Lookup({17, 0}));
  grid->ResetSelectedRange();
  EXPECT_EQ(grid->GetSelectedCount(), 0);
  EXPECT_EQ(grid->GetSelectedCellRange(), (CellRange{17, 3, -1, -1}));
}

TEST(GridCells, SelectionKeepsRowsThatShareA16BitKey) {
  // Rows 0 and 65,536 have the same 32-bit key; they are still two selected cells.
  CGridCtrl grid(65537, 1);
  grid.SetItemState(0, 0, CellSelected);
  grid.SetItemState(65536, 0, CellSelected);
  EXPECT_EQ(grid.GetSelectedCount(), 2);
  grid.SetItemState(65536, 0, 0);
  EXPECT_EQ(grid.GetSelectedCount(), 1);
  EXPECT_TRUE(grid.GetSelectedCells().Lookup({0, 0}));
}

TEST(GridCells, SetSelectedRangeAndSelectAll) {
  auto grid = makeGrid(300, 200, 5, 4, 1, 1);
  grid->SetSelectedRange(1, 1, 2, 2);
  EXPECT_EQ(grid->GetSelectedCount(), 4);
  grid->SetSelectedRange(2, 2, 3, 3);
  EXPECT_EQ(grid->GetSelectedCount(), 4);
  EXPECT_FALSE(grid->GetItemState(1, 1) & CellSelected);
  grid->SelectAllCells();
  EXPECT_EQ(grid->GetSelectedCellRange(), (CellRange{1, 1, 4, 3}));
  grid->EnableSelection(false);
  grid->SetSelectedRange(-1, -1, -1, -1);
  EXPECT_EQ(grid->GetSelectedCount(), 12);
}

TEST(GridCells, ModifiedMarks) {
  auto grid = makeGrid(300, 200, 4, 4);
  grid->SetModified(true, 0, 3);  // row 0 is not a cell address here: grid flag only
  EXPECT_TRUE(grid->GetModified());
  EXPECT_EQ(grid->GetItemState(0, 3), 0u);

  grid->SetModified(true, 2, 2);
  grid->SetModified(true, 3, 1);
  EXPECT_TRUE(grid->GetItemState(2, 2) & CellModified);
  grid->SetModified(false, 2, 2);  // grid flag still set: only this cell's mark goes
  EXPECT_FALSE(grid->GetItemState(2, 2) & CellModified);
  EXPECT_TRUE(grid->GetItemState(3, 1) & CellModified);
  EXPECT_TRUE(grid->GetModified());

  grid->SetModified(false);  // clears every mark
  EXPECT_FALSE(grid->GetModified());
  EXPECT_FALSE(grid->GetItemState(3, 1) & CellModified);

  grid->SetItemState(3, 1, CellModified | CellSelected);
  grid->SetModified(false, 2, 2);  // flag already false: every other mark goes too
  EXPECT_EQ(grid->GetItemState(3, 1), CellSelected);
}

TEST(GridCells, EditableFollowsGridAndCell) {
  auto grid = makeGrid(300, 200, 2, 2);
  EXPECT_TRUE(grid->IsCellEditable(1, 1));
  EXPECT_TRUE(grid->IsCellEditable(5, 5));  // state 0 counts as editable
  grid->SetItemState(1, 1, CellReadOnly);
  EXPECT_FALSE(grid->IsCellEditable(1, 1));
  grid->SetEditable(false);
  EXPECT_FALSE(grid->IsCellEditable(0, 0));
}

TEST(GridCells, FontsAreSharedButSetPerCell) {
  auto grid = makeGrid(300, 200, 3, 3);
  EXPECT_EQ(grid->GetItemFont(0, 0), grid->GetItemFont(2, 2));  // one stored font
  QFont italic = grid->GetLogFont();
  italic.setItalic(true);
  EXPECT_TRUE(grid->SetItemFont(1, 1, italic));
  EXPECT_EQ(*grid->GetItemFont(1, 1), italic);
  EXPECT_EQ(*grid->GetItemFont(1, 2), grid->GetLogFont());
  EXPECT_TRUE(grid->SetItemFont(2, 2, italic));
  EXPECT_EQ(grid->GetItemFont(1, 1), grid->GetItemFont(2, 2));
  GridItem item;
  item.row = 1;
  item.col = 1;
  item.mask = ItemMaskFont;
  grid->GetItem(&item);
  EXPECT_EQ(item.font, italic);

  // A grid font change reaches every existing cell.
  QFont other = grid->GetLogFont();
  other.setPointSize(other.pointSize() + 3);
  grid->SetFont(other);
  EXPECT_EQ(*grid->GetItemFont(1, 1), other);
}

TEST(GridModel, SystemColourChangeKeepsExplicitColours) {
  auto grid = makeGrid(300, 200, 2, 2);
  grid->SetTextColour(RGB(200, 0, 0));
  QPalette pal = grid->palette();
  pal.setColor(QPalette::WindowText, QColor(1, 2, 3));
  pal.setColor(QPalette::Base, QColor(4, 5, 6));
  grid->setPalette(pal);
  EXPECT_EQ(grid->GetTextColour(), RGB(200, 0, 0));
  EXPECT_EQ(grid->GetFixedTextColour(), RGB(1, 2, 3));
  EXPECT_EQ(grid->GetTextBkColour(), RGB(4, 5, 6));
  EXPECT_EQ(grid->sysWindowColour, RGB(4, 5, 6));
}

TEST(GridModel, FocusChangesAreNotified) {
  auto grid = makeGrid(300, 200, 4, 4, 1, 1);
  std::vector<GridNotify> seen;
  QObject::connect(grid.get(), &CGridCtrl::gridNotify, [&](GridNotify* nm) {
    seen.push_back(*nm);
    nm->result = 7;
  });
  grid->SetFocusCell(1, 1);
  grid->SetFocusCell(2, 3);
  ASSERT_EQ(seen.size(), 3u);
  EXPECT_EQ(seen[0].code, LVN_ITEMCHANGED);
  EXPECT_EQ(seen[1].code, LVN_ITEMCHANGING);
  EXPECT_EQ(seen[1].row, 1);
  EXPECT_EQ(seen[2].code, LVN_ITEMCHANGED);
  EXPECT_EQ(seen[2].col, 3);
  EXPECT_EQ(seen[2].idFrom, 102);
  EXPECT_EQ(seen[2].gridFrom, grid.get());
  EXPECT_EQ(grid->SendMessageToParent(0, 0, LVN_BEGINDRAG), 7);
}

// A host's own cell type through the virtual CreateCell, and a null slot from a failed
// creation treated as a missing cell.
class CountingGrid : public CGridCtrl {
 public:
  int emptied = 0;
  GridCell* CreateCell(int row, int col) override {
    if (row == 1 && col == 1) return nullptr;
    return CGridCtrl::CreateCell(row, col);
  }
  void EmptyCell(GridCell* cell, int row, int col) override {
    ++emptied;
    CGridCtrl::EmptyCell(cell, row, col);
  }
};

TEST(GridCells, HostCellsAndNullSlots) {
  CountingGrid grid;
  grid.SetRowCount(2);
  grid.SetColumnCount(2);
  EXPECT_EQ(grid.GetCell(1, 1), nullptr);
  EXPECT_FALSE(grid.SetItemText(1, 1, "x"));
  EXPECT_TRUE(grid.SetItemText(1, 0, "x"));
  grid.DeleteAllItems();
  EXPECT_EQ(grid.emptied, 3);
}

}  // namespace
}  // namespace tabulor
