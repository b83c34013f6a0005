// The format catalogue against its tables: keywords, source kinds, output names,
// statements, spreadsheet paths and codes, filters.
#include "convert/catalogue.h"

#include <gtest/gtest.h>

namespace tabulor {
namespace {

TEST(Catalogue, KeywordsSelectFormats) {
  struct Case {
    const char* keyword;
    std::optional<TargetFormat> want;
  } cases[] = {
      {"txt", FormatText},    {"htm", FormatHtml},   {"HTML", FormatHtml}, {"csv", FormatCsv},
      {"CSV", FormatCsv},     {"xls", FormatXls},    {"mdb", FormatMdb},   {"dbf", FormatDbase5},
      {"Wk1", FormatWk1},     {"wk3", std::nullopt}, {"", std::nullopt},   {"dbase", std::nullopt},
      {" csv", std::nullopt}, {"XLSX", FormatXlsx},  {"ods", FormatOds},
  };
  for (const auto& c : cases) EXPECT_EQ(formatFromKeyword(c.keyword), c.want) << c.keyword;
}

TEST(Catalogue, ClassifiesSourcesByTheirLastFourCharacters) {
  struct Case {
    const char* path;
    SourceKind kind;
  } cases[] = {
      {"Book.XLS", SourceKind::SourceWorkbook},    {"book.xls", SourceKind::SourceWorkbook},
      {"BOOK.Xls", SourceKind::SourceWorkbook},    {"a.xlsx", SourceKind::SourceXlsx},
      {"a.XLSX", SourceKind::SourceXlsx},          {"/d/b.Ods", SourceKind::SourceOds},
      {".xlsx", SourceKind::SourceOther},          {"a.xlsm", SourceKind::SourceOther},
      {".xls", SourceKind::SourceOther},           {"x.xls", SourceKind::SourceWorkbook},
      {"/d/shop.MDB", SourceKind::SourceDatabase}, {"/d/a.txt", SourceKind::SourceText},
      {"/d/orders.csv", SourceKind::SourceCsv},    {"/d/t.DBF", SourceKind::SourceDbase},
      {"/d/report.doc", SourceKind::SourceOther},  {"", SourceKind::SourceOther},
  };
  for (const auto& c : cases) EXPECT_EQ(classifySource(c.path), c.kind) << c.path;

  EXPECT_STREQ(sourceOpenInfo(SourceKind::SourceWorkbook).connect, "Excel 8.0;");
  EXPECT_STREQ(sourceOpenInfo(SourceKind::SourceWorkbook).suffix, "$");
  EXPECT_STREQ(sourceOpenInfo(SourceKind::SourceXlsx).connect, "Excel 12.0 Xml;");
  EXPECT_STREQ(sourceOpenInfo(SourceKind::SourceOds).connect, "OpenDocument Spreadsheet;");
  EXPECT_STREQ(sourceOpenInfo(SourceKind::SourceOds).suffix, "$");
  EXPECT_EQ(baseName("/d/Book.XLSX"), "Book");
  EXPECT_EQ(baseName("/d/Book.ods"), "Book");
  EXPECT_STREQ(sourceOpenInfo(SourceKind::SourceCsv).connect, "Text;");
  EXPECT_TRUE(sourceOpenInfo(SourceKind::SourceText).opensFolder);
  EXPECT_STREQ(sourceOpenInfo(SourceKind::SourceDbase).connect, "dBASE III;");
  EXPECT_STREQ(sourceOpenInfo(SourceKind::SourceOther).connect, "");
  EXPECT_FALSE(sourceOpenInfo(SourceKind::SourceDatabase).opensFolder);
}

TEST(Catalogue, NamesAndFolders) {
  EXPECT_EQ(baseName("/data/Sales.xls"), "Sales");
  EXPECT_EQ(baseName("Sales.xls"), "Sales");
  EXPECT_EQ(baseName("/data/a.b.csv"), "a.b");
  EXPECT_EQ(folderOf("/data/orders.csv"), "/data");
  EXPECT_EQ(folderOf("/orders.csv"), "/");
  EXPECT_EQ(folderOf("orders.csv"), ".");
  EXPECT_EQ(primaryOutputPath("/out", "Sales", FormatHtml), "/out/Sales.htm");
  EXPECT_EQ(primaryOutputPath("", "Sales", FormatMdb), "/Sales.mdb");
}

TEST(Catalogue, DatabaseEngineNamesAndStatements) {
  struct Case {
    TargetFormat format;
    const char* one;
    const char* several;
    const char* statement;  // for the several-table name, table Jan, source Jan$
  } cases[] = {
      {FormatText, "Sales.txt", "Sales_Jan.txt",
       "SELECT * INTO [Text;DATABASE=/out].[Sales_Jan.txt] FROM [Jan$]"},
      {FormatHtml, "Sales.htm", "Sales_Jan.htm",
       "SELECT * INTO [HTML Export;DATABASE=/out].[Sales_Jan.htm] FROM [Jan$]"},
      {FormatCsv, "Sales.csv", "Sales_Jan.csv",
       "SELECT * INTO [Text;DATABASE=/out].[Sales_Jan.csv] FROM [Jan$]"},
      {FormatXls, "Sales.xls", "Sales.xls",
       "SELECT * INTO [Excel 8.0;DATABASE=/out/Sales.xls].[Jan] FROM [Jan$]"},
      {FormatMdb, "Sales.mdb", "Sales.mdb",
       "SELECT * INTO [;DATABASE=/out/Sales.mdb].[Jan] FROM [Jan$]"},
      {FormatDbase3, "Sales.dbf", "Sales_Jan.dbf",
       "SELECT * INTO [dBASE III;DATABASE=/out].[Sales_Jan.dbf] FROM [Jan$]"},
      {FormatDbase4, "Sales.dbf", "Sales_Jan.dbf",
       "SELECT * INTO [dBASE IV;DATABASE=/out].[Sales_Jan.dbf] FROM [Jan$]"},
      {FormatDbase5, "Sales.dbf", "Sales_Jan.dbf",
       "SELECT * INTO [dBASE 5.0;DATABASE=/out].[Sales_Jan.dbf] FROM [Jan$]"},
      {FormatWk1, "Sales.wk1", "Sales_Jan.wk1",
       "SELECT * INTO [Lotus WK1;DATABASE=/out].[Sales_Jan.wk1] FROM [Jan$]"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(perTableOutputName(c.format, "Sales", "Jan", false), c.one) << c.format;
    std::string several = perTableOutputName(c.format, "Sales", "Jan", true);
    EXPECT_EQ(several, c.several) << c.format;
    EXPECT_EQ(databaseStatement(c.format, "/out", several, "Jan", "Jan$"), c.statement);
  }
}

TEST(Catalogue, StatementsDoubleClosingBrackets) {
  EXPECT_EQ(databaseStatement(FormatCsv, "/o]ut", "a]b.csv", "a]b", "a]b"),
            "SELECT * INTO [Text;DATABASE=/o]]ut].[a]]b.csv] FROM [a]]b]");
  EXPECT_EQ(databaseStatement(FormatXls, "/out", "x].xls", "S]", "S]$"),
            "SELECT * INTO [Excel 8.0;DATABASE=/out/x]].xls].[S]]] FROM [S]]$]");
}

TEST(Catalogue, SpreadsheetPathsAndCodes) {
  struct Case {
    TargetFormat format;
    int code;
    const char* path;
  } cases[] = {
      {FormatText, 3, "/out/Book_Jan.txt"},
      {FormatHtml, 44, "/out/Book_Jan.htm"},
      {FormatCsv, 6, "/out/Book_Jan.csv"},
      {FormatXls, 39, "/out/Book.xls"},
      {FormatMdb, -1, ""},
      {FormatDbase3, 8, "/out/Book_Jan.dbf"},
      {FormatDbase4, 11, "/out/Book_Jan.dbf"},
      {FormatDbase5, 9, "/out/Book_Jan.dbf"},
      {FormatWk1, 5, "/out/Book_Jan.wk1"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(spreadsheetFileFormatCode(c.format), c.code) << c.format;
    EXPECT_EQ(spreadsheetOutputPath(c.format, "/out", "Book", "Jan"), c.path) << c.format;
  }
}

TEST(Catalogue, ComboTextsAndFilters) {
  const char* combo[] = {"Text (*.TXT)",
                         "Web Page(*.HTM, *.HTML)",
                         "Comma Delimited (*.CSV)",
                         "Microsoft Excel Workbook (*.XLS)",
                         "Microsoft Jet Database (*.MDB)",
                         "dBaseIII (*.DBF)",
                         "dBaseIV (*.DBF)",
                         "dBASE 5.0 (*.DBF)",
                         "Lotus 1-2-3 WKS and WK1 Lotus WK1 (*.WK1)",
                         "Excel Workbook (*.XLSX)",
                         "OpenDocument Spreadsheet (*.ODS)"};
  for (int i = 0; i < TargetFormatCount; ++i) {
    EXPECT_EQ(targetFormats()[static_cast<size_t>(i)].format, i);
    EXPECT_STREQ(targetFormats()[static_cast<size_t>(i)].comboText, combo[i]);
  }
  const char* patterns[] = {"*.XLS;*.XLSX", "*.MDB", "*.TXT", "*.CSV", "*.DBF", "*.ODS", "*.*"};
  for (size_t i = 0; i < 7; ++i) EXPECT_STREQ(sourceFilters()[i].pattern, patterns[i]);
  EXPECT_STREQ(sourceFilters()[0].comboText, "Excel Files(*.XLS;*.XLSX)");
  EXPECT_STREQ(sourceFilters()[5].comboText, "OpenDocument Spreadsheets(*.ODS)");
  EXPECT_STREQ(sourceFilters()[6].comboText, "All Files (*.*)");
}

}  // namespace
}  // namespace tabulor
