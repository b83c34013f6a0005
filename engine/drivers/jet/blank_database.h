// The empty Jet 4 database (Blank.mdb) that conversions to the engine's own format start
// from: header page, free-page map, the catalogue MSysObjects and the Jet system tables
// MSysACEs, MSysQueries and MSysRelationships (empty), with the catalogue rows of the
// containers, the database object and the system tables.
#pragma once

#include <string>

namespace tabulor::jet {

// The bytes of an empty database created at OLE date `creationDate`.
std::string blankDatabase(double creationDate);

// Writes an empty database to `path` (through a temporary file). Throws EngineError(Io).
void writeBlankDatabase(const std::string& path, double creationDate);

}  // namespace tabulor::jet
