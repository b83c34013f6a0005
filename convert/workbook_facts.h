// What the spreadsheet path learns about a workbook from the engine's own reading of the
// file, before and besides the office: its sheet names (so that every output is named and
// claimed before the office is asked, and so that a workbook the office reads into other
// sheets is noticed) and the results the file stores for its formulas and its error and
// boolean cells (the office computes formulas again and gets some of them wrong).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tabulor {

// One cell whose value the office cannot be trusted with: a formula with the result the
// file stores for it, or an error or boolean constant. `value` is in the automation
// protocol's form: "n" and a number, "s" and a text, "b0"/"b1", "e" and an error code.
struct StoredCell {
  uint32_t row = 0;
  uint16_t col = 0;
  std::string value;
};

struct WorkbookFacts {
  // The sheets the office lists, in the file's order: worksheets, macro sheets and chart
  // sheets (not the modules of Visual Basic code).
  std::vector<std::string> sheetNames;
  std::vector<std::vector<StoredCell>> storedCells;  // per sheet of sheetNames
};

// Reads the workbook at `path`. Throws EngineError naming the file when it cannot be read
// (missing, encrypted, damaged): the workbook is then left to the engine.
WorkbookFacts readWorkbookFacts(const std::string& path);

}  // namespace tabulor
