// The file's map of free pages on page 1.
#include "engine/drivers/jet/global_map.h"

#include "engine/drivers/jet/jet_format.h"
#include "engine/drivers/jet/row_codec.h"
#include "engine/drivers/jet/usage_map.h"

namespace tabulor::jet {

namespace {

constexpr size_t MaxInlineBitmap = 3800;  // bytes; row 0 and row 1 must share page 1

std::vector<uint32_t> existingBitmapPages(const JetFile& file) {
  std::vector<uint32_t> slots(ReferenceSlots, 0);
  if (file.pageCount() < 2) return slots;
  std::string page = file.readPage(1);
  auto rows = pageRows(page);
  if (rows.empty() || rows[0].empty() || rows[0][0] != 1) return slots;
  for (size_t k = 0; k < ReferenceSlots && 1 + 4 * k + 4 <= rows[0].size(); ++k) {
    uint32_t p = get32(std::string(rows[0]), 1 + 4 * k);
    if (p < file.pageCount() && uint8_t(file.readPage(p)[0]) == PageBitmap) slots[k] = p;
  }
  return slots;
}

}  // namespace

void writeGlobalMap(JetFile& file) {
  std::string row0;
  uint32_t pages = file.pageCount();
  size_t inlineBytes = std::max<size_t>(64, ((pages + 1 + 31) / 32) * 4);
  if (inlineBytes <= MaxInlineBitmap) {
    std::vector<uint32_t> freePages;
    for (uint64_t p = pages; p < inlineBytes * 8; ++p)
      freePages.push_back(static_cast<uint32_t>(p));
    row0 = inlineMapRow(0, inlineBytes, freePages);
  } else {
    std::vector<uint32_t> slots = existingBitmapPages(file);
    // Give every slot that covers a page of the file (or the page just past it) a bitmap
    // page; new bitmap pages grow the file, so repeat until the count settles.
    for (;;) {
      uint32_t needed = static_cast<uint32_t>(file.pageCount() / BitmapBitsPerPage) + 1;
      bool added = false;
      for (uint32_t k = 0; k < needed && k < ReferenceSlots; ++k)
        if (!slots[k]) {
          slots[k] = file.pageCount();
          file.writePage(slots[k], bitmapPage(k, {}));
          added = true;
        }
      if (!added) break;
    }
    pages = file.pageCount();
    for (uint32_t k = 0; k < ReferenceSlots; ++k) {
      if (!slots[k]) continue;
      std::vector<uint32_t> freePages;
      uint64_t first = uint64_t(k) * BitmapBitsPerPage;
      for (uint64_t p = std::max<uint64_t>(first, pages); p < first + BitmapBitsPerPage; ++p)
        freePages.push_back(static_cast<uint32_t>(p));
      file.writePage(slots[k], bitmapPage(k, freePages));
    }
    row0 = referenceMapRow(slots);
  }
  DataPage page(1);
  page.add(row0);
  page.add(inlineMapRow(0, 64, {}));
  file.writePage(1, page.bytes());
}

}  // namespace tabulor::jet
