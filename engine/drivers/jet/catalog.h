// The system catalogue (MSysObjects, its TDEF always on page 2) and the other Jet system
// tables of a new database: their columns, the catalogue rows, reading the names already
// in a database, and adding the row of a new table.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "engine/drivers/jet/jet_file.h"
#include "engine/drivers/jet/table_definition.h"

namespace tabulor::jet {

inline constexpr uint32_t CatalogTdefPage = 2;
inline constexpr int32_t TablesContainerId = 0x0F000001;
inline constexpr uint32_t SystemObjectFlags = 0x80000000;

std::vector<ColumnDef> msysObjectsColumns();
std::vector<ColumnDef> msysAcesColumns();
std::vector<ColumnDef> msysQueriesColumns();
std::vector<ColumnDef> msysRelationshipsColumns();

struct CatalogEntry {
  int32_t id = 0;
  int32_t parentId = 0;
  std::string name;
  int16_t type = 0;
  uint32_t flags = 0;
  double created = 0;
};
// An encoded MSysObjects row.
std::string catalogRow(const CatalogEntry& e);

struct Catalog {
  StoredTable table;                  // MSysObjects as stored
  std::vector<uint32_t> pages;        // its data pages
  std::vector<CatalogEntry> entries;  // every row (name, type, flags, id)
};
// Reads MSysObjects of `file`. Throws EngineError(BadInput) when it cannot be read.
Catalog readCatalog(const JetFile& file);

}  // namespace tabulor::jet
