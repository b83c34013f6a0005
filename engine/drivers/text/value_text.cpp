// Value <-> text for the text driver, kept exact in both directions.
#include "engine/drivers/text/value_text.h"

#include <charconv>
#include <cmath>
#include <cstring>

#include "engine/ole_date.h"
#include "engine/value_format.h"

namespace tabulor {

namespace {

// Digits at t[pos, pos + n) as a number; false unless all are digits.
bool digits(std::string_view t, size_t pos, size_t n, int& out) {
  out = 0;
  for (size_t i = pos; i < pos + n; ++i) {
    unsigned d = static_cast<unsigned char>(t[i]) - '0';
    if (d > 9) return false;
    out = out * 10 + static_cast<int>(d);
  }
  return true;
}

}  // namespace

bool parseInt32(std::string_view t, Variant& out) {
  size_t i = t.size() > 0 && t[0] == '-' ? 1 : 0;
  if (i == t.size() || t.size() - i > 10) return false;
  // No leading zeros ("08123" is a code, not a number) and no "-0".
  if (t[i] == '0' && (t.size() - i > 1 || i == 1)) return false;
  int32_t value = 0;
  auto res = std::from_chars(t.data(), t.data() + t.size(), value);
  if (res.ec != std::errc() || res.ptr != t.data() + t.size()) return false;
  out.vt = VT_I4;
  out.lVal = value;
  return true;
}

// True when `text` is a plain decimal ("12.50", "3.0") whose only difference from the
// shortest form of its value is zeros at the end of the fraction: the same number, as
// spreadsheets and price lists write it. Any other difference (more digits than a double
// keeps, an exponent, leading zeros) keeps the value as text.
static bool sameBesideTrailingZeros(std::string_view text, std::string_view shortest) {
  size_t dot = text.find('.');
  if (dot == std::string_view::npos || text.find_first_of("eE") != std::string_view::npos)
    return false;
  size_t end = text.size();
  while (end > dot + 1 && text[end - 1] == '0') --end;
  if (end == dot + 1) --end;  // "3." -> "3"
  return end < text.size() && text.substr(0, end) == shortest;
}

bool parseDouble(std::string_view t, Variant& out) {
  if (t.empty() || t.size() > 40) return false;
  char c = t[0];
  if (c != '-' && (c < '0' || c > '9')) return false;  // no "+5", ".5", "inf", "nan"
  double value = 0;
  auto res = std::from_chars(t.data(), t.data() + t.size(), value);
  if (res.ec != std::errc() || res.ptr != t.data() + t.size() || !std::isfinite(value))
    return false;
  char buf[64];
  size_t n = formatDouble(value, buf);
  if (std::string_view(buf, n) != t && !sameBesideTrailingZeros(t, std::string_view(buf, n)))
    return false;
  out.vt = VT_R8;
  out.dblVal = value;
  return true;
}

bool parseIsoDate(std::string_view t, Variant& out) {
  DateTimeParts p;
  if (t.size() == 8) {  // a time of day alone: "HH:MM:SS" on day zero
    if (!digits(t, 0, 2, p.hour) || t[2] != ':' || !digits(t, 3, 2, p.minute) || t[5] != ':' ||
        !digits(t, 6, 2, p.second))
      return false;
  } else {
    if (t.size() != 10 && t.size() != 19) return false;
    if (!digits(t, 0, 4, p.year) || t[4] != '-' || !digits(t, 5, 2, p.month) || t[7] != '-' ||
        !digits(t, 8, 2, p.day))
      return false;
    // Day zero is where a time of day alone lives, written back as "HH:MM:SS": the date
    // alone would come back as "00:00:00", so it stays text.
    if (t.size() == 10 && p.year == 1899 && p.month == 12 && p.day == 30) return false;
    if (t.size() == 19) {
      if (t[10] != ' ' || !digits(t, 11, 2, p.hour) || t[13] != ':' ||
          !digits(t, 14, 2, p.minute) || t[16] != ':' || !digits(t, 17, 2, p.second))
        return false;
      // Midnight written out in full is the same instant as the date alone, which is how it
      // is written back; date-time columns exported by other programs look like this. So
      // is a time on day zero, how database exports write a time of day alone.
    }
  }
  auto date = oleDateFromParts(p);
  if (!date) return false;
  out.vt = VT_DATE;
  out.date = *date;
  return true;
}

bool parseBoolean(std::string_view t, Variant& out) {
  bool value;
  if (t == "TRUE")
    value = true;
  else if (t == "FALSE")
    value = false;
  else
    return false;
  out.vt = VT_BOOL;
  out.boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
  return true;
}

}  // namespace tabulor
