// Column statistics gathered in the engine's pre-pass for writers that size their columns.
#include "engine/schema.h"

#include <charconv>
#include <cmath>

#include "engine/ole_date.h"
#include "engine/text_codec.h"
#include "engine/value_format.h"

namespace tabulor {

namespace {

int integerDigits(double magnitude) {
  int digits = 1;
  while (magnitude >= 10 && digits < 400) {
    magnitude /= 10;
    ++digits;
  }
  return digits;
}

// Decimals needed to print `value` exactly in its shortest form, at most 15.
int decimalsNeeded(double value) {
  std::string text = doubleText(value);
  auto e = text.find_first_of("eE");
  int exponent = 0;
  if (e != std::string::npos) {
    exponent = std::stoi(text.substr(e + 1));
    text.resize(e);
  }
  auto dot = text.find('.');
  int fractionDigits = dot == std::string::npos ? 0 : static_cast<int>(text.size() - dot - 1);
  int decimals = fractionDigits - exponent;
  if (decimals < 0) decimals = 0;
  return decimals > 15 ? 15 : decimals;
}

// Decimals of a decimal's own text without its trailing zeros ("12.500" has 1); -1 for an
// exponent form, whose digits are counted through the double instead.
int textDecimals(std::string_view text) {
  if (text.find_first_of("eE") != std::string_view::npos) return -1;
  const size_t dot = text.find('.');
  if (dot == std::string_view::npos) return 0;
  size_t end = text.size();
  while (end > dot + 1 && text[end - 1] == '0') --end;
  return static_cast<int>(end - dot - 1);
}

// True when every character of UTF-8 `text` has a byte in Windows-1252.
bool fitsWindows1252(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && static_cast<unsigned char>(text[i]) < 0x80) ++i;
  char byte;
  while (i < text.size())
    if (!windows1252Byte(nextCodePoint(text, i), byte)) return false;
  return true;
}

// Length of variantToText(v) for the kinds whose text is ASCII and cheap to measure without
// formatting it (the statistics pass sees every value of a table); -1 for the others.
int64_t shownLength(const Variant& v) {
  char buf[64];
  switch (v.vt) {
    case VT_I2:
      return std::to_chars(buf, buf + sizeof buf, v.iVal).ptr - buf;
    case VT_I4:
      return std::to_chars(buf, buf + sizeof buf, v.lVal).ptr - buf;
    case VT_UI1:
      return std::to_chars(buf, buf + sizeof buf, v.bVal).ptr - buf;
    case VT_BOOL:
      return v.boolVal ? 4 : 5;
    case VT_R8:
      if (!std::isfinite(v.dblVal)) return -1;
      return static_cast<int64_t>(formatDouble(v.dblVal, buf));
    case VT_DATE: {
      size_t n = formatOleDate(v.date, buf);
      return n ? static_cast<int64_t>(n) : -1;
    }
    default:
      return -1;
  }
}

}  // namespace

void accumulateStats(ColumnStats& s, const Variant& v) {
  if (v.isNull()) return;
  ++s.nonNull;
  double number = 0;
  switch (v.vt) {
    case VT_BSTR:
      ++s.textValues;
      if (s.fitsWindows1252 && !fitsWindows1252(v.str)) s.fitsWindows1252 = false;
      break;
    case VT_BINARY:
      ++s.binaryValues;
      break;
    case VT_BOOL:
      ++s.boolValues;
      break;
    case VT_DATE:
      ++s.dateValues;
      if (v.date != std::trunc(v.date)) s.anyTimeOfDay = true;
      break;
    case VT_I2:
    case VT_I4:
    case VT_UI1:
      ++s.integerValues;
      break;
    default:
      if (variantToDouble(v, number) && number == std::trunc(number) && std::fabs(number) < 1e15)
        ++s.integerValues;
      else
        ++s.realValues;
      break;
  }
  if (v.vt != VT_BSTR && v.vt != VT_BINARY && v.vt != VT_BOOL && v.vt != VT_DATE &&
      variantToDouble(v, number) && std::isfinite(number)) {
    bool first = s.integerValues + s.realValues == 1;
    if (first || number < s.minValue) s.minValue = number;
    if (first || number > s.maxValue) s.maxValue = number;
    if (number < 0) s.hasNegative = true;
    int digits = integerDigits(std::fabs(number));
    if (digits > s.maxIntDigits) s.maxIntDigits = digits;
    // A decimal keeps more digits than a double: its fraction counts as its text has it.
    const int ownDecimals = v.vt == VT_DECIMAL ? textDecimals(v.str) : -1;
    if (ownDecimals > 0 || (ownDecimals < 0 && number != std::trunc(number))) {
      s.allWholeNumbers = false;
      int decimals = ownDecimals > 0 ? ownDecimals : decimalsNeeded(number);
      if (decimals > s.maxDecimals) s.maxDecimals = decimals;
    }
  }
  int64_t length = shownLength(v);
  if (length >= 0) {  // ASCII: as many bytes as characters
    if (length > s.maxTextBytes) s.maxTextBytes = length;
    if (length > s.maxTextChars) s.maxTextChars = length;
    return;
  }
  const std::string text = v.vt == VT_BSTR ? std::string() : variantToText(v);
  const std::string& shown = v.vt == VT_BSTR ? v.str : text;
  int64_t bytes = static_cast<int64_t>(shown.size());
  if (bytes > s.maxTextBytes) s.maxTextBytes = bytes;
  int64_t chars = static_cast<int64_t>(utf8Length(shown));
  if (chars > s.maxTextChars) s.maxTextChars = chars;
}

}  // namespace tabulor
