// Telling date formats from number formats.
#include "engine/drivers/excel/cell_formats.h"

#include <cctype>

namespace tabulor::excel {

bool isBuiltinDateFormat(uint16_t index) {
  // 14-22: dates and times; 45-47: mm:ss, [h]:mm:ss, mm:ss.0; 27-36 and 50-58: the
  // date formats of the East Asian editions.
  return (index >= 14 && index <= 22) || (index >= 45 && index <= 47) ||
         (index >= 27 && index <= 36) || (index >= 50 && index <= 58);
}

bool isBuiltinTimeFormat(uint16_t index) {
  // 18-21: h:mm AM/PM, h:mm:ss AM/PM, h:mm, h:mm:ss; 45-47: mm:ss, [h]:mm:ss, mm:ss.0.
  return (index >= 18 && index <= 21) || (index >= 45 && index <= 47);
}

FormatKind formatKind(std::string_view format) {
  // Only the first section decides (the one for positive numbers).
  bool inQuote = false, dayOrYear = false, month = false, time = false;
  for (size_t i = 0; i < format.size(); ++i) {
    char c = format[i];
    if (inQuote) {
      if (c == '"') inQuote = false;
      continue;
    }
    if (c == ';') break;
    switch (c) {
      case '"':
        inQuote = true;
        break;
      case '\\':
      case '_':
      case '*':
        ++i;  // the next character is literal (or a fill/space width)
        break;
      case '[': {
        size_t end = format.find(']', i);
        if (end == std::string_view::npos) return FormatKind::Number;
        std::string_view inside = format.substr(i + 1, end - i - 1);
        // [h], [mm], [ss]: elapsed time; anything else is a colour, condition or locale.
        if (!inside.empty()) {
          char first = static_cast<char>(std::tolower(static_cast<unsigned char>(inside[0])));
          if ((first == 'h' || first == 'm' || first == 's') &&
              inside.find_first_not_of(inside[0]) == std::string_view::npos)
            time = true;
        }
        i = end;
        break;
      }
      default: {
        char l = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (l == 'd' || l == 'y') dayOrYear = true;
        if (l == 'm') month = true;  // or the minutes, beside h or s
        if (l == 'h' || l == 's') time = true;
        if (l == 'e' && i + 1 < format.size() && (format[i + 1] == '+' || format[i + 1] == '-'))
          ++i;  // scientific notation, not the era year
        else if (l == 'e')
          dayOrYear = true;
        // "General", "0.00", "#,##0", "@", "%" and the like fall through.
        if (l == 'g' && format.substr(i).size() >= 7) {
          std::string_view rest = format.substr(i, 7);
          bool general = true;
          const char* word = "general";
          for (size_t k = 0; k < 7; ++k)
            if (std::tolower(static_cast<unsigned char>(rest[k])) != word[k]) general = false;
          if (general) i += 6;
        }
        break;
      }
    }
  }
  if (time && !dayOrYear) return FormatKind::Time;
  if (time || dayOrYear || month) return FormatKind::Date;
  return FormatKind::Number;
}

bool isDateFormatString(std::string_view format) {
  return formatKind(format) != FormatKind::Number;
}

}  // namespace tabulor::excel
