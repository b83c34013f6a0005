// Building and reading Jet usage maps.
#include "engine/drivers/jet/usage_map.h"

#include "engine/drivers/jet/jet_format.h"
#include "engine/engine_error.h"

namespace tabulor::jet {

std::string inlineMapRow(uint32_t firstPage, size_t bitmapBytes,
                         const std::vector<uint32_t>& pages) {
  std::string row(5 + bitmapBytes, '\0');
  put32(row, 1, firstPage);
  for (uint32_t p : pages) {
    if (p < firstPage) continue;
    uint64_t bit = p - firstPage;
    if (bit >= bitmapBytes * 8) continue;
    row[5 + bit / 8] = static_cast<char>(row[5 + bit / 8] | (1 << (bit % 8)));
  }
  return row;
}

std::vector<uint32_t> referenceSlotsFor(const std::vector<uint32_t>& pages) {
  std::vector<uint32_t> slots;
  for (uint32_t p : pages) {
    uint32_t s = static_cast<uint32_t>(p / BitmapBitsPerPage);
    bool known = false;
    for (uint32_t k : slots) known = known || k == s;
    if (!known) slots.push_back(s);
  }
  return slots;
}

std::string referenceMapRow(const std::vector<uint32_t>& slotPages) {
  std::string row(1 + 4 * ReferenceSlots, '\0');
  row[0] = 1;
  for (size_t k = 0; k < slotPages.size() && k < ReferenceSlots; ++k)
    put32(row, 1 + 4 * k, slotPages[k]);
  return row;
}

std::string bitmapPage(uint32_t slot, const std::vector<uint32_t>& pages) {
  std::string page(PageSize, '\0');
  page[0] = static_cast<char>(PageBitmap);
  page[1] = 1;
  const uint64_t first = uint64_t(slot) * BitmapBitsPerPage;
  for (uint32_t p : pages) {
    if (p < first || p - first >= BitmapBitsPerPage) continue;
    uint64_t bit = p - first;
    page[4 + bit / 8] = static_cast<char>(page[4 + bit / 8] | (1 << (bit % 8)));
  }
  return page;
}

std::vector<uint32_t> mapPages(const std::string& row,
                               const std::function<std::string(uint32_t)>& readPage) {
  std::vector<uint32_t> out;
  if (row.empty()) return out;
  auto scan = [&](const std::string& bytes, size_t from, uint64_t base) {
    for (size_t i = from; i < bytes.size(); ++i) {
      auto b = uint8_t(bytes[i]);
      for (int bit = 0; b && bit < 8; ++bit)
        if (b & (1 << bit)) out.push_back(static_cast<uint32_t>(base + (i - from) * 8 + bit));
    }
  };
  if (row[0] == 0) {
    if (row.size() < 5) throw EngineError(ErrorKind::BadInput, "a usage map is damaged");
    scan(row, 5, get32(row, 1));
  } else if (row[0] == 1) {
    for (size_t k = 0; 1 + 4 * k + 4 <= row.size(); ++k) {
      uint32_t page = get32(row, 1 + 4 * k);
      if (!page) continue;
      std::string bitmap = readPage(page);
      if (bitmap.size() != PageSize || uint8_t(bitmap[0]) != PageBitmap)
        throw EngineError(ErrorKind::BadInput, "a usage map's bitmap page is damaged");
      scan(bitmap, 4, uint64_t(k) * BitmapBitsPerPage);
    }
  } else {
    throw EngineError(ErrorKind::BadInput, "a usage map has an unknown type");
  }
  return out;
}

}  // namespace tabulor::jet
