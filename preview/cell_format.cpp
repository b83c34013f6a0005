// Field values and grouped numbers as display text (see cell_format.h). Numbers are
// printed with std::to_chars, which ignores the process locale, so a preview shows "3.14"
// in every locale as the printf formats of the format table do in the C locale.
#include "preview/cell_format.h"

#include <algorithm>
#include <charconv>
#include <clocale>
#include <cstdio>
#include <cstdlib>

#include "engine/ole_date.h"

namespace tabulor {

namespace {

// Name of a type code, or nullptr for a code without a name (14, 15, 32..63, above 72).
const char* typeName(uint16_t code) {
  static const char* const low[] = {
      "VT_EMPTY",   "VT_NULL",    "VT_I2",   "VT_I4",        "VT_R4",     "VT_R8",
      "VT_CY",      "VT_DATE",    "VT_BSTR", "VT_DISPATCH",  "VT_ERROR",  "VT_BOOL",
      "VT_VARIANT", "VT_UNKNOWN", nullptr,   nullptr,        "VT_I1",     "VT_UI1",
      "VT_UI2",     "VT_UI4",     "VT_I8",   "VT_UI8",       "VT_INT",    "VT_UINT",
      "VT_VOID",    "VT_HRESULT", "VT_PTR",  "VT_SAFEARRAY", "VT_CARRAY", "VT_USERDEFINED",
      "VT_LPSTR",   "VT_LPWSTR"};
  static const char* const high[] = {
      "VT_FILETIME",      "VT_BLOB",        "VT_STREAM", "VT_STORAGE", "VT_STREAMED_OBJECT",
      "VT_STORED_OBJECT", "VT_BLOB_OBJECT", "VT_CF",     "VT_CLSID"};
  if (code < 32) return low[code];
  if (code >= 64 && code <= 72) return high[code - 64];
  return nullptr;
}

template <typename Int>
std::string integerText(Int v) {
  char buf[24];
  auto res = std::to_chars(buf, buf + sizeof buf, v);
  return std::string(buf, res.ptr);
}

// printf's "%.<decimals>f" in the C locale.
std::string fixedText(double v, int decimals) {
  decimals = std::clamp(decimals, 0, 1000);
  std::string buf(size_t(340 + decimals), '\0');
  auto res =
      std::to_chars(buf.data(), buf.data() + buf.size(), v, std::chars_format::fixed, decimals);
  if (res.ec != std::errc()) return "0";
  buf.resize(size_t(res.ptr - buf.data()));
  return buf;
}

// Currency (scaled by 10,000) as a plain decimal number: no grouping, no trailing zeros in
// the fraction, the decimal point of the process locale.
std::string currencyText(int64_t scaled) {
  const bool negative = scaled < 0;
  const uint64_t magnitude = negative ? uint64_t(0) - uint64_t(scaled) : uint64_t(scaled);
  std::string text = negative ? "-" : "";
  text += integerText(magnitude / 10000);
  uint64_t fraction = magnitude % 10000;
  if (fraction != 0) {
    std::string digits = integerText(fraction);
    digits.insert(0, 4 - digits.size(), '0');
    while (digits.back() == '0') digits.pop_back();
    const char* point = std::localeconv()->decimal_point;
    text += (point && *point) ? point : ".";
    text += digits;
  }
  return text;
}

// "%m %d %y" of an OLE date; the time of day is not shown. A value without a date (day zero,
// 1899-12-30, which is how a time of day alone is held) has only its time to show:
// "HH:MM:SS" rather than "12 30 99".
std::string dateText(double date) {
  const auto parts = partsFromOleDate(date);
  if (!parts) return "#DATE?";  // the marker the engine writes for such dates too
  char buf[20];
  if (isTimeOfDay(date)) return std::string(buf, formatOleDate(date, buf));
  const int n =
      std::snprintf(buf, sizeof buf, "%02d %02d %02d", parts->month, parts->day, parts->year % 100);
  return std::string(buf, size_t(n));
}

std::string byteText(uint8_t b) {
  static const char digits[] = "0123456789ABCDEF";
  return std::string{'0', 'x', digits[b >> 4], digits[b & 0xF]};
}

}  // namespace

std::string formatBool(int16_t flag) {
  return flag ? "TRUE" : "FALSE";
}

std::string formatFieldValue(const Variant& value) {
  const uint16_t code = value.vt;
  std::string text = "Fish";
  switch (code) {
    case VT_EMPTY:
    case VT_NULL:
      text.clear();
      break;
    case VT_I2:
      text = integerText(value.iVal);
      break;
    case VT_I4:
      text = integerText(value.lVal);
      break;
    case VT_R4:
      text = fixedText(double(value.fltVal), 2);
      break;
    case VT_R8:
      text = fixedText(value.dblVal, 2);
      break;
    case VT_CY:
      text = currencyText(value.cyVal);
      break;
    case VT_DATE:
      text = dateText(value.date);
      break;
    case VT_BSTR:
      text = value.str;
      break;
    case VT_BOOL:
      return formatBool(value.boolVal);
    case VT_UI1:
      text = byteText(value.bVal);
      break;
    // A decimal value is a number like any other: the engine delivers it as its decimal
    // text, which is shown as it stands rather than as a placeholder word.
    case VT_DECIMAL:
      text = value.str;
      break;
    default:
      if (const char* name = typeName(code)) text = name;
      break;
  }

  const bool isArray = code & VT_ARRAY;
  const bool isRef = code & VT_BYREF;
  if (isArray) text = "Array of ";
  if (isRef) text = isArray ? text + "Pointer to " : std::string("Pointer to ");
  if (isArray || isRef) {
    if (const char* name = typeName(uint16_t(code & ~(VT_ARRAY | VT_BYREF)))) text += name;
  }
  return text;
}

std::string formatGroupedNumber(double value, int decimals) {
  const std::string printed = fixedText(value, decimals);
  const size_t point = printed.find('.');
  const size_t integerEnd = point == std::string::npos ? printed.size() : point;

  // Built from the last character to the first; the fraction and the point are taken over
  // as they are, integer digits are counted and a "," goes before each full group of
  // three, but never at the start of the number or right after its minus sign.
  std::string result = printed.substr(integerEnd);
  int count = 0;
  for (size_t i = integerEnd; i-- > 0;) {
    result.insert(result.begin(), printed[i]);
    ++count;
    if (count % 3 == 0) {
      const bool first = i == 0;
      const bool afterMinus = i == 1 && printed[0] == '-';
      if (!first && !afterMinus) result.insert(result.begin(), ',');
    }
  }
  return result;
}

}  // namespace tabulor
