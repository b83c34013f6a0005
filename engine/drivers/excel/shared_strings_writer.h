// The shared string table (SST) of a workbook being written: strings collected while the
// sheets are written, each stored once, then laid out as SST and CONTINUE records with
// the EXTSST index that Excel uses to find strings quickly.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace tabulor::excel {

class SharedStringsWriter {
 public:
  // The index of `utf8` in the table, adding it when new. `units` is its UTF-16 length
  // (at most 32,767, checked by the caller).
  uint32_t add(std::string_view utf8);
  void countReference() { ++references_; }
  void addReferences(uint32_t n) { references_ += n; }
  size_t size() const { return entries_.size(); }

  // Appends the SST record, its CONTINUE records and the EXTSST record to `out`;
  // `streamOffset` is the workbook-stream position at which `out` currently ends.
  void write(std::string& out, size_t streamOffset) const;

 private:
  std::unordered_map<std::string, uint32_t> index_;
  // Each string in BIFF8 form without its count: option byte, then the characters.
  std::vector<std::string> entries_;
  std::vector<uint16_t> unitCounts_;
  uint32_t references_ = 0;
};

}  // namespace tabulor::excel
