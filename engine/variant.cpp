// Variant comparison and numeric values.
#include "engine/variant.h"

#include <charconv>

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

}  // namespace tabulor
