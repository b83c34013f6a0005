// Turning values into the short texts the user interface shows: a field value of the
// preview (formatFieldValue, with formatBool for booleans) and a number with "," between
// groups of three integer digits for the file list's size column (formatGroupedNumber).
#pragma once

#include <cstdint>
#include <string>

#include "engine/variant.h"

namespace tabulor {

// Text of one field value for a preview cell (UTF-8). Never fails: every type code yields
// some text. Numbers use "." and no separators ("%.2f" for floats, "0x%02hX" for bytes),
// whatever the process locale; currency uses the locale's decimal point; dates read
// "MM DD YY" ("HH:MM:SS" for a time of day without a date, "#DATE?" outside the years
// 100..9999); a decimal shows its number; a flagged code reads "Array of ...",
// "Pointer to ..." or "Array of Pointer to ..."; an unknown one "Fish".
std::string formatFieldValue(const Variant& value);

// "TRUE" for a non-zero flag, "FALSE" for zero.
std::string formatBool(int16_t flag);

// `value` printed with `decimals` decimals (a negative count counts as 0) and "," before
// each complete group of three integer digits: 1234567 -> "1,234,567", -1234.5 with 2
// decimals -> "-1,234.50".
std::string formatGroupedNumber(double value, int decimals);

}  // namespace tabulor
