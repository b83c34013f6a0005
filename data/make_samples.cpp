// make_samples: writes the sample workbook, Jet database and dBase table that the README's
// run command converts and the package installs, with the project's own engine: CSV tables
// (in SOURCES) are copied into each target by the statements the conversions use.
// Usage: make_samples SOURCES OUTDIR BLANK.mdb
//   SOURCES gets the CSV files (they are the expected values of the install tests), OUTDIR
//   gets overview.xls (three sheets), trade.mdb (three tables) and notes.dbf with its memo
//   file notes.dbt and code-page file notes.cpg.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "convert/catalogue.h"
#include "engine/database.h"
#include "engine/engine_error.h"

namespace {

namespace fs = std::filesystem;
using tabulor::TargetFormat;

// A long text with commas, quotes and non-ASCII letters, as a quoted CSV field holds it
// (quotes doubled). 239 characters: the most a Lotus WK1 label holds, so that every sample
// converts into every target.
const std::string LongTextCsv =
    "Delivery notes: goods leave the warehouse in Grünwald on Mondays and Thursdays; orders "
    "placed after 14:00 go with the next truck. Fragile items (the \"\"Sèvres\"\" line) are "
    "packed twice. Returns within 30 days are free of charge.";

// A note in Russian: 200 characters, but past the 254 bytes of a dBase character field in
// UTF-8 (the table cannot be written in a Windows code page), so it goes to the memo file.
const std::string RussianNote =
    "Инвентаризация склада: проверить остатки чая и кофе, пересчитать коробки на верхних "
    "полках, сверить накладные за март и передать список бухгалтерии до пятницы. Спасибо!";

struct SampleTable {
  const char* csv;    // file in SOURCES
  const char* table;  // table name in the target
  std::string text;   // the CSV file's contents
};

const std::vector<SampleTable> WorkbookSheets = {
    {"orders.csv", "Commandes été",
     "OrderId,Customer,OrderDate,Amount,Paid,Note\n"
     "1001,Müller GmbH,2024-01-15,1250.5,TRUE,\"" +
         LongTextCsv +
         "\"\n"
         "1002,Zoë's Café,2024-01-17,89.9,FALSE,\"Said \"\"call back\"\" later\"\n"
         "1003,Acme Corp.,2024-02-02,15000,TRUE,\n"
         "1004,Åkesson AB,2024-02-20,432.1,TRUE,Two pallets\n"
         "1005,Smith & Sons,2024-03-01,-25,FALSE,Refund\n"},
    {"cities.csv", "Städte",
     "City,Country,Population,Area,Counted\n"
     "Zürich,Switzerland,421878,87.88,2021-12-31\n"
     "København,Denmark,644431,86.2,2022-01-01\n"
     "Kraków,Poland,779115,326.8,2021-03-31\n"
     "Porto,Portugal,231962,41.42,\n"},
    {"products.csv", "商品",
     "Code,Product,Price,InStock,Updated\n"
     "A-01,Widget <small>,2.5,120,2024-04-02 08:30:00\n"
     "A-02,\"Gadget \"\"Pro\"\"\",19.99,8,2024-04-03 17:05:10\n"
     "B-10,Grüner Tee 100 g,4.2,0,2024-04-05 12:00:00\n"
     "C-07,日本茶,12,35,2024-04-07 09:15:00\n"},
};

const std::vector<SampleTable> DatabaseTables = {
    {"customers.csv", "Customers",
     "CustomerId,Name,City,Since,Active,Remarks\n"
     "1,Müller GmbH,München,2019-03-01,TRUE,\"" +
         LongTextCsv +
         "\"\n"
         "2,Zoë's Café,Paris,2021-07-15,TRUE,Pays by card\n"
         "3,Åkesson AB,Göteborg,2015-11-30,FALSE,\n"
         "4,Smith & Sons,Leeds,2023-01-09,TRUE,\"Two sites, one invoice\"\n"},
    {"db_orders.csv", "Orders",
     "OrderId,CustomerId,OrderDate,Amount,Paid\n"
     "1001,1,2024-01-15,1250.5,TRUE\n"
     "1002,2,2024-01-17,89.9,FALSE\n"
     "1003,4,2024-02-02,15000,TRUE\n"
     "1004,3,2024-02-20,432.1,TRUE\n"
     "1005,4,2024-03-01,-25,FALSE\n"},
    {"db_products.csv", "Products",
     "Code,Product,Price,InStock\n"
     "A-01,Widget <small>,2.5,120\n"
     "A-02,\"Gadget \"\"Pro\"\"\",19.99,8\n"
     "B-10,Grüner Tee 100 g,4.2,0\n"
     "C-07,Crème brûlée set,12,35\n"},
};

const SampleTable DbaseTable = {
    "notes.csv", "notes.dbf",
    "NoteId,Title,Written,Done,Hours,Body\n"
    "1,Spring delivery plan,2024-02-01,TRUE,3.5,\"" +
        LongTextCsv +
        "\"\n"
        "2,Café opening hours,2024-02-14,FALSE,0.75,\"Mon-Fri 7:30-18:00, Sat 9:00-14:00\"\n"
        "3,Инвентаризация,2024-03-28,TRUE,12,\"" +
        RussianNote + "\"\n"};

void writeText(const fs::path& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
  if (!out.flush())
    throw tabulor::EngineError(tabulor::ErrorKind::Io, "Cannot write " + path.string());
}

// The engine's name for the table of `csv` in the folder opened with "Text;".
std::string sourceTable(tabulor::Database& db, const std::string& csv) {
  for (int i = 0; i < db.GetTableDefCount(); ++i) {
    tabulor::TableDefInfo info = db.GetTableDefInfo(i);
    if (info.fileName == csv) return info.name;
  }
  throw tabulor::EngineError(tabulor::ErrorKind::NotFound, "No table for " + csv);
}

void copyTables(tabulor::Database& db, const std::vector<SampleTable>& tables, TargetFormat format,
                const std::string& outdir, const std::string& fileName) {
  for (const SampleTable& t : tables)
    db.Execute(
        tabulor::databaseStatement(format, outdir, fileName, t.table, sourceTable(db, t.csv)));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: make_samples SOURCES OUTDIR BLANK.mdb\n");
    return 2;
  }
  const fs::path sources = argv[1], outdir = argv[2], blank = argv[3];
  try {
    fs::create_directories(sources);
    fs::create_directories(outdir);
    for (const auto* list : {&WorkbookSheets, &DatabaseTables})
      for (const SampleTable& t : *list) writeText(sources / t.csv, t.text);
    writeText(sources / DbaseTable.csv, DbaseTable.text);

    // Every writer starts from nothing: a workbook or database left from an earlier run
    // would otherwise keep its old tables.
    for (const char* name : {"overview.xls", "trade.mdb", "notes.dbf", "notes.dbt", "notes.cpg"})
      fs::remove(outdir / name);
    fs::copy_file(blank, outdir / "trade.mdb");

    tabulor::Database db;
    db.Open(sources.string(), false, true, "Text;");
    copyTables(db, WorkbookSheets, tabulor::FormatXls, outdir.string(), "overview.xls");
    copyTables(db, DatabaseTables, tabulor::FormatMdb, outdir.string(), "trade.mdb");
    copyTables(db, {DbaseTable}, tabulor::FormatDbase5, outdir.string(), DbaseTable.table);
    db.Close();
  } catch (const std::exception& e) {
    std::fprintf(stderr, "make_samples: %s\n", e.what());
    return 1;
  }
  return 0;
}
