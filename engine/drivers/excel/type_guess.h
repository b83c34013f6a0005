// Field names and field types of a worksheet read as a table: the first used row gives the
// names, the first data rows the types. Kept apart from the record reading so that the
// rules can be tested on their own.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/drivers/excel/cell_value.h"
#include "engine/variant.h"

namespace tabulor::excel {

// How many data rows the type of a column is guessed from.
inline constexpr int TypeGuessRows = 8;

// The kinds of the non-empty cells of one column in the first data rows.
struct ColumnSample {
  int numbers = 0, wholeNumbers = 0, dates = 0, booleans = 0, texts = 0;
  void add(const Cell& cell);
};

// The Variant type of a column from its sample: VT_I4 when every value is a whole number
// that fits 32 bits, VT_R8 when every value is a number, VT_DATE when every value is a
// date, VT_BOOL when every value is a boolean, VT_BSTR otherwise (mixed kinds, text,
// error values, or no value at all in the sampled rows).
uint16_t guessColumnType(const ColumnSample& sample);

// Field names from the header cells (texts of the first used row, "" for empty cells):
// an empty name, or one that repeats an earlier name (compared without regard to case),
// becomes "F" followed by its 1-based position; such a name is itself made unique.
std::vector<std::string> fieldNamesFromHeader(const std::vector<std::string>& header);

// The value of a cell in a column of type `columnType`: the typed value when the cell fits
// the type, otherwise its text (numbers in their shortest exact form, dates as ISO 8601,
// booleans as TRUE/FALSE, errors as Excel shows them), never dropped; NULL when empty.
void cellToVariant(const Cell& cell, uint16_t columnType, Variant& out);

// The text of a cell as a field name or as a value kept as text.
std::string cellText(const Cell& cell);

}  // namespace tabulor::excel
