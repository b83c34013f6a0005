// Encoding and decoding of Jet 4 rows, and data-page assembly.
#include "engine/drivers/jet/row_codec.h"

#include "engine/drivers/jet/jet_format.h"
#include "engine/engine_error.h"

namespace tabulor::jet {

size_t rowOverhead(const std::vector<ColumnDef>& columns, uint16_t fixedAreaSize) {
  size_t vars = 0;
  for (const auto& c : columns)
    if (!c.fixed) ++vars;
  size_t size = 2 + fixedAreaSize + (columns.size() + 7) / 8;
  if (vars) size += 2 + 2 * vars + 2;
  return size;
}

void encodeRow(const std::vector<ColumnDef>& columns, uint16_t fixedAreaSize,
               const std::vector<Cell>& cells, std::string& out) {
  out.assign(2 + fixedAreaSize, '\0');
  put16(out, 0, static_cast<uint32_t>(columns.size()));
  std::string mask((columns.size() + 7) / 8, '\0');
  size_t vars = 0;
  for (size_t i = 0; i < columns.size(); ++i) {
    const ColumnDef& c = columns[i];
    const Cell& cell = cells[i];
    bool present = c.type == TypeBool ? cell.flag : !cell.null;
    if (present) mask[c.colNum / 8] = static_cast<char>(mask[c.colNum / 8] | (1 << (c.colNum % 8)));
    if (!c.fixed) {
      ++vars;
    } else if (c.type != TypeBool && !cell.null) {
      out.replace(2 + c.fixedOffset, cell.bytes.size(), cell.bytes);
    }
  }
  if (vars) {
    std::vector<uint16_t> offsets(vars, 0);
    // Variable data in variable-index order.
    std::vector<const ColumnDef*> byIndex(vars, nullptr);
    std::vector<const Cell*> cellByIndex(vars, nullptr);
    for (size_t i = 0; i < columns.size(); ++i)
      if (!columns[i].fixed) {
        byIndex[columns[i].varIndex] = &columns[i];
        cellByIndex[columns[i].varIndex] = &cells[i];
      }
    for (size_t v = 0; v < vars; ++v) {
      offsets[v] = static_cast<uint16_t>(out.size());
      if (!cellByIndex[v]->null) out += cellByIndex[v]->bytes;
    }
    append16(out, static_cast<uint32_t>(out.size()));  // end of the variable data
    for (size_t v = vars; v-- > 0;) append16(out, offsets[v]);
    append16(out, static_cast<uint32_t>(vars));
  }
  out += mask;
}

std::optional<std::string_view> rowValue(std::string_view row, const ColumnDef& c) {
  auto bad = [] { return EngineError(ErrorKind::BadInput, "a catalogue row is damaged"); };
  if (row.size() < 2) throw bad();
  auto u16 = [&](size_t off) {
    if (off + 2 > row.size()) throw bad();
    return uint32_t(uint8_t(row[off])) | uint32_t(uint8_t(row[off + 1])) << 8;
  };
  uint32_t numCols = u16(0);
  size_t maskSize = (numCols + 7) / 8;
  if (maskSize + 2 > row.size()) throw bad();
  if (c.colNum >= numCols) return std::nullopt;
  size_t maskStart = row.size() - maskSize;
  bool bit = (uint8_t(row[maskStart + c.colNum / 8]) >> (c.colNum % 8)) & 1;
  if (c.type == TypeBool) return bit ? std::string_view("\1", 1) : std::string_view("\0", 1);
  if (!bit) return std::nullopt;
  if (c.fixed) {
    size_t size = fixedSize(c.type);
    if (2 + c.fixedOffset + size > maskStart) throw bad();
    return row.substr(2 + c.fixedOffset, size);
  }
  uint32_t vars = u16(maskStart - 2);
  if (c.varIndex >= vars) return std::nullopt;
  size_t table = maskStart - 2 - 2 * vars;  // offset of var entry vars-1
  uint32_t start = u16(maskStart - 4 - 2 * size_t(c.varIndex));
  uint32_t end = uint32_t(c.varIndex) + 1 == vars ? u16(table - 2)
                                                  : u16(maskStart - 6 - 2 * size_t(c.varIndex));
  if (start > end || end > table) throw bad();
  return row.substr(start, end - start);
}

void DataPage::reset(uint32_t owner) {
  page_.assign(PageSize, '\0');
  page_[0] = static_cast<char>(PageData);
  page_[1] = 1;
  put16(page_, 2, PageSize - DataPageHeader);
  put32(page_, 4, owner);
  top_ = PageSize;
}

uint32_t DataPage::rows() const {
  return get16(page_, 12);
}

int DataPage::add(std::string_view row) {
  uint32_t n = rows();
  if (n >= MaxRowsPerPage || DataPageHeader + 2 * (n + 1) + row.size() > top_) return -1;
  top_ -= row.size();
  page_.replace(top_, row.size(), row);
  put16(page_, DataPageHeader + 2 * n, static_cast<uint32_t>(top_));
  put16(page_, 12, n + 1);
  put16(page_, 2, static_cast<uint32_t>(top_ - DataPageHeader - 2 * (n + 1)));
  return static_cast<int>(n);
}

int addRowToPage(std::string& page, std::string_view row) {
  uint32_t n = get16(page, 12);
  size_t top = PageSize;
  for (uint32_t i = 0; i < n; ++i) {
    size_t start = get16(page, DataPageHeader + 2 * i) & 0x1FFF;
    if (start < top) top = start;
  }
  if (n >= MaxRowsPerPage || DataPageHeader + 2 * (n + 1) + row.size() > top) return -1;
  top -= row.size();
  page.replace(top, row.size(), row);
  put16(page, DataPageHeader + 2 * n, static_cast<uint32_t>(top));
  put16(page, 12, n + 1);
  put16(page, 2, static_cast<uint32_t>(top - DataPageHeader - 2 * (n + 1)));
  return static_cast<int>(n);
}

std::vector<std::string_view> pageRows(const std::string& page) {
  std::vector<std::string_view> out;
  uint32_t n = get16(page, 12);
  if (DataPageHeader + 2 * size_t(n) > PageSize) return out;
  size_t prevStart = PageSize;
  for (uint32_t i = 0; i < n; ++i) {
    uint32_t raw = get16(page, DataPageHeader + 2 * i);
    size_t start = raw & 0x1FFF;
    size_t end = prevStart;
    prevStart = start;
    if (raw & 0xC000) continue;  // deleted or moved
    if (start >= end || end > PageSize) continue;
    out.push_back(std::string_view(page).substr(start, end - start));
  }
  return out;
}

}  // namespace tabulor::jet
