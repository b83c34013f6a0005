// The rules of the Excel driver that stand apart from the file format: type guessing,
// header names, date formats, date serials and sheet-name mending, as case tables.
#include <gtest/gtest.h>

#include "engine/drivers/excel/cell_formats.h"
#include "engine/drivers/excel/cell_value.h"
#include "engine/drivers/excel/sheet_names.h"
#include "engine/drivers/excel/type_guess.h"
#include "engine/ole_date.h"

namespace tabulor::excel {
namespace {

Cell number(double d) {
  Cell c;
  c.kind = CellKind::Number;
  c.number = d;
  return c;
}
Cell ofKind(CellKind k) {
  Cell c;
  c.kind = k;
  return c;
}

TEST(ExcelRules, GuessColumnType) {
  struct Case {
    std::vector<Cell> cells;
    uint16_t want;
  } cases[] = {
      {{}, VT_BSTR},
      {{ofKind(CellKind::Empty)}, VT_BSTR},
      {{number(1), number(2), ofKind(CellKind::Empty)}, VT_I4},
      {{number(1), number(2.5)}, VT_R8},
      {{number(1), number(4294967296.0)}, VT_R8},  // whole, but beyond 32 bits
      {{ofKind(CellKind::Date), ofKind(CellKind::Date)}, VT_DATE},
      {{ofKind(CellKind::Bool)}, VT_BOOL},
      {{number(1), ofKind(CellKind::Date)}, VT_BSTR},
      {{number(1), ofKind(CellKind::Text)}, VT_BSTR},
      {{number(1), ofKind(CellKind::Error)}, VT_BSTR},
  };
  for (const Case& c : cases) {
    ColumnSample s;
    for (const Cell& cell : c.cells) s.add(cell);
    EXPECT_EQ(guessColumnType(s), c.want);
  }
}

TEST(ExcelRules, CellsThatDoNotFitTheirColumnBecomeText) {
  Variant v;
  cellToVariant(number(2.5), VT_I4, v);
  EXPECT_EQ(v, Variant::text("2.5"));
  cellToVariant(number(7), VT_I4, v);
  EXPECT_EQ(v, Variant::i4(7));
  cellToVariant(number(7), VT_R8, v);
  EXPECT_EQ(v, Variant::r8(7));
  Cell err = ofKind(CellKind::Error);
  err.errorCode = 0x2A;
  cellToVariant(err, VT_R8, v);
  EXPECT_EQ(v, Variant::text("#N/A"));
  Cell t = ofKind(CellKind::Bool);
  t.boolValue = true;
  cellToVariant(t, VT_BOOL, v);
  EXPECT_EQ(v, Variant::boolean(true));
  cellToVariant(t, VT_I4, v);
  EXPECT_EQ(v, Variant::text("TRUE"));
  Cell time = ofKind(CellKind::Date);
  time.number = 0.75;
  cellToVariant(time, VT_BSTR, v);
  EXPECT_EQ(v, Variant::text("18:00:00"));
  cellToVariant(ofKind(CellKind::Empty), VT_I4, v);
  EXPECT_TRUE(v.isNull());
}

TEST(ExcelRules, FieldNamesFromHeader) {
  EXPECT_EQ(fieldNamesFromHeader({"id", "", "name", "ID", "F2"}),
            (std::vector<std::string>{"id", "F2_2", "name", "F4", "F2"}));
  EXPECT_EQ(fieldNamesFromHeader({"", ""}), (std::vector<std::string>{"F1", "F2"}));
}

TEST(ExcelRules, DateFormats) {
  using K = FormatKind;
  struct Case {
    const char* format;
    FormatKind kind;
  } cases[] = {
      {"General", K::Number},
      {"0.00", K::Number},
      {"#,##0.00 \"mm\"", K::Number},
      {"0.00E+00", K::Number},
      {"[Red]0.00", K::Number},
      {"@", K::Number},
      {"0%", K::Number},
      {"\\d0", K::Number},
      {"yyyy-mm-dd", K::Date},
      {"d/m/yy", K::Date},
      {"mmm", K::Date},
      {"yyyy-mm-dd hh:mm:ss", K::Date},
      {"[$-409]mmmm d, yyyy", K::Date},
      {"h:mm AM/PM", K::Time},
      {"hh:mm:ss", K::Time},
      {"[h]:mm:ss", K::Time},
      {"mm:ss.0", K::Time},
      {"0;[Red]-0;\"d\"", K::Number},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(formatKind(c.format), c.kind) << c.format;
    EXPECT_EQ(isDateFormatString(c.format), c.kind != K::Number) << c.format;
  }
  EXPECT_TRUE(isBuiltinDateFormat(14));
  EXPECT_TRUE(isBuiltinDateFormat(22));
  EXPECT_FALSE(isBuiltinDateFormat(0));
  EXPECT_FALSE(isBuiltinDateFormat(10));
  EXPECT_TRUE(isBuiltinTimeFormat(21));
  EXPECT_FALSE(isBuiltinTimeFormat(22));
}

TEST(ExcelRules, DateSerials) {
  struct Case {
    double serial;
    bool date1904;
    const char* iso;  // nullptr: not a date
  } cases[] = {
      {1, false, "1900-01-01"},  {59, false, "1900-02-28"},    {60, false, nullptr},
      {61, false, "1900-03-01"}, {45000, false, "2023-03-15"}, {0.5, false, "12:00:00"},
      {0, true, "1904-01-01"},   {-1, false, nullptr},
  };
  for (const Case& c : cases) {
    double ole;
    bool ok = oleDateFromSerial(c.serial, c.date1904, ole);
    EXPECT_EQ(ok, c.iso != nullptr) << c.serial;
    if (ok && c.iso) {
      EXPECT_EQ(isoFromOleDate(ole), c.iso);
      double back;
      if (!c.date1904) {
        ASSERT_TRUE(serialFromOleDate(ole, back));
        EXPECT_EQ(back, c.serial);
      }
    }
  }
  double s;
  EXPECT_FALSE(serialFromOleDate(1.5, s));  // 1899-12-31 has no serial
  EXPECT_FALSE(serialFromOleDate(-700, s));
}

TEST(ExcelRules, SheetNamesAreMended) {
  struct Case {
    std::string name;
    std::vector<std::string> existing;
    std::string want;
  } cases[] = {
      {"Jan", {}, "Jan"},
      {"a[b]:c*d?e/f\\g", {}, "a_b__c_d_e_f_g"},
      {"", {}, "Sheet"},
      {"'quoted'", {}, "_quoted_"},
      {"history", {}, "history_"},
      {"A name that is far longer than thirty-one characters",
       {},
       "A name that is far longer than "},
      {"jan", {"Jan"}, "jan_2"},
      {"jan", {"Jan", "jan_2"}, "jan_3"},
      {"1234567890123456789012345678901",
       {"1234567890123456789012345678901"},
       "12345678901234567890123456789_2"},
      {"Blätt€", {}, "Blätt€"},
      // The cut at 31 leaves an apostrophe last, which no sheet name may end with.
      {"Quarterly figures of the years' totals", {}, "Quarterly figures of the years_"},
  };
  for (const Case& c : cases) EXPECT_EQ(mendSheetName(c.name, c.existing), c.want) << c.name;
}

}  // namespace
}  // namespace tabulor::excel
