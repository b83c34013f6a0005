// Helpers of the xlsx and ods drivers' tests: the drivers from the registry, zip packages
// made from parts in memory, tables written and read through a driver, and the programs
// that read and write these files independently (openpyxl, odfpy, ssconvert, LibreOffice).
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "engine/driver.h"
#include "tests/excel/excel_test_util.h"

namespace tabulor::test {

const Driver& xlsx();
const Driver& ods();

// Writes a zip at `path` holding the parts in order (name, content), deflated except where
// the name is "mimetype".
void writeZip(const std::string& path,
              const std::vector<std::pair<std::string, std::string>>& parts);

// A minimal .xlsx package around the given worksheet XML bodies (the content of
// <sheetData>), named by sheet; optional shared strings (<si> items), styles (<cellXfs>
// body and <numFmts> body) and workbook extras (inside <workbook>, e.g. <definedNames>).
struct XlsxParts {
  std::vector<std::pair<std::string, std::string>> sheets;  // name, sheetData body
  std::string sharedStrings, numFmts, cellXfs, workbookExtra;
  bool date1904 = false;
};
std::vector<std::pair<std::string, std::string>> xlsxPackage(const XlsxParts& parts);

// A minimal .ods package around the given <table:table> elements.
std::vector<std::pair<std::string, std::string>> odsPackage(const std::string& tables);

TableSchema schemaOf(std::vector<std::pair<std::string, uint16_t>> fields);

// Writes one table through a driver's writer.
void writeTable(const Driver& driver, const std::string& path, const std::string& table,
                const TableSchema& schema, const std::vector<std::vector<Variant>>& rows);

// Every record of a table as Variants (the first entry of each row is a record, no header).
std::vector<std::vector<Variant>> readRows(SourceDatabase& db, const std::string& table,
                                           std::vector<FieldInfo>* fields = nullptr);

// Runs python3 with `script` (arguments after it); returns its standard output, or fails
// the test when it exits with an error.
std::string runPython(const std::string& script, const std::vector<std::string>& args);

}  // namespace tabulor::test
