// Conversions between calendar dates and OLE automation dates (days since 1899-12-30,
// with the time of day as the fraction), the date payload of Variant.
#pragma once

#include <optional>
#include <string>

namespace tabulor {

struct DateTimeParts {
  int year = 1899, month = 12, day = 30;
  int hour = 0, minute = 0, second = 0;
};

// The OLE date of a calendar date and time; nullopt when a field is out of range.
std::optional<double> oleDateFromParts(const DateTimeParts& p);

// Calendar parts of an OLE date, rounded to the second; nullopt outside years 100..9999.
std::optional<DateTimeParts> partsFromOleDate(double date);

// "YYYY-MM-DD", or "YYYY-MM-DD HH:MM:SS" when the time of day is not midnight.
std::string isoFromOleDate(double date);

// Parses "YYYY-MM-DD", "YYYY-MM-DD HH:MM[:SS]" and "YYYY-MM-DDTHH:MM[:SS]".
std::optional<double> oleDateFromIso(std::string_view text);

}  // namespace tabulor
