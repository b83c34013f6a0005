// Page 1 of a Jet 4 file: the map of free pages that Access allocates from. Row 0 has a bit
// set for every page that is free; every page of the file is in use, so only the pages past
// its end are marked. Row 1 is a second, empty map as Access-made files have it.
#pragma once

#include "engine/drivers/jet/jet_file.h"

namespace tabulor::jet {

// Rewrites page 1 for the file's current page count. Small files get an inline map; past
// what a row can hold, a reference map whose bitmap pages are appended to the file (and
// reused on the next call).
void writeGlobalMap(JetFile& file);

}  // namespace tabulor::jet
