// Type guessing and the exact value <-> text rules it rests on.
#include "engine/drivers/text/type_guess.h"

#include <gtest/gtest.h>

#include "engine/drivers/text/value_text.h"
#include "engine/ole_date.h"

namespace tabulor {
namespace {

std::string textOf(const Variant& v) {
  char scratch[64];
  std::string fallback;
  return std::string(valueText(v, scratch, fallback));
}

// Each value alone in a column: the type it gets, and it must come back as the same text.
TEST(TypeGuess, SingleValues) {
  struct Case {
    const char* text;
    uint16_t type;
  } cases[] = {
      {"0", VT_I4},
      {"-17", VT_I4},
      {"2147483647", VT_I4},
      {"-2147483648", VT_I4},
      {"2147483648", VT_R8},          // beyond int32, exact as a double
      {"9007199254740992", VT_R8},    // 2^53
      {"9007199254740993", VT_BSTR},  // not exact as a double
      {"10000000000", VT_R8},
      {"12345678901234567890", VT_BSTR},
      {"0.1", VT_R8},
      {"-2.5", VT_R8},
      {"3.141592653589793", VT_R8},
      {"3.14159265358979323846", VT_BSTR},  // more digits than a double keeps
      {"08123", VT_BSTR},                   // leading zero: a code, not a number
      {"007", VT_BSTR},
      {"+5", VT_BSTR},
      {"-0", VT_BSTR},
      {"12.50", VT_R8},  // the same number: zeros ending a fraction are not data
      {"1.0", VT_R8},
      {"-25.00", VT_R8},
      {"0.10000000000000000001", VT_BSTR},  // more digits than a double keeps
      {"012.50", VT_BSTR},
      {".5", VT_BSTR},
      {"1e5", VT_BSTR},
      {"1,000", VT_BSTR},
      {" 5", VT_BSTR},
      {"5 ", VT_BSTR},
      {"NaN", VT_BSTR},
      {"inf", VT_BSTR},
      {"Infinity", VT_BSTR},
      {"0x10", VT_BSTR},
      {"2020-01-05", VT_DATE},
      {"2020-02-29", VT_DATE},
      {"2019-02-29", VT_BSTR},
      {"2020-01-05 13:45:00", VT_DATE},
      {"2020-01-05 00:00:00", VT_DATE},  // written back as the date alone
      {"2020-01-05T13:45:00", VT_BSTR},
      {"2020-01-05 13:45", VT_BSTR},
      {"2020-1-5", VT_BSTR},
      {"10/1", VT_BSTR},
      {"10/18/33", VT_BSTR},  // month/day order is a guess: kept as text
      {"0099-01-01", VT_BSTR},
      {"08:15:30", VT_DATE},  // a time of day alone
      {"00:00:00", VT_DATE},
      {"23:59:59", VT_DATE},
      {"24:00:00", VT_BSTR},
      {"8:15:30", VT_BSTR},
      {"08:15", VT_BSTR},
      {"296296:17:37", VT_BSTR},
      {"1899-12-30", VT_BSTR},           // day zero holds times alone: it would come back as one
      {"1899-12-30 08:15:30", VT_DATE},  // a time with its day zero, as exports write it
      {"1899-12-31", VT_DATE},
      {"TRUE", VT_BOOL},
      {"FALSE", VT_BOOL},
      {"true", VT_BSTR},
      {"Yes", VT_BSTR},
      {"abc", VT_BSTR},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(guessColumnType({c.text}), c.type);
    Variant v;
    convertField(guessColumnType({c.text}), c.text, v);
    EXPECT_EQ(v.vt, c.type);
    // Typed values write back as the same text, but for zeros ending a fraction, midnight
    // written in full and the day zero of a time.
    std::string_view want = c.text;
    if (c.type == VT_DATE && want.starts_with("1899-12-30 ")) want.remove_prefix(11);
    if (c.type == VT_DATE && want.ends_with(" 00:00:00")) want.remove_suffix(9);
    if (c.type == VT_R8 && want.find('.') != std::string_view::npos) {
      while (want.back() == '0') want.remove_suffix(1);
      if (want.back() == '.') want.remove_suffix(1);
    }
    EXPECT_EQ(textOf(v), want);
  }
}

TEST(TypeGuess, ColumnsOfMixedValues) {
  struct Case {
    std::vector<std::string_view> values;
    uint16_t type;
  } cases[] = {
      {{"1", "2", "", "3"}, VT_I4},
      {{"1", "2.5"}, VT_R8},
      {{"1", "3000000000"}, VT_R8},
      {{"1", "x"}, VT_BSTR},
      {{"1", "08"}, VT_BSTR},
      {{"2020-01-05", "2020-01-05 10:00:00"}, VT_DATE},
      {{"2020-01-05", "1"}, VT_BSTR},
      {{"TRUE", "", "FALSE"}, VT_BOOL},
      {{"", ""}, VT_BSTR},
      {{}, VT_BSTR},
  };
  for (const auto& c : cases) EXPECT_EQ(guessColumnType(c.values), c.type);
}

// A value that does not fit its column's type is kept as text; empty is NULL.
TEST(TypeGuess, ValuesThatBreakTheGuessStayText) {
  Variant v;
  convertField(VT_I4, "12", v);
  EXPECT_EQ(v.vt, VT_I4);
  EXPECT_EQ(v.lVal, 12);
  convertField(VT_I4, "12.5", v);
  EXPECT_EQ(v.vt, VT_BSTR);
  EXPECT_EQ(v.str, "12.5");
  convertField(VT_I4, "3000000000", v);
  EXPECT_EQ(v.vt, VT_BSTR);
  convertField(VT_R8, "7", v);
  EXPECT_EQ(v.vt, VT_R8);
  EXPECT_EQ(v.dblVal, 7.0);
  convertField(VT_DATE, "n/a", v);
  EXPECT_EQ(v.vt, VT_BSTR);
  EXPECT_EQ(v.str, "n/a");
  convertField(VT_BOOL, "", v);
  EXPECT_EQ(v.vt, VT_NULL);
  convertField(VT_BSTR, "2", v);
  EXPECT_EQ(v.vt, VT_BSTR);
}

TEST(ValueText, WrittenForms) {
  struct Case {
    Variant v;
    const char* text;
  } cases[] = {
      {Variant::null(), ""},
      {Variant::i2(-5), "-5"},
      {Variant::ui1(200), "200"},
      {Variant::r8(1e15), "1000000000000000"},
      {Variant::r8(1e21), "1e+21"},
      {Variant::r8(-0.0), "0"},
      {Variant::r8(0.1 + 0.2), "0.30000000000000004"},
      {Variant::r4(0.15f), "0.15"},
      {Variant::currency(-12345), "-1.2345"},
      {Variant::oleDate(*oleDateFromIso("2007-03-15")), "2007-03-15"},
      {Variant::oleDate(*oleDateFromIso("1850-06-01 06:30:15")), "1850-06-01 06:30:15"},
      {Variant::oleDate(0.34375), "08:15:00"},
      {Variant::boolean(false), "FALSE"},
      {Variant::text("x,\"y\""), "x,\"y\""},
  };
  for (const auto& c : cases) EXPECT_EQ(textOf(c.v), c.text);
}

}  // namespace
}  // namespace tabulor
