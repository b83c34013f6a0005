// The statement parser: the forms the catalogue builds, bracket escaping, and refusals.
#include "engine/statement.h"

#include <gtest/gtest.h>

#include "engine/engine_error.h"

namespace tabulor {
namespace {

TEST(Statement, ParsesEveryCatalogueForm) {
  struct Case {
    const char* text;
    SelectInto want;
  } cases[] = {
      {"SELECT * INTO [Text;DATABASE=/out].[Sales_Jan.csv] FROM [Jan$]",
       {"Text", "/out", "Sales_Jan.csv", "Jan$"}},
      {"select * into [Excel 8.0;DATABASE=/o/Sales.xls].[My Sheet] from [My Sheet$]",
       {"Excel 8.0", "/o/Sales.xls", "My Sheet", "My Sheet$"}},
      {"SELECT * INTO [;DATABASE=/o/a.mdb].[t] FROM [t]", {"", "/o/a.mdb", "t", "t"}},
      {"SELECT * INTO [dBASE III;DATABASE=/a;b].[x.dbf] FROM [x]",
       {"dBASE III", "/a;b", "x.dbf", "x"}},
      {"SELECT * INTO [Text;DATABASE=/o].[a]]b.txt] FROM [a]]b]", {"Text", "/o", "a]b.txt", "a]b"}},
  };
  for (const auto& c : cases) {
    SelectInto got = parseSelectInto(c.text);
    EXPECT_EQ(got.isam, c.want.isam) << c.text;
    EXPECT_EQ(got.database, c.want.database) << c.text;
    EXPECT_EQ(got.targetTable, c.want.targetTable) << c.text;
    EXPECT_EQ(got.sourceTable, c.want.sourceTable) << c.text;
  }
}

TEST(Statement, RefusesOtherStatements) {
  for (const char* text : {"", "DROP TABLE x", "SELECT * INTO [Text;DATABASE=/o].[a FROM [b]",
                           "SELECT * INTO [Text;DATABASE=/o].[a] FROM [b] extra",
                           "SELECT * INTO [nodatabase].[a] FROM [b]"}) {
    try {
      parseSelectInto(text);
      ADD_FAILURE() << "accepted: " << text;
    } catch (const EngineError& e) {
      EXPECT_EQ(e.kind(), ErrorKind::Syntax);
    }
  }
}

TEST(Statement, BracketedDoublesClosingBrackets) {
  EXPECT_EQ(bracketed("a]b]"), "[a]]b]]]");
  EXPECT_EQ(parseSelectInto("SELECT * INTO [Text;DATABASE=/o]." + bracketed("x]]y") + " FROM " +
                            bracketed("]"))
                .targetTable,
            "x]]y");
}

}  // namespace
}  // namespace tabulor
