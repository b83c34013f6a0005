// Sorting of the grid: a click on a column header in list mode sorts the non-fixed rows by
// that column (ascending first, then alternating) and renumbers the row headers. Whether a
// column is sorted as numbers or as text is read from its first data cell. Rows move as
// whole: their cell objects, with every attribute, and their heights.
#include <QApplication>
#include <charconv>
#include <cmath>
#include <string>
#include <utility>
#include <vector>

#include "grid/grid_ctrl.h"

namespace tabulor {

namespace {

bool isAsciiDigit(QChar c) {
  return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

// The decimal number a text begins with, after optional white space: sign, digits,
// fraction and exponent, as the C library's atof reads it but without its locale, hex
// forms, infinities or NaN. 0 for a text that begins with no number.
double leadingNumber(const QString& text) {
  const qsizetype size = text.size();
  qsizetype pos = 0;
  while (pos < size && (text[pos] == QLatin1Char(' ') ||
                        (text[pos] >= QLatin1Char('\t') && text[pos] <= QLatin1Char('\r'))))
    ++pos;
  std::string number;
  if (pos < size && (text[pos] == QLatin1Char('+') || text[pos] == QLatin1Char('-'))) {
    if (text[pos] == QLatin1Char('-')) number += '-';
    ++pos;
  }
  int integerDigits = 0, fractionDigits = 0;
  for (; pos < size && isAsciiDigit(text[pos]); ++pos, ++integerDigits)
    number += char(text[pos].unicode());
  if (pos < size && text[pos] == QLatin1Char('.')) {
    number += '.';
    for (++pos; pos < size && isAsciiDigit(text[pos]); ++pos, ++fractionDigits)
      number += char(text[pos].unicode());
  }
  if (integerDigits + fractionDigits == 0) return 0.0;
  int exponent = 0;
  if (pos < size && (text[pos] == QLatin1Char('e') || text[pos] == QLatin1Char('E'))) {
    qsizetype expPos = pos + 1;
    std::string exponentText = "e";
    if (expPos < size && (text[expPos] == QLatin1Char('+') || text[expPos] == QLatin1Char('-'))) {
      if (text[expPos] == QLatin1Char('-')) exponentText += '-';
      ++expPos;
    }
    if (expPos < size && isAsciiDigit(text[expPos])) {
      for (; expPos < size && isAsciiDigit(text[expPos]); ++expPos) {
        exponentText += char(text[expPos].unicode());
        exponent = std::min(exponent * 10 + (text[expPos].unicode() - '0'), 100000);
      }
      if (exponentText[1] == '-') exponent = -exponent;
      number += exponentText;
    }
  }
  double value = 0.0;
  const auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), value);
  if (error == std::errc::result_out_of_range) {
    // Too large becomes an infinity and too small zero, each with its sign.
    const bool negative = number[0] == '-';
    value = integerDigits + exponent > 0 ? HUGE_VAL : 0.0;
    if (negative) value = -value;
  }
  return value;
}

// The quicksort of the grid's rows over keys taken once per row: rows lo .. hi, keys[r -
// base] the key of row r. The pivot is the key of the middle row; two rows are exchanged
// only when their texts differ. The smaller part is sorted by recursion and the larger by
// the loop, so the depth stays logarithmic; the parts are disjoint, so the result is what
// sorting both parts by recursion would give.
template <typename Key, typename SwapRows>
void quickSort(std::vector<Key>& keys, std::vector<QString>& texts, int base, int lo, int hi,
               bool ascending, SwapRows& swapRows) {
  while (lo < hi) {
    const Key pivot = keys[size_t((lo + hi) / 2 - base)];
    int i = lo, j = hi;
    while (j >= i) {
      if (ascending) {
        while (i < hi && keys[size_t(i - base)] < pivot) ++i;
        while (j > lo && pivot < keys[size_t(j - base)]) --j;
      } else {
        while (i < hi && pivot < keys[size_t(i - base)]) ++i;
        while (j > lo && keys[size_t(j - base)] < pivot) --j;
      }
      if (j < i) break;
      if (texts[size_t(i - base)] != texts[size_t(j - base)]) {
        std::swap(keys[size_t(i - base)], keys[size_t(j - base)]);
        std::swap(texts[size_t(i - base)], texts[size_t(j - base)]);
        swapRows(i, j);
      }
      ++i;
      --j;
    }
    if (j - lo < hi - i) {
      if (lo < j) quickSort(keys, texts, base, lo, j, ascending, swapRows);
      lo = i;
    } else {
      if (i < hi) quickSort(keys, texts, base, i, hi, ascending, swapRows);
      hi = j;
    }
  }
}

}  // namespace

void CGridCtrl::swapRows(int a, int b) {
  GridRow* rowA = rows[size_t(a)].get();
  GridRow* rowB = rows[size_t(b)].get();
  if (rowA && rowB) {
    // With nothing selected (SortItems clears the selection) no cell needs to be read.
    const bool anySelected = !selectedCells.IsEmpty();
    for (int colIdx = 0; colIdx < colCount; ++colIdx) {
      GridCell*& cellA = (*rowA)[size_t(colIdx)];
      GridCell*& cellB = (*rowB)[size_t(colIdx)];
      std::swap(cellA, cellB);
      if (!anySelected) continue;
      // A selected cell that moves takes its place in selectedCells with it.
      const bool selectedA = cellA && (cellA->state & CellSelected);
      const bool selectedB = cellB && (cellB->state & CellSelected);
      if (selectedA || selectedB) {
        selectedCells.RemoveKey({a, colIdx});
        selectedCells.RemoveKey({b, colIdx});
        if (selectedA) selectedCells.SetAt({a, colIdx});
        if (selectedB) selectedCells.SetAt({b, colIdx});
      }
    }
  }
  if (rowHeights[size_t(a)] != rowHeights[size_t(b)]) {
    std::swap(rowHeights[size_t(a)], rowHeights[size_t(b)]);
    markRowsDirty(std::min(a, b));
  }
}

bool CGridCtrl::sortRows(int col, bool ascending, int low, int high, bool numeric) {
  if (col < 0 || col >= colCount) return false;
  if (high == -1) high = rowCount - 1;
  if (low < 0 || high >= rowCount || low >= high) return false;

  const size_t count = size_t(high - low + 1);
  std::vector<QString> texts(count);
  for (int rowIdx = low; rowIdx <= high; ++rowIdx)
    texts[size_t(rowIdx - low)] = GetItemText(rowIdx, col);
  auto exchange = [this](int a, int b) { swapRows(a, b); };
  if (numeric) {
    std::vector<double> keys(count);
    for (size_t idx = 0; idx < count; ++idx) keys[idx] = leadingNumber(texts[idx]);
    quickSort(keys, texts, low, low, high, ascending, exchange);
  } else {
    std::vector<std::string> keys(count);
    for (size_t idx = 0; idx < count; ++idx) keys[idx] = texts[idx].toStdString();
    quickSort(keys, texts, low, low, high, ascending, exchange);
  }
  return true;
}

bool CGridCtrl::SortTextItems(int col, bool ascending, int low, int high) {
  return sortRows(col, ascending, low, high, false);
}

bool CGridCtrl::SortNumericItems(int col, bool ascending, int low, int high) {
  return sortRows(col, ascending, low, high, true);
}

bool CGridCtrl::SortItems(int col, bool ascending) {
  ResetSelectedRange();
  SetFocusCell(-1, -1);
  // Column 13 is always text. Elsewhere a first data cell that reads as 0 without starting
  // with "0" (a word, an empty cell) makes the column text; grids of up to three rows sort
  // as numbers.
  bool asText = col == 13;
  if (!asText && rowCount > 3) {
    const QString first = GetItemText(1, col);
    asText = leadingNumber(first) == 0.0 && !first.startsWith(QLatin1Char('0'));
  }
  return asText ? SortTextItems(col, ascending, fixedRowCount)
                : SortNumericItems(col, ascending, fixedRowCount);
}

void CGridCtrl::sortByHeader(int col) {
  QApplication::setOverrideCursor(Qt::WaitCursor);
  if (col == sortColumn) {
    sortAscending = !sortAscending;
  } else {
    sortAscending = true;
    sortColumn = col;
  }
  SortItems(sortColumn, sortAscending);
  // The row headers count the rows again. Only a fixed column 0 is a header: a data
  // column 0 keeps its values, and so do header rows.
  if (fixedColCount > 0)
    for (int rowIdx = std::max(1, fixedRowCount); rowIdx < rowCount; ++rowIdx)
      SetItemText(rowIdx, 0, QString::number(rowIdx));
  invalidateAll();
  QApplication::restoreOverrideCursor();
}

}  // namespace tabulor
