// Variant text forms, OLE dates and UTF-8 helpers.
#include "engine/variant.h"

#include <gtest/gtest.h>

#include "engine/ole_date.h"
#include "engine/text_codec.h"

namespace tabulor {
namespace {

TEST(Variant, TextForms) {
  struct Case {
    Variant v;
    const char* text;
  } cases[] = {
      {Variant::null(), ""},
      {Variant::i2(-5), "-5"},
      {Variant::i4(2147483647), "2147483647"},
      {Variant::r8(0.1), "0.1"},
      {Variant::r8(1.0 / 3), "0.3333333333333333"},
      {Variant::r8(1e15), "1000000000000000"},  // whole numbers below 2^53: digits
      {Variant::r8(-9007199254740991.0), "-9007199254740991"},
      {Variant::r8(9007199254740994.0), "9007199254740994"},
      {Variant::r8(1e21), "1e+21"},
      {Variant::r8(1.5e-7), "1.5e-07"},
      {Variant::r4(0.15f), "0.15"},  // the float's own digits
      {Variant::r4(1e10f), "10000000000"},
      {Variant::r4(-3e38f), "-3e+38"},
      {Variant::currency(140000), "14"},
      {Variant::currency(-12345), "-1.2345"},
      {Variant::oleDate(39156.0), "2007-03-15"},
      {Variant::oleDate(39156.604166666664), "2007-03-15 14:30:00"},
      {Variant::oleDate(0.34375), "08:15:00"},  // no date part: a time of day
      {Variant::oleDate(0), "00:00:00"},
      {Variant::oleDate(-0.25), "06:00:00"},
      {Variant::oleDate(0.999999999), "1899-12-31"},  // rounds to the next day
      {Variant::oleDate(1e7), "#DATE?"},
      {Variant::boolean(true), "TRUE"},
      {Variant::bytes(std::string("\x01\xAB", 2)), "01AB"},
      {Variant::text("x,y"), "x,y"},
  };
  for (const auto& c : cases) EXPECT_EQ(variantToText(c.v), c.text);
}

TEST(OleDate, RoundTripsAndRejects) {
  for (const char* iso : {"1899-12-31", "1900-03-01", "2007-03-15 14:30:00", "1800-01-01 06:00:00",
                          "9999-12-31 23:59:59", "0100-01-01"}) {
    auto d = oleDateFromIso(iso);
    ASSERT_TRUE(d) << iso;
    EXPECT_EQ(isoFromOleDate(*d), iso);
  }
  for (const char* bad : {"2007-02-29", "2007-13-01", "07-03-15", "2007-03-15 25:00", "abc"})
    EXPECT_FALSE(oleDateFromIso(bad)) << bad;
  EXPECT_EQ(*oleDateFromIso("1899-12-29 06:00:00"), -1.25);
}

TEST(TextCodec, Conversions) {
  EXPECT_TRUE(isValidUtf8("h\xC3\xA9llo"));
  EXPECT_FALSE(isValidUtf8("h\xE9llo"));
  EXPECT_FALSE(isValidUtf8("\xED\xA0\x80"));  // surrogate
  EXPECT_EQ(cp1252ToUtf8("\x80\xE9"), "\xE2\x82\xAC\xC3\xA9");
  EXPECT_EQ(utf16ToUtf8(utf8ToUtf16le("a\xF0\x9F\x98\x80z")), "a\xF0\x9F\x98\x80z");
  EXPECT_EQ(utf8Length("\xC3\xA9t\xC3\xA9"), 3u);
  EXPECT_EQ(utf8Prefix("\xC3\xA9t\xC3\xA9", 2), "\xC3\xA9t");
  EXPECT_EQ(fromCodePage("\x82", "CP850"), "\xC3\xA9");
  std::string out;
  EXPECT_TRUE(toCodePage("\xC3\xA9", "CP1252", out));
  EXPECT_EQ(out, "\xE9");
  EXPECT_FALSE(toCodePage("\xE2\x88\x82", "CP1252", out));  // U+2202 has no cp1252 byte
}

}  // namespace
}  // namespace tabulor
