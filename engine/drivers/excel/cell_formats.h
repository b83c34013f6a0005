// Number formats and cell formats (XF records): which cells hold dates or times. BIFF keeps
// dates as plain numbers; only the number format of the cell's XF tells a date from a
// number, through the built-in date formats or a format string with date or time codes.
#pragma once

#include <cstdint>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace tabulor::excel {

// True for the built-in format indices that show dates or times.
bool isBuiltinDateFormat(uint16_t index);

// True for the built-in format indices that show a time of day without a date.
bool isBuiltinTimeFormat(uint16_t index);

enum class FormatKind : uint8_t { Number, Date, Time };

// What a format string shows its number as: a Date when it holds one of the codes d, m, y,
// h, s (or the [h] [m] [s] elapsed-time codes, or the e/g/b era codes with a year) outside
// quoted text, escaped characters and [colour] or [$-locale] sections; a Time when those
// codes are only h, s, elapsed time and the minutes m beside them (no day, month or year).
FormatKind formatKind(std::string_view format);

// formatKind(format) != Number.
bool isDateFormatString(std::string_view format);

// The XF table of a workbook as the reader needs it: per XF index, whether cells of that
// format are dates, and whether they are times of day without a date.
class CellFormats {
 public:
  void addFormat(uint16_t index, std::string_view formatString) {
    customKind_[index] = formatKind(formatString);
  }
  void addXf(uint16_t formatIndex) {
    auto it = customKind_.find(formatIndex);
    FormatKind kind = it != customKind_.end()            ? it->second
                      : isBuiltinTimeFormat(formatIndex) ? FormatKind::Time
                      : isBuiltinDateFormat(formatIndex) ? FormatKind::Date
                                                         : FormatKind::Number;
    xfKind_.push_back(kind);
  }
  bool isDate(uint16_t xfIndex) const { return kindOf(xfIndex) != FormatKind::Number; }
  bool isTime(uint16_t xfIndex) const { return kindOf(xfIndex) == FormatKind::Time; }

 private:
  FormatKind kindOf(uint16_t xfIndex) const {
    return xfIndex < xfKind_.size() ? xfKind_[xfIndex] : FormatKind::Number;
  }

  std::unordered_map<uint16_t, FormatKind> customKind_;
  std::vector<FormatKind> xfKind_;
};

}  // namespace tabulor::excel
