// Cell value formatting: every row of the type-code table, the flag rules and the grouped
// numbers of the file list, as tables of cases.
#include "preview/cell_format.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <string>
#include <vector>

#include "engine/ole_date.h"

namespace tabulor {
namespace {

Variant coded(uint16_t code) {
  Variant v;
  v.vt = code;
  return v;
}

struct FormatCase {
  const char* what;
  Variant value;
  std::string expected;
};

double oleDate(int y, int m, int d, int hh = 0, int mm = 0) {
  DateTimeParts p;
  p.year = y, p.month = m, p.day = d, p.hour = hh, p.minute = mm;
  return *oleDateFromParts(p);
}

TEST(FormatFieldValue, ValuesOfEveryPayloadCode) {
  const std::vector<FormatCase> cases = {
      {"empty", coded(VT_EMPTY), ""},
      {"null", Variant::null(), ""},
      {"i2 negative", Variant::i2(-5), "-5"},
      {"i2 extreme", Variant::i2(-32768), "-32768"},
      {"i4", Variant::i4(2147483647), "2147483647"},
      {"r4 widened exactly, tie rounds to even as printf", Variant::r4(0.125f), "0.12"},
      {"r4 widened, not re-rounded as float", Variant::r4(0.115f), "0.12"},
      {"r4 of 2.5", Variant::r4(2.5f), "2.50"},
      {"r8 pi", Variant::r8(3.14159), "3.14"},
      {"r8 2.5", Variant::r8(2.5), "2.50"},
      {"r8 no separators", Variant::r8(1234567.891), "1234567.89"},
      {"r8 negative", Variant::r8(-0.5), "-0.50"},
      {"currency", Variant::currency(125000), "12.5"},
      {"currency whole", Variant::currency(-30000), "-3"},
      {"currency four decimals", Variant::currency(12345), "1.2345"},
      {"date with time of day", Variant::oleDate(oleDate(2007, 3, 15, 14, 30)), "03 15 07"},
      {"date in 1999", Variant::oleDate(oleDate(1999, 12, 31)), "12 31 99"},
      {"date out of range", Variant::oleDate(1e9), "#DATE?"},
      {"date not a number", Variant::oleDate(std::nan("")), "#DATE?"},
      {"date before year 100", Variant::oleDate(-700000), "#DATE?"},
      {"date before 1899", Variant::oleDate(oleDate(1800, 7, 4)), "07 04 00"},
      {"time of day alone", Variant::oleDate(0.34375), "08:15:00"},
      {"midnight alone", Variant::oleDate(0), "00:00:00"},
      {"text", Variant::text("Müller, \"q\""), "Müller, \"q\""},
      {"bool true", Variant::boolean(true), "TRUE"},
      {"bool false", Variant::boolean(false), "FALSE"},
      {"byte 10", Variant::ui1(10), "0x0A"},
      {"byte 255", Variant::ui1(255), "0xFF"},
      {"byte 0", Variant::ui1(0), "0x00"},
      {"decimal shows its number", Variant::decimal("-12.50"), "-12.50"},
      {"error code", Variant::error(5), "VT_ERROR"},
  };
  for (const auto& c : cases) EXPECT_EQ(formatFieldValue(c.value), c.expected) << c.what;
}

TEST(FormatFieldValue, BoolPayloadOtherThanMinusOne) {
  Variant v = coded(VT_BOOL);
  v.boolVal = 1;
  EXPECT_EQ(formatFieldValue(v), "TRUE");
  EXPECT_EQ(formatBool(-1), "TRUE");
  EXPECT_EQ(formatBool(0), "FALSE");
}

TEST(FormatFieldValue, NameOnlyCodesGiveTheirName) {
  const std::vector<std::pair<uint16_t, std::string>> names = {
      {9, "VT_DISPATCH"},       {10, "VT_ERROR"},       {12, "VT_VARIANT"},
      {13, "VT_UNKNOWN"},       {16, "VT_I1"},          {18, "VT_UI2"},
      {19, "VT_UI4"},           {20, "VT_I8"},          {21, "VT_UI8"},
      {22, "VT_INT"},           {23, "VT_UINT"},        {24, "VT_VOID"},
      {25, "VT_HRESULT"},       {26, "VT_PTR"},         {27, "VT_SAFEARRAY"},
      {28, "VT_CARRAY"},        {29, "VT_USERDEFINED"}, {30, "VT_LPSTR"},
      {31, "VT_LPWSTR"},        {64, "VT_FILETIME"},    {65, "VT_BLOB"},
      {66, "VT_STREAM"},        {67, "VT_STORAGE"},     {68, "VT_STREAMED_OBJECT"},
      {69, "VT_STORED_OBJECT"}, {70, "VT_BLOB_OBJECT"}, {71, "VT_CF"},
      {72, "VT_CLSID"}};
  for (const auto& [code, name] : names) EXPECT_EQ(formatFieldValue(coded(code)), name) << code;
}

TEST(FormatFieldValue, UnknownCodesAndFlags) {
  const std::vector<std::pair<uint16_t, std::string>> cases = {
      {15, "Fish"},
      {32, "Fish"},
      {63, "Fish"},
      {73, "Fish"},
      {0x1003, "Fish"},  // 0x1000 is no flag: it stays part of an unknown base code
      {0x2003, "Array of VT_I4"},
      {0x4008, "Pointer to VT_BSTR"},
      {0x6005, "Array of Pointer to VT_R8"},
      {0x200E, "Array of "},
      {0x400E, "Pointer to "},
      {0x600E, "Array of Pointer to "},
      {0x2011, "Array of VT_UI1"},     // binary columns
      {0x400B, "Pointer to VT_BOOL"},  // a flagged boolean is not read as a boolean
      {0x2000, "Array of VT_EMPTY"},
      {0x3003, "Array of "},  // base 0x1003 has no name
  };
  for (const auto& [code, text] : cases) EXPECT_EQ(formatFieldValue(coded(code)), text) << code;
}

TEST(FormatFieldValue, NumbersIgnoreTheProcessLocale) {
  // Only meaningful where a comma-decimal locale is installed; harmless elsewhere.
  const std::string old = std::setlocale(LC_NUMERIC, nullptr);
  if (!std::setlocale(LC_NUMERIC, "de_DE.UTF-8")) GTEST_SKIP() << "de_DE locale not installed";
  EXPECT_EQ(formatFieldValue(Variant::r8(3.14159)), "3.14");
  EXPECT_EQ(formatGroupedNumber(1234.5, 2), "1,234.50");
  EXPECT_EQ(formatFieldValue(Variant::currency(125000)), "12,5");
  std::setlocale(LC_NUMERIC, old.c_str());
}

TEST(FormatGroupedNumber, GroupsIntegerDigitsOnly) {
  struct Case {
    double value;
    int decimals;
    const char* expected;
  };
  const Case cases[] = {
      {1234567, 0, "1,234,567"},
      {123, 0, "123"},
      {1234, 0, "1,234"},
      {-123456, 0, "-123,456"},
      {-123, 0, "-123"},
      {0, 0, "0"},
      {-1234.5, 2, "-1,234.50"},
      {999999.999, 2, "1,000,000.00"},
      {12, 2, "12.00"},
      {1234567.125, 3, "1,234,567.125"},
      {-1, 0, "-1"},
      {100, -1, "100"},
      {2.5e9, 0, "2,500,000,000"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(formatGroupedNumber(c.value, c.decimals), c.expected) << c.value << " " << c.decimals;
}

}  // namespace
}  // namespace tabulor
