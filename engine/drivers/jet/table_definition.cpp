// Building and parsing Jet 4 TDEF pages.
#include "engine/drivers/jet/table_definition.h"

#include <algorithm>

#include "engine/drivers/jet/jet_format.h"
#include "engine/engine_error.h"
#include "engine/text_codec.h"

namespace tabulor::jet {

bool isFixedType(uint8_t type) {
  switch (type) {
    case TypeBool:
    case TypeByte:
    case TypeInt:
    case TypeLong:
    case TypeMoney:
    case TypeFloat:
    case TypeDouble:
    case TypeDateTime:
    case 0x0F:
    case 0x10:
    case 0x11:
      return true;
    default:
      return false;
  }
}

uint16_t fixedSize(uint8_t type) {
  switch (type) {
    case TypeByte:
      return 1;
    case TypeInt:
      return 2;
    case TypeLong:
    case TypeFloat:
      return 4;
    case TypeMoney:
    case TypeDouble:
    case TypeDateTime:
      return 8;
    case 0x0F:
      return 16;
    case 0x10:
      return 17;
    default:
      return 0;
  }
}

bool isLongValueType(uint8_t type) {
  return type == TypeMemo || type == TypeOle;
}

uint16_t layoutColumns(std::vector<ColumnDef>& columns) {
  uint16_t offset = 0, var = 0;
  for (size_t i = 0; i < columns.size(); ++i) {
    ColumnDef& c = columns[i];
    c.colNum = static_cast<uint16_t>(i);
    c.fixed = isFixedType(c.type);
    if (c.fixed) {
      c.fixedOffset = c.type == TypeBool ? 0 : offset;
      offset = static_cast<uint16_t>(offset + fixedSize(c.type));
    }
  }
  for (int pass = 0; pass < 2; ++pass)
    for (ColumnDef& c : columns)
      if (!c.fixed && isLongValueType(c.type) == (pass == 1)) c.varIndex = var++;
  return offset;
}

std::string tdefBytes(const std::vector<ColumnDef>& columns, const TableDefInfoBytes& info) {
  std::string b(63, '\0');
  b[0] = static_cast<char>(PageTdef);
  b[1] = 1;
  put32(b, 12, TdefMagic);
  put32(b, 16, info.rowCount);
  b[24] = 1;
  b[40] = static_cast<char>(info.tableType);
  uint16_t varCount = 0;
  for (const auto& c : columns)
    if (!c.fixed) ++varCount;
  put16(b, 41, static_cast<uint32_t>(columns.size()));
  put16(b, 43, varCount);
  put16(b, 45, static_cast<uint32_t>(columns.size()));
  put32(b, 47, 0);  // logical indexes
  put32(b, 51, 0);  // real indexes
  put32(b, 55, info.ownedMap);
  put32(b, 59, info.freeMap);
  // Column entries as Access writes them: the sort order in every non-numeric column, the
  // next variable index in fixed columns, and (in system tables) flag 0x10 on every column.
  const uint8_t systemFlag = info.tableType == 0x53 ? 0x10 : 0x00;
  uint16_t varsBefore = 0;
  for (const auto& c : columns) {
    std::string d(25, '\0');
    d[0] = static_cast<char>(c.type);
    put32(d, 1, TdefMagic);
    put16(d, 5, c.colNum);
    put16(d, 7, c.fixed ? varsBefore : c.varIndex);
    if (!c.fixed) ++varsBefore;
    put16(d, 9, c.colNum);
    if (c.type != 0x10) put32(d, 11, 0x0409);  // General sort order
    d[15] = static_cast<char>((c.fixed ? (ColFlagFixed | ColFlagUpdatable) : ColFlagUpdatable) |
                              systemFlag);
    d[16] = static_cast<char>(c.extFlags);
    put16(d, 21, c.fixedOffset);
    put16(d, 23, c.length);
    b += d;
  }
  for (const auto& c : columns) {
    std::string name = utf8ToUtf16le(c.name);
    append16(b, static_cast<uint32_t>(name.size()));
    b += name;
  }
  for (const auto& m : info.longValueMaps) {
    append16(b, m.colNum);
    append32(b, m.ownedMap);
    append32(b, m.freeMap);
  }
  append16(b, 0xFFFF);
  put32(b, 8, static_cast<uint32_t>(b.size()));
  return b;
}

size_t tdefPageCount(size_t length) {
  if (length <= PageSize) return 1;
  // The first page holds PageSize bytes of the definition (its own header included);
  // each continuation page holds PageSize - 8.
  return 1 + (length - PageSize + (PageSize - 8) - 1) / (PageSize - 8);
}

std::vector<std::string> tdefPages(const std::string& def, const std::vector<uint32_t>& pages) {
  std::vector<std::string> out;
  size_t pos = 0;
  for (size_t i = 0; i < pages.size(); ++i) {
    std::string page(PageSize, '\0');
    size_t room = i == 0 ? PageSize : PageSize - 8;
    size_t take = std::min(room, def.size() - pos);
    if (i == 0) {
      page.replace(0, take, def, 0, take);
    } else {
      page[0] = static_cast<char>(PageTdef);
      page[1] = 1;
      page.replace(8, take, def, pos, take);
    }
    pos += take;
    put32(page, 4, i + 1 < pages.size() ? pages[i + 1] : 0);
    long free = static_cast<long>(PageSize) - static_cast<long>(def.size()) - 8;
    put16(page, 2, pages.size() == 1 && free > 0 ? static_cast<uint32_t>(free) : 0);
    out.push_back(std::move(page));
  }
  return out;
}

StoredTable parseTdef(uint32_t firstPage, const std::string& fileName,
                      const std::function<std::string(uint32_t)>& readPage) {
  auto bad = [&](const std::string& what) -> EngineError {
    return EngineError(ErrorKind::BadInput, fileName + " is damaged: table definition on page " +
                                                std::to_string(firstPage) + " " + what);
  };
  std::string def;
  uint32_t page = firstPage;
  for (int n = 0; page != 0; ++n) {
    if (n > 64) throw bad("is too long");
    std::string p = readPage(page);
    if (p.size() != PageSize || uint8_t(p[0]) != PageTdef) throw bad("is not a table definition");
    def += n == 0 ? p : p.substr(8);
    page = get32(p, 4);
  }
  if (def.size() < 63) throw bad("is too short");
  StoredTable t;
  t.rowCount = get32(def, 16);
  uint32_t numCols = get16(def, 45);
  uint32_t realIdx = get32(def, 51);
  t.ownedMap = get32(def, 55);
  t.freeMap = get32(def, 59);
  if (realIdx > 64 || numCols > 256) throw bad("has impossible counts");
  t.realIndexes = realIdx;
  size_t pos = 63 + 12 * size_t(realIdx);
  if (pos + 25 * size_t(numCols) > def.size()) throw bad("is cut short");
  for (uint32_t i = 0; i < numCols; ++i, pos += 25) {
    ColumnDef c;
    c.type = uint8_t(def[pos]);
    c.colNum = static_cast<uint16_t>(get16(def, pos + 5));
    c.varIndex = static_cast<uint16_t>(get16(def, pos + 7));
    c.fixed = (uint8_t(def[pos + 15]) & ColFlagFixed) != 0;
    c.fixedOffset = static_cast<uint16_t>(get16(def, pos + 21));
    c.length = static_cast<uint16_t>(get16(def, pos + 23));
    t.columns.push_back(c);
  }
  for (auto& c : t.columns) {
    if (pos + 2 > def.size()) throw bad("is cut short");
    uint32_t len = get16(def, pos);
    if (pos + 2 + len > def.size()) throw bad("is cut short");
    c.name = utf16ToUtf8(std::string_view(def).substr(pos + 2, len));
    pos += 2 + len;
  }
  std::sort(t.columns.begin(), t.columns.end(),
            [](const ColumnDef& a, const ColumnDef& b) { return a.colNum < b.colNum; });
  return t;
}

}  // namespace tabulor::jet
