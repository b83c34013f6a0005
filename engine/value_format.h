// The text of a value wherever the engine writes one as text: the fields of text, CSV and
// HTML files, the text cells and columns other targets fall back to, and the values quoted
// in messages. One rule for every writer, so that a value reads the same in every target.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "engine/variant.h"

namespace tabulor {

// Size of the scratch buffer valueText formats into.
inline constexpr size_t ValueTextScratch = 64;

// A finite double as text: whole numbers below 2^53 as plain digits ("1000000000000000",
// never "1e+15"), every other value in its shortest form that reads back as the same double
// ("0.1", "1e+21", "1.5e-07"); -0 as "0". Writes at most 32 bytes to `buf`, returns the
// length.
size_t formatDouble(double d, char* buf);

// A finite float by the same rule, in the float's own shortest form ("0.15" for 0.15f, not
// the digits of its widening to double). Writes at most 48 bytes to `buf`.
size_t formatFloat(float f, char* buf);

// formatDouble as a string; "NaN", "Infinity" and "-Infinity" for the values without digits.
std::string doubleText(double d);

// Text of `v`: integers as digits, doubles and floats as above, currency exactly with up to
// four decimals, dates as ISO 8601 (formatOleDate: a time of day alone as "HH:MM:SS"),
// booleans as TRUE/FALSE, binary as hexadecimal, text and decimals as they are, NULL as "".
// Returns a view of v.str, of a literal, of `scratch` or of `fallback`. What is written to
// `scratch` (digits, signs, ".", "-", ":", " ", "+", "e") needs escaping in no target.
std::string_view valueText(const Variant& v, char (&scratch)[ValueTextScratch],
                           std::string& fallback);

}  // namespace tabulor
