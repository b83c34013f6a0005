// Helpers of the text driver tests: reading a whole table through the driver as texts and
// types, and writing rows through it.
#pragma once

#include <string>
#include <vector>

#include "engine/driver.h"

namespace tabulor::test {

struct TextTable {
  std::vector<FieldInfo> fields;
  std::vector<std::vector<Variant>> rows;
  std::vector<std::string> names() const;
  // Every value as the driver writes it ("" for NULL).
  std::vector<std::vector<std::string>> texts() const;
};

const Driver& textDriverForTests();
TextTable readTextTable(const std::string& folder, const std::string& table);
void writeTextTable(const std::string& folder, const std::string& table,
                    const std::vector<FieldInfo>& fields,
                    const std::vector<std::vector<Variant>>& rows);

}  // namespace tabulor::test
