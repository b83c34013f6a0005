// Mending table names into valid, unique sheet names.
#include "engine/drivers/excel/sheet_names.h"

#include "engine/drivers/excel/biff_strings.h"
#include "engine/file_names.h"

namespace tabulor::excel {

namespace {

// The first `units` UTF-16 units of `s`, never splitting a surrogate pair.
std::u16string cutUnits(std::u16string s, size_t units) {
  if (s.size() <= units) return s;
  if (units > 0 && s[units - 1] >= 0xD800 && s[units - 1] <= 0xDBFF) --units;
  s.resize(units);
  return s;
}

std::string toUtf8(const std::u16string& units) {
  std::string out;
  appendUtf16AsUtf8(units, out);
  return out;
}

}  // namespace

std::string mendSheetName(const std::string& name, const std::vector<std::string>& existing,
                          size_t maxUnits) {
  std::u16string units = utf8ToUnits(name);
  for (char16_t& u : units) {
    switch (u) {
      case '[':
      case ']':
      case ':':
      case '*':
      case '?':
      case '/':
      case '\\':
        u = '_';
        break;
      default:
        if (u < 0x20 || u == 0x7F) u = '_';
    }
  }
  if (units.empty()) units = u"Sheet";
  // Cut first: the cut can leave an apostrophe at the end.
  units = cutUnits(units, maxUnits);
  if (units.front() == '\'') units.front() = '_';
  if (units.back() == '\'') units.back() = '_';
  // Excel keeps "History" for its change-tracking sheet.
  if (equalsNoCase(toUtf8(units), "History")) units += u"_";

  auto taken = [&](const std::string& candidate) {
    for (const std::string& e : existing)
      if (equalsNoCase(e, candidate)) return true;
    return false;
  };
  std::string result = toUtf8(units);
  for (int n = 2; taken(result); ++n) {
    std::u16string suffix = utf8ToUnits("_" + std::to_string(n));
    result = toUtf8(cutUnits(units, maxUnits - suffix.size()) + suffix);
  }
  return result;
}

}  // namespace tabulor::excel
