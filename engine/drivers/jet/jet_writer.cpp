// The Jet 4 table writer: rows are encoded into data pages appended to the file, long values
// (Memo, OLE) into "LVAL" pages of their column; finish() writes the usage maps and the
// TDEF, then links the table into the catalogue and the free-page map.
#include "engine/drivers/jet/jet_writer.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <ctime>

#include "engine/drivers/jet/catalog.h"
#include "engine/drivers/jet/column_plan.h"
#include "engine/drivers/jet/global_map.h"
#include "engine/drivers/jet/jet_file.h"
#include "engine/drivers/jet/jet_format.h"
#include "engine/drivers/jet/row_codec.h"
#include "engine/drivers/jet/usage_map.h"
#include "engine/engine_error.h"
#include "engine/file_names.h"
#include "engine/message_text.h"
#include "engine/ole_date.h"
#include "engine/text_codec.h"

namespace tabulor::jet {

namespace {

constexpr size_t MapRowSize = 69;  // every map row we write
constexpr size_t MapRowsPerPage = (PageSize - DataPageHeader) / (MapRowSize + 2);
constexpr size_t MaxInlineLongValue = 64;

double nowAsOleDate() {
  std::time_t t = std::time(nullptr);
  std::tm local{};
  localtime_r(&t, &local);
  DateTimeParts p;
  p.year = local.tm_year + 1900;
  p.month = local.tm_mon + 1;
  p.day = local.tm_mday;
  p.hour = local.tm_hour;
  p.minute = local.tm_min;
  p.second = local.tm_sec;
  return oleDateFromParts(p).value_or(0.0);
}

// Where row `row` of a page image lies.
std::pair<size_t, size_t> rowSpan(const std::string& page, uint32_t row) {
  size_t start = get16(page, DataPageHeader + 2 * row) & 0x1FFF;
  size_t end = row == 0 ? PageSize : get16(page, DataPageHeader + 2 * (row - 1)) & 0x1FFF;
  return {start, end};
}

// Text for a Text column: Jet's compressed form (FF FE, then one byte a character) when
// every character is in U+0001..U+00FF, else UTF-16LE.
bool plainAscii(std::string_view s) {
  for (unsigned char c : s)
    if (c == 0 || c >= 0x80) return false;
  return true;
}

void encodeText(std::string_view utf8, std::string& out) {
  if (utf8.size() > 2 && plainAscii(utf8)) {  // the common case, without a UTF-16 detour
    out.assign("\xFF\xFE", 2);
    out.append(utf8);
    return;
  }
  std::string utf16 = utf8ToUtf16le(utf8);
  bool narrow = utf16.size() > 4;
  for (size_t i = 0; narrow && i < utf16.size(); i += 2)
    narrow = utf16[i + 1] == 0 && utf16[i] != 0;
  if (!narrow) {
    out = std::move(utf16);
    return;
  }
  out.assign("\xFF\xFE", 2);
  for (size_t i = 0; i < utf16.size(); i += 2) out += utf16[i];
}

// Memo text: UTF-16LE (long values are not compressed).
void encodeMemoText(std::string_view utf8, std::string& out) {
  if (!plainAscii(utf8)) {
    out = utf8ToUtf16le(utf8);
    return;
  }
  out.assign(utf8.size() * 2, '\0');
  for (size_t i = 0; i < utf8.size(); ++i) out[2 * i] = utf8[i];
}

struct LongValueColumn {
  size_t column = 0;
  DataPage page{LvalOwner};
  uint32_t pageNo = 0;
  bool open = false;
  std::vector<uint32_t> pages;
};

class JetTableWriter : public TableWriter {
 public:
  JetTableWriter(std::unique_ptr<JetFile> file, Catalog catalog, TablePlan plan)
      : file_(std::move(file)),
        cat_(std::move(catalog)),
        plan_(std::move(plan)),
        fileName_(fileNameOf(file_->path())),
        data_(0) {
    originalPages_ = file_->pageCount();
    nextPage_ = originalPages_;
    cells_.resize(plan_.columns.size());
    lvOf_.assign(plan_.columns.size(), -1);
    for (size_t i = 0; i < plan_.columns.size(); ++i)
      if (isLongValueType(plan_.columns[i].type)) {
        lvOf_[i] = static_cast<int>(lv_.size());
        lv_.emplace_back();
        lv_.back().column = i;
      }
    // The TDEF comes first so that the table's id (its TDEF page) is known; then the pages
    // of its usage-map rows.
    size_t tdefCount = tdefPageCount(tdefBytes(plan_.columns, placeholderInfo()).size());
    for (size_t i = 0; i < tdefCount; ++i) tdefPages_.push_back(allocPage());
    size_t mapRows = 2 + 2 * lv_.size();
    for (size_t i = 0; i < (mapRows + MapRowsPerPage - 1) / MapRowsPerPage; ++i)
      mapPages_.push_back(allocPage());
    data_.reset(tdefPages_[0]);
  }

  ~JetTableWriter() override {
    if (!finished_) {
      try {
        file_->truncate(originalPages_);
      } catch (...) {
      }
    }
  }

  void appendRow(const std::vector<Variant>& row) override {
    ++rows_;
    size_t varBytes = 0;
    for (size_t i = 0; i < cells_.size(); ++i) {
      static const Variant nullValue = Variant::null();
      convert(i < row.size() ? row[i] : nullValue, i, cells_[i]);
      if (!plan_.columns[i].fixed && !cells_[i].null)
        varBytes += isLongValueType(plan_.columns[i].type) ? 12 : cells_[i].bytes.size();
    }
    size_t size = rowOverhead(plan_.columns, plan_.fixedArea) + varBytes;
    if (size > MaxRowSize)
      throw EngineError(ErrorKind::Limit, "Record is too large: table " + plan_.name + ", row " +
                                              std::to_string(rows_) + " needs " +
                                              std::to_string(size) + " bytes, a Jet row holds " +
                                              std::to_string(MaxRowSize) + " (" + fileName_ + ")");
    for (size_t i = 0; i < cells_.size(); ++i) {
      if (lvOf_[i] < 0 || cells_[i].null) continue;
      storeLongValue(static_cast<size_t>(lvOf_[i]), cells_[i], size);
    }
    encodeRow(plan_.columns, plan_.fixedArea, cells_, rowBuf_);
    if (data_.add(rowBuf_) < 0) {
      flushData();
      data_.add(rowBuf_);
    }
    if (!dataOpen_) {
      dataPageNo_ = allocPage();
      dataOpen_ = true;
    }
  }

  void finish() override {
    flushData();
    for (auto& lv : lv_) flushLongValues(lv);

    // Usage maps: the table owns its data pages, each long-value column its LVAL pages.
    std::vector<std::string> mapRows;
    mapRows.push_back(referenceMap(dataPages_));
    mapRows.push_back(inlineMapRow(0, 64, {}));
    for (auto& lv : lv_) {
      mapRows.push_back(referenceMap(lv.pages));
      mapRows.push_back(inlineMapRow(0, 64, {}));
    }
    std::vector<uint32_t> mapRefs;
    for (size_t p = 0; p < mapPages_.size(); ++p) {
      DataPage page(0);
      for (size_t r = p * MapRowsPerPage; r < mapRows.size() && r < (p + 1) * MapRowsPerPage; ++r)
        mapRefs.push_back(pageRow(mapPages_[p], static_cast<uint32_t>(page.add(mapRows[r]))));
      file_->writePage(mapPages_[p], page.bytes());
    }
    TableDefInfoBytes info;
    info.rowCount = static_cast<uint32_t>(rows_);
    info.ownedMap = mapRefs[0];
    info.freeMap = mapRefs[1];
    for (size_t k = 0; k < lv_.size(); ++k)
      info.longValueMaps.push_back(
          {plan_.columns[lv_[k].column].colNum, mapRefs[2 + 2 * k], mapRefs[3 + 2 * k]});
    std::vector<std::string> tdef = tdefPages(tdefBytes(plan_.columns, info), tdefPages_);
    for (size_t i = 0; i < tdef.size(); ++i) file_->writePage(tdefPages_[i], tdef[i]);

    // The catalogue row: into the catalogue's last page when it fits, else a new page that
    // its owned-pages map is told about.
    CatalogEntry entry{
        static_cast<int32_t>(tdefPages_[0]), TablesContainerId, plan_.name, 1, 0, nowAsOleDate()};
    std::string row = catalogRow(entry);
    std::vector<std::pair<uint32_t, std::string>> updates;  // existing pages, written last
    bool placed = false;
    if (!cat_.pages.empty()) {
      uint32_t last = *std::max_element(cat_.pages.begin(), cat_.pages.end());
      std::string page = file_->readPage(last);
      if (uint8_t(page[0]) == PageData && get32(page, 4) == CatalogTdefPage &&
          addRowToPage(page, row) >= 0) {
        updates.emplace_back(last, std::move(page));
        placed = true;
      }
    }
    if (!placed) {
      uint32_t pageNo = allocPage();
      DataPage page(CatalogTdefPage);
      page.add(row);
      file_->writePage(pageNo, page.bytes());
      addToCatalogMap(pageNo, updates);
    }
    std::string tdef2 = file_->readPage(CatalogTdefPage);
    put32(tdef2, 16, get32(tdef2, 16) + 1);
    updates.emplace_back(CatalogTdefPage, std::move(tdef2));

    finished_ = true;
    for (const auto& [pageNo, bytes] : updates) file_->writePage(pageNo, bytes);
    writeGlobalMap(*file_);
  }

 private:
  TableDefInfoBytes placeholderInfo() const {
    TableDefInfoBytes info;
    for (const auto& lv : lv_)
      info.longValueMaps.push_back({plan_.columns[lv.column].colNum, 0, 0});
    return info;
  }

  uint32_t allocPage() {
    if (nextPage_ >= MaxPages)
      throw EngineError(ErrorKind::Limit,
                        "The database " + fileName_ +
                            " would grow past 2 GB, the largest Jet database: table " + plan_.name +
                            ", row " + std::to_string(rows_));
    return nextPage_++;
  }

  void flushData() {
    if (!dataOpen_ || data_.empty()) return;
    file_->writePage(dataPageNo_, data_.bytes());
    dataPages_.push_back(dataPageNo_);
    data_.reset(tdefPages_[0]);
    dataOpen_ = false;
  }

  void flushLongValues(LongValueColumn& lv) {
    if (!lv.open || lv.page.empty()) return;
    file_->writePage(lv.pageNo, lv.page.bytes());
    lv.pages.push_back(lv.pageNo);
    lv.page.reset(LvalOwner);
    lv.open = false;
  }

  // Adds an LVAL row to the column's current page (a new one when it is full).
  uint32_t addLongValueRow(LongValueColumn& lv, std::string_view row) {
    if (!lv.open) {
      lv.pageNo = allocPage();
      lv.open = true;
    }
    int r = lv.page.add(row);
    if (r < 0) {
      flushLongValues(lv);
      lv.pageNo = allocPage();
      lv.open = true;
      r = lv.page.add(row);
    }
    return pageRow(lv.pageNo, static_cast<uint32_t>(r));
  }

  // Replaces cell.bytes (the value) with the 12-byte header, keeping short values inline
  // while the row stays within the limit.
  void storeLongValue(size_t k, Cell& cell, size_t& rowSize) {
    std::string value = std::move(cell.bytes);
    const auto length = static_cast<uint32_t>(value.size());
    if (value.size() > 0x3FFFFFFF)
      throw EngineError(ErrorKind::Limit, "A long value of table " + plan_.name + ", row " +
                                              std::to_string(rows_) + " exceeds 1 GB");
    std::string head(12, '\0');
    if (value.size() <= MaxInlineLongValue && rowSize + value.size() <= MaxRowSize) {
      put32(head, 0, length | 0x80000000u);
      rowSize += value.size();
      cell.bytes = head + value;
      return;
    }
    LongValueColumn& lv = lv_[k];
    if (value.size() <= MaxLvalData) {
      put32(head, 0, length | 0x40000000u);
      put32(head, 4, addLongValueRow(lv, value));
    } else {
      // A chain: written from its last piece so that each piece can point to the next.
      size_t pieces = (value.size() + MaxLvalData - 1) / MaxLvalData;
      uint32_t next = 0;
      std::string piece;
      for (size_t i = pieces; i-- > 0;) {
        piece.assign(4, '\0');
        put32(piece, 0, next);
        piece.append(value, i * MaxLvalData, MaxLvalData);
        next = addLongValueRow(lv, piece);
      }
      put32(head, 0, length);
      put32(head, 4, next);
    }
    cell.bytes = std::move(head);
  }

  std::string referenceMap(const std::vector<uint32_t>& pages) {
    std::vector<uint32_t> slots(ReferenceSlots, 0);
    for (uint32_t slot : referenceSlotsFor(pages)) {
      slots[slot] = allocPage();
      file_->writePage(slots[slot], bitmapPage(slot, pages));
    }
    return referenceMapRow(slots);
  }

  void addToCatalogMap(uint32_t pageNo, std::vector<std::pair<uint32_t, std::string>>& updates) {
    uint32_t ref = cat_.table.ownedMap;
    std::string mapPage = file_->readPage(ref >> 8);
    auto [start, end] = rowSpan(mapPage, ref & 0xFF);
    if (start >= end || end > PageSize)
      throw EngineError(ErrorKind::BadInput, fileName_ + " is damaged: the catalogue's usage map");
    const uint32_t slot = static_cast<uint32_t>(pageNo / BitmapBitsPerPage);
    if (mapPage[start] == 1 && slot < ReferenceSlots && start + 1 + 4 * slot + 4 <= end) {
      uint32_t bitmapNo = get32(mapPage, start + 1 + 4 * slot);
      if (bitmapNo) {
        std::string bitmap = file_->readPage(bitmapNo);
        uint64_t bit = pageNo - uint64_t(slot) * BitmapBitsPerPage;
        bitmap[4 + bit / 8] = static_cast<char>(bitmap[4 + bit / 8] | (1 << (bit % 8)));
        updates.emplace_back(bitmapNo, std::move(bitmap));
        return;
      }
      bitmapNo = allocPage();
      file_->writePage(bitmapNo, bitmapPage(slot, {pageNo}));
      put32(mapPage, start + 1 + 4 * slot, bitmapNo);
      updates.emplace_back(ref >> 8, std::move(mapPage));
      return;
    }
    if (mapPage[start] == 0 && end - start >= 5) {
      uint32_t first = get32(mapPage, start + 1);
      uint64_t bit = pageNo >= first ? pageNo - first : UINT64_MAX;
      if (bit < (end - start - 5) * 8) {
        mapPage[start + 5 + bit / 8] =
            static_cast<char>(mapPage[start + 5 + bit / 8] | (1 << (bit % 8)));
        updates.emplace_back(ref >> 8, std::move(mapPage));
        return;
      }
    }
    throw EngineError(ErrorKind::Limit,
                      "The catalogue of " + fileName_ + " has no room for table " + plan_.name);
  }

  [[noreturn]] void mismatch(size_t col, const Variant& v) {
    throw EngineError(ErrorKind::BadInput, "Data type conversion error: table " + plan_.name +
                                               ", row " + std::to_string(rows_) + ", field " +
                                               plan_.columns[col].name + ": value '" +
                                               clipForMessage(variantToText(v)) +
                                               "' does not fit the column");
  }

  void convert(const Variant& v, size_t col, Cell& cell) {
    const Store store = plan_.stores[col];
    cell.flag = false;
    if (v.isNull()) {
      cell.null = true;
      cell.bytes.clear();
      return;
    }
    cell.null = false;
    double d = 0;
    auto fixedBytes = [&](const void* p, size_t n) {
      cell.bytes.assign(static_cast<const char*>(p), n);
    };
    auto integral = [&](double lo, double hi) {
      if (!variantToDouble(v, d) || v.vt == VT_DATE || v.vt == VT_BOOL || d != std::trunc(d) ||
          d < lo || d > hi)
        mismatch(col, v);
      return d;
    };
    switch (store) {
      case Store::Bool:
        if (v.vt != VT_BOOL) mismatch(col, v);
        cell.flag = v.boolVal != 0;
        cell.null = true;  // no bytes; the null-mask bit holds the value
        return;
      case Store::Byte: {
        auto x = static_cast<uint8_t>(integral(0, 255));
        fixedBytes(&x, 1);
        return;
      }
      case Store::Int: {
        auto x = static_cast<int16_t>(integral(-32768, 32767));
        fixedBytes(&x, 2);
        return;
      }
      case Store::Long: {
        auto x = static_cast<int32_t>(integral(-2147483648.0, 2147483647.0));
        fixedBytes(&x, 4);
        return;
      }
      case Store::Money: {
        int64_t x = 0;
        if (v.vt == VT_CY) {
          x = v.cyVal;
        } else if (variantToDouble(v, d) && v.vt != VT_DATE && v.vt != VT_BOOL &&
                   std::fabs(d) < 9e14) {
          x = std::llround(d * 10000.0);
        } else {
          mismatch(col, v);
        }
        fixedBytes(&x, 8);
        return;
      }
      case Store::Float: {
        if (v.vt == VT_DATE || v.vt == VT_BOOL || !variantToDouble(v, d)) mismatch(col, v);
        float x = v.vt == VT_R4 ? v.fltVal : static_cast<float>(d);
        fixedBytes(&x, 4);
        return;
      }
      case Store::Double:
        if (v.vt == VT_DATE || v.vt == VT_BOOL || !variantToDouble(v, d)) mismatch(col, v);
        fixedBytes(&d, 8);
        return;
      case Store::Date:
        if (v.vt != VT_DATE) mismatch(col, v);
        fixedBytes(&v.date, 8);
        return;
      case Store::Text:
        if (v.vt == VT_BSTR) {
          encodeText(v.str, cell.bytes);
        } else {
          encodeText(variantToText(v), cell.bytes);
        }
        return;
      case Store::Memo:
        encodeMemoText(v.vt == VT_BSTR ? v.str : variantToText(v), cell.bytes);
        return;
      case Store::Ole:
        if (v.vt != VT_BINARY) mismatch(col, v);
        cell.bytes = v.str;
        return;
    }
  }

  std::unique_ptr<JetFile> file_;
  Catalog cat_;
  TablePlan plan_;
  std::string fileName_;
  uint32_t originalPages_ = 0, nextPage_ = 0;
  std::vector<uint32_t> tdefPages_, mapPages_, dataPages_;
  DataPage data_;
  uint32_t dataPageNo_ = 0;
  bool dataOpen_ = false;
  std::vector<LongValueColumn> lv_;
  std::vector<int> lvOf_;
  std::vector<Cell> cells_;
  std::string rowBuf_;
  int64_t rows_ = 0;
  bool finished_ = false;
};

}  // namespace

std::unique_ptr<TableWriter> createJetTable(const std::string& database, const std::string& table,
                                            const TableSchema& schema) {
  auto file = std::make_unique<JetFile>(database);
  const std::string name(fileNameOf(database));
  if (file->byteSize() < 3 * PageSize || file->byteSize() % PageSize != 0)
    throw EngineError(ErrorKind::Unsupported,
                      name + " is not a Jet 4 database the engine can add tables to");
  std::string page0 = file->readPage(0);
  if (!looksLikeJet(page0) || readHeader(page0).version != 1 || readHeader(page0).encrypted)
    throw EngineError(ErrorKind::Unsupported,
                      name + " is not a Jet 4 database the engine can add tables to");
  Catalog catalog = readCatalog(*file);
  // Databases made by Access index their catalogue; a row added without its index entries
  // would leave such a file inconsistent for Access, so only databases made from
  // Blank.mdb (whose catalogue has no indexes) take new tables.
  if (catalog.table.realIndexes != 0)
    throw EngineError(ErrorKind::Unsupported, name +
                                                  " was not made from Blank.mdb: the engine adds "
                                                  "tables only to databases it created");
  TablePlan plan = planTable(table, schema, name);
  for (const auto& e : catalog.entries)
    if ((e.type == 1 || e.type == 4 || e.type == 5 || e.type == 6) &&
        equalsNoCase(e.name, plan.name))
      throw EngineError(ErrorKind::Exists, "Table '" + plan.name + "' already exists in " + name);
  return std::make_unique<JetTableWriter>(std::move(file), std::move(catalog), std::move(plan));
}

}  // namespace tabulor::jet
