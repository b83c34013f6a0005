// Value <-> text for the text driver, kept exact in both directions.
#include "engine/drivers/text/value_text.h"

#include <charconv>
#include <cmath>
#include <cstring>

#include "engine/ole_date.h"

namespace tabulor {

namespace {

constexpr double TwoTo53 = 9007199254740992.0;

size_t formatDouble(double d, char* buf) {
  if (d == std::trunc(d) && std::fabs(d) < TwoTo53) {
    auto res = std::to_chars(buf, buf + 32, static_cast<int64_t>(d));
    return static_cast<size_t>(res.ptr - buf);
  }
  auto res = std::to_chars(buf, buf + 64, d);
  return static_cast<size_t>(res.ptr - buf);
}

void put2(char* p, int v) {
  p[0] = static_cast<char>('0' + v / 10);
  p[1] = static_cast<char>('0' + v % 10);
}

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

std::string_view valueText(const Variant& v, char (&scratch)[64], std::string& fallback) {
  switch (v.vt) {
    case VT_EMPTY:
    case VT_NULL:
      return {};
    case VT_BSTR:
      return v.str;
    case VT_I2:
    case VT_I4:
    case VT_UI1: {
      int32_t n = v.vt == VT_I4 ? v.lVal : v.vt == VT_I2 ? v.iVal : v.bVal;
      auto res = std::to_chars(scratch, scratch + sizeof scratch, n);
      return std::string_view(scratch, static_cast<size_t>(res.ptr - scratch));
    }
    case VT_R8:
      if (!std::isfinite(v.dblVal)) break;
      return std::string_view(scratch, formatDouble(v.dblVal, scratch));
    case VT_R4: {
      if (!std::isfinite(v.fltVal)) break;
      // The shortest text of the float itself: 0.15f is "0.15", not its double expansion.
      auto res = std::to_chars(scratch, scratch + sizeof scratch, v.fltVal);
      return std::string_view(scratch, static_cast<size_t>(res.ptr - scratch));
    }
    case VT_DATE: {
      auto p = partsFromOleDate(v.date);
      if (!p) break;
      char* s = scratch;
      put2(s, p->year / 100);
      put2(s + 2, p->year % 100);
      s[4] = '-';
      put2(s + 5, p->month);
      s[7] = '-';
      put2(s + 8, p->day);
      if (p->hour == 0 && p->minute == 0 && p->second == 0) return std::string_view(s, 10);
      s[10] = ' ';
      put2(s + 11, p->hour);
      s[13] = ':';
      put2(s + 14, p->minute);
      s[16] = ':';
      put2(s + 17, p->second);
      return std::string_view(s, 19);
    }
    case VT_BOOL:
      return v.boolVal ? std::string_view("TRUE") : std::string_view("FALSE");
    default:
      break;
  }
  fallback = variantToText(v);
  return fallback;
}

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
  if (t.size() != 10 && t.size() != 19) return false;
  DateTimeParts p;
  if (!digits(t, 0, 4, p.year) || t[4] != '-' || !digits(t, 5, 2, p.month) || t[7] != '-' ||
      !digits(t, 8, 2, p.day))
    return false;
  if (t.size() == 19) {
    if (t[10] != ' ' || !digits(t, 11, 2, p.hour) || t[13] != ':' || !digits(t, 14, 2, p.minute) ||
        t[16] != ':' || !digits(t, 17, 2, p.second))
      return false;
    // Midnight is written as the date alone, so its long form does not come back as it was.
    if (p.hour == 0 && p.minute == 0 && p.second == 0) return false;
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
