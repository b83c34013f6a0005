// The inverse of the text form every writer gives values (valueText, engine/value_format.h):
// the typed value a text stands for when, and only when, writing that value back gives the
// very same text. Reading and writing share these so that a round trip never changes data.
#pragma once

#include <string>
#include <string_view>

#include "engine/value_format.h"
#include "engine/variant.h"

namespace tabulor {

// Each returns true and sets `out` when `text` is exactly the text valueText gives for
// such a value (so "08123", "+5" and "1e5" are refused); a decimal fraction may also end
// in zeros ("1.50" is the number 1.5), a date-time may be midnight written in full and a
// time of day may come with day zero ("1899-12-30 08:15:30" is the time 08:15:30).
bool parseInt32(std::string_view text, Variant& out);
bool parseDouble(std::string_view text, Variant& out);   // also whole numbers, as VT_R8
bool parseIsoDate(std::string_view text, Variant& out);  // also a time alone, "HH:MM:SS"
bool parseBoolean(std::string_view text, Variant& out);

}  // namespace tabulor
