// A quick first pass over a worksheet part that finds the bounding box of its value cells
// from the tags alone: the positions of <row> and <c> elements and whether a cell has a
// <v> or <is> child. It reads no values and builds no nodes, so it costs little more than
// inflating the part; the streaming XML reader then reads the cells once. The box it finds
// holds every cell the reader takes for a value (a cell with an empty <v> may widen it).
#pragma once

#include <gsf/gsf.h>

#include "engine/drivers/workbook/cell_table.h"

namespace tabulor::xlsx {

// Reads the part to its end. Throws EngineError(BadInput) naming `where` when the part
// cannot be inflated. Malformed XML is left to the reader, which refuses it.
workbook::UsedRange scanCellRange(GsfInput* part, const std::string& where);

}  // namespace tabulor::xlsx
