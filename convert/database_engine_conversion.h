// Conversion of one source file through the database engine: prepare the output folder,
// open the source, choose its tables, run one SELECT * INTO per table, clean up.
#pragma once

#include <optional>
#include <string>

#include "convert/catalogue.h"
#include "convert/conversion_context.h"

namespace tabulor {

// Converts `sourcePath` into `outputFolder` (no trailing "/") in `format`. Returns 1 when
// every kept table was converted, 0 when the source cannot be opened (nothing is shown).
// A statement the engine rejects leaves as EngineError, after "schema.ini" in the output
// folder has been removed and the connection closed.
int ConvertWithDatabaseEngine(ConversionContext& ctx, const std::string& sourcePath,
                              const std::string& outputFolder, TargetFormat format);

// The cleaned name of a listed table when the conversion keeps it: workbook names lose
// leading apostrophes, every name loses trailing ones; tables with attribute bits set or
// an empty name are skipped; for a workbook only names ending in "$" are kept, without it.
std::optional<std::string> keptTableName(const TableDefInfo& table, SourceKind kind);

}  // namespace tabulor
