// The text form of field values in the files this driver writes, and its inverse: the
// typed value a text stands for when, and only when, writing that value back gives the
// very same text. Reading and writing share these so that a round trip never changes data.
#pragma once

#include <string>
#include <string_view>

#include "engine/variant.h"

namespace tabulor {

// Text of `v` as it goes into a text file: integers as digits, doubles in their shortest
// exact form ("0.1", "12345678901", "1e+300"; whole numbers below 2^53 always as digits),
// dates as "YYYY-MM-DD" or "YYYY-MM-DD HH:MM:SS", booleans as TRUE/FALSE, text as it is,
// NULL as "". Returns a view of v.str, of `scratch` or of `fallback`.
std::string_view valueText(const Variant& v, char (&scratch)[64], std::string& fallback);

// Each returns true and sets `out` when `text` is exactly the text valueText gives for
// such a value (so "08123", "+5", "1e5" and "2020-01-05 00:00:00" are refused); a decimal
// fraction may also end in zeros ("1.50" is the number 1.5).
bool parseInt32(std::string_view text, Variant& out);
bool parseDouble(std::string_view text, Variant& out);  // also whole numbers, as VT_R8
bool parseIsoDate(std::string_view text, Variant& out);
bool parseBoolean(std::string_view text, Variant& out);

}  // namespace tabulor
