// Type guessing and per-value conversion of text fields.
#include "engine/drivers/text/type_guess.h"

#include "engine/drivers/text/value_text.h"

namespace tabulor {

void ColumnTypeGuess::add(std::string_view text) {
  if (text.empty()) return;
  ++values_;
  Variant v;
  if (allInt_ || allNumber_) {
    bool isInt = parseInt32(text, v);
    allInt_ = allInt_ && isInt;
    allNumber_ = allNumber_ && (isInt || parseDouble(text, v));
  }
  if (allDate_) allDate_ = parseIsoDate(text, v);
  if (allBool_) allBool_ = parseBoolean(text, v);
}

uint16_t ColumnTypeGuess::type() const {
  if (values_ == 0) return VT_BSTR;
  if (allInt_) return VT_I4;
  if (allNumber_) return VT_R8;
  if (allDate_) return VT_DATE;
  if (allBool_) return VT_BOOL;
  return VT_BSTR;
}

uint16_t guessColumnType(const std::vector<std::string_view>& values) {
  ColumnTypeGuess guess;
  for (auto v : values) guess.add(v);
  return guess.type();
}

void convertField(uint16_t type, std::string_view text, Variant& out) {
  if (text.empty()) {
    out.vt = VT_NULL;
    return;
  }
  switch (type) {
    case VT_I4:
      if (parseInt32(text, out)) return;
      break;
    case VT_R8:
      if (parseDouble(text, out)) return;
      break;
    case VT_DATE:
      if (parseIsoDate(text, out)) return;
      break;
    case VT_BOOL:
      if (parseBoolean(text, out)) return;
      break;
    default:
      break;
  }
  out.setText(text);
}

}  // namespace tabulor
