// Helpers of the Jet driver tests.
#include "tests/jet/jet_test_util.h"

#include <gtest/gtest.h>

#include <cinttypes>
#include <cstdio>

#include "engine/ole_date.h"
#include "engine/registry.h"
#include "tests/support/test_support.h"

namespace tabulor::test {

TableData readJetTable(const std::string& path, const std::string& table) {
  Database db;
  db.Open(path, false, true, "");
  auto cursor = db.source().openTable(table);
  TableData out;
  out.fields = cursor->fields();
  std::vector<Variant> row;
  while (cursor->next(row)) out.rows.push_back(row);
  return out;
}

std::vector<TableDefInfo> listJetTables(const std::string& path) {
  Database db;
  db.Open(path, false, true, "");
  std::vector<TableDefInfo> out;
  for (int i = 0; i < db.GetTableDefCount(); ++i) out.push_back(db.GetTableDefInfo(i));
  return out;
}

std::string blankMdbPath() {
  return binaryDir() + "/bin/Blank.mdb";
}

void copyBlank(const std::string& path) {
  writeFile(path, readFile(blankMdbPath()));
}

void writeJetTable(const std::string& database, const std::string& table,
                   const std::vector<FieldInfo>& fields,
                   const std::vector<std::vector<Variant>>& rows) {
  const Driver* jet = findDriver("");
  ASSERT_NE(jet, nullptr);
  TableSchema schema;
  schema.fields = fields;
  for (const auto& row : rows)
    for (size_t i = 0; i < row.size() && i < schema.fields.size(); ++i)
      accumulateStats(schema.fields[i].stats, row[i]);
  schema.rowCount = static_cast<int64_t>(rows.size());
  auto writer = jet->createTable(database, table, schema);
  for (const auto& row : rows) writer->appendRow(row);
  writer->finish();
}

std::string mdbExportText(const Variant& v) {
  char buf[64];
  switch (v.vt) {
    case VT_NULL:
    case VT_EMPTY:
      return "";
    case VT_BOOL:
      return v.boolVal ? "TRUE" : "FALSE";
    case VT_UI1:
      return std::to_string(v.bVal);
    case VT_I2:
      return std::to_string(v.iVal);
    case VT_I4:
      return std::to_string(v.lVal);
    case VT_CY: {
      int64_t a = v.cyVal < 0 ? -v.cyVal : v.cyVal;
      std::snprintf(buf, sizeof buf, "%s%" PRId64 ".%04" PRId64, v.cyVal < 0 ? "-" : "", a / 10000,
                    a % 10000);
      return buf;
    }
    case VT_DATE: {
      auto p = partsFromOleDate(v.date);
      if (!p) return "?";
      std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", p->year, p->month, p->day,
                    p->hour, p->minute, p->second);
      return buf;
    }
    case VT_BINARY:
      return "";
    default:
      return variantToText(v);
  }
}

std::string shellQuote(const std::string& s) {
  std::string out = "'";
  for (char c : s) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

std::string commandOutput(const std::string& command) {
  std::string out;
  int rc = runCommand(command, &out);
  EXPECT_EQ(rc, 0) << command;
  return out;
}

}  // namespace tabulor::test
