// Conversions between calendar dates and OLE automation dates (days since 1899-12-30,
// with the time of day as the fraction), the date payload of Variant.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace tabulor {

struct DateTimeParts {
  int year = 1899, month = 12, day = 30;
  int hour = 0, minute = 0, second = 0;
};

// The OLE date of a calendar date and time; nullopt when a field is out of range.
std::optional<double> oleDateFromParts(const DateTimeParts& p);

// Calendar parts of an OLE date, rounded to the second; nullopt outside years 100..9999.
std::optional<DateTimeParts> partsFromOleDate(double date);

// True when `date`, rounded to the second, falls on day zero (1899-12-30): how OLE dates,
// Jet and Excel hold a time of day that has no date.
bool isTimeOfDay(double date);

// The ISO 8601 text of an OLE date into `buf` (at least 20 bytes): "YYYY-MM-DD",
// "YYYY-MM-DD HH:MM:SS" when the time of day is not midnight, and "HH:MM:SS" alone for a
// time of day without a date (isTimeOfDay; midnight reads "00:00:00"). Returns the length,
// 0 for a date outside the years 100..9999.
size_t formatOleDate(double date, char* buf);

// formatOleDate as a string; "#DATE?" outside the years 100..9999.
std::string isoFromOleDate(double date);

// Parses "YYYY-MM-DD", "YYYY-MM-DD HH:MM[:SS]" and "YYYY-MM-DDTHH:MM[:SS]".
std::optional<double> oleDateFromIso(std::string_view text);

}  // namespace tabulor
