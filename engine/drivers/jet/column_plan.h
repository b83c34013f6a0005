// Choosing the Jet column of every source field: its name made valid for Jet (and unique),
// its type from the field's Variant type and the statistics of its values, so that no value
// is lost: a field whose values do not all fit its type becomes text, text longer than 255
// characters becomes Memo, and Text columns move to Memo while a row could exceed the
// 4,060-byte row limit.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "engine/drivers/jet/table_definition.h"
#include "engine/schema.h"

namespace tabulor::jet {

// How a value is stored in its column.
enum class Store { Bool, Byte, Int, Long, Money, Float, Double, Date, Text, Memo, Ole };

struct TablePlan {
  std::string name;
  std::vector<ColumnDef> columns;  // laid out
  std::vector<Store> stores;       // one per column
  uint16_t fixedArea = 0;
};

// A name valid for Jet: no . ! ` [ ] or control characters (each becomes _), no leading
// blanks, at most 64 characters. Empty stays empty.
std::string cleanJetName(std::string_view name);

// Plans table `table` for `schema` (whose statistics are used when schema.rowCount >= 0).
// Throws EngineError(Limit) past 255 columns, EngineError(Unsupported) for none,
// EngineError(Syntax) for an empty table name.
TablePlan planTable(const std::string& table, const TableSchema& schema,
                    const std::string& database);

}  // namespace tabulor::jet
