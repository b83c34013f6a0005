// Jet usage maps: the page sets that say which pages a table (or a long-value column, or the
// whole file) owns. Type 0 keeps a bitmap inside its row; type 1 ("reference") lists bitmap
// pages (type 0x05), each covering 32,736 pages, so it can describe a 2 GB file.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace tabulor::jet {

inline constexpr size_t ReferenceSlots = 17;  // a 69-byte row, as Access writes it

// A type-0 map row: start page and a bitmap of `bitmapBytes` bytes with the bits of `pages`
// set (pages outside the covered range are ignored).
std::string inlineMapRow(uint32_t firstPage, size_t bitmapBytes,
                         const std::vector<uint32_t>& pages);

// Slots (0..16) a type-1 map needs for `pages`.
std::vector<uint32_t> referenceSlotsFor(const std::vector<uint32_t>& pages);
// A type-1 map row; slotPages[k] is the bitmap page of slot k, 0 when unused.
std::string referenceMapRow(const std::vector<uint32_t>& slotPages);
// The 0x05 bitmap page of slot `slot` with the bits of `pages` set.
std::string bitmapPage(uint32_t slot, const std::vector<uint32_t>& pages);

// Pages listed by a stored map row (type 0 or 1); bitmap pages come from readPage.
std::vector<uint32_t> mapPages(const std::string& row,
                               const std::function<std::string(uint32_t)>& readPage);

}  // namespace tabulor::jet
