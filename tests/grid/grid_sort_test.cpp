// Sorting of the grid in list mode: header clicks and their direction, the choice between
// numbers and text, the order of texts and of leading numbers, rows moving with their
// heights, the selection and focus cleared, the row headers renumbered, and a larger sort
// checked against the standard library.
#include <gtest/gtest.h>

#include <QStringList>
#include <QTest>
#include <algorithm>
#include <random>

#include "grid_test_support.h"

namespace tabulor {
namespace {

using test::cellCentre;

// A list-mode grid with one fixed row and column whose column `col` holds `values` from row
// 1 on; the other columns hold "r<row>" so rows can be followed.
std::unique_ptr<CGridCtrl> listGrid(const QStringList& values, int col = 1, int cols = 4) {
  const int rows = int(values.size()) + 1;
  auto grid = test::makeUniformGrid(600, 300, rows, cols);
  grid->SetListMode(true);
  for (int r = 1; r < rows; ++r) {
    for (int c = 1; c < cols; ++c) grid->SetItemText(r, c, QStringLiteral("r%1").arg(r));
    grid->SetItemText(r, col, values[r - 1]);
  }
  return grid;
}

QStringList column(const CGridCtrl& grid, int col) {
  QStringList texts;
  for (int r = grid.GetFixedRowCount(); r < grid.GetRowCount(); ++r)
    texts << grid.GetItemText(r, col);
  return texts;
}

void clickHeader(CGridCtrl& grid, int col) {
  QTest::mouseClick(grid.viewport(), Qt::LeftButton, {}, cellCentre(grid, 0, col));
}

TEST(GridSort, HeaderClicksAlternateTheDirection) {
  auto grid = listGrid({"9", "10", "2", "33", "1"});
  grid->SetItemText(1, 2, "b");
  grid->SetItemText(2, 2, "a");
  struct Step {
    QStringList column1;
    int header;
    bool ascending;
  };
  const Step steps[] = {
      {{"1", "2", "9", "10", "33"}, 1, true},
      {{"33", "10", "9", "2", "1"}, 1, false},
      {{"1", "2", "9", "10", "33"}, 1, true},
      {{}, 2, true},  // another header starts ascending again
  };
  for (const Step& s : steps) {
    clickHeader(*grid, s.header);
    EXPECT_EQ(grid->GetSortColumn(), s.header);
    EXPECT_EQ(grid->GetSortAscending(), s.ascending);
    if (!s.column1.isEmpty()) EXPECT_EQ(column(*grid, 1), s.column1);
    // A header click in list mode sorts instead of selecting.
    EXPECT_EQ(grid->mouseMode, MouseNothing);
    EXPECT_EQ(grid->GetSelectedCount(), 0);
  }
  EXPECT_EQ(column(*grid, 2).first(), "a");

  grid->sortOnClick = false;
  const QStringList before = column(*grid, 1);
  clickHeader(*grid, 1);
  EXPECT_EQ(column(*grid, 1), before);
  EXPECT_EQ(grid->GetSelectedCount(), 0);
}

TEST(GridSort, NumbersOrTextByTheFirstDataCell) {
  struct Case {
    const char* name;
    int col;
    QStringList values, sorted;
  };
  const Case cases[] = {
      {"a first cell of 0 sorts numbers", 1, {"0", "9", "10", "2"}, {"0", "2", "9", "10"}},
      {"a first cell of 12.5 sorts numbers", 1, {"12.5", "9", "10", "2"}, {"2", "9", "10", "12.5"}},
      {"a first cell of a word sorts text", 1, {"abc", "9", "10", "2"}, {"10", "2", "9", "abc"}},
      {"an empty first cell sorts text", 1, {"", "9", "10", "2"}, {"", "10", "2", "9"}},
      {"column 13 always sorts text", 13, {"0", "9", "10", "2"}, {"0", "10", "2", "9"}},
      {"a grid of three rows always sorts numbers", 1, {"abc", "10"}, {"abc", "10"}},
      {"text compares bytes: capitals first, UTF-8 after ASCII",
       1,
       {"b", "B", QStringLiteral("é"), "a", "Z"},
       {"B", "Z", "a", "b", QStringLiteral("é")}},
      {"the leading number of each text counts",
       1,
       {"0.1", "0x10", " -1.5e2x", ".5", "+3", "4abc", "7e", "1e999"},
       {" -1.5e2x", "0x10", "0.1", ".5", "+3", "4abc", "7e", "1e999"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto grid = listGrid(c.values, c.col, 15);
    EXPECT_TRUE(grid->SortItems(c.col, true));
    EXPECT_EQ(column(*grid, c.col), c.sorted);
  }
}

TEST(GridSort, RowsMoveWholeAndTheHeadersAreRenumbered) {
  auto grid = listGrid({"30", "10", "20"});
  for (int r = 1; r <= 3; ++r) {
    grid->SetRowHeight(r, 20 + r);  // row 1 ("30") is 21 high, row 2 ("10") 22, row 3 23
    grid->SetItemText(r, 0, QStringLiteral("h%1").arg(r));
  }
  grid->SetItemBkColour(2, 3, RGB(1, 2, 3));
  QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, cellCentre(*grid, 1, 1));
  QTest::keyClick(grid.get(), Qt::Key_Down, Qt::ShiftModifier);
  ASSERT_EQ(grid->GetSelectedCount(), 6);

  clickHeader(*grid, 1);
  EXPECT_EQ(column(*grid, 1), (QStringList{"10", "20", "30"}));
  EXPECT_EQ(column(*grid, 2), (QStringList{"r2", "r3", "r1"}));
  EXPECT_EQ(grid->GetRowHeight(1), 22);
  EXPECT_EQ(grid->GetRowHeight(2), 23);
  EXPECT_EQ(grid->GetRowHeight(3), 21);
  EXPECT_EQ(grid->GetItemBkColour(1, 3), RGB(1, 2, 3));
  EXPECT_EQ(column(*grid, 0), (QStringList{"1", "2", "3"}));
  EXPECT_EQ(grid->GetSelectedCount(), 0);
  EXPECT_EQ(grid->GetFocusCell(), (CellPos{-1, -1}));
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c)
      EXPECT_FALSE(grid->GetItemState(r, c) & (CellSelected | CellFocused));
}

TEST(GridSort, ADataColumnZeroKeepsItsValues) {
  auto grid = test::makeUniformGrid(400, 200, 4, 3);
  grid->SetFixedColumnCount(0);
  grid->SetListMode(true);
  const QStringList values{"c", "a", "b"};
  for (int r = 1; r <= 3; ++r) grid->SetItemText(r, 0, values[r - 1]);
  clickHeader(*grid, 0);
  EXPECT_EQ(column(*grid, 0), (QStringList{"a", "b", "c"}));
}

TEST(GridSort, RangeFormsRefuseWhatIsNotThere) {
  auto grid = listGrid({"3", "1", "2"});
  EXPECT_FALSE(grid->SortTextItems(4, true, 1));
  EXPECT_FALSE(grid->SortTextItems(-1, true, 1));
  EXPECT_FALSE(grid->SortNumericItems(1, true, 3, 3));
  EXPECT_FALSE(grid->SortNumericItems(1, true, -1, 2));
  EXPECT_FALSE(grid->SortNumericItems(1, true, 1, 4));
  EXPECT_EQ(column(*grid, 1), (QStringList{"3", "1", "2"}));
  // A part of the rows.
  EXPECT_TRUE(grid->SortNumericItems(1, false, 2, 3));
  EXPECT_EQ(column(*grid, 1), (QStringList{"3", "2", "1"}));
}

TEST(GridSort, ManyRowsComeOutInOrder) {
  std::mt19937 random(7);
  QStringList numbers, words;
  for (int i = 0; i < 3000; ++i) {
    numbers << QString::number(int(random() % 500) - 250);  // many equal keys
    words << QStringLiteral("w%1").arg(random() % 1000);
  }
  numbers[0] = "0";
  for (const bool ascending : {true, false}) {
    SCOPED_TRACE(ascending);
    auto grid = listGrid(numbers);
    for (int r = 1; r <= 3000; ++r) grid->SetItemText(r, 2, words[r - 1]);
    ASSERT_TRUE(grid->SortItems(1, ascending));
    QStringList sorted = column(*grid, 1);
    std::vector<int> got, expected;
    for (const QString& s : sorted) got.push_back(s.toInt());
    for (const QString& s : numbers) expected.push_back(s.toInt());
    std::sort(expected.begin(), expected.end());
    if (!ascending) std::reverse(expected.begin(), expected.end());
    EXPECT_EQ(got, expected);

    ASSERT_TRUE(grid->SortItems(2, ascending));
    std::vector<std::string> gotWords, expectedWords;
    for (const QString& s : column(*grid, 2)) gotWords.push_back(s.toStdString());
    for (const QString& s : words) expectedWords.push_back(s.toStdString());
    std::sort(expectedWords.begin(), expectedWords.end());
    if (!ascending) std::reverse(expectedWords.begin(), expectedWords.end());
    EXPECT_EQ(gotWords, expectedWords);
  }
}

}  // namespace
}  // namespace tabulor
