// Building Blank.mdb page by page. Layout: 0 header, 1 free-page map, 2 MSysObjects TDEF,
// 3 MSysACEs, 4 MSysQueries, 5 MSysRelationships, 6 the usage-map rows of the four
// tables, 7 the catalogue rows, 8 the bitmap page of the catalogue's owned-pages map.
#include "engine/drivers/jet/blank_database.h"

#include "engine/drivers/jet/catalog.h"
#include "engine/drivers/jet/jet_format.h"
#include "engine/drivers/jet/row_codec.h"
#include "engine/drivers/jet/usage_map.h"
#include "engine/output_file.h"

namespace tabulor::jet {

std::string blankDatabase(double created) {
  constexpr uint32_t MapPage = 6, CatalogDataPage = 7, CatalogBitmapPage = 8, PageTotal = 9;
  std::vector<std::string> pages(PageTotal);
  pages[0] = makeJet4HeaderPage(created);

  struct SystemTable {
    const char* name;
    uint32_t tdef;
    std::vector<ColumnDef> columns;
  };
  std::vector<SystemTable> tables = {{"MSysObjects", CatalogTdefPage, msysObjectsColumns()},
                                     {"MSysACEs", 3, msysAcesColumns()},
                                     {"MSysQueries", 4, msysQueriesColumns()},
                                     {"MSysRelationships", 5, msysRelationshipsColumns()}};

  // Usage maps: the catalogue owns page 7 through a reference map (so it can grow anywhere
  // in the file); the other tables own nothing yet. Every free-space map starts empty.
  DataPage maps(0);
  std::vector<CatalogEntry> entries;
  auto container = [&](int32_t id, const char* name) {
    entries.push_back({id, 0x0F000000, name, 3, SystemObjectFlags, created});
  };
  container(TablesContainerId, "Tables");
  container(0x0F000002, "Databases");
  container(0x0F000003, "Relationships");
  entries.push_back({0x10000000, 0x0F000002, "MSysDb", 2, SystemObjectFlags, created});
  for (const SystemTable& t : tables) {
    int owned;
    if (t.tdef == CatalogTdefPage) {
      std::vector<uint32_t> slots(ReferenceSlots, 0);
      slots[0] = CatalogBitmapPage;
      owned = maps.add(referenceMapRow(slots));
    } else {
      owned = maps.add(inlineMapRow(0, 64, {}));
    }
    int free = maps.add(inlineMapRow(0, 64, {}));
    entries.push_back(
        {static_cast<int32_t>(t.tdef), TablesContainerId, t.name, 1, SystemObjectFlags, created});
    TableDefInfoBytes info;
    info.tableType = 0x53;
    info.rowCount = 0;
    info.ownedMap = pageRow(MapPage, static_cast<uint32_t>(owned));
    info.freeMap = pageRow(MapPage, static_cast<uint32_t>(free));
    for (const ColumnDef& c : t.columns)
      if (isLongValueType(c.type)) {
        int lvOwned = maps.add(inlineMapRow(0, 64, {}));
        int lvFree = maps.add(inlineMapRow(0, 64, {}));
        info.longValueMaps.push_back({c.colNum, pageRow(MapPage, static_cast<uint32_t>(lvOwned)),
                                      pageRow(MapPage, static_cast<uint32_t>(lvFree))});
      }
    pages[t.tdef] = tdefPages(tdefBytes(t.columns, info), {t.tdef})[0];
  }
  pages[MapPage] = maps.bytes();

  DataPage catalog(CatalogTdefPage);
  for (const CatalogEntry& e : entries) catalog.add(catalogRow(e));
  pages[CatalogDataPage] = catalog.bytes();
  // The catalogue's row count lives in its TDEF.
  put32(pages[CatalogTdefPage], 16, static_cast<uint32_t>(entries.size()));
  pages[CatalogBitmapPage] = bitmapPage(0, {CatalogDataPage});

  // Page 1: every page of the file is in use; the rest of the bitmap is free.
  std::vector<uint32_t> freePages;
  for (uint32_t p = PageTotal; p < 64 * 8; ++p) freePages.push_back(p);
  DataPage global(1);
  global.add(inlineMapRow(0, 64, freePages));
  global.add(inlineMapRow(0, 64, {}));
  pages[1] = global.bytes();

  std::string out;
  for (const auto& p : pages) out += p;
  return out;
}

void writeBlankDatabase(const std::string& path, double creationDate) {
  OutputFile file(path);
  file.write(blankDatabase(creationDate));
  file.commit();
}

}  // namespace tabulor::jet
