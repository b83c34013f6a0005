// Writing side of the text driver: one delimited UTF-8 file per table, header line first,
// RFC 4180 quoting, CR LF record ends, staged through OutputFile.
#pragma once

#include <memory>
#include <string>

#include "engine/driver.h"

namespace tabulor {

// Creates table `table` as the file safeFileName(table) in `folder`, comma-delimited, or
// TAB-delimited where the folder's schema.ini section of that file says
// Format=TabDelimited (any Delimited(x) is honoured too). An existing file of that name is
// replaced when the writer finishes. Throws EngineError(Io) when the folder does not exist
// or cannot be written.
std::unique_ptr<TableWriter> createTextTable(const std::string& folder, const std::string& table,
                                             const TableSchema& schema);

// True when a field must be quoted in a file delimited by `delimiter`: it holds the
// delimiter, a quote, CR or LF, any of the delimiters a reader might detect (",", TAB,
// ";"), starts or ends with a blank, or starts with a byte-order mark.
bool needsQuotes(std::string_view field, char delimiter);

}  // namespace tabulor
