// Variant: the tagged field value the engine hands out for every cell, laid out after the
// OLE Automation VARIANT (a 16-bit type code plus a payload). Drivers produce and consume
// it; the preview formats it; writers map its codes to their column types.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tabulor {

// Type codes, with the values of the OLE Automation standard.
enum VarType : uint16_t {
  VT_EMPTY = 0,
  VT_NULL = 1,
  VT_I2 = 2,
  VT_I4 = 3,
  VT_R4 = 4,
  VT_R8 = 5,
  VT_CY = 6,
  VT_DATE = 7,
  VT_BSTR = 8,
  VT_DISPATCH = 9,
  VT_ERROR = 10,
  VT_BOOL = 11,
  VT_VARIANT = 12,
  VT_UNKNOWN = 13,
  VT_DECIMAL = 14,
  VT_I1 = 16,
  VT_UI1 = 17,
  VT_UI2 = 18,
  VT_UI4 = 19,
  VT_I8 = 20,
  VT_UI8 = 21,
  VT_INT = 22,
  VT_UINT = 23,
  VT_VOID = 24,
  VT_HRESULT = 25,
  VT_PTR = 26,
  VT_SAFEARRAY = 27,
  VT_CARRAY = 28,
  VT_USERDEFINED = 29,
  VT_LPSTR = 30,
  VT_LPWSTR = 31,
  VT_FILETIME = 64,
  VT_BLOB = 65,
  VT_STREAM = 66,
  VT_STORAGE = 67,
  VT_STREAMED_OBJECT = 68,
  VT_STORED_OBJECT = 69,
  VT_BLOB_OBJECT = 70,
  VT_CF = 71,
  VT_CLSID = 72,
  VT_ARRAY = 0x2000,
  VT_BYREF = 0x4000,
};

// Array of bytes: binary and OLE columns.
inline constexpr uint16_t VT_BINARY = VT_ARRAY | VT_UI1;

// VT_BOOL payloads: true is -1, as the engines this replaces deliver it.
inline constexpr int16_t VARIANT_TRUE = -1;
inline constexpr int16_t VARIANT_FALSE = 0;

struct Variant {
  uint16_t vt = VT_EMPTY;
  union {
    int16_t iVal;     // VT_I2
    int32_t lVal;     // VT_I4
    float fltVal;     // VT_R4
    double dblVal;    // VT_R8
    int64_t cyVal;    // VT_CY: currency scaled by 10,000
    double date;      // VT_DATE: days since 1899-12-30, time as the fraction
    int16_t boolVal;  // VT_BOOL: VARIANT_TRUE or VARIANT_FALSE
    uint8_t bVal;     // VT_UI1
    int32_t scode;    // VT_ERROR
  };
  // VT_BSTR: UTF-8 text. VT_DECIMAL: the value as decimal text ("-12.5").
  // VT_BINARY: the bytes.
  std::string str;

  Variant() : dblVal(0) {}

  static Variant null() { return typed(VT_NULL); }
  static Variant i2(int16_t v) {
    Variant r = typed(VT_I2);
    r.iVal = v;
    return r;
  }
  static Variant i4(int32_t v) {
    Variant r = typed(VT_I4);
    r.lVal = v;
    return r;
  }
  static Variant r4(float v) {
    Variant r = typed(VT_R4);
    r.fltVal = v;
    return r;
  }
  static Variant r8(double v) {
    Variant r = typed(VT_R8);
    r.dblVal = v;
    return r;
  }
  static Variant currency(int64_t scaled) {
    Variant r = typed(VT_CY);
    r.cyVal = scaled;
    return r;
  }
  static Variant oleDate(double d) {
    Variant r = typed(VT_DATE);
    r.date = d;
    return r;
  }
  static Variant boolean(bool b) {
    Variant r = typed(VT_BOOL);
    r.boolVal = b ? VARIANT_TRUE : VARIANT_FALSE;
    return r;
  }
  static Variant ui1(uint8_t v) {
    Variant r = typed(VT_UI1);
    r.bVal = v;
    return r;
  }
  static Variant error(int32_t code) {
    Variant r = typed(VT_ERROR);
    r.scode = code;
    return r;
  }
  static Variant text(std::string_view s) {
    Variant r = typed(VT_BSTR);
    r.str = s;
    return r;
  }
  static Variant decimal(std::string_view s) {
    Variant r = typed(VT_DECIMAL);
    r.str = s;
    return r;
  }
  static Variant bytes(std::string_view s) {
    Variant r = typed(VT_BINARY);
    r.str = s;
    return r;
  }

  bool isNull() const { return vt == VT_NULL || vt == VT_EMPTY; }

  // Reuses the string's buffer: cursors refill one row of Variants per record.
  void setText(std::string_view s) {
    vt = VT_BSTR;
    str.assign(s.data(), s.size());
  }
  void setNull() {
    vt = VT_NULL;
    str.clear();
  }

 private:
  static Variant typed(uint16_t code) {
    Variant r;
    r.vt = code;
    return r;
  }
};

bool operator==(const Variant& a, const Variant& b);

// True for the codes of numbers (integers of every width, floats, currency, decimal).
bool isNumericType(uint16_t vt);

// Numeric value of the numeric codes (I2, I4, R4, R8, CY, DATE, BOOL, UI1, DECIMAL);
// false for the others.
bool variantToDouble(const Variant& v, double& out);

// Text of a value as every writer puts it in a file (valueText of value_format.h, which
// defines the forms and formats without allocating).
std::string variantToText(const Variant& v);

}  // namespace tabulor
