// The shape of a table as drivers report it: field names and Variant types, plus the
// statistics a writer may ask the engine to gather before it creates its table (widths,
// digits, row count), so that fixed-width formats can size their columns from the data.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/variant.h"

namespace tabulor {

struct ColumnStats {
  int64_t nonNull = 0;
  // Count of values per kind; a column whose values are not all of its declared type
  // (a text reader's guess that a later row broke) is written as text by fixed-type targets.
  int64_t textValues = 0, integerValues = 0, realValues = 0, dateValues = 0, boolValues = 0,
          binaryValues = 0;
  int64_t maxTextChars = 0;  // longest value as text, in code points
  int64_t maxTextBytes = 0;  // longest value as text, in UTF-8 bytes
  int maxIntDigits = 0;      // digits before the point of the largest numeric value
  int maxDecimals = 0;       // decimals needed by the most precise numeric value (at most 15
                             // for a double; a decimal's own digits count in full)
  bool hasNegative = false;
  bool allWholeNumbers = true;  // every numeric value is an integer
  double minValue = 0, maxValue = 0;
  bool anyTimeOfDay = false;  // some date value has a time part
  // Every text value can be written in Windows-1252 (writers of 8-bit formats choose between
  // that code page and a Unicode fallback from it).
  bool fitsWindows1252 = true;
};

struct FieldInfo {
  std::string name;
  uint16_t type = VT_BSTR;  // Variant code; VT_BINARY for bytes
  int32_t size = 0;         // declared size where the source has one (text width), else 0
  ColumnStats stats;        // filled only when the writer asked for statistics
};

struct TableSchema {
  std::vector<FieldInfo> fields;
  int64_t rowCount = -1;  // known after a statistics pass, -1 otherwise
};

// Gathers statistics over one value of a column.
void accumulateStats(ColumnStats& stats, const Variant& value);

}  // namespace tabulor
