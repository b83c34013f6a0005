// Helpers of the Excel driver's tests: reading a table through the driver into a grid of
// texts written the way gnumeric's CSV export writes them, and comparing such grids.
#pragma once

#include <string>
#include <vector>

#include "engine/driver.h"

namespace tabulor::test {

using Grid = std::vector<std::vector<std::string>>;

// The Excel driver of the registry.
const Driver& excel();

// A value as gnumeric writes it into CSV: dates "YYYY/MM/DD", date-times
// "YYYY/MM/DD HH:MM:SS", times "HH:MM:SS", booleans TRUE/FALSE, NULL as "".
std::string gnumericText(const Variant& v);

// Field names as the first row, then every record.
Grid readTable(SourceDatabase& db, const std::string& table,
               std::vector<FieldInfo>* fields = nullptr);

// Compares a table read by the driver with a grid written by another reader. Cells match
// when their texts are equal, when both are numbers with equal double values, or when one
// is a date written as ISO text and the other the same date in gnumeric's form. Returns ""
// or a description of the first differences.
std::string compareGrids(const Grid& ours, const Grid& theirs, bool headerNamesMayBeGenerated);

// Converts `xls` to CSV files with ssconvert (one per sheet, "-S"); returns the grids by
// sheet index, or an empty vector when ssconvert failed.
std::vector<Grid> ssconvertSheets(const std::string& xls, const std::string& workFolder);

// The start of a LibreOffice command line with a profile folder of the build kept for these
// tests (made once, then reused: a fresh profile costs many seconds on every start).
std::string sofficeCommand();

}  // namespace tabulor::test
