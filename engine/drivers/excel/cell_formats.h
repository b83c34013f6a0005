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

// True when a format string shows its number as a date or a time: it holds one of the
// codes d, m, y, h, s (or the [h] [m] [s] elapsed-time codes, or the e/g/b era codes with
// a year) outside quoted text, escaped characters and [colour] or [$-locale] sections.
bool isDateFormatString(std::string_view format);

// The XF table of a workbook as the reader needs it: per XF index, whether cells of that
// format are dates.
class CellFormats {
 public:
  void addFormat(uint16_t index, std::string_view formatString) {
    customDate_[index] = isDateFormatString(formatString);
  }
  void addXf(uint16_t formatIndex) {
    auto it = customDate_.find(formatIndex);
    xfIsDate_.push_back(it != customDate_.end() ? it->second : isBuiltinDateFormat(formatIndex));
  }
  bool isDate(uint16_t xfIndex) const { return xfIndex < xfIsDate_.size() && xfIsDate_[xfIndex]; }

 private:
  std::unordered_map<uint16_t, bool> customDate_;
  std::vector<bool> xfIsDate_;
};

}  // namespace tabulor::excel
