// MSysObjects and the Jet system tables: column lists as Access lays them out, catalogue
// rows, and reading the catalogue of an existing database.
#include "engine/drivers/jet/catalog.h"

#include <cstring>

#include "engine/drivers/jet/jet_format.h"
#include "engine/drivers/jet/jet_text.h"
#include "engine/drivers/jet/row_codec.h"
#include "engine/drivers/jet/usage_map.h"
#include "engine/engine_error.h"
#include "engine/file_names.h"
#include "engine/text_codec.h"

namespace tabulor::jet {

namespace {

std::vector<ColumnDef> columns(std::initializer_list<std::pair<const char*, uint8_t>> list) {
  std::vector<ColumnDef> out;
  for (const auto& [name, type] : list) {
    ColumnDef c;
    c.name = name;
    c.type = type;
    c.length = type == TypeText || type == TypeBinary ? 510
               : type == TypeBool                     ? 1
                                                      : fixedSize(type);
    if (type == TypeBinary) c.length = 255;
    out.push_back(c);
  }
  layoutColumns(out);
  return out;
}

}  // namespace

std::vector<ColumnDef> msysObjectsColumns() {
  return columns({{"Id", TypeLong},
                  {"ParentId", TypeLong},
                  {"Name", TypeText},
                  {"Type", TypeInt},
                  {"DateCreate", TypeDateTime},
                  {"DateUpdate", TypeDateTime},
                  {"Owner", TypeBinary},
                  {"Flags", TypeLong},
                  {"Database", TypeMemo},
                  {"Connect", TypeMemo},
                  {"ForeignName", TypeText},
                  {"RmtInfoShort", TypeBinary},
                  {"RmtInfoLong", TypeOle},
                  {"Lv", TypeOle},
                  {"LvProp", TypeOle},
                  {"LvModule", TypeOle},
                  {"LvExtra", TypeOle}});
}

std::vector<ColumnDef> msysAcesColumns() {
  return columns(
      {{"ObjectId", TypeLong}, {"SID", TypeBinary}, {"ACM", TypeLong}, {"FInheritable", TypeBool}});
}

std::vector<ColumnDef> msysQueriesColumns() {
  return columns({{"ObjectId", TypeLong},
                  {"Attribute", TypeByte},
                  {"Order", TypeBinary},
                  {"Name1", TypeText},
                  {"Name2", TypeText},
                  {"Expression", TypeMemo},
                  {"Flag", TypeInt},
                  {"LvExtra", TypeOle}});
}

std::vector<ColumnDef> msysRelationshipsColumns() {
  return columns({{"ccolumn", TypeLong},
                  {"grbit", TypeLong},
                  {"icolumn", TypeLong},
                  {"szColumn", TypeText},
                  {"szObject", TypeText},
                  {"szReferencedColumn", TypeText},
                  {"szReferencedObject", TypeText},
                  {"szRelationship", TypeText}});
}

std::string catalogRow(const CatalogEntry& e) {
  static const std::vector<ColumnDef> cols = msysObjectsColumns();
  static const uint16_t fixedArea = [] {
    std::vector<ColumnDef> c = msysObjectsColumns();
    return layoutColumns(c);
  }();
  std::vector<Cell> cells(cols.size());
  auto i32 = [](uint32_t v) {
    std::string b(4, '\0');
    put32(b, 0, v);
    return b;
  };
  auto dbl = [](double d) {
    std::string b(8, '\0');
    std::memcpy(b.data(), &d, 8);
    return b;
  };
  cells[0] = {false, false, i32(static_cast<uint32_t>(e.id))};
  cells[1] = {false, false, i32(static_cast<uint32_t>(e.parentId))};
  cells[2] = {false, false, utf8ToUtf16le(e.name)};
  std::string type(2, '\0');
  put16(type, 0, static_cast<uint16_t>(e.type));
  cells[3] = {false, false, type};
  cells[4] = {false, false, dbl(e.created)};
  cells[5] = {false, false, dbl(e.created)};
  cells[6] = {false, false, std::string("\xA6\x33", 2)};  // owner: the default "Admin" SID
  cells[7] = {false, false, i32(e.flags)};
  std::string row;
  encodeRow(cols, fixedArea, cells, row);
  return row;
}

Catalog readCatalog(const JetFile& file) {
  const std::string name(fileNameOf(file.path()));
  auto readPage = [&](uint32_t p) { return file.readPage(p); };
  Catalog cat;
  cat.table = parseTdef(CatalogTdefPage, name, readPage);
  const ColumnDef *id = nullptr, *parent = nullptr, *nameCol = nullptr, *type = nullptr,
                  *flags = nullptr;
  for (const auto& c : cat.table.columns) {
    if (c.name == "Id") id = &c;
    if (c.name == "ParentId") parent = &c;
    if (c.name == "Name") nameCol = &c;
    if (c.name == "Type") type = &c;
    if (c.name == "Flags") flags = &c;
  }
  if (!id || !nameCol || !type || !flags)
    throw EngineError(ErrorKind::BadInput, name + " is damaged: its catalogue lacks columns");
  // The owned-pages map row.
  auto rowAt = [&](uint32_t pr) {
    std::string page = file.readPage(pr >> 8);
    auto rows = get16(page, 12);
    uint32_t r = pr & 0xFF;
    if (r >= rows)
      throw EngineError(ErrorKind::BadInput, name + " is damaged: a usage map is missing");
    size_t start = get16(page, DataPageHeader + 2 * r) & 0x1FFF;
    size_t end = r == 0 ? PageSize : get16(page, DataPageHeader + 2 * (r - 1)) & 0x1FFF;
    if (start >= end || end > PageSize)
      throw EngineError(ErrorKind::BadInput, name + " is damaged: a usage map is damaged");
    return page.substr(start, end - start);
  };
  cat.pages = mapPages(rowAt(cat.table.ownedMap), readPage);
  for (uint32_t p : cat.pages) {
    std::string page = file.readPage(p);
    if (uint8_t(page[0]) != PageData || get32(page, 4) != CatalogTdefPage) continue;
    for (std::string_view row : pageRows(page)) {
      CatalogEntry e;
      auto getLong = [&](const ColumnDef* c) -> uint32_t {
        if (!c) return 0;
        auto v = rowValue(row, *c);
        return v && v->size() >= 4 ? get32(std::string(*v), 0) : 0;
      };
      e.id = static_cast<int32_t>(getLong(id));
      e.parentId = static_cast<int32_t>(getLong(parent));
      e.flags = getLong(flags);
      if (auto v = rowValue(row, *type); v && v->size() >= 2)
        e.type = static_cast<int16_t>(get16(std::string(*v), 0));
      if (auto v = rowValue(row, *nameCol))
        e.name = jet4TextToUtf8(reinterpret_cast<const uint8_t*>(v->data()), v->size());
      cat.entries.push_back(std::move(e));
    }
  }
  return cat;
}

}  // namespace tabulor::jet
