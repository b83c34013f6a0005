// Reading and writing whole tables through the "Text" driver for the tests.
#include "tests/text/text_test_util.h"

#include "engine/drivers/text/value_text.h"
#include "engine/registry.h"

namespace tabulor::test {

std::vector<std::string> TextTable::names() const {
  std::vector<std::string> out;
  for (const auto& f : fields) out.push_back(f.name);
  return out;
}

std::vector<std::vector<std::string>> TextTable::texts() const {
  std::vector<std::vector<std::string>> out;
  char scratch[64];
  std::string fallback;
  for (const auto& row : rows) {
    out.emplace_back();
    for (const auto& v : row) out.back().emplace_back(valueText(v, scratch, fallback));
  }
  return out;
}

const Driver& textDriverForTests() {
  const Driver* driver = findDriver("text");
  if (!driver) throw std::runtime_error("no Text driver registered");
  return *driver;
}

TextTable readTextTable(const std::string& folder, const std::string& table) {
  auto db = textDriverForTests().openDatabase(folder);
  auto cursor = db->openTable(table);
  TextTable out;
  out.fields = cursor->fields();
  std::vector<Variant> row;
  while (cursor->next(row)) out.rows.push_back(row);
  return out;
}

void writeTextTable(const std::string& folder, const std::string& table,
                    const std::vector<FieldInfo>& fields,
                    const std::vector<std::vector<Variant>>& rows) {
  TableSchema schema;
  schema.fields = fields;
  auto writer = textDriverForTests().createTable(folder, table, schema);
  for (const auto& row : rows) writer->appendRow(row);
  writer->finish();
}

}  // namespace tabulor::test
