// Values as text: the number, date and currency forms every writer shares, formatted without
// allocating for the common kinds (a table of millions of rows formats millions of values).
#include "engine/value_format.h"

#include <charconv>
#include <cmath>

#include "engine/ole_date.h"

namespace tabulor {

namespace {

constexpr double TwoTo53 = 9007199254740992.0;

// Currency scaled by 10,000, exactly: the integer part and up to four decimals, trailing
// zeros dropped.
size_t formatCurrency(int64_t scaled, char* buf) {
  char* p = buf;
  uint64_t magnitude = static_cast<uint64_t>(scaled);
  if (scaled < 0) {
    *p++ = '-';
    magnitude = 0 - magnitude;
  }
  p = std::to_chars(p, buf + 32, magnitude / 10000).ptr;
  unsigned fraction = static_cast<unsigned>(magnitude % 10000);
  if (fraction != 0) {
    *p++ = '.';
    for (unsigned unit = 1000; fraction != 0; unit /= 10) {
      *p++ = static_cast<char>('0' + fraction / unit);
      fraction %= unit;
    }
  }
  return static_cast<size_t>(p - buf);
}

}  // namespace

size_t formatDouble(double d, char* buf) {
  if (d == std::trunc(d) && std::fabs(d) < TwoTo53)
    return static_cast<size_t>(std::to_chars(buf, buf + 32, static_cast<int64_t>(d)).ptr - buf);
  return static_cast<size_t>(std::to_chars(buf, buf + 32, d).ptr - buf);
}

size_t formatFloat(float f, char* buf) {
  if (f == 0) {
    buf[0] = '0';
    return 1;
  }
  // Fixed notation at the shortest precision: the float's own digits, then zeros.
  if (f == std::trunc(f) && std::fabs(f) < TwoTo53)
    return static_cast<size_t>(std::to_chars(buf, buf + 48, f, std::chars_format::fixed).ptr - buf);
  return static_cast<size_t>(std::to_chars(buf, buf + 48, f).ptr - buf);
}

std::string doubleText(double d) {
  if (std::isnan(d)) return "NaN";
  if (std::isinf(d)) return d < 0 ? "-Infinity" : "Infinity";
  char buf[32];
  return std::string(buf, formatDouble(d, buf));
}

std::string_view valueText(const Variant& v, char (&scratch)[ValueTextScratch],
                           std::string& fallback) {
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
    case VT_R4:
      if (!std::isfinite(v.fltVal)) break;
      return std::string_view(scratch, formatFloat(v.fltVal, scratch));
    case VT_CY:
      return std::string_view(scratch, formatCurrency(v.cyVal, scratch));
    case VT_DATE: {
      size_t n = formatOleDate(v.date, scratch);
      if (n == 0) return "#DATE?";
      return std::string_view(scratch, n);
    }
    case VT_BOOL:
      return v.boolVal ? std::string_view("TRUE") : std::string_view("FALSE");
    case VT_ERROR:
      fallback = "#ERROR " + std::to_string(v.scode);
      return fallback;
    case VT_BINARY: {
      static const char hex[] = "0123456789ABCDEF";
      fallback.clear();
      fallback.reserve(v.str.size() * 2);
      for (unsigned char c : v.str) {
        fallback += hex[c >> 4];
        fallback += hex[c & 15];
      }
      return fallback;
    }
    default:
      return v.str;
  }
  fallback = doubleText(v.vt == VT_R4 ? static_cast<double>(v.fltVal) : v.dblVal);
  return fallback;
}

std::string variantToText(const Variant& v) {
  char scratch[ValueTextScratch];
  std::string fallback;
  std::string_view text = valueText(v, scratch, fallback);
  if (text.data() == fallback.data()) return fallback;
  return std::string(text);
}

}  // namespace tabulor
