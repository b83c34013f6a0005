// The first pass of the xlsx reader: the bounding box of a worksheet's value cells from the
// tags alone (the positions of <row> and <c> elements, and whether a cell has a <v> or <is>
// child). The box holds every cell the reader takes for a value (a cell with an empty <v>
// may widen it).
#pragma once

#include <string>

#include "engine/drivers/workbook/cell_table.h"
#include "engine/drivers/workbook/zip_package.h"

namespace tabulor::xlsx {

// Reads the part to its end. Throws EngineError(BadInput) naming `where` when the part
// cannot be inflated.
workbook::UsedRange scanCellRange(workbook::GPtr<GsfInput> part, const std::string& where);

}  // namespace tabulor::xlsx
