// Column type guessing for delimited text: a column gets the most specific type that holds
// every non-empty value of its first rows exactly (see value_text.h), otherwise text.
// Later values that do not fit the guess are delivered as text, never changed or dropped.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "engine/variant.h"

namespace tabulor {

// The number of data rows the guess looks at.
inline constexpr int TypeGuessRows = 25;

// Collects the values of one column and gives its type: VT_I4 when all are 32-bit
// integers, VT_R8 when all are numbers (integers beyond 32 bits only where a double holds
// them exactly), VT_DATE for ISO dates, date-times and times of day, VT_BOOL for TRUE/FALSE,
// VT_BSTR for anything else and for a column with no values at all. Empty values do not count.
class ColumnTypeGuess {
 public:
  void add(std::string_view text);
  uint16_t type() const;

 private:
  int values_ = 0;
  bool allInt_ = true, allNumber_ = true, allDate_ = true, allBool_ = true;
};

// The type of a column with these values (as ColumnTypeGuess).
uint16_t guessColumnType(const std::vector<std::string_view>& values);

// Sets `out` to the value of `text` in a column of `type`: NULL for "", the typed value
// when the text is exactly such a value, else the text itself (VT_BSTR). Reuses out.str.
void convertField(uint16_t type, std::string_view text, Variant& out);

}  // namespace tabulor
