// Variant comparison and the text form the text-based writers use.
#include "engine/variant.h"

#include <charconv>
#include <cmath>
#include <cstdio>

#include "engine/ole_date.h"

namespace tabulor {

bool operator==(const Variant& a, const Variant& b) {
  if (a.vt != b.vt) return false;
  switch (a.vt) {
    case VT_EMPTY:
    case VT_NULL:
      return true;
    case VT_I2:
      return a.iVal == b.iVal;
    case VT_I4:
      return a.lVal == b.lVal;
    case VT_R4:
      return a.fltVal == b.fltVal;
    case VT_R8:
      return a.dblVal == b.dblVal;
    case VT_CY:
      return a.cyVal == b.cyVal;
    case VT_DATE:
      return a.date == b.date;
    case VT_BOOL:
      return (a.boolVal != 0) == (b.boolVal != 0);
    case VT_UI1:
      return a.bVal == b.bVal;
    case VT_ERROR:
      return a.scode == b.scode;
    default:
      return a.str == b.str;
  }
}

bool isNumericType(uint16_t vt) {
  switch (vt) {
    case VT_I2:
    case VT_I4:
    case VT_R4:
    case VT_R8:
    case VT_CY:
    case VT_DECIMAL:
    case VT_UI1:
    case VT_I1:
    case VT_UI2:
    case VT_UI4:
    case VT_I8:
    case VT_UI8:
    case VT_INT:
    case VT_UINT:
      return true;
    default:
      return false;
  }
}

bool variantToDouble(const Variant& v, double& out) {
  switch (v.vt) {
    case VT_I2:
      out = v.iVal;
      return true;
    case VT_I4:
      out = v.lVal;
      return true;
    case VT_R4:
      out = v.fltVal;
      return true;
    case VT_R8:
      out = v.dblVal;
      return true;
    case VT_CY:
      out = static_cast<double>(v.cyVal) / 10000.0;
      return true;
    case VT_DATE:
      out = v.date;
      return true;
    case VT_BOOL:
      out = v.boolVal ? -1 : 0;
      return true;
    case VT_UI1:
      out = v.bVal;
      return true;
    case VT_DECIMAL: {
      const char* first = v.str.data();
      auto res = std::from_chars(first, first + v.str.size(), out);
      return res.ec == std::errc();
    }
    default:
      return false;
  }
}

std::string shortestDouble(double d) {
  if (std::isnan(d)) return "NaN";
  if (std::isinf(d)) return d < 0 ? "-Infinity" : "Infinity";
  if (d == 0) return "0";  // also for -0, which no reader distinguishes in a text file
  char buf[64];
  auto res = std::to_chars(buf, buf + sizeof buf, d);
  return std::string(buf, res.ptr);
}

static std::string currencyText(int64_t scaled) {
  // Exact: integer part and up to four decimals, trailing zeros dropped.
  bool negative = scaled < 0;
  uint64_t magnitude = negative ? 0 - static_cast<uint64_t>(scaled) : static_cast<uint64_t>(scaled);
  std::string text = std::to_string(magnitude / 10000);
  unsigned frac = static_cast<unsigned>(magnitude % 10000);
  if (frac != 0) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "%04u", frac);
    std::string f(buf);
    while (!f.empty() && f.back() == '0') f.pop_back();
    text += "." + f;
  }
  return negative ? "-" + text : text;
}

std::string variantToText(const Variant& v) {
  static const char hex[] = "0123456789ABCDEF";
  switch (v.vt) {
    case VT_EMPTY:
    case VT_NULL:
      return {};
    case VT_I2:
      return std::to_string(v.iVal);
    case VT_I4:
      return std::to_string(v.lVal);
    case VT_R4:
      return shortestDouble(static_cast<double>(v.fltVal));
    case VT_R8:
      return shortestDouble(v.dblVal);
    case VT_CY:
      return currencyText(v.cyVal);
    case VT_DATE:
      return isoFromOleDate(v.date);
    case VT_BOOL:
      return v.boolVal ? "TRUE" : "FALSE";
    case VT_UI1:
      return std::to_string(v.bVal);
    case VT_ERROR:
      return "#ERROR " + std::to_string(v.scode);
    case VT_BINARY: {
      std::string out;
      out.reserve(v.str.size() * 2);
      for (unsigned char c : v.str) {
        out += hex[c >> 4];
        out += hex[c & 15];
      }
      return out;
    }
    default:
      return v.str;
  }
}

}  // namespace tabulor
