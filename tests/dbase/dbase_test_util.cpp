// Helpers of the dBase tests.
#include "tests/dbase/dbase_test_util.h"

#include <cstdlib>

#include "engine/registry.h"
#include "tests/support/test_support.h"

namespace tabulor::test {

Table readDbf(const std::string& folder, const std::string& table) {
  auto db = findDriver("dBASE III")->openDatabase(folder);
  auto cursor = db->openTable(table);
  Table t;
  t.fields = cursor->fields();
  std::vector<Variant> row;
  while (cursor->next(row)) t.rows.push_back(row);
  return t;
}

void writeTable(const Driver& driver, const std::string& folder, const std::string& file,
                std::vector<FieldInfo> fields, const std::vector<std::vector<Variant>>& rows) {
  TableSchema schema;
  schema.fields = std::move(fields);
  for (const auto& row : rows)
    for (size_t i = 0; i < row.size() && i < schema.fields.size(); ++i)
      accumulateStats(schema.fields[i].stats, row[i]);
  schema.rowCount = static_cast<int64_t>(rows.size());
  auto writer = driver.createTable(folder, file, schema);
  for (const auto& row : rows) writer->appendRow(row);
  writer->finish();
}

std::string dbfBytes(uint8_t ldid, const std::vector<dbase::DbfField>& fields,
                     const std::vector<std::string>& records) {
  std::string out =
      dbase::buildDbfHeader(0x03, ldid, static_cast<uint32_t>(records.size()), fields, 2024, 1, 1);
  size_t length = 0;
  for (const auto& f : fields) length += f.length;
  for (const auto& record : records) out += " " + record + std::string(length - record.size(), ' ');
  return out + "\x1A";
}

std::vector<std::vector<std::string>> csvFromCommand(const std::string& command) {
  std::string out;
  int status = runCommand(command, &out);
  EXPECT_EQ(status, 0) << command;
  return parseCsv(out);
}

bool sameNumber(const std::string& a, const std::string& b) {
  char* endA = nullptr;
  char* endB = nullptr;
  double x = std::strtod(a.c_str(), &endA), y = std::strtod(b.c_str(), &endB);
  return !a.empty() && !b.empty() && *endA == '\0' && *endB == '\0' && x == y;
}

}  // namespace tabulor::test
